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
#include <optional>
#include <string>
#include <thread>

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

constexpr const char* kTransferUsage =
    "Χρήση: zelctl transfer read|write FILE KIND... [--lan ADDR[:PORT] | --com N] [--baud 115200|9600]\n"
    "                      [--reports DIR] [--sales-report] [--clear-sales]\n"
    "                      [--verify] [--backup DIR] [--yes] [--resume FILE] [--trace FILE]\n"
    "KIND: logo fiscal-logo header payments vat categories departments operators items\n"
    "      fiscal-memory tax-code customers params, ή all\n";
constexpr const char* kDiffUsage =
    "Χρήση: zelctl diff DB.cld KIND... [--lan ADDR[:PORT] | --com N] [--baud 115200|9600]\n"
    "                  [--csv OUT.csv] [--text OUT.txt] [--trace FILE]\n"
    "Έξοδος: 0 ίδια, 1 διαφορετικά, 2 η σύνδεση ή η ανάγνωση απέτυχε.\n";
constexpr const char* kCheckUsage = "Χρήση: zelctl check [--lan ADDR[:PORT] | --com N] [--baud 115200|9600]\n";

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

int CmdTransfer(Args args) {
  if (args.size() < 3 || (args[0] != "read" && args[0] != "write")) {
    std::cerr << kTransferUsage;
    return 2;
  }
  TransferRequest request;
  request.direction = args[0] == "read" ? Direction::kRead : Direction::kWrite;
  const bool reading = request.direction == Direction::kRead;
  const std::string& path = args[1];
  LinkSelection selection = SavedSelection();
  std::string report_path, resume_path, trace_path;
  bool yes = false;
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (IsLinkOption(a)) {
      if (!LinkOption(args, i, selection)) {
        std::cerr << "Λάθος τιμή για " << a << "\n" << kTransferUsage;
        return 2;
      }
    } else if (a == "--reports" && i + 1 < args.size()) {
      report_path = args[++i] + "/";
    } else if (a == "--sales-report") {
      request.sales_report = true;
    } else if (a == "--clear-sales") {
      request.clear_sales = true;
    } else if (a == "--verify") {
      request.verify = true;
    } else if (a == "--backup" && i + 1 < args.size()) {
      request.backup_folder = args[++i];
    } else if (a == "--resume" && i + 1 < args.size()) {
      resume_path = args[++i];
    } else if (a == "--trace" && i + 1 < args.size()) {
      trace_path = args[++i];
    } else if (a == "--yes") {
      yes = true;
    } else if (a == "all") {
      for (const KindInfo& k : kKinds) request[k.kind] = reading || k.write_code != 0;
    } else if (const std::optional<Kind> kind = KindByName(a)) {
      if (!reading && InfoOf(*kind).write_code == 0) {
        std::cerr << "Η φορολογική μνήμη μόνο διαβάζεται.\n";
        return 2;
      }
      request[*kind] = true;
    } else {
      std::cerr << "Άγνωστο όρισμα: " << a << "\n" << kTransferUsage;
      return 2;
    }
  }
  // As on the panel, the two item options belong to reading the items.
  if ((request.sales_report || request.clear_sales) && !(reading && request[Kind::kItems])) {
    std::cerr << "Τα --sales-report και --clear-sales ισχύουν μόνο στην ανάγνωση των ειδών (items).\n";
    return 2;
  }
  if (reading && (request.verify || !request.backup_folder.empty())) {
    std::cerr << "Τα --verify και --backup ισχύουν μόνο στην εγγραφή.\n";
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

int CmdDiff(Args args) {
  if (args.size() < 2) {
    std::cerr << kDiffUsage;
    return 2;
  }
  TransferRequest request;
  request.direction = Direction::kRead;
  request.compare = true;
  const std::string& path = args[0];
  LinkSelection selection = SavedSelection();
  std::string csv_path, text_path, trace_path;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (IsLinkOption(a)) {
      if (!LinkOption(args, i, selection)) {
        std::cerr << "Λάθος τιμή για " << a << "\n" << kDiffUsage;
        return 2;
      }
    } else if (a == "--csv" && i + 1 < args.size()) {
      csv_path = args[++i];
    } else if (a == "--text" && i + 1 < args.size()) {
      text_path = args[++i];
    } else if (a == "--trace" && i + 1 < args.size()) {
      trace_path = args[++i];
    } else if (a == "all") {
      for (const KindInfo& k : kKinds) request[k.kind] = k.write_code != 0;
    } else if (const std::optional<Kind> kind = KindByName(a); kind && InfoOf(*kind).write_code != 0) {
      request[*kind] = true;
    } else {
      std::cerr << "Άγνωστο όρισμα: " << a << "\n" << kDiffUsage;
      return 2;
    }
  }
  if (!request.any()) {
    std::cerr << kMsgSelectData << '\n' << kDiffUsage;
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

int CmdCheck(Args args) {
  LinkSelection selection = SavedSelection();
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (!IsLinkOption(args[i]) || !LinkOption(args, i, selection)) {
      std::cerr << kCheckUsage;
      return 2;
    }
  }
  TerminalUi ui;
  LinkSession session;
  bool ok;
  {
    StopOnSignal stop(session.abort);
    ok = CheckConnection(session, selection, ui);
  }
  return ok ? 0 : 1;
}

}  // namespace zel::cli
