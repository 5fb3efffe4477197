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
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commands.h"
#include "console/key_script.h"
#include "core/cp1253.h"
#include "link_options.h"
#include "terminal_ui.h"

namespace zel::cli {
namespace {

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

struct SendArgs {
  std::vector<std::string> texts;
  LinkOptions link;
};

int Send(const SendArgs& a) {
  const LinkSelection selection = a.link.Selection();
  const std::vector<std::string>& texts = a.texts;
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

struct KeysArgs {
  std::string db;
  std::vector<std::string> keys;
  bool keep_going = false;
  LinkOptions link;
};

int Keys(const KeysArgs& a) {
  const LinkSelection selection = a.link.Selection();
  auto steps = ParseKeySteps(a.keys);
  if (const std::string* problem = std::get_if<std::string>(&steps)) {
    std::cerr << *problem << '\n';
    return 2;
  }
  DataImage image;
  if (!LoadDatabase(a.db, image)) return 1;
  Console c(image, selection);
  PlayOptions options;
  options.keep_going = a.keep_going;
  options.before_close = PrintReceipt;
  RunTally tally;
  {
    StopOnSignal stop(c.link.link().abort);
    tally = PlayKeys(c.console, std::get<std::vector<KeyStep>>(steps), options);
  }
  return Finish(tally);
}

using TwoValues = std::pair<std::string, std::string>;

struct ReportArgs {
  std::string kind;
  std::optional<TwoValues> dates, z;  // --dates FROM TO, --z FROM TO
  bool last3 = false, detailed = false, paehps = false;
  LinkOptions link;
};

int Report(const ReportArgs& a) {
  const LinkSelection selection = a.link.Selection();
  const std::string& kind = a.kind;
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
  else  // fm: the parser takes no other name
    key = ConsoleKey::kFiscalMemoryReports;
  DataImage image;
  Console c(image, selection);
  std::optional<PickedDate> from, to;
  std::optional<std::uint16_t> from_z, to_z;
  const bool detailed = a.detailed, paehps = a.paehps, last3 = a.last3;
  if (a.dates) {
    from = ParseDate(a.dates->first);
    to = ParseDate(a.dates->second);
    if (!from || !to) {
      std::cerr << "Λάθος ημερομηνία (ΗΗ.ΜΜ.ΕΕΕΕ)\n";
      return 2;
    }
  }
  if (a.z) {
    from_z = ParseZ(a.z->first);
    to_z = ParseZ(a.z->second);
    if (!from_z || !to_z) {
      std::cerr << "Λάθος αριθμός Ζ (0 έως 9999)\n";
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

constexpr const char* kLinkUsage = "[--lan ADDR[:PORT] | --com N] [--baud 115200|9600]";
constexpr const char* kExitText =
    "Κάθε εντολή τυπώνει: κείμενο, απάντηση, ok | refused | unknown | not sent.\n"
    "Κατάσταση εξόδου:\n"
    "  0  η απόδειξη έκλεισε με την πληρωμή της (ή όλες οι αναφορές/εντολές έγιναν δεκτές)\n"
    "  1  απορρίφθηκε ή ακυρώθηκε: τίποτα δεν έμεινε ανοιχτό\n"
    "  2  τίποτα δεν εκτελέστηκε με βεβαιότητα (η σύνδεση δεν άνοιξε, τίποτα δεν στάλθηκε)\n"
    "  3  άγνωστο: μια εντολή μπορεί να εκτελέστηκε (ελέγξτε το χαρτί του ΦΗΜ)\n"
    "Ένα σενάριο επαναλαμβάνει την εντολή μόνο στο 1 ή στο 2.";
constexpr const char* kKeysText =
    "ARG: ένας αριθμός (\"2\", \"2,50\") πληκτρολογείται, ένα όνομα πλήκτρου (\"ΤΜ 3\", \"ΕΙΔΟΣ\",\n"
    "\"ΣΥΝΟΛΟ\", \"ΠΛΗΡΩΜΗ\", \"ΜΣ-%\", ...) πατιέται, text:ΓΡΑΜΜΗ, mark:ΑΛΛΑΓΗ, mark:ΑΚΥΡΩΣΗ,\n"
    "pay:ΜΕΤΡΗΤΑ|ΚΑΡΤΑ|ΕΠΙΤΑΓΗ, box:ΑΝΑΛ.|ΗΜΕΡ.|ΠΑΗΨΣ|ΤΕΛ.3Ζ\n"
    "Το keys σταματά στο πρώτο πλήκτρο που απορρίπτεται ή έχει άγνωστο αποτέλεσμα (εκτός με --keep-going)\n"
    "και ακυρώνει την ανοιχτή απόδειξη.\n";

void AddSend(CommandLine& cli, CLI::App& fp) {
  CLI::App* c = cli.Add(fp, "send", std::string("TEXT... ") + kLinkUsage,
                        "στέλνει κάθε κείμενο εντολής όπως είναι, μία ανταλλαγή το καθένα", kExitText);
  auto a = std::make_shared<SendArgs>();
  Argument(c, "TEXT", a->texts, "κείμενο εντολής του φορολογικού εκτυπωτή (π.χ. \"x/1///\")");
  AddLinkOptions(*c, a->link);
  cli.Runs(c, [a] { return Send(*a); });
}

void AddKeys(CommandLine& cli, CLI::App& fp) {
  CLI::App* c = cli.Add(fp, "keys", std::string("DB.cld ARG... [--keep-going] ") + kLinkUsage,
                        "παίζει τα πλήκτρα της κονσόλας με τα τμήματα, τα είδη, τον ΦΠΑ και τις πληρωμές της βάσης",
                        std::string(kKeysText) + kExitText);
  auto a = std::make_shared<KeysArgs>();
  Argument(c, "DB.cld", a->db, "η βάση δεδομένων (.cld)");
  Argument(c, "ARG", a->keys, "ένας αριθμός, ένα πλήκτρο, text:, mark:, pay: ή box:");
  c->add_flag("--keep-going", a->keep_going, "συνεχίζει μετά από πλήκτρο που απορρίφθηκε ή έχει άγνωστο αποτέλεσμα");
  AddLinkOptions(*c, a->link);
  cli.Runs(c, [a] { return Keys(*a); });
}

void AddReport(CommandLine& cli, CLI::App& fp) {
  CLI::App* c = cli.Add(fp, "report",
                        "z|x|items|operators|efiles|last-z|fm [--dates ΗΗ.ΜΜ.ΕΕΕΕ ΗΗ.ΜΜ.ΕΕΕΕ | --z N N | --last-3z] "
                        "[--detailed] [--paehps] " +
                            std::string(kLinkUsage),
                        "πατά ένα πλήκτρο αναφοράς (το z κλείνει την ημέρα)", kExitText);
  auto a = std::make_shared<ReportArgs>();
  Argument(c, "KIND", a->kind,
           "z (ημερήσια Ζ), x, items (είδη), operators (χειριστές), efiles (ηλ. αρχεία),\n"
           "last-z (αντίγραφο τελευταίου Ζ), fm (φορολογική μνήμη: --dates, --z ή --last-3z)")
      ->check(CLI::IsMember({"z", "x", "items", "operators", "efiles", "last-z", "fm"}).description(""));
  c->add_option_function<TwoValues>(
       "--dates", [a](const TwoValues& d) { a->dates = d; }, "fm: από ημερομηνία έως ημερομηνία")
      ->type_name("ΗΗ.ΜΜ.ΕΕΕΕ ΗΗ.ΜΜ.ΕΕΕΕ");
  c->add_option_function<TwoValues>(
       "--z", [a](const TwoValues& z) { a->z = z; }, "fm: από Ζ έως Ζ (0 έως 9999)")
      ->type_name("N N");
  c->add_flag("--last-3z", a->last3, "fm: οι τρεις τελευταίες Ζ");
  c->add_flag("--detailed", a->detailed, "fm: αναλυτική");
  c->add_flag("--paehps", a->paehps, "fm: ΠΑΗΨΣ");
  AddLinkOptions(*c, a->link);
  cli.Runs(c, [a] { return Report(*a); });
}

}  // namespace

void AddFp(CommandLine& cli) {
  CLI::App* fp = cli.Add(
      "fp", "send TEXT... | keys DB.cld ARG... | report KIND [...] [--lan ADDR[:PORT] | --com N] [--baud 115200|9600]",
      "ο ΦΗΜ ως φορολογικός εκτυπωτής: εντολές, πλήκτρα της κονσόλας, αναφορές (zelctl fp ΕΝΤΟΛΗ --help για "
      "λεπτομέρειες)",
      kExitText);
  fp->require_subcommand(1);
  AddSend(cli, *fp);
  AddKeys(cli, *fp);
  AddReport(cli, *fp);
}

}  // namespace zel::cli
