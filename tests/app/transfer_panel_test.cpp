// The transfer panel driven as a dealer drives it, against a simulated
// register in this process (zel::sim::Simulator) over UDP loopback and over
// a pseudo-terminal: its controls, the rules between its boxes, the link list,
// transfers and connection checks on the worker thread with marks, progress
// and the final messages, Stop, the settings file, and what the window does
// while a transfer runs.
#include "app/transfer_panel.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <fstream>

#include "app/beep.h"
#include "app/help_line.h"
#include "app/ipv4_edit.h"
#include "gui_support.h"
#include "link/compare.h"
#include "link/link_fixture.h"
#include "link/serial_port.h"
#include "sim/demo.h"
#include "sim/simulator.h"

namespace zel::app {
namespace {

using namespace std::chrono_literals;
using Mark = UserInterface::Mark;
using zel::test::PortEnvironment;
using zel::test::Pty;

QString Utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Texts as std::string, so a failed expectation shows them.
std::vector<std::string> Texts(const QStringList& list) {
  std::vector<std::string> out;
  for (const QString& s : list) out.push_back(s.toStdString());
  return out;
}
using Strings = std::vector<std::string>;

std::vector<std::uint8_t> FileBytes(const QString& path) {
  std::ifstream f(QFile::encodeName(path).toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

class TransferPanelTest : public test::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    std::string error;
    ASSERT_TRUE(sim_.StartUdp(0, &error)) << error;
    ::setenv("SETUPZEL_REGISTER_PORT", std::to_string(sim_.udp_port()).c_str(), 1);
    // The machine's own serial ports never take part.
    UsePorts({});
  }
  void TearDown() override {
    // A test that failed half-way still stops its transfer before the
    // window goes.
    if (panel_ && panel_->running()) {
      w().link_session().abort.Set();
      EXPECT_TRUE(QTest::qWaitFor([&] { return !panel_ || !panel_->running(); }, 10000));
    }
    window_.reset();
    sim_.Stop();
    ports_.reset();
    ::unsetenv("SETUPZEL_REGISTER_PORT");
  }

  void UsePorts(const std::map<int, std::string>& devices) {
    ports_.reset();
    ports_ = std::make_unique<PortEnvironment>(devices);
  }

  // Starts the window and opens the panel; `ip` is the register address
  // the link selection holds when the panel shows.
  void ShowWindow() {
    ASSERT_TRUE(Start());
    w().show();
    w().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
  }
  void OpenPanel(IPv4 ip = {127, 0, 0, 1}) {
    if (!w().isVisible()) ShowWindow();
    w().link().ip = ip;
    clock_.Advance(1s);
    ASSERT_TRUE(w().SwitchPanel(panel::kTransfer));
    panel_ = qobject_cast<TransferPanel*>(w().active_panel());
    ASSERT_NE(panel_, nullptr);
  }
  void ClosePanel() {
    clock_.Advance(1s);
    ASSERT_TRUE(w().SwitchPanel(panel::kNone));
    QTest::qWait(0);  // let the old panel's deferred deletion run
  }

  template <class T = QWidget>
  T* Control(int id) {
    auto* c = qobject_cast<T*>(panel_->control(id));
    EXPECT_NE(c, nullptr) << id;
    return c;
  }
  QCheckBox* Box(Kind k) { return panel_->kind_box(k); }
  void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); }
  void Click(int id) { Click(Control(id)); }
  void Tick(std::initializer_list<Kind> kinds) {
    for (const Kind k : kinds) {
      if (!Box(k)->isChecked()) Click(Box(k));
    }
  }
  // Presses Start and waits until the transfer has ended.
  bool RunTransfer() {
    QSignalSpy ended(panel_, &TransferPanel::JobEnded);
    Click(kStartButton);
    return QTest::qWaitFor([&] { return ended.count() > 0; }, 120000);
  }
  bool RunCheck() {
    QSignalSpy ended(panel_, &TransferPanel::JobEnded);
    Click(kCheckButton);
    return QTest::qWaitFor([&] { return ended.count() > 0; }, 30000);
  }
  QStringList Ticked() {
    QStringList out;
    for (const KindInfo& info : kKinds) {
      if (Box(info.kind)->isChecked()) out << Utf8(info.caption);
    }
    return out;
  }
  std::vector<Mark> MarksSeen(Kind k) const {
    std::vector<Mark> out;
    for (const auto& [kind, mark] : marks_seen_) {
      if (kind == static_cast<int>(k)) out.push_back(mark);
    }
    return out;
  }
  // Records each mark as the panel shows it (this connection runs after the
  // panel's own).
  void WatchMarks() {
    QObject::connect(&w().ui(), &QtUserInterface::KindMarked, panel_, [this](int kind, Mark mark) {
      marks_seen_.emplace_back(kind, mark);
      const QLabel* label = panel_->mark(kKinds[static_cast<std::size_t>(kind)].kind);
      looks_seen_.push_back({label->text(), label->palette().color(QPalette::WindowText),
                             label->palette().color(QPalette::Window), label->autoFillBackground()});
    });
    QObject::connect(&w().ui(), &QtUserInterface::ProgressChanged, panel_,
                     [this](int p) { top_progress_ = std::max(top_progress_, p); });
  }

  struct Look {
    QString text;
    QColor ink;
    QColor paper;
    bool filled;
  };

  sim::Simulator sim_;
  std::unique_ptr<PortEnvironment> ports_;
  QPointer<TransferPanel> panel_;
  std::vector<std::pair<int, Mark>> marks_seen_;
  std::vector<Look> looks_seen_;
  int top_progress_ = 0;
};

// ---- Controls ---------------------------------------------------------------------

TEST_F(TransferPanelTest, ControlsCarryTheirCaptionsInFocusOrder) {
  OpenPanel();
  EXPECT_EQ(Control<QLabel>(kTitleStatic)->text(), "Setup ZEL - Μεταφορα δεδομενων ");
  EXPECT_EQ(panel_->caption(), "Setup ZEL - Μεταφορα δεδομενων ");
  QStringList labels;
  for (const QLabel* l : panel_->findChildren<QLabel*>()) labels << l->text();
  for (const char* text : {"Θεση της αναφορας", "ΦΗΜ - IP#", "Σύνδ.στο ΦΗΜ"})
    EXPECT_TRUE(labels.contains(text)) << text;

  struct Caption {
    int id;
    const char* text;
  };
  for (const Caption& c :
       {Caption{kReportPathButton, ". . ."}, Caption{kReadRadio, "Ανάγνωση"}, Caption{kWriteRadio, "Εγγραφή"},
        Caption{kSalesReportBox, "Αναφορα πωλ."}, Caption{kClearSalesBox, "Διαγραφη δεδ."},
        Caption{kStartButton, "ΕΝΑΡΞΗ"}, Caption{kCheckButton, "ΕΛΕΓΧΟΣ ΣΥΝΔΕΣΗΣ "}}) {
    EXPECT_EQ(Control<QAbstractButton>(c.id)->text(), QString::fromUtf8(c.text)) << c.id;
  }
  const QComboBox* baud = Control<QComboBox>(kBaudList);
  EXPECT_EQ(baud->count(), 2);
  EXPECT_EQ(baud->itemText(0), "115200");
  EXPECT_EQ(baud->itemText(1), "9600");
  EXPECT_EQ(baud->currentIndex(), 0);
  EXPECT_EQ(Control<QComboBox>(kLinkList)->itemText(0), "LAN");
  EXPECT_EQ(Control<QProgressBar>(kProgressBar)->value(), 0);
  EXPECT_TRUE(Control<QRadioButton>(kReadRadio)->isChecked());

  // The focus visits the controls in the form's order: path, chooser,
  // direction, address, link, baud, the kinds, the item options, Start, check.
  const QStringList kind_captions = {"Παράμετροι", "Γραφικό λογότ.", "Φορολ.λογότυπο", "Κεφαλ./Υποσέλ.",
                                     "Πληρωμές",   "ΓΓΠΣ Κωδικος",   "Φορολογ.μνήμη",  "Κατηγορίες ΦΠΑ",
                                     "Κατηγορίες", "Τμήματα",        "Χειριστές",      "Πελατες",
                                     "Είδη"};
  std::vector<QWidget*> expected = {Control(kReportPathEdit), Control(kReportPathButton),       Control(kReadRadio),
                                    Control(kWriteRadio),     panel_->address_edit()->octet(0), Control(kLinkList),
                                    Control(kBaudList)};
  for (std::size_t n = 0; n < kKindBoxOrder.size(); ++n) {
    QCheckBox* box = Box(kKindBoxOrder[n]);
    EXPECT_EQ(box->text(), kind_captions[static_cast<qsizetype>(n)]);
    EXPECT_EQ(box->objectName(), QStringLiteral("control%1").arg(InfoOf(kKindBoxOrder[n]).control_id));
    expected.push_back(box);
    // Each mark stands 20 pixels left of its box's top-left corner.
    const QLabel* mark = panel_->mark(kKindBoxOrder[n]);
    EXPECT_EQ(mark->mapTo(panel_, QPoint(0, 0)).x(), box->mapTo(panel_, QPoint(0, 0)).x() - 20);
    EXPECT_TRUE(mark->font().fixedPitch());
    EXPECT_TRUE(mark->text().isEmpty());
    // A mark of the second column keeps clear of the first column's labels,
    // so it is not read as theirs.
    if (n >= 7) {
      const QCheckBox* left = Box(kKindBoxOrder[n - 7]);
      const int label_end = left->mapTo(panel_, QPoint(0, 0)).x() + left->sizeHint().width();
      EXPECT_GE(mark->mapTo(panel_, QPoint(0, 0)).x() - label_end, 24) << n;
    }
  }
  for (const int id : {kSalesReportBox, kClearSalesBox, kStartButton, kCheckButton}) expected.push_back(Control(id));
  // The item options wait for "Είδη" in a read; disabled controls take no
  // focus, and of the two directions only the chosen one does (the arrows
  // move between them).
  std::erase_if(expected, [](const QWidget* w) { return !w->isEnabled(); });
  std::erase(expected, Control(kWriteRadio));
  // The panel focuses the report path when it shows.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Control(kReportPathEdit)->hasFocus(); }));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    QWidget* focused = QApplication::focusWidget();
    ASSERT_EQ(focused, expected[i]) << i << ": " << (focused ? focused->objectName().toStdString() : "none");
    QTest::keyClick(focused, Qt::Key_Tab);
  }
}

TEST_F(TransferPanelTest, EnterMovesToTheNextControl) {
  OpenPanel();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Control(kReportPathEdit)->hasFocus(); }));
  QTest::keyClick(Control(kReportPathEdit), Qt::Key_Return);
  EXPECT_TRUE(Control(kReportPathButton)->hasFocus());
}

// ---- Showing and hiding ---------------------------------------------------------------

TEST_F(TransferPanelTest, ShowingSetsTheHelpLineAndTheUsualAddressHidingSavesTheSelection) {
  OpenPanel({0, 0, 0, 0});  // a new settings file: no address yet
  const HelpLine& help = w().help_line();
  EXPECT_EQ(help.text(), Utf8(kTransferHelp));
  ASSERT_TRUE(help.background());
  EXPECT_EQ(*help.background(), QColor(0xFF, 0xFF, 0xE0));  // 0xE0FFFF as blue-green-red
  EXPECT_EQ(panel_->address_edit()->address(), (IPv4{192, 168, 1, 50}));

  QTest::mouseMove(panel_, QPoint(5, 5));
  QTest::mouseMove(panel_, QPoint(8, 9));
  ASSERT_TRUE(help.background());
  EXPECT_EQ(*help.background(), QColor(Qt::white));
  EXPECT_EQ(help.text(), Utf8(kTransferHelp));

  ClosePanel();
  EXPECT_EQ(help.text(), QString());
  EXPECT_FALSE(help.background());
  EXPECT_EQ(FileBytes(Path("OV_Setup.cfg")), (std::vector<std::uint8_t>{0, 0, 1, 0, 192, 168, 1, 50}));
}

TEST_F(TransferPanelTest, TaxCodesRequestOpensTheWriteOfTheTaxCode) {
  ShowWindow();
  // What the parameters panel's transfer-codes button does.
  w().image().state.send_tax_codes_request = true;
  OpenPanel();
  EXPECT_TRUE(Control<QRadioButton>(kWriteRadio)->isChecked());
  EXPECT_EQ(Texts(Ticked()), Strings{"ΓΓΠΣ Κωδικος"});
  EXPECT_FALSE(Box(Kind::kFiscalMemory)->isEnabled());
  EXPECT_FALSE(w().image().state.send_tax_codes_request);
  EXPECT_FALSE(w().image().state.modified);

  // Start writes the code to the register.
  std::array<std::uint8_t, 64> key{};
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(0x41 + i % 26);
  std::copy(key.begin(), key.end(), w().image().block(Block::kParameters).begin() + 648);
  ASSERT_TRUE(RunTransfer());
  const DataImage got = sim_.Programming();
  EXPECT_TRUE(std::equal(key.begin(), key.end(), got.block(Block::kParameters).begin() + 648));
}

// ---- Rules between the boxes --------------------------------------------------------------

TEST_F(TransferPanelTest, WriteUnticksAndDisablesWhatOnlyAReadCanDo) {
  OpenPanel();
  Tick({Kind::kFiscalMemory, Kind::kItems, Kind::kVatRates});
  Click(kSalesReportBox);
  Click(kClearSalesBox);
  ASSERT_TRUE(Control<QCheckBox>(kSalesReportBox)->isChecked());

  Click(kWriteRadio);
  EXPECT_EQ(Texts(Ticked()), (Strings{"Κατηγορίες ΦΠΑ", "Είδη"}));
  for (QWidget* w :
       {static_cast<QWidget*>(Box(Kind::kFiscalMemory)), Control(kSalesReportBox), Control(kClearSalesBox)})
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_FALSE(Control<QCheckBox>(kSalesReportBox)->isChecked());
  EXPECT_FALSE(Control<QCheckBox>(kClearSalesBox)->isChecked());

  Click(kReadRadio);
  EXPECT_TRUE(Box(Kind::kFiscalMemory)->isEnabled());
  EXPECT_TRUE(Control(kSalesReportBox)->isEnabled());  // items are ticked

  // Unticking "Είδη" in read mode unticks and disables the item options.
  Click(kSalesReportBox);
  Click(Box(Kind::kItems));
  EXPECT_FALSE(Control(kSalesReportBox)->isEnabled());
  EXPECT_FALSE(Control<QCheckBox>(kSalesReportBox)->isChecked());
}

TEST_F(TransferPanelTest, StartWithOnlyTheSalesReportOptionAsksForAChoice) {
  sim_.FillDemoProgramming();
  sim_.FillDemoSales(3);
  OpenPanel();
  w().report_path() = QFile::encodeName(Path("Αναφορες")).toStdString();
  Tick({Kind::kItems});
  Click(kSalesReportBox);
  ASSERT_TRUE(RunTransfer());
  // The transfer unticked the kinds and left the option ticked.
  ASSERT_TRUE(Ticked().isEmpty());
  ASSERT_TRUE(Control<QCheckBox>(kSalesReportBox)->isChecked());
  dialogs().boxes.clear();
  const std::uint64_t requests = sim_.counters().Handled();
  ASSERT_TRUE(QFile::remove(Path("OV_Log.txt")));

  Click(kStartButton);
  ASSERT_EQ(dialogs().boxes.size(), 1u);
  const test::SeenBox& box = dialogs().boxes[0];
  EXPECT_EQ(box.text, "Επιλέξτε τα δεδομένα προς μεταφορά...");
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  EXPECT_TRUE(box.on_top);
  EXPECT_FALSE(panel_->running());
  EXPECT_FALSE(w().busy());
  EXPECT_EQ(sim_.counters().Handled(), requests);
  EXPECT_FALSE(QFile::exists(Path("OV_Log.txt")));
}

// ---- Link list and settings file ----------------------------------------------------------

TEST_F(TransferPanelTest, StoredPortMissingPicksTheLastPortOrTheLan) {
  Pty com3, com5;
  UsePorts({{3, com3.path}, {5, com5.path}});
  {
    std::ofstream f(QFile::encodeName(Path("OV_Setup.cfg")).toStdString(), std::ios::binary);
    const char bytes[] = {7, 0, 1, 0, 10, 0, 0, 9};
    f.write(bytes, sizeof bytes);
  }
  OpenPanel({10, 0, 0, 9});
  QComboBox* list = Control<QComboBox>(kLinkList);
  const QStringList entries = {"LAN", Utf8(PortLabel(3)), Utf8(PortLabel(5))};
  QStringList shown;
  for (int i = 0; i < list->count(); ++i) shown << list->itemText(i);
  EXPECT_EQ(Texts(shown), Texts(entries));
  EXPECT_EQ(list->currentText(), Utf8(PortLabel(5)));
  EXPECT_TRUE(list->currentText().startsWith("COM5 (pts/"));
  EXPECT_EQ(w().link().port, 7);  // taken from the list only by Start and the check

  // Opening the list refills it and keeps the user's choice.
  list->setCurrentIndex(1);
  list->showPopup();
  EXPECT_EQ(list->currentText(), Utf8(PortLabel(3)));
  list->hidePopup();
  ClosePanel();
  EXPECT_EQ(FileBytes(Path("OV_Setup.cfg")), (std::vector<std::uint8_t>{7, 0, 1, 0, 10, 0, 0, 9}));

  // No serial port at all: LAN, and the stored number becomes 0.
  UsePorts({});
  w().link().port = 4;
  OpenPanel({10, 0, 0, 9});
  EXPECT_EQ(Control<QComboBox>(kLinkList)->count(), 1);
  EXPECT_EQ(Control<QComboBox>(kLinkList)->currentText(), "LAN");
  EXPECT_EQ(w().link().port, 0);
  ClosePanel();
  EXPECT_EQ(FileBytes(Path("OV_Setup.cfg")), (std::vector<std::uint8_t>{0, 0, 1, 0, 10, 0, 0, 9}));
}

TEST_F(TransferPanelTest, ConnectionCheckOverLanThenHidingWritesTheSettings) {
  OpenPanel({0, 0, 0, 0});
  // The dealer types the address.
  Ipv4Edit* address = panel_->address_edit();
  address->octet(0)->setFocus();
  address->octet(0)->selectAll();
  for (const char c : std::string("127.0.0.1")) QTest::keyClick(QApplication::focusWidget(), c);
  ASSERT_EQ(w().link().ip, (IPv4{127, 0, 0, 1}));
  ASSERT_TRUE(RunCheck());
  EXPECT_EQ(Texts(dialogs().BoxTexts()), Strings{"Η μεταφορά δεδομένων ολοκληρώθηκε επιτυχώς!"});
  EXPECT_EQ(dialogs().boxes.at(0).icon, QMessageBox::Information);
  EXPECT_EQ(dialogs().boxes.at(0).thread, qApp->thread());
  EXPECT_EQ(sim_.counters().requests[0x79], 1u);
  EXPECT_FALSE(w().busy());
  EXPECT_EQ(w().active_panel(), panel_.data());  // a check leaves the panel open
  ClosePanel();
  EXPECT_EQ(FileBytes(Path("OV_Setup.cfg")),
            (std::vector<std::uint8_t>{0x00, 0x00, 0x01, 0x00, 0x7F, 0x00, 0x00, 0x01}));
}

// A register that does not answer: the message says, on its second line,
// which link it was and what to check.
TEST_F(TransferPanelTest, RegisterThatDoesNotAnswerNamesTheLinkAndWhatToCheck) {
  sim_.Stop();  // nobody on the register's port any more
  OpenPanel({127, 0, 0, 1});
  ASSERT_TRUE(RunCheck());
  EXPECT_EQ(Texts(dialogs().BoxTexts()),
            Strings{"Πρόβλημα επικοινωνίας!\nLAN 127.0.0.1: καμία απάντηση — ελέγξτε τη διεύθυνση IP και το δίκτυο"});
  EXPECT_EQ(dialogs().boxes.at(0).icon, QMessageBox::Critical);
}

TEST_F(TransferPanelTest, ConnectionCheckOverCom12KeepsPortTwelveInTheSettings) {
  std::string error;
  ASSERT_TRUE(sim_.StartPty(&error)) << error;
  UsePorts({{12, sim_.pty_path()}});
  OpenPanel({10, 1, 2, 3});
  QComboBox* list = Control<QComboBox>(kLinkList);
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->currentText(), "LAN");
  list->setCurrentIndex(1);
  EXPECT_EQ(w().link().port, 0);  // not before the check
  ASSERT_TRUE(RunCheck());
  EXPECT_EQ(Texts(dialogs().BoxTexts()), Strings{"Η μεταφορά δεδομένων ολοκληρώθηκε επιτυχώς!"});
  EXPECT_EQ(w().link().port, 12);
  ClosePanel();
  const std::vector<std::uint8_t> expected = {0x0C, 0x00, 0x01, 0x00, 0x0A, 0x01, 0x02, 0x03};
  EXPECT_EQ(FileBytes(Path("OV_Setup.cfg")), expected);

  // Another entry chosen, hidden without Start or a check: port 12 stays.
  OpenPanel({10, 1, 2, 3});
  EXPECT_EQ(Control<QComboBox>(kLinkList)->currentIndex(), 1);
  Control<QComboBox>(kLinkList)->setCurrentIndex(0);
  ClosePanel();
  EXPECT_EQ(FileBytes(Path("OV_Setup.cfg")), expected);
}

// ---- Transfers ------------------------------------------------------------------------

TEST_F(TransferPanelTest, ReadShowsMarksProgressAndTheEndAndFillsTheImage) {
  sim_.FillDemoProgramming();
  OpenPanel();
  WatchMarks();
  const QString reports = Path("reports/");
  ASSERT_TRUE(QDir().mkpath(reports));
  w().report_path() = QFile::encodeName(reports + "Αναφορες").toStdString();
  Tick({Kind::kItems, Kind::kDepartments, Kind::kPayments});
  Click(kSalesReportBox);
  ASSERT_TRUE(RunTransfer());

  EXPECT_EQ(Texts(dialogs().BoxTexts()), Strings{"Η μεταφορά δεδομένων ολοκληρώθηκε επιτυχώς!"});
  EXPECT_EQ(dialogs().boxes.at(0).icon, QMessageBox::Information);
  // Each ticked kind ran (*) and was done (V), in the transfer order.
  EXPECT_EQ(marks_seen_, (std::vector<std::pair<int, Mark>>{{3, Mark::kRunning},
                                                            {3, Mark::kDone},
                                                            {6, Mark::kRunning},
                                                            {6, Mark::kDone},
                                                            {8, Mark::kRunning},
                                                            {8, Mark::kDone}}));
  ASSERT_EQ(looks_seen_.size(), 6u);
  EXPECT_EQ(looks_seen_[0].text, "*");
  EXPECT_EQ(looks_seen_[0].ink, QColor(Qt::black));
  EXPECT_EQ(looks_seen_[0].paper, QColor(255, 255, 0));
  EXPECT_EQ(looks_seen_[1].text, "V");
  EXPECT_EQ(looks_seen_[1].ink, QColor(Qt::white));
  EXPECT_EQ(looks_seen_[1].paper, QColor(0, 128, 0));
  EXPECT_TRUE(looks_seen_[1].filled);
  // The marks stay for the dealer to read; kinds not run have none.
  EXPECT_EQ(panel_->mark(Kind::kItems)->text(), "V");
  EXPECT_TRUE(panel_->mark(Kind::kCustomers)->text().isEmpty());
  EXPECT_GT(top_progress_, 0);
  EXPECT_EQ(Control<QProgressBar>(kProgressBar)->value(), 0);
  EXPECT_TRUE(Ticked().isEmpty());
  EXPECT_TRUE(Control<QCheckBox>(kSalesReportBox)->isChecked());  // options and direction stay
  EXPECT_TRUE(Control<QRadioButton>(kReadRadio)->isChecked());
  EXPECT_EQ(Control<QPushButton>(kStartButton)->property("picture").toString(), "start");
  EXPECT_FALSE(w().busy());
  EXPECT_TRUE(Control(kCheckButton)->isEnabled());
  EXPECT_EQ(w().help_line().text(), Utf8(kTransferHelp));

  // The image holds the register's tables; the reports went to the chosen folder.
  const DataImage reg = sim_.Programming();
  int items = 0;
  for (int i = 0; i < kItemCount; ++i) {
    if (reg.item(i).empty()) continue;  // items without a name do not travel
    ++items;
    EXPECT_TRUE(std::ranges::equal(w().image().record(Block::kItems, i), reg.record(Block::kItems, i))) << i;
  }
  EXPECT_GT(items, 10);
  for (const Block b : {Block::kDepartments, Block::kPayments}) {
    const auto got = w().image().block(b);
    const auto want = reg.block(b);
    const auto [g, r] = std::ranges::mismatch(got, want);
    EXPECT_EQ(g, got.end()) << "block " << static_cast<int>(b) << " differs at " << (g - got.begin()) << ": "
                            << (g != got.end() ? int(*g) : -1) << " != " << (r != want.end() ? int(*r) : -1);
  }
  EXPECT_TRUE(w().image().state.modified);
  EXPECT_FALSE(QDir(reports).entryList({"AP_*"}).isEmpty());
  // The log was created, and closed: it can be removed and made again.
  EXPECT_TRUE(QFile::exists(Path("OV_Log.txt")));
}

TEST_F(TransferPanelTest, WriteThenReadIntoAChangedImageGivesBackTheSameImage) {
  ShowWindow();
  DataImage shop;
  sim::FillDemoImage(shop);
  shop.state.customer_message = sim::DemoCustomerMessage();
  w().image() = shop;
  OpenPanel();

  Click(kWriteRadio);
  for (const KindInfo& info : kKinds) {
    if (Box(info.kind)->isEnabled()) Tick({info.kind});
  }
  ASSERT_EQ(Ticked().size(), 12);
  ASSERT_TRUE(RunTransfer());
  ASSERT_EQ(Texts(dialogs().BoxTexts()), Strings{"Η μεταφορά δεδομένων ολοκληρώθηκε επιτυχώς!"});

  // Change every table of the image, then read them all back.
  DataImage& image = w().image();
  image.logo()[100] ^= 0xFF;
  image.block(Block::kParameters)[40] ^= 0x01;   // a print line
  image.block(Block::kParameters)[500] ^= 0x01;  // record 0
  image.block(Block::kParameters)[600] ^= 0x01;  // record 1
  image.block(Block::kParameters)[700] ^= 0x01;  // the tax-authority code
  image.block(Block::kParameters)[800] ^= 0x01;  // record 2
  StoreText(image.item(0).name(), "CHANGED");
  StoreText(image.item(3000).name(), "NEW ITEM");
  image.payment(1)[0] ^= 0x01;
  image.set_vat_rate(2, 9999);
  image.category(4)[0] ^= 0x01;
  image.department(2).name()[0] ^= 0x01;
  image.op(1).name()[0] ^= 0x01;
  image.customer(0).company()[0] ^= 0x01;
  image.state.customer_message[1][0] ^= 0x01;
  ASSERT_FALSE(std::ranges::equal(image.bytes(), shop.bytes()));

  dialogs().boxes.clear();
  Click(kReadRadio);
  for (const KindInfo& info : kKinds) {
    if (info.kind != Kind::kFiscalMemory) Tick({info.kind});
  }
  ASSERT_TRUE(RunTransfer());
  ASSERT_EQ(Texts(dialogs().BoxTexts()), Strings{"Η μεταφορά δεδομένων ολοκληρώθηκε επιτυχώς!"});

  // Every byte that travels is back: all blocks but the parameter block's
  // last two bytes, which no record carries. What the wire's rules do to
  // the image is applied to the expected one: items without a name and
  // empty customers do not travel, and the texts the parameter records
  // clean come back blank-padded (the URLs are stored zero-terminated).
  DataImage expected = shop;
  for (int i = 0; i < kItemCount; ++i) {
    if (expected.item(i).empty()) std::ranges::fill(expected.record(Block::kItems, i), std::uint8_t{0});
  }
  const std::pair<std::size_t, std::size_t> cleaned[] = {{524, 4},  {544, 48}, {604, 4},  {612, 4},
                                                         {616, 32}, {712, 48}, {760, 48}, {808, 48},
                                                         {856, 10}, {866, 10}, {876, 10}};
  for (const auto& [offset, width] : cleaned) {
    const auto field = expected.block(Block::kParameters).subspan(offset, width);
    CleanWrite(field);
    CleanRead(field);
  }
  const auto got = image.bytes();
  const auto want = expected.bytes();
  const std::size_t untravelled = Info(Block::kParameters).offset + 886;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (i == untravelled || i == untravelled + 1) continue;
    if (got[i] != want[i]) {
      ADD_FAILURE() << "image byte " << i << " differs: " << int(got[i]) << " != " << int(want[i]);
      break;
    }
  }
  EXPECT_EQ(image.state.customer_message, shop.state.customer_message);
}

TEST_F(TransferPanelTest, RefusedKindShowsItsFailedMarkAndTheRestGoesOn) {
  sim_.SetRefuseItems(true);
  ShowWindow();
  sim::FillDemoImage(w().image());
  OpenPanel();
  WatchMarks();
  Click(kWriteRadio);
  Tick({Kind::kItems, Kind::kParameters});
  ASSERT_TRUE(RunTransfer());

  EXPECT_EQ(panel_->mark(Kind::kItems)->text(), "X");
  const QPalette p = panel_->mark(Kind::kItems)->palette();
  EXPECT_EQ(p.color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(p.color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_EQ(panel_->mark(Kind::kParameters)->text(), "V");
  const QStringList texts = dialogs().BoxTexts();
  ASSERT_EQ(texts.size(), 2);
  EXPECT_EQ(texts[0], "Η ΦΤΜ απορρίπτει το αίτημα!");
  EXPECT_TRUE(texts[1].startsWith(Utf8(kMsgTransferIncomplete))) << texts[1].toStdString();
  EXPECT_TRUE(texts[1].contains("Είδη"));
  EXPECT_TRUE(Ticked().isEmpty());
  EXPECT_EQ(w().active_panel(), panel_.data());
}

TEST_F(TransferPanelTest, CompareShowsTheDifferenceListAndLeavesTheDatabaseAsItWas) {
  sim_.FillDemoProgramming();
  ShowWindow();
  w().image() = sim_.Programming();
  int changed = 0;
  while (w().image().item(changed).empty()) ++changed;
  w().image().item(changed).set_price(w().image().item(changed).price() + 1);
  const DataImage before = w().image();
  OpenPanel();
  Click(panel_->compare_radio());
  EXPECT_FALSE(Box(Kind::kFiscalMemory)->isEnabled());  // nothing to compare it with
  EXPECT_FALSE(Control(kSalesReportBox)->isEnabled());
  EXPECT_FALSE(panel_->verify_box()->isEnabled());  // options of a write
  Tick({Kind::kItems, Kind::kPayments});
  ASSERT_TRUE(RunTransfer());

  EXPECT_TRUE(w().image() == before);
  EXPECT_FALSE(w().image().state.modified);
  const QStringList texts = dialogs().BoxTexts();
  ASSERT_EQ(texts.size(), 1);
  EXPECT_TRUE(texts[0].startsWith(Utf8(kMsgCompareDifferent))) << texts[0].toStdString();
  ASSERT_NE(panel_->differences_dialog(), nullptr);
  const QTableWidget* table = panel_->differences_dialog()->findChild<QTableWidget*>();
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 0)->text(), "Είδη");
  EXPECT_EQ(table->item(0, 1)->text(), QString::number(changed + 1));
  EXPECT_EQ(table->item(0, 2)->text(), "Τιμη");
  EXPECT_TRUE(panel_->compare_radio()->isChecked());  // the direction stays for the next run
  panel_->differences_dialog()->close();
}

TEST_F(TransferPanelTest, WriteBacksUpTracesAndContinuesWhereItStopped) {
  sim_.SetRefuseItems(true);  // the items fail: the write stops at them
  ShowWindow();
  sim::FillDemoImage(w().image());
  OpenPanel();
  Click(kWriteRadio);
  EXPECT_TRUE(panel_->backup_box()->isChecked());  // on by default
  Click(panel_->trace_box());
  Tick({Kind::kItems, Kind::kParameters});
  ASSERT_TRUE(RunTransfer());
  EXPECT_EQ(panel_->mark(Kind::kItems)->text(), "X");
  ASSERT_TRUE(panel_->resume_point().has_value());
  EXPECT_TRUE(panel_->resume_button()->isEnabled());
  EXPECT_EQ(QDir(Path("Αντίγραφα ασφαλείας")).entryList({"ZEL12345678_*.cld"}).size(), 1);
  const std::vector<std::uint8_t> trace = FileBytes(Path("OV_Trace.txt"));
  EXPECT_NE(std::string(trace.begin(), trace.end()).find(" ACCEPTED > 55 33 11 "), std::string::npos);

  // Συνέχεια: only what did not get through, without a new backup.
  sim_.SetRefuseItems(false);
  sim_.ResetCounters();
  dialogs().boxes.clear();
  QSignalSpy ended(panel_, &TransferPanel::JobEnded);
  Click(panel_->resume_button());
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() > 0; }, 60000));
  EXPECT_EQ(Texts(dialogs().BoxTexts()), Strings{"Η μεταφορά δεδομένων ολοκληρώθηκε επιτυχώς!"});
  EXPECT_EQ(sim_.counters().requests[0x68], 0u) << "the parameters were written before the stop";
  EXPECT_EQ(sim_.counters().requests[0x73], 0u) << "no second backup";
  EXPECT_TRUE(CompareKind(Kind::kItems, w().image(), sim_.Programming()).empty());
  EXPECT_FALSE(panel_->resume_point().has_value());
  EXPECT_FALSE(panel_->resume_button()->isEnabled());
  EXPECT_EQ(QDir(Path("Αντίγραφα ασφαλείας")).entryList({"*.cld"}).size(), 1);
}

TEST_F(TransferPanelTest, WindowKeepsPaintingAndRefusesEverythingButStopWhileATransferRuns) {
  // Every reply a little late, so the transfer lasts.
  sim::FaultOptions slow;
  slow.rates.slow = 100;
  slow.slow_ms = 25;
  sim_.SetFaults(slow);
  OpenPanel();
  Tick({Kind::kCustomers});
  Click(kStartButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Control<QProgressBar>(kProgressBar)->value() >= 3; }, 20000));
  ASSERT_TRUE(panel_->running());
  EXPECT_TRUE(w().busy());
  EXPECT_EQ(w().help_line().text(), Utf8(kMsgPleaseWait));
  EXPECT_EQ(*w().help_line().background(), QColor(0xFF, 0xE0, 0xE0));
  EXPECT_EQ(Control<QPushButton>(kStartButton)->property("picture").toString(), "stop");
  EXPECT_EQ(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor, Qt::BusyCursor);

  // The UI thread is free: the window paints.
  int paints = 0;
  struct PaintCounter : QObject {
    int* n;
    explicit PaintCounter(int* c) : n(c) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++*n;
      return false;
    }
  } counter(&paints);
  panel_->installEventFilter(&counter);
  panel_->update();
  EXPECT_TRUE(QTest::qWaitFor([&] { return paints > 0; }, 5000));
  EXPECT_TRUE(panel_->running());

  // Only Stop: the other controls and commands are off, switches are refused.
  for (const int id : {kReportPathEdit, kReportPathButton, kReadRadio, kWriteRadio, kLinkList, kBaudList, kCheckButton,
                       kSalesReportBox})
    EXPECT_FALSE(Control(id)->isEnabled()) << id;
  EXPECT_FALSE(panel_->address_edit()->isEnabled());
  EXPECT_TRUE(Control(kStartButton)->isEnabled());
  // The Start button is the Stop button now, and says so.
  EXPECT_EQ(qobject_cast<QPushButton*>(Control(kStartButton))->text(), QString("ΔΙΑΚΟΠΗ"));
  EXPECT_EQ(Control(kStartButton)->property("picture").toString(), QString("stop"));
  EXPECT_FALSE(w().action(CommandId::kItems)->isEnabled());
  clock_.Advance(2s);
  const int beeps = Beeps().count;
  EXPECT_FALSE(w().SwitchPanel(panel::kItems));
  EXPECT_EQ(w().active_panel(), panel_.data());
  EXPECT_EQ(Beeps().count, beeps + 1);
  // A click elsewhere on the panel only beeps (short).
  Click(Box(Kind::kItems));
  EXPECT_FALSE(Box(Kind::kItems)->isChecked());
  EXPECT_EQ(Beeps().count, beeps + 2);
  EXPECT_EQ(Beeps().last_ms, 20);
  // Minimising keeps the panel.
  w().showMinimized();
  EXPECT_EQ(w().active_panel(), panel_.data());
  w().showNormal();

  Click(kStartButton);  // Stop
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel_.isNull(); }, 20000));
  EXPECT_FALSE(w().busy());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TransferPanelTest, StopInTheMiddleEndsAtOnceClosesThePanelAndSaysSo) {
  sim::FaultOptions paced;
  paced.rates.slow = 100;
  paced.slow_ms = 30;
  sim_.SetFaults(paced);
  ShowWindow();
  sim::FillDemoImage(w().image());
  OpenPanel();
  WatchMarks();
  Click(kWriteRadio);
  Click(panel_->backup_box());  // the plain write: no backup read before it
  Tick({Kind::kCustomers, Kind::kParameters});
  Click(kStartButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Control<QProgressBar>(kProgressBar)->value() >= 5; }, 20000));

  // From now on the register holds every reply for a minute: only Stop can
  // end the wait before the reply time-out. Wait until such a request is out.
  sim::FaultOptions stuck;
  stuck.rates.slow = 100;
  stuck.slow_ms = 60000;
  sim_.SetFaults(stuck);
  sim_.ResetCounters();
  ASSERT_TRUE(sim_.WaitForRequests(1, 10s));

  bool panel_open_at_message = false;
  QString customers_mark_at_message;
  dialogs().on_box = [&](QMessageBox&) {
    panel_open_at_message = !panel_.isNull() && w().active_panel() == panel_.data();
    if (panel_) customers_mark_at_message = panel_->mark(Kind::kCustomers)->text();
  };
  // Waited for in an event loop that the end itself quits, so the figure
  // holds no polling delay.
  QElapsedTimer since_click;
  qint64 ended_after = -1;
  QEventLoop until_ended;
  QObject::connect(panel_, &TransferPanel::JobEnded, &until_ended, [&] {
    ended_after = since_click.elapsed();
    until_ended.quit();
  });
  QTimer::singleShot(20000, &until_ended, &QEventLoop::quit);
  since_click.start();
  Click(kStartButton);
  until_ended.exec();
  ASSERT_GE(ended_after, 0) << "the transfer did not end";
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel_.isNull(); }, 20000));
  std::cout << "[ MEASURE  ] Stop click to transfer ended: " << ended_after << " ms\n";
  RecordProperty("stop_latency_ms", static_cast<int>(ended_after));

  EXPECT_EQ(Texts(dialogs().BoxTexts()), Strings{"Πρόβλημα επικοινωνίας!"});
  EXPECT_EQ(dialogs().boxes.at(0).icon, QMessageBox::Critical);
  EXPECT_TRUE(panel_open_at_message);
  EXPECT_EQ(customers_mark_at_message, "X");
  EXPECT_TRUE(MarksSeen(Kind::kParameters).empty());  // later kinds are not attempted
  EXPECT_EQ(w().active_panel(), nullptr);
  EXPECT_EQ(w().image().state.active_panel, 0);
  EXPECT_FALSE(w().busy());
  EXPECT_FALSE(w().link_session().abort.IsSet());
  // The wait ended by Stop, not by the reply time-out.
  const std::vector<std::uint8_t> log = FileBytes(Path("OV_Log.txt"));
  EXPECT_EQ(std::string(log.begin(), log.end()).find("NO REPLY"), std::string::npos);
  EXPECT_EQ(sim_.counters().Handled(), 1u);
  // The panel's hiding saved the link selection.
  EXPECT_EQ(FileBytes(Path("OV_Setup.cfg")), (std::vector<std::uint8_t>{0, 0, 1, 0, 127, 0, 0, 1}));
}

TEST_F(TransferPanelTest, StopDuringACheckKeepsThePanelAndTheNextStartRuns) {
  sim::FaultOptions stuck;
  stuck.rates.slow = 100;
  stuck.slow_ms = 60000;
  sim_.SetFaults(stuck);
  OpenPanel();
  QSignalSpy ended(panel_, &TransferPanel::JobEnded);
  Click(kCheckButton);
  ASSERT_TRUE(sim_.WaitForRequests(1, 10s));
  EXPECT_TRUE(panel_->running());
  Click(kStartButton);  // Stop
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() > 0; }, 20000));
  EXPECT_EQ(w().active_panel(), panel_.data());
  EXPECT_FALSE(w().link_session().abort.IsSet());

  // A Stop of the check must not end the next transfer before it starts.
  // (A register that is answering at once this time.)
  sim_.Stop();
  sim_.SetFaults({});
  std::string error;
  ASSERT_TRUE(sim_.StartUdp(0, &error)) << error;
  ::setenv("SETUPZEL_REGISTER_PORT", std::to_string(sim_.udp_port()).c_str(), 1);
  dialogs().boxes.clear();
  Tick({Kind::kVatRates});
  ASSERT_TRUE(RunTransfer());
  EXPECT_EQ(Texts(dialogs().BoxTexts()), Strings{"Η μεταφορά δεδομένων ολοκληρώθηκε επιτυχώς!"});
}

TEST_F(TransferPanelTest, ProgramTornDownMidTransferStopsTheWorkerFirst) {
  sim::FaultOptions stuck;
  stuck.rates.slow = 100;
  stuck.slow_ms = 60000;
  sim_.SetFaults(stuck);
  OpenPanel();
  Tick({Kind::kPayments});
  Click(kStartButton);
  ASSERT_TRUE(sim_.WaitForRequests(1, 10s));
  ASSERT_TRUE(panel_->running());
  // The window goes while the worker waits for the register: the panel
  // stops it and joins it without running an event loop; what the worker
  // still says on its way out is answered as cancelled, never shown.
  window_.reset();
  EXPECT_TRUE(panel_.isNull());
  EXPECT_EQ(Texts(dialogs().BoxTexts()), Strings{});
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TransferPanelTest, ReportPathChooserOffersTheReportsDialogAndKeepsThePath) {
  OpenPanel();
  ASSERT_TRUE(QDir().mkpath(Path("out")));
  dialogs().files.push_back(Path("out/Αναφορες.bin"));
  Click(kReportPathButton);
  ASSERT_EQ(dialogs().files_seen.size(), 1u);
  const test::SeenFileDialog& d = dialogs().files_seen[0];
  EXPECT_EQ(d.accept_mode, QFileDialog::AcceptSave);
  EXPECT_TRUE(d.confirm_overwrite);
  EXPECT_EQ(d.selected, QDir::current().filePath("Αναφορες"));
  ASSERT_FALSE(d.name_filters.isEmpty());
  EXPECT_TRUE(d.name_filters[0].startsWith("Setup ZEL ΑΝΑΦΟΡΕΣ(*.bin,*.txt,*.csv)"));
  EXPECT_TRUE(d.name_filters[0].endsWith("(*.bin)"));
  EXPECT_EQ(Control<QLineEdit>(kReportPathEdit)->text(), Path("out/Αναφορες.bin"));
  EXPECT_EQ(w().report_path(), QFile::encodeName(Path("out/Αναφορες.bin")).toStdString());

  // The path outlives the panel and starts the next dialog.
  ClosePanel();
  OpenPanel();
  EXPECT_EQ(Control<QLineEdit>(kReportPathEdit)->text(), Path("out/Αναφορες.bin"));
  Click(kReportPathButton);
  ASSERT_EQ(dialogs().files_seen.size(), 2u);
  EXPECT_EQ(dialogs().files_seen[1].selected, Path("out/Αναφορες.bin"));
}

}  // namespace
}  // namespace zel::app
