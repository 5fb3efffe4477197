// The other-data panel as a dealer uses it: the shared list that follows the
// focused group, its focus rules, the Enter chains, the VAT rates, the
// department check boxes and the customers CSV buttons.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QGroupBox>
#include <fstream>
#include <sstream>

#include "app/text.h"
#include "panel_fixture.h"

namespace zel::app {
namespace {

using namespace editors;
using test::Greek;
using test::PanelFixture;
using test::Q;

class OtherPanelTest : public PanelFixture {
 protected:
  void SetUp() override {
    PanelFixture::SetUp();
    if (HasFatalFailure()) return;
    Open(panel::kOtherData);
  }
  QString Header() { return panel().list_header()->text(); }
};

TEST_F(OtherPanelTest, OpensWithEveryGroupAndThePaymentsInTheList) {
  EXPECT_EQ(panel().caption(), Q("Setup ZEL - Συμπληρωματική ΒΔ "));
  EXPECT_EQ(Focused(), &F(kPaymentNumber));
  EXPECT_EQ(Header(), Q("Πληρωμή:"));
  EXPECT_EQ(panel().list()->model()->rowCount(), 5);
  EXPECT_EQ(RowText(0), Q("1 ΜΕΤΡΗΤΑ      "));
  EXPECT_EQ(F(kVatC).text(), QString("24,00"));
  EXPECT_EQ(F(kDepartmentName).text(), Q("ΤΜΗΜΑ  1"));
  QStringList titles;
  for (int g = 1; g <= 6; ++g) titles << panel().findChild<QGroupBox*>(QStringLiteral("group%1").arg(g))->title();
  EXPECT_EQ(titles,
            (QStringList{Q("Πληρωμή"), Q("Κατηγορία"), Q("Χειριστής"), Q("Τμήμα"), Q("Πελατες"), Q("Κατ.ΦΠΑ")}));
  for (const auto& [id, text] : {std::pair{kVatA, "Α"}, std::pair{kVatD, "Δ"}, std::pair{kOperatorCode, "Κωδικός"},
                                 std::pair{kDepartmentLimit, "Οριο"}, std::pair{kCustomerTaxOffice, "Δ Ο Υ"}}) {
    EXPECT_EQ(panel().label(id)->text(), Q(text));
    EXPECT_TRUE(panel().label(id)->isVisible());
  }
  EXPECT_EQ(panel().check_box(kDepartmentClosesReceipt)->text(), Q("Κλ.Αποδ."));
  EXPECT_TRUE(w().rect().contains(panel().geometry()))
      << panel().geometry().x() << "," << panel().geometry().y() << " " << panel().width() << "x" << panel().height()
      << " in " << w().width() << "x" << w().height();
  EXPECT_FALSE(image().state.modified);
}

TEST_F(OtherPanelTest, DepartmentNameFillsTheListAClickedRowShowsItsDepartmentAndLeavingGoesToTheNumber) {
  StoreText(image().department(6).name(), "BAKERY");
  image().state.selected.department = 2;
  Key(Focused(), Qt::Key_PageDown);  // payment 2: the department group is untouched
  ClickInto(kDepartmentName);
  EXPECT_EQ(Header(), Q("Τμήματα:"));
  EXPECT_EQ(panel().list()->model()->rowCount(), 24);
  EXPECT_EQ(panel().list()->selected_row(), 2);

  ClickRow(6);
  EXPECT_EQ(image().state.selected.department, 6);
  EXPECT_EQ(F(kDepartmentNumber).text(), QString("7"));
  EXPECT_EQ(F(kDepartmentName).text(), QString("BAKERY"));
  EXPECT_EQ(image().state.selected.payment, 1) << "other groups keep their records";
  EXPECT_EQ(Focused(), panel().list());

  QTest::mouseClick(&F(kVatA), Qt::LeftButton);  // leaving the list by a click elsewhere
  EXPECT_EQ(Focused(), &F(kDepartmentNumber));
  EXPECT_EQ(Header(), Q("Τμήματα:"));
  EXPECT_FALSE(w().editor_shared().list_has_focus);
  EXPECT_FALSE(image().state.modified);
}

TEST_F(OtherPanelTest, ListFollowsTheFocusedGroupAndVatFieldsLeaveItAlone) {
  const std::tuple<int, const char*, int, const char*> cases[] = {
      {kCategoryName, "Κατηγορίες:", 30, " 1 ΚΑΤΗΓΟΡΙΑ  1"},
      {kOperatorCode, "Χειριστές:", 25, " 1 ΧΕΙΡΙΣΤΗΣ  1"},
      {kCustomerPhone, "Πελατη", 1000, "   1 "},
      {kPaymentName, "Πληρωμή:", 5, "1 ΜΕΤΡΗΤΑ      "},
  };
  for (const auto& [id, header, rows, first] : cases) {
    ClickInto(id);
    EXPECT_EQ(Header(), Q(header));
    EXPECT_EQ(panel().list()->model()->rowCount(), rows);
    EXPECT_EQ(RowText(0), Q(first));
  }
  ClickInto(kVatB);
  EXPECT_EQ(Header(), Q("Πληρωμή:"));
}

TEST_F(OtherPanelTest, ProgramSelectionsNeverMoveARecordOnlyTheUsersInTheList) {
  ClickInto(kCustomerNumber);
  F(kCustomerNumber).selectAll();
  Type(&F(kCustomerNumber), "250");
  EXPECT_EQ(panel().list()->selected_row(), 249) << "the list follows the typing";
  EXPECT_EQ(image().state.selected.customer, 0) << "until the field is left";
  Key(&F(kCustomerNumber), Qt::Key_Return);
  EXPECT_EQ(image().state.selected.customer, 249);
  EXPECT_EQ(Focused(), &F(kCustomerTaxNumber));
}

TEST_F(OtherPanelTest, RecordNumberOutsideItsTableBeepsAndKeepsTheOldNumber) {
  ClickInto(kPaymentNumber);  // a one-digit field: the click selects it
  const int beeps = Beeped();
  Type(&F(kPaymentNumber), "6");
  EXPECT_EQ(F(kPaymentNumber).text(), QString("1"));
  EXPECT_EQ(Beeped(), beeps + 1);
  ClickInto(kPaymentNumber);
  Type(&F(kPaymentNumber), "3");
  EXPECT_EQ(F(kPaymentNumber).text(), QString("3"));
  Key(&F(kPaymentNumber), Qt::Key_Enter);
  EXPECT_EQ(F(kPaymentName).text(), Q("ΕΠΙΤΑΓΗ"));
}

TEST_F(OtherPanelTest, EnterFollowsTheDepartmentChainThroughItsBoxesBackToItsNumber) {
  ClickInto(kDepartmentNumber);
  const int chain[] = {kDepartmentName,      kDepartmentPrice, kDepartmentLimit,    kDepartmentClosesReceipt,
                       kDepartmentFromScale, kDepartmentVat,   kDepartmentCategory, kDepartmentNumber};
  for (const int next : chain) {
    Key(Focused(), Qt::Key_Return);
    EXPECT_EQ(FocusedId(), next);
  }
  ClickInto(kVatD);
  Key(Focused(), Qt::Key_Return);
  EXPECT_EQ(FocusedId(), kVatA);
}

// Enter selects the whole text of the field it moves to, so what is typed
// there replaces the old value: "1,50" over "0,00" is 1,50, not 1500,00,
// and a name is not appended to the old one.
TEST_F(OtherPanelTest, EnterSelectsTheNextFieldSoTypingReplacesItsValue) {
  image().department(0).set_limit(1234);
  ClickInto(kDepartmentNumber);
  Key(Focused(), Qt::Key_Return);
  const struct {
    int id;
    const char* typed;
  } typed[] = {{kDepartmentName, "ΚΡΕΑΤΑ"}, {kDepartmentPrice, "1,50"}, {kDepartmentLimit, "7,90"}};
  for (const auto& t : typed) {
    SCOPED_TRACE(t.typed);
    ASSERT_EQ(FocusedId(), t.id);
    EXPECT_EQ(F(t.id).selectedText(), F(t.id).text());
    Type(Focused(), Q(t.typed));
    Key(Focused(), Qt::Key_Return);
  }
  EXPECT_EQ(TextOf(image().department(0).name()), Greek("ΚΡΕΑΤΑ"));
  EXPECT_EQ(image().department(0).fixed_price(), 150);
  EXPECT_EQ(image().department(0).price_decimals(), 2);
  EXPECT_EQ(image().department(0).limit(), 790);

  // The same along the customers' chain and the VAT rates.
  ClickInto(kCustomerNumber);
  Key(Focused(), Qt::Key_Return);
  Type(Focused(), "123456789");
  Key(Focused(), Qt::Key_Return);
  EXPECT_EQ(image().customer(0).tax_number(), 123456789);
  ClickInto(kVatA);
  Key(Focused(), Qt::Key_Return);
  Type(Focused(), "6");
  Key(Focused(), Qt::Key_Return);
  EXPECT_EQ(image().vat_rate(1), 600);
}

TEST_F(OtherPanelTest, VatRateTypedAs24Shows24_00AndStores2400AndDepartmentVatStoresItsIndex) {
  Retype(kVatC, "24");
  Key(&F(kVatC), Qt::Key_Return);
  EXPECT_EQ(F(kVatC).text(), QString("24,00"));
  EXPECT_EQ(image().vat_rate(2), 2400);
  EXPECT_EQ(FocusedId(), kVatD);

  Retype(kDepartmentVat, "5");
  Key(Focused(), Qt::Key_Return);
  EXPECT_EQ(image().department(0).vat(), 4);
  Retype(kDepartmentVat, "0");
  Key(Focused(), Qt::Key_Return);
  EXPECT_EQ(image().department(0).vat(), 0);
}

TEST_F(OtherPanelTest, ClosesReceiptBoxStoresOneSetsTheFlagAndShowsTheDepartmentAgain) {
  QCheckBox* box = panel().check_box(kDepartmentClosesReceipt);
  EXPECT_FALSE(box->isChecked());
  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_EQ(image().department(0).closes_receipt(), 1);
  EXPECT_TRUE(image().state.modified);
  EXPECT_TRUE(box->isChecked());
  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_EQ(image().department(0).closes_receipt(), 0);

  QTest::mouseMove(box);
  EXPECT_EQ(w().help_line().text(), Q("Κλεισιμο Αποδειξης"));
  EXPECT_EQ(w().help_line().background(), QColor(240, 255, 255));
}

TEST_F(OtherPanelTest, PageDownStopsAtCustomer1000) {
  Retype(kCustomerNumber, "1000");
  ClickInto(kCustomerPhone);
  const int beeps = Beeped();
  Key(&F(kCustomerPhone), Qt::Key_PageDown);
  EXPECT_EQ(image().state.selected.customer, 999);
  EXPECT_EQ(F(kCustomerNumber).text(), QString("1000"));
  EXPECT_EQ(panel().list()->selected_row(), 999);
  EXPECT_EQ(Beeped(), beeps);
  Key(&F(kCustomerPhone), Qt::Key_PageUp);
  EXPECT_EQ(F(kCustomerNumber).text(), QString("999"));
}

// ---- Customers CSV ---------------------------------------------------------------------------

TEST_F(OtherPanelTest, CancelledCustomersImportChangesNothing) {
  image().customer(0).set_tax_number(99);
  dialogs().files.push_back(std::nullopt);
  const int beeps = Beeped();
  QTest::mouseClick(panel().button(kCustomerImport), Qt::LeftButton);
  ASSERT_EQ(dialogs().files_seen.size(), 1u);
  EXPECT_EQ(dialogs().files_seen[0].accept_mode, QFileDialog::AcceptOpen);
  EXPECT_EQ(image().customer(0).tax_number(), 99);
  EXPECT_EQ(Beeped(), beeps);
  EXPECT_FALSE(image().state.modified);
}

TEST_F(OtherPanelTest, CustomersExportedAndImportedBackComePackedWithTheEndBeep) {
  image().customer(3).set_tax_number(123456789);
  StoreText(image().customer(3).company(), Greek("ΨΗΤΟΠΩΛΕΙΟ"));
  image().customer(10).set_tax_number(42);
  const QString csv = Path("πελάτες.csv");

  dialogs().files.push_back(csv);
  int beeps = Beeped();
  QTest::mouseClick(panel().button(kCustomerExport), Qt::LeftButton);
  ASSERT_EQ(dialogs().files_seen.size(), 1u);
  EXPECT_EQ(dialogs().files_seen[0].accept_mode, QFileDialog::AcceptSave);
  EXPECT_EQ(Beeped(), beeps + 1);
  EXPECT_EQ(Focused(), &F(kCustomerNumber));
  EXPECT_EQ(Header(), Q("Πελατη"));
  EXPECT_EQ(w().notice().text(), Q("Αποθηκεύτηκε το αρχείο πελάτες.csv: 2 πελάτες"));

  // Both the panel and the table change before the import brings them back.
  for (int i = 0; i < kCustomerCount; ++i) image().customer(i).set_tax_number(0);
  dialogs().files.push_back(csv);
  beeps = Beeped();
  QTest::mouseClick(panel().button(kCustomerImport), Qt::LeftButton);
  ASSERT_EQ(dialogs().files_seen.size(), 2u);
  EXPECT_TRUE(dialogs().files_seen[1].selected.endsWith(QFileInfo(csv).fileName()))
      << "the dialog starts on the last file";
  EXPECT_TRUE(dialogs().boxes.empty());
  EXPECT_EQ(Beeped(), beeps + 1);
  EXPECT_TRUE(image().state.modified);
  EXPECT_EQ(image().customer(0).tax_number(), 123456789);
  EXPECT_EQ(TextOf(image().customer(0).company()), Greek("ΨΗΤΟΠΩΛΕΙΟ"));
  EXPECT_EQ(image().customer(1).tax_number(), 42);
  EXPECT_EQ(RowText(0), Q("   1 ΨΗΤΟΠΩΛΕΙΟ") + QString(22, ' '));
  EXPECT_EQ(F(kCustomerTaxNumber).text(), QString("123456789"));
  EXPECT_TRUE(panel().list()->isVisible());
  EXPECT_EQ(Focused(), &F(kCustomerNumber));
}

TEST_F(OtherPanelTest, WaitTextStandsOverTheEmptiedListWhileCustomersAreImported) {
  const QString csv = Path("long.csv");
  {
    std::ofstream f(csv.toStdString(), std::ios::binary);
    f << Greek("ΑΦΜ;ΕΠΩΝΥΜΙΑ;ΕΠΑΓΓΕΛΜΑ;ΔΙΕΥΘΥΝΣΗ;ΔΟΥ\r\n") << std::string(250, '9') << "\r\n7;ACME;;;\r\n";
  }
  dialogs().files.push_back(csv);
  bool list_hidden = false, wait_shown = false;
  int rows = -1;
  dialogs().on_box = [&](QMessageBox&) {  // the long-line message, in the middle of the import
    list_hidden = !panel().list()->isVisible();
    wait_shown = panel().wait_text()->isVisible();
    rows = panel().list()->model()->rowCount();
  };
  QTest::mouseClick(panel().button(kCustomerImport), Qt::LeftButton);
  ASSERT_EQ(dialogs().boxes.size(), 2u);
  EXPECT_EQ(dialogs().boxes[1].text, Q("Δεν περάστηκε 1 γραμμή του αρχείου:\n1 γραμμή: πολύ μεγάλη γραμμή"))
      << "the end of the import counts the lines left out";
  EXPECT_TRUE(list_hidden);
  EXPECT_TRUE(wait_shown);
  EXPECT_EQ(rows, 0) << "the list is emptied under the wait text";
  EXPECT_TRUE(panel().list()->isVisible());
  EXPECT_FALSE(panel().wait_text()->isVisible());
  EXPECT_EQ(panel().list()->model()->rowCount(), 1000);
  EXPECT_EQ(image().customer(0).tax_number(), 7) << "the long line used no customer";
}

TEST_F(OtherPanelTest, UnreadableCustomersFileShowsTheErrorAndKeepsTheTable) {
  image().customer(0).set_tax_number(7);
  dialogs().files.push_back(Path("missing.csv"));
  QTest::mouseClick(panel().button(kCustomerImport), Qt::LeftButton);
  ASSERT_EQ(dialogs().boxes.size(), 1u);
  EXPECT_EQ(dialogs().boxes[0].text,
            Q("Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!\nmissing.csv: δεν υπάρχει τέτοιο αρχείο"));
  EXPECT_EQ(dialogs().boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(image().customer(0).tax_number(), 7);
  EXPECT_EQ(panel().list()->model()->rowCount(), 1000) << "the list is back after the wait text";
  EXPECT_TRUE(panel().list()->isVisible());
}

}  // namespace
}  // namespace zel::app
