// How the engine speaks to its user.
//
// The engine never draws or blocks on a window itself: it asks this
// interface. The GUI implements it with message boxes and dialogs on the UI
// thread, zelctl on the terminal, the tests with a script that records what
// was shown and answers what was asked. All texts are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zel {

enum class Icon { kNone, kError, kExclamation, kInformation, kQuestion };

// A file dialog as the program asks for it. The filter is written the way
// the program's dialogs name it ("Setup ZEL ΑΛΛΑΓΗ (*.cld)|*.cld||"); a
// front end turns it into its own form.
struct FileDialog {
  enum class Mode { kOpen, kSave };
  Mode mode = Mode::kOpen;
  std::string default_extension;  // ".cld"
  std::string initial_path;
  std::string filter;
  bool overwrite_prompt = false;
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A modal message. `system_modal` marks the boxes that must stay on top of
  // every window of the program.
  virtual void ShowMessage(std::string_view text, Icon icon, std::string_view caption = {},
                           bool system_modal = false) = 0;
  // Yes/No question with No as the default button; true for Yes.
  virtual bool AskYesNo(std::string_view text, Icon icon, bool system_modal = false) = 0;
  // Retry/Cancel question; true for Retry.
  virtual bool AskRetryCancel(std::string_view text, Icon icon) = 0;
  // The chosen path, or nothing when the user cancelled.
  virtual std::optional<std::string> ChooseFile(const FileDialog& dialog) = 0;

  // The main window's title.
  virtual void SetTitle(std::string_view /*title*/) {}
  // The signal beep (400 Hz for 40 ms for a refused key, end of an import...).
  virtual void Beep(int /*hz*/ = 400, int /*ms*/ = 40) {}
  // The main window's status (help) line: its text and background colour as
  // 0xBBGGRR (0xE0E0FF is light red); `colour` < 0 means the default
  // background.
  virtual void SetStatusLine(std::string_view /*text*/, long /*colour*/) {}
  // A passing notice that something was done ("Αποθηκεύτηκε το αρχείο
  // items.csv"), shown beside the status line without waiting for the user.
  virtual void Notify(std::string_view /*text*/) {}

  // ---- Transfer feedback (may be called from a transfer's worker thread;
  // a GUI implementation hands them to its UI thread).
  enum class Mark { kNone, kRunning, kDone, kFailed };
  virtual void SetProgressRange(int /*max*/) {}
  virtual void SetProgress(int /*position*/) {}
  // `kind` is the kind's place in the transfer order, 0 to 12.
  virtual void MarkKind(int /*kind*/, Mark /*mark*/) {}
};

}  // namespace zel
