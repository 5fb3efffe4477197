// The pagination of report files for printing: the input is the file, read
// as a printer and the preview read it. Every page of the measured report
// can be printed, holds no more lines than a page takes, and every line it
// hands over is a printable piece of at most 249 bytes.
#include "console/report_pages.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zel::fuzz::MemoryFile file;
  file.Write({data, size});
  const std::optional<zel::console::ReportMeasure> measured = zel::console::MeasureReport(file.path(), {600, 600});
  zel::fuzz::Require(measured.has_value(), "a readable file is measured");
  zel::console::ReportMeasure m = *measured;
  zel::fuzz::Require(m.page_count >= 1, "a report has at least one page");
  zel::console::SetFontMetrics(m, 40, 24);
  // Every page when there are few; the first, a middle and the last ones
  // otherwise, so a file of many form feeds stays quick.
  for (int page = 1; page <= m.page_count; ++page) {
    if (m.page_count > 8 && page > 3 && page != m.page_count / 2 && page < m.page_count - 2) continue;
    const std::optional<zel::console::ReportPage> p = zel::console::PrintReportPage(file.path(), m, page);
    zel::fuzz::Require(p.has_value(), "every measured page prints");
    zel::fuzz::Require(static_cast<int>(p->lines.size()) <= m.lines_per_page, "a page holds at most its lines");
    for (const zel::console::PageText& line : p->lines) {
      zel::fuzz::Require(line.bytes.size() <= zel::console::kReportPieceBytes,
                         "a line is a piece of at most 249 bytes");
      for (char c : line.bytes)
        zel::fuzz::Require(static_cast<unsigned char>(c) >= 0x20, "control bytes print as blanks");
    }
  }
  return 0;
}
