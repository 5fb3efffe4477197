// The main window: menu, tool bar, help line, the file commands, and the one
// panel at a time that it shows over its client area.
//
// It works on the program's Workspace (data image, link selection, the two
// sessions, paths), which main() makes and hands to it, shows it to its
// panels through the narrow Shell interface, and holds the single-instance
// lock. StartUp runs what the program does before the window shows (lock,
// settings file, defaults, the file named on the command line) and says
// whether the program may go on.
//
// Panel switching: SwitchPanel(n) replaces the shown panel by panel n. A
// switch is refused with a beep until a second has passed since the last one
// (the clock can be replaced for tests); closing the panel (n = 0), as the
// file commands, Exit and minimising do, is never refused, since a panel left
// open would go on showing, and on hiding store, data the command replaced.
// A panel that must end its work before it goes (the console with a key in
// flight voids its receipt first) is asked to, and the switch, or the command
// that closed it, completes when it says it is ready; the window is locked
// meanwhile. No event loop of our own runs for it.
//
// UI thread only.
#pragma once

#include <QLockFile>
#include <QMainWindow>
#include <QPointer>
#include <QPrinter>
#include <QStatusBar>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "app/commands.h"
#include "app/help_line.h"
#include "app/panel.h"
#include "app/qt_user_interface.h"
#include "app/shell.h"
#include "editors/field_edit.h"
#include "session/workspace.h"

class QDialog;
class QLabel;
class QUrl;
class QToolBar;

namespace zel::app {

inline constexpr std::string_view kStartTitle = "Setup ZEL - Προεπιλεγμένη δεδομένων";
inline constexpr std::string_view kMsgAlreadyRunning = "Η εφαρμογή είναι ήδη ανοιχτή...";
inline constexpr std::string_view kMsgExitUnsaved = "Έξοδος χωρίς αποθήκευση;";
inline constexpr std::string_view kWaitText = "ΠΑΡΑΚΑΛΩ ΠΕΡΙΜΕΝΕΤΕ...";
inline const QColor kWaitBackground{255, 255, 200};

struct StartOptions {
  // The single-instance lock; DefaultLockPath() for the program.
  QString lock_path;
  // The link selection's settings file (read if present; the transfer panel
  // writes it back when it is hidden).
  QString settings_path = QString::fromLatin1(kSettingsFile);
  // The communication log of transfers and connection checks.
  QString log_path = QString::fromLatin1(kLogFile.data(), static_cast<qsizetype>(kLogFile.size()));
  // A database file to open at once (command line); empty for none.
  QString database;
};

// "koko" in the user's runtime folder.
QString DefaultLockPath();

class MainWindow : public QMainWindow, public Shell {
  Q_OBJECT
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // `ui` is the workspace's user interface; the window owns its boxes.
  MainWindow(Workspace& workspace, QtUserInterface& ui, PanelRegistry panels = StandardPanels(),
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // Lock, settings, defaults, first title, command-line file. False when the
  // program must end (another copy runs, the named file cannot be read); the
  // reason has been shown.
  bool StartUp(const StartOptions& options);

  // ---- Shell: what panels may ask of the window
  bool SwitchPanel(int number) override;
  void SetBusy(bool busy) override;
  bool busy() const override { return busy_; }
  // Shows `text` as the notice, and on the report preview's own status bar
  // while that is open.
  void ShowNotice(const QString& text) override;
  QtUserInterface& ui() override { return ui_; }
  // What the editor panels' fields share for the program's life: the help
  // line's state, the list group of the other-data panel, the CSV file path.
  editors::EditorShared& editor_shared() override { return editor_shared_; }

  // ---- The workspace, and short names into it
  Workspace& workspace() { return ws_; }
  DataImage& image() { return ws_.image; }
  LinkSelection& link() { return ws_.link; }
  LinkSession& link_session() { return ws_.programming; }
  PrinterLink& printer_link() { return ws_.printer; }
  std::string& report_path() { return ws_.report_path; }
  HelpLine& help_line() { return *help_line_; }
  // The notice beside the help line: what was just done ("Αποθηκεύτηκε το
  // αρχείο …").
  QLabel& notice() { return *notice_; }
  // The panel shown, or nullptr.
  Panel* active_panel() const { return panel_; }
  // A switch waits for the shown panel to end its work.
  bool switch_pending() const { return pending_.has_value(); }

  // ---- Commands (menu and tool bar)
  void NewCommand();
  void OpenCommand();
  void SaveCommand(bool save_as);
  // A file dropped on the window.
  bool OpenDroppedFile(const QString& path);
  void HelpCommand();
  void AboutCommand();
  void PrintSetupCommand();
  void PrintPreviewCommand();
  void PrintCommand();
  QAction* action(CommandId id) const;
  QToolBar* tool_bar() const { return tool_bar_; }

  // ---- Report view: printing and previewing report text files.
  // The printer is made on first use: asking the print system for its
  // printers can take a while, and most sessions never print.
  QPrinter& printer();
  // First step of print and preview: closes the panel, empties the report
  // path and asks for the report file. True when one was chosen.
  bool PickReportFile();
  // The report file last picked (file system encoding); empty after a
  // cancelled pick.
  const std::string& print_report_path() const { return print_report_path_; }
  // Paints the picked report on `printer` (pages `from`..`to`, 0 for all).
  // False, after a message, when the file cannot be read.
  bool PaintReport(QPrinter& printer, int from = 0, int to = 0);
  // "Αποθήκευση ως PDF" of the preview: asks for the PDF file and writes it.
  void SaveReportPdf();

  // ---- Test seams
  void SetClock(Clock clock) { clock_ = std::move(clock); }
  // The manual Help opens (found beside the program by default).
  void SetManualPath(QString path) { manual_path_ = std::move(path); }
  // How Help hands the manual to the desktop's browser (false: no browser).
  void SetUrlOpener(std::function<bool(const QUrl&)> opener) { open_url_ = std::move(opener); }
  // The program's own manual window, shown when there is no browser.
  QDialog* help_window() const { return help_window_; }
  // The wait notice shown while a panel is being built.
  QLabel* wait_label() const { return wait_label_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  // Closes the shown panel now when it can go at once (true). Otherwise asks
  // it to end its work, runs `again` once it has gone, and returns false:
  // the command that called it returns and is run again then.
  bool PanelClosedNow(std::function<void()> again);
  // The shown panel said it is ready to go: the waiting switch completes.
  void FinishPendingSwitch();
  // Replaces the shown panel by panel `number` (the shown one may go now).
  void DoSwitch(int number);
  void PlacePanel();
  void ShowWaitNotice(bool on);
  void ShowManualWindow(const QString& path);

  // The program's state that exists once. Only the UI thread uses it: a
  // transfer works on a copy of the image and the window commits it.
  Workspace& ws_;
  QtUserInterface& ui_;
  editors::EditorShared editor_shared_;
  PanelRegistry panels_;
  std::unique_ptr<QLockFile> lock_;

  std::map<CommandId, QAction*> actions_;
  QToolBar* tool_bar_ = nullptr;
  HelpLine* help_line_ = nullptr;
  QLabel* notice_ = nullptr;
  QTimer* notice_timer_ = nullptr;
  QPointer<QStatusBar> preview_status_;
  QWidget* client_ = nullptr;
  QLabel* wait_label_ = nullptr;
  QPointer<Panel> panel_;

  Clock clock_;
  std::chrono::steady_clock::time_point switch_deadline_{};
  bool busy_ = false;
  // A switch waiting for the shown panel to end its work: the panel to show
  // then, and what to run after it.
  struct PendingSwitch {
    int number = 0;
    std::function<void()> then;
  };
  std::optional<PendingSwitch> pending_;
  QSize initial_size_;
  QString manual_path_;
  std::unique_ptr<QPrinter> printer_;
  std::string print_report_path_;
  std::function<bool(const QUrl&)> open_url_;
  QPointer<QDialog> help_window_;
};

}  // namespace zel::app
