#include "console/sales_console.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "core/convert.h"
#include "core/cp1253.h"
#include "link/settings.h"

namespace zel {
namespace {

constexpr Millis kAfterPayment{100};

std::string Cp(std::string_view utf8) { return cp1253::Encode(utf8); }

PickedDate SystemToday() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

// The "+" keys of the eight discount and surcharge keys.
bool IsSurcharge(ConsoleKey k) {
  return k == ConsoleKey::kLineSurchargePercent || k == ConsoleKey::kLineSurcharge ||
         k == ConsoleKey::kSubtotalSurchargePercent || k == ConsoleKey::kSubtotalSurcharge;
}

// Keys that send nothing.
bool SendsNothing(ConsoleKey k) { return k == ConsoleKey::kQuantity; }

}  // namespace

std::string LinkName(const LinkSelection& selection) {
  if (selection.lan()) {
    char text[32];
    std::snprintf(text, sizeof text, "LAN %u.%u.%u.%u", selection.ip[0], selection.ip[1], selection.ip[2],
                  selection.ip[3]);
    return text;
  }
  return "COM" + std::to_string(selection.port);
}

// ---- Keys ----------------------------------------------------------------------

const std::vector<KeyInfo>& ConsoleKeys() {
  static const std::vector<KeyInfo> keys = [] {
    static const char* const kDepartments[] = {"ΤΜ 1", "ΤΜ 2", "ΤΜ 3",  "ΤΜ 4",  "ΤΜ 5",  "ΤΜ 6",  "ΤΜ 7",
                                               "ΤΜ 8", "ΤΜ 9", "ΤΜ 10", "ΤΜ 11", "ΤΜ 12", "ΤΜ 13", "ΤΜ 14"};
    std::vector<KeyInfo> v;
    for (int k = 1; k <= 14; ++k) v.push_back({ConsoleKey::kDepartment, k, kDepartments[k - 1], true, false});
    const KeyInfo rest[] = {
        {ConsoleKey::kItem, 0, "ΕΙΔΟΣ", true, false},
        {ConsoleKey::kQuantity, 0, "ΠΟΣΟΤΗΤΑ", true, false},
        {ConsoleKey::kTotalVoid, 0, "ΟΛΙΚΗ ΑΚΥΡΩΣΗ", true, false},
        {ConsoleKey::kExtraDescription, 0, "ΠΡΟΣΘΕΤΗ  ΠΕΡΙΓΡΑΦΗ", true, false},
        {ConsoleKey::kPayment, 0, "ΠΛΗΡΩΜΗ", true, false},
        {ConsoleKey::kLineDiscountPercent, 0, "- %", true, false},
        {ConsoleKey::kLineSurchargePercent, 0, "+ %", true, false},
        {ConsoleKey::kLineDiscount, 0, "-", true, false},
        {ConsoleKey::kLineSurcharge, 0, "+", true, false},
        {ConsoleKey::kSubtotalDiscountPercent, 0, "ΜΣ-%", true, false},
        {ConsoleKey::kSubtotalSurchargePercent, 0, "ΜΣ+%", true, false},
        {ConsoleKey::kSubtotalDiscount, 0, "ΜΣ -", true, false},
        {ConsoleKey::kSubtotalSurcharge, 0, "ΜΣ +", true, false},
        {ConsoleKey::kTotal, 0, "ΣΥΝΟΛΟ", true, false},
        {ConsoleKey::kPaper, 0, "ΧΑΡΤΙ", true, false},
        {ConsoleKey::kDrawer, 0, "ΣΥΡΤΑΡΙ", true, false},
        {ConsoleKey::kTransferIn, 0, "ΜΕΤΑΦ.+", true, false},
        {ConsoleKey::kTransferOut, 0, "ΜΕΤΑΦ.-", true, false},
        {ConsoleKey::kDailyZ, 0, "ΗΜΕΡ.ΚΙΝΗ.Ζ", true, true},
        {ConsoleKey::kReportX, 0, "ΑΝΑΦΟΡΑ  Χ", true, true},
        {ConsoleKey::kCustomer, 0, "ΠΕΛΑΤΗΣ", false, false},
        {ConsoleKey::kTickets, 0, "ΕΙΣΙΤΗΡΙΑ", false, false},
        {ConsoleKey::kSync, 0, "ΣΥΝΔ.ΣΤΟ ΦΗΜ", false, false},
        {ConsoleKey::kReportItems, 0, "ΑΝΑΦΟΡΑ ΕΙΔΟΝ", false, true},
        {ConsoleKey::kReportOperators, 0, "ΑΝΑΦΟΡΑ ΧΕΙΡΙΣΤΩΝ", false, true},
        {ConsoleKey::kReportElectronicFiles, 0, "ΑΝΑΦΟΡΑ ΗΛ.ΑΡΧΕΙΩΝ", false, true},
        {ConsoleKey::kCopyLastZ, 0, "ΑΝΤΙΓΡΑΦΟ ΤΕΛ. Ζ", false, true},
        {ConsoleKey::kFiscalMemoryReports, 0, "ΑΝΑΦΟΡΕΣ  ΦΜ", false, true},
    };
    v.insert(v.end(), std::begin(rest), std::end(rest));
    return v;
  }();
  return keys;
}

std::optional<KeyInfo> FindConsoleKey(std::string_view caption) {
  // The customer key's caption was once spelt with Latin A, T and H.
  if (caption == "ΠΕΛATHΣ") caption = "ΠΕΛΑΤΗΣ";
  for (const KeyInfo& k : ConsoleKeys())
    if (k.caption == caption) return k;
  return std::nullopt;
}

std::optional<std::int32_t> ParseEntry(std::string_view text) {
  std::int32_t whole = 0, frac = 0;
  int integers = 0, decimals = 0;
  bool comma = false;
  for (char c : text) {
    if (c == ',' || c == '.') {
      if (comma) return std::nullopt;
      comma = true;
    } else if (c >= '0' && c <= '9') {
      if (comma) {
        if (++decimals > 3) return std::nullopt;
        frac = frac * 10 + (c - '0');
      } else {
        if (++integers > 5) return std::nullopt;
        whole = whole * 10 + (c - '0');
      }
    } else {
      return std::nullopt;
    }
  }
  if (integers + decimals == 0) return text.empty() ? std::optional<std::int32_t>(0) : std::nullopt;
  for (int i = decimals; i < 3; ++i) frac *= 10;
  return whole * 1000 + frac;
}

std::uint32_t PackDate(const PickedDate& date, int hour, int minute, int second) {
  Clock c;
  c.year = std::max(date.year, 2000);
  std::uint32_t s = 0;
  for (int y = 2000; y < c.year; ++y) s += YearSeconds(y - 2000);
  for (int m = 1; m < std::clamp(date.month, 1, 12); ++m) s += c.MonthSeconds(m);
  s += static_cast<std::uint32_t>(std::max(date.day, 1) - 1) * 86400u;
  return s + static_cast<std::uint32_t>(hour * 3600 + minute * 60 + second);
}

// ---- The console ---------------------------------------------------------------

SalesConsole::SalesConsole(DataImage& image, UserInterface& ui, PrinterLink& link)
    : today(SystemToday), image_(image), ui_(ui), link_(link) {
  entry.display.fill(' ');
}

bool SalesConsole::Refuse(std::string_view message) {
  ui_.ShowMessage(message, Icon::kError, {}, true);
  SetOutcome(KeyOutcome::kRefusal, message);
  return false;
}

void SalesConsole::SetOutcome(KeyOutcome outcome, std::string_view text) {
  outcome_ = outcome;
  if (text.empty() && outcome == KeyOutcome::kPrinted) text = kMsgPrinted;
  if (text.empty() && outcome == KeyOutcome::kVoided) text = kMsgVoided;
  outcome_text_ = std::string(text);
}

void SalesConsole::Tell(KeyOutcome outcome, std::string_view text) {
  SetOutcome(outcome, text);
  ui_.ShowMessage(text, Icon::kInformation, {}, false);
}

std::string SalesConsole::NoAnswerText() const {
  return std::string(kMsgNoAnswer) + " (" + LinkName(link_.selection) + ")";
}

std::string SalesConsole::ExtraLine(std::size_t line, std::size_t width) const {
  if (line >= entry.extra_lines.size()) return {};
  return entry.extra_lines[line].substr(0, width);
}

void SalesConsole::PutDisplay(std::size_t column, std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size() && column + i < kDisplayWidth; ++i)
    entry.display[column + i] = static_cast<std::uint8_t>(bytes[i]);
}

bool SalesConsole::Send(int slot, std::string_view text, Pending kind) {
  CommandStore& store = link_.store;
  if (slot >= kSlotCount) return Refuse(kMsgAmountOverflow);
  store.index = static_cast<std::int16_t>(slot);
  store.SetCommand(slot, text);
  link_.SendCommand();

  const auto n = static_cast<std::size_t>(store.index);
  log_.clear();
  for (std::size_t i = 0; i <= n && i < static_cast<std::size_t>(kSlotCount); ++i) {
    const CommandSlot& c = store.commands[i];
    const ReplySlot& r = store.replies[i];
    LogLine line;
    line.slot = static_cast<int>(i);
    char number[8];
    std::snprintf(number, sizeof number, "%3d: ", static_cast<int>(i + 1));
    line.command = number;
    const std::size_t shown = c[0] < 2 ? 0 : std::min<std::size_t>(c[0] - 2u, kCommandSlotSize - 2);
    line.command.append(reinterpret_cast<const char*>(c.data() + 2), shown);
    const std::size_t reply_length = r[0] % 100u;
    if (reply_length > 1)
      line.reply.assign(reinterpret_cast<const char*>(r.data() + 1), std::min(reply_length - 1, kReplySlotSize - 1));
    line.failed = r[0] >= 101;
    line.outcome = store.outcomes[i];
    log_.push_back(std::move(line));
  }

  if (store.index == 0) {
    receipt_list_.clear();
    amount_due_.clear();
  }
  const CommandOutcome outcome = link_.last_outcome();
  const bool accepted = outcome == CommandOutcome::kOk;
  last_command_ = std::string(text);
  last_reply_ = std::string(store.ReplyText(slot));
  last_accepted_ = accepted;
  last_outcome_ = outcome;
  if (accepted &&
      std::any_of(entry.display.begin(), entry.display.begin() + 30, [](std::uint8_t b) { return b > ' '; })) {
    receipt_list_.push_back(entry.display);
    selected_row_ = store.index;
  }
  switch (outcome) {
    case CommandOutcome::kOk:
      if (outcome_ == KeyOutcome::kNone) SetOutcome(KeyOutcome::kDone);
      break;
    case CommandOutcome::kRefusal:
      SetOutcome(KeyOutcome::kRefusal, std::string(kMsgRefusedCode) + cp1253::ToUtf8(store.Status(slot)) + ")");
      break;
    case CommandOutcome::kNotSent: SetOutcome(KeyOutcome::kNotSent, NoAnswerText()); break;
    case CommandOutcome::kUnknown:
      // The first unknown command of a key is the one the synchronisation
      // settles; the key sends nothing after it.
      if (!pending_) {
        pending_ = kind;
        pending_command_ = std::string(text);
      }
      SetOutcome(KeyOutcome::kUnknown, kMsgStateUnknown);
      break;
  }
  if (on_exchange) on_exchange();
  return accepted;
}

void SalesConsole::Advance() { ++link_.store.index; }

std::vector<LogLine> ShownLog(const std::vector<LogLine>& log, int lines_that_fit) {
  if (log.empty() || lines_that_fit <= 0) return {};
  const int n = static_cast<int>(log.size()) - 1;
  const int first = n + 1 > lines_that_fit ? n - lines_that_fit + 1 : 0;
  return {log.begin() + first, log.end()};
}

std::vector<LogLine> SalesConsole::ShownLog(int lines_that_fit) const { return ::zel::ShownLog(log_, lines_that_fit); }

void SalesConsole::ResetEntry() {
  entry.change_mark = entry.void_mark = false;
  reports.detailed = reports.by_date = reports.paehps = reports.last_3z = false;
  entry.value = 0;
  reports.from_z = reports.to_z = 0;
  entry.payment_type = 0;
  entry.quantity = 1000;
  entry.price_width = 2;
  const PickedDate d = today();
  reports.from_picked = reports.to_picked = d;  // the stored dates stay as they were
  entry.display.fill(' ');
  if (clear_unsaved_flag) image_.state.modified = false;
  entry.extra_lines.clear();
}

void SalesConsole::NewReceipt() {
  CommandStore& store = link_.store;
  for (CommandSlot& c : store.commands) c.fill(0);
  for (int i = 0; i < 100; ++i) store.replies[static_cast<std::size_t>(i)].fill(0);
  store.outcomes.fill(CommandOutcome::kOk);
  store.index = 0;
  subtotal_adjusted_ = false;
  ResetEntry();
}

void SalesConsole::ComputeDates() {
  reports.from_date = PackDate(reports.from_picked, 0, 0, 0);
  reports.to_date = PackDate(reports.to_picked, 23, 59, 59);
}

void SalesConsole::PickDates(const PickedDate& from, const PickedDate& to) {
  reports.from_picked = from;
  reports.to_picked = to;
  ComputeDates();
}

void SalesConsole::Show() {
  SetOutcome(KeyOutcome::kNone);
  if (link_.selection.ip[0] == 0) link_.selection.ip = {192, 168, 1, 50};
  reports.from_picked = reports.to_picked = today();
  ComputeDates();
  link_.OpenPrinterLink();
  NewReceipt();
  // A receipt that a crash or an earlier failure left open on the register
  // must not take this console's lines: ask first.
  if (link_.is_open()) Reconcile(false);
}

void SalesConsole::Hide(const std::string& settings_path) {
  SetOutcome(KeyOutcome::kNone);
  // An unknown command is settled first: it may have closed the receipt. A
  // register that could not be asked about nothing in particular is asked
  // only when there is a receipt to void.
  const bool effectful = pending_ && *pending_ != Pending::kNone;
  if (effectful || (link_.store.index > 0 && (pending_ || link_.OutOfStep()))) Reconcile(true);
  if (link_.store.index > 0 && !pending_) {
    if (TotalVoid() == CommandOutcome::kOk) {
      SetOutcome(KeyOutcome::kVoided);
    } else if (!pending_ || !Reconcile(true)) {
      // The receipt may still be open on the register; the next opening
      // of the console voids it.
      lost_effect_ = true;
      SetOutcome(KeyOutcome::kUnknown, kMsgStateUnknown);
    }
  }
  ResetEntry();
  link_.ClosePrinterLink();
  if (!settings_path.empty()) SaveSettings(link_.selection, settings_path);
  if (clear_unsaved_flag) image_.state.modified = false;
}

// ---- The status synchronisation ---------------------------------------------------

bool SalesConsole::Reconcile(bool reopen) {
  CommandStore& store = link_.store;
  if (reopen) {
    link_.ClosePrinterLink();
    link_.OpenPrinterLink();
  }
  // Closing (Stop set): nothing is asked; what is unknown stays so.
  if (link_.link().abort.IsSet()) return false;
  link_.ClearOutOfStep();
  const std::optional<Pending> pending = pending_;
  const std::string command = pending_command_;
  pending_.reset();  // the "?/" of this synchronisation must not take its place
  entry.display.fill(' ');
  // The question goes after an unknown command still in the log, so the
  // user sees both; the receipt's index stays where it was.
  const std::int16_t index = store.index;
  const int slot = store.outcomes[static_cast<std::size_t>(index)] == CommandOutcome::kUnknown && index + 1 < kSlotCount
                       ? index + 1
                       : index;
  const bool answered = slot < kSlotCount && Send(slot, kStatusCommand, Pending::kNone);
  const std::optional<int> status = answered ? StatusNumber(store.ReplyText(slot)) : std::nullopt;
  store.index = index;
  pending_.reset();
  if (!status) {
    // The register cannot say: whatever was unknown stays so, and the next
    // key asks again.
    pending_ = pending.value_or(Pending::kNone);
    pending_command_ = command;
    // With nothing of ours unknown, the key that asked was not carried out.
    const std::string text = answered || link_.last_outcome() == CommandOutcome::kRefusal
                                 ? std::string(kMsgStateUnknown)
                                 : std::string(kMsgStateUnknown) + "\n" + NoAnswerText();
    SetOutcome(*pending_ == Pending::kNone ? KeyOutcome::kNotSent : KeyOutcome::kUnknown, text);
    ui_.ShowMessage(kMsgStateUnknown, Icon::kExclamation, {}, true);
    return false;
  }
  const bool open = (*status & kStatusReceiptOpen) != 0;
  const bool held = store.index > 0;

  // Voids the receipt the register has open. A void that did not go
  // through is tried again by the next synchronisation, while the receipt
  // stays open.
  const auto void_it = [&](std::string_view message) {
    if (TotalVoid() == CommandOutcome::kOk) {
      Tell(KeyOutcome::kVoided, message);
    } else {
      pending_ = Pending::kVoid;
      SetOutcome(KeyOutcome::kUnknown, kMsgStateUnknown);
    }
    return false;
  };

  switch (pending.value_or(Pending::kNone)) {
    case Pending::kNone:
      // Nothing unknown: only the register's receipt and the console's must
      // agree (as the "ΣΥΝΔ.ΣΤΟ ΦΗΜ" key has it).
      if (open && !held) return void_it(kMsgLeftOpenVoided);
      if (!open && held) {
        store.index = 0;
        ResetEntry();
        SubtotalQuery();
        lost_effect_ = true;
        Tell(KeyOutcome::kUnknown, kMsgReceiptGone);
        return false;
      }
      return true;
    case Pending::kLine:
      if (open) return void_it(kMsgUnconfirmedVoided);
      NewReceipt();
      // A receipt the console held that the register no longer has open was
      // not closed by this console: the paper says what became of it.
      if (held) lost_effect_ = true;
      if (held)
        Tell(KeyOutcome::kUnknown, kMsgReceiptGone);
      else
        Tell(KeyOutcome::kRefusal, kMsgNotCarriedOut);
      return false;
    case Pending::kCashMovement:
      // Slot 1 held means the movement was opened and its payment went out.
      if (open) return void_it(kMsgUnconfirmedVoided);
      NewReceipt();
      if (held)
        Tell(KeyOutcome::kDone, kMsgCashMovementDone);
      else
        Tell(KeyOutcome::kRefusal, kMsgNotCarriedOut);
      return false;
    case Pending::kPayment:
      if (!open) {
        NewReceipt();
        Tell(KeyOutcome::kPrinted, kMsgPaymentPrinted);
        return false;
      }
      // Still open: the amount due says what the payment took.
      switch (SubtotalQuery()) {
        case Due::kDue: Tell(KeyOutcome::kDone, std::string(kMsgPaymentOpen) + amount_due_); return false;
        case Due::kNothingDue:
        case Due::kUnknown:
          pending_ = Pending::kPayment;
          SetOutcome(KeyOutcome::kUnknown, kMsgStateUnknown);
          return false;
      }
      return false;
    case Pending::kVoid:
      if (open) return void_it(kMsgUnconfirmedVoided);
      NewReceipt();
      SetOutcome(KeyOutcome::kVoided);
      return false;
    case Pending::kReport:
    case Pending::kDailyZ:
    case Pending::kUtility: {
      if (open && !held) void_it(kMsgLeftOpenVoided);
      lost_effect_ = true;
      const std::string_view message = pending == Pending::kDailyZ ? kMsgZUnknown : kMsgCommandUnknown;
      Tell(KeyOutcome::kUnknown, message);
      return false;
    }
  }
  return false;
}

// ---- Marks ---------------------------------------------------------------------

void SalesConsole::ClickVoidMark(bool checked) {
  entry.void_mark = checked && !entry.change_mark && link_.store.index != 0;
}

void SalesConsole::ClickChangeMark(bool checked) {
  entry.change_mark = checked && link_.store.index != 0;
  if (entry.change_mark) entry.void_mark = false;
}

void SalesConsole::ClickReportBox(std::string_view caption, bool checked) {
  if (caption == kDetailedCaption)
    reports.detailed = checked;
  else if (caption == kByDateCaption)
    reports.by_date = checked;
  else if (caption == kPaehpsCaption)
    reports.paehps = checked;
  else if (caption == kLast3ZCaption)
    reports.last_3z = checked;
  if (reports.last_3z) {
    reports.by_date = false;
    reports.detailed = true;
  }
  if (reports.paehps) reports.detailed = true;
}

// ---- Keys ----------------------------------------------------------------------

void SalesConsole::Press(ConsoleKey key, int department) {
  SetOutcome(KeyOutcome::kNone);
  if (key == ConsoleKey::kSync) return Sync();
  // After an unknown command, or a reply that came for nobody, the register
  // is asked first; what it says may leave this key undone.
  if (!SendsNothing(key) && (pending_ || link_.OutOfStep()) && !Reconcile(true)) return;
  SetOutcome(KeyOutcome::kNone);
  CommandStore& store = link_.store;
  switch (key) {
    case ConsoleKey::kDepartment:
      if (department < 1 || department > 14) return;
      if (store.index > kReceiptLineLimit) return void(Refuse(kMsgAmountOverflow));
      DepartmentSale(department);
      break;
    case ConsoleKey::kItem:
      if (store.index > kReceiptLineLimit) return void(Refuse(kMsgAmountOverflow));
      ItemSale();
      break;
    case ConsoleKey::kQuantity:
      if (subtotal_adjusted_) return void(Refuse(kMsgWrongCommand));
      entry.quantity = entry.value == 0 ? 1000 : entry.value;
      entry.value = 0;
      return;
    case ConsoleKey::kLineDiscountPercent:
    case ConsoleKey::kLineSurchargePercent:
    case ConsoleKey::kLineDiscount:
    case ConsoleKey::kLineSurcharge:
    case ConsoleKey::kSubtotalDiscountPercent:
    case ConsoleKey::kSubtotalSurchargePercent:
    case ConsoleKey::kSubtotalDiscount:
    case ConsoleKey::kSubtotalSurcharge:
      if (store.index == 0) {
        EmptyReceiptAdjustment(key);
      } else {
        if (store.index > kReceiptLineLimit) return void(Refuse(kMsgAmountOverflow));
        Adjustment(key);
      }
      break;
    case ConsoleKey::kPayment: Payment(); break;
    case ConsoleKey::kTotal: SubtotalQuery(); break;
    case ConsoleKey::kTotalVoid:
      if (store.index == 0) return void(Refuse(kMsgNoSale));
      if (TotalVoid() == CommandOutcome::kOk) SetOutcome(KeyOutcome::kVoided);
      break;
    case ConsoleKey::kExtraDescription: ExtraDescription(); break;
    case ConsoleKey::kCustomer: Customer(); break;
    case ConsoleKey::kTickets: Tickets(); break;
    case ConsoleKey::kPaper:
      entry.display.fill(' ');
      Send(store.index, kPaperFeedCommand, Pending::kUtility);
      ResetEntry();
      break;
    case ConsoleKey::kDrawer:
      entry.display.fill(' ');
      Send(store.index, kDrawerCommand, Pending::kUtility);
      ResetEntry();
      break;
    case ConsoleKey::kTransferIn:
    case ConsoleKey::kTransferOut:
      entry.display.fill(' ');
      if (Send(store.index, key == ConsoleKey::kTransferIn ? kTransferInCommand : kTransferOutCommand,
               Pending::kUtility))
        Advance();
      NewReceipt();
      break;
    case ConsoleKey::kSync: break;
    case ConsoleKey::kDailyZ:
    case ConsoleKey::kCopyLastZ:
    case ConsoleKey::kReportX:
    case ConsoleKey::kReportItems:
    case ConsoleKey::kReportOperators:
    case ConsoleKey::kReportElectronicFiles:
    case ConsoleKey::kFiscalMemoryReports: Report(key); break;
  }
  // A command of this key whose outcome is unknown: ask the register now.
  if (pending_) Reconcile(true);
}

SaleMode SalesConsole::Mode() const {
  return entry.change_mark ? SaleMode::kReturn : entry.void_mark ? SaleMode::kLineVoid : SaleMode::kSale;
}

void SalesConsole::SaleDisplay(const SaleCommand& sale) {
  entry.display.fill(' ');
  PutDisplay(0, sale.quantity);
  PutDisplay(10, "X");
  PutDisplay(static_cast<std::size_t>(11 + sale.price_removed), sale.price);
  if (entry.change_mark)
    PutDisplay(23, Cp("ΑΛΛΑΓΗ "));
  else if (entry.void_mark)
    PutDisplay(23, Cp("ΑΚΥΡΟΣΗ"));
  else
    PutDisplay(23, sale.shown_name);
}

void SalesConsole::Sale(const std::optional<SaleCommand>& sale) {
  if (!sale) return void(Refuse(kMsgWrongCommand));
  entry.price_width = sale->price_width;
  SaleDisplay(*sale);
  if (Send(link_.store.index, sale->text, Pending::kLine)) Advance();
  ResetEntry();
}

void SalesConsole::DepartmentSale(int k) {
  Sale(DepartmentSaleCommand(image_, k, entry.value / 10, entry.quantity, Mode(), ExtraLine(0, kDepartmentExtraWidth)));
}

void SalesConsole::ItemSale() {
  Sale(ItemSaleCommand(image_, entry.value / 1000, entry.quantity, Mode(), ExtraLine(0, kItemExtraWidth)));
}

void SalesConsole::Adjustment(ConsoleKey key) {
  const bool subtotal = key >= ConsoleKey::kSubtotalDiscountPercent;
  const bool percent = key == ConsoleKey::kLineDiscountPercent || key == ConsoleKey::kLineSurchargePercent ||
                       key == ConsoleKey::kSubtotalDiscountPercent || key == ConsoleKey::kSubtotalSurchargePercent;
  const AdjustmentCommand c = ::zel::Adjustment(IsSurcharge(key), subtotal, percent, entry.value / 10, entry.void_mark);
  entry.display.fill(' ');
  PutDisplay(0, c.amount);
  if (percent) PutDisplay(static_cast<std::size_t>(11 - c.removed), "%");
  PutDisplay(23, c.label);
  if (Send(link_.store.index, c.text, Pending::kLine)) {
    Advance();
    if (subtotal) subtotal_adjusted_ = true;
  }
  ResetEntry();
}

void SalesConsole::EmptyReceiptAdjustment(ConsoleKey key) {
  const bool plus = IsSurcharge(key);
  entry.display.fill(' ');
  const bool opened = Send(0, plus ? kCashInCommand : kCashOutCommand, Pending::kCashMovement);
  link_.store.index = 1;
  // Refused or unknown: the payment must not follow a movement that may not
  // be there (the synchronisation settles an unknown one).
  if (!opened) return NewReceipt();

  const std::int32_t amount = entry.value / 10;
  const std::string name_bytes = PaymentName(image_, entry.payment_type);
  const std::string a = AmountText(amount);
  entry.display.fill(' ');
  PutDisplay(0, a);
  for (std::size_t c : {13u, 15u, 17u}) PutDisplay(c, plus ? "+" : "-");
  PutDisplay(23, name_bytes);
  Send(1, PaymentCommand(image_, entry.payment_type, amount), Pending::kCashMovement);
  if (pending_) return;  // the synchronisation decides; index 1 stands for the movement
  NewReceipt();
}

void SalesConsole::Payment() {
  // The payment and the subtotal query after it need two slots.
  if (link_.store.index + 1 >= kSlotCount) return void(Refuse(kMsgAmountOverflow));
  const std::int32_t amount = entry.value / 10;
  const std::string name_bytes = PaymentName(image_, entry.payment_type);
  entry.display.fill(' ');
  PutDisplay(0, "=");
  PutDisplay(2, name_bytes);
  PutDisplay(20, AmountText(amount));
  PutDisplay(33, "=");
  Send(link_.store.index, PaymentCommand(image_, entry.payment_type, amount), Pending::kPayment);
  Advance();
  // A payment that may have been taken is settled against the register's
  // own figures, not against a query sent after it.
  if (pending_) return ResetEntry();
  const bool paid = outcome_ == KeyOutcome::kDone;
  SleepUntil(*link_.link().clock, link_.link().abort, link_.link().clock->Now() + kAfterPayment);
  switch (SubtotalQuery()) {
    case Due::kDue: ResetEntry(); break;
    case Due::kNothingDue:
      if (paid) SetOutcome(KeyOutcome::kPrinted);
      NewReceipt();
      break;
    case Due::kUnknown:
      // Not "nothing due": the receipt stays as it is until the register
      // says whether the payment closed it. A payment that was refused or
      // never sent left it open.
      if (paid) pending_ = Pending::kPayment;
      ResetEntry();
      break;
  }
}

SalesConsole::Due SalesConsole::SubtotalQuery() {
  entry.display.fill(' ');
  CommandStore& store = link_.store;
  const int slot = store.index;
  const bool accepted = Send(slot, kSubtotalCommand, Pending::kNone);
  if (pending_ && *pending_ == Pending::kNone) pending_.reset();  // a query changes nothing
  if (slot >= kSlotCount) return Due::kUnknown;
  Due due = Due::kUnknown;
  if (accepted) {
    due = Due::kNothingDue;
    if (const std::optional<std::string_view> field = AmountDueField(store.ReplyText(slot))) {
      amount_due_ = std::string(*field);
      if (ParseDigits(*field) != 0) due = Due::kDue;
    }
    Advance();
  }
  ResetEntry();
  return due;
}

CommandOutcome SalesConsole::TotalVoid() {
  if (link_.store.index >= kSlotCount) {
    Refuse(kMsgAmountOverflow);
    return CommandOutcome::kRefusal;
  }
  entry.display.fill(' ');
  const bool voided = Send(link_.store.index, kTotalVoidCommand, Pending::kVoid);
  const CommandOutcome outcome = link_.last_outcome();
  if (!voided) return outcome;  // the receipt stays as the register has it
  Advance();
  // The query needs a slot of its own; without one the void still stands.
  if (link_.store.index < kSlotCount) SubtotalQuery();
  NewReceipt();
  return outcome;
}

void SalesConsole::ExtraDescription() {
  CommandStore& store = link_.store;
  if (store.index >= kSlotCount) return void(Refuse(kMsgAmountOverflow));
  const bool after_subtotal = store.index > 0 && store.CommandText(store.index - 1).starts_with("9");
  entry.display.fill(' ');
  Send(store.index, ExtraDescriptionCommand(entry.extra_lines, after_subtotal), Pending::kLine);
  Advance();
  ResetEntry();
}

void SalesConsole::Customer() {
  const std::int32_t number = entry.value / 1000;
  const std::optional<std::string> text =
      number != 0 ? CustomerCommand(image_, number) : CustomerLinesCommand(entry.extra_lines);
  if (!text) return void(Refuse(kMsgWrongCommand));
  if (link_.store.index >= kSlotCount) return void(Refuse(kMsgAmountOverflow));
  entry.display.fill(' ');
  PutDisplay(0, Cp("Ππελατης"));
  if (Send(link_.store.index, *text, Pending::kLine)) Advance();
  ResetEntry();
}

void SalesConsole::Tickets() {
  if (link_.store.index > kReceiptLineLimit) return void(Refuse(kMsgAmountOverflow));
  if (entry.value == 0) return void(Refuse(kMsgEnterPrice));
  if (entry.change_mark || subtotal_adjusted_) return void(Refuse(kMsgWrongCommand));
  const std::int32_t amount = entry.value / 10;
  entry.display.fill(' ');
  PutDisplay(0, AmountText(amount));
  PutDisplay(23, Cp("ΕΙΣΙΤΗΡΙΑ"));
  if (Send(link_.store.index, TicketsCommand(amount), Pending::kLine)) {
    Advance();
    subtotal_adjusted_ = true;
  }
  ResetEntry();
}

void SalesConsole::Sync() {
  if (link_.store.index >= kSlotCount) return void(Refuse(kMsgAmountOverflow));
  Reconcile(true);
}

void SalesConsole::Report(ConsoleKey key) {
  if (link_.store.index != 0) return void(Refuse(kMsgReceiptOpen));
  std::string text;
  switch (key) {
    case ConsoleKey::kDailyZ: text = kDailyZCommand; break;
    case ConsoleKey::kCopyLastZ: text = kCopyLastZCommand; break;
    case ConsoleKey::kReportX: text = kReportXCommand; break;
    case ConsoleKey::kReportItems: text = kReportItemsCommand; break;
    case ConsoleKey::kReportOperators: text = kReportOperatorsCommand; break;
    case ConsoleKey::kReportElectronicFiles: text = kReportElectronicFilesCommand; break;
    default: {
      FiscalMemoryRange range;
      range.last_3z = reports.last_3z;
      range.by_date = reports.by_date;
      range.from_date = reports.from_date;
      range.to_date = reports.to_date;
      range.from_z = reports.from_z;
      range.to_z = reports.to_z;
      range.detailed = reports.detailed;
      range.paehps = reports.paehps;
      text = FiscalMemoryCommand(range);
      break;
    }
  }
  entry.display.fill(' ');
  Send(0, text, key == ConsoleKey::kDailyZ ? Pending::kDailyZ : Pending::kReport);
  NewReceipt();
}

}  // namespace zel
