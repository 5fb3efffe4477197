// Field edit controls driven keystroke by keystroke, as the widget drives
// them: tables of key sequences per field kind, with the text shown, the
// beeps and the bytes stored when the field is left.
#include "editors/field_edit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/bytes.h"
#include "editors/help_texts.h"
#include "harness.h"

namespace zel::editors {
namespace {

using test::FakeEdit;
using test::Greek;

class RecordingHooks : public PanelHooks {
 public:
  void ShowItem(int n) override { shown_items.push_back(n); }
  void ShowGroup(int g) override { shown_groups.push_back(g); }
  void IndexShown(int bound, int value) override { index_shown.push_back({bound, value}); }
  void FillList(int g) override { filled.push_back(g); }
  void ReplaceItemRow(int row) override { replaced.push_back(row); }
  void SelectListRow(int row) override { selected_rows.push_back(row); }
  void RunAction(int code) override { actions.push_back(code); }
  void RefreshHeaderFooter() override { ++header_footer_refreshes; }
  void FocusSearch() override { ++search_focus; }

  std::vector<int> shown_items, shown_groups, filled, replaced, selected_rows, actions;
  std::vector<std::pair<int, int>> index_shown;
  int header_footer_refreshes = 0;
  int search_focus = 0;
};

// One field over its own bytes, with the widget stand-in attached.
struct Field {
  Field(const EditorContext& ctx, FieldBinding b, std::vector<std::uint8_t> bytes, std::uint8_t second_byte = 2)
      : storage(std::move(bytes)), second(second_byte), editor(ctx), edit(editor) {
    b.target = storage;
    if (b.kind == FieldKind::kPrice || (b.kind == FieldKind::kLongNumber && b.first == 10)) b.second_target = &second;
    if (b.kind == FieldKind::kRecordSelector) b.selected = &selected;
    editor.Bind(b);
  }
  // Keys in a small script: characters are typed, '\b' is Backspace, '\x7f'
  // is Delete, "@n;" clicks the caret to position n.
  void Keys(std::string_view script) {
    for (std::size_t i = 0; i < script.size(); ++i) {
      const char c = script[i];
      if (c == '\b')
        edit.Press(Key::kBackspace);
      else if (c == '\x7f')
        edit.Press(Key::kDelete);
      else if (c == '@') {
        const std::size_t end = script.find(';', i);
        edit.Click(static_cast<std::size_t>(std::stoi(std::string(script.substr(i + 1, end - i - 1)))));
        i = end;
      } else {
        edit.Press(Key::kCharacter, c);
      }
    }
  }
  std::string Bytes() const { return std::string(storage.begin(), storage.end()); }

  std::vector<std::uint8_t> storage;
  std::uint8_t second;
  std::uint16_t selected = 0;
  FieldEditor editor;
  FakeEdit edit;
};

FieldBinding Binding(FieldKind kind, int width, int first = 0, int second = 0, int bound = 0, int help = 0) {
  FieldBinding b;
  b.kind = kind;
  b.width = static_cast<std::uint8_t>(width);
  b.first = static_cast<std::uint8_t>(first);
  b.second = static_cast<std::uint8_t>(second);
  b.upper_bound = bound;
  b.help = help;
  return b;
}

std::vector<std::uint8_t> Le16(std::uint16_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}
std::vector<std::uint8_t> Le32(std::int32_t v) {
  std::vector<std::uint8_t> b(4);
  le::PutI32(b.data(), v);
  return b;
}

class FieldEditTest : public ::testing::Test {
 protected:
  EditorContext Context(int panel = kPanelNone) { return {&image_, &ui_, &shared_, &hooks_, panel}; }
  std::size_t Beeps() const { return ui_.beeps.size(); }

  DataImage image_;
  zel::test::ScriptedUi ui_;
  EditorShared shared_;
  RecordingHooks hooks_;
};

// ---- Judging keystrokes --------------------------------------------------------------------

struct JudgeCase {
  const char* what;
  FieldBinding binding;
  std::vector<std::uint8_t> bytes;  // the stored value the field loads first
  std::string keys;
  std::string shown;  // text afterwards
  std::size_t beeps;
  bool clear = true;  // start from an emptied field
};

TEST_F(FieldEditTest, KeystrokesAreJudgedPerKind) {
  const std::vector<std::uint8_t> kFull12(12, 'A');
  const JudgeCase cases[] = {
      // Text: the width rule.
      {"typing inside a full field pushes the last character out",
       Binding(FieldKind::kText, 12),
       {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'},
       "@3;X",
       "ABCXDEFGHIJK",
       0,
       false},
      {"typing at the end of a full field is refused",
       Binding(FieldKind::kText, 12),
       {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'},
       "@12;X",
       "ABCDEFGHIJKL",
       1,
       false},
      {"a text field takes any character", Binding(FieldKind::kText, 26), std::vector<std::uint8_t>(26, 0),
       Greek("Ωμέγα ;\"!"), Greek("Ωμέγα ;\"!"), 0},
      {"hexadecimal-only refuses small letters", Binding(FieldKind::kText, 64, 1), std::vector<std::uint8_t>(64, 0),
       "09AFaGf", "09AF", 3},
      {"hexadecimal-only stays so in a full field",
       Binding(FieldKind::kText, 4, 1),
       {'A', 'B', 'C', 'D'},
       "@1;g@1;E",
       "AEBC",
       1,
       false},
      {"largest digit 4 takes 0 to 4 only", Binding(FieldKind::kText, 1, 0, 4), {'1'}, "5\b4", "4", 1},
      {"largest digit 9 takes digits only", Binding(FieldKind::kText, 13, 0, 9), std::vector<std::uint8_t>(13, 0),
       "52a01-", "5201", 2},
      // Short number, 2 integer digits and 2 decimals.
      {"two integer digits", Binding(FieldKind::kShortNumber, 5, 2, 2), Le16(0), "23", "23", 0},
      {"a third integer digit is refused", Binding(FieldKind::kShortNumber, 5, 2, 2), Le16(0), "234", "23", 1},
      {"a comma at position 0 is refused", Binding(FieldKind::kShortNumber, 5, 2, 2), Le16(0), ",", "", 1},
      {"comma and two decimals", Binding(FieldKind::kShortNumber, 5, 2, 2), Le16(0), "2,55", "2,55", 0},
      {"a third decimal is refused", Binding(FieldKind::kShortNumber, 5, 2, 2), Le16(0), "2,555", "2,55", 1},
      {"a second comma is refused", Binding(FieldKind::kShortNumber, 5, 2, 2), Le16(0), "2,5,", "2,5", 1},
      {"a comma with three decimals behind it is refused", Binding(FieldKind::kLongNumber, 9, 6, 2), Le32(0),
       "1234@1;,", "1234", 1},
      {"no decimals, no comma", Binding(FieldKind::kLongNumber, 6, 6, 0), Le32(0), "12,", "12", 1},
      {"letters are refused in numbers", Binding(FieldKind::kLongNumber, 9, 9, 0), Le32(0), "12x3", "123", 1},
      {"deleting the comma may not leave too many integer digits", Binding(FieldKind::kShortNumber, 5, 2, 2), Le16(0),
       "12,50@3;\b", "12,50", 1},
      // Price: 6 integer digits, at most 5 decimals, width 9.
      {"a sixth decimal is refused", Binding(FieldKind::kPrice, 9, 6, 5), Le32(0), "1,123456", "1,12345", 1},
      {"a digit past the width is dropped", Binding(FieldKind::kPrice, 9, 6, 5), Le32(0), "123456,123", "123456,12", 0},
      // Record selector bound to 16000 items.
      {"16001 is refused at the last digit",
       Binding(FieldKind::kRecordSelector, 5, 0, 0, 16000),
       {},
       "16001",
       "1600",
       1},
      {"16000 is taken", Binding(FieldKind::kRecordSelector, 5, 0, 0, 16000), {}, "16000", "16000", 0},
      {"a lone 0 is refused", Binding(FieldKind::kRecordSelector, 5, 0, 0, 16000), {}, "0", "", 1},
      {"a letter is refused", Binding(FieldKind::kRecordSelector, 5, 0, 0, 16000), {}, "1x2", "12", 1},
      {"6 in a payment number (5 payments) is refused",
       Binding(FieldKind::kRecordSelector, 1, 0, 0, 5),
       {},
       "6",
       "1",
       1,
       false},
      {"a full selector cannot be pushed past its bound",
       Binding(FieldKind::kRecordSelector, 5, 0, 0, 16000),
       {},
       "16000@0;2",
       "16000",
       1},
      // Index fields.
      {"an index field refuses digits above its bound", Binding(FieldKind::kIndex, 2, 0, 1, 24), {0}, "25", "2", 1},
      {"an index bit field of bound 7 refuses 9", Binding(FieldKind::kIndex, 1, 7, 16, 7), Le32(0), "9", "", 1},
      // Date: separators at lengths 3 and 6.
      {"a date takes separators at 3 and 6", Binding(FieldKind::kDate, 8), Le16(0), "01-02.21", "01-02.21", 0},
      {"a digit where a separator belongs is refused", Binding(FieldKind::kDate, 8), Le16(0), "012", "01", 1},
      {"a separator where a digit belongs is refused", Binding(FieldKind::kDate, 8), Le16(0), "0-", "0", 1},
  };
  for (const JudgeCase& c : cases) {
    SCOPED_TRACE(c.what);
    ui_.beeps.clear();
    Field f(Context(), c.binding, c.bytes.empty() ? Le16(0) : c.bytes);
    if (c.clear) {
      f.edit.SelectAll();
      f.edit.Press(Key::kBackspace);
    }
    f.Keys(c.keys);
    EXPECT_EQ(f.edit.text, c.shown);
    EXPECT_EQ(f.editor.text(), c.shown) << "the last accepted text is what the control shows";
    EXPECT_EQ(Beeps(), c.beeps);
    for (const auto& beep : ui_.beeps) EXPECT_EQ(beep, (std::pair<int, int>{400, 40}));
  }
}

TEST_F(FieldEditTest, RejectedKeystrokeRestoresTheTextAndCaret) {
  Field f(Context(), Binding(FieldKind::kText, 12), {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'});
  f.edit.Click(3);
  f.edit.Type("X");
  EXPECT_EQ(f.edit.caret, 4u) << "the caret goes just after the character typed";
  f.edit.Click(12);
  f.edit.Type("Y");
  EXPECT_EQ(f.edit.last, Verdict::kRejected);
  EXPECT_EQ(f.edit.text, "ABCXDEFGHIJK");
  EXPECT_EQ(f.edit.caret, 12u);
}

TEST_F(FieldEditTest, ReplacingASelectionWithABadCharacterKeepsTheSelectedText) {
  Field f(Context(), Binding(FieldKind::kText, 13, 0, 9), std::vector<std::uint8_t>(13, 0));
  f.Keys("12345");
  f.edit.SelectAll();
  f.edit.Type("x");
  EXPECT_EQ(f.edit.text, "12345");
  EXPECT_EQ(f.editor.text(), "12345");
  f.edit.Type("7");  // the caret sits where the refused character went
  EXPECT_EQ(f.edit.text, "712345");
}

TEST_F(FieldEditTest, ChangesTheKeyFilterNeverSawAreJudgedToo) {
  Field f(Context(), Binding(FieldKind::kText, 64, 1), std::vector<std::uint8_t>(64, 0));
  EXPECT_EQ(f.edit.Paste("0a1"), Verdict::kRejected);
  EXPECT_EQ(f.edit.text, "");
  EXPECT_EQ(f.edit.Paste("0A1"), Verdict::kAccepted);
  Field n(Context(), Binding(FieldKind::kShortNumber, 4, 4, 0), Le16(0));
  n.edit.Click(1);
  EXPECT_EQ(n.edit.Paste("5x"), Verdict::kRejected);
  EXPECT_EQ(n.edit.text, "0");
}

TEST_F(FieldEditTest, CharactersCodePage1253CannotHoldAreRefused) {
  Field f(Context(), Binding(FieldKind::kText, 26), std::vector<std::uint8_t>(26, 0));
  EXPECT_FALSE(TypedText("Ж").has_value());
  EXPECT_EQ(TypedText("ά€"), Greek("ά€"));
  EXPECT_EQ(f.editor.OnKeyDown(Key::kCharacter), KeyAction::kTyping);
  EXPECT_EQ(f.editor.OnTextChangedUtf8("ΑΒ"), Verdict::kAccepted);
  EXPECT_EQ(f.editor.OnKeyDown(Key::kCharacter), KeyAction::kTyping);
  EXPECT_EQ(f.editor.OnTextChangedUtf8("ΑЖΒ"), Verdict::kRejected);
  EXPECT_EQ(f.edit.text, Greek("ΑΒ"));
  EXPECT_EQ(f.edit.caret, 1u) << "caret where the refused character went, counted in characters";
  EXPECT_EQ(Beeps(), 1u);
  // A decomposed accent is composed into the one byte the register expects.
  EXPECT_EQ(f.editor.OnTextChangedUtf8("ΑΒα\xCC\x81"), Verdict::kAccepted);
  EXPECT_EQ(f.editor.text(), Greek("ΑΒά"));
}

TEST_F(FieldEditTest, KeyFilter) {
  Field f(Context(), Binding(FieldKind::kText, 12), {'A', 'B', 'C', 0, 0, 0, 0, 0, 0, 0, 0, 0});
  for (Key k : {Key::kHome, Key::kEnd, Key::kLeft, Key::kRight, Key::kUp, Key::kDown, Key::kInsert, Key::kWindows,
                Key::kNumLock, Key::kScrollLock, Key::kF2ToF11}) {
    EXPECT_EQ(f.edit.Press(k), KeyAction::kSwallow);
  }
  for (Key k : {Key::kCharacter, Key::kBackspace, Key::kDelete, Key::kF12, Key::kOtherTyping, Key::kF1})
    EXPECT_EQ(f.editor.OnKeyDown(k), KeyAction::kTyping) << static_cast<int>(k);
  for (Key k : {Key::kTab, Key::kEnter, Key::kEscape, Key::kShift, Key::kControl, Key::kAlt, Key::kOtherControl})
    EXPECT_EQ(f.editor.OnKeyDown(k), KeyAction::kControl) << static_cast<int>(k);
  EXPECT_EQ(f.edit.text, "ABC");
  EXPECT_FALSE(image_.state.modified);

  Field on_items(Context(kPanelItems), Binding(FieldKind::kText, 12), std::vector<std::uint8_t>(12, 0));
  EXPECT_EQ(on_items.editor.OnKeyDown(Key::kF1), KeyAction::kSearch);
  EXPECT_TRUE(on_items.editor.OnDoubleClick());
  EXPECT_EQ(hooks_.search_focus, 2);
  EXPECT_FALSE(f.editor.OnDoubleClick()) << "other panels keep the normal double click";
}

// ---- Committing ----------------------------------------------------------------------------

struct CommitCase {
  const char* what;
  FieldBinding binding;
  std::vector<std::uint8_t> bytes;
  std::string keys;   // typed after clearing the loaded text
  std::string shown;  // after leaving the field
  std::vector<std::uint8_t> stored;
  int second = -1;  // expected second target (price decimals, letter); -1 unchecked
};

std::vector<std::uint8_t> Padded(std::string_view s, std::size_t width, std::uint8_t fill = ' ') {
  std::vector<std::uint8_t> v(s.begin(), s.end());
  v.resize(width, fill);
  return v;
}

TEST_F(FieldEditTest, LeavingAFieldNormalisesAndStores) {
  const CommitCase cases[] = {
      {"2+2 short number 23", Binding(FieldKind::kShortNumber, 5, 2, 2), Le16(1234), "23", "23,00", Le16(2300)},
      {"2+2 short number 2,5", Binding(FieldKind::kShortNumber, 5, 2, 2), Le16(0), "2,5", "2,50", Le16(250)},
      {"empty short number", Binding(FieldKind::kShortNumber, 5, 2, 2), Le16(77), "", "0,00", Le16(0)},
      {"4-digit port", Binding(FieldKind::kShortNumber, 4, 4, 0), Le16(0), "2030", "2030", Le16(2030)},
      {"long number with decimals", Binding(FieldKind::kLongNumber, 10, 7, 2), Le32(0), "1234567,8", "1234567,80",
       Le32(123456780)},
      {"empty long number", Binding(FieldKind::kLongNumber, 6, 6, 0), Le32(5), "", "0", Le32(0)},
      {"price 5", Binding(FieldKind::kPrice, 9, 6, 5), Le32(0), "5", "5,00", Le32(500), 2},
      {"price 5,125", Binding(FieldKind::kPrice, 9, 6, 5), Le32(0), "5,125", "5,125", Le32(5125), 3},
      {"price 0,5", Binding(FieldKind::kPrice, 9, 6, 5), Le32(0), "0,5", "0,50", Le32(50), 2},
      {"price 12,34567", Binding(FieldKind::kPrice, 9, 6, 5), Le32(0), "12,34567", "12,34567", Le32(1234567), 5},
      {"item name cleared", Binding(FieldKind::kText, 26), Padded("ABC", 26), "", "", std::vector<std::uint8_t>(26, 0)},
      {"item name of four letters", Binding(FieldKind::kText, 26), std::vector<std::uint8_t>(26, 0), "ABCD", "ABCD",
       Padded("ABCD", 26)},
      {"only blanks clear the field", Binding(FieldKind::kText, 12), Padded("X", 12), "   ", "",
       std::vector<std::uint8_t>(12, 0)},
      {"width 14 is zero-padded", Binding(FieldKind::kText, 14), std::vector<std::uint8_t>(14, 0), "AB", "AB",
       Padded("AB", 14, 0)},
      {"print size left empty is 1", Binding(FieldKind::kText, 1, 0, 6), {'5'}, "", "1", {'1'}},
      {"index offset 1: 0 stores 0", Binding(FieldKind::kIndex, 2, 0, 1, 24), {5}, "0", "0", {0}},
      {"index offset 1: 1 stores 0", Binding(FieldKind::kIndex, 2, 0, 1, 24), {5}, "1", "1", {0}},
      {"index offset 1: 24 stores 23", Binding(FieldKind::kIndex, 2, 0, 1, 24), {5}, "24", "24", {23}},
      {"VAT 5 stores index 4", Binding(FieldKind::kIndex, 1, 0, 1, 5), {0}, "5", "5", {4}},
      {"machine number 99 stores 98", Binding(FieldKind::kIndex, 2, 0, 1, 99), {0}, "99", "99", {98}},
      {"barcode format 146", Binding(FieldKind::kIndex, 3, 0, 0, 146), {0}, "146", "146", {146}},
      {"date 15-06-21", Binding(FieldKind::kDate, 8), Le16(0), "15-06-21", "15-06-21", Le16(15 + 32 * 6 + 512 * 21)},
      {"date with day 32", Binding(FieldKind::kDate, 8), Le16(0), "32-01-20", "00-00-00", Le16(0)},
      {"date with month 13", Binding(FieldKind::kDate, 8), Le16(0), "01-13-20", "00-00-00", Le16(0)},
      {"date too short", Binding(FieldKind::kDate, 8), Le16(0), "01-01", "00-00-00", Le16(0)},
  };
  for (const CommitCase& c : cases) {
    SCOPED_TRACE(c.what);
    Field f(Context(), c.binding, c.bytes, 9);
    f.edit.SelectAll();
    f.edit.Press(Key::kBackspace);
    f.Keys(c.keys);
    f.editor.Commit();
    EXPECT_EQ(f.edit.text, c.shown);
    EXPECT_EQ(f.storage, c.stored);
    if (c.second >= 0) {
      EXPECT_EQ(f.second, c.second);
    }
  }
}

TEST_F(FieldEditTest, LoadShowsEachKindsForm) {
  struct LoadCase {
    const char* what;
    FieldBinding binding;
    std::vector<std::uint8_t> bytes;
    std::uint8_t second;
    std::string shown;
  } const cases[] = {
      {"trailing blanks and control bytes dropped",
       Binding(FieldKind::kText, 12),
       {'A', ' ', 'B', ' ', 0, 1, ' ', 0, 0, 0, 0, 0},
       0,
       "A B"},
      {"leading blanks of a text kept", Binding(FieldKind::kText, 32), Padded("  SETUP ZEL", 32), 0, "  SETUP ZEL"},
      {"print size 0 shows 1", Binding(FieldKind::kText, 1, 0, 4), {'0'}, 0, "1"},
      {"print size 5 of a logo line shows 1", Binding(FieldKind::kText, 1, 0, 4), {'5'}, 0, "1"},
      {"print size 6 of a header line", Binding(FieldKind::kText, 1, 0, 6), {'6'}, 0, "6"},
      {"short number 2+2", Binding(FieldKind::kShortNumber, 5, 2, 2), Le16(2400), 0, "24,00"},
      {"long number without leading blanks", Binding(FieldKind::kLongNumber, 10, 7, 2), Le32(5), 0, "0,05"},
      {"negative long number", Binding(FieldKind::kLongNumber, 9, 6, 2), Le32(-150), 0, "-1,50"},
      {"10 digits with their letter", Binding(FieldKind::kLongNumber, 10, 10, 0), Le32(1234), 'E', "E000001234"},
      {"index byte plus offset", Binding(FieldKind::kIndex, 2, 0, 1, 24), {23}, 0, "24"},
      {"index bit field", Binding(FieldKind::kIndex, 1, 7, 16, 7), Le32(0x00050000 | 0xFFFF), 0, "5"},
      {"date", Binding(FieldKind::kDate, 8), Le16(15 + 32 * 6 + 512 * 121), 0, "15-06-21"},
      {"price with 3 decimals", Binding(FieldKind::kPrice, 9, 6, 5), Le32(12345), 3, "12,345"},
      {"price decimals 7 show as 2", Binding(FieldKind::kPrice, 9, 6, 5), Le32(12345), 7, "123,45"},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    Field f(Context(), c.binding, c.bytes, c.second);
    EXPECT_EQ(f.edit.text, c.shown);
    EXPECT_EQ(f.editor.text(), c.shown);
  }
  EXPECT_FALSE(image_.state.modified) << "showing a value is not a change";
}

TEST_F(FieldEditTest, LeavingUntouchedFieldsKeepsTheirValues) {
  // A stored negative amount keeps its sign, a logo line its leading blanks.
  Field amount(Context(), Binding(FieldKind::kLongNumber, 9, 6, 2), Le32(-150));
  amount.editor.Commit();
  EXPECT_EQ(amount.storage, Le32(-150));
  Field line(Context(), Binding(FieldKind::kText, 32), Padded("  SETUP ZEL", 32));
  line.editor.Commit();
  EXPECT_EQ(line.storage, Padded("  SETUP ZEL", 32));
}

TEST_F(FieldEditTest, TenDigitNumberStoresItsLetterApart) {
  Field f(Context(), Binding(FieldKind::kLongNumber, 10, 10, 0), Le32(1234), 'E');
  f.editor.Commit();
  EXPECT_EQ(f.second, 'E');
  EXPECT_EQ(f.storage, Le32(1234));
  f.edit.SelectAll();
  f.Keys("\b55");
  f.editor.Commit();
  EXPECT_EQ(f.second, '0') << "a shorter text puts 0 in the letter's byte";
  EXPECT_EQ(f.storage, Le32(55));
}

TEST_F(FieldEditTest, IndexBitFieldTouchesOnlyItsBits) {
  Field f(Context(), Binding(FieldKind::kIndex, 1, 7, 16, 7), Le32(static_cast<std::int32_t>(0xFFF8FFFFu)));
  EXPECT_EQ(f.edit.text, "0");
  f.Keys("\b5");
  f.editor.Commit();
  EXPECT_EQ(le::Get32(f.storage.data()), 0xFFFDFFFFu);
}

TEST_F(FieldEditTest, RecordSelectorMovesTheSelectionOnLeaving) {
  Field f(Context(kPanelItems), Binding(FieldKind::kRecordSelector, 5, 0, 0, 16000), Le16(0));
  FieldBinding b = f.editor.binding();
  b.has_list = true;
  b.list_group = kGroupItems;
  f.editor.Bind(b);
  f.Keys("\b57");
  EXPECT_EQ(hooks_.selected_rows, (std::vector<int>{4, 56})) << "the list follows the typing";
  f.editor.Commit();
  EXPECT_EQ(f.selected, 56);
  EXPECT_EQ(hooks_.shown_items, std::vector<int>{56});

  f.Keys("\b\b");
  f.editor.Commit();
  EXPECT_EQ(f.selected, 56) << "an empty text changes nothing";
  EXPECT_EQ(f.edit.text, "57") << "and the selected number shows again";
  EXPECT_EQ(hooks_.shown_items.size(), 1u);
}

TEST_F(FieldEditTest, TypingMarksTheDatabaseChangedAndShowsTheHelpLine) {
  Field f(Context(), Binding(FieldKind::kText, 26, 0, 0, 0, kHelpItemName), std::vector<std::uint8_t>(26, 0));
  f.editor.OnMouseMove();
  EXPECT_EQ(shared_.help_line.colour, kPaleYellow);
  EXPECT_EQ(ui_.status_text, HelpText(kHelpItemName));
  EXPECT_FALSE(image_.state.modified);

  f.Keys("A");
  EXPECT_TRUE(image_.state.modified);
  EXPECT_EQ(shared_.status_help, kHelpItemName);
  EXPECT_EQ(shared_.help_line.colour, kWhite);
  EXPECT_EQ(shared_.help_line.style, HelpStyle::kPopOut);

  Field other(Context(), Binding(FieldKind::kText, 12, 0, 0, 0, kHelpPaymentName), std::vector<std::uint8_t>(12, 0));
  other.editor.OnMouseMove();
  EXPECT_EQ(ui_.status_text, HelpText(kHelpItemName)) << "while typing, the typed field's help stays";
  EXPECT_EQ(ui_.status_colour, kWhite);

  f.editor.Commit();
  EXPECT_EQ(shared_.status_help, 0);
  EXPECT_EQ(shared_.help_line.colour, kDefaultColour);
  EXPECT_EQ(shared_.help_line.style, HelpStyle::kNoBorder);
  EXPECT_EQ(ui_.status_text, "");
  OnBackgroundMouseMove(shared_, ui_);
  EXPECT_EQ(ui_.status_colour, kDefaultColour);
}

TEST_F(FieldEditTest, NarrowFieldsSelectAllOnClick) {
  Field narrow(Context(), Binding(FieldKind::kIndex, 3, 0, 0, 146), {12});
  narrow.edit.Click(1);
  narrow.editor.OnLeftButtonUp();
  EXPECT_EQ(narrow.edit.anchor, 0u);
  narrow.Keys("7");
  EXPECT_EQ(narrow.edit.text, "7");
  Field wide(Context(), Binding(FieldKind::kText, 4), {'A', 'B', 0, 0});
  wide.edit.Click(1);
  wide.editor.OnLeftButtonUp();
  EXPECT_EQ(wide.edit.anchor, 1u);
}

// Typed over a value the focus moved to, "1,50" must not be added to the
// "0,00" that stood there.
TEST_F(FieldEditTest, FocusMovedInSelectsTheWholeTextSoTypingReplacesIt) {
  const struct {
    FocusCause cause;
    const char* shown;
  } cases[] = {
      {FocusCause::kMoved, "1,50"},
      {FocusCause::kClicked, "0,00"},  // the caret where the click put it: the digits are refused
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    Field price(Context(kPanelOtherData), Binding(FieldKind::kLongNumber, 9, 6, 2), Le32(0));
    ASSERT_EQ(price.edit.text, "0,00");
    price.editor.OnFocusGained(c.cause);
    price.Keys("1,50");
    EXPECT_EQ(price.edit.text, c.shown);
  }
}

TEST_F(FieldEditTest, FocusGainedFillsTheListOfTheFieldsGroup) {
  FieldBinding b = Binding(FieldKind::kText, 26);
  b.list_group = kGroupDepartments;
  b.has_list = true;
  Field dept(Context(kPanelOtherData), b, std::vector<std::uint8_t>(26, 0));
  dept.editor.OnFocusGained();
  EXPECT_EQ(hooks_.filled, std::vector<int>{kGroupDepartments});
  EXPECT_EQ(shared_.list_group, kGroupDepartments);

  b.list_group = kGroupItems;
  image_.state.selected.item = 41;
  Field name(Context(kPanelItems), b, std::vector<std::uint8_t>(26, 0));
  name.editor.OnFocusGained();
  EXPECT_EQ(hooks_.replaced, std::vector<int>{41});
  EXPECT_EQ(shared_.list_group, kGroupItems);

  Field vat(Context(kPanelOtherData), Binding(FieldKind::kShortNumber, 5, 2, 2), Le16(0));
  vat.editor.OnFocusGained();
  EXPECT_EQ(hooks_.filled.size(), 1u) << "a field without a list leaves the list alone";

  Field logo(Context(kPanelLogo), Binding(FieldKind::kText, 32), std::vector<std::uint8_t>(32, 0));
  logo.editor.OnFocusGained();
  EXPECT_EQ(hooks_.header_footer_refreshes, 1);
}

TEST_F(FieldEditTest, PageKeysMoveTheRecordAndStopQuietlyAtTheEnds) {
  FieldBinding b = Binding(FieldKind::kText, 16);
  b.list_group = kGroupCustomers;
  b.has_list = true;
  image_.state.selected.customer = 998;
  Field phone(Context(kPanelOtherData), b, std::vector<std::uint8_t>(16, 0));
  phone.editor.OnFocusGained();
  EXPECT_EQ(phone.edit.Press(Key::kPageDown), KeyAction::kNavigated);
  EXPECT_EQ(image_.state.selected.customer, 999);
  phone.edit.Press(Key::kPageDown);
  EXPECT_EQ(image_.state.selected.customer, 999);
  EXPECT_EQ(Beeps(), 0u);
  EXPECT_EQ(hooks_.shown_groups, (std::vector<int>{kGroupCustomers, kGroupCustomers}));
  EXPECT_EQ(hooks_.selected_rows, (std::vector<int>{999, 999}));

  image_.state.selected.payment = 0;
  b.list_group = kGroupPayments;
  Field pay(Context(kPanelOtherData), b, std::vector<std::uint8_t>(16, 0));
  pay.editor.OnFocusGained();
  pay.edit.Press(Key::kPageUp);
  EXPECT_EQ(image_.state.selected.payment, 0);
  EXPECT_EQ(Beeps(), 0u);

  Field param(Context(kPanelParameters), Binding(FieldKind::kText, 16), std::vector<std::uint8_t>(16, 0));
  EXPECT_EQ(param.edit.Press(Key::kPageDown), KeyAction::kNavigated);
  EXPECT_EQ(hooks_.shown_groups.size(), 3u) << "no records to move through on other panels";
}

TEST_F(FieldEditTest, PageKeysCommitTheFieldFirst) {
  FieldBinding b = Binding(FieldKind::kText, 26);
  b.list_group = kGroupItems;
  b.has_list = true;
  Field name(Context(kPanelItems), b, std::vector<std::uint8_t>(26, 0));
  name.Keys("NEW");
  name.edit.Press(Key::kPageDown);
  EXPECT_EQ(name.storage, Padded("NEW", 26));
  EXPECT_EQ(image_.state.selected.item, 1);
  EXPECT_EQ(hooks_.shown_items, std::vector<int>{1});
  EXPECT_EQ(hooks_.replaced, std::vector<int>{0}) << "the committed row is rebuilt before moving";
}

TEST_F(FieldEditTest, CheckBoxesSetTheirBitOrByte) {
  std::vector<std::uint8_t> word = Le32(0x0000F0F0);
  CheckBox bit(Context());
  test::FakeCheck bit_view(bit);
  bit.Bind({word, 2, 22, kHelpNone});
  EXPECT_FALSE(bit_view.checked);
  bit.OnClick(true);
  EXPECT_EQ(le::Get32(word.data()), 0x0040F0F0u);
  EXPECT_TRUE(image_.state.modified);
  bit.Bind({word, 2, 4, kHelpNone});
  EXPECT_TRUE(bit_view.checked);
  bit.OnClick(false);
  EXPECT_EQ(le::Get32(word.data()), 0x0040F0E0u);

  std::vector<std::uint8_t> flag{0};
  CheckBox whole(Context(kPanelOtherData));
  whole.Bind({flag, 0, kWholeByte, kHelpClosesReceipt});
  whole.OnClick(true);
  EXPECT_EQ(flag[0], 1);
  EXPECT_EQ(hooks_.shown_groups, std::vector<int>{kGroupDepartments}) << "the department is shown again";
  whole.OnMouseMove();
  EXPECT_EQ(shared_.help_line.colour, kPaleCyan);
  EXPECT_EQ(shared_.help_line.text, HelpText(kHelpClosesReceipt));

  CheckBox button(Context());
  button.Bind({{}, kActionExportItems, 0, kHelpExportItems});
  button.OnClick(true);
  EXPECT_EQ(hooks_.actions, std::vector<int>{kActionExportItems});
}

}  // namespace
}  // namespace zel::editors
