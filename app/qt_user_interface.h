// The engine's UserInterface on Qt widgets: message boxes with the engine's
// icon and buttons (Yes/No with No as default, Retry/Cancel), file dialogs,
// the main window's title and help line, the beep, and the transfer's
// progress and marks as signals for the transfer panel.
//
// Threading: the object lives on the UI thread. Any method may be called from
// another thread (a transfer runs off the UI thread); the call is handed to the
// UI thread, and the calling thread waits when it needs an answer (messages,
// questions, file dialogs). The hand-over goes through a queue of our own
// under a mutex (so ThreadSanitizer sees it); only a wake-up without data goes
// through Qt's event queue. Title, help line, beep and progress are handed
// over without waiting, in call order. So the UI thread must never wait for a
// worker that may still ask something (it would wait for itself) unless it
// first calls CancelWorkerCalls: every waiting call is then answered at once
// as if cancelled (a message as seen, No, Cancel, no file), and so is every
// later one, until AcceptWorkerCalls.
//
// Tests answer dialogs through a DialogSeam: each dialog is built exactly as
// for the user and handed to the seam instead of running a modal loop.
#pragma once

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/help_line.h"
#include "core/user_interface.h"

namespace zel::app {

class QtUserInterface : public QObject, public UserInterface {
  Q_OBJECT
 public:
  explicit QtUserInterface(QObject* parent = nullptr);

  // The window that owns the boxes and whose title SetTitle sets, and the
  // help line SetStatusLine writes. Either may be left unset.
  void SetWindow(QWidget* window) { window_ = window; }
  void SetHelpLine(HelpLine* line) { help_line_ = line; }
  QWidget* window() const { return window_; }

  // ---- UserInterface
  void ShowMessage(std::string_view text, Icon icon, std::string_view caption = {}, bool system_modal = false) override;
  bool AskYesNo(std::string_view text, Icon icon, bool system_modal = false) override;
  bool AskRetryCancel(std::string_view text, Icon icon) override;
  std::optional<std::string> ChooseFile(const FileDialog& dialog) override;
  void SetTitle(std::string_view title) override;
  void Beep(int hz = 400, int ms = 40) override;
  void SetStatusLine(std::string_view text, long colour) override;
  void Notify(std::string_view text) override;
  void SetProgressRange(int max) override;
  void SetProgress(int position) override;
  void MarkKind(int kind, Mark mark) override;

  // ---- Closing while a worker may still ask (UI thread). Cancel answers
  // what waits and what comes; Accept ends that once the worker has ended.
  void CancelWorkerCalls();
  void AcceptWorkerCalls();
  // Calls of other threads waiting for their answer now (for tests), and a
  // wait (at most `patience`) until there are `n` of them.
  std::size_t WaitingCalls();
  bool WaitForWaitingCalls(std::size_t n, std::chrono::milliseconds patience = std::chrono::seconds(10));

  // ---- The hand-over to the UI thread
  // Runs the calls other threads have handed over, in their order; the
  // number run. The wake-up of the UI thread calls this.
  std::size_t RunPostedCalls();
  // Test seam: what wakes the UI thread when a call was handed over (the
  // program posts a bare event to Qt's queue; a test may count instead and
  // run the calls itself).
  void SetWake(std::function<void()> wake) { wake_ = std::move(wake); }

  // ---- Dialogs of the program's own (about box, printer set-up, preview)
  // Runs `dialog` modally (or hands it to the seam); returns its result code.
  // UI thread only.
  int ExecDialog(QDialog& dialog);

  // ---- Test seam
  struct DialogSeam {
    // Gets the built box; returns the button "clicked".
    std::function<QMessageBox::StandardButton(QMessageBox&)> message;
    // Gets the built dialog; returns the chosen path or nothing for Cancel.
    std::function<std::optional<QString>(QFileDialog&)> file;
    // Gets any other dialog run through ExecDialog; returns its result code.
    std::function<int(QDialog&)> dialog;
  };
  void SetDialogSeam(DialogSeam seam) { seam_ = std::move(seam); }

 signals:
  void ProgressRangeChanged(int max);
  void ProgressChanged(int position);
  void KindMarked(int kind, zel::UserInterface::Mark mark);
  // A notice for the status bar (on the UI thread).
  void Noticed(const QString& text);

 private:
  // One call of a worker that waits for its answer.
  struct WaitingCall {
    std::mutex mutex;
    std::condition_variable answered_cv;
    bool answered = false;
  };
  // Runs `f` on the UI thread without waiting for it.
  template <class F>
  void OnUiThread(F&& f);
  // Hands `call` to the UI thread and wakes it.
  void Post(std::function<void()> call);
  // Runs `f` on the UI thread and waits until it has run, or until the call
  // is cancelled; returns false when cancelled (f then did not run, or its
  // result is no longer wanted). `f` keeps its result in `result`, owned by
  // the shared call so a late answer never writes into a returned caller.
  template <class R, class F>
  R AskOnUiThread(F f, R cancelled);
  QMessageBox::StandardButton RunBox(std::string_view text, Icon icon, std::string_view caption,
                                     QMessageBox::StandardButtons buttons, QMessageBox::StandardButton default_button,
                                     QMessageBox::StandardButton escape_button, bool system_modal);
  std::optional<std::string> RunFileDialog(const FileDialog& request);

  QPointer<QWidget> window_;
  QPointer<HelpLine> help_line_;
  DialogSeam seam_;
  std::mutex calls_mutex_;
  std::condition_variable calls_changed_;
  bool calls_cancelled_ = false;
  std::vector<std::shared_ptr<WaitingCall>> waiting_;
  std::mutex queue_mutex_;
  std::deque<std::function<void()>> queue_;
  std::function<void()> wake_;
};

// The box icon for an engine icon.
QMessageBox::Icon BoxIcon(Icon icon);

}  // namespace zel::app
