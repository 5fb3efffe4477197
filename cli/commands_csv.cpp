// zelctl export-items / import-items / export-customers / import-customers:
// the CSV import and export of the items and customers panels, for scripts.
// An import writes the database back only when it ran to its end; every
// message goes to stderr and a failure gives a non-zero exit status. Lines
// an import could not take are a warning, and a failure with --strict.
#include <iostream>
#include <string>
#include <string_view>

#include "cli/terminal_ui.h"
#include "commands.h"
#include "core/cp1253.h"
#include "core/database_file.h"
#include "core/safe_file.h"
#include "editors/csv.h"

namespace zel::cli {
namespace {

using editors::CsvOptions;

// "number,name,price,barcode,department,category" in any order and subset;
// the name column is always there.
bool ParseColumns(std::string_view list, editors::CsvColumns& columns) {
  columns = {false, false, false, false, false};
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view word = list.substr(0, comma);
    if (word == "number")
      columns.number = true;
    else if (word == "price")
      columns.price = true;
    else if (word == "barcode")
      columns.barcode = true;
    else if (word == "department")
      columns.department = true;
    else if (word == "category")
      columns.category = true;
    else if (word != "name") {
      std::cerr << "Άγνωστη στήλη: " << word << " (number, name, price, barcode, department, category)\n";
      return false;
    }
    list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
  }
  return true;
}

// Splits "DB FILE [--option value]... [--strict]" and fills the items
// options. Returns 0, or the exit status of a misuse.
int ParseItemsArgs(Args args, bool import, std::string_view usage, CsvOptions& o, bool* strict = nullptr) {
  if (args.size() < 2) {
    std::cerr << usage;
    return 2;
  }
  o.path = args[1];
  for (std::size_t i = 2; i < args.size(); i += 2) {
    const std::string& opt = args[i];
    if (import && opt == "--strict" && strict != nullptr) {
      *strict = true;
      --i;  // a flag without a value
      continue;
    }
    if (i + 1 >= args.size()) {
      std::cerr << "Λείπει η τιμή του " << opt << "\n" << usage;
      return 2;
    }
    const std::string& value = args[i + 1];
    if (opt == "--columns") {
      if (!ParseColumns(value, o.columns)) return 2;
    } else if (import && opt == "--title-lines") {
      if (value.size() != 1 || value[0] < '0' || value[0] > '9') {
        std::cerr << "Οι γραμμές τίτλου είναι από 0 έως 9\n";
        return 2;
      }
      o.title_lines = value[0] - '0';
    } else if (import && opt == "--mode") {
      if (value == "correct")
        o.mode = editors::UpdateMode::kCorrect;
      else if (value == "replace")
        o.mode = editors::UpdateMode::kReplace;
      else {
        std::cerr << "--mode: correct (ΔΙΟΡΘΩΣΗ) ή replace (ΑΛΛΑΓΗ)\n";
        return 2;
      }
    } else if (!import && opt == "--title") {
      const std::optional<std::string> title = cp1253::FromUtf8(value);
      if (!title || title->size() > editors::kMaxCsvTitle) {
        std::cerr << "Ο τίτλος έχει έως 97 χαρακτήρες του ελληνικού κώδικα 1253\n";
        return 2;
      }
      if (!editors::IsOneLineTitle(*title)) {
        std::cerr << editors::kMsgTitleLineBreak << '\n';
        return 2;
      }
      o.title = *title;
    } else {
      std::cerr << "Άγνωστη επιλογή: " << opt << "\n" << usage;
      return 2;
    }
  }
  return 0;
}

// --strict: an import that left lines of the file out (the warning said
// which) counts as failed, and the database is not written.
bool Strictly(const editors::CsvOutcome& r, bool strict, const std::string& db) {
  if (!strict || r.lines_not_taken == 0) return true;
  std::cerr << "--strict: η βάση " << EscapedControls(db) << " δεν άλλαξε.\n";
  return false;
}

}  // namespace

int CmdExportItems(Args args) {
  CsvOptions o;
  const int misuse = ParseItemsArgs(
      args, false, "Χρήση: zelctl export-items DB.cld OUT.csv [--title T] [--columns number,name,...]\n", o);
  if (misuse) return misuse;
  DataImage image;
  if (!LoadDatabase(args[0], image)) return 1;
  TerminalUi ui;
  return editors::ExportItems(image, o, ui).done ? 0 : 1;
}

int CmdImportItems(Args args) {
  CsvOptions o;
  bool strict = false;
  const int misuse =
      ParseItemsArgs(args, true,
                     "Χρήση: zelctl import-items DB.cld IN.csv [--title-lines N] [--mode correct|replace] "
                     "[--columns number,name,...] [--strict]\n",
                     o, &strict);
  if (misuse) return misuse;
  DataImage image;
  if (!LoadDatabase(args[0], image)) return 1;
  TerminalUi ui;
  const editors::CsvOutcome r = editors::ImportItems(image, o, ui);
  if (!r.done || !Strictly(r, strict, args[0])) return 1;
  return SaveDatabase(args[0], image) ? 0 : 1;
}

int CmdExportCustomers(Args args) {
  if (args.size() != 2) {
    std::cerr << "Χρήση: zelctl export-customers DB.cld OUT.csv\n";
    return 2;
  }
  DataImage image;
  if (!LoadDatabase(args[0], image)) return 1;
  TerminalUi ui;
  return editors::ExportCustomers(image, args[1], ui).done ? 0 : 1;
}

int CmdImportCustomers(Args args) {
  const bool strict = args.size() == 3 && args[2] == "--strict";
  if (args.size() != 2 && !strict) {
    std::cerr << "Χρήση: zelctl import-customers DB.cld IN.csv [--strict]\n";
    return 2;
  }
  DataImage image;
  if (!LoadDatabase(args[0], image)) return 1;
  TerminalUi ui;
  const editors::CsvOutcome r = editors::ImportCustomers(image, args[1], ui);
  if (!r.done || !Strictly(r, strict, args[0])) return 1;
  return SaveDatabase(args[0], image) ? 0 : 1;
}

}  // namespace zel::cli
