#include "app/main_window.h"

#include <QAction>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/beep.h"
#include "app/help_line.h"
#include "app/icons.h"
#include "app/report_print.h"
#include "app/shell_logic.h"
#include "console/report_pages.h"
#include "core/database_file.h"
#include "core/safe_file.h"
#include "zel/version.h"

#ifndef ZEL_INSTALLED_MANUAL
#define ZEL_INSTALLED_MANUAL ""
#endif

namespace zel::app {
namespace {

QString Utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
// Paths go to the engine in the file system's encoding.
std::string EnginePath(const QString& path) {
  return QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
}

// Menu text, tool-bar tip and status-bar text of each command. The texts are
// the program's own, blanks included.
struct CommandText {
  CommandId id;
  const char* menu;
  const char* tip;     // nullptr: not on the tool bar
  const char* status;  // nullptr: no status text
};
constexpr CommandText kCommands[] = {
    {CommandId::kNew, "Νέο", "Νεο ΒΔ", "Βάση Δεδομένων νεο"},
    {CommandId::kOpen, "Άνοιγμα", "Ανοιγμα", "Ανοιγμα Βάση Δεδομένων"},
    {CommandId::kSave, "Αποθήκευση", "Αποθήκευση", "Αποθήκευση Βάση Δεδομένων"},
    {CommandId::kSaveAs, "Αποθήκευση ως", nullptr, nullptr},
    {CommandId::kToolBar, "Γραμμή εργαλείων", nullptr, nullptr},
    {CommandId::kStatusBar, "Γραμμή κατάστασης", nullptr, nullptr},
    {CommandId::kPrintSetup, "Ρυθμίσεις εκτύπωσης", nullptr, nullptr},
    {CommandId::kExit, "Έξοδος", "Έξοδος ", "Έξοδος από την εφαρμογή"},
    {CommandId::kLogo, "Λογοτυπο", " Λογότυπο", "Φορολογικό λογότυπο"},
    {CommandId::kParameters, "Παραμετροι", " Παράμετροι", "Γενικές Παράμετροι"},
    {CommandId::kItems, "Είδη", "Είδη", "Εφαρμογή ρύθμισης"},
    {CommandId::kOtherData, "Άλλα δεδομένα", "Άλλα δεδομένα", "Άλλα δεδομένα"},
    {CommandId::kTransfer, "Προγραμματισμός", "Προγραμματισμός", "ΦΗΜ Προγραμματισμός"},
    {CommandId::kConsole, "Φορολ.Εκτυπωτης", nullptr, nullptr},
    {CommandId::kPrint, "Εκτύπωση", "Εκτύπωση", nullptr},
    {CommandId::kPrintPreview, "Προεπισκόπ.εκτύπωσης", "Προβολή ", nullptr},
    {CommandId::kHelp, "Οδηγίες προγράμματος", "Οδηγίες βοήθειας", "Οδηγίες βοήθειας"},
    {CommandId::kAbout, "Για την Rumo-Pevka", nullptr, nullptr},
};

// The menu: pop-up titles and their commands; kSeparator draws a line.
constexpr auto kSeparator = static_cast<CommandId>(0);
struct MenuText {
  const char* title;
  std::initializer_list<CommandId> entries;
};
const MenuText kMenus[] = {
    {"         Αρχείο     ",
     {CommandId::kNew, CommandId::kOpen, CommandId::kSave, CommandId::kSaveAs, kSeparator, CommandId::kToolBar,
      CommandId::kStatusBar, CommandId::kPrintSetup, kSeparator, CommandId::kExit}},
    {"     Επεξεργασία", {CommandId::kLogo, CommandId::kParameters, CommandId::kItems, CommandId::kOtherData}},
    {"Σύνδεση", {CommandId::kTransfer, CommandId::kConsole}},
    {"Εκτύπωση", {CommandId::kPrint, CommandId::kPrintPreview}},
    {"Βοήθεια", {CommandId::kHelp, CommandId::kAbout}},
};
constexpr CommandId kToolBarOrder[] = {
    CommandId::kExit,     CommandId::kNew,          CommandId::kOpen,  CommandId::kSave,      kSeparator,
    CommandId::kLogo,     CommandId::kParameters,   CommandId::kItems, CommandId::kOtherData, kSeparator,
    CommandId::kTransfer, CommandId::kPrintPreview, CommandId::kPrint, CommandId::kHelp,
};

// Commands that stay usable while a transfer runs: they neither touch the
// data image nor close the window.
bool UsableDuringTransfer(CommandId id) {
  return id == CommandId::kToolBar || id == CommandId::kStatusBar || id == CommandId::kHelp || id == CommandId::kAbout;
}

}  // namespace

QString DefaultLockPath() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  return QDir(dir).filePath(QStringLiteral("koko"));
}

MainWindow::MainWindow(Workspace& workspace, QtUserInterface& ui, PanelRegistry panels, QWidget* parent)
    : QMainWindow(parent), ws_(workspace), ui_(ui), panels_(std::move(panels)), clock_([] {
        return std::chrono::steady_clock::now();
      }) {
  switch_deadline_ = std::chrono::steady_clock::time_point::min();
  setWindowTitle(Utf8(kStartTitle));
  setWindowIcon(ProgramIcon());
  // No maximise box: the window keeps its size, the panels are laid out for it.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setContextMenuPolicy(Qt::PreventContextMenu);
  setAcceptDrops(true);
  ui_.SetWindow(this);

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("clientArea"));
  setCentralWidget(client_);

  wait_label_ = new QLabel(Utf8(kWaitText), client_);
  wait_label_->setObjectName(QStringLiteral("waitNotice"));
  QFont wait_font(QStringLiteral("Courier New"));
  wait_font.setStyleHint(QFont::Monospace);
  wait_font.setWeight(QFont::Normal);
  wait_label_->setFont(wait_font);
  QPalette wait_palette = wait_label_->palette();
  wait_palette.setColor(QPalette::Window, kWaitBackground);
  wait_palette.setColor(QPalette::WindowText, Qt::black);
  wait_label_->setPalette(wait_palette);
  wait_label_->setAutoFillBackground(true);
  wait_label_->adjustSize();
  wait_label_->hide();

  help_line_ = new HelpLine(statusBar());
  statusBar()->addWidget(help_line_, 1);
  statusBar()->setSizeGripEnabled(false);
  ui_.SetHelpLine(help_line_);
  // Beside the help line, which the mouse keeps rewriting: a notice stays
  // until the next one or for a quarter of a minute.
  notice_ = new QLabel(statusBar());
  notice_->setObjectName(QStringLiteral("notice"));
  notice_->setTextFormat(Qt::PlainText);
  notice_->setContentsMargins(6, 0, 6, 0);
  statusBar()->addPermanentWidget(notice_);
  notice_timer_ = new QTimer(this);
  notice_timer_->setSingleShot(true);
  notice_timer_->setInterval(15000);
  connect(notice_timer_, &QTimer::timeout, notice_, &QLabel::clear);
  connect(&ui_, &QtUserInterface::Noticed, this, &MainWindow::ShowNotice);

  BuildActions();
  BuildMenus();
  BuildToolBar();

  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(QPoint(0, 0), kFrameSize);
  const QRect frame = InitialFrameGeometry(area);
  setGeometry(frame);
  // The window never gets smaller than it started (nor larger: it has no
  // sizing border).
  initial_size_ = frame.size();
  setFixedSize(initial_size_);
}

MainWindow::~MainWindow() {
  // Panels (the shown one and any replaced one not yet deleted) go before the
  // image and interface they refer to, which die before the QWidget base
  // would delete its children.
  qDeleteAll(findChildren<Panel*>(Qt::FindDirectChildrenOnly));
}

void MainWindow::BuildActions() {
  for (const CommandText& c : kCommands) {
    auto* a = new QAction(QString::fromUtf8(c.menu), this);
    a->setObjectName(QStringLiteral("command%1").arg(static_cast<int>(c.id)));
    if (c.tip != nullptr) a->setToolTip(QString::fromUtf8(c.tip));
    if (c.status != nullptr) a->setStatusTip(QString::fromUtf8(c.status));
    a->setIcon(CommandIcon(c.id));
    a->setIconVisibleInMenu(false);
    actions_[c.id] = a;
  }
  const auto on = [this](CommandId id, auto slot) { connect(actions_[id], &QAction::triggered, this, slot); };
  on(CommandId::kNew, [this] { NewCommand(); });
  on(CommandId::kOpen, [this] { OpenCommand(); });
  on(CommandId::kSave, [this] { SaveCommand(false); });
  on(CommandId::kSaveAs, [this] { SaveCommand(true); });
  on(CommandId::kPrintSetup, [this] { PrintSetupCommand(); });
  on(CommandId::kExit, [this] { close(); });
  on(CommandId::kLogo, [this] { SwitchPanel(panel::kLogo); });
  on(CommandId::kParameters, [this] { SwitchPanel(panel::kParameters); });
  on(CommandId::kItems, [this] { SwitchPanel(panel::kItems); });
  on(CommandId::kOtherData, [this] { SwitchPanel(panel::kOtherData); });
  on(CommandId::kTransfer, [this] { SwitchPanel(panel::kTransfer); });
  on(CommandId::kConsole, [this] { SwitchPanel(panel::kConsole); });
  on(CommandId::kPrint, [this] { PrintCommand(); });
  on(CommandId::kPrintPreview, [this] { PrintPreviewCommand(); });
  on(CommandId::kHelp, [this] { HelpCommand(); });
  on(CommandId::kAbout, [this] { AboutCommand(); });

  actions_[CommandId::kNew]->setShortcut(QKeySequence::New);
  actions_[CommandId::kOpen]->setShortcut(QKeySequence::Open);
  actions_[CommandId::kSave]->setShortcut(QKeySequence::Save);
  actions_[CommandId::kPrint]->setShortcut(QKeySequence::Print);
  actions_[CommandId::kHelp]->setShortcut(QKeySequence::HelpContents);

  for (const CommandId id : {CommandId::kToolBar, CommandId::kStatusBar}) {
    actions_[id]->setCheckable(true);
    actions_[id]->setChecked(true);
  }
  connect(actions_[CommandId::kToolBar], &QAction::toggled, this, [this](bool shown) { tool_bar_->setVisible(shown); });
  connect(actions_[CommandId::kStatusBar], &QAction::toggled, this,
          [this](bool shown) { statusBar()->setVisible(shown); });
}

void MainWindow::BuildMenus() {
  for (const MenuText& m : kMenus) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(m.title));
    for (const CommandId id : m.entries) {
      if (id == kSeparator) {
        menu->addSeparator();
      } else {
        menu->addAction(actions_.at(id));
      }
    }
  }
}

void MainWindow::BuildToolBar() {
  tool_bar_ = addToolBar(QStringLiteral("Setup ZEL"));
  tool_bar_->setObjectName(QStringLiteral("toolBar"));
  tool_bar_->setMovable(false);
  tool_bar_->setFloatable(false);
  tool_bar_->setIconSize(QSize(24, 24));
  tool_bar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  for (const CommandId id : kToolBarOrder) {
    if (id == kSeparator) {
      tool_bar_->addSeparator();
    } else {
      tool_bar_->addAction(actions_.at(id));
    }
  }
}

QAction* MainWindow::action(CommandId id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

bool MainWindow::StartUp(const StartOptions& options) {
  lock_ = std::make_unique<QLockFile>(options.lock_path.isEmpty() ? DefaultLockPath() : options.lock_path);
  // Only a living holder keeps the lock: one left by a crashed copy is taken
  // over however old it is, one held by a running copy however long it ran.
  lock_->setStaleLockTime(0);
  if (!lock_->tryLock(0)) {
    if (lock_->error() == QLockFile::LockFailedError) {
      lock_.reset();
      ui_.ShowMessage(kMsgAlreadyRunning, Icon::kError, {}, true);
      return false;
    }
    // The runtime folder cannot hold the lock (read-only, missing): run
    // without the single-instance guard rather than not at all.
    qWarning("setupzel: cannot create the lock file %s", qPrintable(lock_->fileName()));
    lock_.reset();
  }
  ws_.settings_path = QFile::encodeName(options.settings_path).toStdString();
  ws_.log_path = QFile::encodeName(options.log_path).toStdString();
  LoadSettings(ws_.link, ws_.settings_path);
  ws_.image.ResetToDefaults();
  ui_.SetTitle(kStartTitle);
  if (!options.database.isEmpty()) return OpenDatabasePath(ws_.image, ui_, EnginePath(options.database));
  return true;
}

bool MainWindow::SwitchPanel(int number) {
  if (number == ws_.image.state.active_panel && !pending_) return false;
  if (busy_ || pending_) {
    // A transfer works on its copy and reports to its panel; a panel that
    // is ending its work goes first.
    app::Beep(400, 40);
    return false;
  }
  if (number != panel::kNone && !panels_.Has(number)) return false;
  if (number != panel::kNone && SwitchTooSoon(clock_(), switch_deadline_)) {
    app::Beep(400, 40);
    return false;
  }
  if (panel_ && !panel_->PrepareToHide()) {
    pending_ = PendingSwitch{number, {}};
    SetBusy(true);
    return true;
  }
  DoSwitch(number);
  return true;
}

bool MainWindow::PanelClosedNow(std::function<void()> again) {
  if (pending_) {
    // Already waiting for the panel: this command comes when it has gone.
    if (!pending_->then) pending_->then = std::move(again);
    return false;
  }
  if (!panel_ || panel_->PrepareToHide()) {
    DoSwitch(panel::kNone);
    return true;
  }
  pending_ = PendingSwitch{panel::kNone, std::move(again)};
  SetBusy(true);
  return false;
}

void MainWindow::FinishPendingSwitch() {
  if (!pending_ || (panel_ && !panel_->PrepareToHide())) return;
  PendingSwitch pending = std::move(*pending_);
  pending_.reset();
  SetBusy(false);
  DoSwitch(pending.number);
  if (pending.then) pending.then();
}

void MainWindow::DoSwitch(int number) {
  KeepUnsavedFlag kept(ws_.image);
  if (panel_) {
    Panel* old = panel_;
    panel_ = nullptr;
    disconnect(old, &Panel::ReadyToHide, this, nullptr);
    old->OnHide();
    old->hide();
    // Later, not now: the switch may come from a click handler of that very
    // panel (the parameters panel opens the transfer panel), still on the stack.
    old->deleteLater();
    // The closed panel's help (a field's yellow line) goes with it.
    editor_shared_.status_help = 0;
    editors::ClearHelpLine(editor_shared_, ui_);
  }
  kept.Restore();
  ws_.image.state.active_panel = static_cast<std::uint16_t>(number);
  if (number != panel::kNone) {
    ShowWaitNotice(true);
    std::unique_ptr<Panel> made = panels_.Create(number, PanelContext{ws_, *this});
    if (made) {
      panel_ = made.release();
      panel_->setParent(this);
      connect(panel_, &Panel::ReadyToHide, this, &MainWindow::FinishPendingSwitch, Qt::QueuedConnection);
      PlacePanel();
      panel_->show();
      panel_->raise();
      panel_->OnShow();
    }
    ShowWaitNotice(false);
  }
  PlacePanel();
  update();
  switch_deadline_ = clock_() + kPanelSwitchPause;
}

void MainWindow::ShowWaitNotice(bool on) {
  if (!on) {
    wait_label_->hide();
    return;
  }
  wait_label_->move(client_->width() / 3, client_->height() / 2);
  wait_label_->show();
  wait_label_->raise();
  // Painted now: the panel being built holds the UI thread until it is done.
  wait_label_->repaint();
}

void MainWindow::PlacePanel() {
  if (panel_) panel_->move(PanelPosition(size(), panel_->size()));
}

void MainWindow::SetBusy(bool busy) {
  busy_ = busy;
  for (const auto& [id, a] : actions_) {
    if (UsableDuringTransfer(id)) continue;
    a->setEnabled(!busy);
  }
}

// ---- File commands ---------------------------------------------------------

void MainWindow::NewCommand() {
  if (!PanelClosedNow([this] { NewCommand(); })) return;
  NewDatabase(ws_.image, ui_);
}

void MainWindow::OpenCommand() {
  if (!PanelClosedNow([this] { OpenCommand(); })) return;
  OpenDatabase(ws_.image, ui_);
}

void MainWindow::SaveCommand(bool save_as) {
  if (!PanelClosedNow([this, save_as] { SaveCommand(save_as); })) return;
  SaveDatabase(ws_.image, ui_, save_as);
}

bool MainWindow::OpenDroppedFile(const QString& path) {
  if (busy_) return false;
  // A drop replaces the whole image, so it is treated like Open: the panel
  // (which would store stale fields on hiding) closes first, and unsaved
  // changes are not thrown away without the question.
  if (!PanelClosedNow([this, path] { OpenDroppedFile(path); })) return false;
  if (ws_.image.state.modified && !ui_.AskYesNo(kMsgChangesLost, Icon::kExclamation)) return false;
  if (!OpenDatabasePath(ws_.image, ui_, EnginePath(path))) return false;
  ws_.image.state.modified = false;
  return true;
}

// ---- Help, about, printing ---------------------------------------------------

void MainWindow::HelpCommand() {
  const QString path = !manual_path_.isEmpty()
                           ? manual_path_
                           : FindManual(QCoreApplication::applicationDirPath(), QStringLiteral(ZEL_INSTALLED_MANUAL));
  if (path.isEmpty() || !QFileInfo(path).isFile()) {
    ui_.ShowMessage("Δεν βρέθηκαν οι οδηγίες του προγράμματος (docs/manual/index.html).", Icon::kError);
    return;
  }
  const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
  const bool opened = open_url_ ? open_url_(url) : QDesktopServices::openUrl(url);
  // No desktop browser (no xdg-open): the manual in a window of our own.
  if (!opened) ShowManualWindow(QFileInfo(path).absoluteFilePath());
}

void MainWindow::ShowManualWindow(const QString& path) {
  if (!help_window_) {
    help_window_ = new QDialog(this, Qt::Window);
    help_window_->setObjectName(QStringLiteral("manualWindow"));
    help_window_->setWindowTitle(QStringLiteral("Οδηγίες προγράμματος"));
    help_window_->setAttribute(Qt::WA_DeleteOnClose);
    auto* browser = new QTextBrowser(help_window_);
    browser->setObjectName(QStringLiteral("manual"));
    // Links inside the manual move within the window; links to the web go
    // to whatever the desktop has for them.
    browser->setOpenLinks(true);
    browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(help_window_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    help_window_->resize(std::min(820, width()), std::min(640, height()));
  }
  help_window_->findChild<QTextBrowser*>()->setSource(QUrl::fromLocalFile(path));
  help_window_->show();
  help_window_->raise();
  help_window_->activateWindow();
}

void MainWindow::AboutCommand() {
  QDialog about(this);
  about.setObjectName(QStringLiteral("aboutBox"));
  about.setWindowTitle(QStringLiteral("Πληροφορίες για την Ostra/Velor"));
  auto* icon = new QLabel(&about);
  icon->setPixmap(ProgramIcon().pixmap(48, 48));
  auto* version = new QLabel(QStringLiteral("Setup-ZEL - Έκδοση ") +
                                 QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size())),
                             &about);
  version->setObjectName(QStringLiteral("version"));
  auto* purpose = new QLabel(QStringLiteral("Εφαρμογή ρύθμισης για τη ΦΗΜ "), &about);
  purpose->setObjectName(QStringLiteral("purpose"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
  connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
  auto* texts = new QVBoxLayout;
  texts->addWidget(version);
  texts->addWidget(purpose);
  auto* row = new QHBoxLayout;
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addLayout(texts, 1);
  auto* layout = new QVBoxLayout(&about);
  layout->addLayout(row);
  layout->addWidget(buttons);
  // Wide enough for the whole title beside the title bar's buttons.
  QFont title_font = about.font();
  title_font.setBold(true);
  about.setMinimumWidth(QFontMetrics(title_font).horizontalAdvance(about.windowTitle()) + 180);
  ui_.ExecDialog(about);
}

bool MainWindow::PickReportFile() {
  print_report_path_.clear();
  FileDialog request;
  request.mode = FileDialog::Mode::kOpen;
  request.filter = "Setup ZEL ΑΛΛΑΓΗ (*.txt)|*.txt||";
  request.default_extension = ".txt";
  request.overwrite_prompt = true;
  // No name to start with; the folder is the one the report files go to
  // when the transfer panel has chosen one.
  if (!ws_.report_path.empty()) {
    request.initial_path =
        QFile::encodeName(QFileInfo(QFile::decodeName(QByteArray::fromStdString(ws_.report_path))).absolutePath() +
                          QLatin1Char('/'))
            .toStdString();
  }
  const std::optional<std::string> chosen = ui_.ChooseFile(request);
  if (!chosen) return false;
  print_report_path_ = *chosen;
  return true;
}

bool MainWindow::PaintReport(QPrinter& printer, int from, int to) {
  // The text block is placed on the whole sheet, whatever the printer's margins.
  printer.setFullPage(true);
  if (!PrintReport(printer, print_report_path_, from, to).ok) {
    ui_.ShowMessage("Δεν ήταν δυνατό να διαβαστεί το αρχείο της αναφοράς:\n" +
                        QFile::decodeName(QByteArray::fromStdString(print_report_path_)).toStdString(),
                    Icon::kError);
    return false;
  }
  return true;
}

void MainWindow::ShowNotice(const QString& text) {
  notice_->setText(text);
  notice_timer_->start();
  if (preview_status_) preview_status_->showMessage(text);
}

void MainWindow::SaveReportPdf() {
  FileDialog request;
  request.mode = FileDialog::Mode::kSave;
  request.filter = "PDF (*.pdf)|*.pdf||";
  request.default_extension = ".pdf";
  request.overwrite_prompt = true;
  // Beside the report, with its name: FM_123.TXT -> FM_123.pdf.
  const QFileInfo report(QFile::decodeName(QByteArray::fromStdString(print_report_path_)));
  request.initial_path =
      QFile::encodeName(report.absolutePath() + QLatin1Char('/') + report.completeBaseName() + QStringLiteral(".pdf"))
          .toStdString();
  const std::optional<std::string> chosen = ui_.ChooseFile(request);
  if (!chosen) return;
  const QString pdf = QFile::decodeName(QByteArray::fromStdString(*chosen));
  if (const std::optional<QString> error = WriteReportPdf(print_report_path_, pdf)) {
    ui_.ShowMessage(error->toStdString(), Icon::kError);
    return;
  }
  ui_.Notify("Αποθηκεύτηκε το αρχείο " + EscapedControls(QFileInfo(pdf).fileName().toStdString()));
}

void MainWindow::PrintSetupCommand() {
  QPageSetupDialog dialog(&printer(), this);
  ui_.ExecDialog(dialog);
}

void MainWindow::PrintPreviewCommand() {
  if (!PanelClosedNow([this] { PrintPreviewCommand(); })) return;
  if (!PickReportFile()) return;
  if (!console::MeasureReport(print_report_path_, {1200, 1200})) {
    PaintReport(printer());  // says why
    return;
  }
  QPrintPreviewDialog dialog(&printer(), this);
  dialog.setObjectName(QStringLiteral("reportPreview"));
  connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { PaintReport(*p); });
  if (auto* tools = dialog.findChild<QToolBar*>()) {
    tools->addSeparator();
    QAction* pdf = tools->addAction(
        QIcon::fromTheme(QStringLiteral("document-save-as"), style()->standardIcon(QStyle::SP_DialogSaveButton)),
        QStringLiteral("Αποθήκευση ως PDF"));
    pdf->setObjectName(QStringLiteral("savePdf"));
    pdf->setToolTip(pdf->text());
    connect(pdf, &QAction::triggered, this, [this] { SaveReportPdf(); });
  }
  // The preview covers the window's status bar: it says what was saved on
  // its own.
  if (auto* column = qobject_cast<QBoxLayout*>(dialog.layout())) {
    auto* bar = new QStatusBar(&dialog);
    bar->setObjectName(QStringLiteral("previewStatus"));
    bar->setSizeGripEnabled(false);
    column->addWidget(bar);
    preview_status_ = bar;
  }
  dialog.resize(std::min(900, width()), std::min(700, height()));
  ui_.ExecDialog(dialog);
}

void MainWindow::PrintCommand() {
  if (!PanelClosedNow([this] { PrintCommand(); })) return;
  if (!PickReportFile()) return;
  const std::optional<console::ReportMeasure> measure = console::MeasureReport(print_report_path_, {1200, 1200});
  if (!measure) {
    PaintReport(printer());  // says why
    return;
  }
  QPrintDialog dialog(&printer(), this);
  dialog.setMinMax(1, std::max(console::kReportPageTable, measure->page_count));
  if (ui_.ExecDialog(dialog) != QDialog::Accepted) return;
  const bool range = printer().printRange() == QPrinter::PageRange;
  PaintReport(printer(), range ? printer().fromPage() : 0, range ? printer().toPage() : 0);
}

QPrinter& MainWindow::printer() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer_;
}

// ---- Window events -------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy_ || pending_) {
    // A transfer must be stopped first; a panel ending its work closes the
    // window itself when it is done.
    if (!pending_) app::Beep(400, 40);
    event->ignore();
    return;
  }
  if (ws_.image.state.modified && !ui_.AskYesNo(kMsgExitUnsaved, Icon::kQuestion, true)) {
    event->ignore();
    return;
  }
  ws_.image.state.modified = false;
  if (!PanelClosedNow([this] { close(); })) {
    event->ignore();
    return;
  }
  event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized() && !busy_) PanelClosedNow({});
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  PlacePanel();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!busy_ && event->mimeData()->hasUrls() && DroppedFile(event->mimeData()->urls())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const std::optional<QString> file = DroppedFile(event->mimeData()->urls());
  if (!file) return;
  event->acceptProposedAction();
  // Opened once the drop is over: a message box inside the drop would keep
  // the dragging program waiting.
  QTimer::singleShot(0, this, [this, path = *file] { OpenDroppedFile(path); });
}

}  // namespace zel::app
