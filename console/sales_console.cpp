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

constexpr int kLineLimit = 95;  // a sale line is refused once the index exceeds this
constexpr Millis kAfterPayment{100};
constexpr std::size_t kExtraWidth = 30;
constexpr std::size_t kItemExtraWidth = 12;
constexpr std::size_t kCustomerLineWidth = 34;
constexpr int kLastVatIndex = 4;  // category Ε: no stored rate, sent as 0,00

std::string RemoveLeadingBlanks(std::string s, int most, int* removed = nullptr) {
  int n = 0;
  while (n < most && n < static_cast<int>(s.size()) && s[static_cast<std::size_t>(n)] == ' ') ++n;
  if (removed) *removed = n;
  return s.substr(static_cast<std::size_t>(n));
}

// The value with `decimals` decimals in `integers` integer positions,
// blank-padded on the left, "-" before the first digit when negative. Digits
// that do not fit are dropped from the left.
std::string Fixed(std::int64_t value, int integers, int decimals) {
  const bool negative = value < 0;
  const std::uint64_t v = static_cast<std::uint64_t>(negative ? -value : value);
  std::uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  std::string whole = std::to_string(v / scale);
  if (negative) whole = "-" + whole;
  if (whole.size() > static_cast<std::size_t>(integers))
    whole = whole.substr(whole.size() - static_cast<std::size_t>(integers));
  std::string out(static_cast<std::size_t>(integers) - whole.size(), ' ');
  out += whole;
  out += ',';
  std::string frac = std::to_string(v % scale);
  out += std::string(static_cast<std::size_t>(decimals) - frac.size(), '0') + frac;
  return out;
}

std::string Cp(std::string_view utf8) { return cp1253::Encode(utf8); }

std::string TrimmedField(std::span<const std::uint8_t> field) {
  std::size_t n = field.size();
  while (n > 1 && field[n - 1] < '!') --n;
  return {reinterpret_cast<const char*>(field.data()), std::min(n, field.size())};
}

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

}  // namespace

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

// ---- Number texts --------------------------------------------------------------

std::string AmountText(std::int32_t hundredths) { return RemoveLeadingBlanks(Fixed(hundredths, 7, 2), 6); }
std::string QuantityText(std::int32_t thousandths) { return RemoveLeadingBlanks(Fixed(thousandths, 6, 3), 6); }
std::string PriceText(std::int32_t hundredths, int width, int* removed) {
  return RemoveLeadingBlanks(Fixed(hundredths, 7, 2), 9 - width, removed);
}
std::string RateText(std::int32_t hundredths) { return Fixed(hundredths, 2, 2); }

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
  return false;
}

std::string SalesConsole::ExtraLine(std::size_t line, std::size_t width) const {
  if (line >= entry.extra_lines.size()) return {};
  return entry.extra_lines[line].substr(0, width);
}

std::string SalesConsole::Name(std::span<const std::uint8_t> field) const { return TrimmedField(field); }

std::optional<std::string> SalesConsole::Rate(int vat_index) const {
  if (vat_index < kLastVatIndex) return RateText(std::as_const(image_).vat_rate(vat_index));
  if (vat_index == kLastVatIndex) return std::string(" 0,00");
  return std::nullopt;
}

void SalesConsole::PutDisplay(std::size_t column, std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size() && column + i < kDisplayWidth; ++i)
    entry.display[column + i] = static_cast<std::uint8_t>(bytes[i]);
}

bool SalesConsole::Send(int slot, std::string_view text) {
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
    log_.push_back(std::move(line));
  }

  if (store.index == 0) receipt_list_.clear();
  const bool accepted = !store.Failed(slot);
  last_command_ = std::string(text);
  last_reply_ = std::string(store.ReplyText(slot));
  last_accepted_ = accepted;
  if (accepted &&
      std::any_of(entry.display.begin(), entry.display.begin() + 30, [](std::uint8_t b) { return b > ' '; })) {
    receipt_list_.push_back(entry.display);
    selected_row_ = store.index;
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
  if (link_.selection.ip[0] == 0) link_.selection.ip = {192, 168, 1, 50};
  reports.from_picked = reports.to_picked = today();
  ComputeDates();
  link_.OpenPrinterLink();
  NewReceipt();
}

void SalesConsole::Hide(const std::string& settings_path) {
  if (link_.store.index > 0) TotalVoid();
  ResetEntry();
  link_.ClosePrinterLink();
  if (!settings_path.empty()) SaveSettings(link_.selection, settings_path);
  if (clear_unsaved_flag) image_.state.modified = false;
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
  CommandStore& store = link_.store;
  switch (key) {
    case ConsoleKey::kDepartment:
      if (department < 1 || department > 14) return;
      if (store.index > kLineLimit) return void(Refuse(kMsgAmountOverflow));
      return DepartmentSale(department);
    case ConsoleKey::kItem:
      if (store.index > kLineLimit) return void(Refuse(kMsgAmountOverflow));
      return ItemSale();
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
      if (store.index == 0) return EmptyReceiptAdjustment(key);
      if (store.index > kLineLimit) return void(Refuse(kMsgAmountOverflow));
      return Adjustment(key);
    case ConsoleKey::kPayment: return Payment();
    case ConsoleKey::kTotal: SubtotalQuery(); return;
    case ConsoleKey::kTotalVoid:
      if (store.index == 0) return void(Refuse(kMsgNoSale));
      return TotalVoid();
    case ConsoleKey::kExtraDescription: return ExtraDescription();
    case ConsoleKey::kCustomer: return Customer();
    case ConsoleKey::kTickets: return Tickets();
    case ConsoleKey::kPaper:
      entry.display.fill(' ');
      Send(store.index, "w/1/6/");
      return ResetEntry();
    case ConsoleKey::kDrawer:
      entry.display.fill(' ');
      Send(store.index, "q/");
      return ResetEntry();
    case ConsoleKey::kTransferIn:
    case ConsoleKey::kTransferOut:
      entry.display.fill(' ');
      if (Send(store.index, key == ConsoleKey::kTransferIn ? "x/10/" : "x/11/")) Advance();
      return NewReceipt();
    case ConsoleKey::kSync: return Sync();
    case ConsoleKey::kDailyZ:
    case ConsoleKey::kCopyLastZ:
    case ConsoleKey::kReportX:
    case ConsoleKey::kReportItems:
    case ConsoleKey::kReportOperators:
    case ConsoleKey::kReportElectronicFiles:
    case ConsoleKey::kFiscalMemoryReports: return Report(key);
  }
}

void SalesConsole::SaleDisplay(const std::string& quantity, const std::string& price, int removed,
                               std::string_view name) {
  entry.display.fill(' ');
  PutDisplay(0, quantity);
  PutDisplay(10, "X");
  PutDisplay(static_cast<std::size_t>(11 + removed), price);
  if (entry.change_mark)
    PutDisplay(23, Cp("ΑΛΛΑΓΗ "));
  else if (entry.void_mark)
    PutDisplay(23, Cp("ΑΚΥΡΟΣΗ"));
  else
    PutDisplay(23, name);
}

void SalesConsole::DepartmentSale(int k) {
  const ConstDepartment dept = std::as_const(image_).department(k - 1);
  std::int32_t price = 0;
  int width = 2;
  if (entry.value != 0) {
    price = entry.value / 10;
  } else {
    price = dept.fixed_price();
    width = dept.price_decimals();
  }
  if (width < 2 || width > 5) width = 2;
  entry.price_width = width;
  const std::optional<std::string> rate = Rate(dept.vat());
  if (!rate) return void(Refuse(kMsgWrongCommand));
  const std::int32_t quantity = entry.quantity == 0 ? 1000 : entry.quantity;

  const std::string description = dept.name()[0] == 0 ? std::string(12, '\xFF') : Name(dept.name());
  int removed = 0;
  const std::string q = QuantityText(quantity);
  const std::string p = PriceText(price, width, &removed);
  char kk[3];
  std::snprintf(kk, sizeof kk, "%02d", k);
  std::string text = "3/";
  text += entry.change_mark ? 'R' : entry.void_mark ? 'V' : 'S';
  text += "/" + description + "/" + ExtraLine(0, kExtraWidth) + "/" + q + "/" + p + "/" + kk + "/" + *rate + "/";

  const std::string shown = dept.name()[0] == 0 ? std::string(12, '\xFF')
                                                : std::string(reinterpret_cast<const char*>(dept.name().data()), 12);
  SaleDisplay(q, p, removed, shown);
  if (Send(link_.store.index, text)) Advance();
  ResetEntry();
}

void SalesConsole::ItemSale() {
  const std::int32_t number = entry.value / 1000;
  if (number < 1 || number > kItemCount) return void(Refuse(kMsgWrongCommand));
  const ConstItem item = std::as_const(image_).item(number - 1);
  if (item.empty() || item.department() >= kDepartmentCount) return void(Refuse(kMsgWrongCommand));
  const std::optional<std::string> rate = Rate(std::as_const(image_).department(item.department()).vat());
  if (!rate) return void(Refuse(kMsgWrongCommand));
  int width = item.price_decimals();
  if (width < 2 || width > 5) width = 2;
  entry.price_width = width;
  const std::int32_t quantity = entry.quantity == 0 ? 1000 : entry.quantity;

  int removed = 0;
  const std::string q = QuantityText(quantity);
  const std::string p = PriceText(item.price(), width, &removed);
  const std::string name = Name(item.name());
  std::string text = "3/";
  text += entry.change_mark ? 'R' : entry.void_mark ? 'V' : 'S';
  text += "/" + name + "/" + ExtraLine(0, kItemExtraWidth) + "/" + q + "/" + p + "/";
  text += static_cast<char>('1' + item.department());
  text += "/" + *rate + "/";

  SaleDisplay(q, p, removed, std::string_view(name).substr(0, 19));
  if (Send(link_.store.index, text)) Advance();
  ResetEntry();
}

void SalesConsole::Adjustment(ConsoleKey key) {
  const bool plus = IsSurcharge(key);
  const bool subtotal = key >= ConsoleKey::kSubtotalDiscountPercent;
  const bool amount = key == ConsoleKey::kLineDiscount || key == ConsoleKey::kLineSurcharge ||
                      key == ConsoleKey::kSubtotalDiscount || key == ConsoleKey::kSubtotalSurcharge;
  const std::int32_t value = entry.value / 10;
  int removed = 0;
  const std::string a = RemoveLeadingBlanks(Fixed(value, 7, 2), 6, &removed);

  std::string label;  // 18 characters on the wire; the display takes more of the percentage form
  if (amount) {
    label = Cp(plus ? "ΠΟΣΟ ΠΡΟΣΑΥΞΗΣΗΣ  " : "ΠΟΣΟ ΕΚΠΤΩΣΗΣ     ");
  } else {
    label = Cp(plus ? " 0.00% ΠΡΟΣΑΥΞΗΣΗ%     " : " 0.00% ΕΚΠΤΩΣΗ   %     ");
    label.replace(0, 5, RateText(value));
  }
  std::string text = "4/" + a + "/" + label.substr(0, 18) + "//";
  text += static_cast<char>('0' + (plus ? 1 : 0) + (entry.void_mark ? 4 : 0));
  text += subtotal ? "/1/" : "/0/";
  text += amount ? "1/" : "0/";

  entry.display.fill(' ');
  PutDisplay(0, a);
  if (!amount) PutDisplay(static_cast<std::size_t>(11 - removed), "%");
  PutDisplay(23, amount ? label.substr(0, 16) : label.substr(7, 16));
  if (Send(link_.store.index, text)) {
    Advance();
    if (subtotal) subtotal_adjusted_ = true;
  }
  ResetEntry();
}

std::string SalesConsole::PaymentName() const {
  const std::span<const std::uint8_t> name = std::as_const(image_).payment(entry.payment_type).first(kShortNameWidth);
  return {reinterpret_cast<const char*>(name.data()), name.size()};
}

std::string SalesConsole::PaymentText(const std::string& amount, const std::string& name) const {
  std::string text = "5/";
  text += static_cast<char>('1' + entry.payment_type);
  return text + "/" + amount + "/" + name + "///";
}

void SalesConsole::EmptyReceiptAdjustment(ConsoleKey key) {
  const bool plus = IsSurcharge(key);
  entry.display.fill(' ');
  Send(0, plus ? "6/2/" : "6/1/");
  link_.store.index = 1;

  const std::string a = AmountText(entry.value / 10);
  const std::string name_bytes = PaymentName();
  const std::string text = PaymentText(a, name_bytes);
  entry.display.fill(' ');
  PutDisplay(0, a);
  for (std::size_t c : {13u, 15u, 17u}) PutDisplay(c, plus ? "+" : "-");
  PutDisplay(23, name_bytes);
  Send(1, text);
  NewReceipt();
}

void SalesConsole::Payment() {
  // The payment and the subtotal query after it need two slots.
  if (link_.store.index + 1 >= kSlotCount) return void(Refuse(kMsgAmountOverflow));
  const std::string a = AmountText(entry.value / 10);
  const std::string name_bytes = PaymentName();
  const std::string text = PaymentText(a, name_bytes);
  entry.display.fill(' ');
  PutDisplay(0, "=");
  PutDisplay(2, name_bytes);
  PutDisplay(20, a);
  PutDisplay(33, "=");
  Send(link_.store.index, text);
  Advance();
  SleepUntil(*link_.link().clock, link_.link().abort, link_.link().clock->Now() + kAfterPayment);
  if (SubtotalQuery())
    ResetEntry();
  else
    NewReceipt();
}

bool SalesConsole::SubtotalQuery() {
  entry.display.fill(' ');
  CommandStore& store = link_.store;
  const int slot = store.index;
  const bool accepted = Send(slot, "9/");
  if (slot >= kSlotCount) return false;
  const std::string_view reply = store.ReplyText(slot);

  bool due = false;
  std::size_t slashes = 0, at = 1;
  for (; at < reply.size() && slashes < 9; ++at)
    if (reply[at] == '/') ++slashes;
  if (slashes == 9) {
    const std::size_t end = reply.find('/', at);
    const std::string_view field = reply.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    if (field.size() <= 10) {
      amount_due_ = std::string(field);
      due = ParseDigits(field) != 0;
    }
  }
  if (accepted) Advance();
  ResetEntry();
  return due;
}

void SalesConsole::TotalVoid() {
  if (link_.store.index >= kSlotCount) return void(Refuse(kMsgAmountOverflow));
  entry.display.fill(' ');
  if (Send(link_.store.index, "+/")) Advance();
  // The query needs a slot of its own; without one the void still stands.
  if (link_.store.index < kSlotCount) SubtotalQuery();
  NewReceipt();
}

void SalesConsole::ExtraDescription() {
  CommandStore& store = link_.store;
  if (store.index >= kSlotCount) return void(Refuse(kMsgAmountOverflow));
  const bool after_subtotal = store.index > 0 && store.CommandText(store.index - 1).starts_with("9");
  std::string text = after_subtotal ? "J/" : "j/";
  for (std::size_t i = 0; i < 3; ++i) text += ExtraLine(i, 12) + "/";
  entry.display.fill(' ');
  Send(store.index, text);
  Advance();
  ResetEntry();
}

void SalesConsole::Customer() {
  const std::int32_t number = entry.value / 1000;
  std::string text = "2/";
  if (number != 0) {
    if (number < 0 || number > kCustomerCount) return void(Refuse(kMsgWrongCommand));
    const ConstCustomer c = std::as_const(image_).customer(number - 1);
    if (c.company()[0] < ' ') return void(Refuse(kMsgWrongCommand));
    char tax[16];
    std::snprintf(tax, sizeof tax, "%09u", static_cast<unsigned>(c.tax_number()) % 1000000000u);
    text += Name(c.company()) + "/" + Name(c.profession()) + "/" + tax + "/" + Name(c.address()) + "/" +
            Name(c.phone()) + "/" + Name(c.tax_office()) + "/";
  } else {
    const std::size_t lines = entry.extra_lines.size();
    if (lines != 1 && lines < 6) return void(Refuse(kMsgWrongCommand));
    for (std::size_t i = 0; i < std::min<std::size_t>(lines, 6); ++i) text += ExtraLine(i, kCustomerLineWidth) + "/";
  }
  if (link_.store.index >= kSlotCount) return void(Refuse(kMsgAmountOverflow));
  entry.display.fill(' ');
  PutDisplay(0, Cp("Ππελατης"));
  if (Send(link_.store.index, text)) Advance();
  ResetEntry();
}

void SalesConsole::Tickets() {
  if (link_.store.index > kLineLimit) return void(Refuse(kMsgAmountOverflow));
  if (entry.value == 0) return void(Refuse(kMsgEnterPrice));
  if (entry.change_mark || subtotal_adjusted_) return void(Refuse(kMsgWrongCommand));
  const std::string a = AmountText(entry.value / 10);
  const std::string word = Cp("ΕΙΣΙΤΗΡΙΑ");
  entry.display.fill(' ');
  PutDisplay(0, a);
  PutDisplay(23, word);
  if (Send(link_.store.index, "m/" + a + "/" + word + "/")) {
    Advance();
    subtotal_adjusted_ = true;
  }
  ResetEntry();
}

void SalesConsole::Sync() {
  link_.ClosePrinterLink();
  link_.OpenPrinterLink();
  CommandStore& store = link_.store;
  if (store.index >= kSlotCount) return void(Refuse(kMsgAmountOverflow));
  entry.display.fill(' ');
  Send(store.index, "?/");
  const std::string_view reply = store.ReplyText(store.index);
  const int status = reply.size() >= 10 ? ParseDigits(reply.substr(8, 2)) : 0;
  if (status & 4) {
    if (store.index == 0) TotalVoid();
  } else if (store.index > 0) {
    store.index = 0;
    ResetEntry();
    SubtotalQuery();
  }
}

std::string SalesConsole::FiscalMemoryCommand() const {
  if (reports.last_3z) return "x/0/7/";
  char text[64];
  if (reports.by_date) {
    const char k = reports.paehps ? '3' : reports.detailed ? '2' : '1';
    Clock from, to;
    from.seconds = reports.from_date;
    from.ToText();
    to.seconds = reports.to_date;
    to.ToText();
    std::snprintf(text, sizeof text, "x/0/%c/%02d%02d%02d/%02d%02d%02d/%02d%02d%02d/%02d%02d%02d/", k, from.day,
                  from.month, from.year % 100, from.hour, from.minute, from.second, to.day, to.month, to.year % 100,
                  to.hour, to.minute, to.second);
  } else {
    const char k = reports.paehps ? '6' : reports.detailed ? '5' : '4';
    std::snprintf(text, sizeof text, "x/0/%c/%04u/%04u/", k, reports.from_z % 10000u, reports.to_z % 10000u);
  }
  return text;
}

void SalesConsole::Report(ConsoleKey key) {
  if (link_.store.index != 0) return void(Refuse(kMsgReceiptOpen));
  std::string text;
  switch (key) {
    case ConsoleKey::kDailyZ: text = "x/7/1/1/"; break;
    case ConsoleKey::kCopyLastZ: text = "x/7/0/0/"; break;
    case ConsoleKey::kReportX: text = "x/1///"; break;
    case ConsoleKey::kReportItems: text = "x/3///"; break;
    case ConsoleKey::kReportOperators: text = "x/6/1/25/"; break;
    case ConsoleKey::kReportElectronicFiles: text = "x/9///"; break;
    default: text = FiscalMemoryCommand(); break;
  }
  entry.display.fill(' ');
  Send(0, text);
  NewReceipt();
}

}  // namespace zel
