#include "app/report_print.h"

#include <QFile>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cstdio>

#include "core/cp1253.h"

namespace zel::app {
namespace {

QString FromCp1253(const std::string& bytes) { return QString::fromStdString(cp1253::ToUtf8(bytes)); }

// Draws one string with its top-left corner at (x, y) and every character
// `advance` pixels wide: the font's own pitch is scaled to the width the
// engine asked for, as a font of that average width would print.
void DrawFixed(QPainter& painter, const console::PageText& text, int ascent, qreal scale) {
  painter.save();
  painter.translate(text.x, text.y);
  painter.scale(scale, 1.0);
  painter.drawText(QPointF(0, ascent), FromCp1253(text.bytes));
  painter.restore();
}

}  // namespace

QFont ReportFont(const console::ReportFontRequest& request, QPaintDevice& device) {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setFamilies(
      {QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
  font.setWeight(QFont::Normal);
  font.setPixelSize(std::max(1, request.cell_height));
  // The height asked for is the whole line (ascent and descent), as a
  // character cell; a pixel size is the em, which fonts draw smaller.
  const int cell = QFontMetrics(font, &device).height();
  if (cell > 0) font.setPixelSize(std::max(1, request.cell_height * request.cell_height / cell));
  return font;
}

ReportPrintResult PrintReport(QPagedPaintDevice& device, const std::string& path, int from, int to) {
  ReportPrintResult result;
  std::optional<console::ReportMeasure> measure =
      console::MeasureReport(path, {device.logicalDpiX(), device.logicalDpiY()});
  if (!measure) return result;
  result.page_count = measure->page_count;

  const QFont font = ReportFont(measure->font, device);
  const QFontMetrics metrics(font, &device);
  const int natural_width = std::max(1, metrics.horizontalAdvance(QLatin1Char('W')));
  console::SetFontMetrics(*measure, metrics.height(), measure->font.char_width);
  const qreal scale = static_cast<qreal>(measure->font.char_width) / natural_width;

  // The whole sheet is the coordinate system: no margins in the way.
  device.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);

  const int first = from > 0 ? std::min(from, measure->page_count) : 1;
  const int last = to > 0 ? std::clamp(to, first, measure->page_count) : measure->page_count;
  QPainter painter;
  if (!painter.begin(&device)) return result;
  painter.setFont(font);
  painter.setPen(QPen(Qt::black, std::max(1, device.logicalDpiY() / 150)));
  for (int p = first; p <= last; ++p) {
    const std::optional<console::ReportPage> page = console::PrintReportPage(path, *measure, p);
    if (!page) break;
    if (p > first) device.newPage();
    for (const console::PageText& line : page->lines) DrawFixed(painter, line, metrics.ascent(), scale);
    const int rule_y = page->rule_y + measure->line_pitch / 2;
    painter.drawLine(page->rule_x, rule_y, page->rule_x + page->rule_length, rule_y);
    DrawFixed(painter, page->footer, metrics.ascent(), scale);
    ++result.pages_printed;
  }
  painter.end();
  result.ok = result.pages_printed == last - first + 1;
  return result;
}

std::optional<QString> WriteReportPdf(const std::string& report, const QString& pdf_path) {
  if (!console::MeasureReport(report, {72, 72})) {
    return QStringLiteral("Δεν ήταν δυνατό να διαβαστεί το αρχείο της αναφοράς:\n%1")
        .arg(QFile::decodeName(QByteArray::fromStdString(report)));
  }
  // Written beside the target and renamed over it at the end, so a failed
  // print leaves no half file and an older PDF stays as it was.
  const QString partial = pdf_path + QStringLiteral(".part");
  bool ok = false;
  {
    QPdfWriter writer(partial);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("Setup ZEL"));
    ok = PrintReport(writer, report).ok;
  }
  if (ok) ok = std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(pdf_path).constData()) == 0;
  if (!ok) {
    QFile::remove(partial);
    return QStringLiteral("Δεν ήταν δυνατό να γραφτεί το αρχείο PDF:\n%1").arg(pdf_path);
  }
  return std::nullopt;
}

}  // namespace zel::app
