// zelctl logo: loads a graphic logo from a BMP file into a database with the
// logo panel's own loader and messages, or clears it, so scripts and
// support can check a customer's picture without the window. The database
// is written back only when the picture was taken.
#include <algorithm>
#include <iostream>
#include <string>
#include <utility>

#include "cli/terminal_ui.h"
#include "commands.h"
#include "core/data_image.h"
#include "editors/logo_panel.h"

namespace zel::cli {

int CmdLogo(Args args) {
  if (args.size() != 2) {
    std::cerr << "Χρήση: zelctl logo DB.cld PICTURE.bmp | zelctl logo DB.cld --clear\n";
    return 2;
  }
  DataImage image;
  if (!LoadDatabase(args[0], image)) return 1;
  if (args[1] == "--clear") {
    const Bytes logo = image.logo();
    std::fill(logo.begin(), logo.end(), std::uint8_t{0});
    if (!SaveDatabase(args[0], image)) return 1;
    std::cout << "Το γραφικό λογότυπο σβήστηκε.\n";
    return 0;
  }
  TerminalUi ui;
  if (!editors::LoadLogoFile(image, ui, args[1])) return 1;
  if (!SaveDatabase(args[0], image)) return 1;
  // The rows the picture fills: the last one holding a dot.
  const ConstBytes logo = std::as_const(image).logo();
  int rows = 0;
  for (int r = 0; r < logo::kRows; ++r)
    for (int b = 0; b < logo::kRowBytes; ++b)
      if (logo[static_cast<std::size_t>(r * logo::kRowBytes + b)] != 0) rows = r + 1;
  std::cout << "Γραφικό λογότυπο: " << rows << " γραμμές με κουκκίδες\n";
  return 0;
}

}  // namespace zel::cli
