#include "terminal_ui.h"

#include <iostream>

namespace zel::cli {

void TerminalUi::ShowMessage(std::string_view text, Icon icon, std::string_view caption, bool) {
  const bool error = icon == Icon::kError || icon == Icon::kExclamation;
  if (icon == Icon::kError) ++errors_shown;
  std::ostream& out = error ? std::cerr : std::cout;
  if (!caption.empty()) out << caption << ": ";
  out << text << '\n';
  out.flush();
}

bool TerminalUi::AskYesNo(std::string_view text, Icon, bool) {
  std::cerr << text << (assume_yes ? " -> Ναι (--yes)" : " -> Όχι (δώστε --yes για Ναι)") << '\n';
  return assume_yes;
}

bool TerminalUi::AskRetryCancel(std::string_view text, Icon) {
  std::cerr << text << " -> Άκυρο\n";
  return false;
}

std::optional<std::string> TerminalUi::ChooseFile(const FileDialog&) { return chosen_file; }

}  // namespace zel::cli
