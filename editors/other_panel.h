// The other-data panel without its window: payments, categories, operators,
// departments, customers (one selected record each) and the four VAT rates,
// sharing one list that shows whichever table's field has the focus.
//
// Shared-list rules: a field with a list group fills the list and makes
// its group current; while the list has the focus (and only then) a new
// selection moves that group's record; when the list loses the focus, the
// current group is cleared and the focus goes to that group's number field.
//
// Single-threaded: user-interface thread only.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "editors/panel.h"

namespace zel::editors {

enum OtherControl : int {
  kPaymentNumber = 200,
  kPaymentName,
  kCategoryNumber,
  kCategoryName,
  kOperatorNumber,
  kOperatorName,
  kOperatorCode,
  kDepartmentNumber,
  kDepartmentName,
  kDepartmentPrice,
  kDepartmentLimit,
  kDepartmentVat,
  kDepartmentCategory,
  kDepartmentClosesReceipt,
  kDepartmentFromScale,
  kCustomerNumber,
  kCustomerTaxNumber,
  kCustomerPhone,
  kCustomerCompany,
  kCustomerProfession,
  kCustomerAddress,
  kCustomerTaxOffice,
  kCustomerImport,
  kCustomerExport,
  kVatA,
  kVatB,
  kVatC,
  kVatD,
  kSharedList,
  kSharedListHeader,
  kOtherNextField,
};

inline constexpr std::string_view kOtherCaption = "Setup ZEL - Συμπληρωματική ΒΔ ";
// Group titles, by group number 1..6 (UTF-8).
inline constexpr std::string_view kOtherGroupTitles[] = {"",      "Πληρωμή", "Κατηγορία", "Χειριστής",
                                                         "Τμήμα", "Πελατες", "Κατ.ΦΠΑ"};

// The Enter chain: the control after `focused` in its group's order (the
// last returns to the first); nothing when `focused` is not in a chain.
std::optional<int> NextInEnterChain(int focused);
// The number field of list group g (1..5); 0 for others.
int NumberFieldOf(int group);

class OtherDataPanel : public PanelModel {
 public:
  OtherDataPanel(DataImage& image, UserInterface& ui, EditorShared& shared);

  static std::span<const ControlSpec> Controls();

  // The main window shows the panel.
  void Show();
  // Enter in control `focused` (the hidden next-field button).
  void OnEnter(int focused);

  // PanelHooks
  void ShowGroup(int g) override;
  void FillList(int g) override;
  void SelectListRow(int row) override;
  void RunAction(int code) override;

  // Shared list events.
  void OnListFocusGained();
  void OnListSelectionChanged(int row);
  void OnListFocusLost();

 private:
  void RunCustomersCsv(bool import);
};

}  // namespace zel::editors
