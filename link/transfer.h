// The transfer driver: one press of Start on the transfer panel, i.e. open
// the link, identify the register, then read or write every ticked kind of
// data in a fixed order, one record per exchange.
//
// RunTransfer works only on the objects passed in (session, image, user
// interface) and never touches a widget: the GUI runs it on a worker thread
// while it blocks every input but Stop, which sets session.abort. Progress
// and the per-kind marks go through UserInterface::SetProgressRange,
// SetProgress and MarkKind.
//
// A read kind is staged on a scratch copy of the image and committed only
// when the kind ends with result 0, so a failed or stopped read never leaves
// a half-filled table. Result 1 (failure or Stop) ends the transfer; other
// failures mark the kind and the transfer goes on, but the final message then
// says that not everything was transferred.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_image.h"
#include "core/user_interface.h"
#include "link/exchange.h"
#include "link/reports.h"
#include "link/settings.h"

namespace zel {

enum class Direction { kRead = 0, kWrite = 1 };

// The kinds of data in transfer order.
enum class Kind {
  kLogo,
  kFiscalLogo,
  kHeaderFooter,
  kPayments,
  kVatRates,
  kCategories,
  kDepartments,
  kOperators,
  kItems,
  kFiscalMemory,
  kTaxCode,
  kCustomers,
  kParameters,
};
inline constexpr int kKindCount = 13;

struct KindInfo {
  Kind kind;
  int control_id;            // the panel's check box
  std::string_view caption;  // the check box caption
  std::string_view name;     // zelctl's name
  std::uint8_t read_code;
  std::uint8_t write_code;  // 0: read only
  int records;
};

inline constexpr std::array<KindInfo, kKindCount> kKinds = {{
    {Kind::kLogo, 1110, "Γραφικό λογότ.", "logo", 0x77, 0x78, 180},
    {Kind::kFiscalLogo, 1119, "Φορολ.λογότυπο", "fiscal-logo", 0x65, 0x66, 9},
    {Kind::kHeaderFooter, 1111, "Κεφαλ./Υποσέλ.", "header", 0x65, 0x66, 6},
    {Kind::kPayments, 1108, "Πληρωμές", "payments", 0x6D, 0x6E, 1},
    {Kind::kVatRates, 1115, "Κατηγορίες ΦΠΑ", "vat", 0x6B, 0x6C, 1},
    {Kind::kCategories, 1179, "Κατηγορίες", "categories", 0x71, 0x72, 30},
    {Kind::kDepartments, 1112, "Τμήματα", "departments", 0x6F, 0x70, 24},
    {Kind::kOperators, 1114, "Χειριστές", "operators", 0x75, 0x76, 25},
    {Kind::kItems, 1113, "Είδη", "items", 0x73, 0x74, 16000},
    {Kind::kFiscalMemory, 1117, "Φορολογ.μνήμη", "fiscal-memory", 0x7D, 0, 4096},
    {Kind::kTaxCode, 1118, "ΓΓΠΣ Κωδικος", "tax-code", 0x69, 0x6A, 1},
    {Kind::kCustomers, 1116, "Πελατες", "customers", 0x81, 0x82, 1000},
    {Kind::kParameters, 1107, "Παράμετροι", "params", 0x67, 0x68, 3},
}};

inline const KindInfo& InfoOf(Kind k) { return kKinds[static_cast<std::size_t>(k)]; }
std::optional<Kind> KindByName(std::string_view name);

// ---- Texts -------------------------------------------------------------------
inline constexpr std::string_view kMsgTransferDone = "Η μεταφορά δεδομένων ολοκληρώθηκε επιτυχώς!";
inline constexpr std::string_view kMsgTransferIncomplete =
    "Η μεταφορά δεδομένων δεν ολοκληρώθηκε: δεν μεταφέρθηκαν όλα τα δεδομένα!";
inline constexpr std::string_view kMsgSelectData = "Επιλέξτε τα δεδομένα προς μεταφορά...";
inline constexpr std::string_view kMsgPleaseWait = "ΠΑΡΑΚΑΛΩ ΠΕΡΙΜΕΝΕΤΕ (STOP-ΔΙΑΚΟΠΗ)";
inline constexpr long kPleaseWaitColour = 0xE0E0FF;
inline constexpr std::string_view kMsgReportFile = "Δεν ήταν δυνατό να γραφτεί το αρχείο αναφοράς:";
inline constexpr std::string_view kMsgVerified = "Επαλήθευση: τα δεδομένα της ΦΗΜ είναι ίδια με αυτά που στάλθηκαν.";
inline constexpr std::string_view kMsgVerifyDifferences = "Η επαλήθευση βρήκε διαφορές στη ΦΗΜ:";
inline constexpr std::string_view kMsgVerifyFailed =
    "Η εγγραφή έγινε, αλλά η επαλήθευση δεν ολοκληρώθηκε: τα δεδομένα της ΦΗΜ δεν διαβάστηκαν όλα.";
inline constexpr std::string_view kMsgCompareEqual =
    "Η σύγκριση ολοκληρώθηκε: τα δεδομένα της ΦΗΜ είναι ίδια με τη βάση δεδομένων.";
inline constexpr std::string_view kMsgCompareDifferent = "Η σύγκριση βρήκε διαφορές:";
inline constexpr std::string_view kMsgCompareIncomplete =
    "Η σύγκριση δεν ολοκληρώθηκε: δεν διαβάστηκαν όλα τα δεδομένα της ΦΗΜ.";
inline constexpr std::string_view kMsgBackupFailed =
    "Το αντίγραφο ασφαλείας δεν ολοκληρώθηκε. Να γίνει η εγγραφή χωρίς αντίγραφο;";
inline constexpr std::string_view kMsgBackupFile = "Αντίγραφο ασφαλείας:";
inline constexpr std::string_view kMsgResumeOtherRegister = "Η συνέχεια αφορά άλλη ΦΗΜ:";
inline constexpr std::string_view kMsgResumeDataChanged =
    "Τα δεδομένα άλλαξαν μετά τη διακοπή: η συνέχεια δεν είναι δυνατή. Ξεκινήστε τη μεταφορά από την αρχή.";
// The folder of the backups, beside the report files.
inline constexpr std::string_view kBackupFolderName = "Αντίγραφα ασφαλείας";

// A kind's result when a report file could not be written (the program's
// own; it marks the kind failed and the transfer goes on).
inline constexpr std::uint8_t kFileFailure = 3;

// ---- Request and outcome -----------------------------------------------------
// How far one kind of a transfer got: what a resumed transfer carries on
// from.
struct KindProgress {
  bool done = false;    // transferred whole; a resumed transfer leaves it out
  int from = 0;         // writes: the record to start at (the one that failed)
  bool opened = false;  // items and customers written: the table opening was taken
  bool operator==(const KindProgress&) const = default;
};

// Where a transfer that failed part-way stopped ("Συνέχεια", zelctl
// --resume). Only kinds written resume in the middle: a read kind is staged
// whole, so a resumed read starts the failed kind again from its start.
struct ResumePoint {
  Direction direction = Direction::kWrite;
  std::string registration;      // the register it was transferred with
  std::uint64_t data_check = 0;  // writes: ImageCheck of the database sent; 0 = not checked
  std::array<KindProgress, kKindCount> kinds{};
  bool operator==(const ResumePoint&) const = default;
};

// A checksum of the whole image (FNV-1a, 64 bits): a resumed write refuses a
// database that changed since it stopped.
std::uint64_t ImageCheck(const DataImage& image);

struct TransferRequest {
  Direction direction = Direction::kRead;
  std::array<bool, kKindCount> kinds{};  // in transfer order
  bool sales_report = false;             // items read: write the sales report
  bool clear_sales = false;              // items read: clear the register's sales data afterwards

  // ---- Beyond the plain transfer; all off unless asked for.
  // "Σύγκριση": the ticked kinds are read into a scratch image and compared
  // with the image, which is not touched (direction read).
  bool compare = false;
  // "Επαλήθευση μετά την εγγραφή": a write that succeeded is read back and
  // compared with what was sent.
  bool verify = false;
  // "Αντίγραφο ασφαλείας πριν την εγγραφή": before a write, the kinds about to
  // be written are read from the register into a dated .cld in this folder.
  std::string backup_folder;
  // Carry on where an earlier transfer of the same register stopped.
  std::optional<ResumePoint> resume;
  // A read that went through ends with kMsgTransferDone; a caller that
  // still has to keep what was read (zelctl saves the database file) turns
  // this off and says it itself once that is done, so the success line
  // never stands before a failed save.
  bool announce_done = true;

  bool& operator[](Kind k) { return kinds[static_cast<std::size_t>(k)]; }
  bool operator[](Kind k) const { return kinds[static_cast<std::size_t>(k)]; }
  bool any() const;
};

// One field that differs between the database and the register.
struct Difference {
  Kind kind;
  int record = 0;         // 1-based, as the panels number them
  std::string field;      // the field's name (UTF-8)
  std::string database;   // the database's value, as text (UTF-8)
  std::string register_;  // the register's value
  bool operator==(const Difference&) const = default;
};

struct TransferOutcome {
  bool connected = false;                               // the link opened
  bool identified = false;                              // the register answered the identification
  bool success = false;                                 // every ticked kind was transferred
  bool stopped = false;                                 // the abort flag was set at the end (the user pressed Stop)
  std::string registration;                             // 11 characters, code page 1253, as the register sent them
  std::array<UserInterface::Mark, kKindCount> marks{};  // kNone for kinds not run
  std::vector<std::string> files;                       // report files written
  int records = 0;                                      // record exchanges the register accepted

  // The options beyond the plain transfer.
  bool compared = false;                // a comparison read every ticked kind
  bool verified = false;                // a write was read back and found as sent
  std::vector<Difference> differences;  // of the comparison or the verification
  std::string backup_file;              // the backup written before the write
  std::optional<ResumePoint> resume;    // where a failed transfer stopped
};

// ---- Rules for data on the wire ----------------------------------------------
// Read rule: a field starting with 0x00 or 0xFF becomes all 0x00, otherwise
// its 0x00 and 0xFF bytes become blanks. Write rule: the same, but an empty
// field becomes all 0xFF.
void CleanRead(std::span<std::uint8_t> field);
void CleanWrite(std::span<std::uint8_t> field);
// The bit order of a logo byte reversed.
std::uint8_t Mirror(std::uint8_t b);
// A telephone text of up to 16 digits as 8 bytes (56-bit value, digit count).
void PackDigits(std::span<const std::uint8_t> text16, std::span<std::uint8_t, 8> packed);
void UnpackDigits(std::span<const std::uint8_t, 8> packed, std::span<std::uint8_t> text16);
// The registration number from the identification reply's data: three
// characters at 15..17, then four bytes as two digits each (nibble + '0').
std::string RegistrationNumber(const std::uint8_t* reply_data);

// ---- Driver --------------------------------------------------------------------
// What one transfer works with.
struct TransferContext {
  TransferContext(LinkSession& l, DataImage& i, UserInterface& u) : link(l), image(i), ui(u) {}
  LinkSession& link;
  DataImage& image;
  UserInterface& ui;
  Direction direction = Direction::kRead;
  bool sales_report = false;
  bool clear_sales = false;
  std::string report_folder;  // ReportFolder of the report path
  std::string registration;   // from the identification
  ReportDate date;            // for report titles
  std::vector<std::string> files;
  // Resuming a write: the record to start at and whether the table opening
  // (items, customers) was taken already.
  int from = 0;
  bool opened = false;
  // Out: the record of the last exchange, whether the opening was taken, and
  // the exchanges accepted.
  int at = 0;
  int accepted = 0;
};

// Reads or writes one kind; returns the result of its last exchange (or
// kFileFailure). Reads commit to ctx.image only on result 0 (and mark the
// image modified).
std::uint8_t TransferKind(TransferContext& ctx, Kind kind);

// The fiscal memory into FM_<reg>.BIN, then its report FM_<reg>.TXT.
std::uint8_t ReadFiscalMemory(TransferContext& ctx);
// Fetches the sales report header and creates the report files.
std::uint8_t OpenSalesReport(TransferContext& ctx, SalesReport& report);

// One whole transfer. The link is opened and closed here; session.log is
// used as it is (StartTransfer opens it).
TransferOutcome RunTransfer(LinkSession& session, const TransferRequest& request, DataImage& image, UserInterface& ui,
                            const LinkSelection& selection, std::string_view report_path,
                            const ReportDate& date = Today());
// Start: refuses an empty choice with "Επιλέξτε τα δεδομένα προς μεταφορά...",
// creates the log file anew, runs the transfer and closes the log. The abort
// flag is left as the transfer ended: the caller (the panel) sees a Stop
// there and clears it, and clears a leftover one before the next Start or
// check, whose LAN settle time it would otherwise end at once.
TransferOutcome StartTransfer(LinkSession& session, const TransferRequest& request, DataImage& image, UserInterface& ui,
                              const LinkSelection& selection, std::string_view report_path,
                              const std::string& log_path = std::string(kLogFile), const ReportDate& date = Today());
// The connection check: connect, request 0x79, disconnect, with the log
// file. True when the register answered.
bool CheckConnection(LinkSession& session, const LinkSelection& selection, UserInterface& ui,
                     const std::string& log_path = std::string(kLogFile));

}  // namespace zel
