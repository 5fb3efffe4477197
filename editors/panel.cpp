#include "editors/panel.h"

#include <algorithm>

namespace zel::editors {
namespace {

int SelectedRecord(const DataImage& image, Where where) {
  const Selection& s = image.state.selected;
  switch (where) {
    case Where::kItem: return s.item;
    case Where::kPayment: return s.payment;
    case Where::kCategory: return s.category;
    case Where::kDepartment: return s.department;
    case Where::kOperator: return s.op;
    case Where::kCustomer: return s.customer;
    default: return 0;
  }
}

Block BlockOf(Where where) {
  switch (where) {
    case Where::kItem: return Block::kItems;
    case Where::kPayment: return Block::kPayments;
    case Where::kVatRate: return Block::kVatRates;
    case Where::kCategory: return Block::kCategories;
    case Where::kDepartment: return Block::kDepartments;
    case Where::kOperator: return Block::kOperators;
    case Where::kCustomer: return Block::kCustomers;
    default: return Block::kParameters;
  }
}

}  // namespace

Bytes ResolveBytes(DataImage& image, const FieldRef& ref) {
  switch (ref.where) {
    case Where::kNone:
    case Where::kSelection: return {};
    case Where::kCustomerMessage: {
      auto& line = image.state.customer_message[static_cast<std::size_t>(ref.record == 1 ? 1 : 0)];
      return Bytes(line).subspan(ref.offset, std::min<std::size_t>(ref.size, line.size() - ref.offset));
    }
    case Where::kParameters: return image.block(Block::kParameters).subspan(ref.offset, ref.size);
    default: {
      const Block block = BlockOf(ref.where);
      const int record = ref.record >= 0 ? ref.record : SelectedRecord(image, ref.where);
      const int records = static_cast<int>(Info(block).records);
      return image.record(block, std::clamp(record, 0, records - 1)).subspan(ref.offset, ref.size);
    }
  }
}

FieldBinding ResolveField(DataImage& image, const ControlSpec& control) {
  FieldBinding b;
  b.kind = control.kind;
  b.width = control.width;
  b.first = control.first;
  b.second = control.second;
  b.list_group = control.list_group;
  b.has_list = control.has_list;
  b.upper_bound = control.upper_bound;
  b.help = control.help;
  if (control.ref.where == Where::kSelection) {
    b.selected = SelectedOf(image, control.ref.record);
  } else {
    b.target = ResolveBytes(image, control.ref);
    if (control.ref.second >= 0) {
      FieldRef second = control.ref;
      second.offset = static_cast<std::uint16_t>(control.ref.second);
      second.size = 1;
      b.second_target = ResolveBytes(image, second).data();
    }
  }
  return b;
}

CheckBinding ResolveCheck(DataImage& image, const ControlSpec& control) {
  CheckBinding b;
  b.target = ResolveBytes(image, control.ref);
  b.size_class = control.size_class;
  b.bit = control.bit;
  b.help = control.help;
  return b;
}

PanelModel::PanelModel(DataImage& image, UserInterface& ui, EditorShared& shared, int panel,
                       std::span<const ControlSpec> controls)
    : controls_(controls) {
  context_.image = &image;
  context_.ui = &ui;
  context_.shared = &shared;
  context_.hooks = this;
  context_.panel = panel;
  fields_.resize(controls.size());
  boxes_.resize(controls.size());
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].type == ControlType::kField) fields_[i] = std::make_unique<FieldEditor>(context_);
    if (controls[i].type == ControlType::kCheckBox || controls[i].type == ControlType::kButton)
      boxes_[i] = std::make_unique<CheckBox>(context_);
  }
}

const ControlSpec* PanelModel::control_spec(int id) const {
  for (const ControlSpec& c : controls_)
    if (c.id == id) return &c;
  return nullptr;
}

FieldEditor* PanelModel::field(int id) {
  for (std::size_t i = 0; i < controls_.size(); ++i)
    if (controls_[i].id == id) return fields_[i].get();
  return nullptr;
}

CheckBox* PanelModel::box(int id) {
  for (std::size_t i = 0; i < controls_.size(); ++i)
    if (controls_[i].id == id) return boxes_[i].get();
  return nullptr;
}

void PanelModel::BindAt(std::size_t i) {
  if (fields_[i]) fields_[i]->Bind(ResolveField(*context_.image, controls_[i]));
  if (boxes_[i]) boxes_[i]->Bind(ResolveCheck(*context_.image, controls_[i]));
}

void PanelModel::BindId(int id) {
  for (std::size_t i = 0; i < controls_.size(); ++i)
    if (controls_[i].id == id) BindAt(i);
}

void PanelModel::ResetStatusHelp() {
  context_.shared->status_help = 0;
  ClearHelpLine(*context_.shared, *context_.ui);
}

}  // namespace zel::editors
