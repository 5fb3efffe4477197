// The shell's small decisions: filter form, first geometry, panel placement,
// dropped files, where the manual is found.
#include "app/shell_logic.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/help_line.h"

namespace zel::app {
namespace {

TEST(ShellLogic, ProgramFilterBecomesQtNameFilters) {
  struct Case {
    const char* program;
    QStringList qt;
  } const cases[] = {
      {"Setup ZEL ΑΛΛΑΓΗ (*.cld)|*.cld||", {"Setup ZEL ΑΛΛΑΓΗ (*.cld)"}},
      // A name without its patterns gets them; several patterns are blank-separated.
      {"Αρχεία CSV|*.csv;*.txt||", {"Αρχεία CSV (*.csv *.txt)"}},
      // Parentheses that do not hold the patterns must not decide the filter.
      {"Εικόνα (BMP)|*.bmp||", {"Εικόνα (BMP) (*.bmp)"}},
      {"A (*.a)|*.a|B|*.b||", {"A (*.a)", "B (*.b)"}},
      // Anything after the closing empty name is ignored; an empty filter gives none.
      {"A (*.a)|*.a||junk|*.j", {"A (*.a)"}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(NameFiltersFromProgramFilter(c.program), c.qt) << c.program;
  EXPECT_EQ(DefaultSuffix(".cld"), "cld");
  EXPECT_EQ(DefaultSuffix("csv"), "csv");
}

TEST(ShellLogic, FirstGeometryIs960x640CentredOrTheScreenWhereSmaller) {
  struct Case {
    QRect screen, frame;
  } const cases[] = {
      {{0, 0, 1920, 1080}, {480, 220, 960, 640}},
      {{0, 0, 800, 600}, {0, 0, 800, 600}},             // narrower and lower: as big as the screen
      {{0, 0, 900, 1000}, {0, 180, 900, 640}},          // only narrower
      {{1920, 30, 1280, 1000}, {2080, 210, 960, 640}},  // a second screen, below a top bar
  };
  for (const auto& c : cases) EXPECT_EQ(InitialFrameGeometry(c.screen), c.frame) << c.screen.width();
}

TEST(ShellLogic, PanelIsCentredWithItsOffsetsAndTruncatingDivision) {
  EXPECT_EQ(PanelPosition({960, 640}, {640, 420}), QPoint(10 + 155, 50 + 85));
  // Odd remainders truncate toward zero, also when the panel is larger.
  EXPECT_EQ(PanelPosition({960, 640}, {641, 421}), QPoint(10 + 154, 50 + 84));
  EXPECT_EQ(PanelPosition({800, 600}, {813, 600}), QPoint(10 - 11, 50 - 25));
}

TEST(ShellLogic, SwitchIsRefusedOnlyBeforeTheDeadline) {
  const auto t = std::chrono::steady_clock::time_point{} + std::chrono::seconds(5);
  EXPECT_TRUE(SwitchTooSoon(t - std::chrono::milliseconds(1), t));
  EXPECT_FALSE(SwitchTooSoon(t, t));
}

TEST(ShellLogic, DroppedFileIsTheFirstLocalOne) {
  EXPECT_EQ(DroppedFile({QUrl("https://example.org/a.cld"), QUrl::fromLocalFile("/tmp/b.cld"),
                         QUrl::fromLocalFile("/tmp/c.cld")}),
            QString("/tmp/b.cld"));
  EXPECT_EQ(DroppedFile({QUrl("https://example.org/a.cld")}), std::nullopt);
  EXPECT_EQ(DroppedFile({}), std::nullopt);
}

TEST(ShellLogic, ManualIsFoundBesideTheProgramThenInTheInstallTree) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QDir dir(root.path());
  ASSERT_TRUE(dir.mkpath("bin") && dir.mkpath("share/setupzel/manual") && dir.mkpath("bin/manual"));
  const QString bin = dir.filePath("bin");
  const QString installed = dir.filePath("share/setupzel/manual/index.html");
  const QString beside = dir.filePath("bin/manual/index.html");
  const QString elsewhere = dir.filePath("elsewhere.html");

  EXPECT_EQ(FindManual(bin, elsewhere), QString());
  QFile(elsewhere).open(QIODevice::WriteOnly);
  EXPECT_EQ(FindManual(bin, elsewhere), elsewhere);
  QFile(installed).open(QIODevice::WriteOnly);
  EXPECT_EQ(FindManual(bin, elsewhere), installed);
  QFile(beside).open(QIODevice::WriteOnly);
  EXPECT_EQ(FindManual(bin, elsewhere), beside);
}

TEST(ShellLogic, BuildTreeCarriesTheManualBesideTheProgram) {
  const QString manual = FindManual(ZEL_BINARY_DIR "/app", {});
  EXPECT_EQ(manual, QDir::cleanPath(ZEL_BINARY_DIR "/app/manual/index.html"));
}

TEST(ShellLogic, EngineColoursAreBlueGreenRed) {
  EXPECT_EQ(ColourFromBgr(0xE0FFFF), QColor(255, 255, 224));
  EXPECT_EQ(ColourFromBgr(0xFFFFF0), QColor(240, 255, 255));
  EXPECT_EQ(ColourFromBgr(0x0000FF), QColor(255, 0, 0));
  EXPECT_EQ(ColourFromBgr(-1), std::nullopt);
}

}  // namespace
}  // namespace zel::app
