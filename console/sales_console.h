// The sales console: a cashier's keyboard for the register in fiscal printer
// mode, as a model that a window or a script drives.
//
// Each key builds one command text from the entry state and the data image,
// sends it through the PrinterLink and, when the register accepts it, adds a
// display line to the receipt list. The report keys make the register print
// its reports; they are accepted only between receipts.
//
// Texts on the wire, in the display lines and in the exchange log are code
// page 1253 bytes; captions and messages are UTF-8 (the user's side).
//
// Where the keys would otherwise read outside a table or write past the last
// slot, the console refuses:
// - a line key whose command index has reached the last slot is refused with
//   "Υπερχείλιση ποσού!" (the keys that advance the index whatever the reply
//   could otherwise pass the 120th slot);
// - an item number outside 1 to 16000, a negative customer number, an item
//   whose department index is above 23 and a department whose VAT index is
//   above 4 are refused with "ΛΑΘΟΣ ΕΝΤΟΛΗ!": a sale with a made-up rate
//   would be a wrong tax on a fiscal receipt.
//
// After a failure the console never guesses. A command whose reply was lost
// or damaged is "unknown": the register may have carried it out. The console
// then asks the register ("?/": bit 2 of the status number says whether a
// receipt is open, the subtotal's amount due what is still to pay) and acts
// on what it says, at once and, while the register cannot be reached, before
// the next key:
// - an unknown line, adjustment or text of a receipt that is open: the
//   receipt is voided, since nobody can tell whether the line is on it;
// - an unknown payment (or a subtotal query after it that failed): a closed
//   receipt was printed; an open one goes on against the amount due;
// - an unknown void is sent again while the receipt is open;
// - a report or utility command stays unknown: its effect cannot be asked
//   (a Z whose reply was lost may have closed the day);
// - a receipt open on the register that the console does not hold is
//   voided, also when the console opens its link (a clean slate).
// A key that such a check had to change something for is not carried out:
// the user sees what happened and presses it again.
//
// Threading: the keys block while the register answers and are meant for a
// worker thread (the window) or the main thread (zelctl). The data image is
// read, and its unsaved-changes flag cleared, by the thread that presses the
// key; the window keeps itself locked meanwhile.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/command_link.h"
#include "console/command_texts.h"
#include "core/data_image.h"
#include "core/user_interface.h"

namespace zel {

// ---- Messages ----------------------------------------------------------------
inline constexpr std::string_view kMsgAmountOverflow = "Υπερχείλιση ποσού!";
inline constexpr std::string_view kMsgWrongCommand = "ΛΑΘΟΣ ΕΝΤΟΛΗ!";
inline constexpr std::string_view kMsgNoSale = "Χωρίς πώληση!";
inline constexpr std::string_view kMsgEnterPrice = "ΕΙΣΑΓΕΤΕ ΤΙΜΗ !";
inline constexpr std::string_view kMsgReceiptOpen = "Ανοιχτή απόδειξη! ";
inline constexpr std::string_view kConsoleCaption = "Setup ZEL - Ελεγχος Φορ.Εκτυπ.";
// What the status synchronisation and the failures come to.
inline constexpr std::string_view kMsgStateUnknown = "Άγνωστη κατάσταση του ΦΗΜ: ελέγξτε το χαρτί πριν επαναλάβετε";
inline constexpr std::string_view kMsgLeftOpenVoided =
    "Ο ΦΗΜ είχε ανοιχτή απόδειξη που δεν κρατούσε η κονσόλα: ακυρώθηκε.";
inline constexpr std::string_view kMsgUnconfirmedVoided =
    "Ο ΦΗΜ δεν επιβεβαίωσε την τελευταία εντολή: η απόδειξη ακυρώθηκε. Πληκτρολογήστε την ξανά.";
inline constexpr std::string_view kMsgNotCarriedOut = "Ο ΦΗΜ δεν εκτέλεσε την εντολή: πληκτρολογήστε την ξανά.";
inline constexpr std::string_view kMsgPaymentPrinted = "Η πληρωμή ολοκληρώθηκε: η απόδειξη εκδόθηκε.";
inline constexpr std::string_view kMsgPaymentOpen = "Η απόδειξη παραμένει ανοιχτή: υπόλοιπο προς πληρωμή ";
inline constexpr std::string_view kMsgCashMovementDone = "Η κίνηση μετρητών ολοκληρώθηκε.";
inline constexpr std::string_view kMsgReceiptGone =
    "Η απόδειξη δεν είναι πια ανοιχτή στον ΦΗΜ: ελέγξτε το χαρτί πριν επαναλάβετε";
inline constexpr std::string_view kMsgZUnknown =
    "Άγνωστο αν εκτυπώθηκε η αναφορά Ζ και έκλεισε η ημέρα: ελέγξτε το χαρτί του ΦΗΜ. Μην την επαναλάβετε πριν το "
    "ελέγξετε.";
inline constexpr std::string_view kMsgCommandUnknown =
    "Άγνωστο αν ο ΦΗΜ εκτέλεσε την εντολή: ελέγξτε το χαρτί πριν την επαναλάβετε";
inline constexpr std::string_view kMsgNoAnswer = "Ο ΦΗΜ δεν απάντησε";
inline constexpr std::string_view kMsgPrinted = "Η απόδειξη εκδόθηκε.";
inline constexpr std::string_view kMsgVoided = "Η απόδειξη ακυρώθηκε.";
inline constexpr std::string_view kMsgConfirmDailyZ = "Να εκτυπωθεί η ημερήσια αναφορά Ζ; Η ημέρα θα κλείσει.";
inline constexpr std::string_view kMsgRefusedCode = "Ο ΦΗΜ απέρριψε την εντολή (κωδικός ";

// ---- Keys --------------------------------------------------------------------
enum class ConsoleKey {
  kDepartment,  // "ΤΜ 1" .. "ΤΜ 14"
  kItem,
  kQuantity,
  kLineDiscountPercent,   // "- %"
  kLineSurchargePercent,  // "+ %"
  kLineDiscount,          // "-"
  kLineSurcharge,         // "+"
  kSubtotalDiscountPercent,
  kSubtotalSurchargePercent,
  kSubtotalDiscount,
  kSubtotalSurcharge,
  kPayment,
  kTotal,
  kTotalVoid,
  kExtraDescription,
  kCustomer,
  kTickets,
  kPaper,
  kDrawer,
  kTransferIn,   // "ΜΕΤΑΦ.+"
  kTransferOut,  // "ΜΕΤΑΦ.-"
  kSync,         // "ΣΥΝΔ.ΣΤΟ ΦΗΜ"
  // Report keys
  kDailyZ,
  kCopyLastZ,
  kReportX,
  kReportItems,
  kReportOperators,
  kReportElectronicFiles,
  kFiscalMemoryReports,
};

struct KeyInfo {
  ConsoleKey key;
  int department;  // 1..14 for kDepartment, else 0
  std::string_view caption;
  bool everyday;  // on the everyday panel; the others are offered in a group of their own
  bool report;
};

// Every key with its caption as the panel shows it, in panel order.
const std::vector<KeyInfo>& ConsoleKeys();
// The key whose caption is `caption` (UTF-8, compared exactly; the customer
// key is also known by the spelling "ΠΕΛATHΣ" with Latin A, T and H).
std::optional<KeyInfo> FindConsoleKey(std::string_view caption);

inline constexpr std::array<std::string_view, 3> kPaymentCaptions = {"ΜΕΤΡΗΤΑ", "ΚΑΡΤΑ", "ΕΠΙΤΑΓΗ"};
inline constexpr std::string_view kChangeMarkCaption = "ΑΛΛΑΓΗ";
inline constexpr std::string_view kVoidMarkCaption = "ΑΚΥΡΩΣΗ";
inline constexpr std::string_view kDetailedCaption = "ΑΝΑΛ.";
inline constexpr std::string_view kByDateCaption = "ΗΜΕΡ.";
inline constexpr std::string_view kPaehpsCaption = "ΠΑΗΨΣ";
inline constexpr std::string_view kLast3ZCaption = "ΤΕΛ.3Ζ";

// The entry field's text as a value with 3 decimals ("2,50" -> 2500): at most
// 5 integer digits and 3 decimals; nothing when the text is not such a number.
std::optional<std::int32_t> ParseEntry(std::string_view text);

// ---- State -------------------------------------------------------------------
inline constexpr std::size_t kDisplayWidth = 42;
using DisplayLine = std::array<std::uint8_t, kDisplayWidth>;

struct PickedDate {
  int year = 2000, month = 1, day = 1;
  bool operator==(const PickedDate&) const = default;
};

struct EntryState {
  std::int32_t value = 0;                // 3 decimals
  std::int32_t quantity = 1000;          // 3 decimals
  std::vector<std::string> extra_lines;  // the extra text, line by line (code page 1253)
  bool change_mark = false;              // "ΑΛΛΑΓΗ"
  bool void_mark = false;                // "ΑΚΥΡΩΣΗ"
  int payment_type = 0;                  // 0 "ΜΕΤΡΗΤΑ", 1 "ΚΑΡΤΑ", 2 "ΕΠΙΤΑΓΗ"
  int price_width = 2;
  DisplayLine display{};
};

struct ReportSelection {
  PickedDate from_picked, to_picked;  // the two date pickers
  std::uint32_t from_date = 0;        // from-picker at 00:00:00, seconds since 2000
  std::uint32_t to_date = 0;          // to-picker at 23:59:59
  std::uint16_t from_z = 0, to_z = 0;
  bool detailed = false;  // "ΑΝΑΛ."
  bool by_date = false;   // "ΗΜΕΡ."
  bool paehps = false;    // "ΠΑΗΨΣ"
  bool last_3z = false;   // "ΤΕΛ.3Ζ"
};

// One line of the exchange log: the numbered command and its reply.
struct LogLine {
  int slot = 0;
  std::string command;  // "  1: 3/S/..." (code page 1253; may hold control bytes)
  std::string reply;
  bool failed = false;                           // reply byte 0 of 101 or more: drawn red
  CommandOutcome outcome = CommandOutcome::kOk;  // unknown ones are drawn apart from both
};

// What a key came to, for the user and for scripts.
enum class KeyOutcome {
  kNone,     // nothing was sent (an entry key)
  kDone,     // every command accepted (a receipt that goes on, a report, a utility)
  kPrinted,  // a payment closed the receipt with nothing due
  kVoided,   // the receipt was voided (the void key, or a failure that left it unsure)
  kRefusal,  // the console or the register refused; the register did nothing
  kNotSent,  // the register could not be reached; nothing was sent for sure
  kUnknown,  // a command may have been carried out and the register could not say
};

// "COM5" or "LAN 192.168.1.50": the link as the user chose it.
std::string LinkName(const LinkSelection& selection);

// The lines of `log` that a box with room for `lines_that_fit` lines shows:
// the last ones, so the newest command is always in view.
std::vector<LogLine> ShownLog(const std::vector<LogLine>& log, int lines_that_fit);

// The seconds since 2000-01-01 00:00:00 of a date and time (years before
// 2000 count as 2000).
std::uint32_t PackDate(const PickedDate& date, int hour, int minute, int second);

class SalesConsole {
 public:
  SalesConsole(DataImage& image, UserInterface& ui, PrinterLink& link);

  // ---- Input
  EntryState entry;
  ReportSelection reports;
  // Today's date for the pickers; the system's local date unless replaced.
  std::function<PickedDate()> today;
  // Called after every exchange (the window redraws the log and the list).
  std::function<void()> on_exchange;
  // Every reset of the entry state, and hiding, clear the data image's
  // unsaved-changes flag, so that typing in the entry fields never counts as
  // a change of the database. The window, whose entry fields leave the flag
  // alone, turns this off: otherwise a key pressed while the database has
  // unsaved changes would let the program end without asking about them.
  bool clear_unsaved_flag = true;

  // Presses a key (department 1..14 for kDepartment). Refusals show their
  // message and send nothing.
  void Press(ConsoleKey key, int department = 0);
  void Press(const KeyInfo& key) { Press(key.key, key.department); }
  // The two marks after a click (their rules applied).
  void ClickChangeMark(bool checked);
  void ClickVoidMark(bool checked);
  // The four report check boxes after a click (their rules applied).
  void ClickReportBox(std::string_view caption, bool checked);
  // A picker reported a change.
  void PickDates(const PickedDate& from, const PickedDate& to);

  // ---- Panel life
  // Shown: IP default, dates, link opened, new receipt.
  void Show();
  // Hidden: an open receipt is voided, the link closed, `settings_path`
  // written with the link selection (empty: not written).
  void Hide(const std::string& settings_path);
  void ResetEntry();
  void NewReceipt();

  // ---- Output
  int command_index() const { return link_.store.index; }
  bool link_open() const { return link_.is_open(); }
  bool receipt_open() const { return link_.store.index != 0; }
  bool subtotal_adjusted() const { return subtotal_adjusted_; }
  const std::vector<DisplayLine>& receipt_list() const { return receipt_list_; }
  int selected_row() const { return selected_row_; }
  // The amount field of the last subtotal reply of this receipt that had
  // one ("" at start and once the next receipt's first command is sent).
  const std::string& amount_due() const { return amount_due_; }
  // The exchange log as it was drawn after the last exchange: slots 0 to
  // the command index then; `ShownLog` picks the last lines that fit.
  const std::vector<LogLine>& exchange_log() const { return log_; }
  std::vector<LogLine> ShownLog(int lines_that_fit) const;
  // The text of the command sent last and the result of its exchange.
  std::string_view last_command() const { return last_command_; }
  std::string_view last_reply() const { return last_reply_; }
  bool last_accepted() const { return last_accepted_; }
  CommandOutcome last_outcome() const { return last_outcome_; }

  // What the last key (or showing, or hiding) came to, and the same in words
  // for the panel (UTF-8; empty after a plain accepted key).
  KeyOutcome outcome() const { return outcome_; }
  const std::string& outcome_text() const { return outcome_text_; }
  // A command may have been carried out and the register has not said yet:
  // the next key asks it first.
  bool state_unknown() const { return pending_.has_value(); }
  // Some command's effect is still not known: a receipt command while the
  // register cannot be reached, or one that no reply of the register can
  // settle (a report, a utility, a receipt that vanished, one left open).
  bool effect_unknown() const { return (pending_ && *pending_ != Pending::kNone) || lost_effect_; }

 private:
  // What an unknown command was, for the status synchronisation.
  enum class Pending { kNone, kLine, kPayment, kVoid, kCashMovement, kReport, kDailyZ, kUtility };
  enum class Due { kDue, kNothingDue, kUnknown };

  bool Refuse(std::string_view message);
  // Builds slot `slot` from `text` and sends it; true when accepted. A
  // command whose outcome is unknown leaves `kind` pending; a refused or
  // unsent one sets the key's outcome.
  bool Send(int slot, std::string_view text, Pending kind);
  void Advance();
  Due SubtotalQuery();
  // "+/" (and the subtotal query and a new receipt when it was accepted); the
  // outcome of the "+/".
  CommandOutcome TotalVoid();
  // The status synchronisation: asks the register and settles a pending
  // unknown command by the rules above. True when the register's state agrees
  // with the console's and nothing had to change, so a key may go on.
  bool Reconcile(bool reopen);
  void SetOutcome(KeyOutcome outcome, std::string_view text = {});
  void Tell(KeyOutcome outcome, std::string_view text);
  std::string NoAnswerText() const;
  void DepartmentSale(int k);
  void ItemSale();
  void Sale(const std::optional<SaleCommand>& sale);
  SaleMode Mode() const;
  void Adjustment(ConsoleKey key);
  void EmptyReceiptAdjustment(ConsoleKey key);
  void Payment();
  void ExtraDescription();
  void Customer();
  void Tickets();
  void Sync();
  void Report(ConsoleKey key);
  void ComputeDates();
  std::string ExtraLine(std::size_t line, std::size_t width) const;
  void PutDisplay(std::size_t column, std::string_view bytes);
  void SaleDisplay(const SaleCommand& sale);

  DataImage& image_;
  UserInterface& ui_;
  PrinterLink& link_;
  bool subtotal_adjusted_ = false;
  std::vector<DisplayLine> receipt_list_;
  int selected_row_ = -1;
  std::string amount_due_;
  std::vector<LogLine> log_;
  std::string last_command_, last_reply_;
  bool last_accepted_ = false;
  CommandOutcome last_outcome_ = CommandOutcome::kOk;
  KeyOutcome outcome_ = KeyOutcome::kNone;
  std::string outcome_text_;
  std::optional<Pending> pending_;
  std::string pending_command_;  // the unknown command's text
  bool lost_effect_ = false;     // an effect that will never be known
};

}  // namespace zel
