// The whole programming round trip from the window, against a simulated
// register in this process over UDP loopback: a dealer edits the general
// parameters and the logo lines, loads a logo picture, writes every kind to
// the register from the transfer panel, starts a new database, reads every
// kind back and finds the same values in the panels. Only the wire's
// cleaning rules for fixed-width texts may change bytes on the way, and no
// panel shows such a change.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QToolBar>
#include <fstream>

#include "app/logo_panel.h"
#include "app/params_panel.h"
#include "app/text.h"
#include "app/transfer_panel.h"
#include "core/options.h"
#include "link/link_fixture.h"
#include "link/transfer.h"
#include "panel_fixture.h"
#include "sim/simulator.h"
#include "support/one_bit_bmp.h"

namespace zel::app {
namespace {

using namespace editors;
using test::Greek;
using test::Q;

// A 384 x 120 one-bit BMP with a frame and a diagonal: dots in every byte
// position of some row, and rows the picture leaves empty below it.
std::vector<std::uint8_t> PictureFile() {
  constexpr int kHeight = 120;
  return support::OneBitBmp(
      384, kHeight, [](int k, int x) { return k == 0 || k == kHeight - 1 || x == 0 || x == 383 || x == 3 * k; });
}

class RoundTripTest : public test::PanelFixture {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim_.StartUdp(0, &error)) << error;
    ::setenv("SETUPZEL_REGISTER_PORT", std::to_string(sim_.udp_port()).c_str(), 1);
    ports_ = std::make_unique<zel::test::PortEnvironment>(std::map<int, std::string>{});
    PanelFixture::SetUp();
  }
  void TearDown() override {
    if (auto* t = qobject_cast<TransferPanel*>(w().active_panel()); t != nullptr && t->running()) {
      w().link_session().abort.Set();
      EXPECT_TRUE(QTest::qWaitFor([&] { return !t->running(); }, 10000));
    }
    window_.reset();
    sim_.Stop();
    ports_.reset();
    ::unsetenv("SETUPZEL_REGISTER_PORT");
  }

  // The tool bar's command for a panel, a second after the last switch.
  void Command(CommandId id) {
    clock_.Advance(std::chrono::seconds(1));
    QWidget* button = w().tool_bar()->widgetForAction(w().action(id));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  ParametersPanel& params() { return *qobject_cast<ParametersPanel*>(w().active_panel()); }
  LogoPanel& logo() { return *qobject_cast<LogoPanel*>(w().active_panel()); }
  TransferPanel& transfer() { return *qobject_cast<TransferPanel*>(w().active_panel()); }
  static void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }
  void TypeAddress(Ipv4Edit* edit, const char* dotted) {
    QTest::mouseClick(edit->octet(0), Qt::LeftButton);
    edit->octet(0)->selectAll();
    // Each key goes where the focus is: a dot moves it to the next octet.
    for (const char c : std::string_view(dotted)) QTest::keyClick(QApplication::focusWidget(), c);
  }

  // On the transfer panel: the direction, every kind the register is
  // programmed with, Start; true when the transfer said it succeeded.
  bool Transfer(bool write) {
    Command(CommandId::kTransfer);
    if (!qobject_cast<TransferPanel*>(w().active_panel())) return false;
    TypeAddress(transfer().address_edit(), "127.0.0.1");
    Click(transfer().control(write ? kWriteRadio : kReadRadio));
    for (const Kind k : kKindBoxOrder) {
      // The fiscal memory is the register's own record, not programming.
      if (k == Kind::kFiscalMemory) continue;
      QCheckBox* box = transfer().kind_box(k);
      if (!box->isEnabled()) return false;
      if (!box->isChecked()) Click(box);
    }
    dialogs().boxes.clear();
    QSignalSpy ended(&transfer(), &TransferPanel::JobEnded);
    Click(transfer().control(kStartButton));
    if (!QTest::qWaitFor([&] { return ended.count() > 0; }, 120000)) return false;
    return dialogs().BoxTexts() == QStringList{Q("Η μεταφορά δεδομένων ολοκληρώθηκε επιτυχώς!")};
  }

  sim::Simulator sim_;
  std::unique_ptr<zel::test::PortEnvironment> ports_;
};

TEST_F(RoundTripTest, EveryKindProgrammedFromTheWindowComesBackIntoThePanels) {
  // ---- The dealer programs the parameters...
  Command(CommandId::kParameters);
  ASSERT_NE(qobject_cast<ParametersPanel*>(w().active_panel()), nullptr);
  Retype(kMachineNumber, "12");
  Retype(kContrast, "5");
  Retype(kCom2Device, "2");
  Retype(1315, "1500,5");
  QCheckBox* key_sound = panel().check_box(1310);
  const bool key_sound_was = key_sound->isChecked();
  Click(key_sound);
  Click(panel().check_box(1335));
  TypeAddress(params().address(kRegisterIpAddress), "10.20.30.40");
  TypeAddress(params().address(1340), "10.20.30.43");
  Retype(1396, "24");
  Retype(1397, "125");
  Retype(1319, "https://aade.example.gr/send");
  Retype(kFirmwareUrl, "http://fw.example.gr");
  Retype(kPos3Name, Q("ΤΡΙΑ"));
  Retype(1437, "POS0000003");
  Retype(1440, "8080");
  Retype(kAesKey, "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF");
  Retype(1421, Q("ΚΑΛΗ ΟΡΕΞΗ"));
  Retype(1424, "SEE YOU");
  Leave(kMachineNumber);

  // ...the logo lines, one header line as a picture, and the logo picture.
  Command(CommandId::kLogo);
  ASSERT_NE(qobject_cast<LogoPanel*>(w().active_panel()), nullptr);
  Retype(LineTextControl(3), Q("ΠΑΝΤΟΠΩΛΕΙΟ Ο ΚΩΣΤΑΣ"));
  Retype(LineSizeControl(3), "2");
  Retype(LineTextControl(10), Q("ΕΥΧΑΡΙΣΤΟΥΜΕ ΠΟΛΥ"));
  Retype(LineSizeControl(12), "5");
  Key(Focused(), Qt::Key_Return);
  const QString picture = Path("shop.bmp");
  {
    const std::vector<std::uint8_t> bytes = PictureFile();
    std::ofstream(QFile::encodeName(picture).toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  dialogs().files.push_back(picture);
  Click(logo().load_button());
  ASSERT_TRUE(dialogs().boxes.empty()) << dialogs().BoxTexts().join("|").toStdString();

  const DataImage programmed = image();  // what the dealer's edits made
  ASSERT_EQ(programmed.parameters().options1() >> 16 & 7, 5u);
  ASSERT_EQ(programmed.parameters().machine_number(), 11);

  // ---- Write everything, then a new database forgets it all.
  ASSERT_TRUE(Transfer(true)) << dialogs().BoxTexts().join("|").toStdString();
  EXPECT_EQ(TextOf(sim_.Programming().parameters().aes_key()), TextOf(programmed.parameters().aes_key()));
  dialogs().answers.push_back(QMessageBox::Yes);  // the changes are in the register
  w().action(CommandId::kNew)->trigger();
  ASSERT_FALSE(image() == programmed);
  ASSERT_TRUE(std::ranges::all_of(image().logo(), [](std::uint8_t b) { return b == 0; }));

  // The customer message is no part of a database: the dealer clears it.
  Command(CommandId::kParameters);
  EXPECT_EQ(F(kContrast).text(), QString::number(kDefaultOptions1 >> 16 & 7));
  Retype(1421, "");
  Retype(1424, "");
  Leave(kMachineNumber);
  ASSERT_EQ(image().state.customer_message[0][0], 0);

  // ---- Read everything back.
  ASSERT_TRUE(Transfer(false)) << dialogs().BoxTexts().join("|").toStdString();

  Command(CommandId::kParameters);
  ASSERT_NE(qobject_cast<ParametersPanel*>(w().active_panel()), nullptr);
  const std::pair<int, const char*> fields[] = {
      {kMachineNumber, "12"},
      {kContrast, "5"},
      {kCom2Device, "2"},
      {1315, "1500,50"},
      {1396, "24"},
      {1397, "125"},
      {1319, "https://aade.example.gr/send"},
      {kFirmwareUrl, "http://fw.example.gr"},
      {1338, "http://www1.aade.gr/eafdss/myweb/aeskey.php"},
      {kPos3Name, "ΤΡΙΑ"},
      {1437, "POS0000003"},
      {1440, "8080"},
      {kAesKey, "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF"},
      {1421, "ΚΑΛΗ ΟΡΕΞΗ"},
      {1424, "SEE YOU"},
  };
  for (const auto& [id, text] : fields) EXPECT_EQ(F(id).text(), Q(text)) << id;
  EXPECT_EQ(panel().check_box(1310)->isChecked(), !key_sound_was);
  EXPECT_TRUE(panel().check_box(1335)->isChecked());
  EXPECT_EQ(params().address(kRegisterIpAddress)->address(), (IPv4{10, 20, 30, 40}));
  EXPECT_EQ(params().address(1340)->address(), (IPv4{10, 20, 30, 43}));
  EXPECT_EQ(params().address(1301)->address(), (IPv4{255, 255, 255, 0}));

  Command(CommandId::kLogo);
  ASSERT_NE(qobject_cast<LogoPanel*>(w().active_panel()), nullptr);
  EXPECT_EQ(F(LineTextControl(1)).text(), QString("  SETUP ZEL"));
  EXPECT_EQ(F(LineTextControl(3)).text(), Q("ΠΑΝΤΟΠΩΛΕΙΟ Ο ΚΩΣΤΑΣ"));
  EXPECT_EQ(F(LineSizeControl(3)).text(), QString("2"));
  EXPECT_EQ(F(LineTextControl(10)).text(), Q("ΕΥΧΑΡΙΣΤΟΥΜΕ ΠΟΛΥ"));
  EXPECT_EQ(F(LineTextControl(12)).text(), Q("[Εικονα]"));
  EXPECT_EQ(F(LineSizeControl(12)).text(), QString("5"));
  // The picture read from the register is shown again.
  const editors::Rect box = logo().preview()->PanelRect();
  const QImage drawn = logo().grab().toImage();
  for (const auto& [row, byte, bit] : {std::tuple{0, 20, 3}, std::tuple{50, 150 / 8, 150 % 8}, std::tuple{119, 47, 7}})
    EXPECT_EQ(drawn.pixelColor(DotPosition(box, row, byte, bit).x, DotPosition(box, row, byte, bit).y),
              QColor(Qt::black))
        << row;
  EXPECT_EQ(drawn.pixelColor(DotPosition(box, 50, 10, 0).x, DotPosition(box, 50, 10, 0).y), QColor(Qt::white));

  // Byte for byte: the logo, and the parameter block with the wire's text
  // rules applied (a field's zero and 0xFF bytes travel as blanks, an empty
  // field as nothing), except its last two bytes, which no record carries.
  EXPECT_TRUE(std::ranges::equal(image().logo(), programmed.logo()));
  DataImage expected = programmed;
  const auto block = expected.block(Block::kParameters);
  const std::pair<std::size_t, std::size_t> texts[] = {{524, 4},  {544, 48}, {604, 4},  {612, 4},  {616, 32}, {712, 48},
                                                       {760, 48}, {808, 48}, {856, 10}, {866, 10}, {876, 10}};
  for (const auto& [offset, width] : texts) {
    CleanWrite(block.subspan(offset, width));
    CleanRead(block.subspan(offset, width));
  }
  for (int n = 1; n <= kPrintLineCount; ++n) {
    const auto line = block.subspan(param::kPrintLineSize * static_cast<std::size_t>(n - 1), param::kPrintTextWidth);
    CleanWrite(line);
    CleanRead(line);
  }
  const auto got = image().block(Block::kParameters).first(param::kReserved);
  const auto want = block.first(param::kReserved);
  const auto [g, r] = std::ranges::mismatch(got, want);
  EXPECT_EQ(g, got.end()) << "parameter byte " << (g - got.begin()) << " differs";
  EXPECT_EQ(image().state.customer_message, programmed.state.customer_message);
}

}  // namespace
}  // namespace zel::app
