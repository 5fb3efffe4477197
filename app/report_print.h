// Prints a report text file on a Qt paint device: a printer, the print
// preview's printer or a PDF writer. The pages, lines and positions come
// from the engine (console/report_pages.h); this side makes the fixed-pitch
// font the engine asks for, measures it, and draws what each page holds.
//
// Coordinates are the whole sheet's (the text block stands 15 mm from its
// left and 20 mm from its top edge whatever margins the device has). Code
// page 1253 bytes are drawn as Greek.
//
// Needs a QGuiApplication (fonts). UI thread, or the one thread of zelctl.
#pragma once

#include <QFont>
#include <QString>
#include <optional>
#include <string>

#include "console/report_pages.h"

class QPagedPaintDevice;

namespace zel::app {

// "Courier New" (Liberation Mono or another fixed font stands in), normal
// weight, sized so a line is `request.cell_height` pixels high on `device`.
QFont ReportFont(const console::ReportFontRequest& request, QPaintDevice& device);

struct ReportPrintResult {
  bool ok = false;
  int pages_printed = 0;
  int page_count = 0;
};

// Measures `path` for `device` and paints pages `from`..`to` (1-based; 0 for
// all), a new sheet for each. Fails (ok false, nothing painted) when the file
// cannot be read.
ReportPrintResult PrintReport(QPagedPaintDevice& device, const std::string& path, int from = 0, int to = 0);

// Writes `report` as a PDF file of A4 pages to `pdf_path`. Nothing when it
// went through, else the reason in Greek.
std::optional<QString> WriteReportPdf(const std::string& report, const QString& pdf_path);

}  // namespace zel::app
