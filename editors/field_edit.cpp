#include "editors/field_edit.h"

#include <algorithm>

#include "core/convert.h"
#include "core/cp1253.h"
#include "editors/help_texts.h"

namespace zel::editors {
namespace {

std::uint8_t Byte(char c) { return static_cast<std::uint8_t>(c); }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }

std::string LeftTrimmed(std::string s) { return s.erase(0, std::min(s.find_first_not_of(' '), s.size())); }

// A one-character text field with a largest digit of 2 to 6 holds a print
// size; anything outside "1" to that digit counts as "1".
bool IsSizeField(const FieldBinding& b) {
  return b.kind == FieldKind::kText && b.width == 1 && b.second >= 2 && b.second <= 6;
}

// The signed value of a number text: its digits, negative when a minus sign
// comes before the first digit. (A stored negative amount must survive the
// field being left untouched.)
std::int32_t SignedDigits(std::string_view text) {
  const std::int32_t v = ParseDigits(text);
  const std::size_t minus = text.find('-');
  const std::size_t digit = text.find_first_of("0123456789");
  const bool negative = minus != std::string_view::npos && (digit == std::string_view::npos || minus < digit);
  return negative ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(v)) : v;
}

std::uint32_t ReadSized(ConstBytes b) {
  if (b.size() >= 4) return le::Get32(b.data());
  if (b.size() >= 2) return le::Get16(b.data());
  return b.empty() ? 0 : b[0];
}

void WriteSized(Bytes b, std::uint32_t v) {
  if (b.size() >= 4)
    le::Put32(b.data(), v);
  else if (b.size() >= 2)
    le::Put16(b.data(), static_cast<std::uint16_t>(v));
  else if (!b.empty())
    b[0] = static_cast<std::uint8_t>(v);
}

}  // namespace

// ---- Help line ---------------------------------------------------------------

void SetHelpLine(EditorShared& shared, UserInterface& ui, std::string_view text, long colour) {
  shared.help_line.text = std::string(text);
  shared.help_line.colour = colour;
  shared.help_line.style = colour == kDefaultColour ? HelpStyle::kNoBorder : HelpStyle::kPopOut;
  ui.SetStatusLine(text, colour);
}

void ClearHelpLine(EditorShared& shared, UserInterface& ui) { SetHelpLine(shared, ui, {}, kDefaultColour); }

void OnBackgroundMouseMove(EditorShared& shared, UserInterface& ui) {
  if (shared.status_help != 0)
    SetHelpLine(shared, ui, HelpText(shared.status_help), kWhite);
  else
    ClearHelpLine(shared, ui);
}

// ---- Helpers ---------------------------------------------------------------------

std::optional<std::string> TypedText(std::string_view utf8) { return cp1253::FromUtf8(utf8); }

std::int64_t DigitsValue(std::string_view text, std::int64_t cap) {
  const std::int64_t before_cap = cap / 10;
  std::int64_t v = 0;
  for (char c : text)
    if (IsDigit(c)) v = v > before_cap ? cap : std::min(cap, v * 10 + (c - '0'));
  return v;
}

std::uint16_t* SelectedOf(DataImage& image, int group) {
  Selection& s = image.state.selected;
  switch (group) {
    case kGroupPayments: return &s.payment;
    case kGroupCategories: return &s.category;
    case kGroupOperators: return &s.op;
    case kGroupDepartments: return &s.department;
    case kGroupCustomers: return &s.customer;
    case kGroupItems: return &s.item;
    default: return nullptr;
  }
}

int TableSize(int group) {
  switch (group) {
    case kGroupPayments: return kPaymentCount;
    case kGroupCategories: return kCategoryCount;
    case kGroupOperators: return kOperatorCount;
    case kGroupDepartments: return kDepartmentCount;
    case kGroupCustomers: return kCustomerCount;
    case kGroupItems: return kItemCount;
    default: return 0;
  }
}

// ---- Field editor: load ------------------------------------------------------------

void FieldEditor::Bind(const FieldBinding& binding) {
  binding_ = binding;
  text_.clear();
  Load();
}

void FieldEditor::Load() {
  const FieldBinding& b = binding_;
  const Bytes t = b.target;
  std::string text;
  switch (b.kind) {
    case FieldKind::kText: {
      std::size_t n = std::min<std::size_t>(b.width, t.size());
      while (n > 0 && t[n - 1] <= ' ') --n;
      text.assign(reinterpret_cast<const char*>(t.data()), n);
      if (IsSizeField(b) && (t.empty() || t[0] < '1' || t[0] > '0' + b.second)) text = "1";
      break;
    }
    case FieldKind::kShortNumber:
      text = LeftTrimmed(FormatUnsignedText(t.size() >= 2 ? le::Get16(t.data()) : 0, b.first, b.second));
      break;
    case FieldKind::kLongNumber: {
      const std::int32_t v = t.size() >= 4 ? le::GetI32(t.data()) : 0;
      if (b.first == 10) {
        char letter = '0';
        if (b.second_target && *b.second_target >= ' ') letter = static_cast<char>(*b.second_target);
        text = letter + FormatSignedText(v, 9, 10);
      } else {
        text = LeftTrimmed(FormatSignedText(v, b.first, b.second));
      }
      break;
    }
    case FieldKind::kRecordSelector: {
      const int shown = b.selected ? *b.selected + 1 : 1;
      text = LeftTrimmed(FormatUnsignedText(static_cast<std::uint16_t>(shown), b.width, 0));
      break;
    }
    case FieldKind::kIndex: {
      std::uint32_t v = 0;
      if (b.first != 0)
        v = (ReadSized(t) >> b.second) & b.first;
      else if (!t.empty())
        v = t[0] + b.second;
      text = LeftTrimmed(FormatUnsignedText(static_cast<std::uint16_t>(v), b.width, 0));
      ctx_.hooks->IndexShown(b.upper_bound, static_cast<int>(v));
      break;
    }
    case FieldKind::kDate: {
      const unsigned v = t.size() >= 2 ? le::Get16(t.data()) : 0;
      char buf[9];
      std::snprintf(buf, sizeof buf, "%02u-%02u-%02u", v & 31u, (v >> 5) & 15u, (v / 512u) % 100u);
      text = buf;
      break;
    }
    case FieldKind::kPrice: {
      const int d = ShownDecimals(b.second_target ? *b.second_target : 2);
      text = LeftTrimmed(FormatSignedText(t.size() >= 4 ? le::GetI32(t.data()) : 0, 9 - d, d));
      break;
    }
  }
  text_ = text;
  Show(text_);
}

void FieldEditor::Show(const std::string& text) {
  state_ = EditState::kLoading;
  if (view_) view_->ShowText(text);
  state_ = EditState::kIdle;
}

// ---- Field editor: keys ---------------------------------------------------------------

KeyAction FieldEditor::OnKeyDown(Key key) {
  switch (key) {
    case Key::kPageUp:
    case Key::kPageDown: Navigate(key == Key::kPageDown); return KeyAction::kNavigated;
    case Key::kHome:
    case Key::kEnd:
    case Key::kLeft:
    case Key::kRight:
    case Key::kUp:
    case Key::kDown:
    case Key::kInsert:
    case Key::kWindows:
    case Key::kNumLock:
    case Key::kScrollLock:
    case Key::kF2ToF11: return KeyAction::kSwallow;
    case Key::kF1:
      if (ctx_.panel == kPanelItems) {
        ctx_.hooks->FocusSearch();
        return KeyAction::kSearch;
      }
      state_ = EditState::kTyping;
      return KeyAction::kTyping;
    case Key::kCharacter:
    case Key::kBackspace:
    case Key::kDelete:
    case Key::kF12:
    case Key::kOtherTyping: state_ = EditState::kTyping; return KeyAction::kTyping;
    default: return KeyAction::kControl;
  }
}

void FieldEditor::Navigate(bool down) {
  Commit();
  // The list fill of focus-gained (not the logo panel's refresh).
  FillOwnList();

  int group = kGroupNone;
  if (ctx_.panel == kPanelItems)
    group = kGroupItems;
  else if (ctx_.panel == kPanelOtherData && ctx_.shared->list_group >= kGroupPayments &&
           ctx_.shared->list_group <= kGroupCustomers)
    group = ctx_.shared->list_group;
  if (group == kGroupNone) return;
  std::uint16_t* selected = SelectedOf(*ctx_.image, group);
  const int size = TableSize(group);
  if (down && *selected < size - 1)
    ++*selected;
  else if (!down && *selected > 0)
    --*selected;
  if (group == kGroupItems)
    ctx_.hooks->ShowItem(*selected);
  else
    ctx_.hooks->ShowGroup(group);
  ctx_.hooks->SelectListRow(*selected);
}

// ---- Field editor: judging a change ----------------------------------------------------

bool FieldEditor::IsNumber() const {
  return binding_.kind == FieldKind::kShortNumber || binding_.kind == FieldKind::kLongNumber ||
         binding_.kind == FieldKind::kPrice;
}

bool FieldEditor::CheckCharacter(std::string_view text, std::size_t p, int c) const {
  const FieldBinding& b = binding_;
  const std::size_t n = text.size();
  switch (b.kind) {
    case FieldKind::kText:
      if (b.second > 0) return c >= '0' && c <= '0' + b.second;
      if (b.first != 0) return IsDigit(c) || (c >= 'A' && c <= 'F');
      return true;
    case FieldKind::kShortNumber:
    case FieldKind::kLongNumber:
    case FieldKind::kPrice: {
      const std::size_t i = b.first, m = b.second;
      const std::size_t comma = text.find(',');
      const auto commas = std::count(text.begin(), text.end(), ',');
      if (c == ',') return commas == 1 && m > 0 && p > 0 && p <= i && n - p - 1 <= m;
      if (c == ' ') return commas == 0 && n < i;
      if (!IsDigit(c)) return false;
      const std::size_t int_len = comma == std::string_view::npos ? n : comma;
      const std::size_t dec_len = comma == std::string_view::npos ? 0 : n - comma - 1;
      return int_len <= i && dec_len <= m;
    }
    case FieldKind::kRecordSelector:
    case FieldKind::kIndex: return IsDigit(c);
    case FieldKind::kDate: return n == 3 || n == 6 ? c == '.' || c == '-' : IsDigit(c);
  }
  return false;
}

bool FieldEditor::CheckValue(std::string_view text) const {
  const FieldBinding& b = binding_;
  if (b.upper_bound <= 0 || text.empty()) return true;
  const std::int64_t v = DigitsValue(text);
  if (b.kind == FieldKind::kRecordSelector) return v >= 1 && v <= b.upper_bound;
  if (b.kind == FieldKind::kIndex) return v <= b.upper_bound;
  return true;
}

Verdict FieldEditor::Reject(std::size_t p) {
  Show(text_);
  if (view_) view_->SetCaret(static_cast<int>(std::min(p, text_.size())));
  ctx_.ui->Beep(400, 40);
  return Verdict::kRejected;
}

Verdict FieldEditor::OnTextChanged(std::string_view raw) {
  // Only the editor's own changes are exempt: a change the key filter did
  // not see (a paste with the mouse, a drop) is judged like typing.
  if (state_ == EditState::kLoading) return Verdict::kIgnored;
  state_ = EditState::kIdle;
  std::string text(raw.substr(0, kMaxFieldText));
  if (text == text_) return Verdict::kIgnored;
  const FieldBinding& b = binding_;
  const std::size_t n = text.size();

  // p: first changed position; [p, q) the characters put in.
  std::size_t p = 0;
  while (p < n && p < text_.size() && text[p] == text_[p]) ++p;
  std::size_t suffix = 0;
  while (suffix < n - p && suffix < text_.size() - p && text[n - 1 - suffix] == text_[text_.size() - 1 - suffix])
    ++suffix;
  const std::size_t q = std::max(p + 1, n - suffix);

  ctx_.image->state.modified = true;
  if (ctx_.shared->status_help == 0) {
    SetHelpLine(*ctx_.shared, *ctx_.ui, HelpText(b.help), kWhite);
    ctx_.shared->status_help = b.help;
  }

  // Every character put in is checked (one for a keystroke); a deletion
  // checks the character that moved into its place.
  auto characters_pass = [&](std::string_view t) {
    for (std::size_t i = p; i < std::min(q, t.size()); ++i)
      if (!CheckCharacter(t, i, Byte(t[i]))) return false;
    return true;
  };

  Verdict verdict = Verdict::kAccepted;
  if (!IsNumber() && n > b.width) {
    // Width rule: a character typed inside a full field pushes the last one
    // out; one typed beyond its end is refused. The cut text must still pass
    // the field's checks, so a full field cannot be used to slip in a
    // character (or a number) the field refuses.
    if (p >= b.width) return Reject(p);
    text.resize(b.width);
    if (!characters_pass(text) || !CheckValue(text)) return Reject(p);
    verdict = Verdict::kCut;
  } else if (n > 0) {
    if (!characters_pass(text) || !CheckValue(text)) return Reject(p);
    if (IsNumber() && n > b.width) {
      text.resize(b.width);
      verdict = Verdict::kCut;
    }
  }

  text_ = text;
  if (verdict == Verdict::kCut) {
    Show(text_);
    if (view_) view_->SetCaret(static_cast<int>(std::min<std::size_t>(q, text_.size())));
  }
  if (b.kind == FieldKind::kIndex) ctx_.hooks->IndexShown(b.upper_bound, static_cast<int>(DigitsValue(text_)));
  if (b.kind == FieldKind::kRecordSelector && b.upper_bound > 0 && b.has_list && !text_.empty())
    ctx_.hooks->SelectListRow(static_cast<int>(DigitsValue(text_)) - 1);
  return verdict;
}

Verdict FieldEditor::OnTextChangedUtf8(std::string_view utf8) {
  if (state_ == EditState::kLoading) return Verdict::kIgnored;
  const std::optional<std::string> text = TypedText(utf8);
  if (text) return OnTextChanged(*text);
  state_ = EditState::kIdle;
  // Put the caret where the text first differs, counted in characters.
  const std::string shown = cp1253::ToUtf8(text_);
  std::size_t i = 0;
  while (i < shown.size() && i < utf8.size() && shown[i] == utf8[i]) ++i;
  const auto chars = std::count_if(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(i),
                                   [](char c) { return (Byte(c) & 0xC0) != 0x80; });
  return Reject(static_cast<std::size_t>(chars));
}

// ---- Field editor: commit -----------------------------------------------------------------

std::string FieldEditor::Normalise(std::string text) {
  const FieldBinding& b = binding_;
  switch (b.kind) {
    case FieldKind::kText:
      if (std::all_of(text.begin(), text.end(), [](char c) { return Byte(c) <= ' '; })) text.clear();
      if (text.empty() && IsSizeField(b)) text = "1";
      break;
    case FieldKind::kShortNumber:
    case FieldKind::kLongNumber:
      if (text.empty()) text = "0";
      if (b.second > 0) {
        std::size_t comma = text.find(',');
        if (comma == std::string::npos) {
          text += ',';
          comma = text.size() - 1;
        }
        while (text.size() - comma - 1 < b.second) text += '0';
      }
      break;
    case FieldKind::kDate: {
      const auto day = text.size() >= 8 ? ParseDigits(std::string_view(text).substr(0, 2)) : 0;
      const auto month = text.size() >= 8 ? ParseDigits(std::string_view(text).substr(3, 2)) : 0;
      if (text.size() < 8 || day < 1 || day > 31 || month < 1 || month > 12) text = "00-00-00";
      break;
    }
    case FieldKind::kPrice: {
      std::size_t comma = text.find(',');
      if (comma == std::string::npos) {
        text += ',';
        comma = text.size() - 1;
      }
      while (text.size() - comma - 1 < 2) text += '0';
      break;
    }
    case FieldKind::kRecordSelector:
    case FieldKind::kIndex: break;
  }
  return text;
}

void FieldEditor::Store(const std::string& text) {
  const FieldBinding& b = binding_;
  const Bytes t = b.target;
  switch (b.kind) {
    case FieldKind::kText: {
      const std::size_t width = std::min<std::size_t>(b.width, t.size());
      const std::uint8_t fill = text.empty() || b.width == 14 ? 0 : ' ';
      std::fill(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(width), fill);
      std::copy_n(text.begin(), std::min(width, text.size()), t.begin());
      break;
    }
    case FieldKind::kShortNumber:
      if (t.size() >= 2) le::Put16(t.data(), static_cast<std::uint16_t>(ParseDigits(text)));
      break;
    case FieldKind::kLongNumber: {
      std::int32_t v = 0;
      if (b.first == 10) {
        if (text.size() > 9) {
          if (b.second_target) *b.second_target = Byte(text[0]);
          v = ParseDigits(std::string_view(text).substr(1, 9));
        } else {
          if (b.second_target) *b.second_target = '0';
          v = ParseDigits(text);
        }
      } else {
        v = SignedDigits(text);
      }
      if (t.size() >= 4) le::PutI32(t.data(), v);
      break;
    }
    case FieldKind::kIndex: {
      std::int64_t v = DigitsValue(text);
      if (b.upper_bound > 0 && v > b.upper_bound) v = 0;
      if (b.first != 0) {
        const std::uint32_t mask = static_cast<std::uint32_t>(b.first) << b.second;
        const std::uint32_t bits = (static_cast<std::uint32_t>(v) & b.first) << b.second;
        WriteSized(t, (ReadSized(t) & ~mask) | bits);
      } else if (!t.empty()) {
        t[0] = static_cast<std::uint8_t>(v > b.second ? v - b.second : 0);
      }
      break;
    }
    case FieldKind::kDate: {
      const std::string_view s(text);
      const auto v = ParseDigits(s.substr(0, 2)) + 32 * ParseDigits(s.substr(3, 2)) + 512 * ParseDigits(s.substr(6, 2));
      if (t.size() >= 2) le::Put16(t.data(), static_cast<std::uint16_t>(v));
      break;
    }
    case FieldKind::kPrice: {
      if (t.size() >= 4) le::PutI32(t.data(), SignedDigits(text));
      if (b.second_target) *b.second_target = static_cast<std::uint8_t>(text.size() - text.find(',') - 1);
      break;
    }
    case FieldKind::kRecordSelector: break;
  }
}

void FieldEditor::Commit() {
  EditorShared& shared = *ctx_.shared;
  if (shared.status_help != 0) {
    ClearHelpLine(shared, *ctx_.ui);
    shared.status_help = 0;
  }
  std::string text = text_.substr(0, binding_.width);

  if (binding_.kind == FieldKind::kRecordSelector) {
    const FieldBinding& b = binding_;
    const std::int64_t v = DigitsValue(text);
    const int size = TableSize(b.list_group);
    // Record numbers outside the table are never formed, even from a text
    // that reached the field without being judged.
    const bool in_table = (b.upper_bound <= 0 || v <= b.upper_bound) && (size == 0 || v <= size) && v <= 65536;
    if (b.selected && v >= 1 && in_table && v != *b.selected + 1) {
      *b.selected = static_cast<std::uint16_t>(v - 1);
      if (ctx_.panel == kPanelItems)
        ctx_.hooks->ShowItem(*b.selected);
      else
        ctx_.hooks->ShowGroup(b.list_group);
    } else {
      Load();  // nothing moved: show the selected number again
    }
    return;
  }

  text = Normalise(std::move(text));
  if (text != text_) {
    text_ = text;
    Show(text_);
  }
  Store(text_);
}

// ---- Field editor: focus and mouse ---------------------------------------------------------

void FieldEditor::OnFocusGained(FocusCause cause) {
  if (ctx_.panel == kPanelLogo) ctx_.hooks->RefreshHeaderFooter();
  FillOwnList();
  // Last: the refresh above may have shown the text again.
  if (cause == FocusCause::kMoved && view_) view_->SelectAll();
}

void FieldEditor::FillOwnList() {
  const int g = binding_.list_group;
  if (g == kGroupNone || !binding_.has_list) return;
  if (g >= kGroupPayments && g <= kGroupCustomers) {
    ctx_.shared->list_group = g;
    ctx_.hooks->FillList(g);
  } else if (g == kGroupItems) {
    ctx_.shared->list_group = kGroupItems;
    ctx_.hooks->ReplaceItemRow(ctx_.image->state.selected.item);
  }
}

void FieldEditor::OnMouseMove() {
  EditorShared& shared = *ctx_.shared;
  if (shared.status_help == 0)
    SetHelpLine(shared, *ctx_.ui, HelpText(binding_.help), kPaleYellow);
  else
    SetHelpLine(shared, *ctx_.ui, HelpText(shared.status_help), kWhite);
}

void FieldEditor::OnLeftButtonUp() {
  if (binding_.width < 4 && view_) view_->SelectAll();
}

bool FieldEditor::OnDoubleClick() {
  if (ctx_.panel != kPanelItems) return false;
  ctx_.hooks->FocusSearch();
  return true;
}

// ---- Check box ----------------------------------------------------------------------------

void CheckBox::Bind(const CheckBinding& binding) {
  binding_ = binding;
  checked_ = false;
  if (!binding_.target.empty()) {
    const std::uint32_t v = ReadSized(binding_.target);
    checked_ = binding_.bit > 31 ? (v & 1u) != 0 : ((v >> binding_.bit) & 1u) != 0;
  }
  if (view_) view_->ShowChecked(checked_);
}

void CheckBox::OnClick(bool checked) {
  if (binding_.target.empty()) {
    ctx_.hooks->RunAction(binding_.size_class);
    return;
  }
  ctx_.image->state.modified = true;
  checked_ = checked;
  if (binding_.bit > 31) {
    binding_.target[0] = checked ? 1 : 0;
  } else {
    const std::uint32_t bit = 1u << binding_.bit;
    const std::uint32_t v = ReadSized(binding_.target);
    WriteSized(binding_.target, checked ? v | bit : v & ~bit);
  }
  if (ctx_.panel == kPanelOtherData) ctx_.hooks->ShowGroup(kGroupDepartments);
}

void CheckBox::OnMouseMove() { SetHelpLine(*ctx_.shared, *ctx_.ui, HelpText(binding_.help), kPaleCyan); }

}  // namespace zel::editors
