#include "app/editor_panel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>

#include "app/qt_user_interface.h"
#include "app/text.h"

namespace zel::app {

EditorPanel::EditorPanel(int number, QString caption, const PanelContext& context,
                         std::unique_ptr<editors::PanelModel> model, QWidget* parent)
    : Panel(number, std::move(caption), context, parent), model_(std::move(model)) {
  model_->set_view(this);
}

EditorPanel::~EditorPanel() {
  DetachAll();
  model_->set_view(nullptr);
}

editors::EditorShared& EditorPanel::shared() { return context().shell.editor_shared(); }

// ---- Building --------------------------------------------------------------------------------

void EditorPanel::MakeControls() {
  using editors::ControlType;
  for (const editors::ControlSpec& c : model_->controls()) {
    const QString text = Utf8(c.label);
    switch (c.type) {
      case ControlType::kField: {
        auto* edit = new FieldEdit(this);
        edit->Attach(model_->field(c.id));
        edit->setFixedWidth(FieldPixels(c.width));
        AddControl(c.id, edit);
        if (!text.isEmpty()) {
          auto* l = new QLabel(text, this);
          l->setTextFormat(Qt::PlainText);
          l->setBuddy(edit);
          labels_[c.id] = l;
        }
        break;
      }
      case ControlType::kCheckBox: {
        auto* box = new BoundCheckBox(text, this);
        box->Attach(model_->box(c.id));
        AddControl(c.id, box);
        break;
      }
      case ControlType::kButton: {
        auto* button = new ActionButton(text, this);
        button->Attach(model_->box(c.id));
        AddControl(c.id, button);
        break;
      }
      case ControlType::kStatic: {
        auto* l = new QLabel(this);
        l->setTextFormat(Qt::PlainText);
        labels_[c.id] = l;
        AddControl(c.id, l);
        break;
      }
      case ControlType::kDefaultButton: {
        // Never seen: Enter presses it (keyPressEvent), as a dialog's
        // default button.
        next_field_ = new QPushButton(this);
        next_field_->setObjectName(QStringLiteral("nextField"));
        next_field_->setFocusPolicy(Qt::NoFocus);
        next_field_->setDefault(true);
        next_field_->hide();
        connect(next_field_, &QPushButton::clicked, this, [this] { OnEnter(IdOf(QApplication::focusWidget())); });
        AddControl(c.id, next_field_);
        break;
      }
      case ControlType::kList:
      case ControlType::kSearch:
      case ControlType::kCommand:
      case ControlType::kAddress:
      case ControlType::kGroup: break;  // made by the panel itself
    }
  }
}

void EditorPanel::MakeList(int list_id, int header_id) {
  list_model_ = new EngineListModel(image(), this);
  list_ = new PanelList(this);
  list_->setModel(list_model_);
  AddControl(list_id, list_);
  list_header_ = label(header_id);
  if (list_header_ == nullptr) {
    list_header_ = new QLabel(this);
    labels_[header_id] = list_header_;
    AddControl(header_id, list_header_);
  }
  list_header_->setTextFormat(Qt::PlainText);
  list_header_->setFont(PanelList::RowFont());

  wait_text_ = new QLabel(Utf8(editors::kWaitText), this);
  wait_text_->setObjectName(QStringLiteral("waitText"));
  QFont f(QStringLiteral("Courier New"));
  f.setStyleHint(QFont::Monospace);
  f.setWeight(QFont::Normal);
  wait_text_->setFont(f);
  wait_text_->adjustSize();
  wait_text_->hide();
}

void EditorPanel::AddControl(int id, QWidget* widget) {
  widget->setObjectName(widget->objectName().isEmpty() ? QStringLiteral("control%1").arg(id) : widget->objectName());
  controls_[id] = widget;
}

void EditorPanel::SetTabOrderFromTable() {
  QWidget* previous = nullptr;
  for (const editors::ControlSpec& c : model_->controls()) {
    QWidget* w = control(c.id);
    if (w == nullptr || w->focusPolicy() == Qt::NoFocus) continue;
    if (previous != nullptr) setTabOrder(previous, w);
    previous = w;
  }
}

int EditorPanel::FieldPixels(int chars) const {
  const QFontMetrics m(font());
  // Short fields (numbers, codes) get room for the widest digits and
  // capitals.
  if (chars <= 9) return m.horizontalAdvance(QLatin1Char('W')) * (chars + 1) + 12;
  // Addresses and keys (longer than any name) are Latin, mostly lower case.
  if (chars > 32) return (m.averageCharWidth() + 1) * (chars + 1) + 12;
  // Texts are mostly written in Greek capitals, wider than the font's
  // average character: room for `chars` of them at their average width, so
  // a full-length name shows whole once the field has lost the focus. The
  // frame, the margins and the caret take the rest.
  static const QString kCapitals = QStringLiteral("ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ");
  const qreal capital = static_cast<qreal>(m.horizontalAdvance(kCapitals)) / static_cast<qreal>(kCapitals.size());
  return static_cast<int>(std::ceil(capital * chars)) + 12;
}

QString EditorPanel::TableLabel(int id) const {
  const editors::ControlSpec* c = model_->control_spec(id);
  return c != nullptr ? Utf8(c->label) : QString();
}

// ---- Lookup ---------------------------------------------------------------------------------------

QWidget* EditorPanel::control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

FieldEdit* EditorPanel::field(int id) const { return qobject_cast<FieldEdit*>(control(id)); }
BoundCheckBox* EditorPanel::check_box(int id) const { return qobject_cast<BoundCheckBox*>(control(id)); }
ActionButton* EditorPanel::button(int id) const { return qobject_cast<ActionButton*>(control(id)); }

QLabel* EditorPanel::label(int id) const {
  const auto it = labels_.find(id);
  return it == labels_.end() ? nullptr : it->second;
}

int EditorPanel::IdOf(const QWidget* widget) const {
  for (; widget != nullptr && widget != this; widget = widget->parentWidget())
    for (const auto& [id, w] : controls_)
      if (w == widget) return id;
  return 0;
}

// ---- Life ---------------------------------------------------------------------------------------

void EditorPanel::OnHide() {
  if (auto* edit = qobject_cast<FieldEdit*>(QApplication::focusWidget());
      edit != nullptr && isAncestorOf(edit) && edit->editor() != nullptr)
    edit->editor()->Commit();
  DetachAll();
}

void EditorPanel::DetachAll() {
  if (detached_) return;
  detached_ = true;
  for (const auto& [id, w] : controls_) {
    if (auto* edit = qobject_cast<FieldEdit*>(w)) edit->Attach(nullptr);
    if (auto* box = qobject_cast<BoundCheckBox*>(w)) box->Attach(nullptr);
    if (auto* button = qobject_cast<ActionButton*>(w)) button->Attach(nullptr);
    // Every handler a panel connected runs in this panel's context.
    QObject::disconnect(w, nullptr, this, nullptr);
  }
}

// ---- PanelView ----------------------------------------------------------------------------------

void EditorPanel::ShowList(const editors::ListContent& content) {
  if (list_ == nullptr) return;
  list_->Quietly([&] { list_model_->Show(content.group, content.rows); });
  list_->SelectRow(content.selected);
  SetListHeader(content.header);
}

void EditorPanel::ReplaceListRow(int row) {
  if (list_ == nullptr) return;
  list_->Quietly([&] { list_model_->RowChanged(row); });
  list_->SelectRow(row);
}

void EditorPanel::SelectListRow(int row) {
  if (list_ != nullptr) list_->SelectRow(row);
}

void EditorPanel::SetListHeader(std::string_view cp1253) {
  if (list_header_ != nullptr) list_header_->setText(FromCp1253(cp1253));
}

void EditorPanel::SetStaticText(int id, std::string_view cp1253) {
  if (QLabel* l = label(id)) l->setText(FromCp1253(cp1253));
}

void EditorPanel::Focus(int id) {
  if (QWidget* w = control(id)) w->setFocus(Qt::OtherFocusReason);
}

void EditorPanel::FocusNext() { focusNextChild(); }

void EditorPanel::BeginWait(bool empty_list) {
  if (list_ == nullptr) return;
  list_->hide();
  if (empty_list) list_->Quietly([&] { list_model_->Clear(); });
  const QRect r = list_->geometry();
  wait_text_->move(r.left() + 40, r.top() + r.height() / 2 - 20);
  wait_text_->show();
  wait_text_->raise();
  // Drawn now: the work that follows holds the UI thread until it is done.
  repaint();
}

void EditorPanel::EndWait() {
  if (list_ == nullptr) return;
  wait_text_->hide();
  list_->show();
}

void EditorPanel::Repaint() { update(); }

void EditorPanel::SwitchPanel(int panel) { context().shell.SwitchPanel(panel); }

void EditorPanel::OnEnter(int /*focused*/) { FocusNext(); }

// ---- Events -------------------------------------------------------------------------------------

void EditorPanel::keyPressEvent(QKeyEvent* event) {
  // Enter that no control took: the default button's press.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && next_field_ != nullptr && !detached_) {
    event->accept();
    next_field_->click();
    return;
  }
  Panel::keyPressEvent(event);
}

void EditorPanel::mouseMoveEvent(QMouseEvent* event) {
  if (!detached_) editors::OnBackgroundMouseMove(shared(), context().ui);
  Panel::mouseMoveEvent(event);
}

}  // namespace zel::app
