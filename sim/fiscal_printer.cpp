#include "sim/fiscal_printer.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <vector>

#include "core/bytes.h"
#include "core/cp1253.h"
#include "core/layout.h"

namespace zel::sim::printer {
namespace {

int StoredClosures(const ByteVector& memory);

using Fields = std::vector<std::string_view>;
using Kind = ReceiptLine::Kind;

std::string G(std::string_view utf8) { return cp1253::Encode(utf8); }

// "3/S/a/" -> {"3", "S", "a"}; nothing when the text does not end in "/".
std::optional<Fields> Split(std::string_view text) {
  if (text.empty() || text.back() != '/') return std::nullopt;
  Fields f;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == '/') {
      f.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  return f;
}

// A number with a decimal comma and exactly `decimals` decimals, leading
// blanks allowed ("  0,50", "-1,00", "2,500"); in units of its last decimal.
std::optional<std::int64_t> Fixed(std::string_view s, int decimals) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  bool negative = false;
  if (!s.empty() && s.front() == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  const std::size_t comma = s.find(',');
  if (comma == std::string_view::npos || comma == 0 || comma > 9 ||
      s.size() - comma - 1 != static_cast<std::size_t>(decimals))
    return std::nullopt;
  std::int64_t v = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (i == comma) continue;
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
    v = v * 10 + (s[i] - '0');
  }
  return negative ? -v : v;
}

std::optional<int> Digits(std::string_view s, std::size_t width) {
  if (s.size() != width) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string Padded(int v, int width) {
  std::string s = std::to_string(v);
  return std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(s.size()))), '0') + s;
}

std::string QuantityText(std::int64_t thousandths) {
  std::string s = std::to_string(thousandths / 1000) + ",";
  const std::string d = std::to_string(thousandths % 1000);
  return s + std::string(3 - d.size(), '0') + d;
}

std::string Trimmed(std::string_view s) {
  while (!s.empty() && static_cast<std::uint8_t>(s.back()) <= ' ') s.remove_suffix(1);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return std::string(s);
}

// ---- Paper --------------------------------------------------------------------

void Print(PrinterState& p, std::string line) {
  if (line.size() > kPaperWidth) line.resize(kPaperWidth);
  if (p.sink) p.sink(line);
  p.paper.push_back(std::move(line));
  if (p.paper.size() > PrinterState::kKeep) p.paper.pop_front();
  ++p.paper_lines;
}

// `left` and `right` on one line, `right` against the right edge.
std::string Row(std::string_view left, std::string_view right) {
  std::string l(left.substr(0, kPaperWidth > right.size() + 1 ? kPaperWidth - right.size() - 1 : 0));
  return l + std::string(kPaperWidth - l.size() - std::min(right.size(), kPaperWidth - l.size()), ' ') +
         std::string(right);
}

void Rule(PrinterState& p) { Print(p, std::string(kPaperWidth, '-')); }

std::string Description(std::string_view desc) {
  // Twelve 0xFF bytes stand for a department without a name.
  if (!desc.empty() &&
      std::all_of(desc.begin(), desc.end(), [](char c) { return static_cast<std::uint8_t>(c) == 0xFF; }))
    return {};
  return Trimmed(desc);
}

// ---- Time -----------------------------------------------------------------------

std::uint32_t Now() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&t, &local);
  return fm::RegisterTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec);
}

std::string DateText(std::uint32_t seconds) {
  // Days since 2000-01-01 to a civil date.
  std::int64_t z = seconds / 86400 + 10957 + 719468;  // days since 0000-03-01
  const std::int64_t era = z / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  const std::uint32_t s = seconds % 86400;
  return Padded(day, 2) + "-" + Padded(month, 2) + "-" + std::to_string(year) + " " +
         Padded(static_cast<int>(s / 3600), 2) + ":" + Padded(static_cast<int>(s / 60 % 60), 2);
}

// DDMMYY and hhmmss to register time; nothing when not a real date and time.
std::optional<std::uint32_t> FieldTime(std::string_view date, std::string_view time) {
  const auto d = Digits(date, 6), t = Digits(time, 6);
  if (!d || !t) return std::nullopt;
  const int day = *d / 10000, month = *d / 100 % 100, year = 2000 + *d % 100;
  const int hour = *t / 10000, minute = *t / 100 % 100, second = *t % 100;
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1] || hour > 23 || minute > 59 || second > 59)
    return std::nullopt;
  if (month == 2 && day == 29 && year % 4 != 0) return std::nullopt;
  return fm::RegisterTime(year, month, day, hour, minute, second);
}

// ---- Fiscal memory --------------------------------------------------------------

}  // namespace

int NextZ(RegisterMemory& m);

namespace {

int StoredClosures(const ByteVector& memory) {
  int n = 0;
  while (n < fm::kClosureCount && le::Get32(memory.data() + fm::ClosureOffset(n)) != fm::kEmptyDateTime) ++n;
  return n;
}

// A closure as the fiscal-memory reports print it: from the fiscal memory
// or from a Z taken in this mode.
struct Closure {
  int number = 0;
  std::uint32_t time = 0;
  int receipts = 0;
  std::int64_t total = 0;
};

std::vector<Closure> Closures(const RegisterMemory& m) {
  std::vector<Closure> out;
  const int stored = StoredClosures(m.fiscal_memory);
  for (int i = 0; i < stored; ++i) {
    const std::uint8_t* z = m.fiscal_memory.data() + fm::ClosureOffset(i);
    Closure c{i + 1, le::Get32(z + fm::closure::kDateTime), le::Get16(z + fm::closure::kReceipts), 0};
    c.total = le::GetI32(z + fm::closure::kNetAbgd) + le::GetI32(z + fm::closure::kNetE);
    for (int k = 0; k < 4; ++k) c.total += le::GetI32(z + fm::closure::kVatAmounts + 4 * static_cast<std::size_t>(k));
    out.push_back(c);
  }
  for (const ZRecord& z : m.printer.z_reports) out.push_back({z.number, z.time, z.totals.receipts, z.totals.sales});
  return out;
}

// ---- Receipt ----------------------------------------------------------------------

struct Result {
  std::string_view status = kAccepted;
  std::string extra;  // reply fields after the common ones
};

Result Refuse(std::string_view status) { return {status, {}}; }

bool Open(const PrinterState& p) { return p.stage != ReceiptStage::kNone; }
bool InReceipt(const PrinterState& p) { return p.stage == ReceiptStage::kSale || p.stage == ReceiptStage::kPayment; }

void OpenReceipt(PrinterState& p) {
  p.stage = ReceiptStage::kSale;
  p.subtotal_taken = false;
  p.lines.clear();
  p.total = p.paid = 0;
  p.receipt_number = p.receipt_number >= 9999 ? 1 : p.receipt_number + 1;
  Rule(p);
  Print(p, G("ΑΠΟΔΕΙΞΗ ΛΙΑΝΙΚΗΣ ΠΩΛΗΣΗΣ"));
  Print(p, Row(G("ΑΡ."), Padded(p.receipt_number, 4)));
}

Result Sale(PrinterState& p, const Fields& f) {
  if (f.size() != 8 || f[1].size() != 1 || std::string_view("SRV").find(f[1][0]) == std::string_view::npos)
    return Refuse(kBadCommand);
  const char mark = f[1][0];
  const auto qty = Fixed(f[4], 3), price = Fixed(f[5], 2), rate = Fixed(f[7], 2);
  int department = 0;
  if (const auto two = Digits(f[6], 2))
    department = *two;
  else if (f[6].size() == 1)
    department = f[6][0] - '0';
  if (!qty || !price || !rate || department < 1 || department > kDepartmentCount || *rate < 0 || f[2].empty())
    return Refuse(kBadCommand);
  if (mark == 'S' ? !(p.stage == ReceiptStage::kNone || p.stage == ReceiptStage::kSale)
                  : p.stage != ReceiptStage::kSale)
    return Refuse(kNotNow);
  const std::int64_t amount = (*qty * *price + 500) / 1000;
  if (*qty <= 0 || *price <= 0 || amount <= 0 || amount > kMaxAmount || p.lines.size() >= kMaxLines)
    return Refuse(kOutOfRange);
  const std::string desc = Description(f[2]);
  if (mark == 'S' && p.total + amount > kMaxAmount) return Refuse(kOutOfRange);
  if (mark == 'R' && p.total - amount < 0) return Refuse(kOutOfRange);
  if (mark == 'V') {
    // Only what this receipt sold can be voided.
    std::int64_t left = 0;
    for (const ReceiptLine& l : p.lines)
      if ((l.kind == Kind::kSale || l.kind == Kind::kVoid) && l.description == desc && l.department == department &&
          l.price == *price)
        left += l.kind == Kind::kSale ? l.quantity : -l.quantity;
    if (left < *qty) return Refuse(kNotNow);
    if (p.total - amount < 0) return Refuse(kOutOfRange);
  }
  if (p.stage == ReceiptStage::kNone) OpenReceipt(p);
  ReceiptLine line;
  line.kind = mark == 'S' ? Kind::kSale : mark == 'R' ? Kind::kReturn : Kind::kVoid;
  line.description = desc;
  line.quantity = *qty;
  line.price = *price;
  line.amount = mark == 'S' ? amount : -amount;
  line.department = department;
  line.rate = Trimmed(f[7]);
  p.total += line.amount;
  if (mark == 'R') Print(p, G("ΑΛΛΑΓΗ"));
  if (mark == 'V') Print(p, G("ΑΚΥΡΩΣΗ"));
  if (*qty != 1000) Print(p, "  " + QuantityText(*qty) + " X " + AmountText(*price));
  const std::string name = desc.empty() ? G("ΤΜΗΜΑ ") + Padded(department, 2) : desc;
  Print(p, Row(name, AmountText(line.amount) + " " + line.rate + "%"));
  if (const std::string extra = Trimmed(f[3]); !extra.empty()) Print(p, "  " + extra);
  p.lines.push_back(std::move(line));
  return {};
}

Result Adjustment(PrinterState& p, const Fields& f) {
  if (f.size() != 7 || !f[3].empty() || f[4].size() != 1 || f[5].size() != 1 || f[6].size() != 1)
    return Refuse(kBadCommand);
  const char k = f[4][0], t = f[5][0], mode = f[6][0];
  const auto value = Fixed(f[1], 2);
  if ((k != '0' && k != '1' && k != '4' && k != '5') || (t != '0' && t != '1') || (mode != '0' && mode != '1') ||
      !value)
    return Refuse(kBadCommand);
  if (p.stage != ReceiptStage::kSale || p.lines.empty()) return Refuse(kNotNow);
  const bool surcharge = (k - '0') & 1, take_back = (k - '0') & 4, on_subtotal = t == '1';
  const Kind kind = surcharge ? Kind::kSurcharge : Kind::kDiscount;
  ReceiptLine& last = p.lines.back();
  ReceiptLine line;
  line.kind = kind;
  line.on_subtotal = on_subtotal;
  line.description = Trimmed(f[2]);
  if (take_back) {
    // Takes back the discount or surcharge just given.
    if (last.kind != kind || last.on_subtotal != on_subtotal || last.cancelled) return Refuse(kNotNow);
    line.amount = -last.amount;
    last.cancelled = true;
    if (!on_subtotal)
      for (auto it = p.lines.rbegin() + 1; it != p.lines.rend(); ++it)
        if (it->kind == Kind::kSale) {
          it->adjusted = false;
          break;
        }
    line.cancelled = true;
  } else {
    std::int64_t base = p.total;
    if (!on_subtotal) {
      if (last.kind != Kind::kSale || last.adjusted) return Refuse(kNotNow);
      base = last.amount;
    }
    std::int64_t amount = *value;
    if (mode == '0') {
      if (*value <= 0 || *value > 10000) return Refuse(kOutOfRange);
      amount = (base * *value + 5000) / 10000;
    }
    if (amount <= 0 || (!surcharge && amount > base) || (surcharge && p.total + amount > kMaxAmount))
      return Refuse(kOutOfRange);
    line.amount = surcharge ? amount : -amount;
    if (!on_subtotal) last.adjusted = true;
  }
  p.total += line.amount;
  Print(p, Row(line.description.empty() ? G(surcharge ? "ΠΡΟΣΑΥΞΗΣΗ" : "ΕΚΠΤΩΣΗ") : line.description,
               AmountText(line.amount)));
  p.lines.push_back(std::move(line));
  return {};
}

void CloseReceipt(PrinterState& p) {
  const std::int64_t change = p.paid - p.total;
  Print(p, Row(G("ΣΥΝΟΛΟ"), AmountText(p.total)));
  if (change > 0) Print(p, Row(G("ΡΕΣΤΑ"), AmountText(change)));
  Print(p, G("ΕΥΧΑΡΙΣΤΟΥΜΕ"));
  Rule(p);
  DayTotals& d = p.day;
  ++d.receipts;
  d.sales += p.total;
  d.payments[0] -= change;  // change is given in cash
  for (std::size_t i = 0; i < p.lines.size(); ++i) {
    const ReceiptLine& l = p.lines[i];
    switch (l.kind) {
      case Kind::kSale:
      case Kind::kReturn:
      case Kind::kVoid: {
        std::int64_t net = l.amount;
        // A line's own discount or surcharge counts with its VAT rate.
        for (std::size_t j = i + 1; j < p.lines.size() && !p.lines[j].on_subtotal &&
                                    (p.lines[j].kind == Kind::kDiscount || p.lines[j].kind == Kind::kSurcharge);
             ++j)
          net += p.lines[j].amount;
        d.by_rate[l.rate] += net;
        d.by_department[static_cast<std::size_t>(l.department - 1)] += net;
        DayTotals::Item& item = d.items[l.description.empty() ? G("ΤΜΗΜΑ ") + Padded(l.department, 2) : l.description];
        item.quantity += l.kind == Kind::kSale ? l.quantity : -l.quantity;
        item.amount += l.amount;
        if (l.kind == Kind::kReturn) d.returns -= l.amount;
        if (l.kind == Kind::kVoid) d.voids -= l.amount;
        break;
      }
      case Kind::kTicket: d.tickets += l.amount; break;
      case Kind::kDiscount: d.discounts -= l.amount; break;
      case Kind::kSurcharge: d.surcharges += l.amount; break;
    }
  }
  p.stage = ReceiptStage::kNone;
}

Result Payment(PrinterState& p, const Fields& f) {
  if (f.size() != 6 || f[1].size() != 1 || f[1][0] < '1' || f[1][0] > '3' || !f[4].empty() || !f[5].empty())
    return Refuse(kBadCommand);
  const auto amount = Fixed(f[2], 2);
  if (!amount) return Refuse(kBadCommand);
  const int type = f[1][0] - '1';
  const std::string name = Trimmed(f[3]).empty() ? G(type == 0   ? "ΜΕΤΡΗΤΑ"
                                                     : type == 1 ? "ΚΑΡΤΑ"
                                                                 : "ΕΠΙΤΑΓΗ")
                                                 : Trimmed(f[3]);
  if (p.stage == ReceiptStage::kCashIn || p.stage == ReceiptStage::kCashOut) {
    if (*amount <= 0 || *amount > kMaxAmount) return Refuse(kOutOfRange);
    const bool in = p.stage == ReceiptStage::kCashIn;
    (in ? p.day.cash_in : p.day.cash_out) += *amount;
    p.total = p.paid = *amount;
    Print(p, Row(name, AmountText(in ? *amount : -*amount)));
    Rule(p);
    p.stage = ReceiptStage::kNone;
    return {};
  }
  if (!InReceipt(p) || p.lines.empty()) return Refuse(kNotNow);
  const std::int64_t due = p.total - p.paid;
  const std::int64_t pay = *amount == 0 ? due : *amount;
  if (pay <= 0 || pay > kMaxAmount || (type != 0 && pay > due)) return Refuse(kOutOfRange);
  p.paid += pay;
  p.day.payments[static_cast<std::size_t>(type)] += pay;
  Print(p, Row(name, AmountText(pay)));
  if (p.paid >= p.total)
    CloseReceipt(p);
  else
    p.stage = ReceiptStage::kPayment;
  return {};
}

Result Subtotal(PrinterState& p) {
  if (InReceipt(p)) {
    p.subtotal_taken = true;
    Print(p, Row(G("ΥΠΟΣΥΝΟΛΟ"), AmountText(p.total)));
  }
  const std::int64_t due = InReceipt(p) ? std::max<std::int64_t>(0, p.total - p.paid) : 0;
  return {kAccepted, Padded(static_cast<int>(std::min<std::size_t>(p.lines.size(), 999)), 3) + "/" +
                         AmountText(p.total) + "/" + AmountText(p.paid) + "////" + AmountText(due) + "/"};
}

Result TotalVoid(PrinterState& p) {
  if (!Open(p)) return Refuse(kNotNow);
  Print(p, G("ΑΚΥΡΩΣΗ ΑΠΟΔΕΙΞΗΣ"));
  Rule(p);
  if (InReceipt(p)) ++p.day.voided_receipts;
  p.stage = ReceiptStage::kNone;
  p.total = p.paid = 0;
  return {};
}

Result Texts(PrinterState& p, const Fields& f, bool after_subtotal, std::size_t max_lines, bool customer) {
  if (f.size() < 2 || f.size() > max_lines + 1) return Refuse(kBadCommand);
  for (std::size_t i = 1; i < f.size(); ++i)
    if (f[i].size() > 40) return Refuse(kBadCommand);
  if (after_subtotal && !InReceipt(p)) return Refuse(kNotNow);
  if (customer) Print(p, G("ΠΕΛΑΤΗΣ"));
  for (std::size_t i = 1; i < f.size(); ++i)
    if (const std::string line = Trimmed(f[i]); !line.empty()) Print(p, line);
  return {};
}

Result Tickets(PrinterState& p, const Fields& f) {
  const auto amount = f.size() == 3 ? Fixed(f[1], 2) : std::nullopt;
  if (!amount) return Refuse(kBadCommand);
  if (p.stage != ReceiptStage::kNone && p.stage != ReceiptStage::kSale) return Refuse(kNotNow);
  if (*amount <= 0 || p.total + *amount > kMaxAmount || p.lines.size() >= kMaxLines) return Refuse(kOutOfRange);
  if (p.stage == ReceiptStage::kNone) OpenReceipt(p);
  ReceiptLine line;
  line.kind = Kind::kTicket;
  line.description = Trimmed(f[2]).empty() ? G("ΕΙΣΙΤΗΡΙΑ") : Trimmed(f[2]);
  line.amount = *amount;
  p.total += *amount;
  Print(p, Row(line.description, AmountText(*amount)));
  p.lines.push_back(std::move(line));
  return {};
}

// ---- Reports ----------------------------------------------------------------------

void PrintTotals(PrinterState& p, const DayTotals& d) {
  Print(p, Row(G("ΑΠΟΔΕΙΞΕΙΣ"), std::to_string(d.receipts)));
  Print(p, Row(G("ΑΚΥΡΩΜΕΝΕΣ"), std::to_string(d.voided_receipts)));
  for (const auto& [rate, amount] : d.by_rate) Print(p, Row(G("ΦΠΑ ") + rate + "%", AmountText(amount)));
  Print(p, Row(G("ΕΚΠΤΩΣΕΙΣ"), AmountText(d.discounts)));
  Print(p, Row(G("ΠΡΟΣΑΥΞΗΣΕΙΣ"), AmountText(d.surcharges)));
  Print(p, Row(G("ΑΛΛΑΓΕΣ"), AmountText(d.returns)));
  Print(p, Row(G("ΑΚΥΡΩΣΕΙΣ"), AmountText(d.voids)));
  Print(p, Row(G("ΕΙΣΙΤΗΡΙΑ"), AmountText(d.tickets)));
  Print(p, Row(G("ΜΕΤΡΗΤΑ"), AmountText(d.payments[0])));
  Print(p, Row(G("ΚΑΡΤΑ"), AmountText(d.payments[1])));
  Print(p, Row(G("ΕΠΙΤΑΓΗ"), AmountText(d.payments[2])));
  Print(p, Row(G("ΚΑΤΑΘΕΣΕΙΣ"), AmountText(d.cash_in)));
  Print(p, Row(G("ΑΝΑΛΗΨΕΙΣ"), AmountText(d.cash_out)));
  Print(p, Row(G("ΣΥΝΟΛΟ"), AmountText(d.sales)));
}

// Prints a report and keeps its lines when `keep` is given.
class Report {
 public:
  Report(PrinterState& p, std::string_view title, std::vector<std::string>* keep = nullptr)
      : p_(p), first_(p.paper_lines), keep_(keep) {
    Rule(p);
    Print(p, G(title));
  }
  ~Report() {
    Rule(p_);
    if (keep_ != nullptr) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(p_.paper_lines - first_, p_.paper.size()));
      keep_->assign(p_.paper.end() - static_cast<std::ptrdiff_t>(n), p_.paper.end());
    }
  }
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

 private:
  PrinterState& p_;
  std::uint64_t first_;
  std::vector<std::string>* keep_;
};

Result ZReport(RegisterMemory& m) {
  PrinterState& p = m.printer;
  const int number = NextZ(m);
  std::vector<std::string> lines;
  {
    Report r(p, "ΗΜΕΡΗΣΙΑ ΑΝΑΦΟΡΑ Ζ", &lines);
    const std::uint32_t now = Now();
    Print(p, Row("Z", Padded(number, 4)));
    Print(p, DateText(now));
    PrintTotals(p, p.day);
    p.z_reports.push_back({number, now, p.day});
  }
  p.last_z = std::move(lines);
  p.next_z = number + 1;
  p.day = {};
  p.receipt_number = 0;
  p.lines.clear();
  p.total = p.paid = 0;
  return {};
}

Result ZCopy(RegisterMemory& m) {
  PrinterState& p = m.printer;
  if (p.last_z.empty()) {
    const std::vector<Closure> all = Closures(m);
    if (all.empty()) return Refuse(kNotNow);
    const Closure& c = all.back();
    Report r(p, "ΑΝΤΙΓΡΑΦΟ ΑΝΑΦΟΡΑΣ Ζ");
    Print(p, Row("Z", Padded(c.number, 4)));
    Print(p, DateText(c.time));
    Print(p, Row(G("ΑΠΟΔΕΙΞΕΙΣ"), std::to_string(c.receipts)));
    Print(p, Row(G("ΣΥΝΟΛΟ"), AmountText(c.total)));
    return {};
  }
  Report r(p, "ΑΝΤΙΓΡΑΦΟ ΑΝΑΦΟΡΑΣ Ζ");
  // The copy holds the report between its rules.
  for (const std::string& line : std::vector<std::string>(p.last_z))
    if (line != std::string(kPaperWidth, '-')) Print(p, line);
  return {};
}

Result FiscalMemoryReport(RegisterMemory& m, const Fields& f) {
  if (f.size() < 3 || f[2].size() != 1) return Refuse(kBadCommand);
  const char k = f[2][0];
  std::vector<Closure> all = Closures(m);
  std::vector<Closure> chosen;
  std::string range;
  if (k == '7') {
    if (f.size() != 3) return Refuse(kBadCommand);
    chosen.assign(all.end() - std::min<std::ptrdiff_t>(3, static_cast<std::ptrdiff_t>(all.size())), all.end());
    range = G("ΤΕΛΕΥΤΑΙΕΣ 3 Ζ");
  } else if (k >= '1' && k <= '3') {
    if (f.size() != 7) return Refuse(kBadCommand);
    const auto from = FieldTime(f[3], f[4]), to = FieldTime(f[5], f[6]);
    if (!from || !to) return Refuse(kBadCommand);
    if (*from > *to) return Refuse(kOutOfRange);
    for (const Closure& c : all)
      if (c.time >= *from && c.time <= *to) chosen.push_back(c);
    range = DateText(*from).substr(0, 10) + " - " + DateText(*to).substr(0, 10);
  } else if (k >= '4' && k <= '6') {
    const auto from = f.size() == 5 ? Digits(f[3], 4) : std::nullopt;
    const auto to = f.size() == 5 ? Digits(f[4], 4) : std::nullopt;
    if (!from || !to) return Refuse(kBadCommand);
    if (*from < 1 || *from > *to) return Refuse(kOutOfRange);
    for (const Closure& c : all)
      if (c.number >= *from && c.number <= *to) chosen.push_back(c);
    range = "Z " + Padded(*from, 4) + " - " + Padded(*to, 4);
  } else {
    return Refuse(kBadCommand);
  }
  PrinterState& p = m.printer;
  const bool detailed = k == '2' || k == '3' || k == '5' || k == '6' || k == '7';
  Report r(p, k == '3' || k == '6' ? "ΑΝΑΦΟΡΑ ΦΜ ΠΑΗΨΣ" : detailed ? "ΑΝΑΛΥΤΙΚΗ ΑΝΑΦΟΡΑ ΦΜ" : "ΑΝΑΦΟΡΑ ΦΜ");
  Print(p, range);
  std::int64_t total = 0;
  for (const Closure& c : chosen) {
    Print(p, Row("Z " + Padded(c.number, 4), DateText(c.time)));
    if (detailed) {
      Print(p, Row(G("  ΑΠΟΔΕΙΞΕΙΣ"), std::to_string(c.receipts)));
      Print(p, Row(G("  ΣΥΝΟΛΟ"), AmountText(c.total)));
    }
    total += c.total;
  }
  Print(p, Row(G("ΑΡ. Ζ"), std::to_string(chosen.size())));
  Print(p, Row(G("ΣΥΝΟΛΟ"), AmountText(total)));
  return {};
}

Result Command(RegisterMemory& m, const Fields& f) {
  PrinterState& p = m.printer;
  const auto is = [&](std::initializer_list<std::string_view> want) {
    return std::equal(f.begin(), f.end(), want.begin(), want.end());
  };
  // Which "x/" command this is, before the moment is looked at.
  enum class X { kNone, kMove, kZ, kZCopy, kX, kItems, kOperators, kFiles, kFiscal } x = X::kNone;
  if (is({"x", "10"}) || is({"x", "11"}))
    x = X::kMove;
  else if (is({"x", "7", "1", "1"}))
    x = X::kZ;
  else if (is({"x", "7", "0", "0"}))
    x = X::kZCopy;
  else if (is({"x", "1", "", ""}))
    x = X::kX;
  else if (is({"x", "3", "", ""}))
    x = X::kItems;
  else if (is({"x", "9", "", ""}))
    x = X::kFiles;
  else if (f.size() == 4 && f[1] == "6")
    x = X::kOperators;
  else if (f.size() >= 3 && f[1] == "0")
    x = X::kFiscal;
  if (x == X::kNone) return Refuse(kBadCommand);
  std::optional<int> from, to;
  if (x == X::kOperators) {
    from = f[2].size() <= 2 ? Digits(f[2], f[2].size()) : std::nullopt;
    to = f[3].size() <= 2 ? Digits(f[3], f[3].size()) : std::nullopt;
    if (!from || !to || f[2].empty() || f[3].empty()) return Refuse(kBadCommand);
  }
  if (Open(p)) return Refuse(kNotNow);
  switch (x) {
    case X::kMove: {
      Report r(p, f[1] == "10" ? "ΜΕΤΑΦΟΡΑ +" : "ΜΕΤΑΦΟΡΑ -");
      return {};
    }
    case X::kZ: return ZReport(m);
    case X::kZCopy: return ZCopy(m);
    case X::kX: {
      Report r(p, "ΑΝΑΦΟΡΑ Χ");
      PrintTotals(p, p.day);
      return {};
    }
    case X::kItems: {
      Report r(p, "ΑΝΑΦΟΡΑ ΕΙΔΩΝ");
      for (const auto& [name, item] : p.day.items) {
        Print(p, name);
        Print(p, Row("  " + QuantityText(item.quantity), AmountText(item.amount)));
      }
      return {};
    }
    case X::kOperators: {
      if (*from < 1 || *from > *to || *to > kOperatorCount) return Refuse(kOutOfRange);
      Report r(p, "ΑΝΑΦΟΡΑ ΧΕΙΡΙΣΤΩΝ");
      for (int i = *from; i <= *to; ++i) {
        const ConstBytes rec = m.programming.record(Block::kOperators, i - 1);
        std::string name(rec.begin(), rec.begin() + kShortNameWidth);
        if (static_cast<std::uint8_t>(name[0]) == 0 || static_cast<std::uint8_t>(name[0]) == 0xFF) continue;
        Print(p, Row(Padded(i, 2) + " " + Trimmed(name), AmountText(i == 1 ? p.day.sales : 0)));
      }
      return {};
    }
    case X::kFiles: {
      Report r(p, "ΑΝΑΦΟΡΑ ΗΛ. ΑΡΧΕΙΩΝ");
      Print(p, Row(G("ΕΠΟΜΕΝΟ Ζ"), Padded(NextZ(m), 4)));
      Print(p, Row(G("ΑΠΟΔΕΙΞΕΙΣ"), std::to_string(p.day.receipts)));
      return {};
    }
    case X::kFiscal: return FiscalMemoryReport(m, f);
    case X::kNone: break;
  }
  return Refuse(kBadCommand);
}

std::string Head(const PrinterState& p, std::string_view status) {
  return std::string(status) + "/" + Padded(p.receipt_number, 4) + "/" + Padded(StatusNumber(p), 2) + "/";
}

}  // namespace

std::string AmountText(std::int64_t cents) {
  const std::int64_t a = cents < 0 ? -cents : cents;
  const std::string d = std::to_string(a % 100);
  return (cents < 0 ? "-" : "") + std::to_string(a / 100) + "," + std::string(2 - d.size(), '0') + d;
}

int StatusNumber(const PrinterState& p) {
  int s = 0;
  if (!p.day.Empty() || p.stage != ReceiptStage::kNone) s |= kStatusDayOpen;
  if (InReceipt(p) && p.subtotal_taken) s |= kStatusSubtotal;
  if (p.stage != ReceiptStage::kNone) s |= kStatusReceiptOpen;
  if (p.stage == ReceiptStage::kPayment) s |= kStatusPayment;
  return s;
}

void RecordCommand(PrinterState& p, std::string_view text) {
  p.commands.emplace_back(text);
  if (p.commands.size() > PrinterState::kKeep) p.commands.pop_front();
}

int NextZ(RegisterMemory& m) {
  if (m.printer.next_z == 0) m.printer.next_z = StoredClosures(m.fiscal_memory) + 1;
  return m.printer.next_z;
}

std::string Refusal(const RegisterMemory& m, std::string_view status) { return Head(m.printer, status); }

std::string Execute(RegisterMemory& m, std::string_view text) {
  PrinterState& p = m.printer;
  const auto fields = Split(text);
  Result r = Refuse(kBadCommand);
  if (fields && !fields->empty()) {
    const Fields& f = *fields;
    const std::string_view c = f[0];
    const bool alone = f.size() == 1;
    if (c == "3")
      r = Sale(p, f);
    else if (c == "4")
      r = Adjustment(p, f);
    else if (c == "5")
      r = Payment(p, f);
    else if (c == "6" && f.size() == 2 && (f[1] == "1" || f[1] == "2")) {
      if (Open(p))
        r = Refuse(kNotNow);
      else {
        p.stage = f[1] == "1" ? ReceiptStage::kCashOut : ReceiptStage::kCashIn;
        p.lines.clear();
        p.total = p.paid = 0;
        Rule(p);
        Print(p, G(f[1] == "1" ? "ΑΝΑΛΗΨΗ" : "ΚΑΤΑΘΕΣΗ"));
        r = {};
      }
    } else if (c == "9" && alone)
      r = Subtotal(p);
    else if (c == "+" && alone)
      r = TotalVoid(p);
    else if (c == "j" || c == "J")
      r = Texts(p, f, c == "J", 3, false);
    else if (c == "2")
      r = Texts(p, f, false, 6, true);
    else if (c == "m")
      r = Tickets(p, f);
    else if ((c == "?" || c == "q") && alone)  // the status, and the drawer: nothing to keep
      r = {};
    else if (c == "w" && f.size() == 3 && f[1] == "1") {
      const auto n = f[2].size() <= 2 && !f[2].empty() ? Digits(f[2], f[2].size()) : std::nullopt;
      if (!n)
        r = Refuse(kBadCommand);
      else if (*n < 1)
        r = Refuse(kOutOfRange);
      else {
        for (int i = 0; i < *n; ++i) Print(p, "");
        r = {};
      }
    } else if (c == "x")
      r = Command(m, f);
  }
  std::string reply = Head(p, r.status) + (r.status == kAccepted ? r.extra : std::string());
  if (reply.size() > kMaxReply) reply.resize(kMaxReply);
  return reply;
}

}  // namespace zel::sim::printer
