// What a panel may ask of the window it is shown in, and nothing more: to
// switch to another panel, to lock the window while a job of the panel works
// on what the window would otherwise let the user change, a notice in the
// status bar, and the user interface (messages, questions, the help line).
// The main window is one; tests can stand in with another.
//
// UI thread only.
#pragma once

#include <QString>

namespace zel::editors {
struct EditorShared;
}

namespace zel::app {

class QtUserInterface;

class Shell {
 public:
  virtual ~Shell() = default;

  // Shows panel `number` (0: none); true when it switched (or, for a panel
  // that must first end its work, will switch once that is done).
  virtual bool SwitchPanel(int number) = 0;
  // While set, the window's commands are disabled, panel switches are
  // refused, minimising keeps the panel and the window does not close.
  virtual void SetBusy(bool busy) = 0;
  virtual bool busy() const = 0;
  // A notice beside the help line (a file written, ...).
  virtual void ShowNotice(const QString& text) = 0;
  virtual QtUserInterface& ui() = 0;
  // What the editor panels' fields share for the program's life.
  virtual editors::EditorShared& editor_shared() = 0;
};

}  // namespace zel::app
