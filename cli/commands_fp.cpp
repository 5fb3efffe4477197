// zelctl fp: the fiscal printer console from the command line, for
// technicians who test an installed register and for scripts (a nightly Z).
//
//   fp send TEXT...      each command text as it is, one exchange each
//   fp keys DB ARG...    the console's keys played on the engine, exactly as
//                        the window plays them
//   fp report KIND ...   one report key
//
// Every exchange prints one line: the command text, the reply text and what
// became of it: "ok", "refused", "unknown" (no intact reply: the register may
// have carried it out) or "not sent". `keys` stops at the first key that is
// refused or whose outcome is unknown (unless --keep-going), voids a receipt
// left open, and ends with one outcome, said on stderr. The exit status:
//   0  the receipt was closed by its payment with nothing due, or every
//      report or utility command was accepted
//   1  refused or voided: nothing was left open
//   2  nothing was carried out for sure (the link never opened, nothing sent)
//   3  unknown: a command may have been carried out (a lost reply to a Z, a
//      payment with the register unreachable afterwards)
// A script repeats a command line only on 1 or 2. Retry/Cancel questions
// are asked on the terminal; without one they answer Cancel.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "console/key_script.h"
#include "core/cp1253.h"
#include "link_options.h"
#include "terminal_ui.h"

namespace zel::cli {
namespace {

constexpr const char* kFpUsage =
    "Χρήση: zelctl fp send TEXT... [--lan ADDR[:PORT] | --com N] [--baud 115200|9600]\n"
    "       zelctl fp keys DB.cld ARG... [--keep-going] [--lan ADDR[:PORT] | --com N] [--baud 115200|9600]\n"
    "           ARG: ένας αριθμός (\"2\", \"2,50\") πληκτρολογείται, ένα όνομα πλήκτρου (\"ΤΜ 3\", \"ΕΙΔΟΣ\",\n"
    "           \"ΣΥΝΟΛΟ\", \"ΠΛΗΡΩΜΗ\", \"ΜΣ-%\", ...) πατιέται, text:ΓΡΑΜΜΗ, mark:ΑΛΛΑΓΗ, mark:ΑΚΥΡΩΣΗ,\n"
    "           pay:ΜΕΤΡΗΤΑ|ΚΑΡΤΑ|ΕΠΙΤΑΓΗ, box:ΑΝΑΛ.|ΗΜΕΡ.|ΠΑΗΨΣ|ΤΕΛ.3Ζ\n"
    "       zelctl fp report z|x|items|operators|efiles|last-z|fm [--dates ΗΗ.ΜΜ.ΕΕΕΕ ΗΗ.ΜΜ.ΕΕΕΕ |\n"
    "           --z N N | --last-3z] [--detailed] [--paehps] [--lan ADDR[:PORT] | --com N] [--baud ...]\n"
    "Κάθε εντολή τυπώνει: κείμενο, απάντηση, ok | refused | unknown | not sent.\n"
    "Το keys σταματά στο πρώτο πλήκτρο που απορρίπτεται ή έχει άγνωστο αποτέλεσμα (εκτός με --keep-going)\n"
    "και ακυρώνει την ανοιχτή απόδειξη. Κατάσταση εξόδου:\n"
    "  0  η απόδειξη έκλεισε με την πληρωμή της (ή όλες οι αναφορές/εντολές έγιναν δεκτές)\n"
    "  1  απορρίφθηκε ή ακυρώθηκε: τίποτα δεν έμεινε ανοιχτό\n"
    "  2  τίποτα δεν εκτελέστηκε με βεβαιότητα (η σύνδεση δεν άνοιξε, τίποτα δεν στάλθηκε)\n"
    "  3  άγνωστο: μια εντολή μπορεί να εκτελέστηκε (ελέγξτε το χαρτί του ΦΗΜ)\n"
    "Ένα σενάριο επαναλαμβάνει την εντολή μόνο στο 1 ή στο 2.\n";

// Messages to stderr as the terminal UI writes them; a Retry/Cancel question
// is asked when there is a terminal to answer it.
class FpUi : public TerminalUi {
 public:
  // Every message goes to stderr: stdout carries the exchanges and the
  // receipt, one line each, for scripts.
  void ShowMessage(std::string_view text, Icon, std::string_view caption, bool) override {
    if (!caption.empty()) std::cerr << caption << ": ";
    std::cerr << text << '\n' << std::flush;
  }
  bool AskRetryCancel(std::string_view text, Icon icon) override {
    if (::isatty(STDIN_FILENO) == 0) return TerminalUi::AskRetryCancel(text, icon);
    std::cerr << text << "\n[Ε]πανάληψη ή [Α]κυρο; " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return !answer.empty() && (answer[0] == 'E' || answer[0] == 'e' || answer.starts_with("Ε") ||
                               answer.starts_with("ε") || answer[0] == 'r' || answer[0] == 'R');
  }
};

void PrintExchange(std::string_view command, std::string_view reply, CommandOutcome outcome) {
  std::cout << cp1253::ToUtf8(command) << '\t' << cp1253::ToUtf8(reply) << '\t' << OutcomeWord(outcome) << '\n'
            << std::flush;
}

// Takes the link options (and --keep-going, when asked) out of args; the
// rest stays in `rest`. False on misuse.
bool SplitLinkOptions(Args args, LinkSelection& selection, std::vector<std::string>& rest, bool* keep_going = nullptr) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (keep_going && args[i] == "--keep-going") {
      *keep_going = true;
    } else if (IsLinkOption(args[i])) {
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

// One console on a database image, each exchange printed as it happens.
struct Console {
  Console(DataImage& image, const LinkSelection& selection) : link(ui), console(image, ui, link) {
    link.selection = selection;
    console.on_exchange = [this] {
      PrintExchange(console.last_command(), console.last_reply(), console.last_outcome());
    };
  }
  FpUi ui;
  PrinterLink link;
  SalesConsole console;
};

int Finish(const RunTally& tally) {
  std::cerr << "Αποτέλεσμα: " << tally.Words() << '\n' << std::flush;
  return tally.ExitStatus();
}

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
  RunTally tally;
  {
    StopOnSignal stop(link.link().abort);
    if (link.OpenPrinterLink() != 0) {
      tally.NothingSent();
      return Finish(tally);
    }
    // The texts go as they are, one exchange each; a refusal does not stop
    // the rest, a command that got no intact reply does.
    for (const std::string& text : encoded) {
      link.store.index = 0;
      link.store.SetCommand(0, text);
      link.SendCommand();
      const CommandOutcome outcome = link.last_outcome();
      PrintExchange(text, link.store.ReplyText(0), outcome);
      if (outcome == CommandOutcome::kOk) tally.Add(KeyOutcome::kDone);
      if (outcome == CommandOutcome::kRefusal) tally.Add(KeyOutcome::kRefusal);
      if (outcome == CommandOutcome::kNotSent) tally.Add(KeyOutcome::kNotSent);
      if (outcome == CommandOutcome::kUnknown) tally.SetUnknown(true);
      if (outcome == CommandOutcome::kUnknown || outcome == CommandOutcome::kNotSent) break;
    }
    link.ClosePrinterLink();
  }
  return Finish(tally);
}

void PrintReceipt(const SalesConsole& console) {
  for (const DisplayLine& line : console.receipt_list())
    std::cout << "| " << cp1253::ToUtf8({reinterpret_cast<const char*>(line.data()), line.size()}) << '\n';
  if (!console.amount_due().empty()) std::cout << "Ποσό πληρωμής: " << console.amount_due() << '\n';
}

int Keys(Args args) {
  LinkSelection selection = SavedSelection();
  std::vector<std::string> rest;
  bool keep_going = false;
  if (!SplitLinkOptions(args, selection, rest, &keep_going) || rest.size() < 2) {
    std::cerr << kFpUsage;
    return 2;
  }
  auto steps = ParseKeySteps(std::span<const std::string>(rest).subspan(1));
  if (const std::string* problem = std::get_if<std::string>(&steps)) {
    std::cerr << *problem << '\n' << kFpUsage;
    return 2;
  }
  DataImage image;
  if (!LoadDatabase(rest[0], image)) return 1;
  Console c(image, selection);
  PlayOptions options;
  options.keep_going = keep_going;
  options.before_close = PrintReceipt;
  RunTally tally;
  {
    StopOnSignal stop(c.link.link().abort);
    tally = PlayKeys(c.console, std::get<std::vector<KeyStep>>(steps), options);
  }
  return Finish(tally);
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
  // The dates and fields as a user would set them before pressing the key.
  PlayOptions options;
  options.after_open = [&](SalesConsole& opened) {
    if (from) opened.PickDates(*from, *to);
    if (from_z) {
      opened.reports.from_z = *from_z;
      opened.reports.to_z = *to_z;
    }
  };
  std::vector<KeyStep> steps;
  const auto box = [&](std::string_view caption) {
    KeyStep s;
    s.kind = KeyStep::Kind::kReportBox;
    s.text = std::string(caption);
    steps.push_back(s);
  };
  if (from) box(kByDateCaption);
  if (detailed) box(kDetailedCaption);
  if (paehps) box(kPaehpsCaption);
  if (last3) box(kLast3ZCaption);
  KeyStep press;
  for (const KeyInfo& k : ConsoleKeys())
    if (k.key == key) press.key = k;
  steps.push_back(press);
  RunTally tally;
  {
    StopOnSignal stop(c.link.link().abort);
    tally = PlayKeys(c.console, steps, options);
  }
  return Finish(tally);
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
