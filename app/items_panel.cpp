#include "app/items_panel.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "app/csv_dialog.h"
#include "app/qt_user_interface.h"
#include "app/text.h"

namespace zel::app {
namespace {

using editors::SearchKey;

std::optional<SearchKey> SearchKeyOf(int key) {
  switch (key) {
    case Qt::Key_Backspace: return SearchKey::kBackspace;
    case Qt::Key_Left: return SearchKey::kLeft;
    case Qt::Key_Right: return SearchKey::kRight;
    case Qt::Key_Up: return SearchKey::kUp;
    case Qt::Key_Down: return SearchKey::kDown;
    case Qt::Key_PageUp: return SearchKey::kPageUp;
    case Qt::Key_PageDown: return SearchKey::kPageDown;
    case Qt::Key_Home: return SearchKey::kHome;
    case Qt::Key_End: return SearchKey::kEnd;
    case Qt::Key_Delete: return SearchKey::kDelete;
    default: return std::nullopt;
  }
}

}  // namespace

// ---- SearchEntry ----------------------------------------------------------------------------

SearchEntry::SearchEntry(QWidget* parent) : QLineEdit(parent) {
  setObjectName(QStringLiteral("search"));
  // Only the program puts the keyboard here (a click in the list, F1, a
  // double click in a field); Tab passes it by.
  setFocusPolicy(Qt::NoFocus);
  setFrame(false);
  // No room on screen: it must stay shown to take the keyboard, yet it shows
  // nothing (the prefix is in the list header).
  setFixedSize(0, 0);
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
    clear();
    emit Typed(text);
  });
}

bool SearchEntry::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_F1 || SearchKeyOf(key)) {
      event->accept();
      return true;
    }
  }
  return QLineEdit::event(event);
}

void SearchEntry::keyPressEvent(QKeyEvent* event) {
  if (const std::optional<SearchKey> key = SearchKeyOf(event->key())) {
    event->accept();
    emit SearchKeyPressed(static_cast<int>(*key));
    return;
  }
  if (event->key() == Qt::Key_F1) {
    event->accept();  // a key without a character: nothing to search for
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void SearchEntry::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (event->reason() != Qt::PopupFocusReason) emit FocusGained();
}

void SearchEntry::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (event->reason() != Qt::PopupFocusReason) emit FocusLost();
}

// ---- ItemsPanel -------------------------------------------------------------------------------

ItemsPanel::ItemsPanel(const PanelContext& context)
    : EditorPanel(panel::kItems, Utf8(editors::kItemsCaption), context,
                  std::make_unique<editors::ItemsPanel>(context.image, context.ui, context.shell.editor_shared())) {
  using namespace editors;
  MakeControls();
  MakeList(kItemsList, kItemListHeader);
  search_ = new SearchEntry(this);
  AddControl(kItemSearch, search_);

  for (const ControlSpec& c : ItemsPanel::model().controls())
    if (FieldEdit* f = field(c.id)) f->set_claims_f1(true);

  PanelList* l = list();
  l->set_claims_f1(true);
  l->set_wheel_filter([this](bool toward_user) { return SearchWheel(toward_user); });
  connect(l, &PanelList::UserSelected, this, [this](int row) { model().OnListSelectionChanged(row); });
  connect(l, &PanelList::RowDoubleClicked, this, [this](int row) { model().OnListDoubleClick(row); });
  connect(l, &PanelList::F1Pressed, this, [this] { model().OnListF1(); });
  connect(l, &PanelList::FocusLost, this, [this] { model().OnListFocusLost(); });
  connect(l, &PanelList::MouseMoved, this, [this] { model().OnListMouseMove(); });

  connect(search_, &SearchEntry::SearchKeyPressed, this,
          [this](int key) { model().OnSearchKey(static_cast<SearchKey>(key)); });
  connect(search_, &SearchEntry::Typed, this, &ItemsPanel::SearchTyped);
  connect(search_, &SearchEntry::FocusGained, this, [this] { model().OnSearchFocusGained(); });
  connect(search_, &SearchEntry::FocusLost, this, [this] { model().OnSearchFocusLost(); });

  button(kItemFindEmpty)->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
  button(kItemImport)->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  button(kItemExport)->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  Layout();
}

void ItemsPanel::Layout() {
  using namespace editors;
  auto* form = new QGridLayout;
  form->setHorizontalSpacing(8);
  form->setVerticalSpacing(6);
  int row = 0;
  for (const int id : {kItemNumber, kItemName, kItemBarcode, kItemPrice}) {
    form->addWidget(label(id), row, 0);
    form->addWidget(field(id), row, 1, 1, 2, Qt::AlignLeft);
    ++row;
  }
  for (const auto& [id, name] :
       {std::pair{kItemCategory, kItemCategoryName}, std::pair{kItemDepartment, kItemDepartmentName}}) {
    form->addWidget(label(id), row, 0);
    form->addWidget(field(id), row, 1, Qt::AlignLeft);
    label(name)->setMinimumWidth(FieldPixels(26));
    form->addWidget(label(name), row, 2, Qt::AlignLeft);
    ++row;
  }
  form->addWidget(check_box(kItemFromScale), row++, 1, 1, 2);
  // The fields keep together at the top, the buttons at the bottom.
  form->setRowStretch(row++, 1);
  form->addWidget(button(kItemFindEmpty), row++, 0, 1, 3);
  form->setRowMinimumHeight(row++, 12);
  form->addWidget(button(kItemImport), row++, 0, 1, 3);
  form->addWidget(button(kItemExport), row++, 0, 1, 3);
  form->setColumnStretch(2, 1);

  const QFontMetrics rows = list()->fontMetrics();
  list()->setFixedWidth(rows.horizontalAdvance(QString(34, QLatin1Char('M'))) +
                        list()->verticalScrollBar()->sizeHint().width() + 2 * list()->frameWidth());
  list()->setMinimumHeight(rows.height() * 24);
  auto* right = new QVBoxLayout;
  right->setSpacing(2);
  right->addWidget(list_header());
  right->addWidget(list(), 1);

  auto* layout = new QHBoxLayout;
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(24);
  layout->addLayout(form, 1);
  layout->addLayout(right);
  SetTabOrderFromTable();
  setFixedSize(CaptionOver(layout)->sizeHint());
}

void ItemsPanel::OnShow() { model().Show(); }

std::optional<editors::CsvOptions> ItemsPanel::AskCsvOptions(bool import, const std::string& path) {
  return app::AskCsvOptions(context().ui, window(), import, path);
}

void ItemsPanel::SearchTyped(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  const std::optional<std::string> typed =
      editors::TypedText(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
  if (!typed) {
    context().ui.Beep(400, 40);  // no such letter in the names' code page
    return;
  }
  if (typed->empty() || typed->size() > editors::kMaxSearchPrefix) return;
  for (const char c : *typed) model().OnSearchChar(static_cast<std::uint8_t>(c));
}

bool ItemsPanel::SearchWheel(bool toward_user) {
  if (QApplication::focusWidget() != search_) return false;
  model().OnSearchWheel(toward_user);
  return true;
}

void ItemsPanel::wheelEvent(QWheelEvent* event) {
  // The wheel belongs to the control with the keyboard, wherever the mouse is.
  const int dy = event->angleDelta().y();
  if (dy != 0 && SearchWheel(dy < 0)) {
    event->accept();
    return;
  }
  EditorPanel::wheelEvent(event);
}

}  // namespace zel::app
