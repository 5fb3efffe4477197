// The general parameters panel without its window: every control of its
// three columns as a table (ids, labels, bindings with mask and shift or
// offset and upper bound, help texts), and the few things the panel does
// itself: the IPv4 address fields, the transfer-codes button.
//
// Bit fields of the option words are index fields on bits: a stored value
// replaces its own bits and no others. The machine number is an index field
// with offset 1 (shows 1..99, stores 0..98). Address fields are plain data:
// changing one does not set the unsaved-changes flag.
//
// Single-threaded: user-interface thread only.
#pragma once

#include <span>
#include <string_view>

#include "editors/panel.h"

namespace zel::editors {

inline constexpr std::string_view kParametersCaption = "Setup ZEL - Γενικές παράμ.ρυθμισης ";
inline constexpr std::string_view kBarcodeGroupTitle = "MORFH BARC.";
inline constexpr std::string_view kPosGroupTitle = "   Ονομα/   POS.ID#   /     POS  IP       /Port";
inline constexpr std::string_view kUrlGroupTitle = "URL: AADE / QR / AES / POS / Firmw.";

// Control ids used by name.
enum ParametersControl : int {
  kMachineNumber = 1313,
  kTransferCodes = 1321,
  kParametersDefault = 1322,
  kContrast = 1289,
  kCom2Device = 1334,
  kAesKey = 1317,
  kRegisterIpAddress = 1300,
  kPos3Name = 1436,
  kFirmwareUrl = 1323,
};

class ParametersPanel : public PanelModel {
 public:
  ParametersPanel(DataImage& image, UserInterface& ui, EditorShared& shared);

  static std::span<const ControlSpec> Controls();

  // The main window shows the panel: every control shows its field.
  void Show();
  // The panel is hidden: nothing to write back (fields store as they are left).
  void Hide() {}

  // IPv4 address controls (ControlType::kAddress).
  IPv4 Address(int id);
  void OnAddressChanged(int id, const IPv4& octets);

  // Button 1321: ask the transfer panel to send the tax-authority codes.
  void OnTransferCodes();
};

}  // namespace zel::editors
