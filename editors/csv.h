// Items and customers as semicolon-separated text files (code page 1253,
// CR LF line ends), for shops that keep their article or customer list in a
// spreadsheet.
//
// Contracts:
//   - An import reads the whole file first and works on a copy of its table;
//     the data image changes only when the import ran to its end. A file that
//     cannot be read or is not a regular file, or is refused (byte-order
//     mark, short customers header, a character code page 1253 lacks, no
//     line taken, an ΑΛΛΑΓΗ that would leave no item), leaves the image
//     exactly as it was. A line is taken whole or not at all: one whose price
//     or number field is not a number that field holds, or with control
//     bytes, is not taken rather than stored as another value. Lines an
//     import could not take are counted and said at its end, each cause with
//     the first line it met (control bytes shown escaped).
//   - An export builds the whole file in memory and writes it through a
//     temporary file that replaces the target only when complete; a target
//     the user may not write is refused and left as it is.
//   - A refusal for a file names it and the cause on a second line.
//   - Every failure shows its Greek message through the UserInterface; the
//     end of a successful run beeps (400 Hz, 40 ms).
//   - The returned CsvOutcome says what the panel does afterwards (refill
//     its list, show item 1 / the customers again, focus the number field).
// Single-threaded; runs to its end inside the user's command.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/data_image.h"
#include "core/user_interface.h"

namespace zel::editors {

enum class UpdateMode : std::uint8_t {
  kCorrect,  // "ΔΙΟΡΘΩΣΗ": edit the item table in place
  kReplace,  // "ΑΛΛΑΓΗ": empty the whole item table first
};

// Which item columns the file has; the name column is always there.
struct CsvColumns {
  bool number = true;
  bool price = true;
  bool barcode = true;
  bool department = true;
  bool category = true;
};

// The CSV options dialog's choices (each opening starts from these defaults
// and the remembered path).
struct CsvOptions {
  int title_lines = 1;                     // import: 0..9 lines dropped before the data
  UpdateMode mode = UpdateMode::kReplace;  // import
  std::string title;                       // export: code page 1253, up to kMaxCsvTitle
  CsvColumns columns;
  std::string path;
};
inline constexpr std::size_t kMaxCsvTitle = 97;

// What the panel does once the operation is over.
struct CsvOutcome {
  bool done = false;               // the operation ran to its end
  bool refill_list = false;        // items: fill the list again, select row 1, show item 1
  bool show_customers = false;     // customers: show group 5 again and the shared list
  bool focus_number_field = true;  // always: the item / customer number field
  int lines_not_taken = 0;         // import: lines of the file that went nowhere (said in a warning)
};

// ---- Texts --------------------------------------------------------------------
inline constexpr std::string_view kCsvImportTitle = "ΕΙΣΑΓΩΓΗ ΕΙΔΩΝ ΑΠΟ ΑΡΧΕΙΟ CSV";
inline constexpr std::string_view kCsvExportTitle = "ΕΞΑΓΩΓΗ ΕΙΔΩΝ ΣΕ ΑΡΧΕΙΟ CSV";
inline constexpr std::string_view kCsvFilter = "ΑΡΧΕΙΟ CSV (*.csv)|*.csv||";
inline constexpr std::string_view kMsgNoFile = "ΕΙΣΑΓΕΤΕ ΑΡΧΕΙΟ !";
inline constexpr std::string_view kMsgCsvReadError = "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!";
inline constexpr std::string_view kMsgCsvWriteError = "Σφάλμα εγγραφής!";
inline constexpr std::string_view kMsgNotAnsi = "Παρακαλώ μετατρέψτε το αρχείο σε απλό κείμενο (ANSI)";
inline constexpr std::string_view kMsgNoItems = "Δεν βρέθηκαν είδη στο αρχείο.";
inline constexpr std::string_view kMsgNoCustomers = "Δεν βρέθηκαν πελάτες στο αρχείο.";
inline constexpr std::string_view kMsgTitleLineBreak = "Ο τίτλος είναι μία γραμμή: χωρίς αλλαγή γραμμής.";
// A UTF-8 file with a character code page 1253 lacks: the line (from 1) and
// the character (UTF-8).
inline std::string UnencodableMessage(int line, std::string_view character) {
  return "Ο χαρακτήρας «" + std::string(character) + "» της γραμμής " + std::to_string(line) +
         " δεν υπάρχει στον ελληνικό κώδικα 1253.";
}
// The notice of a finished export: the file's name and how many records it
// holds ("Αποθηκεύτηκε το αρχείο items.csv: 120 είδη").
std::string ExportNotice(std::string_view path, int count, bool items);
// The long-line message: the 20 dots stand for the line's first 20 characters.
std::string LongLineMessage(std::string_view line);
// Labels of the options dialog, in column order (UTF-8).
inline constexpr std::string_view kColumnLabels[] = {"Αριθμός", "Ονομα", "Τιμη", "Barcode", "Τμήμα", "Κατηγορία"};
inline constexpr std::string_view kTitleLinesLabel = "Αρ. Γραμμών Τίτλου";
inline constexpr std::string_view kCorrectLabel = "ΔΙΟΡΘΩΣΗ";
inline constexpr std::string_view kReplaceLabel = "ΑΛΛΑΓΗ";
inline constexpr std::string_view kTitleLabel = "ΤΙΤΛΟΣ";
inline constexpr std::string_view kFileLabel = "ΑΡΧΕΙΟ";
inline constexpr std::string_view kBrowseLabel = "Αναζήτηση";
inline constexpr std::string_view kStartLabel = "ΕΝΑΡΞΗ";

// ---- The options dialog's rules --------------------------------------------------
CsvOptions DefaultCsvOptions(const std::string& remembered_path);
// "ΕΝΑΡΞΗ": false (after "ΕΙΣΑΓΕΤΕ ΑΡΧΕΙΟ !") when no file was chosen.
bool CanStart(const CsvOptions& options, UserInterface& ui);
// The "Αναζήτηση" file dialog (import: open; export: save with overwrite prompt).
FileDialog CsvFileDialog(bool import, const std::string& path);

// ---- Operations ------------------------------------------------------------------
// `starting` runs once the file was read and not refused, just before the
// table is worked on (a panel shows its wait text then, so a refusal comes
// with the panel as it was).
CsvOutcome ImportItems(DataImage& image, const CsvOptions& options, UserInterface& ui,
                       const std::function<void()>& starting = {});
CsvOutcome ExportItems(const DataImage& image, const CsvOptions& options, UserInterface& ui);
CsvOutcome ImportCustomers(DataImage& image, const std::string& path, UserInterface& ui,
                           const std::function<void()>& starting = {});
CsvOutcome ExportCustomers(const DataImage& image, const std::string& path, UserInterface& ui);

// ---- Pieces (file contents as bytes) ------------------------------------------------
// The items file an export writes.
std::string ItemsCsvText(const DataImage& image, const CsvOptions& options);
std::string CustomersCsvText(const DataImage& image);
// Imports from file contents; false after a refusal message (image
// unchanged). Contents that are UTF-8 without a byte-order mark are
// converted to code page 1253 first. Lines end with LF, CR LF or a CR
// alone. Lines that went nowhere (no room, an item number above 16000, too
// long, a price or number field that is not a number the field holds,
// control bytes) are counted into `lines_not_taken` and said in a warning
// at the end; a file from which no line was taken is refused.
bool ImportItemsText(DataImage& image, std::string_view data, const CsvOptions& options, UserInterface& ui,
                     int* lines_not_taken = nullptr, const std::function<void()>& starting = {});
bool ImportCustomersText(DataImage& image, std::string_view data, UserInterface& ui, int* lines_not_taken = nullptr,
                         const std::function<void()>& starting = {});
// The export title is one line: no CR or LF.
bool IsOneLineTitle(std::string_view title);

// One field of a line from `pos`: quotes, doubled quotes, at most 49
// characters kept. `pos` moves past the separator that ended the field.
inline constexpr std::size_t kMaxCsvField = 49;
std::string ReadCsvField(std::string_view line, std::size_t& pos);

// Items import column rules.
struct CsvPrice {
  std::int32_t price = 0;
  std::uint8_t decimals = 2;
};
// The price rule; nothing when the field is not a price the field holds
// (letters, a sign, an exponent, a fraction, more than six integer digits).
std::optional<CsvPrice> ParseCsvPrice(std::string_view field);

}  // namespace zel::editors
