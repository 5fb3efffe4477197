// The engine's user interface on a terminal: messages go to stderr (errors
// and warnings) or stdout, questions are answered from the command line's
// choices (never from a prompt that a script could hang on).
#pragma once

#include <optional>
#include <string>

#include "core/user_interface.h"

namespace zel::cli {

class TerminalUi : public UserInterface {
 public:
  void ShowMessage(std::string_view text, Icon icon, std::string_view caption, bool system_modal) override;
  bool AskYesNo(std::string_view text, Icon icon, bool system_modal) override;
  bool AskRetryCancel(std::string_view text, Icon icon) override;
  std::optional<std::string> ChooseFile(const FileDialog& dialog) override;

  bool assume_yes = false;                 // --yes
  std::optional<std::string> chosen_file;  // what a file dialog answers
  int errors_shown = 0;                    // error messages shown so far
};

}  // namespace zel::cli
