// `cmake --install` puts the program where a desktop finds it: the manual
// where Help looks for it, the menu entry, and the .cld file type that makes
// a double click open a database in setupzel.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <cstdlib>

#include "app/shell_logic.h"

namespace zel::app {
namespace {

TEST(Install, PutsProgramManualMenuEntryAndFileType) {
  QTemporaryDir prefix;
  ASSERT_TRUE(prefix.isValid());
  const std::string command = std::string("\"") + ZEL_CMAKE_COMMAND + "\" --install \"" + ZEL_BINARY_DIR +
                              "\" --prefix \"" + prefix.path().toStdString() + "\" > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const QDir root(prefix.path());

  for (const char* file :
       {"bin/setupzel", "bin/zelctl", "share/setupzel/manual/index.html", "share/applications/setupzel.desktop",
        "share/mime/packages/setupzel.xml", "share/icons/hicolor/scalable/apps/setupzel.svg"}) {
    EXPECT_TRUE(QFileInfo(root.filePath(file)).isFile()) << file;
  }
  // Help finds the installed manual from the installed program's folder.
  EXPECT_EQ(FindManual(root.filePath("bin"), {}), QDir::cleanPath(root.filePath("share/setupzel/manual/index.html")));

  QFile desktop(root.filePath("share/applications/setupzel.desktop"));
  ASSERT_TRUE(desktop.open(QIODevice::ReadOnly | QIODevice::Text));
  const QStringList lines = QString::fromUtf8(desktop.readAll()).split('\n');
  EXPECT_TRUE(lines.contains("Exec=setupzel %f"));
  EXPECT_TRUE(lines.contains("MimeType=application/x-setupzel-database;"));
  EXPECT_TRUE(lines.contains("Icon=setupzel"));

  // The desktop's MIME database, reading only what was installed, knows .cld.
  qputenv("XDG_DATA_DIRS", root.filePath("share").toUtf8());
  qputenv("XDG_DATA_HOME", root.filePath("no-user-data").toUtf8());
  const QMimeDatabase mime;
  const QMimeType type = mime.mimeTypeForFile("κατάστημα.cld", QMimeDatabase::MatchExtension);
  EXPECT_EQ(type.name(), QStringLiteral("application/x-setupzel-database"));
  EXPECT_EQ(mime.mimeTypeForFile("SHOP.CLD", QMimeDatabase::MatchExtension).name(), type.name());
}

}  // namespace
}  // namespace zel::app
