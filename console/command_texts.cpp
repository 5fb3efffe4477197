#include "console/command_texts.h"

#include <algorithm>
#include <cstdio>

#include "core/convert.h"
#include "core/cp1253.h"

namespace zel {
namespace {

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

// A stored text field with its trailing bytes below "!" removed (at least
// one byte kept).
std::string Trimmed(std::span<const std::uint8_t> field) {
  std::size_t n = field.size();
  while (n > 1 && field[n - 1] < '!') --n;
  return {reinterpret_cast<const char*>(field.data()), std::min(n, field.size())};
}

std::string Line(std::span<const std::string> lines, std::size_t line, std::size_t width) {
  if (line >= lines.size()) return {};
  return lines[line].substr(0, width);
}

std::optional<std::string> Rate(const DataImage& image, int vat_index) {
  if (vat_index < 0) return std::nullopt;
  if (vat_index < kLastVatIndex) return RateText(image.vat_rate(vat_index));
  if (vat_index == kLastVatIndex) return std::string(" 0,00");
  return std::nullopt;
}

std::string SaleHead(SaleMode mode) {
  std::string text = "3/";
  text += static_cast<char>(mode);
  return text + "/";
}

}  // namespace

// ---- Number texts --------------------------------------------------------------

std::string AmountText(std::int32_t hundredths, int* removed) {
  return RemoveLeadingBlanks(Fixed(hundredths, 7, 2), 6, removed);
}
std::string QuantityText(std::int32_t thousandths) { return RemoveLeadingBlanks(Fixed(thousandths, 6, 3), 6); }
std::string PriceText(std::int32_t hundredths, int width, int* removed) {
  return RemoveLeadingBlanks(Fixed(hundredths, 7, 2), 9 - width, removed);
}
std::string RateText(std::int32_t hundredths) { return Fixed(hundredths, 2, 2); }

// ---- Sales ---------------------------------------------------------------------

std::optional<std::int32_t> DepartmentRate(const DataImage& image, int department) {
  if (department < 1 || department > kDepartmentCount) return std::nullopt;
  const int vat = image.department(department - 1).vat();
  if (vat < 0 || vat > kLastVatIndex) return std::nullopt;
  return vat == kLastVatIndex ? 0 : image.vat_rate(vat);
}

std::optional<SaleCommand> DepartmentSaleCommand(const DataImage& image, int department, std::int32_t price,
                                                 std::int32_t quantity, SaleMode mode, std::string_view extra_line,
                                                 std::optional<std::string_view> name) {
  if (department < 1 || department > kDepartmentCount) return std::nullopt;
  const ConstDepartment dept = image.department(department - 1);
  SaleCommand c;
  if (price == 0) {
    price = dept.fixed_price();
    c.price_width = dept.price_decimals();
  }
  if (c.price_width < 2 || c.price_width > 5) c.price_width = 2;
  const std::optional<std::string> rate = Rate(image, dept.vat());
  if (!rate) return std::nullopt;
  if (quantity == 0) quantity = 1000;

  const bool unnamed = dept.name()[0] == 0;
  std::string description;
  if (name)
    description = std::string(name->substr(0, kSaleNameWidth));
  else
    description = unnamed ? std::string(12, '\xFF') : Trimmed(dept.name());
  c.quantity = QuantityText(quantity);
  c.price = PriceText(price, c.price_width, &c.price_removed);
  char kk[8];
  std::snprintf(kk, sizeof kk, "%02d", department);
  c.text = SaleHead(mode) + description + "/" + std::string(extra_line.substr(0, kDepartmentExtraWidth)) + "/" +
           c.quantity + "/" + c.price + "/" + kk + "/" + *rate + "/";
  if (name)
    c.shown_name = description.substr(0, 12);
  else
    c.shown_name =
        unnamed ? std::string(12, '\xFF') : std::string(reinterpret_cast<const char*>(dept.name().data()), 12);
  return c;
}

std::optional<SaleCommand> ItemSaleCommand(const DataImage& image, int number, std::int32_t quantity, SaleMode mode,
                                           std::string_view extra_line, std::optional<std::int32_t> price) {
  if (number < 1 || number > kItemCount) return std::nullopt;
  const ConstItem item = image.item(number - 1);
  if (item.empty() || item.department() >= kDepartmentCount) return std::nullopt;
  const std::optional<std::string> rate = Rate(image, image.department(item.department()).vat());
  if (!rate) return std::nullopt;
  SaleCommand c;
  c.price_width = price ? 2 : item.price_decimals();
  if (c.price_width < 2 || c.price_width > 5) c.price_width = 2;
  if (quantity == 0) quantity = 1000;

  const std::string name = Trimmed(item.name());
  c.quantity = QuantityText(quantity);
  c.price = PriceText(price ? *price : item.price(), c.price_width, &c.price_removed);
  c.text = SaleHead(mode) + name + "/" + std::string(extra_line.substr(0, kItemExtraWidth)) + "/" + c.quantity + "/" +
           c.price + "/";
  c.text += static_cast<char>('1' + item.department());
  c.text += "/" + *rate + "/";
  c.shown_name = name.substr(0, 19);
  return c;
}

// ---- Adjustments -----------------------------------------------------------------

AdjustmentCommand Adjustment(bool surcharge, bool subtotal, bool percent, std::int32_t value, bool take_back) {
  AdjustmentCommand c;
  c.amount = AmountText(value, &c.removed);
  std::string label;  // 18 characters on the wire; the display takes more of the percentage form
  if (!percent) {
    label = Cp(surcharge ? "ΠΟΣΟ ΠΡΟΣΑΥΞΗΣΗΣ  " : "ΠΟΣΟ ΕΚΠΤΩΣΗΣ     ");
  } else {
    label = Cp(surcharge ? " 0.00% ΠΡΟΣΑΥΞΗΣΗ%     " : " 0.00% ΕΚΠΤΩΣΗ   %     ");
    label.replace(0, 5, RateText(value));
  }
  c.text = "4/" + c.amount + "/" + label.substr(0, 18) + "//";
  c.text += static_cast<char>('0' + (surcharge ? 1 : 0) + (take_back ? 4 : 0));
  c.text += subtotal ? "/1/" : "/0/";
  c.text += percent ? "0/" : "1/";
  c.label = percent ? label.substr(7, 16) : label.substr(0, 16);
  return c;
}

// ---- Payments --------------------------------------------------------------------

std::string PaymentName(const DataImage& image, int type) {
  const std::span<const std::uint8_t> name =
      image.payment(std::clamp(type, 0, kPaymentCount - 1)).first(kShortNameWidth);
  return {reinterpret_cast<const char*>(name.data()), name.size()};
}

std::string PaymentCommand(const DataImage& image, int type, std::int32_t amount) {
  std::string text = "5/";
  text += static_cast<char>('1' + type);
  return text + "/" + AmountText(amount) + "/" + PaymentName(image, type) + "///";
}

// ---- Texts and customer ----------------------------------------------------------

std::string ExtraDescriptionCommand(std::span<const std::string> lines, bool after_subtotal) {
  std::string text = after_subtotal ? "J/" : "j/";
  for (std::size_t i = 0; i < kDescriptionLines; ++i) text += Line(lines, i, kDescriptionLineWidth) + "/";
  return text;
}

std::optional<std::string> CustomerCommand(const DataImage& image, int number) {
  if (number < 1 || number > kCustomerCount) return std::nullopt;
  const ConstCustomer c = image.customer(number - 1);
  if (c.company()[0] < ' ') return std::nullopt;
  char tax[16];
  std::snprintf(tax, sizeof tax, "%09u", static_cast<unsigned>(c.tax_number()) % 1000000000u);
  return "2/" + Trimmed(c.company()) + "/" + Trimmed(c.profession()) + "/" + tax + "/" + Trimmed(c.address()) + "/" +
         Trimmed(c.phone()) + "/" + Trimmed(c.tax_office()) + "/";
}

std::optional<std::string> CustomerLinesCommand(std::span<const std::string> lines) {
  if (lines.size() != 1 && lines.size() < kCustomerLines) return std::nullopt;
  std::string text = "2/";
  for (std::size_t i = 0; i < std::min(lines.size(), kCustomerLines); ++i)
    text += Line(lines, i, kCustomerLineWidth) + "/";
  return text;
}

std::string TicketsCommand(std::int32_t amount) { return "m/" + AmountText(amount) + "/" + Cp("ΕΙΣΙΤΗΡΙΑ") + "/"; }

// ---- Reports ---------------------------------------------------------------------

std::string FiscalMemoryCommand(const FiscalMemoryRange& range) {
  if (range.last_3z) return "x/0/7/";
  char text[64];
  if (range.by_date) {
    const char k = range.paehps ? '3' : range.detailed ? '2' : '1';
    Clock from, to;
    from.seconds = range.from_date;
    from.ToText();
    to.seconds = range.to_date;
    to.ToText();
    std::snprintf(text, sizeof text, "x/0/%c/%02d%02d%02d/%02d%02d%02d/%02d%02d%02d/%02d%02d%02d/", k, from.day,
                  from.month, from.year % 100, from.hour, from.minute, from.second, to.day, to.month, to.year % 100,
                  to.hour, to.minute, to.second);
  } else {
    const char k = range.paehps ? '6' : range.detailed ? '5' : '4';
    std::snprintf(text, sizeof text, "x/0/%c/%04u/%04u/", k, range.from_z % 10000u, range.to_z % 10000u);
  }
  return text;
}

// ---- Replies -----------------------------------------------------------------------

std::optional<int> StatusNumber(std::string_view reply) {
  if (reply.size() < 10) return std::nullopt;
  return static_cast<int>(ParseDigits(reply.substr(8, 2)));
}

std::optional<std::string_view> AmountDueField(std::string_view reply) {
  std::size_t slashes = 0, at = 1;
  for (; at < reply.size() && slashes < 9; ++at)
    if (reply[at] == '/') ++slashes;
  if (slashes < 9) return std::nullopt;
  const std::size_t end = reply.find('/', at);
  const std::string_view field = reply.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
  if (field.size() > 10) return std::nullopt;
  return field;
}

}  // namespace zel
