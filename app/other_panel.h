// The other-data panel (panel 2): payments, categories, operators,
// departments and customers, one selected record each, the four VAT rates,
// and one list shared by the tables: whichever table's field has the focus
// shows its records there. The rules are the engine's
// (editors::OtherDataPanel); this is its window.
//
// UI thread only.
#pragma once

#include "app/editor_panel.h"
#include "editors/other_panel.h"

namespace zel::app {

class OtherDataPanel : public EditorPanel {
  Q_OBJECT
 public:
  explicit OtherDataPanel(const PanelContext& context);

  void OnShow() override;

  editors::OtherDataPanel& model() { return static_cast<editors::OtherDataPanel&>(panel_model()); }

 protected:
  void OnEnter(int focused) override;

 private:
  void Layout();
};

}  // namespace zel::app
