// A shown main window with an editor panel open, and the hands of a user:
// typing (Greek included), keys, clicks in fields and list rows, the wheel.
// Everything goes through QTest events to the real widgets, so the key
// filter, the text-change judging and the focus events run as in the
// program.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLayout>
#include <QTest>
#include <QWheelEvent>

#include "app/beep.h"
#include "app/editor_panel.h"
#include "app/items_panel.h"
#include "app/other_panel.h"
#include "core/cp1253.h"
#include "gui_support.h"

namespace zel::app::test {

inline std::string Greek(std::string_view utf8) { return cp1253::Encode(utf8); }
inline QString Q(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

class PanelFixture : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    StartShown();
    QApplication::setActiveWindow(&w());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
  }

  // Switches to panel n as the tool bar does (a second after the last switch).
  void Open(int number) {
    clock_.Advance(std::chrono::seconds(2));
    ASSERT_TRUE(w().SwitchPanel(number));
    ASSERT_NE(w().active_panel(), nullptr);
  }
  EditorPanel& panel() { return *qobject_cast<EditorPanel*>(w().active_panel()); }
  ItemsPanel& items() { return *qobject_cast<ItemsPanel*>(w().active_panel()); }
  OtherDataPanel& other() { return *qobject_cast<OtherDataPanel*>(w().active_panel()); }

  FieldEdit& F(int id) {
    FieldEdit* f = panel().field(id);
    EXPECT_NE(f, nullptr) << id;
    return *f;
  }
  QWidget* Focused() const { return QApplication::focusWidget(); }
  int FocusedId() { return panel().IdOf(QApplication::focusWidget()); }

  // A click into a field puts the keyboard there (and the caret at the end
  // of its text, where a click after the last character puts it).
  void ClickInto(int id) {
    FieldEdit& f = F(id);
    QTest::mouseClick(&f, Qt::LeftButton, Qt::NoModifier, QPoint(f.width() - 4, f.height() / 2));
    ASSERT_EQ(Focused(), &f);
  }
  // Replaces the whole text of a field, as a user selecting it and typing.
  void Retype(int id, const QString& text) {
    ClickInto(id);
    F(id).selectAll();
    QTest::keyClick(&F(id), Qt::Key_Backspace);
    Type(&F(id), text);
  }
  // Types characters one key at a time; those outside Latin-1 come as keys
  // with text only, as an input method or a Greek layout delivers them.
  static void Type(QWidget* w, const QString& text) {
    for (const QChar c : text) {
      if (c.unicode() < 0x7F && c.isPrint()) {
        QTest::keyClick(w, c.toLatin1());
      } else {
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
      }
    }
  }
  static void Key(QWidget* w, Qt::Key key) { QTest::keyClick(w, key); }
  // Moves the keyboard away from the field being typed in, so it stores.
  void Leave(int to_id) { panel().control(to_id)->setFocus(Qt::TabFocusReason); }

  // A click on list row `row` (scrolled into view first, as the user scrolls).
  void ClickRow(int row, bool twice = false) {
    PanelList* l = panel().list();
    const QModelIndex i = l->model()->index(row, 0);
    l->scrollTo(i);
    const QPoint at = l->visualRect(i).center();
    QTest::mouseClick(l->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    // A double click is a click and then the double-click event (QTest sends
    // only the latter).
    if (twice) QTest::mouseDClick(l->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }
  // One wheel message; a negative delta turns the wheel toward the user.
  static void Wheel(QWidget* w, QPoint at, int delta) {
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                  false);
    QApplication::sendEvent(w, &e);
  }
  QString RowText(int row) {
    PanelList* l = panel().list();
    return l->model()->data(l->model()->index(row, 0)).toString();
  }
  // When a dialog closes the desktop activates the main window again, and
  // the window gives the keyboard to its focus child; offscreen there is no
  // desktop to do it. True when the keyboard is then on `widget`.
  bool KeyboardBackOn(QWidget* widget) {
    if (!w().isActiveWindow()) {
      w().activateWindow();
      if (!QTest::qWaitForWindowActive(&w())) return false;
    }
    return QApplication::focusWidget() == widget;
  }
  int Beeped() const { return Beeps().count; }
  // A dialog answered through the seam does not run its own loop: show it,
  // so it is laid out and clicks land where a user's would.
  static void LayOut(QDialog& d) {
    d.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&d));
  }

  DataImage& image() { return w().image(); }
};

}  // namespace zel::app::test
