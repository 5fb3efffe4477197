// The data transfer panel without its window: the rules that tie its check
// boxes together, what it does on showing, the report path dialog it asks for
// and the link list it keeps. The widget (app/transfer_panel.h) only binds
// these to its controls; the transfer itself is StartTransfer and
// CheckConnection (link/transfer.h).
//
// Single-threaded: the panel's user-interface thread. Nothing here touches a
// link.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_image.h"
#include "core/user_interface.h"
#include "link/ports.h"
#include "link/settings.h"
#include "link/transfer.h"

namespace zel {

// ---- Texts and colours -------------------------------------------------------
inline constexpr std::string_view kTransferHelp =
    "Εισάγετε Αρ. Μητρ. ΦΤΜ (6 τελευτ. ψηφία,επιλέξτε τα δεδομένα,'Ανάγνωση'ή'Εγγραφή','ΕΝΑΡΞΗ'για να "
    "ξεκινήσετε,'ΑΚΥΡΩΣΗ'για διακοπή";
inline constexpr long kTransferHelpColour = 0xE0FFFF;   // light yellow, while the panel shows
inline constexpr long kTransferHoverColour = 0xFFFFFF;  // white, once the mouse moves over it
inline constexpr std::string_view kTransferTitle = "Setup ZEL - Μεταφορα δεδομενων ";
inline constexpr std::string_view kReportPathLabel = "Θεση της αναφορας";
inline constexpr std::string_view kReportPathFilter = "Setup ZEL ΑΝΑΦΟΡΕΣ(*.bin,*.txt,*.csv) |*.bin||";
inline constexpr std::string_view kReportPathDefaultName = "Αναφορες";
inline constexpr std::string_view kReadCaption = "Ανάγνωση";
inline constexpr std::string_view kWriteCaption = "Εγγραφή";
inline constexpr std::string_view kAddressLabel = "ΦΗΜ - IP#";
inline constexpr std::string_view kLinkLabel = "Σύνδ.στο ΦΗΜ";
inline constexpr std::string_view kSalesReportCaption = "Αναφορα πωλ.";
inline constexpr std::string_view kClearSalesCaption = "Διαγραφη δεδ.";
inline constexpr std::string_view kStartCaption = "ΕΝΑΡΞΗ";
inline constexpr std::string_view kCheckCaption = "ΕΛΕΓΧΟΣ ΣΥΝΔΕΣΗΣ ";
inline constexpr std::string_view kChooserCaption = ". . .";
inline constexpr std::array<std::string_view, 2> kBaudEntries = {"115200", "9600"};

// The address shown when none has been set (first octet 0).
inline constexpr IPv4 kDefaultRegisterIp{192, 168, 1, 50};

// The panel's control ids.
enum TransferControl : int {
  kReportPathEdit = 1345,
  kReportPathButton = 1414,
  kReadRadio = 1105,
  kWriteRadio = 1106,
  kAddressControl = 1350,
  kLinkList = 1102,
  kBaudList = 1103,
  kSalesReportBox = 1416,
  kClearSalesBox = 1417,
  kStartButton = 1123,
  kCheckButton = 1184,
  kProgressBar = 1122,
  kTitleStatic = 1413,
};

// The kind boxes in the order the panel lists them (and the focus visits
// them); the transfer itself runs in kKinds order.
inline constexpr std::array<Kind, kKindCount> kKindBoxOrder = {
    Kind::kParameters, Kind::kLogo,         Kind::kFiscalLogo, Kind::kHeaderFooter, Kind::kPayments,
    Kind::kTaxCode,    Kind::kFiscalMemory, Kind::kVatRates,   Kind::kCategories,   Kind::kDepartments,
    Kind::kOperators,  Kind::kCustomers,    Kind::kItems,
};

// ---- Check boxes ---------------------------------------------------------------
// What the direction, kind and option boxes hold, and which of them may be
// used.
struct KindControls {
  TransferRequest request;
  bool fiscal_memory_enabled = true;  // the fiscal memory can only be read
  bool item_options_enabled = true;   // sales report and data clear: items read only
};

// A pending request to send the tax-authority codes (set by the parameters
// panel) turns into write + "ΓΓΠΣ Κωδικος" and is cleared.
void TakeTaxCodesRequest(TransferRequest& request, bool& send_tax_codes_request);

// After a click on a direction or on "Είδη" (and when the panel shows): the
// codes request as above; writing unticks and disables the fiscal memory;
// the two item options are usable only for an items read, otherwise they are
// unticked and disabled.
void UpdateKindControls(KindControls& controls, bool& send_tax_codes_request);

// ---- The options beyond the plain transfer ---------------------------------------
inline constexpr std::string_view kCompareCaption = "Σύγκριση";
inline constexpr std::string_view kVerifyCaption = "Επαλήθευση μετά την εγγραφή";
inline constexpr std::string_view kBackupCaption = "Αντίγραφο ασφαλείας πριν την εγγραφή";
inline constexpr std::string_view kTraceCaption = "Καταγραφή επικοινωνίας";
inline constexpr std::string_view kResumeCaption = "Συνέχεια";
inline constexpr std::string_view kTraceFile = "OV_Trace.txt";  // beside OV_Log.txt

struct SafetyControls {
  bool compare = false;  // the "Σύγκριση" direction
  bool verify = false;
  bool backup = true;  // on by default
};

// The direction "Σύγκριση" reads, so the fiscal memory (nothing to compare it
// with) and the two item options are unticked and disabled, as for a write.
void UpdateCompareControls(KindControls& controls, bool compare);

// The transfer request of Start: the boxes, plus a comparison (read into a
// scratch image), or for a write the verification and the backup into the
// folder kBackupFolderName beside the report files (beside the log file,
// `log_folder`, while no report path is chosen).
TransferRequest PanelRequest(const KindControls& controls, const SafetyControls& safety, std::string_view report_path,
                             std::string_view log_folder = {});

// After a transfer: every kind unticked; direction and options stay.
void UntickKinds(TransferRequest& request);

// ---- Showing the panel ------------------------------------------------------------
// A register address whose first octet is 0 has never been set: it becomes
// 192.168.1.50.
void DefaultRegisterAddress(LinkSelection& selection);

// The save-style dialog of the ". . ." button: starts from the report path,
// or "Αναφορες" when there is none.
FileDialog ReportPathDialog(std::string_view report_path);

// ---- Link list -------------------------------------------------------------------
// Refills the list when it is opened, keeping the entry the user chose if
// that port is still there (the stored port number changes only at Start and
// at the connection check); otherwise FillPortList's choice. `entries` and
// `current` are the list as it stood.
PortList RefillPortList(LinkSelection& selection, const std::vector<std::string>& entries, int current);

}  // namespace zel
