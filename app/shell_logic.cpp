#include "app/shell_logic.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace zel::app {

QStringList NameFiltersFromProgramFilter(std::string_view filter) {
  const QStringList parts = QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size())).split('|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& name = parts[i];
    if (name.isEmpty()) break;
    QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    const QString joined = patterns.join(' ');
    static const QRegularExpression kTrailing(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch m = kTrailing.match(name);
    if (m.hasMatch() && m.captured(1).simplified() == joined) {
      out << name;
    } else {
      out << QStringLiteral("%1 (%2)").arg(name, joined);
    }
  }
  return out;
}

QString DefaultSuffix(std::string_view extension) {
  QString s = QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size()));
  while (s.startsWith('.')) s.remove(0, 1);
  return s;
}

QRect InitialFrameGeometry(const QRect& screen) {
  const int w = std::min(kFrameSize.width(), screen.width());
  const int h = std::min(kFrameSize.height(), screen.height());
  return {screen.x() + (screen.width() - w) / 2, screen.y() + (screen.height() - h) / 2, w, h};
}

QPoint PanelPosition(const QSize& frame, const QSize& panel) {
  return {10 + (frame.width() - panel.width() - 10) / 2, 50 + (frame.height() - panel.height() - 50) / 2};
}

std::optional<QString> DroppedFile(const QList<QUrl>& urls) {
  for (const QUrl& url : urls) {
    if (url.isLocalFile() && !url.toLocalFile().isEmpty()) return url.toLocalFile();
  }
  return std::nullopt;
}

QStringList ManualCandidates(const QString& program_dir, const QString& installed_manual) {
  const QDir dir(program_dir);
  QStringList c{QDir::cleanPath(dir.filePath(QStringLiteral("manual/index.html"))),
                QDir::cleanPath(dir.filePath(QStringLiteral("../share/setupzel/manual/index.html")))};
  if (!installed_manual.isEmpty()) c << QDir::cleanPath(installed_manual);
  return c;
}

QString FindManual(const QString& program_dir, const QString& installed_manual) {
  for (const QString& path : ManualCandidates(program_dir, installed_manual)) {
    if (QFileInfo(path).isFile()) return path;
  }
  return {};
}

}  // namespace zel::app
