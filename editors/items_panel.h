// The items panel without its window: the 16000-item list (rows built on
// demand), the alphabetical search over it, the department and category
// names beside their fields, "find empty item" and the CSV buttons, and the
// panel's fields as a control table bound to the selected item.
//
// The search compares the typed prefix against the names in the data image
// directly, one pass from the top at most per keystroke; nothing is cached,
// so an edit or an import is seen at once.
//
// Single-threaded: user-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "editors/panel.h"

namespace zel::editors {

enum ItemsControl : int {
  kItemNumber = 100,
  kItemName,
  kItemBarcode,
  kItemPrice,
  kItemCategory,
  kItemDepartment,
  kItemFromScale,
  kItemFindEmpty,
  kItemImport,
  kItemExport,
  kItemsList,
  kItemSearch,
  kItemNextField,
  kItemListHeader,
  kItemDepartmentName,
  kItemCategoryName,
};

inline constexpr std::string_view kItemsCaption = "Setup ZEL - Εφαρμογή προγραμματισμού ";
inline constexpr std::size_t kMaxSearchPrefix = 23;
inline constexpr int kSearchPage = 20;

// ---- Search pieces (pure) ----------------------------------------------------------

// Upper-case form of a code page 1253 byte: Latin and Greek letters, with
// their accented and diaeresis forms, and final sigma as sigma.
std::uint8_t FoldCase(std::uint8_t c);
// Letters and digits as the search's blank completion counts them: digits,
// Latin letters, and the bytes 0xC0-0xDA and 0xDC-0xFF except 0xDD, 0xFB
// and 0xFD.
bool IsWordCharacter(std::uint8_t c);
// First item (0-based) from the top whose row begins with `prefix`,
// letters compared without regard to case; -1 when none.
int FindPrefix(const DataImage& image, std::string_view prefix);
// Next item after `after` with an empty name, wrapping to the top; -1 when
// every item is named.
int FindNextEmpty(const DataImage& image, int after);
// First item after `after` (up to item 16000) with an empty name; -1 when none.
int FindEmptyAfter(const DataImage& image, int after);

// The name text beside an index field: "---" for a negative (or unknown)
// index, else the table's name (department 26, category 12 characters).
std::string DepartmentName(const DataImage& image, int index);
std::string CategoryName(const DataImage& image, int index);

// "ΑΝΑΖΗΤΗΣΗ ΓΙΑ: %s" with the prefix (code page 1253).
std::string SearchHeader(std::string_view prefix);

enum class SearchKey : std::uint8_t { kBackspace, kLeft, kRight, kUp, kDown, kPageUp, kPageDown, kHome, kEnd, kDelete };

// ---- The panel model --------------------------------------------------------------------

class ItemsPanel : public PanelModel {
 public:
  ItemsPanel(DataImage& image, UserInterface& ui, EditorShared& shared);

  static std::span<const ControlSpec> Controls();
  static constexpr int RowCount() { return kItemCount; }

  // The main window shows the panel (after the list is filled with
  // RowCount() rows of ItemRow).
  void Show();

  // PanelHooks
  void ShowItem(int n) override;
  void IndexShown(int upper_bound, int value) override;
  void ReplaceItemRow(int row) override;
  void SelectListRow(int row) override;
  void RunAction(int code) override;
  void FocusSearch() override;

  // Items list events.
  void OnListSelectionChanged(int row);  // a click
  void OnListDoubleClick(int row);
  void OnListF1();
  void OnListFocusLost();
  void OnListMouseMove();

  // Search entry events. `c` is one typed character (code page 1253).
  void OnSearchFocusGained();
  void OnSearchChar(std::uint8_t c);
  void OnSearchKey(SearchKey key);
  // One wheel message: toward the user moves the highlight one row down.
  void OnSearchWheel(bool toward_user);
  void OnSearchFocusLost();

  // Action 3. False (after the beep) when no empty item follows.
  bool FindEmptyItem();

  const std::string& prefix() const { return prefix_; }
  int highlighted_row() const { return highlight_; }
  int department_index() const { return department_index_; }
  int category_index() const { return category_index_; }
  const std::string& department_name() const { return department_name_; }
  const std::string& category_name() const { return category_name_; }
  const std::array<std::uint8_t, 13>& barcode_copy() const { return barcode_copy_; }

 private:
  void Beep();
  void MoveTo(int row);  // search movement: select, empty the prefix
  void RefreshNames();
  void ShowCsv(bool import);

  int department_index_ = -1;
  int category_index_ = -1;
  std::string department_name_;
  std::string category_name_;
  bool focus_to_search_ = false;
  std::string prefix_;
  int highlight_ = 0;
  std::array<std::uint8_t, 13> barcode_copy_{};
};

}  // namespace zel::editors
