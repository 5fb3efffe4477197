// zelctl logo: loads a graphic logo from a BMP file into a database with the
// logo panel's own loader and messages, or clears it, so scripts and
// support can check a customer's picture without the window. The database
// is written back only when the picture was taken.
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "cli/terminal_ui.h"
#include "commands.h"
#include "core/data_image.h"
#include "editors/logo_panel.h"

namespace zel::cli {

struct LogoArgs {
  std::string db, picture;
  bool clear = false;
};

int CmdLogo(const LogoArgs& a) {
  DataImage image;
  if (!LoadDatabase(a.db, image)) return 1;
  if (a.clear) {
    const Bytes logo = image.logo();
    std::fill(logo.begin(), logo.end(), std::uint8_t{0});
    if (!SaveDatabase(a.db, image)) return 1;
    std::cout << "Το γραφικό λογότυπο σβήστηκε.\n";
    return 0;
  }
  TerminalUi ui;
  if (!editors::LoadLogoFile(image, ui, a.picture)) return 1;
  if (!SaveDatabase(a.db, image)) return 1;
  // The rows the picture fills: the last one holding a dot.
  const ConstBytes logo = std::as_const(image).logo();
  int rows = 0;
  for (int r = 0; r < logo::kRows; ++r)
    for (int b = 0; b < logo::kRowBytes; ++b)
      if (logo[static_cast<std::size_t>(r * logo::kRowBytes + b)] != 0) rows = r + 1;
  std::cout << "Γραφικό λογότυπο: " << rows << " γραμμές με κουκκίδες\n";
  return 0;
}

void AddLogo(CommandLine& cli) {
  CLI::App* c =
      cli.Add("logo", "DB.cld PICTURE.bmp | DB.cld --clear",
              "φορτώνει γραφικό λογότυπο από εικόνα BMP (384 px πλάτος, έως 180 ύψος, ασπρόμαυρη) ή το σβήνει");
  auto a = std::make_shared<LogoArgs>();
  Argument(c, "DB.cld", a->db, "η βάση δεδομένων (.cld)");
  CLI::Option* picture =
      Argument(c, "PICTURE.bmp", a->picture,
               "εικόνα BMP ενός bit ανά κουκκίδα, 384 px πλάτος, έως 180 ύψος (κεφαλίδα 40 byte, V4 ή V5)")
          ->required(false);
  CLI::Option* clear = c->add_flag("--clear", a->clear, "σβήνει το γραφικό λογότυπο");
  picture->excludes(clear);
  // One of the two, said as CLI11 says a missing argument.
  c->parse_complete_callback([a] {
    if (!a->clear && a->picture.empty()) throw CLI::RequiredError("PICTURE.bmp");
  });
  cli.Runs(c, [a] { return CmdLogo(*a); });
}

}  // namespace zel::cli
