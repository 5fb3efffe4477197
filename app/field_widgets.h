// The widgets every editor panel is made of, each bound to its engine object:
//   FieldEdit     a single-line edit driving an editors::FieldEditor
//   BoundCheckBox a check box driving an editors::CheckBox with a target
//   ActionButton  a push button driving an editors::CheckBox without one
//                 (the action codes: find empty item, CSV import/export)
//
// The widgets decide nothing: every key goes through the editor's key filter
// before the edit sees it, every change of the text is judged by the editor
// (which puts back the last accepted text and beeps when it refuses), focus
// in fills the panel's list, focus out stores the value, the mouse writes the
// help line. Code page 1253 is met only here: the editor shows its bytes
// through ShowText and judges what the user typed as UTF-8, refusing any
// character the code page cannot hold like any other bad keystroke.
//
// How a panel binds one (see EditorPanel::MakeControls, which does it for a
// whole control table):
//   auto* edit = new FieldEdit(parent);
//   edit->Attach(model.field(id));   // the editor shows its value through it
//   ... model binds the editor (PanelModel::BindWhere / Show...)
//   edit->Attach(nullptr);           // before the model or the edit goes away
// A widget never calls its engine object while being destroyed: whoever owns
// both detaches them first (EditorPanel does).
//
// UI thread only.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "editors/field_edit.h"

class QKeyEvent;

namespace zel::app {

// The engine's name for a key of the keyboard.
editors::Key KeyOf(const QKeyEvent& event);

class FieldEdit : public QLineEdit, public editors::FieldView {
  Q_OBJECT
 public:
  explicit FieldEdit(QWidget* parent = nullptr);

  // The editor this edit shows; nullptr detaches it (events then reach no
  // engine object).
  void Attach(editors::FieldEditor* editor);
  editors::FieldEditor* editor() const { return editor_; }
  // F1 belongs to this field (the items panel's search) rather than to the
  // program's Help shortcut.
  void set_claims_f1(bool claims) { claims_f1_ = claims; }

  // editors::FieldView
  void ShowText(std::string_view cp1253) override;
  void SetCaret(int pos) override;
  void SelectAll() override;

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void Judge(const QString& text);

  editors::FieldEditor* editor_ = nullptr;
  bool claims_f1_ = false;
};

class BoundCheckBox : public QCheckBox, public editors::CheckView {
  Q_OBJECT
 public:
  explicit BoundCheckBox(const QString& text, QWidget* parent = nullptr);
  void Attach(editors::CheckBox* box);

  // editors::CheckView
  void ShowChecked(bool checked) override;

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  editors::CheckBox* box_ = nullptr;
};

class ActionButton : public QPushButton, public editors::CheckView {
  Q_OBJECT
 public:
  explicit ActionButton(const QString& text, QWidget* parent = nullptr);
  void Attach(editors::CheckBox* box);

  // editors::CheckView (a button shows no mark)
  void ShowChecked(bool) override {}

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  editors::CheckBox* box_ = nullptr;
};

}  // namespace zel::app
