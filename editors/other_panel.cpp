#include "editors/other_panel.h"

#include <algorithm>
#include <array>
#include <vector>

#include "editors/help_texts.h"

namespace zel::editors {
namespace {

constexpr int kP = kGroupPayments, kC = kGroupCategories, kO = kGroupOperators, kD = kGroupDepartments,
              kK = kGroupCustomers, kV = kGroupVatRates;

constexpr ControlSpec kControls[] = {
    // Payments
    FieldSpec(kPaymentNumber, "", FieldKind::kRecordSelector, 1, 0, 0, SelectionRef(kP), kPaymentCount,
              kHelpPaymentNumber, kP, kP, true),
    FieldSpec(kPaymentName, "", FieldKind::kText, 12, 0, 0, Ref(Where::kPayment, 0, kShortNameWidth), 0,
              kHelpPaymentName, kP, kP, true),
    // Categories
    FieldSpec(kCategoryNumber, "", FieldKind::kRecordSelector, 3, 0, 0, SelectionRef(kC), kCategoryCount,
              kHelpCategoryNumber, kC, kC, true),
    FieldSpec(kCategoryName, "", FieldKind::kText, 12, 0, 0, Ref(Where::kCategory, 0, kShortNameWidth), 0,
              kHelpCategoryName, kC, kC, true),
    // Operators
    FieldSpec(kOperatorNumber, "", FieldKind::kRecordSelector, 2, 0, 0, SelectionRef(kO), kOperatorCount,
              kHelpOperatorNumber, kO, kO, true),
    FieldSpec(kOperatorName, "", FieldKind::kText, 12, 0, 0, Ref(Where::kOperator, op::kName, kShortNameWidth), 0,
              kHelpOperatorName, kO, kO, true),
    FieldSpec(kOperatorCode, "Κωδικός", FieldKind::kLongNumber, 6, 6, 0, Ref(Where::kOperator, op::kCode, 4), 0,
              kHelpOperatorCode, kO, kO, true),
    // Departments
    FieldSpec(kDepartmentNumber, "", FieldKind::kRecordSelector, 2, 0, 0, SelectionRef(kD), kDepartmentCount,
              kHelpDepartmentNumber, kD, kD, true),
    FieldSpec(kDepartmentName, "", FieldKind::kText, 26, 0, 0,
              Ref(Where::kDepartment, department::kName, department::kNameWidth), 0, kHelpDepartmentName, kD, kD, true),
    FieldSpec(kDepartmentPrice, "Τιμή", FieldKind::kPrice, 9, 6, 5,
              Ref(Where::kDepartment, department::kFixedPrice, 4, department::kPriceDecimals), 0, kHelpDepartmentPrice,
              kD, kD, true),
    FieldSpec(kDepartmentLimit, "Οριο", FieldKind::kLongNumber, 9, 6, 2, Ref(Where::kDepartment, department::kLimit, 4),
              0, kHelpDepartmentLimit, kD, kD, true),
    FieldSpec(kDepartmentVat, "ΦΠΑ", FieldKind::kIndex, 1, 0, 1, Ref(Where::kDepartment, department::kVat, 1), 5,
              kHelpDepartmentVat, kD, kD, true),
    FieldSpec(kDepartmentCategory, "Κατ.", FieldKind::kIndex, 2, 0, 1,
              Ref(Where::kDepartment, department::kCategory, 1), kCategoryCount, kHelpCategoryIndex, kD, kD, true),
    CheckSpec(kDepartmentClosesReceipt, "Κλ.Αποδ.", Ref(Where::kDepartment, department::kClosesReceipt, 1), kWholeByte,
              kHelpClosesReceipt, kD),
    CheckSpec(kDepartmentFromScale, "Αυτ.ποσ.", Ref(Where::kDepartment, department::kFromScale, 1), kWholeByte,
              kHelpFromScale, kD),
    // Customers
    FieldSpec(kCustomerNumber, "#", FieldKind::kRecordSelector, 4, 0, 0, SelectionRef(kK), kCustomerCount,
              kHelpCustomer, kK, kK, true),
    FieldSpec(kCustomerTaxNumber, "ΑΦΜ", FieldKind::kLongNumber, 9, 9, 0,
              Ref(Where::kCustomer, customer::kTaxNumber, 4), 0, kHelpCustomer, kK, kK, true),
    FieldSpec(kCustomerPhone, "Τηλεφωνο", FieldKind::kText, 16, 0, 0,
              Ref(Where::kCustomer, customer::kPhone, customer::kPhoneWidth), 0, kHelpCustomer, kK, kK, true),
    FieldSpec(kCustomerCompany, "Επωνυμια", FieldKind::kText, 32, 0, 0,
              Ref(Where::kCustomer, customer::kCompany, customer::kTextWidth), 0, kHelpCustomer, kK, kK, true),
    FieldSpec(kCustomerProfession, "Επαγγελμα", FieldKind::kText, 32, 0, 0,
              Ref(Where::kCustomer, customer::kProfession, customer::kTextWidth), 0, kHelpCustomer, kK, kK, true),
    FieldSpec(kCustomerAddress, "Διευθυνση", FieldKind::kText, 32, 0, 0,
              Ref(Where::kCustomer, customer::kAddress, customer::kTextWidth), 0, kHelpCustomer, kK, kK, true),
    FieldSpec(kCustomerTaxOffice, "Δ Ο Υ", FieldKind::kText, 32, 0, 0,
              Ref(Where::kCustomer, customer::kTaxOffice, customer::kTextWidth), 0, kHelpCustomer, kK, kK, true),
    ButtonSpec(kCustomerImport, "", kActionImportCustomers, kHelpImportCustomers, kK),
    ButtonSpec(kCustomerExport, "", kActionExportCustomers, kHelpExportCustomers, kK),
    // VAT rates: no list
    FieldSpec(kVatA, "Α", FieldKind::kShortNumber, 5, 2, 2, Ref(Where::kVatRate, 0, 2, -1, 0), 0, kHelpVatRate, kV),
    FieldSpec(kVatB, "Β", FieldKind::kShortNumber, 5, 2, 2, Ref(Where::kVatRate, 0, 2, -1, 1), 0, kHelpVatRate, kV),
    FieldSpec(kVatC, "Γ", FieldKind::kShortNumber, 5, 2, 2, Ref(Where::kVatRate, 0, 2, -1, 2), 0, kHelpVatRate, kV),
    FieldSpec(kVatD, "Δ", FieldKind::kShortNumber, 5, 2, 2, Ref(Where::kVatRate, 0, 2, -1, 3), 0, kHelpVatRate, kV),
    // Shared list and the rest
    OtherSpec(kSharedList, ControlType::kList, "", 0, 0),
    OtherSpec(kSharedListHeader, ControlType::kStatic, "", 0, 0),
    OtherSpec(kOtherNextField, ControlType::kDefaultButton, "", 0, 0),
};

const std::vector<std::vector<int>>& EnterChains() {
  static const std::vector<std::vector<int>> chains = {
      {kPaymentNumber, kPaymentName},
      {kCategoryNumber, kCategoryName},
      {kOperatorNumber, kOperatorName, kOperatorCode},
      {kDepartmentNumber, kDepartmentName, kDepartmentPrice, kDepartmentLimit, kDepartmentClosesReceipt,
       kDepartmentFromScale, kDepartmentVat, kDepartmentCategory},
      {kCustomerNumber, kCustomerTaxNumber, kCustomerPhone, kCustomerCompany, kCustomerProfession, kCustomerAddress,
       kCustomerTaxOffice},
      {kVatA, kVatB, kVatC, kVatD},
  };
  return chains;
}

}  // namespace

std::optional<int> NextInEnterChain(int focused) {
  for (const auto& chain : EnterChains()) {
    const auto it = std::find(chain.begin(), chain.end(), focused);
    if (it == chain.end()) continue;
    return std::next(it) == chain.end() ? chain.front() : *std::next(it);
  }
  return std::nullopt;
}

int NumberFieldOf(int group) {
  switch (group) {
    case kGroupPayments: return kPaymentNumber;
    case kGroupCategories: return kCategoryNumber;
    case kGroupOperators: return kOperatorNumber;
    case kGroupDepartments: return kDepartmentNumber;
    case kGroupCustomers: return kCustomerNumber;
    default: return 0;
  }
}

OtherDataPanel::OtherDataPanel(DataImage& image, UserInterface& ui, EditorShared& shared)
    : PanelModel(image, ui, shared, kPanelOtherData, Controls()) {}

std::span<const ControlSpec> OtherDataPanel::Controls() { return kControls; }

void OtherDataPanel::Show() {
  for (int g = kGroupPayments; g <= kGroupVatRates; ++g) ShowGroup(g);
  view().Focus(kPaymentNumber);
  ResetStatusHelp();
}

void OtherDataPanel::OnEnter(int focused) {
  if (const std::optional<int> next = NextInEnterChain(focused))
    view().Focus(*next);
  else
    view().FocusNext();
}

void OtherDataPanel::ShowGroup(int g) {
  const KeepUnsavedFlag kept(image());
  BindWhere([g](const ControlSpec& c) { return c.group == g; });
}

void OtherDataPanel::FillList(int g) { view().ShowList(ListFor(image(), g)); }

void OtherDataPanel::SelectListRow(int row) { view().SelectListRow(row); }

void OtherDataPanel::RunAction(int code) {
  if (code == kActionImportCustomers)
    RunCustomersCsv(true);
  else if (code == kActionExportCustomers)
    RunCustomersCsv(false);
}

void OtherDataPanel::RunCustomersCsv(bool import) {
  UserInterface& ui = *context_.ui;
  const std::optional<std::string> path = ui.ChooseFile(CsvFileDialog(import, shared().csv_path));
  if (!path) return;  // cancelled: nothing happens
  shared().csv_path = *path;
  CsvOutcome r;
  if (import) {
    // As the items panel: a refused file leaves the list as it was.
    r = ImportCustomers(image(), *path, ui, [this] { view().BeginWait(true); });
  } else {
    view().BeginWait(true);
    r = ExportCustomers(image(), *path, ui);
  }
  view().EndWait();
  if (r.show_customers) ShowGroup(kGroupCustomers);
  // The wait text emptied the list: show the customers in it again.
  shared().list_group = kGroupCustomers;
  FillList(kGroupCustomers);
  if (r.done) view().Focus(kCustomerNumber);
}

void OtherDataPanel::OnListFocusGained() {
  if (shared().list_group != kGroupNone) shared().list_has_focus = true;
}

void OtherDataPanel::OnListSelectionChanged(int row) {
  const int g = shared().list_group;
  if (!shared().list_has_focus || g < kGroupPayments || g > kGroupCustomers) return;
  if (row < 0 || row >= TableSize(g)) return;
  *SelectedOf(image(), g) = static_cast<std::uint16_t>(row);
  ShowGroup(g);
}

void OtherDataPanel::OnListFocusLost() {
  const int g = shared().list_group;
  shared().list_group = kGroupNone;
  shared().list_has_focus = false;
  if (const int number = NumberFieldOf(g)) view().Focus(number);
}

}  // namespace zel::editors
