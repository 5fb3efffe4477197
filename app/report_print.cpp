#include "app/report_print.h"

#include <sys/stat.h>
#include <QBuffer>
#include <QFile>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/cp1253.h"
#include "core/safe_file.h"

namespace zel::app {
namespace {

// Earlier versions of the program wrote a PDF to "NAME.part" and renamed
// it; a print killed half-way left that file. It goes with the next save of
// NAME: a PDF's beginning that nobody has written to for a minute (a
// browser's download of the same name would still be growing).
void RemoveStalePart(const std::string& target) {
  const std::string part = target + ".part";
  struct stat st {};
  if (::lstat(part.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || std::time(nullptr) - st.st_mtime < 60) return;
  char head[5] = {};
  std::FILE* f = std::fopen(part.c_str(), "rb");
  if (f == nullptr) return;
  const bool pdf = std::fread(head, 1, sizeof head, f) == sizeof head && std::memcmp(head, "%PDF-", 5) == 0;
  std::fclose(f);
  if (pdf) std::remove(part.c_str());
}

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
  const QString shown_pdf = QString::fromStdString(EscapedControls(QFile::encodeName(pdf_path).toStdString()));
  if (!console::MeasureReport(report, {72, 72})) {
    return QStringLiteral("Δεν ήταν δυνατό να διαβαστεί το αρχείο της αναφοράς:\n%1")
        .arg(QString::fromStdString(EscapedControls(report)));
  }
  // Made whole in memory, then written like every file of the program
  // (temporary file, flushed, renamed), so a failed or killed print leaves
  // no half file and an older PDF stays as it was.
  QBuffer bytes;
  bytes.open(QIODevice::WriteOnly);
  bool ok = false;
  {
    QPdfWriter writer(&bytes);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("Setup ZEL"));
    ok = PrintReport(writer, report).ok;
  }
  const std::string target = QFile::encodeName(pdf_path).toStdString();
  FileFault fault;
  if (ok) {
    const QByteArray& pdf = bytes.data();
    ok = WriteFileAtomically(target, {std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size()))}, fault);
  }
  if (!ok) {
    const QString cause =
        fault.cause == FileFault::Cause::kNone ? QString() : "\n" + QString::fromStdString(FaultLine(target, fault));
    return QStringLiteral("Δεν ήταν δυνατό να γραφτεί το αρχείο PDF:\n%1").arg(shown_pdf) + cause;
  }
  RemoveStalePart(target);
  return std::nullopt;
}

}  // namespace zel::app
