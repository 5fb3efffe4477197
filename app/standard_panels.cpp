// The registry of the program's panels: panel number -> how to build it.
#include "app/console_panel.h"
#include "app/items_panel.h"
#include "app/logo_panel.h"
#include "app/other_panel.h"
#include "app/panel.h"
#include "app/params_panel.h"
#include "app/transfer_panel.h"

namespace zel::app {

PanelRegistry StandardPanels() {
  PanelRegistry r;
  r.Register(panel::kConsole, [](const PanelContext& c) { return std::make_unique<ConsolePanel>(c); });
  r.Register(panel::kLogo, [](const PanelContext& c) { return std::make_unique<LogoPanel>(c); });
  r.Register(panel::kItems, [](const PanelContext& c) { return std::make_unique<ItemsPanel>(c); });
  r.Register(panel::kOtherData, [](const PanelContext& c) { return std::make_unique<OtherDataPanel>(c); });
  r.Register(panel::kTransfer, [](const PanelContext& c) { return std::make_unique<TransferPanel>(c); });
  r.Register(panel::kParameters, [](const PanelContext& c) { return std::make_unique<ParametersPanel>(c); });
  return r;
}

}  // namespace zel::app
