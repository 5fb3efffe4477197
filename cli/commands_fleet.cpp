// zelctl fleet: the same programming to (or from) many registers of a chain
// at once, over the LAN, a bounded number at a time; one table at the end.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "core/database_file.h"
#include "core/safe_file.h"
#include "link/fleet.h"
#include "link/reports.h"
#include "link/transfer.h"
#include "link_options.h"

namespace zel::cli {
namespace {

constexpr int kMaxParallel = 64;

// One address a line; blank lines and lines starting with '#' are skipped.
bool ReadLanFile(const std::string& path, std::vector<FleetTarget>& targets) {
  std::ifstream f(path);
  if (!f) {
    std::cerr << EscapedControls(path) << ": δεν ήταν δυνατό να διαβαστεί\n";
    return false;
  }
  std::string line;
  for (int n = 1; std::getline(f, line); ++n) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    line.erase(0, first);
    const std::optional<LinkSelection> s = ParseLanAddress(line);
    if (!s) {
      std::cerr << EscapedControls(path) << ':' << n << ": λάθος διεύθυνση " << EscapedControls(line) << '\n';
      return false;
    }
    targets.push_back({line, *s});
  }
  return true;
}

}  // namespace

// What `fleet read|write` was given; the options' request direction and
// parallel count are set by the parser.
struct FleetArgs {
  FleetOptions options;
  std::string path;
  std::vector<std::string> kinds;  // names of kKinds (written ones for write), or all
  // The registers as given, in order: an address of --lan, or (file) a
  // file of --lan-file.
  struct Registers {
    bool file;
    std::string text;
  };
  std::vector<Registers> registers;
};

int CmdFleet(const FleetArgs& a) {
  FleetOptions options = a.options;
  TransferRequest& request = options.request;
  const bool reading = request.direction == Direction::kRead;
  const std::string& path = a.path;
  std::vector<FleetTarget> targets;
  for (const FleetArgs::Registers& r : a.registers) {
    if (!r.file) {
      const std::optional<LinkSelection> s = ParseLanAddress(r.text);
      if (!s) {
        std::cerr << "Λάθος διεύθυνση: " << EscapedControls(r.text) << '\n';
        return 2;
      }
      targets.push_back({r.text, *s});
    } else if (!ReadLanFile(r.text, targets)) {
      return 2;
    }
  }
  for (const std::string& name : a.kinds) {
    if (name == "all") {
      for (const KindInfo& k : kKinds) request[k.kind] = reading || k.write_code != 0;
    } else if (const std::optional<Kind> kind = KindByName(name)) {
      request[*kind] = true;
    }
  }
  if (targets.empty()) {
    std::cerr << "Δώστε τις ΦΗΜ με --lan ή --lan-file.\n";
    return 2;
  }

  DataImage source;
  std::error_code ec;
  if (reading) {
    std::filesystem::create_directories(path, ec);
    if (!std::filesystem::is_directory(path, ec)) {
      std::cerr << EscapedControls(path) << ": δεν είναι φάκελος\n";
      return 2;
    }
    options.report_path = (std::filesystem::path(path) / "").string();
  } else if (!LoadDatabase(path, source)) {
    return 1;
  }

  AbortFlag stop;
  std::vector<FleetResult> results;
  std::cerr << "Μεταφορά σε " << targets.size() << " ΦΗΜ, έως " << options.parallel << " μαζί...\n";
  {
    StopOnSignal on_signal(stop);
    results = RunFleet(targets, source, options, stop);
  }

  bool all = true;
  for (FleetResult& r : results) {
    if (!r.ran) {
      all = false;
      continue;
    }
    if (reading && r.outcome.success) {
      const std::string out = ReportFileName(options.report_path, "", r.outcome.registration, ".cld");
      if (WriteDatabaseFile(out, r.image) != FileStatus::kOk) {
        r.messages.push_back(std::string(kMsgWriteError) + " " + out);
        r.outcome.success = false;
      } else {
        std::cout << r.target << ": " << out << '\n';
      }
    }
    all = all && r.outcome.success;
    if (!r.outcome.success)
      for (const std::string& m : r.messages) std::cerr << r.target << ": " << m << '\n';
    if (!r.outcome.backup_file.empty())
      std::cout << r.target << ": " << kMsgBackupFile << ' ' << EscapedControls(r.outcome.backup_file) << '\n';
  }
  std::cout << FleetTable(results);
  return all ? 0 : 1;
}

namespace {

void AddFleetCommand(CommandLine& cli, CLI::App& fleet, Direction direction) {
  const bool reading = direction == Direction::kRead;
  constexpr const char* kFooter =
      "Η ανάγνωση γράφει μία βάση δεδομένων ανά ΦΗΜ στο DIR, με όνομα τον αριθμό μητρώου.\n"
      "Έξοδος: 0 μόνο όταν πέτυχαν όλες οι ΦΗΜ.";
  CLI::App* c =
      reading ? cli.Add(fleet, "read",
                        "DIR KIND... (--lan ADDR[:PORT]... | --lan-file FILE) [--parallel N] [--trace-dir DIR]",
                        "διαβάζει από κάθε ΦΗΜ μία βάση δεδομένων στο DIR", std::string(kKindsText) + '\n' + kFooter)
              : cli.Add(fleet, "write",
                        "DB.cld KIND... (--lan ADDR[:PORT]... | --lan-file FILE) [--parallel N] "
                        "[--trace-dir DIR] [--verify] [--backup DIR] [--yes]",
                        "γράφει τη βάση DB.cld σε κάθε ΦΗΜ", std::string(kKindsText) + '\n' + kFooter);
  auto a = std::make_shared<FleetArgs>();
  a->options.request.direction = direction;
  if (reading)
    Argument(c, "DIR", a->path, "ο φάκελος των βάσεων που διαβάζονται (γίνεται αν δεν υπάρχει)");
  else
    Argument(c, "DB.cld", a->path, "η βάση δεδομένων (.cld)");
  Argument(c, "KIND", a->kinds, "τα δεδομένα της μεταφοράς")->check(CLI::IsMember(KindNames(!reading)).description(""));
  // Each --lan and --lan-file is taken as it comes, so the registers keep
  // the order of the command line.
  c->add_option_function<std::string>(
       "--lan",
       [a](const std::string& lan) {
         a->registers.push_back({false, lan});
       },
       std::string(kLanHelp) + "· όσες φορές χρειάζεται")
      ->type_name("ADDR[:PORT]")
      ->check(CLI::Validator(CheckLanAddress, ""))
      ->trigger_on_parse();
  c->add_option_function<std::string>(
       "--lan-file",
       [a](const std::string& file) {
         a->registers.push_back({true, file});
       },
       "αρχείο με μία διεύθυνση ανά γραμμή (# για σχόλια)")
      ->type_name("FILE")
      ->trigger_on_parse();
  c->add_option("--parallel", a->options.parallel, "έως τόσες ΦΗΜ μαζί, 1 έως 64 (αρχικά 4)")
      ->type_name("N")
      ->check(CLI::Range(1, kMaxParallel).description(""));
  c->add_option("--trace-dir", a->options.trace_folder, "η καταγραφή κάθε ΦΗΜ σε δικό της αρχείο στο DIR")
      ->type_name("DIR");
  if (!reading) {
    c->add_flag("--verify", a->options.request.verify, "επαλήθευση μετά την εγγραφή: διαβάζει πίσω και συγκρίνει");
    c->add_option("--backup", a->options.request.backup_folder,
                  "αντίγραφο ασφαλείας κάθε ΦΗΜ πριν από την εγγραφή, στο DIR")
        ->type_name("DIR");
    c->add_flag("--yes", a->options.write_anyway, "γράφει και όταν το αντίγραφο ασφαλείας απέτυχε");
  }
  cli.Runs(c, [a] { return CmdFleet(*a); });
}

}  // namespace

void AddFleet(CommandLine& cli) {
  CLI::App* fleet = cli.Add("fleet",
                            "write DB.cld | read DIR  KIND... (--lan ADDR[:PORT]... | --lan-file FILE) [--parallel N] "
                            "[--trace-dir DIR] [--verify] [--backup DIR] [--yes]",
                            "η ίδια μεταφορά σε πολλές ΦΗΜ μαζί μέσω LAN, με έναν πίνακα αποτελεσμάτων");
  fleet->require_subcommand(1);
  AddFleetCommand(cli, *fleet, Direction::kRead);
  AddFleetCommand(cli, *fleet, Direction::kWrite);
}

}  // namespace zel::cli
