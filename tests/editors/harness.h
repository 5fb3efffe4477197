// Stand-ins for the widgets, so tests drive the editor engine exactly as the
// Qt widgets do: a line edit that applies keystrokes to its own text and
// reports each change, and a panel view that records what the model asks
// for and turns focus moves into focus-out / focus-in events.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/cp1253.h"
#include "editors/panel.h"
#include "support/scripted_ui.h"

namespace zel::editors::test {

inline std::string Greek(std::string_view utf8) { return cp1253::Encode(utf8); }

// A single-line edit: text, caret and selection, as the toolkit keeps them.
class FakeEdit : public FieldView {
 public:
  explicit FakeEdit(FieldEditor& editor) : editor_(editor) { editor.set_view(this); }

  void ShowText(std::string_view t) override {
    text = std::string(t);
    caret = anchor = text.size();
    // The toolkit reports a programmatic change too; the editor ignores it.
    EXPECT_EQ(editor_.OnTextChanged(text), Verdict::kIgnored);
  }
  void SetCaret(int pos) override { caret = anchor = static_cast<std::size_t>(pos); }
  void SelectAll() override {
    anchor = 0;
    caret = text.size();
  }

  // A key press: the key filter first; a key it lets through edits the text
  // (a character replaces the selection), then the change is judged.
  KeyAction Press(Key key, char c = 0) {
    const KeyAction a = editor_.OnKeyDown(key);
    if (!PassesOn(a)) return a;
    const std::size_t from = std::min(caret, anchor), to = std::max(caret, anchor);
    std::string t = text;
    std::size_t at = from;
    if (key == Key::kCharacter) {
      t.replace(from, to - from, 1, c);
      at = from + 1;
    } else if (key == Key::kBackspace) {
      if (from != to)
        t.erase(from, to - from);
      else if (from > 0)
        t.erase(--at, 1);
    } else if (key == Key::kDelete) {
      if (from != to)
        t.erase(from, to - from);
      else if (from < t.size())
        t.erase(from, 1);
    } else {
      return a;
    }
    caret = anchor = at;
    if (t == text) return a;  // the toolkit reports no change
    text = t;
    last = editor_.OnTextChanged(text);
    return a;
  }
  void Type(std::string_view chars) {
    for (char c : chars) Press(Key::kCharacter, c);
  }
  void Click(std::size_t pos) { caret = anchor = std::min(pos, text.size()); }
  // A change the key filter never saw (a paste with the mouse).
  Verdict Paste(std::string_view chars) {
    text.insert(caret, chars);
    caret = anchor = caret + chars.size();
    return last = editor_.OnTextChanged(text);
  }

  FieldEditor& editor() { return editor_; }

  std::string text;
  std::size_t caret = 0;
  std::size_t anchor = 0;
  Verdict last = Verdict::kIgnored;

 private:
  FieldEditor& editor_;
};

class FakeCheck : public CheckView {
 public:
  explicit FakeCheck(CheckBox& box) { box.set_view(this); }
  void ShowChecked(bool c) override { checked = c; }
  bool checked = false;
};

// The panel widget: records what the model shows and moves the focus the way
// the toolkit does (focus-out of the old control, then focus-in of the new).
class FakePanel : public PanelView {
 public:
  explicit FakePanel(PanelModel& model) : model_(model) {
    model.set_view(this);
    for (const ControlSpec& c : model.controls()) {
      if (FieldEditor* f = model.field(c.id)) edits_[c.id] = std::make_unique<FakeEdit>(*f);
      if (CheckBox* b = model.box(c.id)) checks_[c.id] = std::make_unique<FakeCheck>(*b);
      if (c.type != ControlType::kStatic && c.type != ControlType::kDefaultButton && c.type != ControlType::kGroup)
        tab_order_.push_back(c.id);
    }
  }

  FakeEdit& edit(int id) { return *edits_.at(id); }
  FakeCheck& check(int id) { return *checks_.at(id); }

  void ShowList(const ListContent& c) override {
    list = c;
    selected_row = c.selected;
    header = c.header;
    ++list_fills;
  }
  void ReplaceListRow(int row) override {
    replaced_rows.push_back(row);
    selected_row = row;
  }
  void SelectListRow(int row) override { selected_row = row; }
  void SetListHeader(std::string_view h) override { header = std::string(h); }
  void SetStaticText(int id, std::string_view t) override { statics[id] = std::string(t); }
  void Focus(int id) override { MoveFocus(id); }
  void FocusNext() override {
    auto it = std::find(tab_order_.begin(), tab_order_.end(), focused);
    MoveFocus(it == tab_order_.end() || std::next(it) == tab_order_.end() ? tab_order_.front() : *std::next(it));
  }
  void BeginWait(bool empty_list) override { waits.push_back(empty_list); }
  void EndWait() override { ++wait_ends; }
  std::optional<CsvOptions> AskCsvOptions(bool import, const std::string& path) override {
    asked.push_back({import, path});
    return csv_answer;
  }
  void Repaint() override { ++repaints; }
  void SwitchPanel(int panel) override { switched_to = panel; }

  // Focus events of controls other than fields (list, search entry).
  std::map<int, std::function<void()>> on_focus_in, on_focus_out;

  void MoveFocus(int id) {
    const int old = focused;
    focused = id;
    if (old == id) return;
    if (FieldEditor* f = model_.field(old)) f->Commit();
    if (auto h = on_focus_out.find(old); h != on_focus_out.end()) h->second();
    if (focused != id) return;  // the focus-out handler moved the focus on
    if (FieldEditor* f = model_.field(id)) f->OnFocusGained();
    if (auto h = on_focus_in.find(id); h != on_focus_in.end()) h->second();
  }

  int focused = 0;
  ListContent list;
  int list_fills = 0;
  int selected_row = -1;
  std::vector<int> replaced_rows;
  std::string header;
  std::map<int, std::string> statics;
  std::vector<bool> waits;
  int wait_ends = 0;
  std::vector<std::pair<bool, std::string>> asked;
  std::optional<CsvOptions> csv_answer;
  int repaints = 0;
  int switched_to = -1;

 private:
  PanelModel& model_;
  std::map<int, std::unique_ptr<FakeEdit>> edits_;
  std::map<int, std::unique_ptr<FakeCheck>> checks_;
  std::vector<int> tab_order_;
};

}  // namespace zel::editors::test
