// zelctl export-items / import-items / export-customers / import-customers:
// the CSV import and export of the items and customers panels, for scripts.
// An import writes the database back only when it ran to its end; every
// message goes to stderr and a failure gives a non-zero exit status.
#include <iostream>
#include <string>
#include <string_view>

#include "cli/terminal_ui.h"
#include "commands.h"
#include "core/cp1253.h"
#include "core/database_file.h"
#include "editors/csv.h"

namespace zel::cli {
namespace {

using editors::CsvOptions;

bool LoadDatabase(const std::string& path, DataImage& image) {
  if (ReadDatabaseFile(path, image.raw()) != FileStatus::kOk) {
    std::cerr << kMsgReadError << '\n';
    return false;
  }
  return true;
}

bool SaveDatabase(const std::string& path, const DataImage& image) {
  if (WriteDatabaseFile(path, image) != FileStatus::kOk) {
    std::cerr << kMsgWriteError << '\n';
    return false;
  }
  return true;
}

// "number,name,price,barcode,department,category" in any order and subset;
// the name column is always there.
bool ParseColumns(std::string_view list, editors::CsvColumns& columns) {
  columns = {false, false, false, false, false};
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view word = list.substr(0, comma);
    if (word == "number") columns.number = true;
    else if (word == "price") columns.price = true;
    else if (word == "barcode") columns.barcode = true;
    else if (word == "department") columns.department = true;
    else if (word == "category") columns.category = true;
    else if (word != "name") {
      std::cerr << "Άγνωστη στήλη: " << word << " (number, name, price, barcode, department, category)\n";
      return false;
    }
    list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
  }
  return true;
}

// Splits "DB FILE [--option value]..." and fills the items options.
// Returns 0, or the exit status of a misuse.
int ParseItemsArgs(Args args, bool import, std::string_view usage, CsvOptions& o) {
  if (args.size() < 2) {
    std::cerr << usage;
    return 2;
  }
  o.path = args[1];
  for (std::size_t i = 2; i < args.size(); i += 2) {
    const std::string& opt = args[i];
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
      if (value == "correct") o.mode = editors::UpdateMode::kCorrect;
      else if (value == "replace") o.mode = editors::UpdateMode::kReplace;
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
      o.title = *title;
    } else {
      std::cerr << "Άγνωστη επιλογή: " << opt << "\n" << usage;
      return 2;
    }
  }
  return 0;
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
  const int misuse = ParseItemsArgs(
      args, true,
      "Χρήση: zelctl import-items DB.cld IN.csv [--title-lines N] [--mode correct|replace] "
      "[--columns number,name,...]\n",
      o);
  if (misuse) return misuse;
  DataImage image;
  if (!LoadDatabase(args[0], image)) return 1;
  TerminalUi ui;
  if (!editors::ImportItems(image, o, ui).done) return 1;
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
  if (args.size() != 2) {
    std::cerr << "Χρήση: zelctl import-customers DB.cld IN.csv\n";
    return 2;
  }
  DataImage image;
  if (!LoadDatabase(args[0], image)) return 1;
  TerminalUi ui;
  if (!editors::ImportCustomers(image, args[1], ui).done) return 1;
  return SaveDatabase(args[0], image) ? 0 : 1;
}

}  // namespace zel::cli
