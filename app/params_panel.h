// The general parameters panel (panel 7): machine number, receipt limit, the
// two option words as bit fields and check boxes, the barcode formats, the
// register's network addresses, the three POS terminals, the service URLs,
// the technician code, the AES key and the customer message lines. The rules
// are the engine's (editors::ParametersPanel); this is its window.
//
// Every control is bound straight to its bytes in the data image: the panel
// keeps no copy, so leaving a field is what stores it. The seven address
// controls are Ipv4Edit widgets the panel loads on show; the user's edits go
// to the image at once and do not count as an unsaved change (the engine
// decides that). Enter presses the hidden default button, which does
// nothing, so a dealer pressing Enter out of habit never leaves the field.
//
// UI thread only.
#pragma once

#include <QPushButton>
#include <map>

#include "app/editor_panel.h"
#include "app/ipv4_edit.h"
#include "editors/params_panel.h"

namespace zel::app {

class ParametersPanel : public EditorPanel {
  Q_OBJECT
 public:
  explicit ParametersPanel(const PanelContext& context);

  void OnShow() override;

  editors::ParametersPanel& model() { return static_cast<editors::ParametersPanel&>(panel_model()); }
  // The address control `id` of the table (1300, 1301, ...), or nullptr.
  Ipv4Edit* address(int id) const;
  // " Μεταφορά Κωδ. ΓΓΠΣ".
  QPushButton* transfer_codes_button() const { return transfer_codes_; }

 protected:
  void OnEnter(int focused) override;

 private:
  void MakeAddresses();
  void Layout();

  std::map<int, Ipv4Edit*> addresses_;
  QPushButton* transfer_codes_ = nullptr;
};

}  // namespace zel::app
