// The fiscal printer console driven as a technician drives it, with the mouse
// and the keyboard, against a simulated register in this process over UDP
// loopback: a receipt rung up and paid, the receipt list, the amount due and
// the exchange log with its red lines, the voids and the reports, hiding the
// panel with an open receipt, the Retry/Cancel question, and the window
// staying live while the register is slow or silent.
#include "app/console_panel.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <fstream>

#include "app/field_widgets.h"
#include "app/worker.h"
#include "core/cp1253.h"
#include "gui_support.h"
#include "link/link_fixture.h"
#include "sim/simulator.h"
#include "support/console_clock.h"

namespace zel::app {
namespace {

using namespace std::chrono_literals;
using zel::test::PortEnvironment;

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string U(const QString& s) { return s.toStdString(); }

void SetName(std::span<std::uint8_t> field, std::string_view utf8) {
  const std::string b = cp1253::Encode(utf8);
  std::fill(field.begin(), field.end(), ' ');
  std::copy_n(b.begin(), std::min(b.size(), field.size()), field.begin());
}

class ConsolePanelTest : public test::WindowFixture {
 protected:
  void SetUp() override {
    // The console's link runs on a clock moved for it: no test waits out a
    // real time-out of the register.
    link_clock_ = &link_time_;
    WindowFixture::SetUp();
    std::string error;
    ASSERT_TRUE(sim_.StartUdp(0, &error)) << error;
    ::setenv("SETUPZEL_REGISTER_PORT", std::to_string(sim_.udp_port()).c_str(), 1);
    ports_ = std::make_unique<PortEnvironment>(std::map<int, std::string>{});
    driver_ = std::make_unique<zel::test::ConsoleClock>(link_time_, sim_);
  }
  void TearDown() override {
    if (panel_ && panel_->busy()) w().printer_link().link().abort.Set();
    window_.reset();
    driver_.reset();
    sim_.Stop();
    ports_.reset();
    ::unsetenv("SETUPZEL_REGISTER_PORT");
  }

  // Two departments, one item and the VAT rates the receipts use.
  void FillDatabase() {
    DataImage& image = w().image();
    for (int i = 0; i < 4; ++i)
      image.set_vat_rate(i, static_cast<std::uint16_t>(std::array{600, 1300, 2400, 3600}[static_cast<std::size_t>(i)]));
    const struct {
      const char* name;
      int price;
    } departments[] = {{"ΨΩΜΙ", 150}, {"ΓΑΛΑΚΤΟΚΟΜΙΚΑ", 120}};
    for (int k = 0; k < 2; ++k) {
      Department d = image.department(k);
      SetName(d.name(), departments[k].name);
      d.set_fixed_price(departments[k].price);
      d.set_vat(1);
      d.set_price_decimals(2);
    }
    Item item = image.item(0);
    SetName(item.name(), "ΚΑΦΕΣ ΕΛΛΗΝΙΚΟΣ");
    item.set_price(350);
    item.set_price_decimals(2);
    item.set_department(0);
  }

  // `unsaved`: the database has unsaved changes when the console opens.
  void OpenPanel(bool unsaved = false) {
    ASSERT_TRUE(Start());
    FillDatabase();
    w().image().state.modified = unsaved;
    w().show();
    w().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
    w().link().ip = {127, 0, 0, 1};
    clock_.Advance(1s);
    ASSERT_TRUE(w().SwitchPanel(panel::kConsole));
    panel_ = qobject_cast<ConsolePanel*>(w().active_panel());
    ASSERT_NE(panel_, nullptr);
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(w().printer_link().is_open());
    // Opening asked the register whether a receipt was left open.
    ASSERT_EQ(AllCommands(), std::vector<std::string>{"?/"});
    opened_ = 1;
  }
  bool WaitIdle() {
    return QTest::qWaitFor([&] { return !panel_->busy(); }, 30000);
  }

  QPushButton* Key(std::string_view caption) {
    QPushButton* b = panel_->key_button(caption);
    EXPECT_NE(b, nullptr) << caption;
    return b;
  }
  // A click on a key; waits until the register has answered.
  void Press(std::string_view caption) {
    QPushButton* b = Key(caption);
    ASSERT_TRUE(b->isEnabled()) << caption;
    QTest::mouseClick(b, Qt::LeftButton);
    ASSERT_TRUE(WaitIdle()) << caption;
  }
  // A key of the keyboard where the focus is; waits likewise.
  void Hit(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : panel_.data();
    QTest::keyClick(target, key, modifiers);
    ASSERT_TRUE(WaitIdle());
  }
  void Type(const char* text) { QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(text)); }

  QStringList Receipt() const {
    QStringList rows;
    for (int i = 0; i < panel_->receipt_list()->count(); ++i) rows << panel_->receipt_list()->item(i)->text();
    return rows;
  }
  std::vector<std::string> AllCommands() const {
    std::vector<std::string> v;
    for (const std::string& c : sim_.Printer().commands) v.push_back(cp1253::ToUtf8(c));
    return v;
  }
  // What the keys sent since the panel opened.
  std::vector<std::string> Commands() const {
    const std::vector<std::string> all = AllCommands();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(opened_, all.size())), all.end()};
  }
  // Whether the reply box of the log shows red ink.
  bool RepliesShowRed() {
    const QImage image = panel_->exchange_log()->grab().toImage();
    const QRect box = panel_->exchange_log()->Box(1).adjusted(10, 10, -10, -10);
    for (int y = box.top(); y <= box.bottom(); ++y)
      for (int x = box.left(); x <= box.right(); ++x) {
        const QColor c = image.pixelColor(x * image.width() / panel_->exchange_log()->width(),
                                          y * image.height() / panel_->exchange_log()->height());
        if (c.red() > 180 && c.green() < 90 && c.blue() < 90) return true;
      }
    return false;
  }

  ManualTickClock link_time_;
  sim::Simulator sim_;
  std::unique_ptr<zel::test::ConsoleClock> driver_;
  std::unique_ptr<PortEnvironment> ports_;
  QPointer<ConsolePanel> panel_;
  std::size_t opened_ = 0;
};

// ---- The panel as described -------------------------------------------------------------

TEST_F(ConsolePanelTest, EveryKeyIsThereWithItsCaptionAndTheRestWaitsInAClosedGroup) {
  OpenPanel();
  EXPECT_EQ(panel_->caption(), "Setup ZEL - Ελεγχος Φορ.Εκτυπ.");
  for (const KeyInfo& key : ConsoleKeys()) {
    QPushButton* b = Key(key.caption);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(U(b->text()), key.caption);
    EXPECT_EQ(b->isVisible(), key.everyday) << key.caption;
    EXPECT_EQ(panel_->more_group()->isAncestorOf(b), !key.everyday) << key.caption;
  }
  EXPECT_EQ(U(panel_->change_mark()->text()), "ΑΛΛΑΓΗ");
  EXPECT_EQ(U(panel_->void_mark()->text()), "ΑΚΥΡΩΣΗ");
  EXPECT_EQ(U(panel_->payment_button(0)->text()), "ΜΕΤΡΗΤΑ");
  EXPECT_EQ(U(panel_->payment_button(1)->text()), "ΚΑΡΤΑ");
  EXPECT_EQ(U(panel_->payment_button(2)->text()), "ΕΠΙΤΑΓΗ");
  EXPECT_TRUE(panel_->payment_button(0)->isChecked());
  EXPECT_EQ(panel_->port_list()->itemText(0), "LAN");
  EXPECT_EQ(panel_->baud_list()->itemText(0), "115200");
  EXPECT_EQ(panel_->baud_list()->itemText(1), "9600");
  QStringList labels;
  for (const QLabel* l : panel_->findChildren<QLabel*>()) labels << l->text();
  for (const char* text : {"ΦΗΜ-IP#", "ΑΠΟ", "ΕΩΣ", "ΑΠΟ Ζ#", "ΕΩΣ Ζ#"}) EXPECT_TRUE(labels.contains(Q(text))) << text;
  for (const char* box : {"ΑΝΑΛ.", "ΗΜΕΡ.", "ΠΑΗΨΣ", "ΤΕΛ.3Ζ"}) {
    ASSERT_NE(panel_->report_box(box), nullptr) << box;
    EXPECT_FALSE(panel_->report_box(box)->isVisible()) << box;
  }

  // Opened, the group shows its keys and the panel still fits the window.
  QTest::mouseClick(panel_->more_button(), Qt::LeftButton);
  EXPECT_TRUE(Key("ΑΝΑΦΟΡΕΣ  ΦΜ")->isVisible());
  EXPECT_TRUE(panel_->report_box("ΤΕΛ.3Ζ")->isVisible());
  EXPECT_TRUE(panel_->date_pickers()[0]->isVisible());
  QTest::qWait(0);
  for (const KeyInfo& key : ConsoleKeys()) {
    EXPECT_GE(Key(key.caption)->height(), 20) << key.caption;
    EXPECT_GE(Key(key.caption)->width(), Key(key.caption)->fontMetrics().horizontalAdvance(Q(key.caption)))
        << key.caption << ": the caption is not cut";
  }
  // The client area of the 960 x 640 window (below the menu and tool bar,
  // above the status bar) holds it.
  EXPECT_LE(panel_->width(), 940);
  EXPECT_LE(panel_->height(), 540);

  // The amount-due box's figures follow the box: six across, never taller
  // than the box less 15 pixels.
  const QFont amount = panel_->amount_box()->AmountFont();
  EXPECT_LE(amount.pixelSize(), panel_->amount_box()->height() - 15);
  EXPECT_TRUE(amount.bold());
  EXPECT_TRUE(amount.fixedPitch());
}

TEST_F(ConsolePanelTest, ShortcutsAreInTheToolTipsAndTheKeyboardReachesTheEntryField) {
  OpenPanel();
  EXPECT_TRUE(Key("ΤΜ 1")->toolTip().contains("F2"));
  EXPECT_TRUE(Key("ΤΜ 10")->toolTip().contains("F11"));
  EXPECT_TRUE(Key("ΤΜ 14")->toolTip().contains("Shift+F5"));
  EXPECT_TRUE(Key("ΣΥΝΟΛΟ")->toolTip().contains("F12"));
  EXPECT_TRUE(Key("ΠΛΗΡΩΜΗ")->toolTip().contains("Ctrl+Return"));
  EXPECT_TRUE(panel_->entry_edit()->hasFocus()) << "shown with the focus on the entry field";

  // Digits and the comma typed on a radio button or on the receipt list go
  // to the entry field; Enter anywhere brings the focus back to it.
  panel_->payment_button(1)->setFocus();
  Type("2,5");
  EXPECT_TRUE(panel_->entry_edit()->hasFocus());
  EXPECT_EQ(panel_->entry_edit()->text(), "2,5");
  panel_->receipt_list()->setFocus();
  QTest::keyClick(panel_->receipt_list(), Qt::Key_Return);
  EXPECT_TRUE(panel_->entry_edit()->hasFocus());
  EXPECT_EQ(panel_->entry_edit()->selectedText(), panel_->entry_edit()->text());
  // The extra text keeps its own digits and new lines.
  panel_->extra_edit()->setFocus();
  Type("12");
  QTest::keyClick(panel_->extra_edit(), Qt::Key_Return);
  EXPECT_EQ(panel_->extra_edit()->toPlainText(), "12\n");
  EXPECT_TRUE(panel_->extra_edit()->hasFocus());
  // A character outside code page 1253 is refused as typed.
  panel_->extra_edit()->insertPlainText(QStringLiteral("\u4e2d"));
  EXPECT_EQ(panel_->extra_edit()->toPlainText(), "12\n");

  // F3 sells department 2 at the typed price; the entry is reset.
  panel_->entry_edit()->setFocus();
  panel_->entry_edit()->selectAll();
  Type("2,5");
  Hit(Qt::Key_F3);
  ASSERT_FALSE(Commands().empty());
  EXPECT_EQ(Commands().back(), "3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ/12/1,000/2,50/02/13,00/");
  EXPECT_EQ(panel_->entry_edit()->text(), "0,000");
  EXPECT_TRUE(panel_->extra_edit()->toPlainText().isEmpty());
  EXPECT_TRUE(panel_->entry_edit()->hasFocus());
  EXPECT_FALSE(w().image().state.modified) << "the console's fields are no change of the database";
}

// ---- A receipt ----------------------------------------------------------------------------

TEST_F(ConsolePanelTest, ARecieptIsRungUpDiscountedAndPaid) {
  OpenPanel();
  Hit(Qt::Key_F2);  // ΤΜ 1 at its own price
  Type("3");
  Press("ΠΟΣΟΤΗΤΑ");
  Press("ΤΜ 2");  // three at 1,20
  Type("1");
  Press("ΕΙΔΟΣ");  // item 1
  Type("10");
  Press("ΜΣ-%");  // 10 % off the subtotal
  Type("999");
  Press("-");  // more off the last line than it is worth: refused
  {
    const std::vector<LogLine> log = panel_->exchange_log()->Shown();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_TRUE(cp1253::ToUtf8(log.back().command).starts_with("  5: 4/999,00/ΠΟΣΟ ΕΚΠΤΩΣΗΣ"))
        << cp1253::ToUtf8(log.back().command);
    EXPECT_NE(log.back().reply.substr(0, 2), "00");
    EXPECT_TRUE(log.back().failed);
    EXPECT_EQ(ExchangeLogView::InkOf(log.back()), QColor(Qt::red));
    EXPECT_FALSE(log.front().failed);
    EXPECT_TRUE(RepliesShowRed()) << "the refusal is drawn in red";
  }
  Hit(Qt::Key_F12);  // ΣΥΝΟΛΟ

  EXPECT_TRUE(Receipt().value(0).startsWith("1,000     X      1,50  ΨΩΜΙ  ")) << U(Receipt().value(0));
  EXPECT_TRUE(Receipt().value(1).startsWith("3,000     X      1,20  ΓΑΛΑΚΤΟΚΟΜΙ")) << U(Receipt().value(1));
  EXPECT_TRUE(Receipt().value(2).startsWith("1,000     X      3,50  ΚΑΦΕΣ ΕΛΛΗΝΙΚΟΣ")) << U(Receipt().value(2));
  EXPECT_TRUE(Receipt().value(3).contains("ΕΚΠΤΩΣΗ")) << U(Receipt().value(3));
  EXPECT_EQ(Receipt().size(), 4) << "the refused line and the subtotal add no line";
  // 1,50 + 3,60 + 3,50 = 8,60, less 10 %: 7,74 due.
  EXPECT_EQ(panel_->amount_box()->amount(), "7,74");
  const std::vector<LogLine> log = panel_->exchange_log()->Shown();
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(cp1253::ToUtf8(log.back().command).starts_with("  5: 9/")) << "the subtotal took the refused line's slot";
  EXPECT_FALSE(log.back().failed);
  EXPECT_FALSE(RepliesShowRed());

  // Paid by card with Ctrl+Enter, the amount due taken whole.
  QTest::mouseClick(panel_->payment_button(1), Qt::LeftButton);
  panel_->entry_edit()->setFocus();
  Hit(Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(Commands()[Commands().size() - 2].substr(0, 9), "5/2/0,00/");
  EXPECT_FALSE(sim_.ReceiptOpen());
  EXPECT_EQ(sim_.Printer().day.receipts, 1);
  EXPECT_EQ(sim_.Printer().total, 774);
  EXPECT_EQ(panel_->console().command_index(), 0) << "nothing due: a new receipt";
  EXPECT_TRUE(panel_->payment_button(0)->isChecked()) << "the payment choice is back to cash";
  EXPECT_EQ(panel_->amount_box()->amount(), "0,00");
  EXPECT_TRUE(dialogs().boxes.empty()) << U(dialogs().BoxTexts().join("|"));
}

TEST_F(ConsolePanelTest, VoidsAndReportsFollowTheReceipt) {
  OpenPanel();
  Press("ΟΛΙΚΗ ΑΚΥΡΩΣΗ");
  EXPECT_EQ(U(dialogs().BoxTexts().join("|")), "Χωρίς πώληση!");
  EXPECT_TRUE(Commands().empty());

  Press("ΤΜ 1");
  Press("ΗΜΕΡ.ΚΙΝΗ.Ζ");
  ASSERT_EQ(dialogs().boxes.size(), 2u);
  EXPECT_EQ(U(dialogs().boxes[1].text), "Ανοιχτή απόδειξη! ");
  EXPECT_EQ(dialogs().boxes[1].icon, QMessageBox::Critical);
  EXPECT_EQ(Commands().size(), 1u) << "the Z is not sent while a receipt is open";
  EXPECT_TRUE(sim_.ReceiptOpen());

  Press("ΟΛΙΚΗ ΑΚΥΡΩΣΗ");
  EXPECT_EQ(Commands()[1], "+/");
  EXPECT_FALSE(sim_.ReceiptOpen());
  EXPECT_EQ(panel_->console().command_index(), 0);

  Press("ΑΝΑΦΟΡΑ  Χ");
  EXPECT_EQ(Commands().back(), "x/1///");
  // The daily Z closes the day: asked first, No the default and No sends
  // nothing; Yes sends it.
  const std::size_t z_before = sim_.Printer().z_reports.size();
  const std::size_t sent_before = Commands().size();
  dialogs().answers = {QMessageBox::No};
  Press("ΗΜΕΡ.ΚΙΝΗ.Ζ");
  ASSERT_EQ(dialogs().boxes.size(), 3u);
  EXPECT_EQ(U(dialogs().boxes[2].text), "Να εκτυπωθεί η ημερήσια αναφορά Ζ; Η ημέρα θα κλείσει.");
  EXPECT_EQ(dialogs().boxes[2].buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(dialogs().boxes[2].default_button, QMessageBox::No);
  EXPECT_EQ(Commands().size(), sent_before);
  dialogs().answers = {QMessageBox::Yes};
  Press("ΗΜΕΡ.ΚΙΝΗ.Ζ");
  EXPECT_EQ(Commands().back(), "x/7/1/1/");
  EXPECT_EQ(sim_.Printer().z_reports.size(), z_before + 1) << "the daily Z closes the day";

  // A fiscal-memory report from the closed group, by Z numbers, detailed.
  QTest::mouseClick(panel_->more_button(), Qt::LeftButton);
  panel_->z_edits()[0]->setFocus();
  Type("1");
  panel_->z_edits()[1]->setFocus();
  Type("2");
  QTest::mouseClick(panel_->report_box("ΑΝΑΛ."), Qt::LeftButton);
  Press("ΑΝΑΦΟΡΕΣ  ΦΜ");
  EXPECT_EQ(Commands().back(), "x/0/5/0001/0002/");
  EXPECT_FALSE(panel_->report_box("ΑΝΑΛ.")->isChecked()) << "the entry state is reset";
  EXPECT_EQ(dialogs().boxes.size(), 4u);
}

TEST_F(ConsolePanelTest, HidingWithAnOpenReceiptVoidsItAndKeepsTheLinkChoice) {
  OpenPanel();
  Press("ΤΜ 1");
  Press("ΤΜ 2");
  ASSERT_TRUE(sim_.ReceiptOpen());
  clock_.Advance(1s);
  ASSERT_TRUE(w().SwitchPanel(panel::kNone));
  // The console voids the receipt on its worker first; the window is locked
  // until the switch is done.
  EXPECT_TRUE(w().busy());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w().switch_pending(); }, 30000));
  EXPECT_FALSE(w().busy());
  EXPECT_EQ(Commands()[2], "+/");
  EXPECT_FALSE(sim_.ReceiptOpen());
  EXPECT_FALSE(w().printer_link().is_open());
  std::ifstream f(Path("OV_Setup.cfg").toStdString(), std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(f), {}};
  ASSERT_EQ(bytes.size(), 8u);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[4]), 127) << "the register's address is kept";
}

TEST_F(ConsolePanelTest, UnsavedDatabaseChangesSurviveTheConsole) {
  OpenPanel(true);
  Type("1");
  Press("ΤΜ 1");
  Press("ΟΛΙΚΗ ΑΚΥΡΩΣΗ");
  EXPECT_TRUE(w().image().state.modified) << "closing the window must still ask about them";
}

// ---- While the register works -------------------------------------------------------------

TEST_F(ConsolePanelTest, ThePanelStaysLiveWhileTheRegisterTakesItsTime) {
  OpenPanel();
  sim_.SetTiming({0, 1200, 100});
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(20);
  QSignalSpy ended(panel_.data(), &ConsolePanel::JobEnded);
  QTest::mouseClick(Key("ΤΜ 1"), Qt::LeftButton);
  ASSERT_TRUE(panel_->busy());
  EXPECT_FALSE(Key("ΤΜ 2")->isEnabled()) << "no second command while one is in flight";
  EXPECT_FALSE(Key("ΣΥΝΟΛΟ")->isEnabled());
  // A shortcut meanwhile does nothing either.
  QTest::keyClick(panel_.data(), Qt::Key_F12);
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 10000));
  EXPECT_GT(ticks, 10) << "the event loop ran while the register answered";
  EXPECT_EQ(Commands(), std::vector<std::string>{"3/S/ΨΩΜΙ//1,000/1,50/01/13,00/"});
  EXPECT_TRUE(Key("ΤΜ 2")->isEnabled());
}

TEST_F(ConsolePanelTest, NoAnswerAsksRetryOrCancelAndCancelFailsTheLine) {
  OpenPanel();
  sim::FaultOptions faults;
  faults.rates.lost = 100;
  sim_.SetFaults(faults);
  dialogs().answers = {QMessageBox::Cancel};
  Press("ΤΜ 1");
  ASSERT_GE(dialogs().boxes.size(), 1u);
  const test::SeenBox question = dialogs().boxes[0];
  EXPECT_EQ(U(question.text), "Πρόβλημα επικοινωνίας!\nΕλεγξτε συνδεσης/χαρτι");
  EXPECT_EQ(question.buttons, QMessageBox::Retry | QMessageBox::Cancel);
  EXPECT_EQ(question.icon, QMessageBox::Information);
  EXPECT_EQ(question.thread, QThread::currentThread()) << "asked on the UI thread";
  EXPECT_TRUE(Receipt().isEmpty());
  EXPECT_EQ(panel_->console().command_index(), 0);
  // No reply to show: the sale may have been taken, so it is drawn neither
  // red (refused) nor black (accepted); the status question after it could
  // not be answered either, and the panel says so with the link.
  const std::vector<LogLine> log = panel_->exchange_log()->Shown();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].reply.empty());
  EXPECT_EQ(ExchangeLogView::InkOf(log[0]), QColor(0xC0, 0x60, 0x00));
  EXPECT_NE(log[1].command.find("2: ?/"), std::string::npos);
  EXPECT_TRUE(U(panel_->state_label()->text()).starts_with(std::string(kMsgStateUnknown)))
      << U(panel_->state_label()->text());
  EXPECT_TRUE(U(panel_->state_label()->text()).ends_with("Ο ΦΗΜ δεν απάντησε (LAN 127.0.0.1)"));
  EXPECT_TRUE(dialogs().BoxTexts().contains(Q(kMsgStateUnknown)));
}

TEST_F(ConsolePanelTest, SwitchingPanelDuringAnExchangeCancelsItWithoutAQuestion) {
  OpenPanel();
  Press("ΤΜ 1");
  sim::FaultOptions faults;
  faults.rates.lost = 100;
  sim_.SetFaults(faults);
  // Nobody moves the clock while the sale waits: only the switch ends it.
  driver_.reset();
  const std::uint64_t handled = sim_.counters().Handled();
  QTest::mouseClick(Key("ΤΜ 2"), Qt::LeftButton);
  ASSERT_TRUE(panel_->busy());
  ASSERT_TRUE(sim_.WaitForRequests(handled + 1, 5s));
  ASSERT_TRUE(link_time_.WaitForSleeper());
  driver_ = std::make_unique<zel::test::ConsoleClock>(link_time_, sim_);
  clock_.Advance(1s);
  // The sale in flight ends at once, its outcome unknown: before the open
  // receipt is voided the register is asked, and it does not answer either;
  // that question is answered Cancel, and the receipt is not voided blindly.
  dialogs().answers = {QMessageBox::Cancel};
  ASSERT_TRUE(w().SwitchPanel(panel::kItems));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w().switch_pending(); }, 30000));
  EXPECT_EQ(w().image().state.active_panel, panel::kItems);
  QStringList questions;
  for (const test::SeenBox& b : dialogs().boxes)
    if (b.buttons != QMessageBox::Ok) questions << b.text;
  EXPECT_EQ(questions.size(), 1) << "only the status asked: the sale in flight ended at once";
  EXPECT_TRUE(dialogs().BoxTexts().contains(Q(kMsgStateUnknown)));
  const std::vector<std::string> sent = Commands();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_TRUE(sent[1].starts_with("3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ/")) << "sent once, never again";
  EXPECT_EQ(sent[2], "?/");
  EXPECT_FALSE(w().printer_link().is_open());
  EXPECT_FALSE(w().printer_link().link().abort.IsSet());
}

// ---- The worker shared with the transfer panel -----------------------------------------------

TEST(WorkerTest, OneJobAtATimeItsQuestionAnsweredOnTheUiThreadAndItsEndPosted) {
  QtUserInterface ui;
  test::ScriptedDialogs dialogs(ui);
  dialogs.answers = {QMessageBox::Retry};
  Worker worker;
  std::atomic<bool> retried{false};
  int ended = 0;
  ASSERT_TRUE(worker.Start([&] { retried = ui.AskRetryCancel("Πρόβλημα", Icon::kInformation); }, [&] { ++ended; }));
  EXPECT_FALSE(worker.Start([] {}, {})) << "one job at a time";
  EXPECT_EQ(ended, 0) << "the end comes from the event loop, never from inside Start";
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended > 0; }, 5000));
  EXPECT_EQ(ended, 1);
  EXPECT_TRUE(retried);
  EXPECT_FALSE(worker.running());
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].thread, QThread::currentThread());
}

// A destructor may run no event loop: the job's question is answered Cancel
// there and then, and its posted end is dropped.
TEST(WorkerTest, CancelAndJoinAnswersCancelWithoutAnEventLoop) {
  QtUserInterface ui;
  test::ScriptedDialogs dialogs(ui);
  dialogs.answers = {QMessageBox::Retry};
  int ended = 0;
  std::atomic<int> answer{-1};
  {
    Worker worker;
    ASSERT_TRUE(
        worker.Start([&] { answer = ui.AskRetryCancel("Πρόβλημα", Icon::kInformation) ? 1 : 0; }, [&] { ++ended; }));
    ASSERT_TRUE(ui.WaitForWaitingCalls(1));
    worker.CancelAndJoin(ui);
    EXPECT_FALSE(worker.running());
  }
  EXPECT_EQ(answer.load(), 0) << "Cancel, not the scripted Retry";
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(ended, 0);
  EXPECT_TRUE(dialogs.boxes.empty());
}

}  // namespace
}  // namespace zel::app
