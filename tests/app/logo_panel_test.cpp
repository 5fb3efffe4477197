// The logo panel as a dealer uses it: the fifteen print lines and their
// sizes, the picture placeholder that follows a header/footer line's size on
// Enter, the size corrections on leaving, and the graphic logo loaded from a
// BMP through the open dialog with its dot-for-dot preview.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QGroupBox>
#include <fstream>

#include "app/logo_panel.h"
#include "app/text.h"
#include "panel_fixture.h"
#include "support/one_bit_bmp.h"

namespace zel::app {
namespace {

using namespace editors;
using support::OneBitBmp;
using test::Greek;
using test::PanelFixture;
using test::Q;

QString Fixture(const char* name) { return QString::fromUtf8(ZEL_SOURCE_DIR) + "/tests/editors/data/" + name; }

class LogoPanelTest : public PanelFixture {
 protected:
  LogoPanel& logo() { return *qobject_cast<LogoPanel*>(w().active_panel()); }
  QString WriteFile(const char* name, const std::vector<std::uint8_t>& bytes) {
    const QString path = Path(name);
    std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::string Line(int n) {
    const auto t = image().parameters().print_line(n);
    return {t.begin(), t.end()};
  }
  void Close() { ASSERT_TRUE(w().SwitchPanel(panel::kNone)); }
  // The panel as it is drawn, with the box's rectangle in its coordinates.
  QImage Drawn() { return logo().grab().toImage(); }
  bool Black(const QImage& drawn, editors::Point p) { return drawn.pixelColor(p.x, p.y) == QColor(Qt::black); }
  bool White(const QImage& drawn, editors::Point p) { return drawn.pixelColor(p.x, p.y) == QColor(Qt::white); }
};

TEST_F(LogoPanelTest, OpensWithItsTwoColumnsOfLinesAndSizes) {
  StoreText(image().parameters().print_line(11), Greek("ΕΥΧΑΡΙΣΤΟΥΜΕ"));
  Open(panel::kLogo);
  EXPECT_EQ(panel().caption(), Q("Setup ZEL - Φορολογικό λογότυπο "));
  QStringList texts;
  for (const QLabel* l : panel().findChildren<QLabel*>()) texts << l->text();
  EXPECT_TRUE(texts.contains(Q(" Γρ.    Φορολογικό λογότυπο          ")));
  EXPECT_TRUE(texts.contains(Q("Γρ.      Κεφαλίδα/Υποσέλιδο ")));
  EXPECT_EQ(F(LineTextControl(1)).text(), QString("  SETUP ZEL"));
  EXPECT_EQ(F(LineSizeControl(1)).text(), QString("4"));
  EXPECT_EQ(F(LineTextControl(5)).text(), Q("ΑΦΜ: 000000000"));
  EXPECT_EQ(F(LineTextControl(11)).text(), Q("ΕΥΧΑΡΙΣΤΟΥΜΕ"));
  EXPECT_EQ(logo().load_button()->text(), Q("ΦΟΡΤΩΣΗ"));
  EXPECT_FALSE(logo().load_button()->icon().isNull());

  // Logo lines above one another on the left, header/footer lines on the
  // right with the preview under them; the tab runs down the lines.
  for (int n = 1; n <= 15; ++n) {
    SCOPED_TRACE(n);
    const QPoint text = F(LineTextControl(n)).mapTo(&panel(), QPoint());
    const QPoint size = F(LineSizeControl(n)).mapTo(&panel(), QPoint());
    EXPECT_EQ(text.y(), size.y());
    EXPECT_LT(text.x(), size.x());
    if (n > 1 && n != 10) {
      EXPECT_GT(text.y(), F(LineTextControl(n - 1)).mapTo(&panel(), QPoint()).y());
    }
  }
  EXPECT_LT(F(LineSizeControl(9)).mapTo(&panel(), QPoint()).x(), F(LineTextControl(10)).mapTo(&panel(), QPoint()).x());
  EXPECT_GT(logo().preview()->y(), F(LineTextControl(15)).mapTo(&panel(), QPoint()).y());
  EXPECT_TRUE(w().rect().contains(panel().geometry()))
      << panel().width() << " x " << panel().height() << " in " << w().width() << " x " << w().height();
  EXPECT_TRUE(panel().rect().contains(logo().preview()->geometry()));
  ClickInto(LineTextControl(9));
  Key(Focused(), Qt::Key_Tab);
  EXPECT_EQ(Focused(), &F(LineSizeControl(9)));
  Key(Focused(), Qt::Key_Tab);
  EXPECT_EQ(Focused(), &F(LineTextControl(10)));
  EXPECT_FALSE(image().state.modified);
}

// The first keys typed after opening the panel go into its first line, and
// Enter selects the next field, so typing replaces its text (the header
// and footer lines included, which Enter shows again).
TEST_F(LogoPanelTest, OpensOnTheFirstLineAndEnterSelectsTheNextFieldSoTypingReplacesIt) {
  StoreText(image().parameters().print_line(10), "OLD HEADER");
  Open(panel::kLogo);
  ASSERT_EQ(Focused(), &F(LineTextControl(1)));
  EXPECT_EQ(F(LineTextControl(1)).selectedText(), QString("  SETUP ZEL"));
  Type(Focused(), Q("ΚΑΦΕ ΝΙΚΟΣ"));
  Key(Focused(), Qt::Key_Return);
  ASSERT_EQ(Focused(), &F(LineSizeControl(1)));
  Type(Focused(), "2");
  Key(Focused(), Qt::Key_Return);
  EXPECT_EQ(Line(1), Greek("ΚΑΦΕ ΝΙΚΟΣ") + std::string(22, ' '));
  EXPECT_EQ(image().parameters().print_size(1), '2');

  ClickInto(LineSizeControl(9));
  Key(Focused(), Qt::Key_Return);
  ASSERT_EQ(Focused(), &F(LineTextControl(10)));
  EXPECT_EQ(F(LineTextControl(10)).selectedText(), QString("OLD HEADER"));
  Type(Focused(), "NEW");
  Key(Focused(), Qt::Key_Return);
  EXPECT_EQ(Line(10), "NEW" + std::string(29, ' '));

  // Back from another window (a message box, another program) the field
  // selects its text again, as the keyboard comes back to it.
  ClickInto(LineTextControl(3));
  Type(Focused(), "HALF");
  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  other.close();
  QApplication::setActiveWindow(&w());
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
  ASSERT_EQ(Focused(), &F(LineTextControl(3)));
  EXPECT_EQ(F(LineTextControl(3)).selectedText(), QString("HALF"));
  Type(Focused(), "WHOLE");
  Key(Focused(), Qt::Key_Return);
  EXPECT_EQ(Line(3), "WHOLE" + std::string(27, ' '));
}

TEST_F(LogoPanelTest, PictureSizeOnEnterPutsThePlaceholderAndSizeOneClearsIt) {
  StoreText(image().parameters().print_line(12), "OLD FOOTER");
  Open(panel::kLogo);
  const std::string placeholder = Greek("[Εικονα]") + std::string(24, ' ');

  ClickInto(LineSizeControl(12));  // a one-character field: the click selects it
  Type(&F(LineSizeControl(12)), "5");
  Key(&F(LineSizeControl(12)), Qt::Key_Return);
  EXPECT_EQ(Focused(), &F(LineTextControl(13))) << "Enter moves to the next control";
  EXPECT_EQ(image().parameters().print_size(12), '5');
  EXPECT_EQ(Line(12), placeholder);
  EXPECT_EQ(F(LineTextControl(12)).text(), Q("[Εικονα]"));

  ClickInto(LineSizeControl(12));
  Type(&F(LineSizeControl(12)), "1");
  Key(&F(LineSizeControl(12)), Qt::Key_Return);
  EXPECT_EQ(Line(12), std::string(32, '\0'));
  EXPECT_EQ(F(LineTextControl(12)).text(), QString());

  // Without Enter, the next header/footer field to take the focus puts the
  // lines in order.
  ClickInto(LineSizeControl(14));
  Type(&F(LineSizeControl(14)), "6");
  ClickInto(LineTextControl(10));
  EXPECT_EQ(F(LineTextControl(14)).text(), Q("[Εικονα]"));
  EXPECT_EQ(Line(14), placeholder);

  // A text one character away from the placeholder is the dealer's own.
  Retype(LineTextControl(12), Q("[Εικονα!"));
  Key(&F(LineTextControl(12)), Qt::Key_Return);
  EXPECT_EQ(Line(12), Greek("[Εικονα!") + std::string(24, ' '));
  EXPECT_EQ(F(LineTextControl(12)).text(), Q("[Εικονα!"));
  // Sizes above a column's largest digit cannot be typed.
  ClickInto(LineSizeControl(4));
  const int beeps = Beeped();
  Type(&F(LineSizeControl(4)), "5");
  EXPECT_EQ(Beeped(), beeps + 1);
  EXPECT_EQ(F(LineSizeControl(4)).text(), QString("1"));
}

TEST_F(LogoPanelTest, LeavingCorrectsTheSizesOfItsLinesAndNothingElse) {
  image().parameters().set_machine_number(41);
  Open(panel::kLogo);
  ClickInto(LineSizeControl(2));
  Type(&F(LineSizeControl(2)), "0");
  ClickInto(LineSizeControl(14));
  Type(&F(LineSizeControl(14)), "6");
  ClickInto(LineSizeControl(7));
  Type(&F(LineSizeControl(7)), "0");  // still being typed in when the panel goes
  EXPECT_EQ(image().parameters().print_size(2), '0');
  DataImage expected = image();
  expected.parameters().print_size(2) = '1';
  expected.parameters().print_size(7) = '1';
  expected.parameters().print_size(14) = '6';
  Close();
  EXPECT_EQ(image().parameters().print_size(2), '1');
  EXPECT_EQ(image().parameters().print_size(7), '1');
  EXPECT_EQ(image().parameters().print_size(14), '6');
  EXPECT_TRUE(image() == expected) << "nothing but the sizes";
  EXPECT_EQ(image().parameters().machine_number(), 41);
}

TEST_F(LogoPanelTest, LoadedBitmapFillsItsRowsAndIsDrawnDotForDotInTheBox) {
  Open(panel::kLogo);
  const editors::Rect box = logo().preview()->PanelRect();
  EXPECT_EQ(editors::PreviewOrigin(box), (editors::Point{8, 20}));
  QImage drawn = Drawn();
  for (const editors::Point& m : editors::ScaleMarks(box)) EXPECT_TRUE(Black(drawn, m)) << m.x << "," << m.y;
  EXPECT_FALSE(Black(drawn, DotPosition(box, 0, 0, 0)));
  EXPECT_FALSE(White(drawn, DotPosition(box, 100, 10, 0))) << "no logo shown before one is loaded";

  dialogs().files.push_back(Fixture("logo_384x80.bmp"));
  QTest::mouseClick(logo().load_button(), Qt::LeftButton);
  ASSERT_EQ(dialogs().files_seen.size(), 1u);
  const test::SeenFileDialog& d = dialogs().files_seen[0];
  EXPECT_EQ(d.accept_mode, QFileDialog::AcceptOpen);
  EXPECT_EQ(d.name_filters, QStringList{"Bitmap Files (*.bmp)"});
  EXPECT_EQ(d.default_suffix, QString("bmp"));
  EXPECT_TRUE(dialogs().boxes.empty());
  EXPECT_EQ(image().logo()[0], 0xFF);
  EXPECT_EQ(image().logo()[48 + 1], 0x02);
  EXPECT_EQ(image().logo()[79 * 48 + 47], 0x80);
  EXPECT_TRUE(std::ranges::all_of(image().logo().subspan(80 * 48), [](std::uint8_t b) { return b == 0; }))
      << "rows 80 to 179 stay empty";
  EXPECT_NE(image().state.logo_present, 0);
  EXPECT_TRUE(image().state.modified);

  drawn = Drawn();
  for (int j = 0; j < 8; ++j) EXPECT_TRUE(Black(drawn, DotPosition(box, 0, 0, j))) << j;
  EXPECT_TRUE(White(drawn, DotPosition(box, 0, 1, 0)));
  EXPECT_TRUE(Black(drawn, DotPosition(box, 1, 1, 1)));
  EXPECT_TRUE(White(drawn, DotPosition(box, 1, 1, 0)));
  EXPECT_TRUE(Black(drawn, DotPosition(box, 79, 47, 7)));
  EXPECT_TRUE(White(drawn, DotPosition(box, 179, 47, 7))) << "all 180 rows are drawn";
  for (const editors::Point& m : editors::ScaleMarks(box)) EXPECT_TRUE(Black(drawn, m));

  // A bigger picture replaces it whole; the preview follows on the next paint.
  dialogs().files.push_back(
      WriteFile("diagonal.bmp", OneBitBmp(384, 180, [](int row, int x) { return x == 2 * row; })));
  QTest::mouseClick(logo().load_button(), Qt::LeftButton);
  drawn = Drawn();
  EXPECT_TRUE(White(drawn, DotPosition(box, 0, 0, 1)));
  for (const int row : {0, 57, 179}) {
    EXPECT_TRUE(Black(drawn, DotPosition(box, row, 2 * row / 8, 2 * row % 8))) << row;
    EXPECT_TRUE(White(drawn, DotPosition(box, row, (2 * row + 1) / 8, (2 * row + 1) % 8))) << row;
  }
}

TEST_F(LogoPanelTest, RefusedBitmapSaysSoAndCancelChangesNothing) {
  Open(panel::kLogo);
  dialogs().files.push_back(Fixture("logo_384x80.bmp"));
  QTest::mouseClick(logo().load_button(), Qt::LeftButton);
  image().state.modified = false;
  const DataImage before = image();
  const auto present = image().state.logo_present;

  dialogs().files.push_back(std::nullopt);
  QTest::mouseClick(logo().load_button(), Qt::LeftButton);
  EXPECT_EQ(dialogs().files_seen.size(), 2u);
  EXPECT_TRUE(dialogs().boxes.empty());
  EXPECT_TRUE(image() == before);
  EXPECT_EQ(image().state.logo_present, present);
  EXPECT_FALSE(image().state.modified);

  for (const QString& path :
       {WriteFile("tall.bmp", OneBitBmp(384, 181)), WriteFile("narrow.bmp", OneBitBmp(383, 80)), Path("missing.bmp")}) {
    SCOPED_TRACE(path.toStdString());
    dialogs().boxes.clear();
    dialogs().files.push_back(path);
    QTest::mouseClick(logo().load_button(), Qt::LeftButton);
    ASSERT_EQ(dialogs().boxes.size(), 1u);
    EXPECT_TRUE(dialogs().boxes[0].text.startsWith(
        Q("Το αρχείο δε βρέθηκε ή λάθος τύπος εικόνας - bitmap, black/white, 384x180 px (max)\n") +
        QFileInfo(path).fileName() + ": "))
        << dialogs().boxes[0].text.toStdString();
    EXPECT_EQ(dialogs().boxes[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(image() == before) << "the logo loaded before stays";
    EXPECT_EQ(image().state.logo_present, present);
    EXPECT_FALSE(image().state.modified);
  }
  const QImage drawn = Drawn();
  EXPECT_TRUE(Black(drawn, DotPosition(logo().preview()->PanelRect(), 0, 0, 0)));
}

}  // namespace
}  // namespace zel::app
