// The other-data panel model: its groups bound to the selected records, the
// shared list and its focus rules, the Enter chain, record navigation, the
// department check boxes and the customers CSV buttons.
#include "editors/other_panel.h"

#include <gtest/gtest.h>

#include <fstream>
#include <utility>

#include "harness.h"

namespace zel::editors {
namespace {

using test::FakePanel;
using test::Greek;

class OtherPanelTest : public ::testing::Test {
 protected:
  OtherPanelTest() : panel_(image_, ui_, shared_), view_(panel_) {
    view_.on_focus_in[kSharedList] = [this] { panel_.OnListFocusGained(); };
    view_.on_focus_out[kSharedList] = [this] { panel_.OnListFocusLost(); };
  }
  void Retype(int id, std::string_view text) {
    view_.Focus(id);
    auto& e = view_.edit(id);
    e.SelectAll();
    e.Press(Key::kBackspace);
    e.Type(text);
  }

  DataImage image_;
  zel::test::ScriptedUi ui_;
  EditorShared shared_;
  OtherDataPanel panel_;
  FakePanel view_;
};

TEST_F(OtherPanelTest, ShownWithEveryGroupsRecordAndTheFocusOnPayments) {
  image_.state.selected.department = 6;
  panel_.Show();
  EXPECT_EQ(view_.focused, kPaymentNumber);
  EXPECT_EQ(view_.edit(kPaymentName).text, Greek("ΜΕΤΡΗΤΑ"));
  EXPECT_EQ(view_.edit(kDepartmentNumber).text, "7");
  EXPECT_EQ(view_.edit(kDepartmentName).text, Greek("ΤΜΗΜΑ  7"));
  EXPECT_EQ(view_.edit(kDepartmentLimit).text, "0,01");
  EXPECT_EQ(view_.edit(kDepartmentVat).text, "5");
  EXPECT_EQ(view_.edit(kVatC).text, "24,00");
  EXPECT_EQ(view_.list.header, Greek("Πληρωμή:"));
  EXPECT_EQ(view_.list.rows, 5);
  EXPECT_FALSE(image_.state.modified);
}

TEST_F(OtherPanelTest, ListRowsPerGroup) {
  StoreText(image_.customer(0).company(), Greek("ΨΗΤΟΠΩΛΕΙΟ"));
  EXPECT_EQ(ListRow(image_, kGroupPayments, 0), Greek("1 ΜΕΤΡΗΤΑ      "));
  EXPECT_EQ(ListRow(image_, kGroupPayments, 3), "4 ") << "an empty name ends the row after the blank";
  EXPECT_EQ(ListRow(image_, kGroupCategories, 8), Greek(" 9 ΚΑΤΗΓΟΡΙΑ  9"));
  EXPECT_EQ(ListRow(image_, kGroupOperators, 24), Greek("25 ΧΕΙΡΙΣΤΗΣ 25"));
  EXPECT_EQ(ListRow(image_, kGroupDepartments, 23), Greek("24 ΤΜΗΜΑ 24") + std::string(19, ' '));
  EXPECT_EQ(ListRow(image_, kGroupCustomers, 0), Greek("   1 ΨΗΤΟΠΩΛΕΙΟ") + std::string(22, ' '));
  EXPECT_EQ(ListRow(image_, kGroupCustomers, 999), "1000 ");
  const std::pair<int, const char*> headers[] = {{kGroupPayments, "Πληρωμή:"},
                                                 {kGroupCategories, "Κατηγορίες:"},
                                                 {kGroupOperators, "Χειριστές:"},
                                                 {kGroupDepartments, "Τμήματα:"},
                                                 {kGroupCustomers, "Πελατη"}};
  for (const auto& [g, h] : headers) EXPECT_EQ(ListHeader(g), Greek(h)) << g;
}

TEST_F(OtherPanelTest, ClickingTheSharedListMovesTheGroupsRecordOnlyWhileItHasTheFocus) {
  image_.state.selected.department = 2;
  panel_.Show();
  view_.Focus(kDepartmentName);
  EXPECT_EQ(view_.list.group, kGroupDepartments);
  EXPECT_EQ(view_.list.rows, 24);
  EXPECT_EQ(view_.list.header, Greek("Τμήματα:"));
  EXPECT_EQ(view_.selected_row, 2);

  panel_.OnListSelectionChanged(6);  // the program moved the highlight: not the user's choice
  EXPECT_EQ(image_.state.selected.department, 2);

  view_.Focus(kSharedList);
  panel_.OnListSelectionChanged(6);
  EXPECT_EQ(image_.state.selected.department, 6);
  EXPECT_EQ(view_.edit(kDepartmentNumber).text, "7");
  EXPECT_EQ(view_.edit(kDepartmentName).text, Greek("ΤΜΗΜΑ  7"));
  EXPECT_EQ(image_.state.selected.payment, 0) << "other groups keep their records";

  view_.Focus(kVatA);  // leaving the list by a click elsewhere
  EXPECT_EQ(view_.focused, kDepartmentNumber);
  EXPECT_EQ(shared_.list_group, kGroupDepartments) << "the number field filled the list again";
  EXPECT_FALSE(shared_.list_has_focus);
}

TEST_F(OtherPanelTest, TypingARecordNumberOutsideItsTableIsRefused) {
  panel_.Show();
  auto& number = view_.edit(kPaymentNumber);
  number.SelectAll();
  number.Type("6");
  EXPECT_EQ(number.text, "1");
  EXPECT_EQ(ui_.beeps.size(), 1u);
  number.SelectAll();
  number.Type("3");
  EXPECT_EQ(view_.selected_row, 2);
  view_.Focus(kPaymentName);
  EXPECT_EQ(image_.state.selected.payment, 2);
  EXPECT_EQ(view_.edit(kPaymentName).text, Greek("ΕΠΙΤΑΓΗ"));
}

TEST_F(OtherPanelTest, EnterFollowsEachGroupsChain) {
  const std::vector<std::vector<int>> chains = {
      {kPaymentNumber, kPaymentName},
      {kCategoryNumber, kCategoryName},
      {kOperatorNumber, kOperatorName, kOperatorCode},
      {kDepartmentNumber, kDepartmentName, kDepartmentPrice, kDepartmentLimit, kDepartmentClosesReceipt,
       kDepartmentFromScale, kDepartmentVat, kDepartmentCategory},
      {kCustomerNumber, kCustomerTaxNumber, kCustomerPhone, kCustomerCompany, kCustomerProfession, kCustomerAddress,
       kCustomerTaxOffice},
      {kVatA, kVatB, kVatC, kVatD},
  };
  panel_.Show();
  for (const auto& chain : chains) {
    view_.Focus(chain.front());
    for (std::size_t k = 1; k <= chain.size(); ++k) {
      panel_.OnEnter(view_.focused);
      EXPECT_EQ(view_.focused, chain[k % chain.size()]) << "after " << chain[k - 1];
    }
  }
  EXPECT_FALSE(NextInEnterChain(kCustomerImport).has_value());
}

TEST_F(OtherPanelTest, FieldsStoreIntoTheirGroupsRecord) {
  image_.state.selected = {0, 4, 2, 3, 1, 7};  // item, department, category, operator, payment, customer
  panel_.Show();
  const std::pair<int, std::string> edits[] = {
      {kPaymentName, "VISA"},
      {kCategoryName, "SNACK"},
      {kOperatorName, "NIKOS"},
      {kOperatorCode, "4321"},
      {kDepartmentName, "BAR"},
      {kDepartmentPrice, "2,5"},
      {kDepartmentLimit, "100"},
      {kDepartmentVat, "5"},
      {kDepartmentCategory, "30"},
      {kCustomerTaxNumber, "123456789"},
      {kCustomerPhone, "2101234567"},
      {kCustomerCompany, "ACME"},
      {kCustomerProfession, "SHOP"},
      {kCustomerAddress, "ODOS 1"},
      {kCustomerTaxOffice, "A ATHINON"},
      {kVatB, "13,5"},
  };
  for (const auto& [id, text] : edits) Retype(id, text);
  view_.Focus(kPaymentNumber);

  EXPECT_EQ(TextOf(image_.payment(1)), "VISA");
  EXPECT_EQ(TextOf(image_.category(2)), "SNACK");
  EXPECT_EQ(TextOf(image_.op(3).name()), "NIKOS");
  EXPECT_EQ(image_.op(3).code(), 4321);
  const ConstDepartment d = std::as_const(image_).department(4);
  EXPECT_EQ(TextOf(d.name()), "BAR");
  EXPECT_EQ(d.fixed_price(), 250);
  EXPECT_EQ(d.price_decimals(), 2);
  EXPECT_EQ(d.limit(), 10000);
  EXPECT_EQ(d.vat(), 4) << "VAT 5 (Ε) is index 4";
  EXPECT_EQ(d.category(), 29);
  const ConstCustomer c = std::as_const(image_).customer(7);
  EXPECT_EQ(c.tax_number(), 123456789);
  EXPECT_EQ(TextOf(c.phone()), "2101234567");
  EXPECT_EQ(TextOf(c.company()), "ACME");
  EXPECT_EQ(TextOf(c.profession()), "SHOP");
  EXPECT_EQ(TextOf(c.address()), "ODOS 1");
  EXPECT_EQ(TextOf(c.tax_office()), "A ATHINON");
  EXPECT_EQ(image_.vat_rate(1), 1350);
  EXPECT_EQ(image_.vat_rate(0), 600);
  EXPECT_EQ(TextOf(image_.payment(0)), Greek("ΜΕΤΡΗΤΑ")) << "the record beside is untouched";
  EXPECT_TRUE(image_.customer(6).empty());
}

TEST_F(OtherPanelTest, VatFieldsFormAndStoreHundredths) {
  image_.department(0).set_vat(3);
  panel_.Show();
  Retype(kVatC, "24");
  view_.Focus(kVatD);
  EXPECT_EQ(view_.edit(kVatC).text, "24,00");
  EXPECT_EQ(image_.vat_rate(2), 2400);
  Retype(kDepartmentVat, "0");
  view_.Focus(kDepartmentCategory);
  EXPECT_EQ(std::as_const(image_).department(0).vat(), 0);
  const int fills = view_.list_fills;
  view_.Focus(kVatA);
  EXPECT_EQ(view_.list_fills, fills) << "VAT fields leave the list as it is";
}

TEST_F(OtherPanelTest, ClosesReceiptBoxStoresOneAndShowsTheDepartmentAgain) {
  panel_.Show();
  Retype(kDepartmentName, "NEW");
  view_.Focus(kDepartmentClosesReceipt);
  image_.state.modified = false;
  panel_.box(kDepartmentClosesReceipt)->OnClick(true);
  EXPECT_EQ(std::as_const(image_).department(0).closes_receipt(), 1);
  EXPECT_TRUE(view_.check(kDepartmentClosesReceipt).checked) << "the department is bound again";
  EXPECT_TRUE(image_.state.modified);
  EXPECT_EQ(view_.edit(kDepartmentName).text, "NEW");
  panel_.box(kDepartmentFromScale)->OnClick(true);
  panel_.box(kDepartmentFromScale)->OnClick(false);
  EXPECT_EQ(std::as_const(image_).department(0).from_scale(), 0);
}

TEST_F(OtherPanelTest, PageDownStopsAtCustomerThousand) {
  image_.state.selected.customer = 998;
  panel_.Show();
  view_.Focus(kCustomerPhone);
  view_.edit(kCustomerPhone).Press(Key::kPageDown);
  EXPECT_EQ(view_.edit(kCustomerNumber).text, "1000");
  view_.edit(kCustomerPhone).Press(Key::kPageDown);
  EXPECT_EQ(image_.state.selected.customer, 999);
  EXPECT_EQ(view_.edit(kCustomerNumber).text, "1000");
  EXPECT_EQ(view_.selected_row, 999);
  EXPECT_TRUE(ui_.beeps.empty());
  view_.Focus(kOperatorName);
  view_.edit(kOperatorName).Press(Key::kPageDown);
  EXPECT_EQ(image_.state.selected.op, 1) << "each group moves its own record";
  EXPECT_EQ(image_.state.selected.customer, 999);
}

TEST_F(OtherPanelTest, CustomersButtonsAskForTheFileAndShowTheCustomersAfter) {
  panel_.Show();
  ui_.files.push_back(std::nullopt);
  panel_.box(kCustomerImport)->OnClick(true);
  ASSERT_EQ(ui_.dialogs.size(), 1u);
  EXPECT_EQ(ui_.dialogs[0].mode, FileDialog::Mode::kOpen);
  EXPECT_EQ(ui_.dialogs[0].default_extension, ".csv");
  EXPECT_EQ(ui_.dialogs[0].filter, "ΑΡΧΕΙΟ CSV (*.csv)|*.csv||");
  EXPECT_TRUE(view_.waits.empty()) << "a cancelled dialog changes nothing";
  EXPECT_FALSE(image_.state.modified);

  const std::string path = ::testing::TempDir() + "other_panel_customers.csv";
  std::ofstream(path, std::ios::binary) << Greek("ΑΦΜ;ΕΠΟΝΥΜΙΑ;ΕΠΑΓΓΕΛΜΑ;ΔΙΕΥΘΥΝΣΗ;ΔΟΥ;ΤΗΛ\r\n")
                                        << "123456789;ACME;SHOP;ODOS 1;A;210\r\n";
  ui_.files.push_back(path);
  panel_.box(kCustomerImport)->OnClick(true);
  EXPECT_EQ(shared_.csv_path, path);
  EXPECT_EQ(view_.waits, std::vector<bool>{true});
  EXPECT_EQ(view_.wait_ends, 1);
  EXPECT_EQ(view_.list.group, kGroupCustomers);
  EXPECT_EQ(view_.list.rows, 1000);
  EXPECT_EQ(view_.focused, kCustomerNumber);
  EXPECT_EQ(view_.edit(kCustomerCompany).text, "ACME");
  EXPECT_TRUE(image_.state.modified);
  EXPECT_EQ(ui_.beeps.size(), 1u);

  ui_.files.push_back(path);
  panel_.box(kCustomerExport)->OnClick(true);
  EXPECT_EQ(ui_.dialogs.back().mode, FileDialog::Mode::kSave);
  EXPECT_TRUE(ui_.dialogs.back().overwrite_prompt);
  EXPECT_EQ(ui_.dialogs.back().initial_path, path);
  EXPECT_EQ(ui_.beeps.size(), 2u);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace zel::editors
