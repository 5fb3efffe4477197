#include "console/report_pages.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>

namespace zel::console {
namespace {

// The text block and its origin, in hundredths of a millimetre.
constexpr int kTextWidthHmm = 18000;
constexpr int kTextHeightHmm = 24000;
constexpr int kLeftHmm = 1500;
constexpr int kTopHmm = 2000;
constexpr int kHmmPerInch = 2540;
// Lines below the text: a blank one, the rule and the footer.
constexpr int kFooterLines = 3;
// Extra pixels between lines beyond the font's own height.
constexpr int kLineGap = 7;
constexpr int kLongestWhenEmpty = 80;
constexpr int kRuleChars = 20;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

int ToDevice(int hmm, int dpi) {
  return static_cast<int>((static_cast<std::int64_t>(hmm) * dpi + kHmmPerInch / 2) / kHmmPerInch);
}

// Reads `length` bytes of `file` from `offset` (to its end when length < 0).
std::optional<std::string> ReadBytes(const std::string& path, std::int64_t offset, std::int64_t length) {
  const File file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::nullopt;
  if (offset > 0 && std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0) return std::nullopt;
  std::string bytes;
  char chunk[1 << 16];
  while (length < 0 || static_cast<std::int64_t>(bytes.size()) < length) {
    std::size_t want = sizeof chunk;
    if (length >= 0) want = std::min(want, static_cast<std::size_t>(length - static_cast<std::int64_t>(bytes.size())));
    const std::size_t got = std::fread(chunk, 1, want, file.get());
    bytes.append(chunk, got);
    if (got < want) break;
  }
  if (std::ferror(file.get()) != 0) return std::nullopt;
  return bytes;
}

// Splits report bytes into pieces, keeping the file offset of what it has
// read.
class PieceReader {
 public:
  PieceReader(std::string_view bytes, std::int64_t offset) : bytes_(bytes), base_(offset) {}

  // The next piece without its line end ("\r\n" or "\n"); false at the end.
  // A piece is a line of at most kReportPieceBytes bytes, or the first
  // kReportPieceBytes of a longer one (the rest follows as the next piece).
  // A line end right after a full piece belongs to it, so a line of exactly
  // the piece size is one line, not one line and an empty one.
  bool Next(std::string& piece) {
    if (pos_ >= bytes_.size()) return false;
    const std::string_view rest = bytes_.substr(pos_);
    const std::size_t newline = rest.find('\n');
    std::size_t content = std::min(newline == std::string_view::npos ? rest.size() : newline, kReportPieceBytes);
    std::size_t taken = content;
    const std::string_view after = rest.substr(content);
    if (after.starts_with("\n")) {
      taken += 1;
      if (content > 0 && rest[content - 1] == '\r') --content;
    } else if (after.starts_with("\r\n")) {
      taken += 2;
    }
    piece.assign(rest.substr(0, content));
    pos_ += taken;
    return true;
  }

  std::int64_t offset() const { return base_ + static_cast<std::int64_t>(pos_); }

 private:
  std::string_view bytes_;
  std::int64_t base_;
  std::size_t pos_ = 0;
};

bool IsFormFeedLine(const std::string& piece) { return !piece.empty() && piece.front() == kFormFeed; }

}  // namespace

std::optional<ReportMeasure> MeasureReport(const std::string& path, DeviceResolution dpi) {
  const std::optional<std::string> bytes = ReadBytes(path, 0, -1);
  if (!bytes) return std::nullopt;

  ReportMeasure m;
  PieceReader reader(*bytes, 0);
  std::string piece;
  int since_form_feed = 0;
  int lines_per_page = 0;
  int longest = 0;
  for (;;) {
    const std::int64_t before = reader.offset();
    if (!reader.Next(piece)) break;
    // A mark only where another line follows it, so a report of exactly 60
    // lines is one page.
    if (m.line_count != 0 && m.line_count % kReportMarkLines == 0) m.line_marks.push_back(before);
    ++m.line_count;
    if (IsFormFeedLine(piece)) {
      lines_per_page = std::max(lines_per_page, since_form_feed);
      m.page_starts.push_back(reader.offset());
      ++m.form_feeds;
      since_form_feed = 1;
    } else {
      longest = std::max(longest, static_cast<int>(piece.size()));
      ++since_form_feed;
    }
  }
  // A form feed that ends the file opens no page: nothing would be on it
  // but the footer, and the page count would tell one page too many.
  if (!m.page_starts.empty() && m.page_starts.back() == reader.offset()) m.page_starts.pop_back();

  lines_per_page = std::max(lines_per_page, since_form_feed);
  if (m.form_feeds == 0 && m.line_count <= kReportMarkLines) lines_per_page = m.line_count;
  if (m.form_feeds == 0 && m.line_count > kReportMarkLines) {
    // Paged every 60 lines instead of one page in a font shrunk to fit all.
    lines_per_page = kReportMarkLines;
    m.page_starts = m.line_marks;
    m.paged_by_marks = true;
  }
  if (lines_per_page == 0) {
    // An empty file: one page of the default length.
    lines_per_page = kReportMarkLines;
    m.page_starts = m.line_marks;
  }
  m.longest_line = longest == 0 ? kLongestWhenEmpty : longest;
  m.lines_per_page = lines_per_page + kFooterLines;
  m.page_count = static_cast<int>(m.page_starts.size()) + 1;

  m.text_width = ToDevice(kTextWidthHmm, dpi.dpi_x);
  m.text_height = ToDevice(kTextHeightHmm, dpi.dpi_y);
  m.left = ToDevice(kLeftHmm, dpi.dpi_x);
  m.top = ToDevice(kTopHmm, dpi.dpi_y);

  const int w = m.text_width / m.longest_line;
  int h = m.text_height / (m.lines_per_page + 2);
  if (5 * w < 2 * h) h = 5 * w / 2;
  m.font.cell_height = std::max(1, h - kLineGap);
  m.font.char_width = std::max(1, 3 * h < 5 * w ? 3 * h / 5 : w);
  // Until the front end measures its font, the requested size stands in.
  SetFontMetrics(m, m.font.cell_height, m.font.char_width);
  return m;
}

void SetFontMetrics(ReportMeasure& measure, int w_height, int w_width) {
  measure.line_pitch = w_height + kLineGap;
  measure.char_width = w_width;
}

std::string PageFooter(int page, int last) {
  char text[48];
  std::snprintf(text, sizeof text, " Page %3d from %3d", page, last);
  return text;
}

std::optional<ReportPage> PrintReportPage(const std::string& path, const ReportMeasure& measure, int page) {
  if (page < 1 || page > measure.page_count) return std::nullopt;
  const std::int64_t start = page > 1 ? measure.page_starts[static_cast<std::size_t>(page - 2)] : 0;
  const bool has_end = static_cast<std::size_t>(page - 1) < measure.page_starts.size();
  const std::int64_t end = has_end ? measure.page_starts[static_cast<std::size_t>(page - 1)] : 0;
  // Only this page's bytes: the last page runs to the end of the file, but
  // never holds more pieces than a page has lines.
  const std::int64_t limit =
      has_end ? end - start
              : static_cast<std::int64_t>(measure.lines_per_page) * static_cast<std::int64_t>(kReportPieceBytes + 2);
  const std::optional<std::string> bytes = ReadBytes(path, start, limit);
  if (!bytes) return std::nullopt;

  ReportPage out;
  PieceReader reader(*bytes, start);
  std::string piece;
  int printed = 0;
  while (printed < measure.lines_per_page) {
    if (has_end && reader.offset() >= end) break;
    if (!reader.Next(piece) || IsFormFeedLine(piece)) break;
    for (char& c : piece) {
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    out.lines.push_back({measure.left, measure.top + printed * measure.line_pitch, piece});
    ++printed;
  }
  out.rule_x = measure.left;
  out.rule_y = measure.top + (measure.lines_per_page + 1) * measure.line_pitch;
  out.rule_length = kRuleChars * measure.char_width;
  out.footer = {measure.left, measure.top + (measure.lines_per_page + 2) * measure.line_pitch,
                PageFooter(page, measure.page_count)};
  return out;
}

}  // namespace zel::console
