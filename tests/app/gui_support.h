// Support for the GUI tests: answering the program's dialogs and watching what
// they showed, a clock the test drives, a temporary folder, and a window
// started the way the program starts it.
//
// Dialogs are answered through QtUserInterface's seam: each box or file
// dialog is built exactly as for the user, recorded here (texts, icon,
// buttons, default button, modality, the thread it was built on) and answered
// from queues the test fills. An unexpected box is answered with its escape
// button (No / Cancel) and an unexpected file dialog is cancelled, so the
// test sees them in the record. RealBoxAnswerer instead answers a real modal
// box that is running its own loop, by keyboard or mouse.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/main_window.h"

namespace zel::app::test {

struct SeenBox {
  QString text;
  QString title;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton default_button;
  QMessageBox::StandardButton escape_button;
  Qt::WindowModality modality;
  bool on_top;
  QThread* thread;
};

struct SeenFileDialog {
  QFileDialog::AcceptMode accept_mode;
  QFileDialog::FileMode file_mode;
  QStringList name_filters;
  QString default_suffix;
  bool confirm_overwrite;
  QString directory;
  QString selected;  // the file name the dialog starts with
  QThread* thread;
};

struct SeenDialog {
  QString class_name;
  QString title;
  QStringList label_texts;
};

class ScriptedDialogs {
 public:
  explicit ScriptedDialogs(QtUserInterface& ui) {
    QtUserInterface::DialogSeam seam;
    seam.message = [this](QMessageBox& box) {
      QMessageBox::StandardButton def = QMessageBox::NoButton;
      if (box.defaultButton() != nullptr) def = box.standardButton(box.defaultButton());
      QMessageBox::StandardButton esc = QMessageBox::NoButton;
      if (box.escapeButton() != nullptr) esc = box.standardButton(box.escapeButton());
      boxes.push_back({box.text(), box.windowTitle(), box.icon(), box.standardButtons(), def, esc, box.windowModality(),
                       box.windowFlags().testFlag(Qt::WindowStaysOnTopHint), QThread::currentThread()});
      if (on_box) on_box(box);
      const bool is_question = box.standardButtons() != QMessageBox::Ok;
      if (!is_question) return QMessageBox::Ok;
      if (answers.empty()) return esc;
      const auto a = answers.front();
      answers.pop_front();
      return a;
    };
    seam.file = [this](QFileDialog& dialog) -> std::optional<QString> {
      QString selected = dialog.selectedFiles().value(0);
      files_seen.push_back({dialog.acceptMode(), dialog.fileMode(), dialog.nameFilters(), dialog.defaultSuffix(),
                            !dialog.testOption(QFileDialog::DontConfirmOverwrite), dialog.directory().absolutePath(),
                            selected, QThread::currentThread()});
      if (on_file) on_file(dialog);
      if (files.empty() || !files.front()) {
        if (!files.empty()) files.pop_front();
        return std::nullopt;
      }
      // Taken as a plain QString: GCC cannot see through a copied
      // optional<QString> and warns that it may be uninitialised.
      const QString f = *files.front();
      files.pop_front();
      return f;
    };
    seam.dialog = [this](QDialog& dialog) {
      SeenDialog seen{QString::fromLatin1(dialog.metaObject()->className()), dialog.windowTitle(), {}};
      for (const QLabel* l : dialog.findChildren<QLabel*>()) {
        if (!l->text().isEmpty()) seen.label_texts << l->text();
      }
      dialogs.push_back(seen);
      if (on_dialog) return on_dialog(dialog);
      return dialog_result;
    };
    ui.SetDialogSeam(std::move(seam));
  }

  QStringList BoxTexts() const {
    QStringList t;
    for (const auto& b : boxes) t << b.text;
    return t;
  }

  // Answers to questions, in order (Yes, No, Retry, Cancel).
  std::deque<QMessageBox::StandardButton> answers;
  // Paths chosen in file dialogs, in order; nullopt = Cancel.
  std::deque<std::optional<QString>> files;
  int dialog_result = QDialog::Rejected;
  // Drives a dialog run through ExecDialog as the user would (its controls
  // are live; the dialog is not shown) and returns its result code; when
  // unset the dialog gets dialog_result.
  std::function<int(QDialog&)> on_dialog;
  std::function<void(QMessageBox&)> on_box;
  // Looks at a file dialog before it is answered.
  std::function<void(QFileDialog&)> on_file;

  std::vector<SeenBox> boxes;
  std::vector<SeenFileDialog> files_seen;
  std::vector<SeenDialog> dialogs;
};

// Answers the next real modal message box once it runs: `act` gets the box
// (press a key, click a button). The box is looked for from a timer of the
// event loop that the box itself runs, so no sleeping is involved.
class RealBoxAnswerer : public QObject {
 public:
  explicit RealBoxAnswerer(std::function<void(QMessageBox&)> act) : act_(std::move(act)) {
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      timer_.stop();
      text = box->text();
      thread = QThread::currentThread();
      act_(*box);
      answered = true;
    });
    timer_.start(5);
  }
  bool answered = false;
  QString text;
  QThread* thread = nullptr;

 private:
  std::function<void(QMessageBox&)> act_;
  QTimer timer_;
};

// Catches what Help hands to the desktop's browser.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
  ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
  QList<QUrl> opened;
 public slots:
  void Open(const QUrl& url) { opened << url; }
};

// A clock that moves only when the test says so.
struct ManualClock {
  std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  void Advance(std::chrono::milliseconds d) { now += d; }
  MainWindow::Clock fn() {
    return [this] { return now; };
  }
};

// The program as main() makes it: the user interface, the workspace on a
// clock of the test's choice, and the window on both.
struct Program {
  explicit Program(PanelRegistry panels = StandardPanels(), TickClock& clock = SystemClock())
      : workspace(ui, clock), window(workspace, ui, std::move(panels)) {}
  QtUserInterface ui;
  Workspace workspace;
  MainWindow window;
};

// A window as the program starts it, in a temporary folder: its own lock file
// and settings file, the clock under the test's hand, dialogs scripted. The
// sessions run on the system clock unless a test sets `link_clock_` (a
// ManualTickClock it drives) before the window is made.
class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    MakeWindow(StandardPanels());
  }
  void MakeWindow(PanelRegistry panels) {
    dialogs_.reset();
    window_.reset();
    window_ = std::make_unique<Program>(std::move(panels), *link_clock_);
    window_->window.SetClock(clock_.fn());
    dialogs_ = std::make_unique<ScriptedDialogs>(window_->ui);
  }
  StartOptions Options() const {
    StartOptions o;
    o.lock_path = Path("koko");
    o.settings_path = Path("OV_Setup.cfg");
    o.log_path = Path("OV_Log.txt");
    return o;
  }
  bool Start(QString database = {}) {
    StartOptions o = Options();
    o.database = std::move(database);
    return w().StartUp(o);
  }
  void StartShown() {
    ASSERT_TRUE(Start());
    w().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w()));
  }
  QString Path(const QString& name) const { return dir_.filePath(name); }
  MainWindow& w() { return window_->window; }
  ScriptedDialogs& dialogs() { return *dialogs_; }

  QTemporaryDir dir_;
  ManualClock clock_;
  TickClock* link_clock_ = &SystemClock();
  std::unique_ptr<Program> window_;
  std::unique_ptr<ScriptedDialogs> dialogs_;
};

}  // namespace zel::app::test
