// zelctl fleet: the same programming to (or from) many registers of a chain
// at once, over the LAN, a bounded number at a time; one table at the end.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
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

constexpr const char* kFleetUsage =
    "Χρήση: zelctl fleet write DB.cld KIND... (--lan ADDR[:PORT]... | --lan-file FILE)\n"
    "                   [--parallel N] [--trace-dir DIR] [--verify] [--backup DIR] [--yes]\n"
    "       zelctl fleet read DIR KIND... (--lan ADDR[:PORT]... | --lan-file FILE)\n"
    "                   [--parallel N] [--trace-dir DIR]\n"
    "Η ανάγνωση γράφει μία βάση δεδομένων ανά ΦΗΜ στο DIR, με όνομα τον αριθμό μητρώου.\n"
    "Έξοδος: 0 μόνο όταν πέτυχαν όλες οι ΦΗΜ.\n";
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

int CmdFleet(Args args) {
  if (args.size() < 3 || (args[0] != "read" && args[0] != "write")) {
    std::cerr << kFleetUsage;
    return 2;
  }
  FleetOptions options;
  TransferRequest& request = options.request;
  request.direction = args[0] == "read" ? Direction::kRead : Direction::kWrite;
  const bool reading = request.direction == Direction::kRead;
  const std::string& path = args[1];
  std::vector<FleetTarget> targets;
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--lan" && has_value) {
      const std::optional<LinkSelection> s = ParseLanAddress(args[++i]);
      if (!s) {
        std::cerr << "Λάθος διεύθυνση: " << EscapedControls(args[i]) << '\n';
        return 2;
      }
      targets.push_back({args[i], *s});
    } else if (a == "--lan-file" && has_value) {
      if (!ReadLanFile(args[++i], targets)) return 2;
    } else if (a == "--parallel" && has_value) {
      char* end = nullptr;
      const long n = std::strtol(args[++i].c_str(), &end, 10);
      if (!end || *end || n < 1 || n > kMaxParallel) {
        std::cerr << "--parallel: 1 έως " << kMaxParallel << '\n';
        return 2;
      }
      options.parallel = static_cast<int>(n);
    } else if (a == "--trace-dir" && has_value) {
      options.trace_folder = args[++i];
    } else if (a == "--verify" && !reading) {
      request.verify = true;
    } else if (a == "--backup" && has_value && !reading) {
      request.backup_folder = args[++i];
    } else if (a == "--yes") {
      options.write_anyway = true;
    } else if (a == "all") {
      for (const KindInfo& k : kKinds) request[k.kind] = reading || k.write_code != 0;
    } else if (const std::optional<Kind> kind = KindByName(a); kind && (reading || InfoOf(*kind).write_code != 0)) {
      request[*kind] = true;
    } else {
      std::cerr << "Άγνωστο όρισμα: " << a << "\n" << kFleetUsage;
      return 2;
    }
  }
  if (targets.empty() || !request.any()) {
    std::cerr << kFleetUsage;
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

}  // namespace zel::cli
