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
        "share/mime/packages/setupzel.xml", "share/icons/hicolor/scalable/apps/setupzel.svg",
        "share/bash-completion/completions/zelctl"}) {
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

// The installed zelctl links no GUI library, and its `print` still makes the
// PDF: the installed setupzel beside it lays out the pages.
TEST(Install, ZelctlIsFreeOfQtAndPrintsThroughSetupzel) {
  QTemporaryDir prefix;
  ASSERT_TRUE(prefix.isValid());
  const std::string command = std::string("\"") + ZEL_CMAKE_COMMAND + "\" --install \"" + ZEL_BINARY_DIR +
                              "\" --prefix \"" + prefix.path().toStdString() + "\" > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const QDir root(prefix.path());
  const std::string zelctl = root.filePath("bin/zelctl").toStdString();
  const std::string libraries = prefix.filePath("ldd.txt").toStdString();
  ASSERT_EQ(std::system(("ldd \"" + zelctl + "\" > \"" + libraries + "\"").c_str()), 0);
  QFile ldd(QString::fromStdString(libraries));
  ASSERT_TRUE(ldd.open(QIODevice::ReadOnly));
  const QByteArray needed = ldd.readAll();
  EXPECT_FALSE(needed.contains("libQt")) << needed.toStdString();
  EXPECT_FALSE(needed.contains("libdbus")) << needed.toStdString();

  QFile report(prefix.filePath("FM_TEST.TXT"));
  ASSERT_TRUE(report.open(QIODevice::WriteOnly));
  report.write("ΑΝΑΦΟΡΑ\r\nΓΡΑΜΜΗ 2\r\n\f");
  report.close();
  const std::string print = "cd \"" + prefix.path().toStdString() + "\" && PATH=/nonexistent \"" + zelctl +
                            "\" print FM_TEST.TXT --pdf out.pdf";
  EXPECT_EQ(std::system(print.c_str()), 0) << print;
  QFile pdf(prefix.filePath("out.pdf"));
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  EXPECT_TRUE(pdf.read(5) == "%PDF-");
}

}  // namespace
}  // namespace zel::app
