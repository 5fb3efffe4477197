#include "app/text.h"

#include <QFile>

#include "core/cp1253.h"

namespace zel::app {

QString FromCp1253(std::string_view bytes) {
  // Every character of the code page lies in the basic plane: one QChar each.
  QString s(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* out = s.data();
  for (const char c : bytes) *out++ = QChar(static_cast<char16_t>(cp1253::ToUnicode(static_cast<std::uint8_t>(c))));
  return s;
}

std::string EnginePathOf(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString PathFromEngine(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace zel::app
