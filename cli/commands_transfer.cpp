// zelctl transfer / check: the transfer panel's Start and connection check
// from the command line, for scripts and for dealers who program many
// registers.
//
// Progress and the per-kind marks go to stderr, the outcome texts are the
// program's own. Ctrl-C is the Stop button. Reading into FILE never touches
// it unless every ticked kind came in: the data are read into a copy and
// saved through the database file's temporary-file-and-rename.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "core/database_file.h"
#include "core/safe_file.h"
#include "link/compare.h"
#include "link/exchange.h"
#include "link/resume_file.h"
#include "link/settings.h"
#include "link/transfer.h"
#include "link_options.h"
#include "terminal_ui.h"

namespace zel::cli {
namespace {

// The terminal UI with the transfer's progress on stderr: one line per kind,
// rewritten in place on a terminal.
class TransferUi : public TerminalUi {
 public:
  TransferUi() : live_(::isatty(STDERR_FILENO) != 0) {}

  void ShowMessage(std::string_view text, Icon icon, std::string_view caption, bool system_modal) override {
    EndLine();
    // The difference list of a comparison is printed whole by the command.
    if (whole_list && text.starts_with(kMsgCompareDifferent)) text = kMsgCompareDifferent;
    TerminalUi::ShowMessage(text, icon, caption, system_modal);
  }
  bool whole_list = false;
  void SetProgressRange(int max) override {
    max_ = max;
    shown_ = -1;
  }
  void SetProgress(int position) override {
    position_ = position;
    if (!live_ || kind_.empty() || max_ <= 0) return;
    const int percent = static_cast<int>(100LL * position / max_);
    if (percent == shown_) return;
    shown_ = percent;
    std::cerr << "\r[*] " << kind_ << ' ' << position << '/' << max_ << std::flush;
    open_line_ = true;
  }
  void MarkKind(int kind, Mark mark) override {
    if (kind < 0 || kind >= kKindCount) return;
    kind_ = std::string(kKinds[static_cast<std::size_t>(kind)].caption);
    if (mark == Mark::kRunning) {
      position_ = 0;
      max_ = 0;
      shown_ = -1;
      if (live_) {
        std::cerr << "[*] " << kind_ << std::flush;
        open_line_ = true;
      }
      return;
    }
    if (open_line_) std::cerr << '\r';
    std::cerr << (mark == Mark::kDone ? "[V] " : "[X] ") << kind_;
    if (max_ > 0) std::cerr << ' ' << position_ << '/' << max_;
    std::cerr << '\n';
    open_line_ = false;
    kind_.clear();
  }

 private:
  void EndLine() {
    if (open_line_) std::cerr << '\n';
    open_line_ = false;
  }

  bool live_;
  bool open_line_ = false;
  std::string kind_;
  int max_ = 0, position_ = 0, shown_ = -1;
};

}  // namespace

// Opens the trace file of --trace on the session; false (after a message)
// when it cannot be created.
bool OpenTrace(const std::string& path, ExchangeTrace& trace, LinkSession& session) {
  if (path.empty()) return true;
  if (!trace.Open(path, session.clock->Now())) {
    std::cerr << "Δεν ήταν δυνατό να δημιουργηθεί το αρχείο καταγραφής: " << EscapedControls(path) << '\n';
    return false;
  }
  session.trace = &trace;
  return true;
}

// What `transfer read|write` was given; the request's direction and item
// options are set by the parser, its kinds from `kinds` by the command.
struct TransferArgs {
  TransferRequest request;
  std::string path;
  std::vector<std::string> kinds;  // names of kKinds, or all
  LinkOptions link;
  std::string report_path, resume_path, trace_path;
  bool yes = false;
};

int CmdTransfer(const TransferArgs& a) {
  TransferRequest request = a.request;
  const bool reading = request.direction == Direction::kRead;
  const std::string& path = a.path;
  const LinkSelection selection = a.link.Selection();
  const std::string report_path = a.report_path.empty() ? std::string() : a.report_path + "/";
  const std::string& resume_path = a.resume_path;
  const std::string& trace_path = a.trace_path;
  const bool yes = a.yes;
  for (const std::string& name : a.kinds) {
    if (name == "all") {
      for (const KindInfo& k : kKinds) request[k.kind] = reading || k.write_code != 0;
    } else if (const std::optional<Kind> kind = KindByName(name)) {
      if (!reading && InfoOf(*kind).write_code == 0) {
        std::cerr << "Η φορολογική μνήμη μόνο διαβάζεται.\n";
        return 2;
      }
      request[*kind] = true;
    }
  }
  // As on the panel, the two item options belong to reading the items.
  if ((request.sales_report || request.clear_sales) && !(reading && request[Kind::kItems])) {
    std::cerr << "Τα --sales-report και --clear-sales ισχύουν μόνο στην ανάγνωση των ειδών (items).\n";
    return 2;
  }
  std::error_code ec;
  if (!resume_path.empty() && std::filesystem::exists(resume_path, ec)) {
    std::string why;
    std::optional<ResumePoint> point = LoadResumePoint(resume_path, &why);
    if (!point) {
      std::cerr << EscapedControls(resume_path) << ": " << why << '\n';
      return 2;
    }
    if (point->direction != request.direction) {
      std::cerr << EscapedControls(resume_path) << ": η διακοπείσα μεταφορά ήταν " << (reading ? "εγγραφή" : "ανάγνωση")
                << ".\n";
      return 2;
    }
    request.resume = std::move(point);
    std::cout << "Συνέχεια από " << EscapedControls(resume_path) << '\n';
  }

  DataImage image;
  const bool exists = std::filesystem::exists(path, ec);
  if (exists || !reading) {
    if (!LoadDatabase(path, image)) return 1;
  }

  TransferUi ui;
  ui.assume_yes = yes;
  LinkSession session;
  ExchangeTrace trace;
  if (!OpenTrace(trace_path, trace, session)) return 1;
  // A read says it went through only once FILE is saved (below).
  request.announce_done = !reading;
  TransferOutcome outcome;
  {
    StopOnSignal stop(session.abort);
    outcome = StartTransfer(session, request, image, ui, selection, report_path);
  }
  for (const std::string& f : outcome.files) std::cout << "Αρχείο αναφοράς: " << EscapedControls(f) << '\n';
  if (!outcome.backup_file.empty()) std::cout << kMsgBackupFile << ' ' << EscapedControls(outcome.backup_file) << '\n';
  // The final message lists the first differences; the rest follow here.
  if (outcome.differences.size() > 20) std::cerr << DifferencesText(outcome.differences);

  if (!resume_path.empty()) {
    if (outcome.success) {
      std::filesystem::remove(resume_path, ec);
    } else if (outcome.resume) {
      if (SaveResumePoint(resume_path, *outcome.resume))
        std::cerr << "Η θέση της διακοπής γράφτηκε στο " << EscapedControls(resume_path)
                  << ": ξανατρέξτε την ίδια εντολή για συνέχεια.\n";
      else
        std::cerr << "Δεν ήταν δυνατό να γραφτεί το " << EscapedControls(resume_path) << '\n';
    }
  }

  if (reading) {
    // A resumed read skips the kinds it already has: with --resume those are
    // kept in the file even when the read stopped.
    const bool keep_partial = !resume_path.empty() && outcome.resume.has_value() && image.state.modified;
    if (!outcome.success && !keep_partial) {
      std::cerr << "Το αρχείο " << EscapedControls(path) << " δεν άλλαξε.\n";
      return 1;
    }
    if (image.state.modified && !SaveDatabase(path, image)) return 1;
    // Only now, with what was read kept, the read has gone through.
    if (outcome.success) ui.ShowMessage(kMsgTransferDone, Icon::kInformation, {}, false);
    if (image.state.modified)
      std::cout << (outcome.success ? "Αποθηκεύτηκε: " : "Αποθηκεύτηκαν τα δεδομένα που διαβάστηκαν: ")
                << EscapedControls(path) << '\n';
  }
  return outcome.success ? 0 : 1;
}

struct DiffArgs {
  std::string path;
  std::vector<std::string> kinds;  // names of the kinds that are written, or all
  LinkOptions link;
  std::string csv_path, text_path, trace_path;
};

int CmdDiff(const DiffArgs& a) {
  TransferRequest request;
  request.direction = Direction::kRead;
  request.compare = true;
  const std::string& path = a.path;
  const LinkSelection selection = a.link.Selection();
  const std::string &csv_path = a.csv_path, &text_path = a.text_path, &trace_path = a.trace_path;
  for (const std::string& name : a.kinds) {
    if (name == "all") {
      for (const KindInfo& k : kKinds) request[k.kind] = k.write_code != 0;
    } else if (const std::optional<Kind> kind = KindByName(name)) {
      request[*kind] = true;
    }
  }
  if (!request.any()) {
    std::cerr << kMsgSelectData << '\n';
    return 2;
  }
  DataImage image;
  if (!LoadDatabase(path, image)) return 2;
  TransferUi ui;
  ui.whole_list = true;
  LinkSession session;
  ExchangeTrace trace;
  if (!OpenTrace(trace_path, trace, session)) return 2;
  TransferOutcome outcome;
  {
    StopOnSignal stop(session.abort);
    outcome = StartTransfer(session, request, image, ui, selection, std::string());
  }
  if (!outcome.compared) return 2;
  std::cout << DifferencesText(outcome.differences);
  for (const auto& [out, csv] : {std::pair{csv_path, true}, std::pair{text_path, false}}) {
    if (out.empty()) continue;
    if (!SaveDifferences(out, outcome.differences, csv)) {
      std::cerr << "Δεν ήταν δυνατό να γραφτεί το " << EscapedControls(out) << '\n';
      return 2;
    }
  }
  return outcome.differences.empty() ? 0 : 1;
}

int CmdCheck(const LinkOptions& link) {
  const LinkSelection selection = link.Selection();
  TerminalUi ui;
  LinkSession session;
  bool ok;
  {
    StopOnSignal stop(session.abort);
    ok = CheckConnection(session, selection, ui);
  }
  return ok ? 0 : 1;
}

std::vector<std::string> KindNames(bool writable) {
  std::vector<std::string> names;
  for (const KindInfo& k : kKinds)
    if (!writable || k.write_code != 0) names.emplace_back(k.name);
  names.emplace_back("all");
  return names;
}

namespace {

void AddTransferCommand(CommandLine& cli, CLI::App& transfer, Direction direction) {
  const bool reading = direction == Direction::kRead;
  CLI::App* c =
      reading ? cli.Add(transfer, "read",
                        "FILE KIND... [--lan ADDR[:PORT] | --com N] [--baud 115200|9600] [--reports DIR] "
                        "[--sales-report] [--clear-sales] [--yes] [--resume FILE] [--trace FILE]",
                        "διαβάζει δεδομένα από τον ΦΗΜ στη βάση FILE (που αλλάζει μόνο όταν ήρθαν όλα)", kKindsText)
              : cli.Add(transfer, "write",
                        "FILE KIND... [--lan ADDR[:PORT] | --com N] [--baud 115200|9600] [--verify] [--backup DIR] "
                        "[--yes] [--resume FILE] [--trace FILE]",
                        "γράφει δεδομένα της βάσης FILE στον ΦΗΜ", kKindsText);
  auto a = std::make_shared<TransferArgs>();
  a->request.direction = direction;
  Argument(c, "FILE", a->path, reading ? "η βάση δεδομένων (.cld)· γίνεται αν δεν υπάρχει" : "η βάση δεδομένων (.cld)");
  // Writing names the fiscal memory too, to be told that it is only read.
  Argument(c, "KIND", a->kinds, "τα δεδομένα της μεταφοράς")->check(CLI::IsMember(KindNames(false)).description(""));
  AddLinkOptions(*c, a->link);
  if (reading) {
    c->add_option("--reports", a->report_path, "ο φάκελος των αρχείων αναφοράς (FM_…, AP_…)· αρχικά ο τρέχων φάκελος")
        ->type_name("DIR");
    c->add_flag("--sales-report", a->request.sales_report, "με τα είδη, η αναφορά πωλήσεων (AP_….TXT, .CSV)");
    c->add_flag("--clear-sales", a->request.clear_sales, "με τα είδη, μηδενίζει έπειτα τα στοιχεία πωλήσεων του ΦΗΜ");
  } else {
    c->add_flag("--verify", a->request.verify, "επαλήθευση μετά την εγγραφή: διαβάζει πίσω και συγκρίνει");
    c->add_option("--backup", a->request.backup_folder, "αντίγραφο ασφαλείας του ΦΗΜ πριν από την εγγραφή, στο DIR")
        ->type_name("DIR");
  }
  c->add_flag("--yes", a->yes, "απαντά Ναι στις ερωτήσεις (π.χ. εγγραφή χωρίς αντίγραφο που απέτυχε)");
  c->add_option("--resume", a->resume_path,
                "συνέχεια από τη θέση διακοπής που γράφει το FILE· μια αποτυχία τη γράφει εκεί, μια επιτυχία το σβήνει")
      ->type_name("FILE");
  c->add_option("--trace", a->trace_path, "καταγραφή κάθε ανταλλαγής στο FILE")->type_name("FILE");
  cli.Runs(c, [a] { return CmdTransfer(*a); });
}

}  // namespace

void AddTransfer(CommandLine& cli) {
  CLI::App* transfer =
      cli.Add("transfer",
              "read|write FILE KIND... [--lan ADDR[:PORT] | --com N] [--baud 115200|9600] [--reports DIR] "
              "[--sales-report] [--clear-sales] [--verify] [--backup DIR] [--yes] [--resume FILE] [--trace FILE]",
              "μεταφορά δεδομένων από/προς τον ΦΗΜ (KIND: logo fiscal-logo header payments vat categories "
              "departments operators items fiscal-memory tax-code customers params, ή all)",
              kKindsText);
  transfer->require_subcommand(1);
  AddTransferCommand(cli, *transfer, Direction::kRead);
  AddTransferCommand(cli, *transfer, Direction::kWrite);
}

void AddDiff(CommandLine& cli) {
  CLI::App* c = cli.Add(
      "diff",
      "DB.cld KIND... [--lan ADDR[:PORT] | --com N] [--baud 115200|9600] [--csv OUT] [--text OUT] [--trace FILE]",
      "σύγκριση της βάσης δεδομένων με τη ΦΗΜ ανά πεδίο (έξοδος 0 ίδια, 1 διαφορετικά, 2 αποτυχία σύνδεσης)",
      "KIND: logo fiscal-logo header payments vat categories departments operators items\n"
      "      tax-code customers params, ή all\n"
      "Έξοδος: 0 ίδια, 1 διαφορετικά, 2 η σύνδεση ή η ανάγνωση απέτυχε.");
  auto a = std::make_shared<DiffArgs>();
  Argument(c, "DB.cld", a->path, "η βάση δεδομένων (.cld)· δεν αλλάζει");
  Argument(c, "KIND", a->kinds, "τα δεδομένα της σύγκρισης")
      ->required(false)
      ->check(CLI::IsMember(KindNames(true)).description(""));
  AddLinkOptions(*c, a->link);
  c->add_option("--csv", a->csv_path, "γράφει και τις διαφορές σε αρχείο CSV")->type_name("OUT");
  c->add_option("--text", a->text_path, "γράφει και τις διαφορές σε αρχείο κειμένου")->type_name("OUT");
  c->add_option("--trace", a->trace_path, "καταγραφή κάθε ανταλλαγής στο FILE")->type_name("FILE");
  cli.Runs(c, [a] { return CmdDiff(*a); });
}

void AddCheck(CommandLine& cli) {
  CLI::App* c = cli.Add("check", "[--lan ADDR[:PORT] | --com N] [--baud 115200|9600]", "έλεγχος σύνδεσης με τον ΦΗΜ");
  auto link = std::make_shared<LinkOptions>();
  AddLinkOptions(*c, *link);
  cli.Runs(c, [link] { return CmdCheck(*link); });
}

}  // namespace zel::cli
