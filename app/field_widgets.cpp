#include "app/field_widgets.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

#include "app/text.h"

namespace zel::app {

using editors::Key;

Key KeyOf(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_PageUp: return Key::kPageUp;
    case Qt::Key_PageDown: return Key::kPageDown;
    case Qt::Key_Home: return Key::kHome;
    case Qt::Key_End: return Key::kEnd;
    case Qt::Key_Left: return Key::kLeft;
    case Qt::Key_Right: return Key::kRight;
    case Qt::Key_Up: return Key::kUp;
    case Qt::Key_Down: return Key::kDown;
    case Qt::Key_Insert: return Key::kInsert;
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Meta: return Key::kWindows;
    case Qt::Key_NumLock: return Key::kNumLock;
    case Qt::Key_ScrollLock: return Key::kScrollLock;
    case Qt::Key_F1: return Key::kF1;
    case Qt::Key_F12: return Key::kF12;
    case Qt::Key_Backspace: return Key::kBackspace;
    case Qt::Key_Delete: return Key::kDelete;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return Key::kTab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return Key::kEnter;
    case Qt::Key_Escape: return Key::kEscape;
    case Qt::Key_Shift: return Key::kShift;
    case Qt::Key_Control: return Key::kControl;
    case Qt::Key_Alt:
    case Qt::Key_AltGr: return Key::kAlt;
    case Qt::Key_CapsLock:
    case Qt::Key_Pause: return Key::kOtherControl;
    default: break;
  }
  if (event.key() >= Qt::Key_F2 && event.key() <= Qt::Key_F11) return Key::kF2ToF11;
  const QString text = event.text();
  if (!text.isEmpty() && text.at(0).isPrint()) return Key::kCharacter;
  // Letters with Ctrl (paste, undo...), the menu key, keys without a name:
  // let them through; whatever they change in the text is judged.
  return Key::kOtherTyping;
}

// ---- FieldEdit ----------------------------------------------------------------------

FieldEdit::FieldEdit(QWidget* parent) : QLineEdit(parent) {
  setMouseTracking(true);
  // The edit's own context menu is kept (paste is judged like typing), its
  // completion and drops are not needed.
  setDragEnabled(false);
  connect(this, &QLineEdit::textEdited, this, &FieldEdit::Judge);
}

void FieldEdit::Attach(editors::FieldEditor* editor) {
  if (editor_ != nullptr && editor_ != editor) editor_->set_view(nullptr);
  editor_ = editor;
  if (editor_ != nullptr) editor_->set_view(this);
}

void FieldEdit::ShowText(std::string_view cp1253) {
  // A field the user is about to type over keeps its whole text selected
  // when the program shows its value again (the logo panel does so right
  // after Enter), so the next key still replaces it.
  const bool whole = hasFocus() && hasSelectedText() && selectedText() == text();
  // setText reports no edit (textEdited stays quiet), so nothing is judged.
  setText(FromCp1253(cp1253));
  if (whole) selectAll();
}

void FieldEdit::SetCaret(int pos) { setCursorPosition(std::clamp(pos, 0, static_cast<int>(text().size()))); }

void FieldEdit::SelectAll() { selectAll(); }

void FieldEdit::Judge(const QString& typed) {
  if (editor_ == nullptr) return;
  const int caret = cursorPosition();
  const QByteArray utf8 = typed.toUtf8();
  editor_->OnTextChangedUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
  if (editor_ == nullptr) return;
  // The editor keeps a letter typed with a separate accent as the one letter
  // the code page has (and at most 69 characters): show its form, so what the
  // user sees and where the caret stands match the text being judged.
  const QString shown = FromCp1253(editor_->text());
  if (text() == shown) return;
  const int moved = static_cast<int>(text().size() - shown.size());
  setText(shown);
  setCursorPosition(std::clamp(caret - moved, 0, static_cast<int>(shown.size())));
}

bool FieldEdit::event(QEvent* event) {
  // Keys the field uses itself must not be taken by the window's shortcuts
  // (F1 is the program's Help key).
  if (event->type() == QEvent::ShortcutOverride && editor_ != nullptr) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_F1 && claims_f1_) || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
      event->accept();
      return true;
    }
  }
  return QLineEdit::event(event);
}

void FieldEdit::keyPressEvent(QKeyEvent* event) {
  if (editor_ == nullptr) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  if (editors::PassesOn(editor_->OnKeyDown(KeyOf(*event)))) {
    QLineEdit::keyPressEvent(event);
  } else {
    event->accept();  // the key goes no further
  }
}

void FieldEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  // A pop-up menu (the edit's own) leaves the focus where it was.
  if (editor_ == nullptr || event->reason() == Qt::PopupFocusReason) return;
  // Tab, Enter (the panels move the focus themselves), a shortcut, the
  // program, the window active again: all but a click select the text.
  editor_->OnFocusGained(event->reason() == Qt::MouseFocusReason ? editors::FocusCause::kClicked
                                                                 : editors::FocusCause::kMoved);
}

void FieldEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (editor_ != nullptr && event->reason() != Qt::PopupFocusReason) editor_->Commit();
  // A field the user has left shows its text from the start, not scrolled to
  // where the caret was (a window switch keeps the caret for coming back).
  if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) setCursorPosition(0);
}

void FieldEdit::mouseMoveEvent(QMouseEvent* event) {
  if (editor_ != nullptr) editor_->OnMouseMove();
  QLineEdit::mouseMoveEvent(event);
  event->accept();  // the help line is this field's, not the panel's behind it
}

void FieldEdit::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (editor_ != nullptr && event->button() == Qt::LeftButton) editor_->OnLeftButtonUp();
}

void FieldEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  if (editor_ != nullptr && event->button() == Qt::LeftButton && editor_->OnDoubleClick()) {
    event->accept();
    return;
  }
  QLineEdit::mouseDoubleClickEvent(event);
}

// ---- BoundCheckBox ---------------------------------------------------------------------

BoundCheckBox::BoundCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
  setMouseTracking(true);
  connect(this, &QCheckBox::clicked, this, [this](bool checked) {
    if (box_ != nullptr) box_->OnClick(checked);
  });
}

void BoundCheckBox::Attach(editors::CheckBox* box) {
  if (box_ != nullptr && box_ != box) box_->set_view(nullptr);
  box_ = box;
  if (box_ != nullptr) box_->set_view(this);
}

void BoundCheckBox::ShowChecked(bool checked) { setChecked(checked); }

void BoundCheckBox::mouseMoveEvent(QMouseEvent* event) {
  if (box_ != nullptr) box_->OnMouseMove();
  QCheckBox::mouseMoveEvent(event);
  event->accept();  // the help line is this box's, not the panel's behind it
}

// ---- ActionButton ----------------------------------------------------------------------

ActionButton::ActionButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  setMouseTracking(true);
  // Enter on a focused button presses it, as Space does.
  setAutoDefault(true);
  connect(this, &QPushButton::clicked, this, [this] {
    if (box_ != nullptr) box_->OnClick(false);
    // The button goes back to its normal look when its action is over.
    setDefault(false);
  });
}

void ActionButton::Attach(editors::CheckBox* box) {
  if (box_ != nullptr && box_ != box) box_->set_view(nullptr);
  box_ = box;
  if (box_ != nullptr) box_->set_view(this);
}

void ActionButton::mouseMoveEvent(QMouseEvent* event) {
  if (box_ != nullptr) box_->OnMouseMove();
  QPushButton::mouseMoveEvent(event);
  event->accept();  // the help line is this button's, not the panel's behind it
}

}  // namespace zel::app
