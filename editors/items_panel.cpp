#include "editors/items_panel.h"

#include <algorithm>

#include "core/cp1253.h"
#include "editors/help_texts.h"

namespace zel::editors {
namespace {

constexpr ControlSpec kControls[] = {
    FieldSpec(kItemNumber, "Αριθμός", FieldKind::kRecordSelector, 5, 0, 0, SelectionRef(kGroupItems), kItemCount,
              kHelpItemNumber, kGroupItems, kGroupItems, true),
    FieldSpec(kItemName, "Ονομα", FieldKind::kText, 26, 0, 0, Ref(Where::kItem, item::kName, item::kNameWidth), 0,
              kHelpItemName, kGroupItems, kGroupItems, true),
    FieldSpec(kItemBarcode, "Barcode", FieldKind::kText, 13, 0, 9,
              Ref(Where::kItem, item::kBarcode, item::kBarcodeWidth), 0, kHelpItemBarcode, kGroupItems, kGroupItems,
              true),
    FieldSpec(kItemPrice, "Τιμη", FieldKind::kPrice, 9, 6, 5, Ref(Where::kItem, item::kPrice, 4, item::kPriceDecimals),
              0, kHelpItemPrice, kGroupItems, kGroupItems, true),
    FieldSpec(kItemCategory, "Κατηγορία", FieldKind::kIndex, 2, 0, 1, Ref(Where::kItem, item::kCategory, 1),
              kCategoryCount, kHelpCategoryIndex, kGroupItems, kGroupItems, true),
    FieldSpec(kItemDepartment, "Τμήμα", FieldKind::kIndex, 2, 0, 1, Ref(Where::kItem, item::kDepartment, 1),
              kDepartmentCount, kHelpDepartmentIndex, kGroupItems, kGroupItems, true),
    CheckSpec(kItemFromScale, "Αυτ.Ποσοτητα", Ref(Where::kItem, item::kFromScale, 1), kWholeByte, kHelpFromScale,
              kGroupItems),
    ButtonSpec(kItemFindEmpty, "Εύρεση κενής εγγραφής", kActionFindEmptyItem, kHelpFindEmpty, kGroupItems),
    ButtonSpec(kItemImport, "ΕΙΣΑΓΩΓΗ ΕΙΔΩΝ", kActionImportItems, kHelpImportItems, kGroupItems),
    ButtonSpec(kItemExport, "ΕΞΑΓΩΓΗ ΕΙΔΩΝ", kActionExportItems, kHelpExportItems, kGroupItems),
    OtherSpec(kItemsList, ControlType::kList, "", kHelpItemsList, kGroupItems),
    OtherSpec(kItemSearch, ControlType::kSearch, "", kHelpSearch, kGroupItems, SelectionRef(kGroupItems)),
    OtherSpec(kItemNextField, ControlType::kDefaultButton, "", 0, kGroupItems),
    OtherSpec(kItemListHeader, ControlType::kStatic, "", 0, kGroupItems),
    OtherSpec(kItemDepartmentName, ControlType::kStatic, "", 0, kGroupItems),
    OtherSpec(kItemCategoryName, ControlType::kStatic, "", 0, kGroupItems),
};

constexpr auto kFold = [] {
  std::array<std::uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) t[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c);
  for (int c = 'a'; c <= 'z'; ++c) t[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 0x20);
  for (int c = 0xE1; c <= 0xF9; ++c) t[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 0x20);
  t[0xF2] = 0xD3;  // final sigma
  // Accented small letters and their capitals.
  t[0xDC] = 0xA2;  // ά Ά
  t[0xDD] = 0xB8;  // έ Έ
  t[0xDE] = 0xB9;  // ή Ή
  t[0xDF] = 0xBA;  // ί Ί
  t[0xFC] = 0xBC;  // ό Ό
  t[0xFD] = 0xBE;  // ύ Ύ
  t[0xFE] = 0xBF;  // ώ Ώ
  t[0xFA] = 0xDA;  // ϊ Ϊ
  t[0xFB] = 0xDB;  // ϋ Ϋ
  return t;
}();

// The character of item i's row at position k (< 26): blanks for an empty
// slot, a control byte shown as a blank.
inline std::uint8_t RowChar(const std::uint8_t* name, bool empty, std::size_t k) {
  return empty || name[k] < ' ' ? ' ' : name[k];
}

}  // namespace

std::uint8_t FoldCase(std::uint8_t c) { return kFold[c]; }

bool IsWordCharacter(std::uint8_t c) {
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  if (c >= 0xC0 && c <= 0xDA) return true;
  return c >= 0xDC && c != 0xDD && c != 0xFB && c != 0xFD;
}

int FindPrefix(const DataImage& image, std::string_view prefix) {
  if (prefix.empty()) return 0;
  if (prefix.size() > item::kNameWidth) {
    // Beyond the name the row holds the number: compare whole rows.
    for (int i = 0; i < kItemCount; ++i) {
      const std::string row = ItemRowText(image, i);
      if (prefix.size() <= row.size() && std::equal(prefix.begin(), prefix.end(), row.begin(), [](char a, char b) {
            return FoldCase(static_cast<std::uint8_t>(a)) == FoldCase(static_cast<std::uint8_t>(b));
          }))
        return i;
    }
    return -1;
  }
  std::array<std::uint8_t, item::kNameWidth> folded{};
  for (std::size_t k = 0; k < prefix.size(); ++k) folded[k] = FoldCase(static_cast<std::uint8_t>(prefix[k]));
  const std::uint8_t* base = image.block(Block::kItems).data() + item::kName;
  const std::size_t stride = Info(Block::kItems).record_size;
  for (int i = 0; i < kItemCount; ++i) {
    const std::uint8_t* name = base + stride * static_cast<std::size_t>(i);
    const bool empty = name[0] == 0;
    std::size_t k = 0;
    while (k < prefix.size() && kFold[RowChar(name, empty, k)] == folded[k]) ++k;
    if (k == prefix.size()) return i;
  }
  return -1;
}

int FindNextEmpty(const DataImage& image, int after) {
  for (int step = 1; step <= kItemCount; ++step) {
    const int i = (after + step) % kItemCount;
    const ConstItem it = image.item(i);
    const auto name = it.name();
    const bool empty = it.empty();
    bool blank = true;
    for (std::size_t k = 0; k < item::kNameWidth && blank; ++k) blank = RowChar(name.data(), empty, k) == ' ';
    if (blank) return i;
  }
  return -1;
}

int FindEmptyAfter(const DataImage& image, int after) {
  for (int i = after + 1; i < kItemCount; ++i)
    if (image.item(i).empty()) return i;
  return -1;
}

std::string DepartmentName(const DataImage& image, int index) {
  if (index < 0 || index >= kDepartmentCount) return "---";
  const auto name = image.department(index).name();
  std::string s(name.size(), ' ');
  for (std::size_t k = 0; k < name.size(); ++k) s[k] = name[k] < ' ' ? ' ' : static_cast<char>(name[k]);
  return s;
}

std::string CategoryName(const DataImage& image, int index) {
  if (index < 0 || index >= kCategoryCount) return "---";
  const auto name = image.category(index);
  std::string s(name.size(), ' ');
  for (std::size_t k = 0; k < name.size(); ++k) s[k] = name[k] < ' ' ? ' ' : static_cast<char>(name[k]);
  return s;
}

std::string SearchHeader(std::string_view prefix) { return cp1253::Encode("ΑΝΑΖΗΤΗΣΗ ΓΙΑ: ") + std::string(prefix); }

// ---- The panel model ---------------------------------------------------------------------

ItemsPanel::ItemsPanel(DataImage& image, UserInterface& ui, EditorShared& shared)
    : PanelModel(image, ui, shared, kPanelItems, Controls()) {}

std::span<const ControlSpec> ItemsPanel::Controls() { return kControls; }

void ItemsPanel::Beep() { context_.ui->Beep(400, 40); }

void ItemsPanel::Show() {
  ResetStatusHelp();
  ListContent list = ListFor(image(), kGroupItems);
  view().ShowList(list);
  ShowItem(image().state.selected.item);
  view().Focus(kItemNumber);
  view().SetListHeader(ListHeader(kGroupItems));
}

void ItemsPanel::ShowItem(int n) {
  DataImage& img = image();
  {
    const KeepUnsavedFlag kept(img);
    img.state.selected.item = static_cast<std::uint16_t>(std::clamp(n, 0, kItemCount - 1));
    BindWhere([](const ControlSpec&) { return true; });
  }
  highlight_ = img.state.selected.item;
  view().SetListHeader(ListHeader(kGroupItems));
  RefreshNames();
  const auto bar = img.item(img.state.selected.item).barcode();
  std::copy(bar.begin(), bar.end(), barcode_copy_.begin());
}

void ItemsPanel::IndexShown(int upper_bound, int value) {
  if (upper_bound == kCategoryCount)
    category_index_ = value - 1;
  else
    department_index_ = value - 1;
  RefreshNames();
}

void ItemsPanel::RefreshNames() {
  department_name_ = DepartmentName(image(), department_index_);
  category_name_ = CategoryName(image(), category_index_);
  view().SetStaticText(kItemDepartmentName, department_name_);
  view().SetStaticText(kItemCategoryName, category_name_);
}

void ItemsPanel::ReplaceItemRow(int row) {
  highlight_ = row;
  view().ReplaceListRow(row);
}

void ItemsPanel::SelectListRow(int row) {
  highlight_ = std::clamp(row, 0, kItemCount - 1);
  view().SelectListRow(highlight_);
}

void ItemsPanel::RunAction(int code) {
  switch (code) {
    case kActionFindEmptyItem:
      FindEmptyItem();
      view().Focus(kItemNumber);
      break;
    case kActionImportItems: ShowCsv(true); break;
    case kActionExportItems: ShowCsv(false); break;
    default: break;
  }
}

void ItemsPanel::FocusSearch() { view().Focus(kItemSearch); }

bool ItemsPanel::FindEmptyItem() {
  const int found = FindEmptyAfter(image(), image().state.selected.item);
  if (found < 0) {
    Beep();
    return false;
  }
  ShowItem(found);
  SelectListRow(found);
  return true;
}

void ItemsPanel::ShowCsv(bool import) {
  const std::optional<CsvOptions> options = view().AskCsvOptions(import, shared().csv_path);
  if (!options) {
    view().Focus(kItemNumber);
    return;
  }
  shared().csv_path = options->path;
  CsvOutcome r;
  if (import) {
    // The wait text only once the file is read and not refused: a refusal
    // (a byte-order mark, say) comes over the panel as it was.
    r = ImportItems(image(), *options, *context_.ui, [this] { view().BeginWait(false); });
  } else {
    view().BeginWait(false);
    r = ExportItems(image(), *options, *context_.ui);
  }
  view().EndWait();
  if (r.refill_list) {
    image().state.selected.item = 0;
    view().ShowList(ListFor(image(), kGroupItems));
    ShowItem(0);
    SelectListRow(0);
  }
  view().Focus(kItemNumber);
}

// ---- Items list ------------------------------------------------------------------------

void ItemsPanel::OnListSelectionChanged(int row) {
  ShowItem(row);
  focus_to_search_ = true;
  view().Focus(kItemSearch);
}

void ItemsPanel::OnListDoubleClick(int row) {
  ShowItem(row);
  // The double click reaches the list while it has the focus, so moving the
  // focus to the name makes the list lose it: that loss must not send the
  // focus on to the item number.
  focus_to_search_ = true;
  view().Focus(kItemName);
  focus_to_search_ = false;
}

void ItemsPanel::OnListF1() {
  focus_to_search_ = true;
  view().Focus(kItemSearch);
}

void ItemsPanel::OnListFocusLost() {
  if (focus_to_search_) {
    focus_to_search_ = false;
    return;
  }
  view().Focus(kItemNumber);
}

void ItemsPanel::OnListMouseMove() {
  if (shared().status_help == 0) SetHelpLine(shared(), *context_.ui, HelpText(kHelpItemsList), kPaleYellow);
}

// ---- Search entry ---------------------------------------------------------------------------

void ItemsPanel::OnSearchFocusGained() {
  prefix_.clear();
  highlight_ = image().state.selected.item;
  view().SetListHeader(SearchHeader(prefix_));
  SetHelpLine(shared(), *context_.ui, HelpText(kHelpSearch), kWhite);
  shared().status_help = kHelpSearch;
}

void ItemsPanel::OnSearchChar(std::uint8_t c) {
  DataImage& img = image();
  std::uint16_t& selected = img.state.selected.item;
  char row[kItemRowWidth];
  ItemRow(img, highlight_, row);

  if (c == '~' || c == '`') {
    const int found = FindNextEmpty(img, selected);
    // A miss leaves the prefix alone: it was not extended.
    if (found >= 0)
      selected = static_cast<std::uint16_t>(found);
    else
      Beep();
  } else {
    if (prefix_.size() >= kMaxSearchPrefix) {
      Beep();
    } else if (c == ' ') {
      // Complete the selected row's current word, up to and including the
      // character after it.
      while (prefix_.size() < kMaxSearchPrefix) {
        const char r = row[prefix_.size()];
        prefix_ += r;
        if (!IsWordCharacter(static_cast<std::uint8_t>(r))) break;
      }
    } else {
      prefix_ += static_cast<char>(c);
    }
    const int found = FindPrefix(img, prefix_);
    if (found >= 0) {
      selected = static_cast<std::uint16_t>(found);
    } else {
      Beep();
      if (!prefix_.empty()) prefix_.pop_back();
    }
  }
  SelectListRow(selected);
  view().SetListHeader(SearchHeader(prefix_));
}

void ItemsPanel::MoveTo(int row) {
  image().state.selected.item = static_cast<std::uint16_t>(row);
  prefix_.clear();
}

void ItemsPanel::OnSearchKey(SearchKey key) {
  const int sel = image().state.selected.item;
  const int last = kItemCount - 1;
  switch (key) {
    case SearchKey::kBackspace:
    case SearchKey::kLeft:
      if (prefix_.empty())
        Beep();
      else
        prefix_.pop_back();
      view().SetListHeader(SearchHeader(prefix_));
      return;
    case SearchKey::kRight:
      if (prefix_.size() >= kMaxSearchPrefix) {
        Beep();
      } else {
        char row[kItemRowWidth];
        ItemRow(image(), highlight_, row);
        prefix_ += row[prefix_.size()];
      }
      view().SetListHeader(SearchHeader(prefix_));
      return;
    case SearchKey::kUp:
      if (sel == 0) Beep();
      MoveTo(std::max(sel - 1, 0));
      break;
    case SearchKey::kDown:
      if (sel == last) Beep();
      MoveTo(std::min(sel + 1, last));
      break;
    case SearchKey::kPageUp:
      if (sel == 0) Beep();
      MoveTo(std::max(sel - kSearchPage, 0));
      break;
    case SearchKey::kPageDown:
      if (sel == last) Beep();
      MoveTo(std::min(sel + kSearchPage, last));
      break;
    case SearchKey::kHome:
      if (sel == 0) Beep();
      MoveTo(0);
      break;
    case SearchKey::kEnd:
      if (sel == last) Beep();
      MoveTo(last);
      break;
    case SearchKey::kDelete: MoveTo(sel); break;
  }
  SelectListRow(image().state.selected.item);
  view().SetListHeader(SearchHeader(prefix_));
}

void ItemsPanel::OnSearchWheel(bool toward_user) {
  highlight_ = std::clamp(highlight_ + (toward_user ? 1 : -1), 0, kItemCount - 1);
  view().SelectListRow(highlight_);
}

void ItemsPanel::OnSearchFocusLost() {
  view().SetListHeader(ListHeader(kGroupItems));
  prefix_.clear();
  ShowItem(image().state.selected.item);
  ClearHelpLine(shared(), *context_.ui);
  shared().status_help = 0;
}

}  // namespace zel::editors
