// What every editor panel is made of, as data: a table of controls (id,
// label, binding, help number), and a panel model that owns one FieldEditor
// or CheckBox per control, binds them to the records the panel shows and
// implements the PanelHooks its fields call.
//
// A widget builds itself from the table (one edit per kField, one check box
// per kCheckBox, ...), connects each edit to model.field(id) and each box to
// model.box(id), and implements PanelView for what only it can do: lists,
// focus, static texts, dialogs. The model never waits on the view.
//
// Single-threaded: user-interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_image.h"
#include "core/user_interface.h"
#include "editors/csv.h"
#include "editors/field_edit.h"
#include "editors/lists.h"

namespace zel::editors {

enum class ControlType : std::uint8_t {
  kField,          // field edit control (FieldEditor)
  kCheckBox,       // bound check box (CheckBox)
  kButton,         // action button (CheckBox without target; size_class = action code)
  kCommand,        // push button with a command of its own panel (not an action code)
  kAddress,        // IPv4 address control: four octets at ref
  kStatic,         // text the panel sets (names, list header)
  kList,           // the panel's list box
  kSearch,         // the items panel's search entry
  kDefaultButton,  // hidden default push button (Enter)
  kGroup,          // a group box the panel draws in (the logo preview)
};

// Where a control's bytes live, independent of which record is shown.
enum class Where : std::uint8_t {
  kNone,
  kParameters,
  kItem,
  kPayment,
  kVatRate,
  kCategory,
  kDepartment,
  kOperator,
  kCustomer,
  kCustomerMessage,  // run-time customer message line `record`
  kSelection,        // the selected number of list group `record`
};

struct FieldRef {
  Where where = Where::kNone;
  int record = -1;           // fixed record; -1 = the table's selected record
  std::uint16_t offset = 0;  // within the record
  std::uint16_t size = 0;    // bytes
  std::int16_t second = -1;  // offset of the second target within the record
};

struct ControlSpec {
  int id = 0;
  ControlType type = ControlType::kField;
  std::string_view label;  // UTF-8; empty when the control has none
  FieldKind kind = FieldKind::kText;
  std::uint8_t width = 0;
  std::uint8_t first = 0;
  std::uint8_t second = 0;
  FieldRef ref;
  int list_group = 0;
  bool has_list = false;
  int upper_bound = 0;
  int help = 0;
  int size_class = 0;  // check box: 0 byte, 1 u16, 2 u32; button: action code
  int bit = 0;         // check box: bit number or kWholeByte
  int group = 0;       // items 7; other data 1..6; parameters column 1..3; logo 1 logo / 2 header-footer
};

// Table builders, so each panel's table reads one control per line.
constexpr FieldRef Ref(Where where, std::size_t offset, std::size_t size, int second = -1, int record = -1) {
  return {where, record, static_cast<std::uint16_t>(offset), static_cast<std::uint16_t>(size),
          static_cast<std::int16_t>(second)};
}
constexpr FieldRef SelectionRef(int group) { return {Where::kSelection, group, 0, 2, -1}; }

constexpr ControlSpec FieldSpec(int id, std::string_view label, FieldKind kind, int width, int first, int second,
                                FieldRef ref, int upper_bound, int help, int group, int list_group = 0,
                                bool has_list = false) {
  ControlSpec c;
  c.id = id;
  c.type = ControlType::kField;
  c.label = label;
  c.kind = kind;
  c.width = static_cast<std::uint8_t>(width);
  c.first = static_cast<std::uint8_t>(first);
  c.second = static_cast<std::uint8_t>(second);
  c.ref = ref;
  c.upper_bound = upper_bound;
  c.help = help;
  c.group = group;
  c.list_group = list_group;
  c.has_list = has_list;
  return c;
}

// A bound check box; the size class follows the bytes of ref (1, 2 or 4).
constexpr ControlSpec CheckSpec(int id, std::string_view label, FieldRef ref, int bit, int help, int group) {
  ControlSpec c;
  c.id = id;
  c.type = ControlType::kCheckBox;
  c.label = label;
  c.ref = ref;
  c.size_class = ref.size >= 4 ? 2 : ref.size == 2 ? 1 : 0;
  c.bit = bit;
  c.help = help;
  c.group = group;
  return c;
}

constexpr ControlSpec ButtonSpec(int id, std::string_view label, int action, int help, int group) {
  ControlSpec c;
  c.id = id;
  c.type = ControlType::kButton;
  c.label = label;
  c.size_class = action;
  c.help = help;
  c.group = group;
  return c;
}

constexpr ControlSpec OtherSpec(int id, ControlType type, std::string_view label, int help, int group,
                                FieldRef ref = {}) {
  ControlSpec c;
  c.id = id;
  c.type = type;
  c.label = label;
  c.help = help;
  c.group = group;
  c.ref = ref;
  return c;
}

// The bytes a reference names in the image (the record shown now).
Bytes ResolveBytes(DataImage& image, const FieldRef& ref);
FieldBinding ResolveField(DataImage& image, const ControlSpec& control);
CheckBinding ResolveCheck(DataImage& image, const ControlSpec& control);

// What the panel's widget does for the model.
class PanelView {
 public:
  virtual ~PanelView() = default;
  // Fill the list: content.rows rows from ListRow(image, content.group, i),
  // the header, and select content.selected. Rows are read on demand.
  virtual void ShowList(const ListContent& /*content*/) {}
  // Build row `row` again from ListRow and select it.
  virtual void ReplaceListRow(int /*row*/) {}
  // Move the highlight; this must not count as the user's selection.
  virtual void SelectListRow(int /*row*/) {}
  virtual void SetListHeader(std::string_view /*cp1253*/) {}
  // Static texts beside fields (department / category names), code page 1253.
  virtual void SetStaticText(int /*id*/, std::string_view /*cp1253*/) {}
  // Move the input focus; the widgets' focus events then reach the model.
  virtual void Focus(int /*id*/) {}
  // Move the input focus to the next control in tab order.
  virtual void FocusNext() {}
  // Hide the list and draw "ΠΑΡΑΚΑΛΩ ΠΕΡΙΜΕΝΕΤΕ..." where it was; empty it
  // when asked. EndWait shows the list again.
  virtual void BeginWait(bool /*empty_list*/) {}
  virtual void EndWait() {}
  // The CSV options dialog (items import and export); nothing when cancelled.
  virtual std::optional<CsvOptions> AskCsvOptions(bool /*import*/, const std::string& /*path*/) { return std::nullopt; }
  // Repaint the panel (logo preview).
  virtual void Repaint() {}
  // Ask the main window for another panel.
  virtual void SwitchPanel(int /*panel*/) {}
};

inline constexpr std::string_view kWaitText = "ΠΑΡΑΚΑΛΩ ΠΕΡΙΜΕΝΕΤΕ...";

class PanelModel : public PanelHooks {
 public:
  PanelModel(DataImage& image, UserInterface& ui, EditorShared& shared, int panel,
             std::span<const ControlSpec> controls);
  PanelModel(const PanelModel&) = delete;
  PanelModel& operator=(const PanelModel&) = delete;

  void set_view(PanelView* view) { view_ = view; }
  std::span<const ControlSpec> controls() const { return controls_; }
  const ControlSpec* control_spec(int id) const;
  // The editor or box of control `id`; nullptr for other controls.
  FieldEditor* field(int id);
  CheckBox* box(int id);
  DataImage& image() { return *context_.image; }
  EditorShared& shared() { return *context_.shared; }

 protected:
  // Bind (again) every field and box whose control passes `which`.
  template <class Pred>
  void BindWhere(Pred which) {
    for (std::size_t i = 0; i < controls_.size(); ++i)
      if (which(controls_[i])) BindAt(i);
  }
  void BindId(int id);
  void BindAt(std::size_t i);
  PanelView& view() { return view_ ? *view_ : null_view_; }
  // A panel is shown: no field is being typed in.
  void ResetStatusHelp();

  EditorContext context_;

 private:
  std::span<const ControlSpec> controls_;
  std::vector<std::unique_ptr<FieldEditor>> fields_;  // parallel to controls_
  std::vector<std::unique_ptr<CheckBox>> boxes_;      // parallel to controls_
  PanelView* view_ = nullptr;
  PanelView null_view_;
};

}  // namespace zel::editors
