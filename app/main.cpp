// setupzel: the dealer's program for programming a fiscal cash register.
// Usage: setupzel [database.cld]
#include <QApplication>
#include <QCommandLineParser>

#include "app/main_window.h"
#include "app/translations.h"
#include "zel/version.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // Qt's own dialogs (buttons, file and print dialogs) in Greek.
  zel::app::InstallQtTranslation(app);
  zel::app::UseGreekLocale();
  // Boxes with no caption of their own show the program's name.
  QApplication::setApplicationName(QStringLiteral("Setup ZEL"));
  QApplication::setApplicationVersion(
      QString::fromUtf8(zel::kVersion.data(), static_cast<qsizetype>(zel::kVersion.size())));
  QGuiApplication::setDesktopFileName(QStringLiteral("setupzel"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Εφαρμογή ρύθμισης για τη ΦΗΜ"));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Βάση δεδομένων (.cld) για άνοιγμα"),
                               QStringLiteral("[αρχείο.cld]"));
  parser.process(app);

  zel::app::StartOptions options;
  options.lock_path = zel::app::DefaultLockPath();
  if (!parser.positionalArguments().isEmpty()) options.database = parser.positionalArguments().constFirst();

  zel::app::MainWindow window;
  if (!window.StartUp(options)) return 1;
  window.show();
  return QApplication::exec();
}
