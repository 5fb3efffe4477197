// The main window driven as a dealer drives it: menu and tool bar, panel
// switching with its one-second pause, the file commands with their
// questions and dialogs, exit, the single-instance lock, files from the
// command line and dropped on the window, help and about.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QDoubleSpinBox>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <fstream>

#include "app/beep.h"
#include "app/help_line.h"
#include "app/shell_logic.h"
#include "core/database_file.h"
#include "gui_support.h"

namespace zel::app {
namespace {

using namespace std::chrono_literals;
using test::RealBoxAnswerer;
using test::WindowFixture;

// ---- Menu and tool bar ---------------------------------------------------------

QStringList Entries(const QList<QAction*>& actions) {
  QStringList out;
  for (const QAction* a : actions) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return out;
}

TEST_F(WindowFixture, MenuHasFivePopupsWithExactTextsAndBlanks) {
  const std::vector<std::pair<QString, QStringList>> expected = {
      {"         Αρχείο     ",
       {"Νέο", "Άνοιγμα", "Αποθήκευση", "Αποθήκευση ως", "-", "Γραμμή εργαλείων", "Γραμμή κατάστασης",
        "Ρυθμίσεις εκτύπωσης", "-", "Έξοδος"}},
      {"     Επεξεργασία", {"Λογοτυπο", "Παραμετροι", "Είδη", "Άλλα δεδομένα"}},
      {"Σύνδεση", {"Προγραμματισμός", "Φορολ.Εκτυπωτης"}},
      {"Εκτύπωση", {"Εκτύπωση", "Προεπισκόπ.εκτύπωσης"}},
      {"Βοήθεια", {"Οδηγίες προγράμματος", "Για την Rumo-Pevka"}},
  };
  const QList<QAction*> popups = w().menuBar()->actions();
  ASSERT_EQ(popups.size(), static_cast<qsizetype>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const QAction* popup = popups[static_cast<qsizetype>(i)];
    EXPECT_EQ(popup->text(), expected[i].first);
    ASSERT_NE(popup->menu(), nullptr);
    EXPECT_EQ(Entries(popup->menu()->actions()), expected[i].second) << expected[i].first.toStdString();
  }
}

TEST_F(WindowFixture, ToolBarHasItsOrderTipsAndStatusTexts) {
  const QStringList tips = {"Έξοδος ",         "Νεο ΒΔ",      "Ανοιγμα",  "Αποθήκευση",      "-",
                            " Λογότυπο",       " Παράμετροι", "Είδη",     "Άλλα δεδομένα",   "-",
                            "Προγραμματισμός", "Προβολή ",    "Εκτύπωση", "Οδηγίες βοήθειας"};
  const QStringList status = {"Έξοδος από την εφαρμογή",
                              "Βάση Δεδομένων νεο",
                              "Ανοιγμα Βάση Δεδομένων",
                              "Αποθήκευση Βάση Δεδομένων",
                              "-",
                              "Φορολογικό λογότυπο",
                              "Γενικές Παράμετροι",
                              "Εφαρμογή ρύθμισης",
                              "Άλλα δεδομένα",
                              "-",
                              "ΦΗΜ Προγραμματισμός",
                              "",
                              "",
                              "Οδηγίες βοήθειας"};
  // The same commands as the menu's, so one click reaches the same command.
  const QStringList menu_texts = {"Έξοδος",
                                  "Νέο",
                                  "Άνοιγμα",
                                  "Αποθήκευση",
                                  "-",
                                  "Λογοτυπο",
                                  "Παραμετροι",
                                  "Είδη",
                                  "Άλλα δεδομένα",
                                  "-",
                                  "Προγραμματισμός",
                                  "Προεπισκόπ.εκτύπωσης",
                                  "Εκτύπωση",
                                  "Οδηγίες προγράμματος"};
  QStringList seen_tips, seen_status, seen_texts;
  for (QAction* a : w().tool_bar()->actions()) {
    if (a->isSeparator()) {
      seen_tips << "-";
      seen_status << "-";
      seen_texts << "-";
      continue;
    }
    auto* button = qobject_cast<QToolButton*>(w().tool_bar()->widgetForAction(a));
    ASSERT_NE(button, nullptr);
    seen_tips << button->toolTip();
    seen_status << a->statusTip();
    seen_texts << a->text();
    EXPECT_FALSE(button->icon().isNull()) << a->text().toStdString();
  }
  EXPECT_EQ(seen_tips, tips);
  EXPECT_EQ(seen_status, status);
  EXPECT_EQ(seen_texts, menu_texts);
}

TEST_F(WindowFixture, StartsWithItsTitleSizeDefaultsAndIdleHelpLine) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(w().windowTitle(), QString("Setup ZEL - Προεπιλεγμένη δεδομένων"));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(w().size(), InitialFrameGeometry(screen).size());
  EXPECT_FALSE(w().windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(w().image() == DataImage());
  EXPECT_EQ(w().image().state.active_panel, 0);
  EXPECT_EQ(w().active_panel(), nullptr);
  EXPECT_EQ(w().help_line().text(), QString());
  EXPECT_EQ(w().help_line().style(), HelpLine::Style::kNoBorder);
  EXPECT_TRUE(w().acceptDrops());

  // Never smaller than it started.
  const QSize initial = w().size();
  w().resize(initial.width() / 2, initial.height() / 2);
  EXPECT_EQ(w().size(), initial);
}

TEST_F(WindowFixture, StartReadsTheLinkSelectionFromTheSettingsFile) {
  {
    std::ofstream f(Path("OV_Setup.cfg").toStdString(), std::ios::binary);
    f.write("\x0C\x00\x01\x00\x0A\x01\x02\x03", 8);
  }
  ASSERT_TRUE(Start());
  EXPECT_EQ(w().link().port, 12);
  EXPECT_EQ(w().link().ip, (IPv4{10, 1, 2, 3}));
  EXPECT_EQ(w().link().baud(), 115200);
}

TEST_F(WindowFixture, ToolBarAndStatusBarCanBeHiddenAndShownAgain) {
  StartShown();
  for (const CommandId id : {CommandId::kToolBar, CommandId::kStatusBar}) {
    QWidget* bar = id == CommandId::kToolBar ? static_cast<QWidget*>(w().tool_bar()) : w().statusBar();
    QAction* toggle = w().action(id);
    ASSERT_TRUE(toggle->isChecked());
    toggle->trigger();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(toggle->isChecked());
    toggle->trigger();
    EXPECT_TRUE(bar->isVisible());
  }
}

// ---- Panels ------------------------------------------------------------------------

// What the probe panels saw: their show/hide hooks, and the wait notice while
// the main window built them.
struct ProbeLog {
  std::vector<std::string> events;
  bool dirty_on_show = false;  // the panel sets the flag when shown
  bool clean_on_hide = false;  // the panel clears the flag when hidden
  struct Wait {
    bool visible;
    QString text;
    QPoint pos;
    QColor background, ink;
    QFont font;
  };
  std::vector<Wait> waits;
  int switch_to = 4;
};

class ProbePanel : public Panel {
 public:
  ProbePanel(int number, const PanelContext& c, ProbeLog& log) : Panel(number, PanelCaption(number), c), log_(log) {
    resize(500, 300 + 10 * number);
    auto* b = new QPushButton(QStringLiteral("→"), this);
    b->setObjectName(QStringLiteral("switch"));
    connect(b, &QPushButton::clicked, this, [this] { context().shell.SwitchPanel(log_.switch_to); });
  }
  void OnShow() override {
    log_.events.push_back("show " + std::to_string(number()));
    if (log_.dirty_on_show) image().state.modified = true;
  }
  void OnHide() override {
    log_.events.push_back("hide " + std::to_string(number()));
    if (log_.clean_on_hide) image().state.modified = false;
  }

 private:
  ProbeLog& log_;
};

class PanelTest : public WindowFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    PanelRegistry r;
    for (const int n : {1, 2, 3, 4, 5, 7}) {
      r.Register(n, [this, n](const PanelContext& c) {
        const QLabel* l = w().wait_label();
        log_.waits.push_back({l->isVisible(), l->text(), l->pos(), l->palette().color(QPalette::Window),
                              l->palette().color(QPalette::WindowText), l->font()});
        return std::make_unique<ProbePanel>(n, c, log_);
      });
    }
    MakeWindow(std::move(r));
    StartShown();
  }
  void Click(CommandId id) {
    QWidget* button = w().tool_bar()->widgetForAction(w().action(id));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  ProbeLog log_;
};

TEST_F(PanelTest, SecondSwitchWithinOneSecondOnlyBeeps) {
  Click(CommandId::kLogo);
  ASSERT_NE(w().active_panel(), nullptr);
  EXPECT_EQ(w().active_panel()->number(), 1);
  QPointer<Panel> logo = w().active_panel();

  const int beeps = Beeps().count;
  clock_.Advance(999ms);
  Click(CommandId::kItems);
  EXPECT_EQ(Beeps().count, beeps + 1);
  EXPECT_EQ(Beeps().last_hz, 400);
  EXPECT_EQ(Beeps().last_ms, 40);
  EXPECT_EQ(w().active_panel(), logo.data());
  EXPECT_EQ(w().image().state.active_panel, 1);

  clock_.Advance(1ms);  // exactly one second after the switch
  Click(CommandId::kItems);
  EXPECT_EQ(Beeps().count, beeps + 1);
  ASSERT_NE(w().active_panel(), nullptr);
  EXPECT_EQ(w().active_panel()->number(), 3);
  EXPECT_EQ(w().image().state.active_panel, 3);
  // The replaced panel was hidden first, then destroyed.
  EXPECT_EQ(log_.events, (std::vector<std::string>{"show 1", "hide 1", "show 3"}));
  EXPECT_TRUE(QTest::qWaitFor([&] { return logo.isNull(); }));
}

TEST_F(PanelTest, SamePanelAgainDoesNothing) {
  Click(CommandId::kParameters);
  QPointer<Panel> shown = w().active_panel();
  const int beeps = Beeps().count;
  Click(CommandId::kParameters);  // within the second: still no beep
  clock_.Advance(5s);
  Click(CommandId::kParameters);
  EXPECT_EQ(Beeps().count, beeps);
  EXPECT_EQ(w().active_panel(), shown.data());
  EXPECT_EQ(log_.events, (std::vector<std::string>{"show 7"}));
}

TEST_F(PanelTest, EveryPanelCommandShowsItsPanel) {
  const std::pair<CommandId, int> cases[] = {
      {CommandId::kLogo, 1},      {CommandId::kParameters, 7}, {CommandId::kItems, 3},
      {CommandId::kOtherData, 2}, {CommandId::kTransfer, 4},   {CommandId::kConsole, 5},
  };
  for (const auto& [id, number] : cases) {
    clock_.Advance(1s);
    w().action(id)->trigger();
    ASSERT_NE(w().active_panel(), nullptr) << number;
    EXPECT_EQ(w().active_panel()->number(), number);
    EXPECT_EQ(w().active_panel()->caption(), PanelCaption(number));
    EXPECT_TRUE(w().active_panel()->isVisible());
    // Placed over the window by the centring formula.
    EXPECT_EQ(w().active_panel()->pos(), PanelPosition(w().size(), w().active_panel()->size()));
  }
  clock_.Advance(1s);
  EXPECT_FALSE(w().SwitchPanel(6));  // no such panel
  EXPECT_EQ(w().active_panel()->number(), 5);
}

TEST_F(PanelTest, WaitNoticeShowsWhileAPanelIsBuilt) {
  Click(CommandId::kOtherData);
  ASSERT_EQ(log_.waits.size(), 1u);
  const auto& wait = log_.waits[0];
  EXPECT_TRUE(wait.visible);
  EXPECT_EQ(wait.text, QString("ΠΑΡΑΚΑΛΩ ΠΕΡΙΜΕΝΕΤΕ..."));
  const QWidget* client = w().centralWidget();
  EXPECT_EQ(wait.pos, QPoint(client->width() / 3, client->height() / 2));
  EXPECT_EQ(wait.background, QColor(255, 255, 200));
  EXPECT_EQ(wait.ink, QColor(Qt::black));
  EXPECT_EQ(wait.font.family(), QString("Courier New"));
  EXPECT_EQ(wait.font.styleHint(), QFont::Monospace);
  EXPECT_EQ(wait.font.weight(), QFont::Normal);
  EXPECT_TRUE(QFontInfo(wait.font).fixedPitch());
  EXPECT_FALSE(w().wait_label()->isVisible());
}

TEST_F(PanelTest, ShowingAndHidingAPanelNeverCountsAsAChange) {
  log_.dirty_on_show = true;
  Click(CommandId::kLogo);
  EXPECT_FALSE(w().image().state.modified);

  // A real change stays a change, whatever the panel does on hiding.
  w().image().state.modified = true;
  log_.dirty_on_show = false;
  log_.clean_on_hide = true;
  clock_.Advance(1s);
  Click(CommandId::kItems);
  EXPECT_TRUE(w().image().state.modified);
}

TEST_F(PanelTest, PanelMaySwitchToAnotherFromItsOwnButton) {
  Click(CommandId::kParameters);
  QPointer<Panel> parameters = w().active_panel();
  clock_.Advance(1s);
  QTest::mouseClick(parameters->findChild<QPushButton*>("switch"), Qt::LeftButton);
  ASSERT_NE(w().active_panel(), nullptr);
  EXPECT_EQ(w().active_panel()->number(), 4);
  EXPECT_TRUE(QTest::qWaitFor([&] { return parameters.isNull(); }));
}

TEST_F(PanelTest, MinimisingClosesThePanelUnlessATransferRuns) {
  for (const bool transfer : {false, true}) {
    clock_.Advance(1s);
    ASSERT_TRUE(w().SwitchPanel(transfer ? 4 : 3));
    w().SetBusy(transfer);
    w().showMinimized();
    EXPECT_EQ(w().active_panel() != nullptr, transfer) << transfer;
    EXPECT_EQ(w().image().state.active_panel != 0, transfer);
    w().showNormal();
    w().SetBusy(false);
    if (!transfer) {
      EXPECT_EQ(w().active_panel(), nullptr);  // restoring shows no panel
    }
  }
}

TEST_F(PanelTest, RunningTransferLocksTheCommandsAndTheWindow) {
  Click(CommandId::kTransfer);
  w().SetBusy(true);
  for (const CommandId id : {CommandId::kNew, CommandId::kOpen, CommandId::kSave, CommandId::kSaveAs, CommandId::kExit,
                             CommandId::kItems, CommandId::kConsole, CommandId::kPrintPreview}) {
    EXPECT_FALSE(w().action(id)->isEnabled()) << static_cast<int>(id);
  }
  EXPECT_TRUE(w().action(CommandId::kHelp)->isEnabled());
  const int beeps = Beeps().count;
  EXPECT_FALSE(w().close());
  EXPECT_EQ(Beeps().count, beeps + 1);
  EXPECT_TRUE(w().isVisible());
  EXPECT_EQ(w().active_panel()->number(), 4);

  w().SetBusy(false);
  EXPECT_TRUE(w().action(CommandId::kNew)->isEnabled());
  EXPECT_TRUE(w().action(CommandId::kPrint)->isEnabled());
}

// ---- File commands ----------------------------------------------------------------

// A database file whose item 1 is named `name` (code page 1253 bytes).
std::string WriteDatabase(const QString& path, const std::string& name) {
  DataImage db;
  StoreText(db.item(0).name(), name);
  EXPECT_EQ(WriteDatabaseFile(QFile::encodeName(path).toStdString(), db), FileStatus::kOk);
  return TextOf(db.item(0).name());
}

std::string ItemName(MainWindow& w) { return TextOf(w.image().item(0).name()); }

TEST_F(PanelTest, OpenClosesThePanelAsksAndLoadsTheChosenFile) {
  const QString file = Path("κατάστημα.cld");
  WriteDatabase(file, "CAFE");
  Click(CommandId::kItems);
  w().image().state.modified = true;

  // Unsaved changes, answered No: the panel is closed, nothing else happens.
  dialogs().answers = {QMessageBox::No};
  Click(CommandId::kOpen);
  EXPECT_EQ(w().active_panel(), nullptr);
  ASSERT_EQ(dialogs().boxes.size(), 1u);
  EXPECT_EQ(dialogs().boxes[0].text, QString("Οι τελευταίες αλλαγές θα χαθούν!"));
  EXPECT_EQ(dialogs().boxes[0].icon, QMessageBox::Warning);
  EXPECT_EQ(dialogs().boxes[0].default_button, QMessageBox::No);
  EXPECT_TRUE(dialogs().files_seen.empty());
  EXPECT_TRUE(w().image().state.modified);

  // Yes: the open dialog, then the file.
  dialogs().answers = {QMessageBox::Yes};
  dialogs().files = {file};
  Click(CommandId::kOpen);
  ASSERT_EQ(dialogs().files_seen.size(), 1u);
  EXPECT_EQ(dialogs().files_seen[0].accept_mode, QFileDialog::AcceptOpen);
  EXPECT_EQ(dialogs().files_seen[0].name_filters, QStringList{"Setup ZEL ΑΛΛΑΓΗ (*.cld)"});
  EXPECT_EQ(dialogs().files_seen[0].default_suffix, "cld");
  EXPECT_EQ(ItemName(w()), "CAFE");
  EXPECT_FALSE(w().image().state.modified);
  EXPECT_EQ(w().windowTitle(), QString("κατάστημα- Setup ZEL"));
  EXPECT_EQ(dialogs().boxes.size(), 2u);
}

TEST_F(WindowFixture, OpenOfABadFileShowsTheErrorAndLeavesANewDatabase) {
  StartShown();
  const QString good = Path("good.cld");
  WriteDatabase(good, "GOOD");
  dialogs().files = {good};
  w().OpenCommand();
  ASSERT_EQ(ItemName(w()), "GOOD");

  const QString bad = Path("bad.cld");
  {
    std::ofstream f(bad.toStdString(), std::ios::binary);
    f << std::string(1000, 'x');
  }
  dialogs().files = {bad};
  w().OpenCommand();
  ASSERT_EQ(dialogs().boxes.size(), 1u);
  EXPECT_EQ(dialogs().boxes[0].text,
            QString("Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!\nbad.cld: δεν είναι αρχείο βάσης δεδομένων Setup ZEL"));
  EXPECT_EQ(dialogs().boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(dialogs().boxes[0].title, QString());
  EXPECT_TRUE(w().image() == DataImage());
  EXPECT_EQ(w().windowTitle(), QString("Setup ZEL - Αρχική βάση δεδομένων"));
}

TEST_F(PanelTest, SaveAsksForANameOnlyTheFirstTimeAndSaveAsAlways) {
  const QString first = Path("πρώτο.cld");
  w().image().state.modified = true;
  Click(CommandId::kLogo);

  // Through the menu, as the dealer does it: "Αρχείο", then "Αποθήκευση".
  dialogs().files = {first};
  QMenu* file_menu = w().menuBar()->actions().at(0)->menu();
  QTest::mouseClick(w().menuBar(), Qt::LeftButton, {},
                    w().menuBar()->actionGeometry(w().menuBar()->actions().at(0)).center());
  ASSERT_TRUE(QTest::qWaitFor([&] { return file_menu->isVisible(); }));
  QTest::mouseClick(file_menu, Qt::LeftButton, {}, file_menu->actionGeometry(w().action(CommandId::kSave)).center());
  EXPECT_EQ(w().active_panel(), nullptr);
  ASSERT_EQ(dialogs().files_seen.size(), 1u);
  EXPECT_EQ(dialogs().files_seen[0].accept_mode, QFileDialog::AcceptSave);
  EXPECT_TRUE(dialogs().files_seen[0].confirm_overwrite);
  EXPECT_TRUE(QFileInfo(first).isFile());
  EXPECT_FALSE(w().image().state.modified);
  EXPECT_EQ(w().windowTitle(), QString("πρώτο- Setup ZEL"));

  // The second Save writes without asking and keeps the title.
  StoreText(w().image().item(0).name(), "SECOND");
  w().image().state.modified = true;
  Click(CommandId::kSave);
  EXPECT_EQ(dialogs().files_seen.size(), 1u);
  EXPECT_FALSE(w().image().state.modified);
  DataImage read_back;
  ASSERT_EQ(ReadDatabaseFile(QFile::encodeName(first).toStdString(), read_back.raw()), FileStatus::kOk);
  EXPECT_EQ(TextOf(read_back.item(0).name()), "SECOND");

  // Save as asks every time; Cancel changes nothing.
  w().image().state.modified = true;
  dialogs().files = {std::nullopt};
  w().action(CommandId::kSaveAs)->trigger();
  EXPECT_EQ(dialogs().files_seen.size(), 2u);
  EXPECT_TRUE(w().image().state.modified);
  EXPECT_EQ(w().windowTitle(), QString("πρώτο- Setup ZEL"));
  EXPECT_TRUE(dialogs().boxes.empty());
}

TEST_F(WindowFixture, FailedSaveShowsTheErrorAndKeepsTheChanges) {
  StartShown();
  w().image().state.modified = true;
  dialogs().files = {Path("no-such-folder/x.cld")};
  w().SaveCommand(false);
  ASSERT_EQ(dialogs().boxes.size(), 1u);
  EXPECT_EQ(dialogs().boxes[0].text, QString("Σφάλμα εγγραφής!\nx.cld: δεν υπάρχει τέτοιο αρχείο"));
  EXPECT_EQ(dialogs().boxes[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(w().image().state.modified);
}

TEST_F(PanelTest, NewClosesThePanelAsksAndResets) {
  const QString file = Path("shop.cld");
  WriteDatabase(file, "SHOP");
  dialogs().files = {file};
  w().OpenCommand();
  clock_.Advance(1s);
  Click(CommandId::kOtherData);
  w().image().state.modified = true;

  dialogs().answers = {QMessageBox::No, QMessageBox::Yes};
  Click(CommandId::kNew);
  EXPECT_EQ(w().active_panel(), nullptr);
  EXPECT_EQ(ItemName(w()), "SHOP");
  EXPECT_TRUE(w().image().state.modified);

  Click(CommandId::kNew);
  EXPECT_EQ(dialogs().BoxTexts(),
            (QStringList{"Οι τελευταίες αλλαγές θα χαθούν!", "Οι τελευταίες αλλαγές θα χαθούν!"}));
  EXPECT_NE(ItemName(w()), "SHOP");
  EXPECT_FALSE(w().image().state.modified);
  EXPECT_EQ(w().windowTitle(), QString("Setup ZEL - Αρχική βάση δεδομένων"));
  // The path stays: the next Save writes over the file last used, unasked.
  EXPECT_EQ(w().image().state.path, QFile::encodeName(file).toStdString());
}

// ---- Exit ----------------------------------------------------------------------------

TEST_F(PanelTest, ExitWithUnsavedChangesAnsweredNoKeepsRunningWithItsPanel) {
  Click(CommandId::kItems);
  w().image().state.modified = true;
  w().ui().SetDialogSeam({});  // the real box, answered from the keyboard
  // Enter takes the default button, which must be No.
  RealBoxAnswerer enter([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); });
  Click(CommandId::kExit);
  ASSERT_TRUE(enter.answered);
  EXPECT_EQ(enter.text, QString("Έξοδος χωρίς αποθήκευση;"));
  EXPECT_TRUE(w().isVisible());
  ASSERT_NE(w().active_panel(), nullptr);
  EXPECT_EQ(w().active_panel()->number(), 3);
  EXPECT_TRUE(w().image().state.modified);

  RealBoxAnswerer yes([](QMessageBox& box) { QTest::mouseClick(box.button(QMessageBox::Yes), Qt::LeftButton); });
  EXPECT_TRUE(w().close());
  EXPECT_TRUE(yes.answered);
  EXPECT_FALSE(w().isVisible());
  EXPECT_EQ(w().active_panel(), nullptr);
  EXPECT_FALSE(w().image().state.modified);
  EXPECT_EQ(log_.events.back(), "hide 3");
}

TEST_F(WindowFixture, ExitWithoutChangesAsksNothing) {
  StartShown();
  EXPECT_TRUE(w().close());
  EXPECT_TRUE(dialogs().boxes.empty());
}

// ---- Single instance ------------------------------------------------------------------

TEST_F(WindowFixture, SecondCopyIsRefusedWithItsMessage) {
  ASSERT_TRUE(Start());
  test::Program second_program;
  MainWindow& second = second_program.window;
  test::ScriptedDialogs second_dialogs(second.ui());
  EXPECT_FALSE(second.StartUp(Options()));
  ASSERT_EQ(second_dialogs.boxes.size(), 1u);
  const auto& b = second_dialogs.boxes[0];
  EXPECT_EQ(b.text, QString("Η εφαρμογή είναι ήδη ανοιχτή..."));
  EXPECT_EQ(b.icon, QMessageBox::Critical);
  EXPECT_TRUE(b.on_top);

  // Once the first copy has ended, the program starts again.
  window_.reset();
  test::Program third_program;
  MainWindow& third = third_program.window;
  test::ScriptedDialogs third_dialogs(third.ui());
  EXPECT_TRUE(third.StartUp(Options()));
  EXPECT_TRUE(third_dialogs.boxes.empty());
}

TEST_F(WindowFixture, RunningProgramRefusesThisCopyUntilItDies) {
  // The real program, holding the lock in its runtime folder.
  const QString runtime = Path("runtime");
  ASSERT_TRUE(QDir().mkpath(runtime));
  QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_RUNTIME_DIR", runtime);
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(dir_.path());
  program.start(ZEL_BINARY_DIR "/app/setupzel", {});
  ASSERT_TRUE(program.waitForStarted());
  const QString lock_path = runtime + "/koko";
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(lock_path).size() > 0; }, 20000));

  StartOptions options = Options();
  options.lock_path = lock_path;
  EXPECT_FALSE(w().StartUp(options));
  ASSERT_EQ(dialogs().boxes.size(), 1u);
  EXPECT_EQ(dialogs().boxes[0].text, QString("Η εφαρμογή είναι ήδη ανοιχτή..."));

  // A copy that crashed leaves its lock file behind; it must not keep the
  // program from starting.
  program.kill();
  ASSERT_TRUE(program.waitForFinished());
  ASSERT_TRUE(QFileInfo::exists(lock_path));
  MakeWindow(StandardPanels());
  EXPECT_TRUE(w().StartUp(options));
  EXPECT_TRUE(dialogs().boxes.empty());
}

// ---- Files from outside ----------------------------------------------------------------

TEST_F(WindowFixture, FileNamedOnTheCommandLineIsOpened) {
  const QString file = Path("από-γραμμή.cld");
  WriteDatabase(file, "CLI");
  ASSERT_TRUE(Start(file));
  EXPECT_EQ(ItemName(w()), "CLI");
  EXPECT_EQ(w().windowTitle(), QString("από-γραμμή- Setup ZEL"));
  EXPECT_EQ(w().image().state.path, QFile::encodeName(file).toStdString());
  EXPECT_TRUE(dialogs().boxes.empty());
}

TEST_F(WindowFixture, UnreadableFileOnTheCommandLineEndsTheProgram) {
  const QString bad = Path("short.cld");
  {
    std::ofstream f(bad.toStdString(), std::ios::binary);
    f << std::string(kFileSize - 1, '\0');
  }
  for (const QString& file : {bad, Path("missing.cld")}) {
    MakeWindow(StandardPanels());
    EXPECT_FALSE(Start(file));
    ASSERT_EQ(dialogs().boxes.size(), 1u);
    EXPECT_TRUE(
        dialogs().boxes[0].text.startsWith(QString("Σφάλμα κατά την ανάγνωση!\n") + QFileInfo(file).fileName() + ": "))
        << dialogs().boxes[0].text.toStdString();
    EXPECT_EQ(dialogs().boxes[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(dialogs().boxes[0].on_top);
    EXPECT_TRUE(w().image() == DataImage());
  }
}

class DropTest : public WindowFixture {
 protected:
  // Drags `urls` over the window and drops them; true when the window took them.
  bool Drop(const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at = w().rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w(), &drop);
    return drop.isAccepted();
  }
};

TEST_F(DropTest, DroppedFileIsOpened) {
  StartShown();
  const QString file = Path("dropped.cld");
  WriteDatabase(file, "DROP");
  EXPECT_FALSE(Drop({QUrl("https://example.org/x.cld")}));
  w().SetBusy(true);  // the transfer works on the image: no drop
  EXPECT_FALSE(Drop({QUrl::fromLocalFile(file)}));
  w().SetBusy(false);
  ASSERT_TRUE(Drop({QUrl::fromLocalFile(file)}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return w().windowTitle() == "dropped- Setup ZEL"; }));
  EXPECT_EQ(ItemName(w()), "DROP");
  EXPECT_TRUE(dialogs().boxes.empty());
}

TEST_F(DropTest, DroppedBadFileShowsTheMessageAndLeavesTheImageAsItWas) {
  StartShown();
  const QString good = Path("good.cld");
  WriteDatabase(good, "KEEP");
  ASSERT_TRUE(w().OpenDroppedFile(good));
  const DataImage before = w().image();
  const QString bad = Path("bad.cld");
  {
    DataImage other;
    StoreText(other.item(0).name(), "OTHER");
    std::string bytes(other.raw().begin(), other.raw().end());
    bytes += std::string("\x06\x7B\x31\x21", 4);  // wrong signature
    std::ofstream(bad.toStdString(), std::ios::binary) << bytes;
  }
  ASSERT_TRUE(Drop({QUrl::fromLocalFile(bad)}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs().boxes.empty(); }));
  EXPECT_EQ(dialogs().boxes[0].text.section('\n', 0, 0), QString("Σφάλμα κατά την ανάγνωση!"));
  EXPECT_TRUE(dialogs().boxes[0].text.endsWith(": δεν είναι αρχείο βάσης δεδομένων Setup ZEL"));
  EXPECT_TRUE(w().image() == before);
  EXPECT_EQ(w().windowTitle(), QString("good- Setup ZEL"));
}

TEST_F(DropTest, DropOverUnsavedChangesAsksFirst) {
  StartShown();
  const QString file = Path("dropped.cld");
  WriteDatabase(file, "DROP");
  ASSERT_TRUE(w().SwitchPanel(2));
  w().image().state.modified = true;
  dialogs().answers = {QMessageBox::No};
  EXPECT_FALSE(w().OpenDroppedFile(file));
  EXPECT_EQ(w().active_panel(), nullptr);
  EXPECT_NE(ItemName(w()), "DROP");
  EXPECT_TRUE(w().image().state.modified);

  dialogs().answers = {QMessageBox::Yes};
  EXPECT_TRUE(w().OpenDroppedFile(file));
  EXPECT_EQ(ItemName(w()), "DROP");
  EXPECT_FALSE(w().image().state.modified);
  EXPECT_EQ(dialogs().BoxTexts(),
            (QStringList{"Οι τελευταίες αλλαγές θα χαθούν!", "Οι τελευταίες αλλαγές θα χαθούν!"}));
}

// ---- Help, about, printing ---------------------------------------------------------------

TEST_F(WindowFixture, HelpOpensTheManualInTheBrowser) {
  StartShown();
  test::UrlCatcher browser;
  // The test program does not sit where setupzel does; point it at the
  // program's folder of the build tree.
  w().SetManualPath(FindManual(ZEL_BINARY_DIR "/app", {}));
  w().action(CommandId::kHelp)->trigger();
  ASSERT_EQ(browser.opened.size(), 1);
  EXPECT_TRUE(browser.opened[0].isLocalFile());
  EXPECT_TRUE(browser.opened[0].toLocalFile().endsWith("/manual/index.html"));
  EXPECT_TRUE(QFileInfo(browser.opened[0].toLocalFile()).isFile());
  EXPECT_TRUE(dialogs().boxes.empty());

  w().SetManualPath(Path("nowhere/index.html"));
  w().action(CommandId::kHelp)->trigger();
  EXPECT_EQ(browser.opened.size(), 1);
  ASSERT_EQ(dialogs().boxes.size(), 1u);
  EXPECT_EQ(dialogs().boxes[0].icon, QMessageBox::Critical);
}

TEST_F(WindowFixture, AboutBoxShowsVersionAndPurpose) {
  StartShown();
  dialogs().dialog_result = QDialog::Accepted;
  w().action(CommandId::kAbout)->trigger();
  ASSERT_EQ(dialogs().dialogs.size(), 1u);
  EXPECT_EQ(dialogs().dialogs[0].title, QString("Πληροφορίες για την Ostra/Velor"));
  EXPECT_TRUE(dialogs().dialogs[0].label_texts.contains("Setup-ZEL - Έκδοση 1.30"));
  EXPECT_TRUE(dialogs().dialogs[0].label_texts.contains("Εφαρμογή ρύθμισης για τη ΦΗΜ "));
}

TEST_F(WindowFixture, PrinterSetUpOpensThePlatformsPageSetUpWithGreekNumbers) {
  StartShown();
  QStringList margins;
  dialogs().on_dialog = [&](QDialog& dialog) {
    for (const QDoubleSpinBox* box : dialog.findChildren<QDoubleSpinBox*>())
      if (box->isEnabled()) margins << box->text();
    return int{QDialog::Rejected};
  };
  w().action(CommandId::kPrintSetup)->trigger();
  ASSERT_EQ(dialogs().dialogs.size(), 1u);
  EXPECT_EQ(dialogs().dialogs[0].class_name, QString("QPageSetupDialog"));
  // The machine's locale may be C; the dialog's numbers are Greek all the same.
  ASSERT_FALSE(margins.isEmpty());
  for (const QString& m : margins) EXPECT_TRUE(m.contains(QRegularExpression("^\\d+,\\d\\d mm$"))) << m.toStdString();
}

}  // namespace
}  // namespace zel::app
