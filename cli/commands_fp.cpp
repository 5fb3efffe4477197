// zelctl fp: the fiscal printer console from the command line, for
// technicians who test an installed register and for scripts (a nightly Z).
//
//   fp send TEXT...      each command text as it is, one exchange each
//   fp keys DB ARG...    the console's keys played on the engine, exactly as
//                        the window plays them
//   fp report KIND ...   one report key
//
// Every exchange prints one line: the command text, the reply text and "ok"
// or "refused". Exit status: 0 when every command was accepted, 1 when the
// register refused one or the console refused a key, 2 when the link failed.
// Retry/Cancel questions are asked on the terminal; without one they answer
// Cancel.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "console/sales_console.h"
#include "core/cp1253.h"
#include "link_options.h"
#include "terminal_ui.h"

namespace zel::cli {
namespace {

constexpr const char* kFpUsage =
    "Χρήση: zelctl fp send TEXT... [--lan ADDR[:PORT] | --com N] [--baud 115200|9600]\n"
    "       zelctl fp keys DB.cld ARG... [--lan ADDR[:PORT] | --com N] [--baud 115200|9600]\n"
    "           ARG: ένας αριθμός (\"2\", \"2,50\") πληκτρολογείται, ένα όνομα πλήκτρου (\"ΤΜ 3\", \"ΕΙΔΟΣ\",\n"
    "           \"ΣΥΝΟΛΟ\", \"ΠΛΗΡΩΜΗ\", \"ΜΣ-%\", ...) πατιέται, text:ΓΡΑΜΜΗ, mark:ΑΛΛΑΓΗ, mark:ΑΚΥΡΩΣΗ,\n"
    "           pay:ΜΕΤΡΗΤΑ|ΚΑΡΤΑ|ΕΠΙΤΑΓΗ, box:ΑΝΑΛ.|ΗΜΕΡ.|ΠΑΗΨΣ|ΤΕΛ.3Ζ\n"
    "       zelctl fp report z|x|items|operators|efiles|last-z|fm [--dates ΗΗ.ΜΜ.ΕΕΕΕ ΗΗ.ΜΜ.ΕΕΕΕ |\n"
    "           --z N N | --last-3z] [--detailed] [--paehps] [--lan ADDR[:PORT] | --com N] [--baud ...]\n";

// Messages to stderr as the terminal UI writes them; a Retry/Cancel question
// is asked when there is a terminal to answer it.
class FpUi : public TerminalUi {
 public:
  void ShowMessage(std::string_view text, Icon icon, std::string_view caption, bool system_modal) override {
    if (icon == Icon::kError) ++refusals;
    TerminalUi::ShowMessage(text, icon, caption, system_modal);
  }
  bool AskRetryCancel(std::string_view text, Icon icon) override {
    if (::isatty(STDIN_FILENO) == 0) return TerminalUi::AskRetryCancel(text, icon);
    std::cerr << text << "\n[Ε]πανάληψη ή [Α]κυρο; " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return !answer.empty() && (answer[0] == 'E' || answer[0] == 'e' || answer.starts_with("Ε") ||
                               answer.starts_with("ε") || answer[0] == 'r' || answer[0] == 'R');
  }
  int refusals = 0;
};

// The outcome of a run, as the exit status says it.
struct Tally {
  bool refused = false;
  bool link_failed = false;
  int Status(const FpUi& ui) const { return link_failed ? 2 : (refused || ui.refusals > 0) ? 1 : 0; }
};

void PrintExchange(std::string_view command, std::string_view reply, bool accepted) {
  std::cout << cp1253::ToUtf8(command) << '\t' << cp1253::ToUtf8(reply) << '\t' << (accepted ? "ok" : "refused") << '\n'
            << std::flush;
}

// Takes the link options out of args; the rest stays in `rest`. False on
// misuse.
bool SplitLinkOptions(Args args, LinkSelection& selection, std::vector<std::string>& rest) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (IsLinkOption(args[i])) {
      if (!LinkOption(args, i, selection)) return false;
    } else {
      rest.push_back(args[i]);
    }
  }
  return true;
}

std::optional<PickedDate> ParseDate(const std::string& text) {
  int d = 0, m = 0, y = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%d.%d.%d%c", &d, &m, &y, &tail) != 3) return std::nullopt;
  if (d < 1 || d > 31 || m < 1 || m > 12 || y < 1900 || y > 2099) return std::nullopt;
  return PickedDate{y, m, d};
}

std::optional<std::uint16_t> ParseZ(const std::string& text) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (!end || *end || v < 0 || v > 9999) return std::nullopt;
  return static_cast<std::uint16_t>(v);
}

// One console on a database image, its link opened as the panel opens it.
struct Console {
  Console(DataImage& image, const LinkSelection& selection) : link(ui), console(image, ui, link) {
    link.selection = selection;
    console.on_exchange = [this] {
      PrintExchange(console.last_command(), console.last_reply(), console.last_accepted());
      if (!console.last_accepted()) tally.refused = true;
      if (link.last_result() == kCommandNoAnswer) tally.link_failed = true;
    };
  }
  FpUi ui;
  PrinterLink link;
  SalesConsole console;
  Tally tally;
};

int Send(Args args) {
  LinkSelection selection = SavedSelection();
  std::vector<std::string> texts;
  if (!SplitLinkOptions(args, selection, texts) || texts.empty()) {
    std::cerr << kFpUsage;
    return 2;
  }
  std::vector<std::string> encoded;
  for (const std::string& t : texts) {
    const std::optional<std::string> bytes = cp1253::FromUtf8(t);
    if (!bytes || bytes->size() > kMaxCommandText) {
      std::cerr << "Η εντολή δεν γράφεται στον κώδικα 1253 ή είναι μεγαλύτερη από " << kMaxCommandText
                << " χαρακτήρες: " << t << '\n';
      return 2;
    }
    encoded.push_back(*bytes);
  }
  FpUi ui;
  PrinterLink link(ui);
  link.selection = selection;
  if (link.selection.ip[0] == 0) link.selection.ip = {192, 168, 1, 50};
  Tally tally;
  {
    StopOnSignal stop(link.link().abort);
    if (link.OpenPrinterLink() != 0) return 2;
    for (const std::string& text : encoded) {
      link.store.index = 0;
      link.store.SetCommand(0, text);
      link.SendCommand();
      const bool accepted = !link.store.Failed(0);
      PrintExchange(text, link.store.ReplyText(0), accepted);
      if (!accepted) tally.refused = true;
      if (link.last_result() == kCommandNoAnswer) {
        tally.link_failed = true;
        break;
      }
    }
    link.ClosePrinterLink();
  }
  return tally.Status(ui);
}

void PrintReceipt(const SalesConsole& console) {
  for (const DisplayLine& line : console.receipt_list())
    std::cout << "| " << cp1253::ToUtf8({reinterpret_cast<const char*>(line.data()), line.size()}) << '\n';
  if (!console.amount_due().empty()) std::cout << "Ποσό πληρωμής: " << console.amount_due() << '\n';
}

int Keys(Args args) {
  LinkSelection selection = SavedSelection();
  std::vector<std::string> rest;
  if (!SplitLinkOptions(args, selection, rest) || rest.size() < 2) {
    std::cerr << kFpUsage;
    return 2;
  }
  DataImage image;
  if (!LoadDatabase(rest[0], image)) return 1;
  Console c(image, selection);
  SalesConsole& console = c.console;
  {
    StopOnSignal stop(c.link.link().abort);
    console.Show();
    if (!c.link.is_open()) return 2;
    for (std::size_t i = 1; i < rest.size() && !c.tally.link_failed; ++i) {
      const std::string& a = rest[i];
      if (const std::optional<std::int32_t> v = ParseEntry(a); v && !a.empty()) {
        console.entry.value = *v;
      } else if (a.starts_with("text:")) {
        const std::optional<std::string> line = cp1253::FromUtf8(a.substr(5));
        if (!line) {
          std::cerr << "Η γραμμή δεν γράφεται στον κώδικα 1253: " << a.substr(5) << '\n';
          return 2;
        }
        console.entry.extra_lines.push_back(*line);
      } else if (a == "mark:ΑΛΛΑΓΗ") {
        console.ClickChangeMark(true);
      } else if (a == "mark:ΑΚΥΡΩΣΗ") {
        console.ClickVoidMark(true);
      } else if (a.starts_with("pay:")) {
        const auto it = std::find(kPaymentCaptions.begin(), kPaymentCaptions.end(), a.substr(4));
        if (it == kPaymentCaptions.end()) {
          std::cerr << "Άγνωστος τρόπος πληρωμής: " << a.substr(4) << '\n';
          return 2;
        }
        console.entry.payment_type = static_cast<int>(it - kPaymentCaptions.begin());
      } else if (a.starts_with("box:")) {
        console.ClickReportBox(a.substr(4), true);
      } else if (const std::optional<KeyInfo> key = FindConsoleKey(a)) {
        console.Press(*key);
      } else {
        std::cerr << "Άγνωστο πλήκτρο: " << a << '\n' << kFpUsage;
        return 2;
      }
    }
    PrintReceipt(console);
    // As the window does when the console is hidden: an open receipt is
    // voided, the link closed.
    console.Hide({});
  }
  return c.tally.Status(c.ui);
}

int Report(Args args) {
  LinkSelection selection = SavedSelection();
  std::vector<std::string> rest;
  if (!SplitLinkOptions(args, selection, rest) || rest.empty()) {
    std::cerr << kFpUsage;
    return 2;
  }
  const std::string& kind = rest[0];
  ConsoleKey key;
  if (kind == "z")
    key = ConsoleKey::kDailyZ;
  else if (kind == "x")
    key = ConsoleKey::kReportX;
  else if (kind == "items")
    key = ConsoleKey::kReportItems;
  else if (kind == "operators")
    key = ConsoleKey::kReportOperators;
  else if (kind == "efiles")
    key = ConsoleKey::kReportElectronicFiles;
  else if (kind == "last-z")
    key = ConsoleKey::kCopyLastZ;
  else if (kind == "fm")
    key = ConsoleKey::kFiscalMemoryReports;
  else {
    std::cerr << kFpUsage;
    return 2;
  }
  DataImage image;
  Console c(image, selection);
  SalesConsole& console = c.console;
  std::optional<PickedDate> from, to;
  std::optional<std::uint16_t> from_z, to_z;
  bool detailed = false, paehps = false, last3 = false;
  for (std::size_t i = 1; i < rest.size(); ++i) {
    const std::string& a = rest[i];
    if (a == "--dates" && i + 2 < rest.size()) {
      from = ParseDate(rest[i + 1]);
      to = ParseDate(rest[i + 2]);
      i += 2;
      if (!from || !to) {
        std::cerr << "Λάθος ημερομηνία (ΗΗ.ΜΜ.ΕΕΕΕ)\n";
        return 2;
      }
    } else if (a == "--z" && i + 2 < rest.size()) {
      from_z = ParseZ(rest[i + 1]);
      to_z = ParseZ(rest[i + 2]);
      i += 2;
      if (!from_z || !to_z) {
        std::cerr << "Λάθος αριθμός Ζ (0 έως 9999)\n";
        return 2;
      }
    } else if (a == "--last-3z") {
      last3 = true;
    } else if (a == "--detailed") {
      detailed = true;
    } else if (a == "--paehps") {
      paehps = true;
    } else {
      std::cerr << "Άγνωστο όρισμα: " << a << '\n' << kFpUsage;
      return 2;
    }
  }
  if (key == ConsoleKey::kFiscalMemoryReports && !last3 && !from && !from_z) {
    std::cerr << "Η αναφορά fm θέλει --dates, --z ή --last-3z.\n";
    return 2;
  }
  {
    StopOnSignal stop(c.link.link().abort);
    console.Show();
    if (!c.link.is_open()) return 2;
    // The boxes and fields as a user would set them before pressing the key.
    if (from) {
      console.PickDates(*from, *to);
      console.ClickReportBox(kByDateCaption, true);
    }
    if (from_z) {
      console.reports.from_z = *from_z;
      console.reports.to_z = *to_z;
    }
    if (detailed) console.ClickReportBox(kDetailedCaption, true);
    if (paehps) console.ClickReportBox(kPaehpsCaption, true);
    if (last3) console.ClickReportBox(kLast3ZCaption, true);
    console.Press(key);
    console.Hide({});
  }
  return c.tally.Status(c.ui);
}

}  // namespace

int CmdFp(Args args) {
  if (args.empty()) {
    std::cerr << kFpUsage;
    return 2;
  }
  const std::string& what = args[0];
  const Args rest = args.subspan(1);
  if (what == "send") return Send(rest);
  if (what == "keys") return Keys(rest);
  if (what == "report") return Report(rest);
  std::cerr << kFpUsage;
  return 2;
}

}  // namespace zel::cli
