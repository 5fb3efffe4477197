#include "editors/help_texts.h"

#include <array>

namespace zel::editors {
namespace {

constexpr auto kTexts = [] {
  std::array<std::string_view, kHelpCount> t{};
  t[kHelpItemNumber] = "Εισάγετε αριθμό είδους ή επιλέξτε ένα είδος από τη λίστα";
  t[kHelpItemName] = "Είδος (σύντομη) περιγραφή - έως 32 χαρακτήρες";
  t[kHelpItemBarcode] = "Αριθμός barcode ή αποθήκης - 8 έως 13 ψηφία. Μπορεί να εισαχθεί με barcode scanner";
  t[kHelpItemPrice] = "Προεπιλεγμένη τιμή";
  t[kHelpCategoryIndex] = "Ανήκει στην κατηγορία Νο...";
  t[kHelpDepartmentIndex] = "Ανήκει στο τμήμα Νο...";
  t[kHelpFromScale] = "Αυτοματη ποσοτητα απο ζυγαρια";
  t[kHelpFindEmpty] = "Εύρεση και φόρτωση της πρώτης κενής εγγραφής για ένα νέο είδος";
  t[kHelpImportItems] = "ΕΙΣΑΓΩΓΗ ΕΙΔΩΝ ΑΠΟ ΑΡΧΕΙΟ CSV";
  t[kHelpExportItems] = "ΕΞΑΓΩΓΗ ΕΙΔΩΝ ΣΕ ΑΡΧΕΙΟ CSV";
  t[kHelpItemsList] = "Κάντε κλικ ή πατήστε F1 για αλφαβητική αναζήτηση - διπλό κλικ για επιλογή";
  t[kHelpSearch] = "Εισάγετε λέξη, SPACE για μετάβαση στην επόμενη λέξη, '~' για μια κενή εγγραφή";

  t[kHelpPaymentNumber] = "Εισάγετε αριθμό τρόπου πληρωμής η επιλέξτε τρόπο πληρωμής από τη λίστα";
  t[kHelpPaymentName] = "Περιγραφή πληρωμής - έως 12 χαρακτήρες";
  t[kHelpCategoryNumber] = "Εισάγετε αριθμό κατηγορίας ή επιλέξτε κατηγορία από τη λίστα";
  t[kHelpCategoryName] = "Περιγραφή κατηγορίας - έως 12 χαρακτήρες";
  t[kHelpOperatorNumber] = "Εισάγετε αριθμό χειριστή ή επιλέξτε χειριστή από τη λίστα";
  t[kHelpOperatorName] = "Όνομα χειριστή - Έως 12 χαρακτήρες";
  t[kHelpOperatorCode] = "Κωδικός χειριστή (1...6 ψηφία) ";
  t[kHelpDepartmentNumber] = "Εισάγετε αριθμό τμήματος ή επιλέξτε τμήμα από τη λίστα";
  t[kHelpDepartmentName] = "Περιγραφή τμήματος - Έως 12 χαρακτήρες";
  t[kHelpDepartmentPrice] = "Σταθερή τιμή τμήματος";
  t[kHelpDepartmentLimit] = "Όριο στο τμήμα";
  t[kHelpDepartmentVat] = "ΦΠΑ (1=Α, 2=Β, 3=Γ, 4=Δ, 5=Ε)";
  t[kHelpClosesReceipt] = "Κλεισιμο Αποδειξης";
  t[kHelpCustomer] = "Περιγραφη του Πελατη";
  t[kHelpImportCustomers] = "ΕΙΣΑΓΩΓΗ ΠΕΛΑΤΩΝ ΑΠΟ ΑΡΧΕΙΟ CSV";
  t[kHelpExportCustomers] = "ΕΞΑΓΩΓΗ ΠΕΛΑΤΩΝ ΣΕ ΑΡΧΕΙΟ CSV";
  t[kHelpVatRate] = "ΦΠΑ της Κατηγορίας (ποσοστό με δύο δεκαδικά)";

  t[kHelpMachineNumber] = "Αρ. μηχανής (αν υπάρχουν περισσότερες από 1 ΦΗΜ)";
  t[kHelpReceiptLimit] = "ΟΡΙΟ ΑΠΟΔΕΙΞΗΣ";
  t[kHelpAskOperator] = "Ερώτηση κωδ.χειριστή σε λειτ. πωλήσεων";
  t[kHelpDecimalPoint] = "Εισαγωγή ποσών με/χωρίς υποδιαστολή";
  t[kHelpKeySound] = "Ηχος στο πάτημα των πλήκτρων";
  t[kHelpTotalQuantity] = "Συνολικη ποσοτητα τυπωμενων υλων στο τελος της αποδειξης";
  t[kHelpDepartmentReport] = "Αναφορα τμηματων";
  t[kHelpItemReport] = "Ενεργοποίηση αναφοράς ειδών";
  t[kHelpCustomerCard] = "Περιλαμβάνεται κάρτα πελάτη στην απόδειξη";
  t[kHelpDateAfter] = "Εμφανίζει ημερομηνίας/ώρας μετά:0=όχι,1=2λεπτα,2=5λεπτα,3=10λεπτα";
  t[kHelpPlusKey] = "0=προσαυξηση, 1=τμημα";
  t[kHelpMinusKey] = "0=εκπτωση, 1=τμημα";
  t[kHelpScale] = "Ζυγαρια: 0=οχι, 1=CAS πρωτοκολλο, 2=Delmac πρωτοκολλο, 3=Διαλογος 2 πρωτοκολλο";
  t[kHelpBacklight] = "0=Παντα κλειστος,1= Κλειστος με την μπαταρια,2=Αυτομ.Κλειστος,3=Παντα ανοικτος";
  t[kHelpContrast] = "ΑΝΤΙΘΕΣΗ ΕΠΙΔΕΙΞΗΣ:0=σκοτάδι - 7=φωτεινός";
  t[kHelpDensity] = "ΤΥΠΩΜΕΝΟ ΚΕΙΜΕΝΟ: 0= ελαφρύ - 7= βαρύς";
  t[kHelpMonthlyReport] = "0=οχι, 1=ΤΜ, 2=ΤΜ/ΦΜ";
  t[kHelpAutomaticZ] = "Λευκη γραμματοσειρα στην μπαταρια";
  t[kHelpComDevice] = "0=οχι, 1=PC,2=barcode, 3=ζυγαρια, 4=αν.καρτων, 5=οθονης πελ., 6=POS";
  t[kHelpComSpeed] = "0=9600, 1=19200,2=57600, 3=115200";
  t[kHelpUsbDevice] = "0=οχι, 1=barcode, 2=αν.καρτων, 3=πληκτρολ.";
  t[kHelpPcLink] = "Σύνδεση στο Η/Υ: 0=οχι, 1=COM, 2=USB, 3=LAN";
  t[kHelpTaxAuthorityLink] = "ΣΥΝΔΕΣΗ Α.Α.Δ.Ε.";
  t[kHelpServerTime] = "Ημερομηνια/ωρα απο server";
  t[kHelpReceiptCopy] = "Αντιγραφο αποδειξης";
  t[kHelpSummerTime] = "Αυτοματη θερινη/χειμερινη ωρα";
  t[kHelpPosLink] = "Συνδεση στο POS: 0=οχι, 1=COM, 2=LAN";
  t[kHelpPosReports] = "Εκτυπωση αναφορων POS";
  t[kHelpBarcodeFormat] = "nn-xyz: nn=εναρξη, x=0/1 περιλ., y=0-3 ποσοτητα/4 τιμη, z=μηκος";
  t[kHelpTaxAuthorityUrl] = "URL ΑΑΔΕ - 48 ψηφία";
  t[kHelpQrUrl] = "URL QR barc.-48 ψηφία";
  t[kHelpAesKeyUrl] = "URL κλειδι AES-48 ψηφία";
  t[kHelpEftPosKeyUrl] = "URL κλειδι EFT-POS-48 ψηφία";
  t[kHelpFirmwareUrl] = "URL Firmware -32 ψηφία";
  t[kHelpTechnicianCode] = "Κωδικός εισόδου σε Προγραμματισμό (1...6 ψηφία)";
  t[kHelpAesKey] = "ΑΑΔΕ-κλειδι AES-48 ψηφία";

  t[kHelpFiscalLogoLine] = "Φορολογικό λογότυπο - Επωνυμία, Διεύθυνση, ΑΦΜ κλπ";
  t[kHelpFiscalLogoSize] = "Μέγεθος γραψίματος 1-4";
  t[kHelpHeaderFooterLine] = "Κεφαλίδα/Υποσέλιδο";
  t[kHelpHeaderFooterSize] = "Μέγεθος γραψίματος 1/2=κανονικο πλατος;3/4=διπλο πλατος;5/6=εικονα";
  return t;
}();

}  // namespace

std::string_view HelpText(int n) {
  return n > 0 && n < kHelpCount ? kTexts[static_cast<std::size_t>(n)] : std::string_view{};
}

}  // namespace zel::editors
