#include "app/panel_list.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include "app/text.h"
#include "editors/field_edit.h"

namespace zel::app {

// ---- EngineListModel ---------------------------------------------------------------

EngineListModel::EngineListModel(const DataImage& image, QObject* parent) : QAbstractListModel(parent), image_(image) {}

void EngineListModel::Show(int group, int rows) {
  beginResetModel();
  group_ = group;
  rows_ = rows;
  endResetModel();
}

void EngineListModel::RowChanged(int row) {
  if (row < 0 || row >= rows_) return;
  const QModelIndex i = index(row);
  emit dataChanged(i, i, {Qt::DisplayRole});
}

int EngineListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

QVariant EngineListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_) return {};
  if (group_ == editors::kGroupItems) {
    // The row most drawn of all: built in place, no string in between.
    char row[editors::kItemRowWidth];
    editors::ItemRow(image_, index.row(), row);
    return FromCp1253(std::string_view(row, sizeof row));
  }
  return FromCp1253(editors::ListRow(image_, group_, index.row()));
}

// ---- PanelList ---------------------------------------------------------------------------

QFont PanelList::RowFont() {
  QFont f(QStringLiteral("Courier New"));
  f.setStyleHint(QFont::Monospace);
  f.setFixedPitch(true);
  return f;
}

PanelList::PanelList(QWidget* parent) : QListView(parent) {
  setFont(RowFont());
  // Every row has the height of the first: no row is measured but the ones
  // drawn, so 16000 rows lay out as fast as 20.
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
}

void PanelList::Quietly(const std::function<void()>& change) {
  const bool was = programmatic_;
  programmatic_ = true;
  change();
  programmatic_ = was;
}

void PanelList::SelectRow(int row) {
  Quietly([&] {
    if (model() == nullptr || row < 0 || row >= model()->rowCount()) {
      clearSelection();
      setCurrentIndex(QModelIndex());
      return;
    }
    const QModelIndex i = model()->index(row, 0);
    selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect);
    scrollTo(i);
  });
}

int PanelList::selected_row() const {
  const QModelIndex i = currentIndex();
  return i.isValid() && selectionModel()->isSelected(i) ? i.row() : -1;
}

void PanelList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QListView::currentChanged(current, previous);
  if (programmatic_ || !current.isValid()) return;
  user_changed_ = true;
  emit UserSelected(current.row());
}

bool PanelList::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && claims_f1_ && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
    event->accept();
    return true;
  }
  return QListView::event(event);
}

void PanelList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && claims_f1_) {
    event->accept();
    emit F1Pressed();
    return;
  }
  QListView::keyPressEvent(event);
}

void PanelList::focusInEvent(QFocusEvent* event) {
  QListView::focusInEvent(event);
  if (event->reason() != Qt::PopupFocusReason) emit FocusGained();
}

void PanelList::focusOutEvent(QFocusEvent* event) {
  QListView::focusOutEvent(event);
  if (event->reason() != Qt::PopupFocusReason) emit FocusLost();
}

void PanelList::mousePressEvent(QMouseEvent* event) {
  user_changed_ = false;
  const QModelIndex at = indexAt(event->position().toPoint());
  QListView::mousePressEvent(event);
  // A click on the row already selected is a selection too.
  if (!user_changed_ && event->button() == Qt::LeftButton && at.isValid()) emit UserSelected(at.row());
}

void PanelList::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex at = indexAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && at.isValid()) {
    event->accept();
    emit RowDoubleClicked(at.row());
    return;
  }
  QListView::mouseDoubleClickEvent(event);
}

void PanelList::mouseMoveEvent(QMouseEvent* event) {
  emit MouseMoved();
  QListView::mouseMoveEvent(event);
  event->accept();  // the help line is the list's, not the panel's behind it
}

void PanelList::wheelEvent(QWheelEvent* event) {
  const int dy = event->angleDelta().y();
  if (dy != 0 && wheel_filter_ && wheel_filter_(dy < 0)) {
    event->accept();
    return;
  }
  QListView::wheelEvent(event);
}

}  // namespace zel::app
