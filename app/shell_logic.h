// Small decisions of the program shell that are not about widgets: the file
// dialog's filter form, the window's first geometry, where a panel goes,
// which dropped file to open, where the manual is. Pure functions, so the
// tests check them with tables and the window only binds them.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <chrono>
#include <optional>
#include <string_view>

namespace zel::app {

// The program writes file filters as "Name (*.cld)|*.cld|Other|*.a;*.b||":
// pairs of a shown name and its patterns, closed by an empty name. Qt's file
// dialog takes "Name (*.cld)", reading the patterns from the parentheses, so a
// name whose parentheses do not already hold exactly the patterns gets them
// appended.
QStringList NameFiltersFromProgramFilter(std::string_view filter);
// ".cld" -> "cld" (Qt's default suffix has no dot).
QString DefaultSuffix(std::string_view extension);

// The first window geometry: 960 x 640, or the screen's width or height where
// the screen is smaller, centred on the screen.
inline constexpr QSize kFrameSize{960, 640};
QRect InitialFrameGeometry(const QRect& screen);

// Where a panel of size `panel` goes inside a window of size `frame`: centred,
// 10 pixels to the right and 50 down to leave the menu and tool bar clear.
// Integer division truncating toward zero, as the panels were always placed.
QPoint PanelPosition(const QSize& frame, const QSize& panel);

// A panel switch is refused while the clock is below the deadline; every
// switch moves the deadline this far ahead.
inline constexpr std::chrono::milliseconds kPanelSwitchPause{1000};
inline bool SwitchTooSoon(std::chrono::steady_clock::time_point now, std::chrono::steady_clock::time_point deadline) {
  return now < deadline;
}

// The file to open from what was dropped on the window: the first local file;
// nothing when no local file was dropped.
std::optional<QString> DroppedFile(const QList<QUrl>& urls);

// The HTML manual: beside the program (build tree: build/app/manual), in the
// install tree relative to the program (bin/../share/setupzel/manual), then at
// the configured install prefix. Empty when none exists.
QStringList ManualCandidates(const QString& program_dir, const QString& installed_manual);
QString FindManual(const QString& program_dir, const QString& installed_manual);

}  // namespace zel::app
