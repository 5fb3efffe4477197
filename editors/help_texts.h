// The numbered help texts of the editor panels: one table for the whole
// program, so a binding carries only a small number and the status line
// shows the text of whichever field is being typed in. Number 0 is the
// empty text. Texts are UTF-8: they are only ever shown, never stored.
#pragma once

#include <cstdint>
#include <string_view>

namespace zel::editors {

enum Help : std::uint8_t {
  kHelpNone = 0,
  // Items panel
  kHelpItemNumber,
  kHelpItemName,
  kHelpItemBarcode,
  kHelpItemPrice,
  kHelpCategoryIndex,
  kHelpDepartmentIndex,
  kHelpFromScale,
  kHelpFindEmpty,
  kHelpImportItems,
  kHelpExportItems,
  kHelpItemsList,
  kHelpSearch,
  // Other data panel
  kHelpPaymentNumber,
  kHelpPaymentName,
  kHelpCategoryNumber,
  kHelpCategoryName,
  kHelpOperatorNumber,
  kHelpOperatorName,
  kHelpOperatorCode,
  kHelpDepartmentNumber,
  kHelpDepartmentName,
  kHelpDepartmentPrice,
  kHelpDepartmentLimit,
  kHelpDepartmentVat,
  kHelpClosesReceipt,
  kHelpCustomer,
  kHelpImportCustomers,
  kHelpExportCustomers,
  kHelpVatRate,
  // Parameters panel
  kHelpMachineNumber,
  kHelpReceiptLimit,
  kHelpAskOperator,
  kHelpDecimalPoint,
  kHelpKeySound,
  kHelpTotalQuantity,
  kHelpDepartmentReport,
  kHelpItemReport,
  kHelpCustomerCard,
  kHelpDateAfter,
  kHelpPlusKey,
  kHelpMinusKey,
  kHelpScale,
  kHelpBacklight,
  kHelpContrast,
  kHelpDensity,
  kHelpMonthlyReport,
  kHelpAutomaticZ,
  kHelpComDevice,
  kHelpComSpeed,
  kHelpUsbDevice,
  kHelpPcLink,
  kHelpTaxAuthorityLink,
  kHelpServerTime,
  kHelpReceiptCopy,
  kHelpSummerTime,
  kHelpPosLink,
  kHelpPosReports,
  kHelpBarcodeFormat,
  kHelpTaxAuthorityUrl,
  kHelpQrUrl,
  kHelpAesKeyUrl,
  kHelpEftPosKeyUrl,
  kHelpFirmwareUrl,
  kHelpTechnicianCode,
  kHelpAesKey,
  // Logo panel
  kHelpFiscalLogoLine,
  kHelpFiscalLogoSize,
  kHelpHeaderFooterLine,
  kHelpHeaderFooterSize,
  kHelpCount
};

// The text of help number n; the empty text for 0 and for unknown numbers.
std::string_view HelpText(int n);

}  // namespace zel::editors
