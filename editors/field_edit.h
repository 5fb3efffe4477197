// Field edit controls without a window: the rules that decide what a field
// shows, which keystrokes it takes, what it stores and where Page Up and
// Page Down lead. A widget (one single-line edit per field) only forwards its
// events here and shows what it is told.
//
// How a widget drives a FieldEditor:
//   - it implements FieldView, so the editor can set its text (and caret)
//     without that change counting as typing;
//   - key press: OnKeyDown(key); when PassesOn(result) it lets the edit
//     control handle the key, otherwise it drops the key;
//   - after every change the user made to the text (typed, pasted, dropped):
//     OnTextChanged(text) or OnTextChangedUtf8(utf8); the editor accepts it,
//     cuts it back or restores the last accepted text through the view and
//     beeps through UserInterface::Beep(400, 40);
//   - focus in: OnFocusGained(how the focus came); focus out: Commit();
//   - mouse: OnMouseMove(), OnLeftButtonUp(), OnDoubleClick().
// Panel-wide effects (show another record, fill the list, run an action)
// go to the PanelHooks of the editor's context; the panel models of this
// folder implement them.
//
// Texts are code page 1253 bytes; the view converts at its edge. A
// character code page 1253 cannot hold counts as a refused keystroke
// (OnTextChangedUtf8 does that decision).
//
// Single-threaded: everything here runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/data_image.h"
#include "core/user_interface.h"

namespace zel::editors {

// ---- Bindings -------------------------------------------------------------

enum class FieldKind : std::uint8_t {
  kText = 0,            // width bytes of text
  kShortNumber = 1,     // u16 in units of the last decimal
  kLongNumber = 2,      // i32 in units of the last decimal
  kRecordSelector = 3,  // a selected-record number (0-based, shown 1-based)
  kIndex = 4,           // u8 + offset, or a bit field of a u32
  kDate = 5,            // u16 day + 32 x month + 512 x year
  kPrice = 6,           // i32 price with the record's price-decimals byte
};

inline constexpr int kMaxFieldText = 69;  // longest text any field holds

// Everything one field edit control needs to know about its value.
struct FieldBinding {
  FieldKind kind = FieldKind::kText;
  std::uint8_t width = 0;  // 1..69 characters
  // kind-dependent: integer digits (numbers, price), hexadecimal-only flag
  // (text), bit mask (index as bit field; 0 for the byte form)
  std::uint8_t first = 0;
  // kind-dependent: decimals (numbers), largest decimals (price), largest
  // digit (text), offset or bit shift (index)
  std::uint8_t second = 0;
  Bytes target;                           // the stored bytes (not for a record selector)
  std::uint16_t* selected = nullptr;      // record selector: the selected number
  std::uint8_t* second_target = nullptr;  // price: price-decimals byte; 10-digit long: its letter
  int list_group = 0;                     // 1 payments, 2 categories, 3 operators, 4 departments, 5 customers, 7 items
  bool has_list = false;                  // the field drives the panel's list
  int upper_bound = 0;                    // record selector, index: largest value; 0 = none
  int help = 0;                           // help text number (help_texts.h)
};

// A bound check box, or an action button when it has no target.
struct CheckBinding {
  Bytes target;        // 1, 2 or 4 bytes; empty for an action button
  int size_class = 0;  // 0 byte, 1 u16, 2 u32; for a button the action code
  int bit = 0;         // 0..31; kWholeByte stores 0 or 1 in the target byte
  int help = 0;
};
inline constexpr int kWholeByte = 99;

enum Action : int {
  kActionFindEmptyItem = 3,
  kActionImportCustomers = 4,
  kActionImportItems = 5,
  kActionExportItems = 6,
  kActionExportCustomers = 7,
};

// List groups: which table the list shows while a field has the focus.
enum ListGroup : int {
  kGroupNone = 0,
  kGroupPayments = 1,
  kGroupCategories = 2,
  kGroupOperators = 3,
  kGroupDepartments = 4,
  kGroupCustomers = 5,
  kGroupVatRates = 6,  // other-data panel group without a list
  kGroupItems = 7,
};

// Panel numbers (the main window's active panel).
enum Panel : int {
  kPanelNone = 0,
  kPanelLogo = 1,
  kPanelOtherData = 2,
  kPanelItems = 3,
  kPanelTransfer = 4,
  kPanelConsole = 5,
  kPanelParameters = 7,
};

// ---- Shared editor state ---------------------------------------------------

// Help line colours as 0xBBGGRR; kDefaultColour is the status bar's own.
inline constexpr long kDefaultColour = -1;
inline constexpr long kWhite = 0xFFFFFF;
inline constexpr long kPaleYellow = 0xE0FFFF;  // red 255, green 255, blue 224
inline constexpr long kPaleCyan = 0xFFFFF0;    // red 240, green 255, blue 255

enum class HelpStyle : std::uint8_t { kNoBorder, kPopOut };

struct HelpLine {
  std::string text;  // UTF-8
  long colour = kDefaultColour;
  // The default background always goes with the no-border style, every
  // coloured one with the pop-out style.
  HelpStyle style = HelpStyle::kNoBorder;
};

// One per program, beside the data image: what every panel's fields share.
struct EditorShared {
  int status_help = 0;          // help number of the field being typed in; 0 none
  int list_group = 0;           // group that last filled the other-data panel's list
  bool list_has_focus = false;  // the shared list has the focus
  HelpLine help_line;
  std::string csv_path;  // the remembered CSV file path (UTF-8 / local file name)
};

// Shows `text` with `colour` (style follows the colour) on the help line:
// stores it in shared.help_line and passes it to ui.SetStatusLine.
void SetHelpLine(EditorShared& shared, UserInterface& ui, std::string_view text, long colour);
// Default background and the empty text.
void ClearHelpLine(EditorShared& shared, UserInterface& ui);
// Mouse over a panel's background.
void OnBackgroundMouseMove(EditorShared& shared, UserInterface& ui);

// ---- The panel behind the fields -------------------------------------------

// What a field asks of the panel that owns it. Every call has an empty
// default, so a field on a panel without lists or records (the console's
// entry fields) needs no hooks of its own.
class PanelHooks {
 public:
  virtual ~PanelHooks() = default;
  // Bind every control again to item n (0-based); the selection already moved.
  virtual void ShowItem(int /*n*/) {}
  // Bind the fields of group g (1..6) again to the group's selected record.
  virtual void ShowGroup(int /*g*/) {}
  // An index field showed or accepted `value` (items panel: the department
  // name when upper_bound is below 30, else the category name).
  virtual void IndexShown(int /*upper_bound*/, int /*value*/) {}
  // Fill the list with group g (1..5), select its selected record's row.
  virtual void FillList(int /*g*/) {}
  // Items list: build row `row` again from the data image and select it.
  virtual void ReplaceItemRow(int /*row*/) {}
  // Move the list's highlight to `row`; it must not move the record.
  virtual void SelectListRow(int /*row*/) {}
  // Action buttons (Action codes 3..7).
  virtual void RunAction(int /*code*/) {}
  // Logo panel: normalise and bind again the header/footer lines.
  virtual void RefreshHeaderFooter() {}
  // Items panel: F1 or a double click moves the focus to the search entry.
  virtual void FocusSearch() {}
};

struct EditorContext {
  DataImage* image = nullptr;
  UserInterface* ui = nullptr;
  EditorShared* shared = nullptr;
  PanelHooks* hooks = nullptr;
  int panel = kPanelNone;
};

// ---- The field edit control ---------------------------------------------------

// The keys the key filter tells apart; the widget maps its toolkit's keys.
enum class Key : std::uint8_t {
  kCharacter,  // a key that types a character (letter, digit, space, punctuation)
  kBackspace,
  kDelete,
  kF12,
  kOtherTyping,  // any other key code from 0x20 up not named here
  kPageUp,
  kPageDown,
  kHome,
  kEnd,
  kLeft,
  kRight,
  kUp,
  kDown,
  kInsert,
  kWindows,
  kNumLock,
  kScrollLock,
  kF1,
  kF2ToF11,
  kTab,
  kEnter,
  kEscape,
  kShift,
  kControl,
  kAlt,
  kOtherControl,  // other keys below 0x20
};

enum class KeyAction : std::uint8_t {
  kTyping,     // let the key through; the change it makes is judged
  kControl,    // let the key through (Tab, Enter, Escape, modifiers)
  kSwallow,    // the key goes no further
  kNavigated,  // Page Up/Down: the record moved (or stayed at an end); drop the key
  kSearch,     // F1 on the items panel: the focus went to the search entry; drop the key
};
inline bool PassesOn(KeyAction a) { return a == KeyAction::kTyping || a == KeyAction::kControl; }

// What the judge made of a text change.
enum class Verdict : std::uint8_t {
  kIgnored,  // the editor set the text itself
  kAccepted,
  kCut,       // accepted, with the characters beyond the width dropped
  kRejected,  // the last accepted text is back, the beep sounded
};

// How the focus came into a field.
enum class FocusCause : std::uint8_t {
  // Tab, Enter, the program, or the window becoming active again (a
  // message box closed, the panel shown): the whole text is selected
  kMoved,
  kClicked,  // a click: the caret goes where the user clicked
};

// How the widget shows what the editor decides.
class FieldView {
 public:
  virtual ~FieldView() = default;
  // Set the control's text (code page 1253). The editor ignores the text
  // change this causes.
  virtual void ShowText(std::string_view text) = 0;
  // Caret after `pos` characters.
  virtual void SetCaret(int /*pos*/) {}
  // Select the whole text.
  virtual void SelectAll() {}
};

class FieldEditor {
 public:
  explicit FieldEditor(const EditorContext& context) : ctx_(context) {}

  void set_view(FieldView* view) { view_ = view; }
  const FieldBinding& binding() const { return binding_; }
  // The last accepted text: what the control shows while no keystroke is
  // being judged.
  const std::string& text() const { return text_; }

  // Stores the binding and shows the bound value (Load).
  void Bind(const FieldBinding& binding);
  // Formats the bound value and shows it.
  void Load();

  // Key filter (before the key reaches the edit control). Runs record
  // navigation for Page Up/Down and the search jump for F1.
  KeyAction OnKeyDown(Key key);
  // Judges a changed text.
  Verdict OnTextChanged(std::string_view text);
  // The same for the toolkit's text; a character code page 1253 cannot hold
  // is refused like any other bad keystroke.
  Verdict OnTextChangedUtf8(std::string_view utf8);

  // Focus lost: normalise, show and store the text.
  void Commit();
  // Focus gained: the logo panel's refresh and the list fill. Unless a
  // click brought it, the field then selects its whole text, so the next
  // key replaces the value instead of adding to it (as dialogs of the
  // platform have always done).
  void OnFocusGained(FocusCause cause = FocusCause::kMoved);
  void OnMouseMove();
  // Left button released: a field narrower than 4 characters selects its
  // whole text, so the next key replaces it.
  void OnLeftButtonUp();
  // True when the double click was taken (items panel: to the search).
  bool OnDoubleClick();

 private:
  enum class EditState : std::uint8_t { kIdle, kTyping, kLoading };

  bool IsNumber() const;
  bool CheckCharacter(std::string_view text, std::size_t p, int c) const;
  bool CheckValue(std::string_view text) const;
  void Show(const std::string& text);
  Verdict Reject(std::size_t p);
  std::string Normalise(std::string text);
  void Store(const std::string& text);
  void Navigate(bool down);
  // Fills the panel's list with this field's table (or refreshes the shown
  // item's row), as gaining the focus does.
  void FillOwnList();

  EditorContext ctx_;
  FieldBinding binding_;
  std::string text_;
  EditState state_ = EditState::kIdle;
  FieldView* view_ = nullptr;
};

// ---- Bound check box and action button ------------------------------------------

class CheckView {
 public:
  virtual ~CheckView() = default;
  virtual void ShowChecked(bool checked) = 0;
};

class CheckBox {
 public:
  explicit CheckBox(const EditorContext& context) : ctx_(context) {}
  void set_view(CheckView* view) { view_ = view; }
  const CheckBinding& binding() const { return binding_; }

  // Stores the binding and shows the check mark from the target.
  void Bind(const CheckBinding& binding);
  bool checked() const { return checked_; }
  // A click that left the box `checked` (buttons: a press).
  void OnClick(bool checked);
  void OnMouseMove();

 private:
  EditorContext ctx_;
  CheckBinding binding_;
  bool checked_ = false;
  CheckView* view_ = nullptr;
};

// ---- Helpers ------------------------------------------------------------

// The code page 1253 form of text typed into a widget, or nothing when a
// character has no byte in code page 1253 (the keystroke is refused).
std::optional<std::string> TypedText(std::string_view utf8);

// The value of the decimal digits of text, every other character skipped,
// held at `cap` instead of wrapping (so a long run of digits is never taken
// for a small number).
std::int64_t DigitsValue(std::string_view text, std::int64_t cap = 999999999999);

// Selected number and table size of a list group (1..5, 7); nullptr / 0
// for others.
std::uint16_t* SelectedOf(DataImage& image, int group);
int TableSize(int group);

}  // namespace zel::editors
