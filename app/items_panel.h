// The items panel (panel 3): one item of the 16000 at a time in its fields,
// the list of all items beside them, the alphabetical search, "find empty
// item" and the items CSV import and export. The rules are the engine's
// (editors::ItemsPanel); this is its window.
//
// The list is a view over the data image: rows are built when drawn, so the
// panel opens on a table of 16000 named items as fast as on an empty one.
// The search entry takes the keyboard while the user searches but never
// shows anything: the typed prefix is shown in the list header, the item
// found is the highlighted row.
//
// UI thread only.
#pragma once

#include <QLineEdit>
#include <optional>

#include "app/editor_panel.h"
#include "editors/items_panel.h"

namespace zel::app {

// The search entry: takes the keys of the search and the typed characters,
// and reports them; it holds no text of its own.
class SearchEntry : public QLineEdit {
  Q_OBJECT
 public:
  explicit SearchEntry(QWidget* parent = nullptr);

 signals:
  void SearchKeyPressed(int key);  // an editors::SearchKey
  void Typed(const QString& text);
  void FocusGained();
  void FocusLost();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

class ItemsPanel : public EditorPanel {
  Q_OBJECT
 public:
  explicit ItemsPanel(const PanelContext& context);

  void OnShow() override;
  std::optional<editors::CsvOptions> AskCsvOptions(bool import, const std::string& path) override;

  editors::ItemsPanel& model() { return static_cast<editors::ItemsPanel&>(panel_model()); }
  SearchEntry* search() const { return search_; }

 protected:
  void wheelEvent(QWheelEvent* event) override;

 private:
  void Layout();
  void SearchTyped(const QString& text);
  // A wheel message while the search has the keyboard; false otherwise.
  bool SearchWheel(bool toward_user);

  SearchEntry* search_ = nullptr;
};

}  // namespace zel::app
