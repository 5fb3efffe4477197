// zelctl export-items / import-items / export-customers / import-customers:
// the CSV import and export of the items and customers panels, for scripts.
// An import writes the database back only when it ran to its end; every
// message goes to stderr and a failure gives a non-zero exit status. Lines
// an import could not take are a warning, and a failure with --strict.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/terminal_ui.h"
#include "commands.h"
#include "core/cp1253.h"
#include "core/database_file.h"
#include "core/safe_file.h"
#include "editors/csv.h"

namespace zel::cli {
namespace {

using editors::CsvOptions;

struct ItemsCsvArgs {
  std::string db;
  CsvOptions csv;
  std::vector<std::string> columns;  // --columns, split at the commas (none: all; name is always there)
  std::string title;                 // --title, UTF-8
  bool strict = false;
};

// The options of the command line as the CSV code takes them. Returns 0,
// or the exit status of a misuse.
int ItemsOptions(const ItemsCsvArgs& a, CsvOptions& o) {
  o = a.csv;
  if (!a.columns.empty()) {
    o.columns = {false, false, false, false, false};
    for (const std::string& word : a.columns) {
      o.columns.number = o.columns.number || word == "number";
      o.columns.price = o.columns.price || word == "price";
      o.columns.barcode = o.columns.barcode || word == "barcode";
      o.columns.department = o.columns.department || word == "department";
      o.columns.category = o.columns.category || word == "category";
    }
  }
  const std::optional<std::string> title = cp1253::FromUtf8(a.title);
  if (!title || title->size() > editors::kMaxCsvTitle) {
    std::cerr << "Ο τίτλος έχει έως 97 χαρακτήρες του ελληνικού κώδικα 1253\n";
    return 2;
  }
  if (!editors::IsOneLineTitle(*title)) {
    std::cerr << editors::kMsgTitleLineBreak << '\n';
    return 2;
  }
  o.title = *title;
  return 0;
}

// --strict: an import that left lines of the file out (the warning said
// which) counts as failed, and the database is not written.
bool Strictly(const editors::CsvOutcome& r, bool strict, const std::string& db) {
  if (!strict || r.lines_not_taken == 0) return true;
  std::cerr << "--strict: η βάση " << EscapedControls(db) << " δεν άλλαξε.\n";
  return false;
}

int CmdExportItems(const ItemsCsvArgs& a) {
  CsvOptions o;
  const int misuse = ItemsOptions(a, o);
  if (misuse) return misuse;
  DataImage image;
  if (!LoadDatabase(a.db, image)) return 1;
  TerminalUi ui;
  return editors::ExportItems(image, o, ui).done ? 0 : 1;
}

int CmdImportItems(const ItemsCsvArgs& a) {
  CsvOptions o;
  const int misuse = ItemsOptions(a, o);
  if (misuse) return misuse;
  DataImage image;
  if (!LoadDatabase(a.db, image)) return 1;
  TerminalUi ui;
  const editors::CsvOutcome r = editors::ImportItems(image, o, ui);
  if (!r.done || !Strictly(r, a.strict, a.db)) return 1;
  return SaveDatabase(a.db, image) ? 0 : 1;
}

struct CustomersCsvArgs {
  std::string db, csv;
  bool strict = false;
};

int CmdExportCustomers(const CustomersCsvArgs& a) {
  DataImage image;
  if (!LoadDatabase(a.db, image)) return 1;
  TerminalUi ui;
  return editors::ExportCustomers(image, a.csv, ui).done ? 0 : 1;
}

int CmdImportCustomers(const CustomersCsvArgs& a) {
  DataImage image;
  if (!LoadDatabase(a.db, image)) return 1;
  TerminalUi ui;
  const editors::CsvOutcome r = editors::ImportCustomers(image, a.csv, ui);
  if (!r.done || !Strictly(r, a.strict, a.db)) return 1;
  return SaveDatabase(a.db, image) ? 0 : 1;
}

constexpr const char* kDatabaseHelp = "η βάση δεδομένων (.cld)";
constexpr const char* kColumnsHelp =
    "οι στήλες του αρχείου, με κόμματα, με όποια σειρά: number, name, price, barcode,\n"
    "department, category (η name υπάρχει πάντα· αρχικά όλες)";

// The arguments and --columns that export-items and import-items share.
std::shared_ptr<ItemsCsvArgs> ItemsArguments(CLI::App* c, const char* file_help) {
  auto a = std::make_shared<ItemsCsvArgs>();
  Argument(c, "DB.cld", a->db, kDatabaseHelp);
  Argument(c, "FILE.csv", a->csv.path, file_help);
  c->add_option("--columns", a->columns, kColumnsHelp)
      ->type_name("number,name,...")
      ->delimiter(',')
      ->check(CLI::IsMember({"number", "name", "price", "barcode", "department", "category"}).description(""));
  return a;
}

}  // namespace

void AddExportItems(CommandLine& cli) {
  CLI::App* c =
      cli.Add("export-items", "DB.cld OUT.csv [--title T] [--columns number,name,price,barcode,department,category]",
              "γράφει τα είδη σε αρχείο CSV");
  const auto a = ItemsArguments(c, "το αρχείο CSV που γράφεται (κωδικοσελίδα 1253, ;, CR LF)");
  c->add_option("--title", a->title, "η γραμμή τίτλου του αρχείου (έως 97 χαρακτήρες)")->type_name("T");
  cli.Runs(c, [a] { return CmdExportItems(*a); });
}

void AddImportItems(CommandLine& cli) {
  CLI::App* c =
      cli.Add("import-items", "DB.cld IN.csv [--title-lines N] [--mode correct|replace] [--columns ...] [--strict]",
              "διαβάζει είδη από αρχείο CSV και αποθηκεύει τη βάση (correct = ΔΙΟΡΘΩΣΗ, replace = ΑΛΛΑΓΗ)");
  const auto a = ItemsArguments(c, "το αρχείο CSV (κωδικοσελίδα 1253 ή UTF-8)");
  c->add_option("--title-lines", a->csv.title_lines, "οι γραμμές τίτλου πριν από τα δεδομένα, 0 έως 9 (αρχικά 1)")
      ->type_name("N")
      ->check(CLI::Range(0, 9).description(""));
  c->add_option_function<std::string>(
       "--mode",
       [a](const std::string& mode) {
         a->csv.mode = mode == "correct" ? editors::UpdateMode::kCorrect : editors::UpdateMode::kReplace;
       },
       "correct (ΔΙΟΡΘΩΣΗ): διορθώνει τα είδη του αρχείου· replace (ΑΛΛΑΓΗ, αρχικά):\n"
       "αδειάζει πρώτα τον πίνακα των ειδών")
      ->type_name("correct|replace")
      ->check(CLI::IsMember({"correct", "replace"}).description(""));
  c->add_flag("--strict", a->strict, "γραμμές που δεν περάστηκαν κάνουν την εισαγωγή αποτυχία (η βάση δεν αλλάζει)");
  cli.Runs(c, [a] { return CmdImportItems(*a); });
}

void AddExportCustomers(CommandLine& cli) {
  CLI::App* c = cli.Add("export-customers", "DB.cld OUT.csv", "γράφει τους πελάτες σε αρχείο CSV");
  auto a = std::make_shared<CustomersCsvArgs>();
  Argument(c, "DB.cld", a->db, kDatabaseHelp);
  Argument(c, "OUT.csv", a->csv, "το αρχείο CSV που γράφεται");
  cli.Runs(c, [a] { return CmdExportCustomers(*a); });
}

void AddImportCustomers(CommandLine& cli) {
  CLI::App* c = cli.Add("import-customers", "DB.cld IN.csv [--strict]",
                        "διαβάζει τους πελάτες από αρχείο CSV και αποθηκεύει τη βάση");
  auto a = std::make_shared<CustomersCsvArgs>();
  Argument(c, "DB.cld", a->db, kDatabaseHelp);
  Argument(c, "IN.csv", a->csv, "το αρχείο CSV");
  c->add_flag("--strict", a->strict, "γραμμές που δεν περάστηκαν κάνουν την εισαγωγή αποτυχία (η βάση δεν αλλάζει)");
  cli.Runs(c, [a] { return CmdImportCustomers(*a); });
}

}  // namespace zel::cli
