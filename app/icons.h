// Tool bar pictures: the desktop icon theme's icon for each command, and a
// picture drawn here when the theme has none (no bitmaps are shipped).
#pragma once

#include <QIcon>

#include "app/commands.h"

namespace zel::app {

QIcon CommandIcon(CommandId id);
// The drawn picture alone (the fallback), for a look without a theme.
QIcon DrawnCommandIcon(CommandId id);
// The program's own icon (window and about box).
QIcon ProgramIcon();

}  // namespace zel::app
