#include "link/compare.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/bytes.h"
#include "core/convert.h"
#include "core/cp1253.h"

namespace zel {
namespace {

enum class Type {
  kText,     // code page 1253, cleaned by the wire rules
  kHex,      // raw bytes
  kU8,       // a number
  kIndex,    // a 0-based index shown 1-based
  kI32,      // signed number
  kU32,      // unsigned number
  kCents,    // signed 32-bit with 2 decimals
  kPrice,    // signed 32-bit with the decimals of the item's own decimals byte
  kRate,     // unsigned 16-bit with 2 decimals
  kAddress,  // four octets
};

struct FieldDef {
  std::string_view name;
  std::size_t offset;
  std::size_t width;
  Type type;
};

// One record as it is compared: its bytes in the image and the fields.
struct KindLayout {
  std::size_t base;    // image offset of record 0
  std::size_t stride;  // bytes per record
  int records;
  std::vector<FieldDef> fields;
};

constexpr std::size_t ParamBase() { return Info(Block::kParameters).offset; }

KindLayout LayoutOf(Kind kind) {
  switch (kind) {
    case Kind::kLogo:
      return {Info(Block::kLogo).offset, logo::kRowBytes, logo::kRows, {{"Κουκκίδες", 0, logo::kRowBytes, Type::kHex}}};
    case Kind::kFiscalLogo:
    case Kind::kHeaderFooter: {
      const int first = kind == Kind::kFiscalLogo ? 0 : kFiscalLogoLines;
      const int count = kind == Kind::kFiscalLogo ? kFiscalLogoLines : kPrintLineCount - kFiscalLogoLines;
      return {ParamBase() + param::kPrintLines + param::kPrintLineSize * static_cast<std::size_t>(first),
              param::kPrintLineSize,
              count,
              {{"Κείμενο", 0, param::kPrintTextWidth, Type::kText}, {"Μέγεθος", param::kPrintTextWidth, 1, Type::kU8}}};
    }
    case Kind::kPayments:
      return {
          Info(Block::kPayments).offset, kShortNameWidth, kPaymentCount, {{"Ονομα", 0, kShortNameWidth, Type::kText}}};
    case Kind::kVatRates:
      return {Info(Block::kVatRates).offset, 2, kVatRateCount, {{"Συντελεστής", 0, 2, Type::kRate}}};
    case Kind::kCategories:
      return {Info(Block::kCategories).offset,
              Info(Block::kCategories).record_size,
              kCategoryCount,
              {{"Ονομα", 0, kShortNameWidth, Type::kText}}};
    case Kind::kDepartments:
      return {Info(Block::kDepartments).offset,
              Info(Block::kDepartments).record_size,
              kDepartmentCount,
              {{"Οριο", department::kLimit, 4, Type::kCents},
               {"Σταθερή τιμή", department::kFixedPrice, 4, Type::kI32},
               {"Ονομα", department::kName, department::kNameWidth, Type::kText},
               {"ΦΠΑ", department::kVat, 1, Type::kU8},
               {"Κατηγορία", department::kCategory, 1, Type::kIndex},
               {"Δεκαδικά", department::kPriceDecimals, 1, Type::kU8},
               {"Κλείνει απόδειξη", department::kClosesReceipt, 1, Type::kU8},
               {"Ζυγαριά", department::kFromScale, 1, Type::kU8}}};
    case Kind::kOperators:
      return {Info(Block::kOperators).offset,
              Info(Block::kOperators).record_size,
              kOperatorCount,
              {{"Ονομα", op::kName, kShortNameWidth, Type::kText}, {"Κωδικός", op::kCode, 4, Type::kI32}}};
    case Kind::kItems:
      return {Info(Block::kItems).offset,
              Info(Block::kItems).record_size,
              kItemCount,
              {{"Τιμη", item::kPrice, 4, Type::kPrice},
               {"Ονομα", item::kName, item::kNameWidth, Type::kText},
               {"Δεκαδικά", item::kPriceDecimals, 1, Type::kU8},
               {"Κατηγορία", item::kCategory, 1, Type::kIndex},
               {"Τμήμα", item::kDepartment, 1, Type::kIndex},
               {"Ζυγαριά", item::kFromScale, 1, Type::kU8},
               {"Barcode", item::kBarcode, item::kBarcodeWidth, Type::kText},
               {"Byte 47", item::kReserved, 1, Type::kHex}}};
    case Kind::kTaxCode:
      return {ParamBase() + param::kAesKey, param::kAesKeyWidth, 1, {{"Κλειδί", 0, param::kAesKeyWidth, Type::kHex}}};
    case Kind::kCustomers:
      return {Info(Block::kCustomers).offset,
              Info(Block::kCustomers).record_size,
              kCustomerCount,
              {{"ΑΦΜ", customer::kTaxNumber, 4, Type::kU32},
               {"Επωνυμία", customer::kCompany, customer::kTextWidth, Type::kText},
               {"Επάγγελμα", customer::kProfession, customer::kTextWidth, Type::kText},
               {"Διεύθυνση", customer::kAddress, customer::kTextWidth, Type::kText},
               {"ΔΟΥ", customer::kTaxOffice, customer::kTextWidth, Type::kText},
               {"Τηλέφωνο", customer::kPhone, customer::kPhoneWidth, Type::kText}}};
    case Kind::kParameters:
      // Offsets within the parameter block; the customer message lines are
      // compared apart (they live beside the image).
      return {ParamBase(),
              Info(Block::kParameters).size(),
              1,
              {{"Αρ. μηχανής", param::kMachineNumber, 1, Type::kIndex},
               {"Επιλογές 1", param::kOptions1, 4, Type::kHex},
               {"Επιλογές 2", param::kOptions2, 4, Type::kHex},
               {"Όριο απόδειξης", param::kReceiptLimit, 4, Type::kCents},
               {"Προθέματα barcode", param::kBarcodePrefixes, 5, Type::kHex},
               {"Μορφές barcode", param::kBarcodeFormats, 5, Type::kHex},
               {"Θύρες POS", param::kPosPorts, 6, Type::kHex},
               {"Όνομα POS 1", param::kPos1Name, param::kPosNameWidth, Type::kText},
               {"Κωδικός τεχνικού", param::kTechnicianCode, 4, Type::kI32},
               {"IP ΦΗΜ", param::kRegisterIp, 4, Type::kAddress},
               {"Μάσκα δικτύου", param::kNetMask, 4, Type::kAddress},
               {"Πύλη", param::kGateway, 4, Type::kAddress},
               {"Διεύθυνση ΓΓΠΣ", param::kTaxAuthorityUrl, param::kUrlWidth, Type::kText},
               {"IP POS 1", param::kPos1Ip, 4, Type::kAddress},
               {"IP POS 2", param::kPos2Ip, 4, Type::kAddress},
               {"IP POS 3", param::kPos3Ip, 4, Type::kAddress},
               {"Όνομα POS 2", param::kPos2Name, param::kPosNameWidth, Type::kText},
               {"IP DNS", param::kDnsIp, 4, Type::kAddress},
               {"Όνομα POS 3", param::kPos3Name, param::kPosNameWidth, Type::kText},
               {"Διεύθυνση λογισμικού", param::kFirmwareUrl, param::kFirmwareUrlWidth, Type::kText},
               {"Διεύθυνση QR", param::kQrUrl, param::kUrlWidth, Type::kText},
               {"Διεύθυνση κλειδιού EFT/POS", param::kEftPosKeyUrl, param::kUrlWidth, Type::kText},
               {"Διεύθυνση κλειδιού AES", param::kAesKeyUrl, param::kUrlWidth, Type::kText},
               {"Κωδικός POS 1", param::kPosIds, param::kPosIdWidth, Type::kText},
               {"Κωδικός POS 2", param::kPosIds + param::kPosIdWidth, param::kPosIdWidth, Type::kText},
               {"Κωδικός POS 3", param::kPosIds + 2 * param::kPosIdWidth, param::kPosIdWidth, Type::kText}}};
    case Kind::kFiscalMemory: break;
  }
  return {0, 0, 0, {}};
}

// A text field through the write rule and then the read rule: what a read
// gives back of what was written.
void RoundTrip(std::span<std::uint8_t> field) {
  CleanWrite(field);
  CleanRead(field);
}

// One record of `kind` brought to its read-back form.
void Normalise(Kind kind, const KindLayout& layout, std::span<std::uint8_t> rec) {
  switch (kind) {
    case Kind::kItems: {
      // An item without a name is not sent (the opening cleared it); one
      // whose name is erased memory reads back as no item.
      if (rec[item::kName] == 0x00 || rec[item::kName] == 0xFF) {
        std::fill(rec.begin(), rec.end(), std::uint8_t{0});
        return;
      }
      CleanWrite(rec.subspan(item::kName, item::kNameWidth));
      CleanRead(rec.subspan(item::kName, 24));  // the read cleans the first 24 characters
      RoundTrip(rec.subspan(item::kBarcode, item::kBarcodeWidth));
      return;
    }
    case Kind::kCustomers: {
      bool empty = le::Get32(rec.data() + customer::kTaxNumber) == 0;
      for (std::size_t t = 0; t < 4; ++t) empty = empty || rec[customer::kTextWidth * t] == 0;
      const std::uint32_t tax = le::Get32(rec.data() + customer::kTaxNumber);
      if (empty || tax > static_cast<std::uint32_t>(customer::kMaxTaxNumber)) {
        std::fill(rec.begin(), rec.end(), std::uint8_t{0});
        return;
      }
      for (std::size_t t = 0; t < 4; ++t) RoundTrip(rec.subspan(customer::kTextWidth * t, customer::kTextWidth));
      std::array<std::uint8_t, 8> packed{};
      std::span<std::uint8_t> phone = rec.subspan(customer::kPhone, customer::kPhoneWidth);
      PackDigits(phone, packed);
      std::fill(phone.begin(), phone.end(), std::uint8_t{0});
      if (packed[6] != 0xFF) UnpackDigits(packed, phone);
      return;
    }
    default:
      for (const FieldDef& f : layout.fields)
        if (f.type == Type::kText) RoundTrip(rec.subspan(f.offset, f.width));
  }
}

std::string Trimmed(ConstBytes field) {
  std::size_t n = field.size();
  while (n > 0 && (field[n - 1] == ' ' || field[n - 1] == 0x00)) --n;
  std::string text(reinterpret_cast<const char*>(field.data()), n);
  // A zero byte ends the text as the register prints it.
  if (const std::size_t z = text.find('\0'); z != std::string::npos) text.resize(z);
  return cp1253::ToUtf8(text);
}

std::string WithDecimals(std::int64_t value, int decimals) {
  const bool negative = value < 0;
  const std::uint64_t v = negative ? static_cast<std::uint64_t>(-value) : static_cast<std::uint64_t>(value);
  std::uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  std::string text = std::to_string(v / scale);
  if (decimals > 0) {
    std::string fraction = std::to_string(v % scale);
    text += ',' + std::string(static_cast<std::size_t>(decimals) - fraction.size(), '0') + fraction;
  }
  return negative ? "-" + text : text;
}

std::string ValueText(const FieldDef& f, ConstBytes rec) {
  const std::uint8_t* p = rec.data() + f.offset;
  switch (f.type) {
    case Type::kText: return Trimmed({p, f.width});
    case Type::kHex: return FormatHexText(p, static_cast<int>(f.width));
    case Type::kU8: return std::to_string(p[0]);
    case Type::kIndex: return std::to_string(p[0] + 1);
    case Type::kI32: return std::to_string(le::GetI32(p));
    case Type::kU32: return std::to_string(le::Get32(p));
    case Type::kCents: return WithDecimals(le::GetI32(p), 2);
    case Type::kPrice: {
      const int decimals = rec[item::kPriceDecimals];
      return WithDecimals(le::GetI32(p), decimals >= 0 && decimals <= 5 ? decimals : 2);
    }
    case Type::kRate: return WithDecimals(le::Get16(p), 2);
    case Type::kAddress:
      return std::to_string(p[0]) + '.' + std::to_string(p[1]) + '.' + std::to_string(p[2]) + '.' +
             std::to_string(p[3]);
  }
  return {};
}

std::string CsvField(const std::string& s) {
  if (s.find_first_of(";\"\r\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + '"';
}

}  // namespace

std::vector<Difference> CompareKind(Kind kind, const DataImage& database, const DataImage& register_image) {
  std::vector<Difference> out;
  const KindLayout layout = LayoutOf(kind);
  std::vector<std::uint8_t> a(layout.stride), b(layout.stride);
  for (int r = 0; r < layout.records; ++r) {
    const std::size_t at = layout.base + layout.stride * static_cast<std::size_t>(r);
    std::copy_n(database.raw().begin() + static_cast<std::ptrdiff_t>(at), layout.stride, a.begin());
    std::copy_n(register_image.raw().begin() + static_cast<std::ptrdiff_t>(at), layout.stride, b.begin());
    if (a == b) continue;
    Normalise(kind, layout, a);
    Normalise(kind, layout, b);
    for (const FieldDef& f : layout.fields) {
      if (std::equal(a.begin() + static_cast<std::ptrdiff_t>(f.offset),
                     a.begin() + static_cast<std::ptrdiff_t>(f.offset + f.width),
                     b.begin() + static_cast<std::ptrdiff_t>(f.offset)))
        continue;
      out.push_back({kind, r + 1, std::string(f.name), ValueText(f, a), ValueText(f, b)});
    }
  }
  if (kind == Kind::kParameters) {
    for (std::size_t line = 0; line < 2; ++line) {
      CustomerMessageLine x = database.state.customer_message[line];
      CustomerMessageLine y = register_image.state.customer_message[line];
      RoundTrip(x);
      RoundTrip(y);
      if (x == y) continue;
      out.push_back({kind, 1, "Μήνυμα πελάτη " + std::to_string(line + 1), Trimmed(x), Trimmed(y)});
    }
  }
  return out;
}

std::vector<Difference> CompareKinds(const TransferRequest& kinds, const DataImage& database,
                                     const DataImage& register_image) {
  std::vector<Difference> out;
  for (const KindInfo& info : kKinds) {
    if (!kinds[info.kind]) continue;
    std::vector<Difference> d = CompareKind(info.kind, database, register_image);
    out.insert(out.end(), d.begin(), d.end());
  }
  return out;
}

std::string DifferenceLine(const Difference& d) {
  return std::string(InfoOf(d.kind).caption) + ' ' + std::to_string(d.record) + ": " + d.field + ' ' + d.database +
         " ≠ " + d.register_;
}

std::string DifferencesText(const std::vector<Difference>& list) {
  std::string text;
  for (const Difference& d : list) text += DifferenceLine(d) + '\n';
  return text;
}

std::string DifferencesCsv(const std::vector<Difference>& list) {
  std::string text = "Δεδομένα;Εγγραφή;Πεδίο;Βάση δεδομένων;ΦΗΜ\n";
  for (const Difference& d : list)
    text += CsvField(std::string(InfoOf(d.kind).caption)) + ';' + std::to_string(d.record) + ';' + CsvField(d.field) +
            ';' + CsvField(d.database) + ';' + CsvField(d.register_) + '\n';
  return text;
}

bool SaveDifferences(const std::string& path, const std::vector<Difference>& list, bool csv) {
  std::string text = csv ? DifferencesCsv(list) : DifferencesText(list);
  std::string crlf;
  crlf.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const std::string temporary = path + ".tmp";
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(crlf.data(), 1, crlf.size(), f) == crlf.size();
  if (std::fclose(f) != 0 || !written) {
    std::remove(temporary.c_str());
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) std::remove(temporary.c_str());
  return !ec;
}

std::string DifferencesSummary(const std::vector<Difference>& list, std::size_t max) {
  std::string text;
  for (std::size_t i = 0; i < list.size() && i < max; ++i) text += DifferenceLine(list[i]) + '\n';
  if (list.size() > max) text += "… και " + std::to_string(list.size() - max) + " ακόμη\n";
  if (!text.empty()) text.pop_back();
  return text;
}

}  // namespace zel
