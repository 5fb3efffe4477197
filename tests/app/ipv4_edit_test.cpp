// The four-octet address control typed as a dealer types an address: dots
// and full fields move on, Backspace at a field's start moves back, values
// above 255 are clamped with the refused-key beep, paste fills all four, the
// control is one stop of the focus chain, and the change signal comes from
// typing only.
#include "app/ipv4_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include "app/beep.h"

namespace zel::app {
namespace {

class Ipv4EditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* layout = new QVBoxLayout(&window_);
    before_ = new QLineEdit(&window_);
    edit_ = new Ipv4Edit(&window_);
    after_ = new QLineEdit(&window_);
    layout->addWidget(before_);
    layout->addWidget(edit_);
    layout->addWidget(after_);
    QObject::connect(edit_, &Ipv4Edit::AddressChanged, [this](const IPv4& a) { changes_.push_back(a); });
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  }

  // Puts the cursor into field i with its text selected, as a click and
  // double click would.
  void Enter(int i) {
    edit_->octet(i)->setFocus();
    edit_->octet(i)->selectAll();
  }
  // Types each character into whichever widget has the focus then.
  void Type(const QString& text) {
    for (const QChar c : text) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
  }
  void Key(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
  int FocusedOctet() const {
    for (int i = 0; i < 4; ++i) {
      if (edit_->octet(i)->hasFocus()) return i;
    }
    return -1;
  }

  QWidget window_;
  QLineEdit* before_ = nullptr;
  Ipv4Edit* edit_ = nullptr;
  QLineEdit* after_ = nullptr;
  std::vector<IPv4> changes_;
};

TEST_F(Ipv4EditTest, TypingRunsOnThroughDotsAndFullFields) {
  struct Case {
    const char* typed;
    IPv4 address;
    int focused_after;
  };
  const Case cases[] = {
      {"192.168.1.50", {192, 168, 1, 50}, 3},
      {"1921680.7", {192, 168, 0, 7}, 3},  // three digits move on by themselves
      {"10.0.0.1", {10, 0, 0, 1}, 3},
      {"1.2.3.4.", {1, 2, 3, 4}, 3},         // no field after the last one
      {"12,34,56,78", {12, 34, 56, 78}, 3},  // the Greek keypad's decimal comma
      {"300", {255, 0, 0, 0}, 1},            // clamped, then full: next field
      {"300.1", {255, 1, 0, 0}, 1},
      {"7.", {7, 0, 0, 0}, 1},
      {"10..3", {10, 3, 0, 0}, 1},  // the dot after a full field's move is the move's
  };
  for (const Case& c : cases) {
    edit_->SetAddress({0, 0, 0, 0});
    changes_.clear();
    Enter(0);
    Type(QString::fromLatin1(c.typed));
    EXPECT_EQ(edit_->address(), c.address) << c.typed;
    EXPECT_EQ(FocusedOctet(), c.focused_after) << c.typed;
    ASSERT_FALSE(changes_.empty()) << c.typed;
    EXPECT_EQ(changes_.back(), c.address) << c.typed;
  }
}

TEST_F(Ipv4EditTest, DotInAnEmptyFieldStaysAndTypesNothing) {
  edit_->SetAddress({1, 2, 3, 4});
  Enter(1);
  Key(Qt::Key_Backspace);
  ASSERT_EQ(edit_->octet(1)->text(), QString());
  Type(QStringLiteral("."));
  EXPECT_EQ(FocusedOctet(), 1);
  EXPECT_EQ(edit_->octet(1)->text(), QString());
  // A blank field reads as 0.
  EXPECT_EQ(edit_->address(), (IPv4{1, 0, 3, 4}));
}

TEST_F(Ipv4EditTest, ValueAboveTheRangeBecomes255WithTheBeep) {
  edit_->SetAddress({10, 0, 0, 0});
  Enter(2);
  const int beeps = Beeps().count;
  Type(QStringLiteral("99"));
  EXPECT_EQ(Beeps().count, beeps);
  Type(QStringLiteral("9"));
  EXPECT_EQ(Beeps().count, beeps + 1);
  EXPECT_EQ(edit_->octet(2)->text(), QStringLiteral("255"));
  EXPECT_EQ(edit_->address(), (IPv4{10, 0, 255, 0}));
  EXPECT_EQ(FocusedOctet(), 3);
  // Letters never get in.
  Type(QStringLiteral("a-"));
  EXPECT_EQ(edit_->address(), (IPv4{10, 0, 255, 0}));
}

TEST_F(Ipv4EditTest, BackspaceAndArrowsAtAFieldsEdgeMoveBetweenFields) {
  edit_->SetAddress({192, 168, 1, 50});
  QLineEdit* third = edit_->octet(2);
  third->setFocus();
  third->setCursorPosition(0);
  Key(Qt::Key_Backspace);
  ASSERT_EQ(FocusedOctet(), 1);
  EXPECT_EQ(edit_->octet(1)->cursorPosition(), 3);
  EXPECT_EQ(edit_->address(), (IPv4{192, 168, 1, 50}));  // moving deletes nothing
  Key(Qt::Key_Backspace);                                // now inside the field: deletes
  EXPECT_EQ(edit_->address(), (IPv4{192, 16, 1, 50}));

  Key(Qt::Key_Right);
  ASSERT_EQ(FocusedOctet(), 2);
  EXPECT_EQ(third->cursorPosition(), 0);
  Key(Qt::Key_Left);
  EXPECT_EQ(FocusedOctet(), 1);

  // Backspace in the first field's start stays there.
  edit_->octet(0)->setFocus();
  edit_->octet(0)->setCursorPosition(0);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(FocusedOctet(), 0);
  EXPECT_EQ(edit_->address(), (IPv4{192, 16, 1, 50}));
}

TEST_F(Ipv4EditTest, SetAddressShowsTheOctetsWithoutSignalling) {
  edit_->SetAddress({10, 1, 2, 3});
  EXPECT_EQ(edit_->address(), (IPv4{10, 1, 2, 3}));
  const QStringList shown = {edit_->octet(0)->text(), edit_->octet(1)->text(), edit_->octet(2)->text(),
                             edit_->octet(3)->text()};
  EXPECT_EQ(shown, (QStringList{"10", "1", "2", "3"}));
  EXPECT_TRUE(changes_.empty());
}

TEST_F(Ipv4EditTest, LeavingAFieldDropsLeadingZerosAndKeepsTheValue) {
  edit_->SetAddress({0, 0, 0, 0});
  Enter(0);
  Type(QStringLiteral("010"));  // full: moves on, which leaves the field
  EXPECT_EQ(edit_->octet(0)->text(), QStringLiteral("10"));
  EXPECT_EQ(edit_->address(), (IPv4{10, 0, 0, 0}));
}

TEST_F(Ipv4EditTest, PastingADottedAddressFillsAllFour) {
  edit_->SetAddress({0, 0, 0, 0});
  QApplication::clipboard()->setText(QStringLiteral(" 172.16.254.3 "));
  Enter(1);
  QTest::keySequence(QApplication::focusWidget(), QKeySequence::Paste);
  EXPECT_EQ(edit_->address(), (IPv4{172, 16, 254, 3}));
  ASSERT_FALSE(changes_.empty());
  EXPECT_EQ(changes_.back(), (IPv4{172, 16, 254, 3}));

  // Anything else pastes as plain field text, digits only.
  QApplication::clipboard()->setText(QStringLiteral("1.2.3"));
  Enter(3);
  QTest::keySequence(QApplication::focusWidget(), QKeySequence::Paste);
  EXPECT_EQ(edit_->address(), (IPv4{172, 16, 254, 3}));
}

TEST_F(Ipv4EditTest, ParseDottedAddressTakesOnlyFourOctets) {
  EXPECT_EQ(ParseDottedAddress(QStringLiteral("0.0.0.0")), (IPv4{0, 0, 0, 0}));
  EXPECT_EQ(ParseDottedAddress(QStringLiteral("255.255.255.255")), (IPv4{255, 255, 255, 255}));
  for (const char* bad : {"1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "a.b.c.d", "-1.2.3.4", "+1.2.3.4", "1000.1.1.1"})
    EXPECT_FALSE(ParseDottedAddress(QString::fromLatin1(bad))) << bad;
}

TEST_F(Ipv4EditTest, TheControlIsOneStopOfTheFocusChain) {
  before_->setFocus();
  Key(Qt::Key_Tab);
  EXPECT_EQ(FocusedOctet(), 0);
  Key(Qt::Key_Tab);
  EXPECT_TRUE(after_->hasFocus());
  // Focusing the control puts the cursor in its first field.
  edit_->setFocus();
  EXPECT_EQ(FocusedOctet(), 0);
}

}  // namespace
}  // namespace zel::app
