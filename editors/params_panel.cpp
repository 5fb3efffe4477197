#include "editors/params_panel.h"

#include "editors/help_texts.h"

namespace zel::editors {
namespace {

constexpr int kLeft = 1, kMiddle = 2, kRight = 3;

constexpr FieldRef Word(int word) {
  return Ref(Where::kParameters, word == 1 ? param::kOptions1 : param::kOptions2, 4);
}

// An option-word bit field shown as an index field.
constexpr ControlSpec Bits(int id, std::string_view label, int word, int shift, int mask, int bound, int help,
                           int column) {
  return FieldSpec(id, label, FieldKind::kIndex, 1, mask, shift, Word(word), bound, help, column);
}
constexpr ControlSpec Bit(int id, std::string_view label, int word, int bit, int help, int column) {
  return CheckSpec(id, label, Word(word), bit, help, column);
}
constexpr ControlSpec Text(int id, std::string_view label, std::size_t offset, int width, int help, int first = 0) {
  return FieldSpec(id, label, FieldKind::kText, width, first, 0,
                   Ref(Where::kParameters, offset, static_cast<std::size_t>(width)), 0, help, kRight);
}
constexpr ControlSpec Address(int id, std::string_view label, std::size_t offset) {
  return OtherSpec(id, ControlType::kAddress, label, kHelpNone, kRight, Ref(Where::kParameters, offset, 4));
}

constexpr ControlSpec kControls[] = {
    // Left column
    FieldSpec(kMachineNumber, "Αρ.Μηχανης...", FieldKind::kIndex, 2, 0, 1,
              Ref(Where::kParameters, param::kMachineNumber, 1), 99, kHelpMachineNumber, kLeft),
    FieldSpec(1315, "Οριο απ.", FieldKind::kLongNumber, 10, 7, 2, Ref(Where::kParameters, param::kReceiptLimit, 4), 0,
              kHelpReceiptLimit, kLeft),
    Bit(1308, "Χειριστες   (1/25)", 1, 0, kHelpAskOperator, kLeft),
    Bit(1309, "Δεκαδικα .........", 1, 1, kHelpDecimalPoint, kLeft),
    Bit(1310, "Ηχος Πληκτρολ.....", 1, 2, kHelpKeySound, kLeft),
    Bit(1320, "Ποσοτητα .........", 1, 3, kHelpTotalQuantity, kLeft),
    Bit(1311, "Αναφ.Τμημ.........", 1, 4, kHelpDepartmentReport, kLeft),
    Bit(1312, "Αναφ. Ειδών.......", 1, 5, kHelpItemReport, kLeft),
    Bit(1324, "Καρτα Πελατων.....", 1, 6, kHelpCustomerCard, kLeft),
    Bits(1307, "Εμφ.ημερ.μετα(0-3)", 1, 7, 3, 3, kHelpDateAfter, kLeft),
    Bit(1292, "Λειτουργια   <+%>", 1, 10, kHelpPlusKey, kLeft),
    Bit(1291, "Λειτουργια   <-%>", 1, 11, kHelpMinusKey, kLeft),
    Bits(1297, "Ζυγαρια      (0-3)", 1, 12, 3, 3, kHelpScale, kLeft),
    Bits(1325, "Φωτισμ.οθονης(0-3)", 1, 14, 3, 3, kHelpBacklight, kLeft),
    Bits(kContrast, "Αντιθ.Οθόνης (0-7)", 1, 16, 7, 7, kHelpContrast, kLeft),
    Bits(1290, "Τονος εκτυπ. (0-7)", 1, 19, 7, 7, kHelpDensity, kLeft),
    Bit(1293, "Font μπαταριας....", 1, 22, kHelpNone, kLeft),
    Bits(1330, "Μηνιαια Αναφ.(0-2)", 1, 25, 3, 2, kHelpMonthlyReport, kLeft),
    // Middle column
    Bits(1331, "Εξοικον.μπατ.(0-3)", 1, 23, 3, 3, kHelpDateAfter, kMiddle),
    Bit(1428, "Αυτ.Εκδοση Ζ ....", 1, 27, kHelpAutomaticZ, kMiddle),
    Bits(1296, "Συνδεσ. COM1(0-6)", 2, 0, 7, 6, kHelpComDevice, kMiddle),
    Bits(1303, "Baud COM1   (0-3)", 2, 3, 3, 3, kHelpComSpeed, kMiddle),
    Bits(kCom2Device, "Συνδεσ. COM2(0-6)", 2, 5, 7, 6, kHelpComDevice, kMiddle),
    Bits(1332, "Baud COM2   (0-3)", 2, 8, 3, 3, kHelpComSpeed, kMiddle),
    Bits(1328, "Συνδεσ. COM3(0-6)", 2, 10, 7, 6, kHelpComDevice, kMiddle),
    Bits(1333, "Baud COM3   (0-3)", 2, 13, 3, 3, kHelpComSpeed, kMiddle),
    Bits(1329, "Σύνδεση USB (0-3)", 2, 15, 3, 3, kHelpUsbDevice, kMiddle),
    Bits(1298, "Συνδ.με Η/Υ (0-3)", 2, 17, 3, 3, kHelpPcLink, kMiddle),
    Bit(1326, "Στατ.IP/DHCP.....", 1, 9, kHelpNone, kMiddle),
    Bit(1299, "Συνδ.ΑΑΔΕ(οχι/ναι)", 2, 19, kHelpTaxAuthorityLink, kMiddle),
    Bit(1335, "ΑΑΔΕ (LAN/WIFI)", 2, 26, kHelpTaxAuthorityLink, kMiddle),
    Bit(1306, "Ωρα απο SERVER...", 2, 20, kHelpServerTime, kMiddle),
    Bit(1316, "Αντιγραφο αποδ...", 2, 21, kHelpReceiptCopy, kMiddle),
    Bit(1327, "Θεριν./Χειμ. ορα", 2, 22, kHelpSummerTime, kMiddle),
    Bits(1336, "Συνδεση POS (0-2)", 2, 23, 3, 2, kHelpPosLink, kMiddle),
    Bit(1430, "Εκτυπ.Αναφ.POS", 2, 25, kHelpPosReports, kMiddle),
    // Right column: barcode formats (group "MORFH BARC."), prefix - format
    FieldSpec(1392, "", FieldKind::kIndex, 2, 0, 0, Ref(Where::kParameters, param::kBarcodePrefixes + 0, 1), 99,
              kHelpBarcodeFormat, kRight),
    FieldSpec(1393, "-", FieldKind::kIndex, 3, 0, 0, Ref(Where::kParameters, param::kBarcodeFormats + 0, 1), 146,
              kHelpBarcodeFormat, kRight),
    FieldSpec(1394, "", FieldKind::kIndex, 2, 0, 0, Ref(Where::kParameters, param::kBarcodePrefixes + 1, 1), 99,
              kHelpBarcodeFormat, kRight),
    FieldSpec(1395, "-", FieldKind::kIndex, 3, 0, 0, Ref(Where::kParameters, param::kBarcodeFormats + 1, 1), 146,
              kHelpBarcodeFormat, kRight),
    FieldSpec(1396, "", FieldKind::kIndex, 2, 0, 0, Ref(Where::kParameters, param::kBarcodePrefixes + 2, 1), 99,
              kHelpBarcodeFormat, kRight),
    FieldSpec(1397, "-", FieldKind::kIndex, 3, 0, 0, Ref(Where::kParameters, param::kBarcodeFormats + 2, 1), 146,
              kHelpBarcodeFormat, kRight),
    FieldSpec(1398, "", FieldKind::kIndex, 2, 0, 0, Ref(Where::kParameters, param::kBarcodePrefixes + 3, 1), 99,
              kHelpBarcodeFormat, kRight),
    FieldSpec(1399, "-", FieldKind::kIndex, 3, 0, 0, Ref(Where::kParameters, param::kBarcodeFormats + 3, 1), 146,
              kHelpBarcodeFormat, kRight),
    FieldSpec(1400, "", FieldKind::kIndex, 2, 0, 0, Ref(Where::kParameters, param::kBarcodePrefixes + 4, 1), 99,
              kHelpBarcodeFormat, kRight),
    FieldSpec(1401, "-", FieldKind::kIndex, 3, 0, 0, Ref(Where::kParameters, param::kBarcodeFormats + 4, 1), 146,
              kHelpBarcodeFormat, kRight),
    // Customer message lines (run-time state, not in the file)
    FieldSpec(1421, "Μηνυμα \nΠελατη", FieldKind::kText, 21, 0, 0,
              Ref(Where::kCustomerMessage, 0, kCustomerMessageWidth, -1, 0), 0, kHelpNone, kRight),
    FieldSpec(1424, "", FieldKind::kText, 21, 0, 0, Ref(Where::kCustomerMessage, 0, kCustomerMessageWidth, -1, 1), 0,
              kHelpNone, kRight),
    Address(kRegisterIpAddress, "ΦΗΜ IP", param::kRegisterIp),
    Address(1301, "NET MASK", param::kNetMask),
    Address(1302, "GATE WAY", param::kGateway),
    Address(1304, "DNS IP", param::kDnsIp),
    // POS rows: name, ID, IP address, port
    Text(1432, "POS1", param::kPos1Name, 4, kHelpNone),
    Text(1433, "", param::kPosIds + 0 * param::kPosIdWidth, 10, kHelpNone),
    Address(1305, "", param::kPos1Ip),
    FieldSpec(1438, "", FieldKind::kShortNumber, 4, 4, 0, Ref(Where::kParameters, param::kPosPorts + 0, 2), 0,
              kHelpNone, kRight),
    Text(1434, "POS2", param::kPos2Name, 4, kHelpNone),
    Text(1435, "", param::kPosIds + 1 * param::kPosIdWidth, 10, kHelpNone),
    Address(1318, "", param::kPos2Ip),
    FieldSpec(1439, "", FieldKind::kShortNumber, 4, 4, 0, Ref(Where::kParameters, param::kPosPorts + 2, 2), 0,
              kHelpNone, kRight),
    Text(kPos3Name, "POS3", param::kPos3Name, 4, kHelpNone),
    Text(1437, "", param::kPosIds + 2 * param::kPosIdWidth, 10, kHelpNone),
    Address(1340, "", param::kPos3Ip),
    FieldSpec(1440, "", FieldKind::kShortNumber, 4, 4, 0, Ref(Where::kParameters, param::kPosPorts + 4, 2), 0,
              kHelpNone, kRight),
    // URLs (group "URL: AADE / QR / AES / POS / Firmw.")
    Text(1319, "", param::kTaxAuthorityUrl, 48, kHelpTaxAuthorityUrl),
    Text(1337, "", param::kQrUrl, 48, kHelpQrUrl),
    Text(1338, "", param::kAesKeyUrl, 48, kHelpAesKeyUrl),
    Text(1339, "", param::kEftPosKeyUrl, 48, kHelpEftPosKeyUrl),
    Text(kFirmwareUrl, "", param::kFirmwareUrl, 32, kHelpFirmwareUrl),
    FieldSpec(1314, "Κωδ.τεχν.", FieldKind::kLongNumber, 6, 6, 0, Ref(Where::kParameters, param::kTechnicianCode, 4), 0,
              kHelpTechnicianCode, kRight),
    Text(kAesKey, "ΚΛΕΙΔΙ AES", param::kAesKey, 64, kHelpAesKey, 1),
    OtherSpec(kTransferCodes, ControlType::kCommand, " Μεταφορά Κωδ. ΓΓΠΣ", kHelpNone, kRight),
    OtherSpec(kParametersDefault, ControlType::kDefaultButton, "", kHelpNone, kRight),
};

}  // namespace

ParametersPanel::ParametersPanel(DataImage& image, UserInterface& ui, EditorShared& shared)
    : PanelModel(image, ui, shared, kPanelParameters, Controls()) {}

std::span<const ControlSpec> ParametersPanel::Controls() { return kControls; }

void ParametersPanel::Show() {
  {
    const KeepUnsavedFlag kept(image());
    BindWhere([](const ControlSpec&) { return true; });
  }
  ResetStatusHelp();
  view().Focus(kMachineNumber);
}

IPv4 ParametersPanel::Address(int id) {
  const ControlSpec* c = control_spec(id);
  if (!c || c->type != ControlType::kAddress) return {};
  return image().parameters().ip(c->ref.offset);
}

void ParametersPanel::OnAddressChanged(int id, const IPv4& octets) {
  const ControlSpec* c = control_spec(id);
  if (c && c->type == ControlType::kAddress) image().parameters().set_ip(c->ref.offset, octets);
}

void ParametersPanel::OnTransferCodes() {
  image().state.send_tax_codes_request = true;
  view().SwitchPanel(kPanelTransfer);
}

}  // namespace zel::editors
