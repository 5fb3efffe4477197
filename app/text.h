// Texts at the widget edge. Inside the program, texts the data image holds
// are code page 1253 bytes and the engine's own texts (labels, help lines,
// messages) are UTF-8; widgets show QString. These helpers are the only
// places where the two meet the toolkit.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace zel::app {

// The engine's UTF-8 texts (labels, help lines).
inline QString Utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
// Code page 1253 bytes (names, rows, headers); bytes the code page leaves
// undefined show as U+FFFD.
QString FromCp1253(std::string_view bytes);
// A path as the engine takes it (the file system's encoding) and back.
std::string EnginePathOf(const QString& path);
QString PathFromEngine(const std::string& path);

}  // namespace zel::app
