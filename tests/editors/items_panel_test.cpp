// The items panel model driven through the widget stand-ins: list rows,
// showing and navigating items, the name texts, the alphabetical search and
// "find empty item".
#include "editors/items_panel.h"

#include <gtest/gtest.h>

#include <utility>

#include "editors/help_texts.h"
#include "harness.h"

namespace zel::editors {
namespace {

using test::FakePanel;
using test::Greek;

std::string Padded(std::string s, std::size_t width) { return s.append(width - s.size(), ' '); }

class ItemsPanelTest : public ::testing::Test {
 protected:
  ItemsPanelTest() : panel_(image_, ui_, shared_), view_(panel_) {
    view_.on_focus_in[kItemSearch] = [this] { panel_.OnSearchFocusGained(); };
    view_.on_focus_out[kItemSearch] = [this] { panel_.OnSearchFocusLost(); };
    view_.on_focus_out[kItemsList] = [this] { panel_.OnListFocusLost(); };
  }

  void Name(int item, std::string_view utf8) { StoreText(image_.item(item - 1).name(), Greek(utf8)); }
  void Clear(int item) { std::ranges::fill(image_.item(item - 1).name(), std::uint8_t{0}); }
  int Selected() const { return image_.state.selected.item + 1; }
  void Search(std::string_view utf8) {
    for (char c : Greek(utf8)) panel_.OnSearchChar(static_cast<std::uint8_t>(c));
  }
  std::size_t Beeps() const { return ui_.beeps.size(); }

  DataImage image_;
  zel::test::ScriptedUi ui_;
  EditorShared shared_;
  ItemsPanel panel_;
  FakePanel view_;
};

TEST_F(ItemsPanelTest, RowsAreNameBlankAndRightAlignedNumber) {
  StoreText(image_.item(1).name(), std::string("A\0B", 3));
  EXPECT_EQ(ItemRowText(image_, 0), Padded(Greek("ΕΙΔΟΣ 1"), 26) + "     1");
  EXPECT_EQ(ItemRowText(image_, 1), Padded("A B", 26) + "     2") << "a control byte shows as a blank";
  EXPECT_EQ(ItemRowText(image_, 15999), std::string(26, ' ') + " 16000");
  EXPECT_EQ(ItemRowText(image_, 0).size(), kItemRowWidth);
  EXPECT_EQ(ListRow(image_, kGroupItems, 4), ItemRowText(image_, 4));
}

TEST_F(ItemsPanelTest, ShownOnANewDatabase) {
  panel_.Show();
  EXPECT_EQ(view_.list.rows, 16000);
  EXPECT_EQ(view_.header, Greek("               Είδος"));
  EXPECT_EQ(view_.focused, kItemNumber);
  EXPECT_EQ(view_.edit(kItemNumber).text, "1");
  EXPECT_EQ(view_.edit(kItemName).text, Greek("ΕΙΔΟΣ 1"));
  EXPECT_EQ(view_.edit(kItemPrice).text, "1,00");
  EXPECT_EQ(view_.edit(kItemDepartment).text, "1");
  EXPECT_EQ(view_.statics[kItemDepartmentName], Padded(Greek("ΤΜΗΜΑ  1"), 26));
  EXPECT_EQ(view_.statics[kItemCategoryName], Greek("ΚΑΤΗΓΟΡΙΑ  1"));
  EXPECT_EQ(shared_.list_group, kGroupItems) << "the focused number field made the items list current";
  EXPECT_FALSE(image_.state.modified);
}

TEST_F(ItemsPanelTest, EveryFieldStoresIntoTheShownItem) {
  image_.state.selected.item = 2;
  panel_.Show();
  const struct {
    int id;
    std::string typed;
  } edits[] = {{kItemName, "NEW NAME"},
               {kItemBarcode, "5201234567890"},
               {kItemPrice, "12,345"},
               {kItemCategory, "30"},
               {kItemDepartment, "24"}};
  for (const auto& e : edits) {
    view_.Focus(e.id);
    auto& edit = view_.edit(e.id);
    edit.SelectAll();
    edit.Press(Key::kBackspace);
    edit.Type(e.typed);
  }
  view_.Focus(kItemNumber);
  view_.check(kItemFromScale).checked = true;
  panel_.box(kItemFromScale)->OnClick(true);

  const ConstItem it = std::as_const(image_).item(2);
  EXPECT_EQ(TextOf(it.name()), "NEW NAME");
  EXPECT_EQ(TextOf(it.barcode()), "5201234567890");
  EXPECT_EQ(it.price(), 12345);
  EXPECT_EQ(it.price_decimals(), 3);
  EXPECT_EQ(it.category(), 29);
  EXPECT_EQ(it.department(), 23);
  EXPECT_EQ(it.from_scale(), 1);
  EXPECT_TRUE(image_.state.modified);
  EXPECT_EQ(TextOf(image_.item(1).name()), Greek("ΕΙΔΟΣ 2")) << "the neighbours stay as they were";
  EXPECT_EQ(TextOf(image_.item(3).name()), Greek("ΕΙΔΟΣ 4"));
}

TEST_F(ItemsPanelTest, ShowingAnotherItemIsNotAChange) {
  panel_.Show();
  panel_.ShowItem(4);
  EXPECT_EQ(view_.edit(kItemName).text, Greek("ΕΙΔΟΣ 5"));
  EXPECT_FALSE(image_.state.modified);
  image_.state.modified = true;
  panel_.ShowItem(0);
  EXPECT_TRUE(image_.state.modified) << "showing keeps the flag it found";
}

TEST_F(ItemsPanelTest, PageKeysWalkTheItemsAndStopAtTheLast) {
  image_.state.selected.item = 15998;
  panel_.Show();
  view_.Focus(kItemName);
  view_.edit(kItemName).Press(Key::kPageDown);
  EXPECT_EQ(Selected(), 16000);
  EXPECT_EQ(view_.edit(kItemNumber).text, "16000");
  EXPECT_EQ(view_.selected_row, 15999);
  view_.edit(kItemName).Press(Key::kPageDown);
  EXPECT_EQ(Selected(), 16000);
  EXPECT_EQ(view_.edit(kItemNumber).text, "16000");
  view_.edit(kItemPrice).Press(Key::kPageUp);
  EXPECT_EQ(Selected(), 15999);
  EXPECT_EQ(Beeps(), 0u);
}

TEST_F(ItemsPanelTest, TypingAnItemNumberShowsThatItem) {
  panel_.Show();
  auto& number = view_.edit(kItemNumber);
  number.SelectAll();
  number.Type("57");
  EXPECT_EQ(view_.selected_row, 56) << "the list follows the typing";
  EXPECT_EQ(Selected(), 1) << "the item moves only when the field is left";
  view_.Focus(kItemName);
  EXPECT_EQ(Selected(), 57);
  EXPECT_EQ(view_.edit(kItemNumber).text, "57");
  EXPECT_EQ(view_.replaced_rows.back(), 56);
}

TEST_F(ItemsPanelTest, IndexFieldsShowTheNamesBesideThem) {
  image_.item(0).set_department(4);
  panel_.Show();
  view_.Focus(kItemDepartment);
  auto& dept = view_.edit(kItemDepartment);
  dept.SelectAll();
  dept.Type("3");
  EXPECT_EQ(view_.statics[kItemDepartmentName], Padded(Greek("ΤΜΗΜΑ  3"), 26));
  dept.SelectAll();
  dept.Type("0");
  EXPECT_EQ(view_.statics[kItemDepartmentName], "---");
  EXPECT_EQ(panel_.department_index(), -1);
  view_.Focus(kItemNumber);
  EXPECT_EQ(image_.item(0).department(), 0) << "0 stores index 0";
  panel_.ShowItem(0);
  EXPECT_EQ(dept.text, "1");
  EXPECT_EQ(view_.statics[kItemDepartmentName], Padded(Greek("ΤΜΗΜΑ  1"), 26));

  auto& cat = view_.edit(kItemCategory);
  cat.SelectAll();
  cat.Type("12");
  EXPECT_EQ(view_.statics[kItemCategoryName], Greek("ΚΑΤΗΓΟΡΙΑ 12"));
  EXPECT_EQ(DepartmentName(image_, 24), "---") << "an index beyond the table has no name";
}

TEST_F(ItemsPanelTest, ClickingARowShowsItAndStartsTheSearch) {
  panel_.Show();
  view_.Focus(kItemsList);
  panel_.OnListSelectionChanged(56);
  EXPECT_EQ(Selected(), 57);
  EXPECT_EQ(view_.edit(kItemNumber).text, "57");
  EXPECT_EQ(view_.focused, kItemSearch) << "the list's focus-out did not send the focus elsewhere";
  EXPECT_EQ(view_.header, SearchHeader(""));
  EXPECT_EQ(shared_.status_help, kHelpSearch);
  EXPECT_EQ(ui_.status_text, HelpText(kHelpSearch));

  view_.Focus(kItemsList);
  view_.Focus(kItemPrice);
  EXPECT_EQ(view_.focused, kItemNumber) << "leaving the list any other way goes to the number field";

  panel_.OnListDoubleClick(9);
  EXPECT_EQ(Selected(), 10);
  EXPECT_EQ(view_.focused, kItemName);
}

TEST_F(ItemsPanelTest, DoubleClickInTheListEditsTheNameThoughTheListLosesTheFocus) {
  panel_.Show();
  view_.Focus(kItemsList);  // the click before the double click put the focus there
  panel_.OnListDoubleClick(9);
  EXPECT_EQ(Selected(), 10);
  EXPECT_EQ(view_.focused, kItemName) << "the list's focus loss did not send the focus to the number";

  view_.Focus(kItemsList);
  view_.Focus(kItemPrice);
  EXPECT_EQ(view_.focused, kItemNumber) << "the next loss follows the usual rule";
}

TEST_F(ItemsPanelTest, SearchFindsByPrefixWithoutRegardToCase) {
  Name(1, "ΤΣΑΙ");
  Name(2, "ΚΑΦΕΣ ΕΛΛΗΝΙΚΟΣ");
  Name(3, "ΚΑΦΕΣ ΦΙΛΤΡΟΥ");
  Name(4, "καφετιέρα");
  Name(5, "Coca cola");
  panel_.Show();
  view_.Focus(kItemSearch);

  Search("κα");
  EXPECT_EQ(Selected(), 2);
  EXPECT_EQ(panel_.prefix(), Greek("κα"));
  EXPECT_EQ(view_.header, SearchHeader(Greek("κα")));
  Search("φετ");
  EXPECT_EQ(Selected(), 4) << "small letters find capitals and the other way round";
  Search("ΙΈ");
  EXPECT_EQ(Selected(), 4) << "an accented capital finds the accented small letter";
  EXPECT_EQ(Beeps(), 0u);

  Search("Q");
  EXPECT_EQ(Selected(), 4);
  EXPECT_EQ(Beeps(), 1u) << "a letter no name continues beeps";
  EXPECT_EQ(panel_.prefix(), Greek("καφετΙΈ")) << "and is dropped from the prefix";

  panel_.OnSearchKey(SearchKey::kDelete);
  EXPECT_EQ(panel_.prefix(), "");
  Search("COCA C");
  EXPECT_EQ(Selected(), 5);

  view_.Focus(kItemNumber);
  EXPECT_EQ(view_.edit(kItemName).text, "Coca cola") << "leaving the search shows the item found";
  EXPECT_EQ(view_.header, Greek("               Είδος"));
  EXPECT_EQ(shared_.status_help, 0);
  EXPECT_EQ(ui_.status_text, "");
}

TEST_F(ItemsPanelTest, BlankCompletesTheSelectedRowsWord) {
  Name(1, "ΚΑΦΕΣ ΕΛΛΗΝΙΚΟΣ");
  Name(2, "ΚΑΦΕΣ ΦΙΛΤΡΟΥ");
  Name(3, "ΚΑΦΕΣ-ΦΙΛΤΡΟΥ");
  panel_.Show();
  view_.Focus(kItemSearch);
  Search("ΚΑ ");
  EXPECT_EQ(panel_.prefix(), Greek("ΚΑΦΕΣ ")) << "the word and the blank after it";
  Search("Φ");
  EXPECT_EQ(Selected(), 2);
  panel_.OnSearchKey(SearchKey::kHome);
  Search("ΚΑΦΕΣ-");
  EXPECT_EQ(Selected(), 3);
  panel_.OnSearchKey(SearchKey::kBackspace);
  Search(" ");
  EXPECT_EQ(panel_.prefix(), Greek("ΚΑΦΕΣ-")) << "any character that is not a word character ends the word";
  EXPECT_EQ(Selected(), 3);
}

TEST_F(ItemsPanelTest, PrefixHoldsAtMost23Characters) {
  Name(1, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  panel_.Show();
  view_.Focus(kItemSearch);
  Search("ABCDEFGHIJKLMNOPQRSTUVW");
  EXPECT_EQ(Beeps(), 0u);
  Search("X");
  EXPECT_EQ(Beeps(), 1u);
  EXPECT_EQ(panel_.prefix(), "ABCDEFGHIJKLMNOPQRSTUVW");
  panel_.OnSearchKey(SearchKey::kRight);
  EXPECT_EQ(Beeps(), 2u);
  panel_.OnSearchKey(SearchKey::kBackspace);
  panel_.OnSearchKey(SearchKey::kLeft);
  panel_.OnSearchKey(SearchKey::kRight);
  EXPECT_EQ(panel_.prefix(), "ABCDEFGHIJKLMNOPQRSTUV") << "Right copies the selected row's next character";
  EXPECT_EQ(view_.header, SearchHeader("ABCDEFGHIJKLMNOPQRSTUV"));
}

TEST_F(ItemsPanelTest, TildeFindsTheNextEmptyNameWrapping) {
  for (int i = 6; i <= 16000; ++i) Name(i, "X");
  Clear(9);
  StoreText(image_.item(2).name(), "   ");  // blanks: an empty row too
  image_.state.selected.item = 3;
  panel_.Show();
  view_.Focus(kItemSearch);
  Search("~");
  EXPECT_EQ(Selected(), 9);
  Search("`");
  EXPECT_EQ(Selected(), 3) << "wraps to the top";
  for (int i = 1; i <= 16000; ++i) Name(i, "X");
  Search("AB~");
  EXPECT_EQ(Beeps(), 3u) << "A, B and the fruitless ~";
  EXPECT_EQ(Selected(), 3);
}

TEST_F(ItemsPanelTest, SearchKeysMoveAndBeepAtTheEnds) {
  panel_.Show();
  view_.Focus(kItemSearch);
  const struct {
    SearchKey key;
    int item;
    std::size_t beeps;
  } steps[] = {
      {SearchKey::kUp, 1, 1},           {SearchKey::kHome, 1, 2},          {SearchKey::kPageUp, 1, 3},
      {SearchKey::kDown, 2, 3},         {SearchKey::kPageDown, 22, 3},     {SearchKey::kPageUp, 2, 3},
      {SearchKey::kPageUp, 1, 3},       {SearchKey::kEnd, 16000, 3},       {SearchKey::kDown, 16000, 4},
      {SearchKey::kPageDown, 16000, 5}, {SearchKey::kEnd, 16000, 6},       {SearchKey::kPageUp, 15980, 6},
      {SearchKey::kPageDown, 16000, 6}, {SearchKey::kBackspace, 16000, 7}, {SearchKey::kDelete, 16000, 7},
  };
  for (const auto& s : steps) {
    panel_.OnSearchKey(s.key);
    EXPECT_EQ(Selected(), s.item) << static_cast<int>(s.key);
    EXPECT_EQ(Beeps(), s.beeps) << static_cast<int>(s.key);
    EXPECT_EQ(view_.selected_row, s.item - 1);
  }
  Search("Ε");
  EXPECT_EQ(Selected(), 1);
  panel_.OnSearchKey(SearchKey::kDown);
  EXPECT_EQ(panel_.prefix(), "") << "moving empties the prefix";
  EXPECT_EQ(view_.header, SearchHeader(""));
}

TEST_F(ItemsPanelTest, WheelMovesOnlyTheHighlight) {
  image_.state.selected.item = 10;
  panel_.Show();
  view_.Focus(kItemSearch);
  Search("Ε");
  const std::string prefix = panel_.prefix();
  panel_.OnSearchWheel(true);
  panel_.OnSearchWheel(true);
  EXPECT_EQ(view_.selected_row, 2);
  EXPECT_EQ(panel_.highlighted_row(), 2);
  EXPECT_EQ(Selected(), 1);
  EXPECT_EQ(panel_.prefix(), prefix);
  for (int i = 0; i < 5; ++i) panel_.OnSearchWheel(false);
  EXPECT_EQ(view_.selected_row, 0) << "not before the first row";
}

TEST_F(ItemsPanelTest, FindEmptyItem) {
  panel_.Show();
  panel_.ShowItem(2);
  panel_.box(kItemFindEmpty)->OnClick(true);
  EXPECT_EQ(Selected(), 6);
  EXPECT_EQ(view_.edit(kItemName).text, "");
  EXPECT_EQ(view_.focused, kItemNumber);

  panel_.ShowItem(15999);
  panel_.box(kItemFindEmpty)->OnClick(true);
  EXPECT_EQ(Selected(), 16000);
  EXPECT_EQ(Beeps(), 1u) << "nothing after item 16000";
  for (int i = 1; i <= 16000; ++i) Name(i, "X");
  panel_.ShowItem(0);
  panel_.box(kItemFindEmpty)->OnClick(true);
  EXPECT_EQ(Selected(), 1);
  EXPECT_EQ(Beeps(), 2u);
}

TEST_F(ItemsPanelTest, FoldCasePairsCodePage1253Letters) {
  const std::pair<const char*, const char*> pairs[] = {{"a", "A"}, {"z", "Z"}, {"α", "Α"}, {"ω", "Ω"}, {"ς", "Σ"},
                                                       {"σ", "Σ"}, {"ά", "Ά"}, {"έ", "Έ"}, {"ή", "Ή"}, {"ί", "Ί"},
                                                       {"ό", "Ό"}, {"ύ", "Ύ"}, {"ώ", "Ώ"}, {"ϊ", "Ϊ"}, {"ϋ", "Ϋ"}};
  for (const auto& [small, capital] : pairs) {
    const auto s = static_cast<std::uint8_t>(Greek(small)[0]);
    const auto c = static_cast<std::uint8_t>(Greek(capital)[0]);
    EXPECT_EQ(FoldCase(s), c) << small;
    EXPECT_EQ(FoldCase(c), c) << capital;
  }
  EXPECT_EQ(FoldCase(static_cast<std::uint8_t>('1')), '1');
  EXPECT_NE(FoldCase(static_cast<std::uint8_t>(Greek("α")[0])), FoldCase(static_cast<std::uint8_t>('a')));
}

TEST_F(ItemsPanelTest, CsvButtonsRefillTheListAndShowItemOne) {
  image_.state.selected.item = 99;
  panel_.Show();
  view_.csv_answer.reset();
  panel_.box(kItemExport)->OnClick(true);
  EXPECT_EQ(view_.asked.size(), 1u);
  EXPECT_FALSE(view_.asked[0].first);
  EXPECT_EQ(Selected(), 100) << "a cancelled dialog changes nothing";
  EXPECT_EQ(view_.focused, kItemNumber);

  const std::string path = ::testing::TempDir() + "items_panel_export.csv";
  CsvOptions o = DefaultCsvOptions(path);
  view_.csv_answer = o;
  const int fills = view_.list_fills;
  panel_.box(kItemExport)->OnClick(true);
  EXPECT_EQ(shared_.csv_path, path);
  EXPECT_EQ(Selected(), 1);
  EXPECT_EQ(view_.selected_row, 0);
  EXPECT_EQ(view_.list_fills, fills + 1);
  EXPECT_EQ(view_.wait_ends, 1);
  EXPECT_EQ(ui_.beeps.size(), 1u);

  Name(1, "CHANGED");
  panel_.box(kItemImport)->OnClick(true);
  EXPECT_TRUE(view_.asked.back().first);
  EXPECT_EQ(view_.asked.back().second, path) << "the dialog starts from the remembered path";
  EXPECT_EQ(view_.edit(kItemName).text, Greek("ΕΙΔΟΣ 1"));
  EXPECT_EQ(view_.focused, kItemNumber);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace zel::editors
