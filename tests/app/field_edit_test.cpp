// The field edit widgets typed into as a dealer types: every key goes
// through the key filter, every change is judged, leaving a field stores it.
// The cases are the edges where a widget could go wrong on its own: keys it
// would handle itself (Home, arrows), text it would keep (a cut, a refusal,
// a letter typed as letter + accent, a character outside the code page), and
// the focus events that fill lists and store values.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QStatusBar>

#include "app/help_line.h"
#include "app/text.h"
#include "editors/help_texts.h"
#include "panel_fixture.h"

namespace zel::app {
namespace {

using namespace editors;
using test::Greek;
using test::PanelFixture;
using test::Q;

class FieldEditTest : public PanelFixture {};

TEST_F(FieldEditTest, FullTwelveWideNameDropsItsLastCharacterAtPosition3AndRefusesPosition12) {
  StoreText(image().payment(0), "ABCDEFGHIJKL");
  Open(panel::kOtherData);
  ClickInto(kPaymentName);
  FieldEdit& name = F(kPaymentName);
  ASSERT_EQ(name.text(), QString("ABCDEFGHIJKL"));

  // The caret is placed with the mouse (the arrow keys do not move it).
  name.setCursorPosition(3);
  int beeps = Beeped();
  Type(&name, "X");
  EXPECT_EQ(name.text(), QString("ABCXDEFGHIJK"));
  EXPECT_EQ(name.cursorPosition(), 4) << "the caret stays after the typed letter";
  EXPECT_EQ(Beeped(), beeps);

  name.setCursorPosition(12);
  Type(&name, "Y");
  EXPECT_EQ(name.text(), QString("ABCXDEFGHIJK"));
  EXPECT_EQ(Beeped(), beeps + 1);
  EXPECT_EQ(Beeps().last_hz, 400);
  EXPECT_EQ(Beeps().last_ms, 40);

  Leave(kCategoryName);
  EXPECT_EQ(TextOf(image().payment(0)), "ABCXDEFGHIJK");
}

TEST_F(FieldEditTest, NumberFieldTakesDigitsAndOneCommaInTheirPlacesAndFillsTheDecimals) {
  Open(panel::kOtherData);
  struct Case {
    const char* typed;
    const char* shown;  // after the keys
    int refused;        // beeps
    const char* left;   // after leaving the field
    std::uint16_t stored;
  };
  const Case cases[] = {
      {"23", "23", 0, "23,00", 2300},    {"235", "23", 1, "23,00", 2300},  // a third integer digit
      {",5", "5", 1, "5,00", 500},                                         // a comma at position 0
      {"6,5,", "6,5", 1, "6,50", 650},                                     // a second comma
      {"1,255", "1,25", 1, "1,25", 125},                                   // a third decimal
      {"A9", "9", 1, "9,00", 900},                                         // a letter
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const int beeps = Beeped();
    Retype(kVatA, Q(c.typed));
    EXPECT_EQ(F(kVatA).text(), Q(c.shown));
    EXPECT_EQ(Beeped() - beeps, c.refused);
    Leave(kVatB);
    EXPECT_EQ(F(kVatA).text(), Q(c.left));
    EXPECT_EQ(image().vat_rate(0), c.stored);
  }
}

TEST_F(FieldEditTest, PriceKeepsTheDecimalsTypedUpToFive) {
  Open(panel::kItems);
  struct Case {
    const char* typed;
    const char* left;
    std::int32_t price;
    std::uint8_t decimals;
    int refused;
  };
  const Case cases[] = {
      {"5", "5,00", 500, 2, 0},
      {"5,125", "5,125", 5125, 3, 0},
      {"1,123456", "1,12345", 112345, 5, 1},  // the sixth decimal is refused
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const int beeps = Beeped();
    Retype(kItemPrice, Q(c.typed));
    Leave(kItemName);
    EXPECT_EQ(F(kItemPrice).text(), Q(c.left));
    EXPECT_EQ(image().item(0).price(), c.price);
    EXPECT_EQ(image().item(0).price_decimals(), c.decimals);
    EXPECT_EQ(Beeped() - beeps, c.refused);
  }
}

TEST_F(FieldEditTest, ItemNumberRefuses16001AtItsLastDigitAndALoneZero) {
  Open(panel::kItems);
  ClickInto(kItemNumber);
  FieldEdit& number = F(kItemNumber);
  number.selectAll();
  int beeps = Beeped();
  Type(&number, "1600");
  EXPECT_EQ(number.text(), QString("1600"));
  EXPECT_EQ(panel().list()->selected_row(), 1599) << "the list follows the typing";
  EXPECT_EQ(Beeped(), beeps);
  Type(&number, "1");
  EXPECT_EQ(number.text(), QString("1600"));
  EXPECT_EQ(Beeped(), beeps + 1);

  number.selectAll();
  Type(&number, "0");
  EXPECT_EQ(number.text(), QString("1600"));
  EXPECT_EQ(Beeped(), beeps + 2);

  number.selectAll();
  Type(&number, "16000");
  Leave(kItemName);
  EXPECT_EQ(image().state.selected.item, 15999);
  EXPECT_EQ(F(kItemName).text(), QString()) << "item 16000 is empty";
}

TEST_F(FieldEditTest, DepartmentZeroShowsDashesBesideAndStoresIndexZero) {
  image().item(0).set_department(5);
  Open(panel::kItems);
  QLabel* beside = panel().label(kItemDepartmentName);
  EXPECT_EQ(F(kItemDepartment).text(), QString("6"));
  EXPECT_EQ(beside->text(), Q("ΤΜΗΜΑ  6") + QString(18, ' '));

  Retype(kItemDepartment, "0");
  EXPECT_EQ(beside->text(), QString("---")) << "at once, while typing";
  Leave(kItemName);
  EXPECT_EQ(image().item(0).department(), 0);

  // Shown again: index 0 is department 1.
  ClickInto(kItemName);
  Key(&F(kItemName), Qt::Key_PageDown);
  Key(&F(kItemName), Qt::Key_PageUp);
  EXPECT_EQ(F(kItemDepartment).text(), QString("1"));
  EXPECT_EQ(beside->text(), Q("ΤΜΗΜΑ  1") + QString(18, ' '));
}

TEST_F(FieldEditTest, PageDownMovesToTheNextItemAndStaysOnItem16000WithoutABeep) {
  StoreText(image().item(1).name(), "SECOND");
  Open(panel::kItems);
  ClickInto(kItemName);
  Key(&F(kItemName), Qt::Key_PageDown);
  EXPECT_EQ(image().state.selected.item, 1);
  EXPECT_EQ(F(kItemName).text(), QString("SECOND"));
  EXPECT_EQ(F(kItemNumber).text(), QString("2"));
  EXPECT_EQ(panel().list()->selected_row(), 1);
  EXPECT_EQ(Focused(), &F(kItemName)) << "the keyboard stays in the field";

  Retype(kItemNumber, "16000");
  ClickInto(kItemPrice);
  const int beeps = Beeped();
  Key(&F(kItemPrice), Qt::Key_PageDown);
  EXPECT_EQ(image().state.selected.item, 15999);
  EXPECT_EQ(F(kItemNumber).text(), QString("16000"));
  EXPECT_EQ(panel().list()->selected_row(), 15999);
  EXPECT_EQ(Beeped(), beeps);
}

TEST_F(FieldEditTest, HomeEndAndArrowsLeaveTheCaretWhereItIs) {
  StoreText(image().item(0).name(), "ABC");
  Open(panel::kItems);
  ClickInto(kItemName);
  FieldEdit& name = F(kItemName);
  name.setCursorPosition(1);
  for (const Qt::Key k : {Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down})
    Key(&name, k);
  Type(&name, "X");
  EXPECT_EQ(name.text(), QString("AXBC"));
  QTest::keyClick(&name, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_FALSE(name.hasSelectedText());
}

TEST_F(FieldEditTest, LetterWithSeparateAccentIsOneLetterAndACharacterOutsideTheCodePageIsRefused) {
  Open(panel::kItems);
  Retype(kItemName, Q("ΚΑΦΕΣ "));
  FieldEdit& name = F(kItemName);
  // α followed by a combining acute, as some keyboards and input methods send it.
  QTest::sendKeyEvent(QTest::Click, &name, Qt::Key_unknown, Q("α\u0301"), Qt::NoModifier);
  EXPECT_EQ(name.text(), Q("ΚΑΦΕΣ ά"));
  EXPECT_EQ(name.cursorPosition(), 7);
  Type(&name, "X");
  EXPECT_EQ(name.text(), Q("ΚΑΦΕΣ άX"));

  const int beeps = Beeped();
  Type(&name, Q("ж"));
  EXPECT_EQ(name.text(), Q("ΚΑΦΕΣ άX"));
  EXPECT_EQ(Beeped(), beeps + 1);
  Type(&name, Q("😀"));
  EXPECT_EQ(name.text(), Q("ΚΑΦΕΣ άX"));

  Leave(kItemBarcode);
  const auto stored = image().item(0).name();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stored.data()), 8), Greek("ΚΑΦΕΣ άX"));
  EXPECT_EQ(stored[6], 0xDC) << "ά is one byte";
  EXPECT_EQ(stored[8], ' ');
}

TEST_F(FieldEditTest, TypingSetsTheUnsavedFlagShowingAnotherItemDoesNot) {
  Open(panel::kItems);
  ASSERT_FALSE(image().state.modified);
  ClickInto(kItemName);
  Key(&F(kItemName), Qt::Key_PageDown);
  ClickRow(40);
  Type(Focused(), "~");  // the search finds the next empty item
  ClickInto(kItemPrice);
  EXPECT_EQ(image().state.selected.item, 41);
  EXPECT_FALSE(image().state.modified) << "moving between items is no change";

  Type(&F(kItemPrice), "1");
  EXPECT_TRUE(image().state.modified);
}

TEST_F(FieldEditTest, HelpLineShowsTheFieldUnderTheMouseAndTheFieldBeingChanged) {
  Open(panel::kItems);
  HelpLine& line = w().help_line();
  EXPECT_EQ(line.style(), HelpLine::Style::kNoBorder) << "a panel opens with the idle line";

  QTest::mouseMove(&F(kItemPrice));
  EXPECT_EQ(line.text(), Q(HelpText(kHelpItemPrice)));
  EXPECT_EQ(line.background(), QColor(255, 255, 224));
  EXPECT_EQ(line.style(), HelpLine::Style::kPopOut);

  QTest::mouseMove(panel().button(kItemFindEmpty));
  EXPECT_EQ(line.text(), Q("Εύρεση και φόρτωση της πρώτης κενής εγγραφής για ένα νέο είδος"));
  EXPECT_EQ(line.background(), QColor(240, 255, 255));

  ClickInto(kItemName);
  Type(&F(kItemName), "A");
  EXPECT_EQ(line.text(), Q("Είδος (σύντομη) περιγραφή - έως 32 χαρακτήρες"));
  EXPECT_EQ(line.background(), QColor(255, 255, 255));
  QTest::mouseMove(&F(kItemPrice));
  EXPECT_EQ(line.text(), Q(HelpText(kHelpItemName))) << "the field being changed keeps the line";
  EXPECT_EQ(line.background(), QColor(255, 255, 255));

  Leave(kItemBarcode);
  EXPECT_EQ(line.text(), QString());
  EXPECT_EQ(line.style(), HelpLine::Style::kNoBorder);
}

TEST_F(FieldEditTest, ShortFieldSelectsItsWholeTextOnAClickSoTheNextKeyReplacesIt) {
  image().item(0).set_category(11);
  Open(panel::kItems);
  ClickInto(kItemCategory);
  EXPECT_EQ(F(kItemCategory).selectedText(), QString("12"));
  Type(&F(kItemCategory), "3");
  EXPECT_EQ(F(kItemCategory).text(), QString("3"));
  ClickInto(kItemName);
  EXPECT_FALSE(F(kItemName).hasSelectedText()) << "a long field keeps the click's caret";
}

TEST_F(FieldEditTest, EnterMovesToTheNextFieldInTabOrderAndStores) {
  Open(panel::kItems);
  ClickInto(kItemName);
  Type(&F(kItemName), "B");
  Key(&F(kItemName), Qt::Key_Return);
  EXPECT_EQ(FocusedId(), kItemBarcode);
  EXPECT_EQ(FromCp1253(TextOf(image().item(0).name())), F(kItemName).text());
  EXPECT_TRUE(F(kItemName).text().endsWith('B'));
  for (const int next : {kItemPrice, kItemCategory, kItemDepartment, kItemFromScale}) {
    Key(Focused(), Qt::Key_Enter);
    EXPECT_EQ(FocusedId(), next);
  }
}

TEST_F(FieldEditTest, PasteIsJudgedLikeTyping) {
  Open(panel::kItems);
  ClickInto(kItemBarcode);
  F(kItemBarcode).selectAll();
  QTest::keyClick(&F(kItemBarcode), Qt::Key_Backspace);
  QApplication::clipboard()->setText(QStringLiteral("12A4"));
  const int beeps = Beeped();
  QTest::keyClick(&F(kItemBarcode), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(F(kItemBarcode).text(), QString()) << "a barcode holds digits only";
  EXPECT_EQ(Beeped(), beeps + 1);
  QApplication::clipboard()->setText(QStringLiteral("5201234"));
  QTest::keyClick(&F(kItemBarcode), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(F(kItemBarcode).text(), QString("5201234"));
}

}  // namespace
}  // namespace zel::app
