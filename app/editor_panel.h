// What the editor panels (items, other data, parameters, logo) share on the
// widget side: one widget per control of the engine's control table, bound
// to the panel model's editors and boxes, and the PanelView the model drives
// (list, list header, static texts, focus, the wait text, switching panels).
//
// A panel built on it:
//   class MyPanel : public EditorPanel {
//     MyPanel(const PanelContext& c)
//         : EditorPanel(number, caption, c, std::make_unique<editors::MyModel>(...)) {
//       MakeControls();                   // fields, check boxes, buttons, labels, statics
//       MakeList(kMyList, kMyListHeader); // when the table has a list
//       ... lay out control(id) / label(id) ...
//     }
//     void OnShow() override { model().Show(); }
//   };
// The model is owned here and outlives every widget bound to it: OnHide and
// the destructor detach the widgets first, so no event that arrives while the
// panel goes away reaches an engine object.
//
// Enter anywhere in the panel presses the hidden next-field button (the
// panel's default button), which calls OnEnter with the focused control:
// the next control in tab order unless a panel says otherwise.
//
// UI thread only.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <map>
#include <memory>

#include "app/field_widgets.h"
#include "app/panel.h"
#include "app/panel_list.h"
#include "editors/panel.h"

namespace zel::app {

class EditorPanel : public Panel, public editors::PanelView {
  Q_OBJECT
 public:
  EditorPanel(int number, QString caption, const PanelContext& context, std::unique_ptr<editors::PanelModel> model,
              QWidget* parent = nullptr);
  ~EditorPanel() override;

  // ---- The controls, by the ids of the control table
  QWidget* control(int id) const;
  FieldEdit* field(int id) const;
  BoundCheckBox* check_box(int id) const;
  ActionButton* button(int id) const;
  // The label of a control that has one in the table, or a static text.
  QLabel* label(int id) const;
  PanelList* list() const { return list_; }
  EngineListModel* list_model() const { return list_model_; }
  QLabel* list_header() const { return list_header_; }
  QLabel* wait_text() const { return wait_text_; }
  QPushButton* next_field_button() const { return next_field_; }
  // The id of the control `widget` is (or lies in); 0 for none.
  int IdOf(const QWidget* widget) const;

  // Stores the field being edited (as leaving it would), then detaches every
  // widget: the panel is going away.
  void OnHide() override;

  // ---- editors::PanelView
  void ShowList(const editors::ListContent& content) override;
  void ReplaceListRow(int row) override;
  void SelectListRow(int row) override;
  void SetListHeader(std::string_view cp1253) override;
  void SetStaticText(int id, std::string_view cp1253) override;
  void Focus(int id) override;
  void FocusNext() override;
  void BeginWait(bool empty_list) override;
  void EndWait() override;
  void Repaint() override;
  void SwitchPanel(int panel) override;

 protected:
  editors::PanelModel& panel_model() { return *model_; }
  editors::EditorShared& shared();

  // One widget per field, check box, action button, static text and the
  // hidden next-field button of the table, in table order (which is the tab
  // order), each a child of this panel for the caller to lay out.
  void MakeControls();
  // The list, its header (a static of the table) and the wait text.
  void MakeList(int list_id, int header_id);
  // A control the panel makes itself (search entry, command buttons...).
  void AddControl(int id, QWidget* widget);
  // Enter in control `focused` (0 when the focus is on no control).
  virtual void OnEnter(int focused);
  // Tab order = table order (call after the controls are laid out; moving a
  // widget into a group box puts it last in the chain).
  void SetTabOrderFromTable();
  // How many pixels a field of `chars` characters needs.
  int FieldPixels(int chars) const;
  // The label the control table gives control `id` (empty when none).
  QString TableLabel(int id) const;

  void keyPressEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void DetachAll();

  std::unique_ptr<editors::PanelModel> model_;
  std::map<int, QWidget*> controls_;
  std::map<int, QLabel*> labels_;
  PanelList* list_ = nullptr;
  EngineListModel* list_model_ = nullptr;
  QLabel* list_header_ = nullptr;
  QLabel* wait_text_ = nullptr;
  QPushButton* next_field_ = nullptr;
  bool detached_ = false;
};

}  // namespace zel::app
