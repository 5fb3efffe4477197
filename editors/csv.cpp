#include "editors/csv.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "core/convert.h"
#include "core/cp1253.h"
#include "core/safe_file.h"
#include "editors/field_edit.h"

namespace zel::editors {
namespace {

constexpr std::size_t kMaxLinePiece = 199;          // lines are judged in pieces of this many characters
constexpr std::size_t kMaxCsvFileSize = 64u << 20;  // far above 16000 items; a larger file is not a CSV of ours
constexpr int kMaxHeaderColumns = 20;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
std::uint8_t Byte(char c) { return static_cast<std::uint8_t>(c); }

// The field writers put their text at `p`, in room the caller has made,
// and return its end.

// Room: as many characters as `v` has digits.
char* PutNumber(char* p, std::uint64_t v) {
  char digits[20];
  return std::copy(digits, std::to_chars(digits, digits + sizeof digits, v).ptr, p);
}

// A text field as written: enclosed in double quotes, each inner quote
// doubled, when it holds a separator or a quote, so that the import reads it
// back whole. Room: twice the text and two.
char* PutQuoted(char* p, std::string_view text) {
  if (std::none_of(text.begin(), text.end(), [](char c) { return c == ';' || c == '"'; }))
    return std::copy(text.begin(), text.end(), p);
  *p++ = '"';
  for (char c : text) {
    if (c == '"') *p++ = '"';
    *p++ = c;
  }
  *p++ = '"';
  return p;
}

void AppendQuoted(std::string& out, std::string_view text) {
  const std::size_t at = out.size();
  out.resize(at + 2 * text.size() + 2);
  out.resize(static_cast<std::size_t>(PutQuoted(out.data() + at, text) - out.data()));
}

// ---- Text -----------------------------------------------------------------------

// A spreadsheet's usual UTF-8 export has no byte-order mark. Such a file is
// well-formed UTF-8 with letters outside ASCII, which a code page 1253 file
// with Greek letters practically never is; it is converted to code page
// 1253. A file with a byte-order mark is left as it is (the title-line rule
// refuses it).
bool IsUtf8WithoutMark(std::string_view data) {
  if (data.starts_with("\xEF\xBB\xBF")) return false;
  if (std::all_of(data.begin(), data.end(), [](char c) { return Byte(c) < 0x80; })) return false;
  return cp1253::IsUtf8(data);
}

std::string Utf8Character(char32_t c) {
  std::string s;
  if (c < 0x80)
    s += static_cast<char>(c);
  else if (c < 0x800)
    s += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
  else if (c < 0x10000)
    s += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
          static_cast<char>(0x80 | (c & 0x3F))};
  else
    s += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
          static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
  return s;
}

// Splits file contents into lines (without their line end) and judges
// each. A line ends with LF, CR LF or a CR alone (the old Macintosh way), so
// a file of any of them reads line by line. A line whose first 199
// characters, its line end included, hold no line end is too long.
class LineReader {
 public:
  explicit LineReader(std::string_view data) : data_(data) {}
  bool Next(std::string_view& line, bool& too_long) {
    if (pos_ >= data_.size()) return false;
    // The next LF is looked for once and kept: a file of CRs alone (no LF
    // at all) is not searched to its end for every line.
    if (lf_ == std::string_view::npos || lf_ < pos_) {
      const void* hit = std::memchr(data_.data() + pos_, '\n', data_.size() - pos_);
      lf_ = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data_.data()) : data_.size();
    }
    const void* cr = std::memchr(data_.data() + pos_, '\r', lf_ - pos_);
    const std::size_t end = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data_.data()) : lf_;
    line = data_.substr(pos_, end - pos_);
    std::size_t next = end;
    if (end < data_.size()) next += data_[end] == '\r' && end + 1 < data_.size() && data_[end + 1] == '\n' ? 2u : 1u;
    // The piece holds the line end (both characters of a CR LF); the last
    // line of a file without one must leave room for it.
    too_long = end < data_.size() ? next - pos_ > kMaxLinePiece : end - pos_ >= kMaxLinePiece;
    pos_ = next;
    return true;
  }

 private:
  std::string_view data_;
  std::size_t pos_ = 0;
  std::size_t lf_ = std::string_view::npos;  // the next LF at or after pos_ once looked for (size: none)
};

// The file's text in code page 1253: `data` itself, or its conversion from
// UTF-8 into `converted`. False after the message naming the first line
// with a character code page 1253 lacks.
bool TextInCodePage(std::string_view& data, std::string& converted, UserInterface& ui) {
  if (!IsUtf8WithoutMark(data)) return true;
  if (std::optional<std::string> text = cp1253::FromUtf8(data)) {
    converted = std::move(*text);
    data = converted;
    return true;
  }
  LineReader lines(data);
  std::string_view text;
  bool too_long = false;
  for (int line = 1; lines.Next(text, too_long); ++line) {
    if (const std::optional<char32_t> c = cp1253::FirstUnencodable(text)) {
      ui.ShowMessage(UnencodableMessage(line, Utf8Character(*c)), Icon::kError, {}, true);
      return false;
    }
  }
  // Composition across a line end cannot fail on its own; refuse anyway
  // rather than read bytes that are not code page 1253.
  ui.ShowMessage(kMsgNotAnsi, Icon::kError, {}, true);
  return false;
}

// A line that holds nothing but separators, quotes and blanks, as a
// spreadsheet writes for an empty row: it takes no item or customer.
bool IsBlankLine(std::string_view line) {
  return std::all_of(line.begin(), line.end(),
                     [](char c) { return c == ';' || c == '"' || c == ' ' || c == '\t' || c == '\r'; });
}

// Code page 1253 bytes as they are shown in a message: control bytes as
// visible escapes ("\\x1b"), as zelctl dump shows stored texts.
std::string ShownBytes(std::string_view bytes) {
  std::string escaped;
  for (const char c : bytes) {
    if (Byte(c) < 0x20 || Byte(c) == 0x7F) {
      char e[5];
      std::snprintf(e, sizeof e, "\\x%02x", Byte(c));
      escaped += e;
    } else {
      escaped += c;
    }
  }
  return cp1253::ToUtf8(escaped);
}

// A control byte anywhere in a line (a TAB, an ESC, a zero byte: a binary
// file, or a name that would reach the register with them).
bool HasControlBytes(std::string_view line) {
  // Eight bytes at a time: a byte below 0x20 (and without its high bit) or
  // equal to 0x7F shows as a set high bit.
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  std::size_t p = 0;
  for (; p + 8 <= line.size(); p += 8) {
    std::uint64_t x;
    std::memcpy(&x, line.data() + p, 8);
    const std::uint64_t del = x ^ (kOnes * 0x7F);
    if ((((x - kOnes * 0x20) & ~x) | ((del - kOnes) & ~del)) & kHighs) return true;
  }
  for (; p < line.size(); ++p)
    if (Byte(line[p]) < 0x20 || Byte(line[p]) == 0x7F) return true;
  return false;
}

// The lines an import did not take, by cause.
struct NotTaken {
  int no_room = 0;       // no empty item / customer slot left
  int beyond_table = 0;  // item number above 16000
  int too_long = 0;      // the long-line rule dropped it
  int bad_value = 0;     // a price or number field that is not a number the field holds
  int control = 0;       // control bytes in the line
  // The first line of each of the last two causes (from 1, title lines
  // counted) and what was refused in it.
  int bad_value_line = 0, control_line = 0;
  std::string bad_value_field;
  int total() const { return no_room + beyond_table + too_long + bad_value + control; }

  void BadValue(int line, std::string_view field) {
    if (bad_value++ == 0) {
      bad_value_line = line;
      bad_value_field = std::string(field.substr(0, 20));
    }
  }
  void Control(int line) {
    if (control++ == 0) control_line = line;
  }
};

std::string Lines(int n) { return std::to_string(n) + (n == 1 ? " γραμμή" : " γραμμές"); }

// What went wrong with the lines an import did not take, one cause a line.
std::string NotTakenDetails(const NotTaken& n, std::string_view room) {
  std::string text;
  if (n.no_room > 0) text += "\n" + Lines(n.no_room) + ": " + std::string(room);
  if (n.beyond_table > 0) text += "\n" + Lines(n.beyond_table) + ": αριθμός είδους πάνω από 16000";
  if (n.too_long > 0) text += "\n" + Lines(n.too_long) + ": πολύ μεγάλη γραμμή";
  if (n.bad_value > 0)
    text += "\n" + Lines(n.bad_value) + ": τιμή ή αριθμός που δεν είναι έγκυρος (γραμμή " +
            std::to_string(n.bad_value_line) + ": «" + ShownBytes(n.bad_value_field) + "»)";
  if (n.control > 0)
    text += "\n" + Lines(n.control) + ": χαρακτήρες ελέγχου μέσα στη γραμμή (γραμμή " + std::to_string(n.control_line) +
            ")";
  return text;
}

// The warning at the end of an import that did not take every line.
void WarnNotTaken(const NotTaken& n, std::string_view room, UserInterface& ui) {
  if (n.total() == 0) return;
  ui.ShowMessage((n.total() == 1 ? "Δεν περάστηκε " : "Δεν περάστηκαν ") + Lines(n.total()) +
                     " του αρχείου:" + NotTakenDetails(n, room),
                 Icon::kExclamation, {}, true);
}

// A refusal with the causes of the lines that were not taken under it.
std::string WithDetails(std::string_view message, const NotTaken& n, std::string_view room) {
  return std::string(message) + NotTakenDetails(n, room);
}

constexpr std::string_view kNoItemRoom = "δεν υπάρχει άλλη κενή θέση είδους (έως 16000 είδη)";
constexpr std::string_view kNoCustomerRoom = "δεν υπάρχει άλλη θέση πελάτη (έως 1000 πελάτες)";

// A number field of the import (item number, department, category, tax
// number): decimal digits, with blanks around them at the most. Empty is 0,
// as the column rules have it. Anything else (a letter, a sign, an
// exponent, a fraction, a decimal point) or more significant digits than
// `max_digits` is not a number the field holds: nothing, so the line is not
// taken rather than given another number.
std::optional<std::int64_t> NumberField(std::string_view field, int max_digits) {
  const auto blank = [](char c) { return c == ' ' || Byte(c) == 0xA0; };
  while (!field.empty() && blank(field.front())) field.remove_prefix(1);
  while (!field.empty() && blank(field.back())) field.remove_suffix(1);
  std::int64_t v = 0;
  int digits = 0;
  for (const char c : field) {
    if (!IsDigit(c)) return std::nullopt;
    if (v == 0 && c == '0') continue;  // leading zeros
    if (++digits > max_digits) return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

// ---- Lines -------------------------------------------------------------------------

// Characters that end a run of plain field text.
constexpr auto kSpecial = [] {
  std::array<bool, 256> t{};
  for (char c : {';', '"', '\r', '\n', '\0'}) t[static_cast<unsigned char>(c)] = true;
  return t;
}();

// The end of the run of plain characters from p: eight bytes at a time
// while they last (a byte equal to a special character shows as a set high
// bit in `hit`), then byte by byte.
inline std::size_t PlainRunEnd(const char* text, std::size_t p, std::size_t n) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  auto zero_bytes = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighs; };
  while (p + 8 <= n) {
    std::uint64_t x;
    std::memcpy(&x, text + p, 8);
    const std::uint64_t hit = zero_bytes(x) | zero_bytes(x ^ (kOnes * ';')) | zero_bytes(x ^ (kOnes * '"')) |
                              zero_bytes(x ^ (kOnes * '\r')) | zero_bytes(x ^ (kOnes * '\n'));
    if (hit != 0) {
      // The lowest set high bit is the first special byte (little-endian
      // load); a false hit can only follow a true one, never precede it.
      return p + static_cast<std::size_t>(std::countr_zero(hit) / 8);
    }
    p += 8;
  }
  while (p < n && !kSpecial[Byte(text[p])]) ++p;
  return p;
}

// The field reader (see ReadCsvField) into a buffer the caller reuses: runs
// of plain characters are copied at once, the quote states are handled one
// character at a time.
void ReadFieldInto(std::string_view line, std::size_t& pos, std::string& out) {
  out.clear();
  auto keep = [&out](const char* run, std::size_t n) {
    if (out.size() < kMaxCsvField) out.append(run, std::min(n, kMaxCsvField - out.size()));
  };
  const char* const text = line.data();
  const std::size_t n = line.size();
  std::size_t p = pos;  // a local index: the scan loop stays in registers
  int q = 0;
  while (p < n) {
    const std::size_t start = p;
    p = PlainRunEnd(text, p, n);
    if (p > start) keep(text + start, p - start);
    if (p >= n) break;
    const char c = text[p];
    if (c == '\r' || c == '\n' || c == '\0') break;
    ++p;
    if (c == ';') {
      if (q == 0) break;
      keep(";", 1);
    } else if (q == 0) {  // a double quote
      q = 1;
    } else if (q == 2) {
      keep("\"", 1);
      q = 1;
    } else {
      q = p < n && text[p] == ';' ? 0 : 2;
    }
  }
  pos = p;
}

// The field at `pos` without copying it when it holds no double quote
// (the usual case): a view into the line. A quoted field is read into
// `scratch` and the view points there.
std::string_view ReadFieldView(std::string_view line, std::size_t& pos, std::string& scratch) {
  const std::size_t start = pos;
  const std::size_t end = PlainRunEnd(line.data(), start, line.size());
  if (end >= line.size() || line[end] != '"') {
    pos = end < line.size() && line[end] == ';' ? end + 1 : end;
    return line.substr(start, std::min(end - start, kMaxCsvField));
  }
  ReadFieldInto(line, pos, scratch);
  return scratch;
}

bool HasByteOrderMark(std::string_view line) {
  return (!line.empty() && Byte(line[0]) == 0xFF) ||
         (line.size() > 1 && (Byte(line[1]) == 0xFF || Byte(line[1]) == 0xBB));
}

// ---- Items -------------------------------------------------------------------------------

// Room: 16 characters (a sign, ten digits and the comma at the most).
char* PutPrice(char* out, std::int32_t price, std::uint8_t decimals) {
  const int d = decimals > 5 ? 2 : decimals;  // no room for more: shown as 2, like on screen
  const std::int64_t v = price;
  std::uint64_t a = static_cast<std::uint64_t>(v < 0 ? -v : v);
  char buf[16];
  char* p = buf + sizeof buf;
  for (int k = 0; k < d; ++k) {
    *--p = static_cast<char>('0' + a % 10);
    a /= 10;
  }
  if (d > 0) *--p = ',';
  do {
    *--p = static_cast<char>('0' + a % 10);
    a /= 10;
  } while (a != 0);
  if (v < 0) *--p = '-';
  return std::copy(p, buf + sizeof buf, out);
}

// The bytes of one staged item record.
Item StagedItem(std::vector<std::uint8_t>& items, int i) {
  return Item(items.data() + Info(Block::kItems).record_size * static_cast<std::size_t>(i));
}

void StoreBarcode(Item it, std::string_view field) {
  const auto digit = std::find_if(field.begin(), field.end(), IsDigit);
  if (digit == field.end()) return;
  const std::size_t first = static_cast<std::size_t>(digit - field.begin());
  const std::string_view code = field.substr(first);
  // The data image has 13 barcode characters: a longer code is not stored
  // rather than stored cut.
  if (code.size() > item::kBarcodeWidth) return;
  const auto bar = it.barcode();
  std::fill(bar.begin(), bar.end(), std::uint8_t{'0'});
  std::copy(code.begin(), code.end(), bar.end() - static_cast<std::ptrdiff_t>(code.size()));
}

// A table reference from its number: 0 (an empty field) or beyond the
// table gives 1, as the column rules say.
std::uint8_t IndexFrom(std::int64_t v, int table_size) {
  if (v == 0 || v > table_size) v = 1;
  return static_cast<std::uint8_t>(v - 1);
}

// ---- Customers ---------------------------------------------------------------------------------

enum CustomerField { kTaxNumber, kCompany, kProfession, kAddress, kTaxOffice, kPhone, kCustomerFields };

// The header keys (code page 1253), in the order columns try them.
const std::array<std::string, kCustomerFields>& HeaderKeys() {
  static const std::array<std::string, kCustomerFields> keys = {cp1253::Encode("ΑΦΜ"), cp1253::Encode("ΕΠΟ"),
                                                                cp1253::Encode("ΕΠΑ"), cp1253::Encode("ΔΙΕ"),
                                                                cp1253::Encode("ΔΟΥ"), cp1253::Encode("ΤΗΛ")};
  return keys;
}

// The first three characters of a header column against a key: each equal
// to the key's character or to the same letter in small case (byte + 0x20).
bool MatchesKey(std::string_view column, std::string_view key) {
  if (column.size() < 3) return false;
  for (std::size_t i = 0; i < 3; ++i)
    if (Byte(column[i]) != Byte(key[i]) && Byte(column[i]) != Byte(key[i]) + 0x20) return false;
  return true;
}

Bytes CustomerText(Customer c, int field) {
  switch (field) {
    case kCompany: return c.company();
    case kProfession: return c.profession();
    case kAddress: return c.address();
    case kTaxOffice: return c.tax_office();
    default: return c.phone();
  }
}

}  // namespace

// ---- Pieces ------------------------------------------------------------------------------------

std::string ExportNotice(std::string_view path, int count, bool items) {
  const std::string name = std::filesystem::path(path).filename().string();
  const char* what = items ? (count == 1 ? " είδος" : " είδη") : (count == 1 ? " πελάτης" : " πελάτες");
  return "Αποθηκεύτηκε το αρχείο " + EscapedControls(name.empty() ? std::string(path) : name) + ": " +
         std::to_string(count) + what;
}

std::string LongLineMessage(std::string_view line) {
  return "The line beginning with [" + ShownBytes(line.substr(0, 20)) + "] is too long! Line omitted";
}

std::string ReadCsvField(std::string_view line, std::size_t& pos) {
  std::string out;
  ReadFieldInto(line, pos, out);
  return out;
}

namespace {

// The price as a spreadsheet may write it, reduced to its digits and the
// digits after its decimal separator, or false when it is not a price.
// Blanks and a currency mark ("€", "EUR") before the first digit or after
// the last are dropped. When both "." and "," occur the last one is the
// decimal separator and the other groups thousands ("1.234,56",
// "1,234.56"); a separator that occurs more than once with no other one
// groups thousands too ("1.234.567"), and so do blanks ("1 234,56"). Groups
// of thousands have three digits. Anything else (a letter, a sign, an
// exponent, a fraction bar) is refused. A field holds at most 49
// characters, so the digits fit in `whole` and `fraction` (50 each).
struct PriceDigits {
  char whole[kMaxCsvField + 1];
  char fraction[kMaxCsvField + 1];
  std::size_t whole_size = 0, fraction_size = 0;
  bool has_separator = false;
};

bool CleanPrice(std::string_view field, PriceDigits& out) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || Byte(c) == 0xA0; };
  const auto trim = [&] {
    while (!field.empty() && blank(field.front())) field.remove_prefix(1);
    while (!field.empty() && blank(field.back())) field.remove_suffix(1);
  };
  const auto euro = [](std::string_view t) {
    return t.size() == 3 && (t[0] | 0x20) == 'e' && (t[1] | 0x20) == 'u' && (t[2] | 0x20) == 'r';
  };
  trim();
  if (!field.empty() && Byte(field.front()) == 0x80) field.remove_prefix(1);  // "€" in code page 1253
  if (!field.empty() && Byte(field.back()) == 0x80) field.remove_suffix(1);
  if (field.size() >= 3 && euro(field.substr(0, 3))) field.remove_prefix(3);
  if (field.size() >= 3 && euro(field.substr(field.size() - 3))) field.remove_suffix(3);
  trim();
  if (field.empty() || field.size() > kMaxCsvField) return false;
  std::size_t dots = 0, commas = 0, last_dot = 0, last_comma = 0;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (c == '.') {
      ++dots;
      last_dot = i;
    } else if (c == ',') {
      ++commas;
      last_comma = i;
    } else if (!IsDigit(c) && !blank(c)) {
      return false;
    }
  }
  char grouping = 0;
  if (dots > 0 && commas > 0)
    grouping = last_dot < last_comma ? '.' : ',';
  else if (dots > 1)
    grouping = '.';
  else if (commas > 1)
    grouping = ',';
  // Where the decimal separator stands, if there is one.
  std::size_t decimal = field.size();
  if (grouping == '.' && commas > 0) decimal = last_comma;
  if (grouping == ',' && dots > 0) decimal = last_dot;
  if (grouping == 0 && (dots > 0 || commas > 0)) decimal = dots > 0 ? last_dot : last_comma;
  out.has_separator = decimal < field.size();
  // The integer part: groups of three digits after the first, split by the
  // grouping separator or blanks.
  std::size_t group = 0;
  bool first = true, grouped = false;
  out.whole_size = 0;
  for (std::size_t i = 0; i < decimal; ++i) {
    const char c = field[i];
    if (c == grouping || blank(c)) {
      if (group == 0 || (!first && group != 3)) return false;
      first = false;
      grouped = true;
      group = 0;
    } else if (IsDigit(c)) {
      out.whole[out.whole_size++] = c;
      ++group;
    } else {
      return false;  // a decimal separator before the last one
    }
  }
  if (grouped && group != 3) return false;
  out.fraction_size = 0;
  for (std::size_t i = decimal + 1; i < field.size(); ++i) {
    if (!IsDigit(field[i])) return false;  // a blank or a second separator
    out.fraction[out.fraction_size++] = field[i];
  }
  return !(out.has_separator && out.whole_size == 0 && out.fraction_size == 0);
}

}  // namespace

std::optional<CsvPrice> ParseCsvPrice(std::string_view field) {
  PriceDigits d;
  if (!CleanPrice(field, d)) return std::nullopt;
  // Leading zeros hold no value; the price field holds six integer digits.
  std::string_view whole(d.whole, d.whole_size);
  while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
  if (whole.size() > 6) return std::nullopt;
  // The field is 9 characters wide (the comma among them) with at most 5
  // decimals: further decimals are dropped; at least two are shown.
  std::size_t decimals = std::min<std::size_t>({d.fraction_size, 5, 9 - 1 - std::max<std::size_t>(whole.size(), 1)});
  std::int64_t value = 0;
  for (const char c : whole) value = value * 10 + (c - '0');
  for (std::size_t i = 0; i < decimals; ++i) value = value * 10 + (d.fraction[i] - '0');
  for (; decimals < 2; ++decimals) value *= 10;
  return CsvPrice{static_cast<std::int32_t>(value), static_cast<std::uint8_t>(decimals)};
}

std::string ItemsCsvText(const DataImage& image, const CsvOptions& o) {
  std::string out;
  out.reserve(static_cast<std::size_t>(kItemCount) * 64);  // a line with a full name is about 64 bytes
  if (!o.title.empty()) out.append(o.title).append("\r\n");
  const bool set[] = {o.columns.number,  true, o.columns.price, o.columns.barcode, o.columns.department,
                      o.columns.category};
  bool first = true;
  for (std::size_t c = 0; c < std::size(kColumnLabels); ++c) {
    if (!set[c]) continue;
    if (!first) out += ';';
    out += cp1253::Encode(kColumnLabels[c]);
    first = false;
  }
  out += "\r\n";
  // Each line is put together in a buffer that holds the longest one: the
  // item number, a name of doubled quotes, the price, '#' and the barcode,
  // department and category, the separators and CR LF.
  constexpr std::size_t kMaxLine = 5 + (2 * item::kNameWidth + 2) + 16 + (1 + item::kBarcodeWidth) + 3 + 3 + 6 + 2;
  char line[kMaxLine];
  for (int i = 0; i < kItemCount; ++i) {
    const ConstItem it = image.item(i);
    if (it.empty()) continue;
    char* p = line;
    if (o.columns.number) {
      p = PutNumber(p, static_cast<std::uint64_t>(i + 1));
      *p++ = ';';
    }
    const auto name = it.name();
    const auto end = std::find(name.begin(), name.end(), std::uint8_t{0});
    p = PutQuoted(
        p, std::string_view(reinterpret_cast<const char*>(name.data()), static_cast<std::size_t>(end - name.begin())));
    *p++ = ';';
    if (o.columns.price) {
      p = PutPrice(p, it.price(), it.price_decimals());
      *p++ = ';';
    }
    if (o.columns.barcode) {
      const auto bar = it.barcode();
      if (IsDigit(static_cast<char>(bar[0]))) {
        *p++ = '#';
        for (std::uint8_t b : bar) {
          if (!IsDigit(static_cast<char>(b))) break;
          *p++ = static_cast<char>(b);
        }
      }
      *p++ = ';';
    }
    if (o.columns.department) {
      p = PutNumber(p, it.department() + 1u);
      *p++ = ';';
    }
    if (o.columns.category) {
      p = PutNumber(p, it.category() + 1u);
      *p++ = ';';
    }
    *p++ = '\r';
    *p++ = '\n';
    out.append(line, p);
  }
  return out;
}

bool ImportItemsText(DataImage& image, std::string_view data, const CsvOptions& o, UserInterface& ui,
                     int* lines_not_taken, const std::function<void()>& starting) {
  std::string converted;
  if (!TextInCodePage(data, converted, ui)) return false;
  LineReader lines(data);
  std::string_view line;
  bool too_long = false;
  int line_number = 0;  // of the file, from 1
  for (int t = 0; t < o.title_lines; ++t) {
    if (!lines.Next(line, too_long)) break;
    ++line_number;
    if (t == 0 && HasByteOrderMark(line)) {
      ui.ShowMessage(kMsgNotAnsi, Icon::kError, {}, true);
      return false;
    }
  }
  if (starting) starting();

  // Work on a copy: the image changes only when the whole file went in.
  const bool replace = o.mode == UpdateMode::kReplace;
  const Bytes block = image.block(Block::kItems);
  std::vector<std::uint8_t> items =
      replace ? std::vector<std::uint8_t>(block.size(), 0) : std::vector<std::uint8_t>(block.begin(), block.end());

  // Items only ever gain a name during an import, so the first empty item
  // only moves forward: no item before `first_empty` is empty.
  int first_empty = 0;
  const std::size_t record = Info(Block::kItems).record_size;
  auto next_empty = [&] {
    while (first_empty < kItemCount && items[record * static_cast<std::size_t>(first_empty) + item::kName] != 0)
      ++first_empty;
    return first_empty;
  };

  NotTaken not_taken;
  int taken = 0;                              // lines that went into an item
  int named = 0;                              // lines that left their item with a name
  std::string scratch;                        // quoted fields are read into it
  std::string name_scratch, barcode_scratch;  // their fields stay readable while later ones are read
  while (lines.Next(line, too_long)) {
    ++line_number;
    if (too_long) {
      ui.ShowMessage(LongLineMessage(line), Icon::kExclamation, {}, true);
      ++not_taken.too_long;
      continue;
    }
    // An empty row of a spreadsheet gives no item.
    if (IsBlankLine(line)) continue;
    if (HasControlBytes(line)) {
      not_taken.Control(line_number);
      continue;
    }
    // Every field is read and judged before the item is touched: a line
    // with a field that is not what its column holds goes nowhere.
    std::size_t pos = 0;
    std::int64_t number = 0;
    std::string_view f;
    const auto refuse = [&] { not_taken.BadValue(line_number, f); };
    if (o.columns.number) {
      f = ReadFieldView(line, pos, scratch);
      const std::optional<std::int64_t> v = NumberField(f, 12);
      if (!v) {
        refuse();
        continue;
      }
      if (*v > kItemCount) {  // no such item: the line is skipped
        ++not_taken.beyond_table;
        continue;
      }
      number = *v;
    }
    const std::string_view name = ReadFieldView(line, pos, name_scratch);
    std::optional<CsvPrice> price;
    if (o.columns.price) {
      f = ReadFieldView(line, pos, scratch);
      if (!f.empty() && !(price = ParseCsvPrice(f))) {
        refuse();
        continue;
      }
    }
    std::string_view barcode;
    if (o.columns.barcode) barcode = ReadFieldView(line, pos, barcode_scratch);
    std::int64_t department = 0, category = 0;
    if (o.columns.department) {
      f = ReadFieldView(line, pos, scratch);
      const std::optional<std::int64_t> v = NumberField(f, 2);
      if (!v) {
        refuse();
        continue;
      }
      department = *v;
    }
    if (o.columns.category) {
      f = ReadFieldView(line, pos, scratch);
      const std::optional<std::int64_t> v = NumberField(f, 2);
      if (!v) {
        refuse();
        continue;
      }
      category = *v;
    }

    // A line without a number goes to the first empty item; when there is
    // none it is skipped rather than written over an existing item.
    const int target = number >= 1 ? static_cast<int>(number - 1) : next_empty();
    if (target >= kItemCount) {
      ++not_taken.no_room;
      continue;
    }
    const Item it = StagedItem(items, target);
    if (!name.empty()) StoreText(it.name(), name.substr(0, item::kNameWidth));
    if (price) {
      it.set_price(price->price);
      it.set_price_decimals(price->decimals);
    }
    if (o.columns.barcode) StoreBarcode(it, barcode);
    if (o.columns.department) it.set_department(IndexFrom(department, kDepartmentCount));
    if (o.columns.category) it.set_category(IndexFrom(category, kCategoryCount));
    // ΑΛΛΑΓΗ started from zero bytes: an item the file gave no price
    // shows its price with 2 decimals, like a new database's.
    if (replace && it.price_decimals() == 0) it.set_price_decimals(2);
    ++taken;
    if (it.name()[0] != 0) ++named;
  }

  // A file from which no line went into an item is no list of items (an
  // empty file, a header only, a file that is not text); with ΑΛΛΑΓΗ, one
  // that names no item would empty the whole table.
  if (taken == 0 || (replace && named == 0)) {
    ui.ShowMessage(WithDetails(kMsgNoItems, not_taken, kNoItemRoom), Icon::kError, {}, true);
    return false;
  }

  std::copy(items.begin(), items.end(), block.begin());
  image.state.modified = true;
  WarnNotTaken(not_taken, kNoItemRoom, ui);
  if (lines_not_taken != nullptr) *lines_not_taken = not_taken.total();
  return true;
}

std::string CustomersCsvText(const DataImage& image) {
  std::string out = cp1253::Encode("Α Φ Μ;ΕΠΩΝΥΜΙΑ;ΕΠΑΓΓΕΛΜΑ;ΔΙΕΥΘΥΝΣΗ;Δ Ο Υ;ΤΗΛΕΦΩΝΟ\r\n");
  for (int i = 0; i < kCustomerCount; ++i) {
    const ConstCustomer c = image.customer(i);
    if (c.empty()) continue;
    char tax[16];
    std::snprintf(tax, sizeof tax, "%9d;", static_cast<int>(c.tax_number()));
    out += tax;
    for (auto field : {c.company(), c.profession(), c.address(), c.tax_office()}) {
      AppendQuoted(out, TextOf(field));
      out += ';';
    }
    AppendQuoted(out, TextOf(c.phone()));
    out += "\r\n";
  }
  return out;
}

bool ImportCustomersText(DataImage& image, std::string_view data, UserInterface& ui, int* lines_not_taken,
                         const std::function<void()>& starting) {
  std::string converted;
  if (!TextInCodePage(data, converted, ui)) return false;
  LineReader lines(data);
  std::string_view header;
  bool too_long = false;
  if (!lines.Next(header, too_long)) header = {};
  // A control character (the CR) ends the header.
  header = header.substr(
      0, static_cast<std::size_t>(std::find_if(header.begin(), header.end(), [](char c) { return Byte(c) < ' '; }) -
                                  header.begin()));
  std::vector<std::string_view> columns;
  for (std::size_t start = 0;;) {
    const std::size_t semi = header.find(';', start);
    columns.push_back(header.substr(start, semi == std::string_view::npos ? std::string_view::npos : semi - start));
    if (semi == std::string_view::npos) break;
    start = semi + 1;
  }
  if (columns.size() < 5) {
    ui.ShowMessage(kMsgCsvReadError, Icon::kError, {}, true);
    return false;
  }

  // Map columns to fields by key; only the first column of a key counts.
  const int count = std::min<int>(static_cast<int>(columns.size()), kMaxHeaderColumns);
  std::array<int, kMaxHeaderColumns> field_of{};
  field_of.fill(-1);
  std::array<bool, kCustomerFields> found{};
  for (int k = 0; k < count; ++k) {
    for (int f = 0; f < kCustomerFields; ++f) {
      if (!MatchesKey(columns[static_cast<std::size_t>(k)], HeaderKeys()[static_cast<std::size_t>(f)])) continue;
      if (!found[static_cast<std::size_t>(f)]) {
        found[static_cast<std::size_t>(f)] = true;
        field_of[static_cast<std::size_t>(k)] = f;
      }
      break;
    }
  }
  int read_columns = count;
  if (!std::all_of(found.begin(), found.begin() + kPhone, [](bool b) { return b; })) {
    // Not all of the first five keys: take the columns by position.
    field_of.fill(-1);
    for (int k = 0; k < kCustomerFields; ++k) field_of[static_cast<std::size_t>(k)] = k;
    read_columns = std::max(count, static_cast<int>(kCustomerFields));
  }

  if (starting) starting();

  const Bytes block = image.block(Block::kCustomers);
  std::vector<std::uint8_t> customers(block.size(), 0);
  const std::size_t record = Info(Block::kCustomers).record_size;
  std::vector<std::uint8_t> staged(record);
  int next = 0;
  int taken = 0;  // lines that gave a customer something
  int line_number = 1;
  std::string_view line;
  std::string scratch;
  NotTaken not_taken;
  while (lines.Next(line, too_long)) {
    ++line_number;
    if (next >= kCustomerCount) {
      // The table is full: the rest of the file is counted, not read.
      if (!IsBlankLine(line)) ++not_taken.no_room;
      continue;
    }
    if (too_long) {
      ui.ShowMessage(LongLineMessage(line), Icon::kExclamation, {}, true);
      ++not_taken.too_long;
      continue;
    }
    const bool blank = IsBlankLine(line);
    if (!blank && HasControlBytes(line)) {
      not_taken.Control(line_number);
      continue;
    }
    // The customer is put together apart and takes its place only when
    // every field is what its column holds.
    std::fill(staged.begin(), staged.end(), std::uint8_t{0});
    const Customer c(staged.data());
    std::size_t pos = 0;
    bool refused = false;
    for (int k = 0; k < read_columns && !refused; ++k) {
      const std::string_view f = ReadFieldView(line, pos, scratch);
      const int field = field_of[static_cast<std::size_t>(k)];
      if (field == kTaxNumber) {
        if (const std::optional<std::int64_t> v = NumberField(f, 9))
          c.set_tax_number(static_cast<std::int32_t>(*v));
        else
          refused = true, not_taken.BadValue(line_number, f);
      } else if (field > kTaxNumber && !f.empty()) {
        StoreText(CustomerText(c, field), f);
      }
    }
    if (refused) continue;
    std::copy(staged.begin(), staged.end(),
              customers.begin() + static_cast<std::ptrdiff_t>(record * static_cast<std::size_t>(next++)));
    if (!blank) ++taken;
  }

  if (taken == 0) {
    ui.ShowMessage(WithDetails(kMsgNoCustomers, not_taken, kNoCustomerRoom), Icon::kError, {}, true);
    return false;
  }
  std::copy(customers.begin(), customers.end(), block.begin());
  image.state.modified = true;
  WarnNotTaken(not_taken, kNoCustomerRoom, ui);
  if (lines_not_taken != nullptr) *lines_not_taken = not_taken.total();
  return true;
}

// ---- The options dialog's rules --------------------------------------------------------------------

CsvOptions DefaultCsvOptions(const std::string& remembered_path) {
  CsvOptions o;
  o.path = remembered_path;
  return o;
}

bool CanStart(const CsvOptions& options, UserInterface& ui) {
  if (!options.path.empty()) return true;
  ui.ShowMessage(kMsgNoFile, Icon::kError);
  return false;
}

FileDialog CsvFileDialog(bool import, const std::string& path) {
  FileDialog d;
  d.mode = import ? FileDialog::Mode::kOpen : FileDialog::Mode::kSave;
  d.default_extension = ".csv";
  d.initial_path = path;
  d.filter = std::string(kCsvFilter);
  d.overwrite_prompt = !import;
  return d;
}

// ---- Operations ------------------------------------------------------------------------------------

namespace {

// Reads an import file whole; false after the read-error message, whose
// second line names the file and the cause.
bool ReadImportFile(const std::string& path, std::string& data, UserInterface& ui) {
  FileFault fault;
  if (ReadWholeFile(path, kMaxCsvFileSize, data, fault)) return true;
  ui.ShowMessage(WithCause(kMsgCsvReadError, FaultLine(path, fault)), Icon::kError);
  return false;
}

// Writes an export file through a temporary file; false after `message`
// with the file and the cause.
bool WriteExportFile(const std::string& path, std::string_view bytes, std::string_view message, UserInterface& ui) {
  FileFault fault;
  if (WriteFileAtomically(path, {bytes}, fault)) return true;
  ui.ShowMessage(WithCause(message, FaultLine(path, fault)), Icon::kError);
  return false;
}

}  // namespace

bool IsOneLineTitle(std::string_view title) { return title.find_first_of("\r\n") == std::string_view::npos; }

CsvOutcome ImportItems(DataImage& image, const CsvOptions& options, UserInterface& ui,
                       const std::function<void()>& starting) {
  CsvOutcome r;
  std::string data;
  if (!ReadImportFile(options.path, data, ui)) return r;
  if (!ImportItemsText(image, data, options, ui, &r.lines_not_taken, starting)) return r;
  r.done = r.refill_list = true;
  ui.Beep(400, 40);
  return r;
}

CsvOutcome ExportItems(const DataImage& image, const CsvOptions& options, UserInterface& ui) {
  CsvOutcome r;
  // A line break in the title would make it two lines, and the import's
  // title-line count would no longer match the file.
  if (!IsOneLineTitle(options.title)) {
    ui.ShowMessage(kMsgTitleLineBreak, Icon::kError);
    return r;
  }
  if (!WriteExportFile(options.path, ItemsCsvText(image, options), kMsgCsvWriteError, ui)) return r;
  r.done = r.refill_list = true;
  ui.Beep(400, 40);
  int count = 0;
  for (int i = 0; i < kItemCount; ++i) count += image.item(i).empty() ? 0 : 1;
  ui.Notify(ExportNotice(options.path, count, true));
  return r;
}

CsvOutcome ImportCustomers(DataImage& image, const std::string& path, UserInterface& ui,
                           const std::function<void()>& starting) {
  CsvOutcome r;
  std::string data;
  if (!ReadImportFile(path, data, ui)) return r;
  if (!ImportCustomersText(image, data, ui, &r.lines_not_taken, starting)) return r;
  r.done = r.show_customers = true;
  ui.Beep(400, 40);
  return r;
}

CsvOutcome ExportCustomers(const DataImage& image, const std::string& path, UserInterface& ui) {
  CsvOutcome r;
  if (!WriteExportFile(path, CustomersCsvText(image), kMsgCsvReadError, ui)) return r;
  r.done = r.show_customers = true;
  ui.Beep(400, 40);
  int count = 0;
  for (int i = 0; i < kCustomerCount; ++i) count += image.customer(i).empty() ? 0 : 1;
  ui.Notify(ExportNotice(path, count, false));
  return r;
}

}  // namespace zel::editors
