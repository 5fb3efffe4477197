// The main window: menu, tool bar, help line, the file commands, and the one
// panel at a time that it shows over its client area.
//
// It owns the program's data image, link selection and user interface, and
// the single-instance lock. StartUp runs what the program does before the
// window shows (lock, settings file, defaults, the file named on the command
// line) and says whether the program may go on.
//
// Panel switching: SwitchPanel(n) replaces the shown panel by panel n. A
// switch is refused with a beep until a second has passed since the last one
// (the clock can be replaced for tests); closing the panel (n = 0), as the
// file commands, Exit and minimising do, is never refused, since a panel left
// open would go on showing, and on hiding store, data the command replaced.
//
// UI thread only, except transfer_running() which any thread may read.
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

#include "app/commands.h"
#include "app/help_line.h"
#include "app/panel.h"
#include "app/qt_user_interface.h"
#include "console/command_link.h"
#include "core/data_image.h"
#include "editors/field_edit.h"
#include "link/exchange.h"
#include "link/settings.h"

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

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  explicit MainWindow(PanelRegistry panels = StandardPanels(), QWidget* parent = nullptr);
  ~MainWindow() override;

  // Lock, settings, defaults, first title, command-line file. False when the
  // program must end (another copy runs, the named file cannot be read); the
  // reason has been shown.
  bool StartUp(const StartOptions& options);

  // ---- What panels work with
  DataImage& image() { return image_; }
  QtUserInterface& ui() { return ui_; }
  LinkSelection& link() { return link_; }
  // The one link session of the program's life, so the frame sequence number
  // runs on from one transfer to the next. Only the thread running a transfer
  // or check uses it, except its abort flag (Stop).
  LinkSession& link_session() { return link_session_; }
  // The fiscal printer console's own link, for the program's life like the
  // transfer's session: its baud choice and LAN sequence number run on from
  // one showing of the console to the next. Only the thread running a
  // console key uses it, except its abort flag (Stop, closing).
  PrinterLink& printer_link() { return printer_link_; }
  // Where the report files go: the path chosen on the transfer panel (file
  // system encoding; only its folder counts). Empty until one is chosen.
  std::string& report_path() { return report_path_; }
  const QString& settings_path() const { return settings_path_; }
  const QString& log_path() const { return log_path_; }
  HelpLine& help_line() { return *help_line_; }
  // The notice beside the help line: what was just done ("Αποθηκεύτηκε το
  // αρχείο items.csv: 120 είδη"), for a while.
  QLabel& notice() { return *notice_; }
  // What the editor panels' fields share for the program's life: the help
  // line's state, the list group of the other-data panel, the CSV file path.
  editors::EditorShared& editor_shared() { return editor_shared_; }
  // Shows panel `number` (0: none). Returns true when it switched. Refused
  // with a beep while a transfer runs.
  bool SwitchPanel(int number);
  // The panel shown, or nullptr.
  Panel* active_panel() const { return panel_; }
  // Set by the transfer panel around a transfer: while set, minimising keeps
  // the panel, the window's commands are disabled and the window does not
  // close (the transfer works on the data image).
  void SetTransferRunning(bool running);
  bool transfer_running() const { return transfer_running_.load(); }

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
  void ClosePanelForCommand();
  void PlacePanel();
  void ShowWaitNotice(bool on);
  // Shows `text` as the notice, and on the report preview's own status bar
  // while the preview covers the window's.
  void ShowNotice(const QString& text);
  void ShowManualWindow(const QString& path);

  // The program's data image. Written on the UI thread, except while a
  // transfer runs and the window is locked (transfer-running flag set,
  // commands and panel switches refused): then only the transfer's worker
  // writes it and the UI thread leaves it alone. Bound to the UI thread as
  // its writer; the worker takes it over with an ImageWriter, so a debug
  // build asserts on a write from the wrong thread.
  DataImage image_;
  LinkSelection link_;
  LinkSession link_session_;
  std::string report_path_;
  QString settings_path_ = QString::fromLatin1(kSettingsFile);
  QString log_path_ = QString::fromLatin1(kLogFile.data(), static_cast<qsizetype>(kLogFile.size()));
  QtUserInterface ui_;
  PrinterLink printer_link_{ui_};
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
  std::atomic<bool> transfer_running_{false};
  QSize initial_size_;
  QString manual_path_;
  std::unique_ptr<QPrinter> printer_;
  std::string print_report_path_;
  std::function<bool(const QUrl&)> open_url_;
  QPointer<QDialog> help_window_;
};

}  // namespace zel::app
