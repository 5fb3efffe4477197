#include "link/reports.h"

#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

#include "core/bytes.h"
#include "core/convert.h"
#include "core/cp1253.h"
#include "core/safe_file.h"

namespace zel {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kFormFeed = "\f";

// "%11.11s" of the registration number: up to its first zero byte, at most
// 11 characters, right-aligned.
std::string Registration11(std::string_view registration) {
  std::string s(registration.substr(0, registration.find('\0')));
  if (s.size() > 11) s.resize(11);
  return std::string(11 - s.size(), ' ') + s;
}

std::string DateText(const ReportDate& d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", d.day, d.month, d.year);
  return buf;
}

// A signed value split into an integer and a fraction part (`unit` is 100 or
// 1000) as "<int>.<frac>", the integer part right-aligned in `width` (0: as
// wide as it needs) with the sign before its digits and the fraction with its
// leading zeros: -1005 thousandths is "-1.005".
std::string Fixed(std::int64_t value, std::int64_t unit, int width, int decimals) {
  const bool negative = value < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string whole = (negative ? "-" : "") + std::to_string(magnitude / static_cast<std::uint64_t>(unit));
  if (static_cast<int>(whole.size()) < width) whole.insert(0, static_cast<std::size_t>(width) - whole.size(), ' ');
  std::string fraction = std::to_string(magnitude % static_cast<std::uint64_t>(unit));
  fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
  return whole + "." + fraction;
}

// One report line built over a fixed template; values are written over it at
// byte columns and never past its end.
class Line {
 public:
  explicit Line(std::string_view utf8_template) : bytes_(cp1253::Encode(utf8_template)) {}
  Line& Put(std::size_t column, std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size() && column + i < bytes_.size(); ++i) bytes_[column + i] = bytes[i];
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

class Report {
 public:
  void Add(std::string_view bytes) {
    out_.append(bytes);
    out_.append(kCrLf);
  }
  void Add(const Line& line) { Add(line.bytes()); }
  void AddUtf8(std::string_view utf8) { Add(cp1253::Encode(utf8)); }
  // The closing separator of the table on the page, then a form-feed line.
  void PageBreak(std::string_view separator) {
    Add(separator);
    Add(kFormFeed);
  }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

// The pages of one table of the report: `per_page` entries to a page, each
// page opened by the table's heading and closed by its separator and a
// form-feed line. Where a table ends early (its first empty record) is the
// table's own rule; it closes the open page through Close.
class Paginator {
 public:
  Paginator(Report& out, std::string_view separator, int per_page, std::function<void()> heading)
      : out_(out), separator_(separator), per_page_(per_page), heading_(std::move(heading)) {}
  // Before each entry: a full page is closed and the next one opened.
  void Entry() {
    if (count_ % per_page_ == 0) {
      if (count_ > 0) Close();
      heading_();
    }
    ++count_;
  }
  void Close() { out_.PageBreak(separator_); }
  int count() const { return count_; }

 private:
  Report& out_;
  std::string_view separator_;
  int per_page_;
  std::function<void()> heading_;
  int count_ = 0;
};

std::uint8_t Sum8(const std::uint8_t* p, std::size_t n) {
  unsigned s = 0;
  for (std::size_t i = 0; i < n; ++i) s += p[i];
  return static_cast<std::uint8_t>(s);
}

std::string Count(std::int64_t v, int width) { return FormatSignedText(static_cast<std::int32_t>(v), width, 0); }
std::string Amount(std::int32_t cents) { return FormatSignedText(cents, 7, 2); }
std::string Rate(std::uint16_t hundredths) { return FormatUnsignedText(hundredths, 2, 2); }
std::string Total(const std::uint8_t* table, int index) {
  std::string s(14, ' ');
  FormatAmount14(s.data(), table, index);
  return s;
}
std::string DateTime16(std::uint32_t seconds) { return ClockText(seconds).substr(0, 16); }

// A stored text line: one starting with 0x00 or 0xFF is blank, other 0x00
// and 0xFF bytes become blanks.
std::string CleanText(const std::uint8_t* p, std::size_t width) {
  if (p[0] == 0x00 || p[0] == 0xFF) return std::string(width, ' ');
  std::string s(reinterpret_cast<const char*>(p), width);
  for (char& c : s)
    if (c == '\0' || c == '\xFF') c = ' ';
  return s;
}

constexpr std::string_view kClosureSeparator =
    "+--------+--------------+---------+---------+---------+---------+---------+---------+---------+";
constexpr std::string_view kClosureLine1 =
    "|Αρ:     |Αποδειχ εσοδου|Αλλ.Λεκτ.|Αλλ. ΦΠΑ |Βλαβ.CMOS|Αποσ.Εκτ.|Επ. Τεχν.|Αφ.Πρ.Μν.|Αν.Ηλ.Μετ|";
constexpr std::string_view kClosureLine2 =
    "|        |              |         |         |         |         |         |         |         |";
constexpr std::string_view kClosureLine3 =
    "|Χουρμας:|--------------+---------+---------+---------+---------+---------+---------+---------+";
constexpr std::string_view kClosureLine4 =
    "|        |ΦΠΑ*Α=     %                                |ΦΠΑ*Β=     %                           |";
constexpr std::string_view kClosureLine5 =
    "| Ορα:   |ΦΠΑ*Γ=     %                                |ΦΠΑ*Δ=     %                           |";
constexpr std::string_view kClosureLine6 =
    "|        |ΚΑΘΑΡΟ ΑΒΓΔ                                 |ΚΑΘΑΡΟ Ε                               |";
constexpr std::string_view kBadRecord = "ΛΑΘ.ΕΓΓΡ";

constexpr std::string_view kTextSeparator = "+----------------------------------+----------------------------------+";
constexpr std::string_view kTextLine2 = "|    :                             |                                  |";
constexpr std::string_view kTextLine = "|                                  |                                  |";

constexpr std::string_view kEventSeparator =
    "+-----------+---------------------+---------------------+---------------------+---------------------+";
constexpr std::string_view kEventLine =
    "|           |    :                |    :                |    :                |    :                |";
constexpr std::string_view kEventNames[7] = {"ΒΛΑΒΕΣ CMOS", "ΑΠΟΣ.ΕΚΤΥΠ.", "ΕΠΕΜΒ.ΤΕΧΝ.", "ΑΠΟΣΥΝ.Φ.Μ.",
                                             "ΑΦΑΙΡ.ΠΡ.Μ.", "ΑΝΕΠ.ΗΛ.ΜΕΤ", "ΒΕΒ.ΗΛ.ΜΕΤ."};

constexpr std::string_view kSignatureSeparator =
    "+----+----------------------------------------+----------------------------------------+";
constexpr std::string_view kSignatureHeading =
    "|Z # |                ΠΑΗΨΣ _C                |                ΠΑΗΨΣ _D                |";
constexpr std::string_view kSignatureLine =
    "|    |                                        |                                        |";

}  // namespace

ReportDate Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900};
}

std::string ReportFolder(std::string_view report_path) {
  const std::size_t slash = report_path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(report_path.substr(0, slash + 1));
}

std::string SafeFileName(std::string_view registration) {
  std::string out;
  for (const char ch : registration.substr(0, registration.find('\0'))) {
    const auto b = static_cast<std::uint8_t>(ch);
    const bool ascii = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    // Greek letters of code page 1253: 0xB6 and 0xB8-0xFE except the
    // undefined 0xD2 and the signs 0xB7, 0xBB, 0xBD.
    const bool greek = b == 0xB6 || (b >= 0xB8 && b <= 0xFE && b != 0xD2 && b != 0xBB && b != 0xBD);
    if (ascii)
      out += ch;
    else if (greek)
      out += cp1253::ToUtf8(std::string(1, ch));
    else
      out += '_';
  }
  return out;
}

std::string ReportFileName(std::string_view folder, std::string_view prefix, std::string_view registration,
                           std::string_view suffix) {
  return std::string(folder) + std::string(prefix) + SafeFileName(registration) + std::string(suffix);
}

std::string FiscalMemoryReport(std::span<const std::uint8_t> memory, std::string_view registration,
                               const ReportDate& date) {
  Report out;
  if (memory.size() < kFiscalMemorySize) return {};
  const std::uint8_t* m = memory.data();
  const std::string title =
      cp1253::Encode("ΠΕΡΙΕΗΟΜΕΝΟ ΦΜ - Αρ.Μητρωυ ") + Registration11(registration) + ", date " + DateText(date);
  const std::string bad = cp1253::Encode(kBadRecord);

  // VAT rates in force: entry 0 from the header, entry n from the n-th
  // VAT-change record.
  std::uint16_t rates[1 + fm::kVatChangeCount][4];
  for (int e = 0; e <= fm::kVatChangeCount; ++e) {
    const std::uint8_t* p =
        e == 0 ? m + fm::kHeader + 4 : m + fm::kVatChanges + fm::kVatChangeSize * static_cast<std::size_t>(e - 1) + 4;
    for (std::size_t k = 0; k < 4; ++k) rates[e][k] = le::Get16(p + 2 * k);
  }

  // Daily closures.
  const std::string closure_sep = cp1253::Encode(kClosureSeparator);
  const auto add_title = [&] { out.Add(title); };
  int closures = -1;  // index of the first empty closure record
  Paginator closure_pages(out, closure_sep, 8, add_title);
  for (int i = 0; i < fm::kClosureCount; ++i) {
    const std::uint8_t* rec = m + fm::kClosures + fm::kClosureSize * static_cast<std::size_t>(i);
    const std::uint32_t when = le::Get32(rec);
    if (when == fm::kEmpty) {
      if (closures < 0) {
        closures = i;
        if (i != 0) closure_pages.Close();
      }
      continue;
    }
    closure_pages.Entry();
    const std::string text = ClockText(when);
    const int rate_entry = rec[80];
    const bool have_rates = rate_entry <= fm::kVatChangeCount;
    const auto rate = [&](int k) { return have_rates ? Rate(rates[rate_entry][k]) : std::string(); };

    out.Add(closure_sep);
    out.Add(Line(kClosureLine1).Put(5, Count(i + 1, 4)));
    Line l2(kClosureLine2);
    if (rec[94] != Sum8(rec, 94)) l2.Put(1, bad);
    l2.Put(10, Count(le::Get16(rec + 4), 5)).Put(16, Count(le::GetI32(rec + 40), 8));
    l2.Put(27, Count(rec[8], 1)).Put(29, Count(rec[80], 3));
    l2.Put(37, Count(rec[9], 1)).Put(39, Count(rec[81], 3));
    for (int k = 0; k < 5; ++k) {
      l2.Put(static_cast<std::size_t>(45 + 10 * k), Count(rec[10 + k], 3));
      l2.Put(static_cast<std::size_t>(49 + 10 * k), Count(le::Get16(rec + 82 + 2 * static_cast<std::ptrdiff_t>(k)), 4));
    }
    out.Add(l2);
    out.Add(Line(kClosureLine3));
    const std::uint8_t* totals = rec + 44;
    out.Add(Line(kClosureLine4)
                .Put(1, text.substr(0, 6) + text.substr(8, 2))
                .Put(16, rate(0))
                .Put(24, Amount(le::GetI32(rec + 16)))
                .Put(36, Total(totals, 0))
                .Put(61, rate(1))
                .Put(68, Amount(le::GetI32(rec + 20)))
                .Put(80, Total(totals, 1)));
    out.Add(Line(kClosureLine5)
                .Put(16, rate(2))
                .Put(24, Amount(le::GetI32(rec + 24)))
                .Put(36, Total(totals, 2))
                .Put(61, rate(3))
                .Put(68, Amount(le::GetI32(rec + 28)))
                .Put(80, Total(totals, 3)));
    out.Add(Line(kClosureLine6)
                .Put(3, text.substr(11, 5))
                .Put(24, Amount(le::GetI32(rec + 32)))
                .Put(36, Total(totals, 4))
                .Put(68, Amount(le::GetI32(rec + 36)))
                .Put(80, Total(totals, 5)));
  }

  // Text changes.
  const std::string text_sep = cp1253::Encode(kTextSeparator);
  bool text_empty_seen = false;
  Paginator text_pages(out, text_sep, 10, add_title);
  for (int i = 0; i < fm::kTextChangeCount; ++i) {
    const std::uint8_t* rec = m + fm::kTextChanges + fm::kTextChangeSize * static_cast<std::size_t>(i);
    const std::uint32_t when = le::Get32(rec);
    if (when == fm::kEmpty) {
      if (!text_empty_seen) {
        text_empty_seen = true;
        if (i != 0) text_pages.Close();
      }
      continue;
    }
    text_pages.Entry();
    const auto text_line = [&](int j) { return CleanText(rec + 4 + 33 * static_cast<std::ptrdiff_t>(j), 32); };
    out.Add(text_sep);
    Line l2(kTextLine2);
    l2.Put(2, Count(i + 1, 2)).Put(5, DateTime16(when));
    if (rec[301] != Sum8(rec, 301)) l2.Put(23, bad);
    l2.Put(37, text_line(4));
    out.Add(l2);
    for (int j = 0; j < 4; ++j) out.Add(Line(kTextLine).Put(2, text_line(j)).Put(37, text_line(5 + j)));
  }
  if (!text_empty_seen) text_pages.Close();

  // Events: seven lists of date-times, four to a line.
  const std::string event_sep = cp1253::Encode(kEventSeparator);
  std::size_t list_offset = fm::kEvents;
  for (int list = 0; list < 7; ++list) {
    const int entries = list < 6 ? 1000 : 1900;
    const std::string name = cp1253::Encode(kEventNames[list]);
    Line line(kEventLine);
    line.Put(1, name);
    Paginator pages(out, event_sep, 240, [&] {
      out.Add(title);
      out.Add(event_sep);
    });
    bool ended = false;
    for (int i = 0; i < entries; ++i) {
      const std::uint32_t when = le::Get32(m + list_offset + 4 * static_cast<std::size_t>(i));
      if (when == fm::kEmpty) {
        if (i > 0) {
          out.Add(line);
          pages.Close();
        }
        ended = true;
        break;
      }
      pages.Entry();
      const auto cell = static_cast<std::size_t>(22 * (i % 4));
      line.Put(13 + cell, Count(i + 1, 4)).Put(18 + cell, DateTime16(when));
      if (i % 4 == 3) {
        out.Add(line);
        line = Line(kEventLine);
        line.Put(1, name);
      }
    }
    if (!ended) pages.Close();
    list_offset += 4 * static_cast<std::size_t>(entries);
  }

  // Signatures, one per daily closure.
  const std::string sig_sep = cp1253::Encode(kSignatureSeparator);
  const int signatures = closures < 0 ? 0 : closures;
  Paginator signature_pages(out, sig_sep, 60, [&] {
    out.Add(title);
    out.Add(sig_sep);
    out.AddUtf8(kSignatureHeading);
    out.Add(sig_sep);
  });
  for (int i = 0; i < signatures; ++i) {
    signature_pages.Entry();
    const std::uint8_t* rec = m + fm::kSignatures + fm::kSignatureSize * static_cast<std::size_t>(i);
    out.Add(Line(kSignatureLine)
                .Put(1, Count(i + 1, 4))
                .Put(6, FormatHexText(rec, 20))
                .Put(47, FormatHexText(rec + 20, 20)));
  }
  if (signature_pages.count() > 0) signature_pages.Close();
  return out.Take();
}

bool WriteFiscalMemoryReport(const std::string& image_path, const std::string& report_path,
                             std::string_view registration, const ReportDate& date) {
  std::vector<std::uint8_t> memory(kFiscalMemorySize);
  std::FILE* in = std::fopen(image_path.c_str(), "rb");
  if (!in) return false;
  const std::size_t got = std::fread(memory.data(), 1, memory.size(), in);
  std::fclose(in);
  if (got != memory.size()) return false;
  FileFault fault;
  return WriteFileAtomically(report_path, {FiscalMemoryReport(memory, registration, date)}, fault);
}

// ---- Sales report ------------------------------------------------------------

namespace {
const std::string kEquals(60, '=');
}  // namespace

void SalesReport::Put(AtomicFile& f, std::string_view bytes) {
  if (f.is_open() && !f.Write(bytes)) failed_ = true;
}

bool SalesReport::Create(std::string_view folder, std::string_view registration, const ReportDate& date) {
  Close();
  csv_path = ReportFileName(folder, "AP_", registration, ".CSV");
  text_path = ReportFileName(folder, "AP_", registration, ".TXT");
  FileFault fault;
  if (!csv_.Open(csv_path, fault) || !text_.Open(text_path, fault)) {
    Close();
    return false;
  }
  failed_ = false;
  total_ = 0;
  const std::string title =
      cp1253::Encode("Αναφορα πωλησεων - Αρ.Μητρώου ") + Registration11(registration) + " - " + DateText(date);
  const std::string crlf(kCrLf);
  Put(text_, title + crlf + kEquals + crlf +
                 cp1253::Encode("Αρ.              Ονομα                Ποσοτητα   Προσαυξηση ") + crlf + kEquals +
                 crlf);
  Put(csv_, title + crlf + cp1253::Encode("Αρ.;Ονομα;Ποσοτητα;Προσαυξηση;") + crlf);
  return true;
}

void SalesReport::Close() {
  text_.Abandon();
  csv_.Abandon();
}

void AddSalesLine(SalesReport& report, int record, std::span<const std::uint8_t> name, std::int32_t quantity,
                  std::int32_t amount) {
  report.total_ += amount;
  if (quantity == 0 && amount == 0) return;
  std::string n(reinterpret_cast<const char*>(name.data()), name.size());
  n.resize(std::min(n.find('\0'), n.size()));
  char head[16];
  std::snprintf(head, sizeof head, "%5d ", record + 1);
  const std::string crlf(kCrLf);
  report.Put(report.text_, head + std::string(n.size() < 32 ? 32 - n.size() : 0, ' ') + n.substr(0, 32) + " " +
                               Fixed(quantity, 1000, 6, 3) + " " + Fixed(amount, 100, 7, 2) + crlf);
  report.Put(report.csv_, std::to_string(record + 1) + ";" + n + ";" + Fixed(quantity, 1000, 0, 3) + ";" +
                              Fixed(amount, 100, 0, 2) + ";" + crlf);
}

bool CloseSalesReport(SalesReport& report) {
  const std::string crlf(kCrLf);
  report.Put(report.text_, kEquals + crlf + cp1253::Encode("ΣΥΝΟΛΟ ΕΙΣΠΡΑΞ:") + Fixed(report.total_, 100, 9, 2) + " " +
                               crlf + std::string(kFormFeed) + crlf);
  FileFault fault;
  bool ok = !report.failed_ && report.text_.is_open() && report.csv_.is_open();
  ok = ok && report.text_.Commit(fault);
  ok = ok && report.csv_.Commit(fault);
  report.Close();
  return ok;
}

}  // namespace zel
