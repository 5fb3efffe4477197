// setupzel: the dealer's program for programming a fiscal cash register.
// Usage: setupzel [database.cld]
//        setupzel --print-pdf REPORT.TXT OUT.pdf
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <cstring>
#include <iostream>

#include "app/main_window.h"
#include "app/report_print.h"
#include "app/translations.h"
#include "zel/version.h"

namespace {

// A report file laid out on pages exactly as the program prints and
// previews it, into a PDF; no window, no display needed. `zelctl print`
// runs this.
int PrintPdf(const char* report, const char* pdf) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "setupzel";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  if (const std::optional<QString> error = zel::app::WriteReportPdf(report, QFile::decodeName(pdf))) {
    std::cerr << error->toStdString() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--print-pdf") != 0) continue;
    if (i + 2 >= argc) {
      std::cerr << "Χρήση: setupzel --print-pdf ΑΝΑΦΟΡΑ.TXT ΑΡΧΕΙΟ.pdf\n";
      return 2;
    }
    return PrintPdf(argv[i + 1], argv[i + 2]);
  }
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

  // What the program has once, the window that shows it, and the boxes it
  // asks and tells with.
  zel::app::QtUserInterface ui;
  zel::Workspace workspace(ui);
  zel::app::MainWindow window(workspace, ui);
  if (!window.StartUp(options)) return 1;
  window.show();
  return QApplication::exec();
}
