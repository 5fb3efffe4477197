#include "app/qt_user_interface.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QThread>

#include "app/beep.h"
#include "app/file_dialog.h"
#include "app/help_line.h"
#include "app/shell_logic.h"

namespace zel::app {
namespace {

QString Utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

QMessageBox::Icon BoxIcon(Icon icon) {
  switch (icon) {
    case Icon::kError: return QMessageBox::Critical;
    case Icon::kExclamation: return QMessageBox::Warning;
    case Icon::kInformation: return QMessageBox::Information;
    case Icon::kQuestion: return QMessageBox::Question;
    case Icon::kNone: break;
  }
  return QMessageBox::NoIcon;
}

QtUserInterface::QtUserInterface(QObject* parent) : QObject(parent) {
  // Only a bare wake-up goes through Qt's event queue; what it wakes for is
  // taken from our own queue, under our own lock.
  wake_ = [this] {
    QMetaObject::invokeMethod(
        this, [this] { RunPostedCalls(); }, Qt::QueuedConnection);
  };
}

void QtUserInterface::Post(std::function<void()> call) {
  {
    const std::lock_guard lock(queue_mutex_);
    queue_.push_back(std::move(call));
  }
  wake_();
}

std::size_t QtUserInterface::RunPostedCalls() {
  std::size_t ran = 0;
  for (;;) {
    std::function<void()> call;
    {
      const std::lock_guard lock(queue_mutex_);
      if (queue_.empty()) return ran;
      call = std::move(queue_.front());
      queue_.pop_front();
    }
    call();
    ++ran;
  }
}

template <class F>
void QtUserInterface::OnUiThread(F&& f) {
  if (QThread::currentThread() == thread()) {
    f();
    return;
  }
  Post(std::forward<F>(f));
}

template <class R, class F>
R QtUserInterface::AskOnUiThread(F f, R cancelled) {
  if (QThread::currentThread() == thread()) return f();
  auto call = std::make_shared<WaitingCall>();
  auto result = std::make_shared<R>(cancelled);
  {
    const std::lock_guard lock(calls_mutex_);
    if (calls_cancelled_) return cancelled;
    waiting_.push_back(call);
  }
  calls_changed_.notify_all();
  Post([call, result, f = std::move(f)]() mutable {
    {
      const std::lock_guard lock(call->mutex);
      if (call->answered) return;  // cancelled before it came up
    }
    // The caller waits (its views are valid) until this is answered; a
    // cancel during the dialog lets it go, and the result is then kept only
    // in the shared call.
    R r = f();
    const std::lock_guard lock(call->mutex);
    if (call->answered) return;
    *result = std::move(r);
    call->answered = true;
    call->answered_cv.notify_all();
  });
  std::unique_lock lock(call->mutex);
  call->answered_cv.wait(lock, [&] { return call->answered; });
  R r = *result;
  lock.unlock();
  {
    const std::lock_guard calls_lock(calls_mutex_);
    std::erase(waiting_, call);
  }
  calls_changed_.notify_all();
  return r;
}

void QtUserInterface::CancelWorkerCalls() {
  const std::lock_guard lock(calls_mutex_);
  calls_cancelled_ = true;
  for (const std::shared_ptr<WaitingCall>& call : waiting_) {
    const std::lock_guard call_lock(call->mutex);
    call->answered = true;  // the caller's result stays the cancelled one
    call->answered_cv.notify_all();
  }
}

std::size_t QtUserInterface::WaitingCalls() {
  const std::lock_guard lock(calls_mutex_);
  return waiting_.size();
}

bool QtUserInterface::WaitForWaitingCalls(std::size_t n, std::chrono::milliseconds patience) {
  std::unique_lock lock(calls_mutex_);
  return calls_changed_.wait_for(lock, patience, [&] { return waiting_.size() >= n; });
}

void QtUserInterface::AcceptWorkerCalls() {
  const std::lock_guard lock(calls_mutex_);
  calls_cancelled_ = false;
}

QMessageBox::StandardButton QtUserInterface::RunBox(std::string_view text, Icon icon, std::string_view caption,
                                                    QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton default_button,
                                                    QMessageBox::StandardButton escape_button, bool system_modal) {
  QMessageBox box(window_);
  box.setIcon(BoxIcon(icon));
  box.setTextFormat(Qt::PlainText);
  box.setText(Utf8(text));
  box.setWindowTitle(Utf8(caption));
  box.setStandardButtons(buttons);
  box.setDefaultButton(default_button);
  box.setEscapeButton(escape_button);
  // Every box blocks the whole program; the ones the engine marks system-modal
  // also stay above every other window.
  box.setWindowModality(Qt::ApplicationModal);
  if (system_modal) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (seam_.message) return seam_.message(box);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  return clicked != nullptr ? box.standardButton(clicked) : escape_button;
}

void QtUserInterface::ShowMessage(std::string_view text, Icon icon, std::string_view caption, bool system_modal) {
  // The views stay valid: the caller waits for the box to be built.
  AskOnUiThread(
      [&] {
        RunBox(text, icon, caption, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok, system_modal);
        return true;
      },
      false);
}

bool QtUserInterface::AskYesNo(std::string_view text, Icon icon, bool system_modal) {
  return AskOnUiThread(
      [&] {
        return RunBox(text, icon, {}, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, QMessageBox::No,
                      system_modal) == QMessageBox::Yes;
      },
      false);
}

bool QtUserInterface::AskRetryCancel(std::string_view text, Icon icon) {
  return AskOnUiThread(
      [&] {
        return RunBox(text, icon, {}, QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry, QMessageBox::Cancel,
                      false) == QMessageBox::Retry;
      },
      false);
}

std::optional<std::string> QtUserInterface::RunFileDialog(const FileDialog& request) {
  QFileDialog dialog(window_);
  PrepareFileDialog(dialog);
  const bool save = request.mode == FileDialog::Mode::kSave;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(NameFiltersFromProgramFilter(request.filter));
  dialog.setDefaultSuffix(DefaultSuffix(request.default_extension));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwrite_prompt);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (!request.initial_path.empty()) {
    const QFileInfo initial(QFile::decodeName(QByteArray::fromStdString(request.initial_path)));
    dialog.setDirectory(initial.absolutePath());
    dialog.selectFile(initial.fileName());
  } else {
    dialog.setDirectory(QDir::currentPath());
  }
  std::optional<QString> chosen;
  if (seam_.file) {
    chosen = seam_.file(dialog);
  } else if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    chosen = dialog.selectedFiles().constFirst();
  }
  if (!chosen || chosen->isEmpty()) return std::nullopt;
  return QFile::encodeName(*chosen).toStdString();
}

std::optional<std::string> QtUserInterface::ChooseFile(const FileDialog& dialog) {
  return AskOnUiThread([&] { return RunFileDialog(dialog); }, std::optional<std::string>());
}

void QtUserInterface::SetTitle(std::string_view title) {
  OnUiThread([this, t = Utf8(title)] {
    if (window_) window_->setWindowTitle(t);
  });
}

void QtUserInterface::Beep(int hz, int ms) { app::Beep(hz, ms); }

void QtUserInterface::SetStatusLine(std::string_view text, long colour) {
  OnUiThread([this, t = Utf8(text), colour] {
    if (!help_line_) return;
    const std::optional<QColor> background = ColourFromBgr(colour);
    if (!background && t.isEmpty()) {
      help_line_->Clear();
    } else {
      // A coloured line stands out (pop-out); one on the status bar's
      // own background has no border, as the idle line.
      help_line_->Show(t, background, background ? HelpLine::Style::kPopOut : HelpLine::Style::kNoBorder);
    }
  });
}

void QtUserInterface::Notify(std::string_view text) {
  OnUiThread([this, t = Utf8(text)] { emit Noticed(t); });
}

void QtUserInterface::SetProgressRange(int max) {
  OnUiThread([this, max] { emit ProgressRangeChanged(max); });
}

void QtUserInterface::SetProgress(int position) {
  OnUiThread([this, position] { emit ProgressChanged(position); });
}

void QtUserInterface::MarkKind(int kind, Mark mark) {
  OnUiThread([this, kind, mark] { emit KindMarked(kind, mark); });
}

int QtUserInterface::ExecDialog(QDialog& dialog) {
  if (seam_.dialog) return seam_.dialog(dialog);
  return dialog.exec();
}

}  // namespace zel::app
