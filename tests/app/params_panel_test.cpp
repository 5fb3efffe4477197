// The general parameters panel as a dealer uses it: every control of its
// three columns with its label and group, the option-word bit fields and
// check boxes that touch only their own bits, the machine number's offset,
// the AES key's capital hexadecimal digits, the addresses that are no
// unsaved change, the customer message beside the file, and the button that
// opens the transfer panel to send the tax-authority codes.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QStatusBar>

#include "app/params_panel.h"
#include "app/shell_logic.h"
#include "app/text.h"
#include "app/transfer_panel.h"
#include "core/options.h"
#include "panel_fixture.h"

namespace zel::app {
namespace {

using namespace editors;
using test::Greek;
using test::PanelFixture;
using test::Q;

// Every leaf a dealer sees (labels, fields, boxes, buttons, address
// controls), in panel coordinates; the parts of an address control and
// group boxes (which hold others) are not leaves.
std::vector<std::pair<QWidget*, QRect>> Leaves(QWidget* panel) {
  std::vector<std::pair<QWidget*, QRect>> out;
  for (QWidget* w : panel->findChildren<QWidget*>()) {
    if (!w->isVisible() || qobject_cast<QGroupBox*>(w) != nullptr) continue;
    bool in_address = false;
    for (QWidget* p = w->parentWidget(); p != nullptr && p != panel; p = p->parentWidget())
      in_address = in_address || qobject_cast<Ipv4Edit*>(p) != nullptr;
    if (in_address) continue;
    if (qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w) ||
        qobject_cast<Ipv4Edit*>(w))
      out.emplace_back(w, QRect(w->mapTo(panel, QPoint(0, 0)), w->size()));
  }
  return out;
}

// Fails for any leaf outside the panel and any two leaves on top of each
// other; `what` names the panel.
void ExpectNothingOverlaps(QWidget* panel, const char* what) {
  const auto leaves = Leaves(panel);
  EXPECT_GT(leaves.size(), 30u) << what;
  for (std::size_t i = 0; i < leaves.size(); ++i) {
    const auto& [a, ra] = leaves[i];
    EXPECT_TRUE(panel->rect().contains(ra)) << what << ": " << a->objectName().toStdString() << " sticks out";
    for (std::size_t j = i + 1; j < leaves.size(); ++j) {
      const auto& [b, rb] = leaves[j];
      EXPECT_FALSE(ra.intersects(rb)) << what << ": " << a->objectName().toStdString() << " '"
                                      << a->property("text").toString().toStdString() << "' overlaps "
                                      << b->objectName().toStdString() << " '"
                                      << b->property("text").toString().toStdString() << "'";
    }
  }
}

class ParamsPanelTest : public PanelFixture {
 protected:
  ParametersPanel& params() { return *qobject_cast<ParametersPanel*>(w().active_panel()); }
  std::uint32_t Word(int word) { return image().parameters().options(word); }
  void Close() { ASSERT_TRUE(w().SwitchPanel(panel::kNone)); }
  // Types an address as a dealer does: each key goes where the focus is
  // (a dot moves it to the next octet).
  void TypeAddress(Ipv4Edit* edit, const char* dotted) {
    QTest::mouseClick(edit->octet(0), Qt::LeftButton);
    edit->octet(0)->selectAll();
    for (const char c : std::string_view(dotted)) QTest::keyClick(QApplication::focusWidget(), c);
  }
  void ClickBox(int id) {
    QCheckBox* box = panel().check_box(id);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
  }
};

TEST_F(ParamsPanelTest, OpensWithEveryControlLabelledInItsGroupAndTheFocusOnTheMachineNumber) {
  image().parameters().set_machine_number(6);
  Open(panel::kParameters);
  EXPECT_EQ(panel().caption(), Q("Setup ZEL - Γενικές παράμ.ρυθμισης "));
  EXPECT_EQ(Focused(), &F(kMachineNumber));
  EXPECT_EQ(F(kMachineNumber).text(), QString("7"));
  EXPECT_EQ(F(1315).text(), QString("0,00"));
  EXPECT_EQ(F(1314).text(), QString("270513"));
  EXPECT_EQ(F(1319).text(), QString("http://www1.aade.gr/eafdss/myweb/websend.php"));
  EXPECT_EQ(params().address(kRegisterIpAddress)->address(), (IPv4{192, 168, 1, 50}));
  EXPECT_EQ(params().address(1301)->address(), (IPv4{255, 255, 255, 0}));

  // The labels as the register's dealers know them, blanks and dots included.
  const std::pair<int, const char*> labelled[] = {
      {kMachineNumber, "Αρ.Μηχανης..."},
      {1315, "Οριο απ."},
      {1307, "Εμφ.ημερ.μετα(0-3)"},
      {1297, "Ζυγαρια      (0-3)"},
      {kContrast, "Αντιθ.Οθόνης (0-7)"},
      {1330, "Μηνιαια Αναφ.(0-2)"},
      {1331, "Εξοικον.μπατ.(0-3)"},
      {kCom2Device, "Συνδεσ. COM2(0-6)"},
      {1303, "Baud COM1   (0-3)"},
      {1329, "Σύνδεση USB (0-3)"},
      {1336, "Συνδεση POS (0-2)"},
      {1421, "Μηνυμα \nΠελατη"},
      {kPos3Name, "POS3"},
      {1314, "Κωδ.τεχν."},
      {kAesKey, "ΚΛΕΙΔΙ AES"},
      {1393, "-"},
  };
  for (const auto& [id, text] : labelled) {
    ASSERT_NE(panel().label(id), nullptr) << text;
    EXPECT_EQ(panel().label(id)->text(), Q(text));
    EXPECT_TRUE(panel().label(id)->isVisible()) << text;
  }
  const std::pair<int, const char*> boxes[] = {{1308, "Χειριστες   (1/25)"}, {1309, "Δεκαδικα ........."},
                                               {1292, "Λειτουργια   <+%>"},  {1428, "Αυτ.Εκδοση Ζ ...."},
                                               {1326, "Στατ.IP/DHCP....."},  {1335, "ΑΑΔΕ (LAN/WIFI)"},
                                               {1430, "Εκτυπ.Αναφ.POS"}};
  for (const auto& [id, text] : boxes) EXPECT_EQ(panel().check_box(id)->text(), Q(text));
  QStringList texts;
  for (const QLabel* l : panel().findChildren<QLabel*>()) texts << l->text();
  for (const char* text : {"ΦΗΜ IP", "NET MASK", "GATE WAY", "DNS IP"}) EXPECT_TRUE(texts.contains(Q(text))) << text;
  EXPECT_EQ(params().transfer_codes_button()->text(), Q(" Μεταφορά Κωδ. ΓΓΠΣ"));
  EXPECT_FALSE(params().transfer_codes_button()->icon().isNull());

  // The groups and what they hold.
  struct Group {
    const char* name;
    const char* title;
    std::vector<int> holds;
  };
  const Group groups[] = {
      {"barcodeGroup", "MORFH BARC.", {1392, 1393, 1400, 1401}},
      {"posGroup", "   Ονομα/   POS.ID#   /     POS  IP       /Port", {1432, 1433, 1305, 1438, 1440}},
      {"urlGroup", "URL: AADE / QR / AES / POS / Firmw.", {1319, 1337, 1338, 1339, kFirmwareUrl}},
  };
  for (const Group& g : groups) {
    const auto* box = panel().findChild<QGroupBox*>(g.name);
    ASSERT_NE(box, nullptr) << g.name;
    EXPECT_EQ(box->title(), Q(g.title));
    for (const int id : g.holds) EXPECT_TRUE(box->isAncestorOf(panel().control(id))) << g.name << " " << id;
  }
  // Every address control of the table is there, loaded from its field.
  for (const int id : {int{kRegisterIpAddress}, 1301, 1302, 1304, 1305, 1318, 1340})
    ASSERT_NE(params().address(id), nullptr);

  // Three columns that fit the program's 960 x 640 window between its tool
  // bar and its status bar, nothing on top of anything else.
  const QSize frame(960, 640);
  const QRect placed(PanelPosition(frame, panel().size()), panel().size());
  EXPECT_TRUE(QRect(0, 50, frame.width(), frame.height() - 50 - w().statusBar()->height()).contains(placed))
      << panel().width() << " x " << panel().height();
  EXPECT_LT(panel().control(1308)->mapTo(&panel(), QPoint()).x(), panel().control(1331)->mapTo(&panel(), QPoint()).x());
  EXPECT_LT(panel().control(1331)->mapTo(&panel(), QPoint()).x(), panel().control(1392)->mapTo(&panel(), QPoint()).x());
  ExpectNothingOverlaps(&panel(), "parameters");
  EXPECT_LT(QFontMetrics(F(kAesKey).font()).horizontalAdvance(QString(64, QLatin1Char('F'))),
            F(kAesKey).contentsRect().width())
      << "the whole key is in view";
  EXPECT_FALSE(image().state.modified);
}

// Typing into a bit field: a digit above its bound is refused with the beep;
// an accepted value replaces its own bits of its own word and nothing else.
TEST_F(ParamsPanelTest, BitFieldsTakeOnlyTheirOwnBitsAndRefuseDigitsAboveTheirBound) {
  struct Case {
    int id;
    int word;
    int shift;
    std::uint32_t mask;
    const char* refused;
    const char* typed;
  };
  const Case cases[] = {
      {kContrast, 1, 16, 7, "9", "5"},
      {kCom2Device, 2, 5, 7, "7", "2"},
      {1330, 1, 25, 3, "3", "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const std::uint32_t others = 0xA5C3F00Fu & ~(c.mask << c.shift);
    image().parameters().set_options(c.word, others);
    image().parameters().set_options(3 - c.word, 0x12345678u);
    Open(panel::kParameters);
    const int beeps = Beeped();
    ClickInto(c.id);  // a one-digit field: the click selects it
    Type(&F(c.id), Q(c.refused));
    EXPECT_EQ(Beeped(), beeps + 1);
    EXPECT_EQ(F(c.id).text(), QString("0"));
    Retype(c.id, Q(c.typed));
    Leave(kMachineNumber);
    const std::uint32_t value = static_cast<std::uint32_t>(std::stoul(c.typed));
    EXPECT_EQ(Word(c.word), (others & ~(c.mask << c.shift)) | (value << c.shift));
    EXPECT_EQ(Word(3 - c.word), 0x12345678u);
    Close();
  }
}

TEST_F(ParamsPanelTest, CheckBoxTogglesOnlyItsBitAndMarksTheChange) {
  image().parameters().set_options1(0xFFFFFFFFu & ~(1u << 2));
  image().parameters().set_options2(0);
  Open(panel::kParameters);
  EXPECT_FALSE(panel().check_box(1310)->isChecked());
  EXPECT_TRUE(panel().check_box(1308)->isChecked());
  ClickBox(1310);  // "Ηχος Πληκτρολ....." is bit 2 of word 1
  EXPECT_TRUE(panel().check_box(1310)->isChecked());
  EXPECT_EQ(Word(1), 0xFFFFFFFFu);
  EXPECT_TRUE(image().state.modified);
  ClickBox(1335);  // "ΑΑΔΕ (LAN/WIFI)" is bit 26 of word 2
  EXPECT_EQ(Word(2), 1u << 26);
  ClickBox(1310);
  EXPECT_EQ(Word(1), 0xFFFFFFFFu & ~(1u << 2));
  EXPECT_EQ(Word(2), 1u << 26);
}

TEST_F(ParamsPanelTest, MachineNumberOneIsStoredAsZeroAndShownAsOneOnReturn) {
  image().parameters().set_machine_number(41);
  Open(panel::kParameters);
  EXPECT_EQ(F(kMachineNumber).text(), QString("42"));
  Retype(kMachineNumber, "1");
  Leave(1315);
  EXPECT_EQ(image().parameters().machine_number(), 0);
  Open(panel::kItems);
  EXPECT_EQ(image().parameters().machine_number(), 0) << "the image holds the stored value while away";
  Open(panel::kParameters);
  EXPECT_EQ(F(kMachineNumber).text(), QString("1"));
}

// The panel opens with the machine number selected and Tab selects the
// next field, so typing replaces a value instead of adding to it.
TEST_F(ParamsPanelTest, OpeningAndTabSelectTheFieldSoTypingReplacesItsValue) {
  image().parameters().set_machine_number(41);
  image().parameters().set_receipt_limit(100);
  Open(panel::kParameters);
  ASSERT_EQ(Focused(), &F(kMachineNumber));
  EXPECT_EQ(F(kMachineNumber).selectedText(), QString("42"));
  Type(Focused(), "5");
  Key(Focused(), Qt::Key_Tab);
  ASSERT_EQ(Focused(), &F(1315));
  EXPECT_EQ(F(1315).selectedText(), QString("1,00"));
  Type(Focused(), "7,90");
  Key(Focused(), Qt::Key_Tab);
  EXPECT_EQ(image().parameters().machine_number(), 4);
  EXPECT_EQ(image().parameters().receipt_limit(), 790);
}

TEST_F(ParamsPanelTest, AesKeyRefusesLowerCaseAndTakesCapitalHexadecimal) {
  Open(panel::kParameters);
  ClickInto(kAesKey);
  const int beeps = Beeped();
  Type(&F(kAesKey), "a");
  EXPECT_EQ(Beeped(), beeps + 1);
  EXPECT_EQ(F(kAesKey).text(), QString());
  Type(&F(kAesKey), "09AFg");
  EXPECT_EQ(Beeped(), beeps + 2);
  EXPECT_EQ(F(kAesKey).text(), QString("09AF"));
  Leave(kMachineNumber);
  EXPECT_EQ(TextOf(image().parameters().aes_key()), "09AF");
}

TEST_F(ParamsPanelTest, AddressIsStoredAtOnceButIsNoUnsavedChange) {
  Open(panel::kParameters);
  TypeAddress(params().address(kRegisterIpAddress), "10.0.0.7");
  EXPECT_EQ(image().parameters().ip(param::kRegisterIp), (IPv4{10, 0, 0, 7}));
  TypeAddress(params().address(1318), "172.16.5.9");
  Leave(kMachineNumber);
  EXPECT_EQ(image().parameters().ip(param::kPos2Ip), (IPv4{172, 16, 5, 9}));
  EXPECT_EQ(image().parameters().ip(param::kNetMask), (IPv4{255, 255, 255, 0}));
  EXPECT_FALSE(image().state.modified);
  Open(panel::kOtherData);
  Open(panel::kParameters);
  EXPECT_EQ(params().address(kRegisterIpAddress)->address(), (IPv4{10, 0, 0, 7}));
}

TEST_F(ParamsPanelTest, Pos3NameHoldsFourCharactersAndNeverReachesTheFirmwareUrl) {
  Open(panel::kParameters);
  const std::vector<std::uint8_t> url(image().parameters().firmware_url().begin(),
                                      image().parameters().firmware_url().end());
  ClickInto(kPos3Name);
  const int beeps = Beeped();
  Type(&F(kPos3Name), "ΘΕΣΗ5");
  EXPECT_EQ(F(kPos3Name).text(), Q("ΘΕΣΗ"));
  EXPECT_EQ(Beeped(), beeps + 1);
  Leave(kMachineNumber);
  EXPECT_EQ(TextOf(image().parameters().pos_name(3)), Greek("ΘΕΣΗ"));
  EXPECT_TRUE(std::ranges::equal(image().parameters().firmware_url(), url));
}

TEST_F(ParamsPanelTest, CustomerMessageLivesBesideTheFile) {
  Open(panel::kParameters);
  const DataImage before = image();
  Retype(1424, Q("ΚΑΛΗ ΟΡΕΞΗ"));
  Leave(kMachineNumber);
  const auto& line = image().state.customer_message[1];
  EXPECT_EQ(std::string(line.begin(), line.end()), Greek("ΚΑΛΗ ΟΡΕΞΗ") + std::string(11, ' '));
  EXPECT_TRUE(image() == before) << "the database's bytes are untouched";
  Open(panel::kLogo);
  Open(panel::kParameters);
  EXPECT_EQ(F(1424).text(), Q("ΚΑΛΗ ΟΡΕΞΗ"));
}

TEST_F(ParamsPanelTest, EnterLeavesTheFocusWhereItIsAndTheHelpLineNamesTheField) {
  Open(panel::kParameters);
  Retype(kContrast, "4");
  Key(&F(kContrast), Qt::Key_Return);
  EXPECT_EQ(Focused(), &F(kContrast));
  EXPECT_EQ(Word(1) >> 16 & 7, kDefaultOptions1 >> 16 & 7) << "not stored before the field is left";

  Leave(kMachineNumber);
  QTest::mouseMove(&F(1297));
  EXPECT_EQ(w().help_line().text(),
            Q("Ζυγαρια: 0=οχι, 1=CAS πρωτοκολλο, 2=Delmac πρωτοκολλο, 3=Διαλογος 2 πρωτοκολλο"));
  EXPECT_EQ(w().help_line().background(), QColor(255, 255, 224));
  QTest::mouseMove(panel().check_box(1428));
  EXPECT_EQ(w().help_line().text(), Q("Λευκη γραμματοσειρα στην μπαταρια"));
  EXPECT_EQ(w().help_line().background(), QColor(240, 255, 255));
  QTest::mouseMove(&F(kAesKey));
  EXPECT_EQ(w().help_line().text(), Q("ΑΑΔΕ-κλειδι AES-48 ψηφία"));
}

TEST_F(ParamsPanelTest, TransferCodesButtonOpensTheTransferPanelToWriteTheTaxCode) {
  Open(panel::kParameters);
  clock_.Advance(std::chrono::seconds(1));
  QTest::mouseClick(params().transfer_codes_button(), Qt::LeftButton);
  auto* transfer = qobject_cast<TransferPanel*>(w().active_panel());
  ASSERT_NE(transfer, nullptr);
  EXPECT_TRUE(qobject_cast<QRadioButton*>(transfer->control(kWriteRadio))->isChecked());
  QStringList ticked;
  for (const KindInfo& info : kKinds)
    if (transfer->kind_box(info.kind)->isChecked()) ticked << Utf8(info.caption);
  EXPECT_EQ(ticked, QStringList{Q("ΓΓΠΣ Κωδικος")});
  EXPECT_FALSE(image().state.send_tax_codes_request) << "the transfer panel took the request";
}

}  // namespace
}  // namespace zel::app
