// Pagination of report text files (the FM_ and AP_ .TXT reports, or any
// text file the user picks) for printing and preview.
//
// A print job runs in two steps. MeasureReport reads the whole file once:
// where each page starts, how many lines a page holds, the longest line, and
// from the device's resolution the text block (180 mm x 240 mm at 15 mm from
// the left and 20 mm from the top) and the size of the fixed-pitch font that
// fits it. The front end then makes that font, measures a "W" with it and
// hands the line pitch and character width back (SetFontMetrics). After that
// PrintReportPage gives, for one page, every string to draw and where, in
// device pixels: the report lines, a rule and the footer " Page %3d from %3d".
// The front end only draws; it decides nothing about pages.
//
// Lines are read in pieces of at most 249 bytes. A line starting with a form
// feed (0x0C) ends a page and is not printed. Bytes below 0x20 print as
// blanks; every other byte, Greek letters of code page 1253 included, is
// handed over unchanged for the front end to decode.
//
// Choices where the rules leave one:
// - A report without form feeds and longer than 60 lines is paged every 60
//   lines (at the 60-line marks) rather than squeezed onto one page in a font
//   too small to read.
// - A form feed at the very end of the file (as the FM_ and AP_ reports
//   end) opens no empty last page.
// - The page tables grow as needed: a report with more than 200 form feeds
//   keeps paging, nothing is written past the end of a table.
//
// Plain C++; no state outside the objects. Any thread, one job per object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zel::console {

// The longest piece of a line read at once (a longer line goes on as the
// next line).
inline constexpr std::size_t kReportPieceBytes = 249;
// A report without form feeds is paged every this many lines.
inline constexpr int kReportMarkLines = 60;
// Page tables of the original layout held this many entries; the first
// page's highest number as printers are told (more pages still print).
inline constexpr int kReportPageTable = 200;
inline constexpr char kFormFeed = '\f';

// The print device's resolution in pixels per inch.
struct DeviceResolution {
  int dpi_x = 0;
  int dpi_y = 0;
};

// The font the front end is asked for: fixed pitch "Courier New", normal
// weight, with this cell height (ascent plus descent) and character width in
// device pixels.
struct ReportFontRequest {
  int cell_height = 0;
  int char_width = 0;
};

struct ReportMeasure {
  // File offset of the first line of page 2, 3, ... (page p starts at
  // page_starts[p - 2]).
  std::vector<std::int64_t> page_starts;
  // File offset after every 60th line (only where another line follows).
  std::vector<std::int64_t> line_marks;
  int line_count = 0;      // every line read, form-feed lines included
  int form_feeds = 0;      // form-feed lines
  int longest_line = 0;    // bytes, without the line end; 80 when 0
  int lines_per_page = 0;  // as stored: lines of text plus 3 (blank, rule, footer)
  int page_count = 1;
  bool paged_by_marks = false;  // no form feeds and over 60 lines
  // Text block and origin in device pixels.
  int text_width = 0;
  int text_height = 0;
  int left = 0;
  int top = 0;
  ReportFontRequest font;
  // Measured by the front end with the font made from `font`.
  int line_pitch = 0;  // height of "W" plus 7
  int char_width = 0;  // width of "W"
};

// Reads `path` and measures it for a device of resolution `dpi`. Nothing
// when the file cannot be opened (the print job ends).
std::optional<ReportMeasure> MeasureReport(const std::string& path, DeviceResolution dpi);

// The front end's measurement of a "W" in the font it made.
void SetFontMetrics(ReportMeasure& measure, int w_height, int w_width);

// One string to draw with its top-left corner in device pixels; `bytes` are
// code page 1253.
struct PageText {
  int x = 0;
  int y = 0;
  std::string bytes;
};

struct ReportPage {
  std::vector<PageText> lines;
  // Horizontal rule from (rule_x, rule_y), rule_length pixels long.
  int rule_x = 0;
  int rule_y = 0;
  int rule_length = 0;
  PageText footer;
};

// The footer text of page `page` of `last`.
std::string PageFooter(int page, int last);

// Page `page` (1 to page_count) of the measured report. Nothing when the file
// cannot be opened any more.
std::optional<ReportPage> PrintReportPage(const std::string& path, const ReportMeasure& measure, int page);

}  // namespace zel::console
