// zelctl print: a report text file laid out as the program prints it, into a
// PDF file. Needs Qt Gui for its fonts and PDF writer, so it is there only in
// a build with the Qt program (ZEL_BUILD_GUI=ON).
#include <iostream>

#include "commands.h"
#include "core/safe_file.h"

#ifdef ZEL_HAVE_REPORT_PRINT
#include <QFile>
#include <QGuiApplication>

#include "app/report_print.h"
#endif

namespace zel::cli {

int CmdPrint(Args args) {
  std::string report, pdf;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--pdf" && i + 1 < args.size()) {
      pdf = args[++i];
    } else if (report.empty() && !args[i].starts_with("--")) {
      report = args[i];
    } else {
      std::cerr << "Άγνωστο όρισμα: " << EscapedControls(args[i]) << '\n';
      return 2;
    }
  }
  if (report.empty() || pdf.empty()) {
    std::cerr << "Χρήση: zelctl print REPORT.TXT --pdf OUT.pdf\n";
    return 2;
  }
#ifdef ZEL_HAVE_REPORT_PRINT
  // Fonts and the PDF writer need a GUI application, never a display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "zelctl";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  if (const std::optional<QString> error = app::WriteReportPdf(report, QFile::decodeName(pdf.c_str()))) {
    std::cerr << error->toStdString() << '\n';
    return 1;
  }
  return 0;
#else
  std::cerr << "Η εκτύπωση σε PDF δεν υπάρχει σε αυτό το zelctl: χτίστηκε χωρίς Qt (ZEL_BUILD_GUI=OFF).\n";
  return 1;
#endif
}

}  // namespace zel::cli
