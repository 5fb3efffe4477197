// The editor panels' list box: a list view over the data image whose rows the
// engine builds when the view draws them (editors/lists.h), so the items
// list's 16000 rows never exist as 16000 strings or widget items, and an edit
// or an import is seen as soon as the rows are drawn again.
//
// The view tells the user's selections apart from the program's: a row the
// panel selects (SelectRow) never reports UserSelected, as a list box moved
// by the program sends no selection notice. A click reports even when it
// lands on the row already selected.
//
// UI thread only.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <functional>

#include "core/data_image.h"
#include "editors/lists.h"

namespace zel::app {

class EngineListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit EngineListModel(const DataImage& image, QObject* parent = nullptr);

  // Rows 0 .. rows - 1 of list group `group` (editors::ListRow).
  void Show(int group, int rows);
  // No rows (the wait text empties the list).
  void Clear() { Show(group_, 0); }
  // Row `row` is drawn again from the image.
  void RowChanged(int row);
  int group() const { return group_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  const DataImage& image_;
  int group_ = 0;
  int rows_ = 0;
};

class PanelList : public QListView {
  Q_OBJECT
 public:
  explicit PanelList(QWidget* parent = nullptr);

  // The program selects a row (highlight and scroll, no UserSelected); a row
  // outside the list clears the selection.
  void SelectRow(int row);
  int selected_row() const;
  // Runs `change` (a model reset, a row drawn again) as the program's own:
  // whatever it does to the current row is not the user's selection.
  void Quietly(const std::function<void()>& change);
  // F1 belongs to the list (the items panel's search) rather than to Help.
  void set_claims_f1(bool claims) { claims_f1_ = claims; }
  // Wheel messages are offered here first; true takes them (the items
  // panel's search moves only the highlight).
  void set_wheel_filter(std::function<bool(bool toward_user)> filter) { wheel_filter_ = std::move(filter); }
  // The fixed-pitch font of the rows and the list header.
  static QFont RowFont();

 signals:
  void UserSelected(int row);
  void RowDoubleClicked(int row);
  void FocusGained();
  void FocusLost();
  void F1Pressed();
  void MouseMoved();

 protected:
  bool event(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

 private:
  bool programmatic_ = false;  // the program is moving the selection
  bool user_changed_ = false;  // a user's move already reported during this press
  bool claims_f1_ = false;
  std::function<bool(bool)> wheel_filter_;
};

}  // namespace zel::app
