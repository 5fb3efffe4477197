// The GUI tests' main: a QApplication for GoogleTest. Widgets render
// offscreen unless the caller chose a platform (scripts/test exports
// QT_QPA_PLATFORM=offscreen; test discovery at build time has no display).
#include <gtest/gtest.h>

#include <QApplication>

#include "app/translations.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Setup ZEL"));
  // Qt's own texts in Greek, as the program has them.
  zel::app::InstallQtTranslation(app);
  zel::app::UseGreekLocale();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
