// zelctl print: a report text file laid out as the program prints it, into a
// PDF file. The pages come from the Qt program, which has the fonts and the
// PDF writer: zelctl hands the job to `setupzel --print-pdf` (beside zelctl
// when installed, or in the build tree), so zelctl itself never loads a GUI
// library.
#include <limits.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <utility>

#include "commands.h"

namespace zel::cli {
namespace {

// setupzel where zelctl finds it: in its own folder (installed), in the
// build tree's app/ folder, else on the PATH.
std::string SetupzelProgram() {
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    const std::filesystem::path dir =
        std::filesystem::path(std::string(self, static_cast<std::size_t>(n))).parent_path();
    for (const std::filesystem::path& p : {dir / "setupzel", dir.parent_path() / "app" / "setupzel"}) {
      std::error_code ec;
      if (std::filesystem::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0) return p.string();
    }
  }
  return "setupzel";
}

}  // namespace

int CmdPrint(const std::string& report, const std::string& pdf) {
  const std::string program = SetupzelProgram();
  const char* argv[] = {program.c_str(), "--print-pdf", report.c_str(), pdf.c_str(), nullptr};
  std::cout.flush();
  ::execvp(program.c_str(), const_cast<char* const*>(argv));
  std::cerr << "Η εκτύπωση σε PDF γίνεται από το setupzel, που δεν βρέθηκε (" << program
            << "): εγκαταστήστε το πρόγραμμα με το γραφικό περιβάλλον.\n";
  return 1;
}

void AddPrint(CommandLine& cli) {
  CLI::App* c = cli.Add("print", "REPORT.TXT --pdf OUT.pdf",
                        "γράφει ένα αρχείο αναφοράς (FM_, AP_ .TXT) σε PDF, με τις σελίδες της εκτύπωσης");
  auto files = std::make_shared<std::pair<std::string, std::string>>();
  Argument(c, "REPORT.TXT", files->first, "το αρχείο αναφοράς");
  c->add_option("--pdf", files->second, "το αρχείο PDF που γράφεται (από το setupzel --print-pdf)")
      ->type_name("OUT.pdf")
      ->required();
  cli.Runs(c, [files] { return CmdPrint(files->first, files->second); });
}

}  // namespace zel::cli
