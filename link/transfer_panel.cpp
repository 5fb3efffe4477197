#include "link/transfer_panel.h"

namespace zel {

void TakeTaxCodesRequest(TransferRequest& request, bool& send_tax_codes_request) {
  if (!send_tax_codes_request) return;
  request.direction = Direction::kWrite;
  request[Kind::kTaxCode] = true;
  send_tax_codes_request = false;
}

void UpdateKindControls(KindControls& controls, bool& send_tax_codes_request) {
  TransferRequest& r = controls.request;
  TakeTaxCodesRequest(r, send_tax_codes_request);
  const bool write = r.direction == Direction::kWrite;
  controls.fiscal_memory_enabled = !write;
  if (write) r[Kind::kFiscalMemory] = false;
  controls.item_options_enabled = !write && r[Kind::kItems];
  if (!controls.item_options_enabled) {
    r.sales_report = false;
    r.clear_sales = false;
  }
}

void UntickKinds(TransferRequest& request) { request.kinds.fill(false); }

void DefaultRegisterAddress(LinkSelection& selection) {
  if (selection.ip[0] == 0) selection.ip = kDefaultRegisterIp;
}

FileDialog ReportPathDialog(std::string_view report_path) {
  FileDialog d;
  d.mode = FileDialog::Mode::kSave;
  d.initial_path = report_path.empty() ? std::string(kReportPathDefaultName) : std::string(report_path);
  d.filter = std::string(kReportPathFilter);
  d.overwrite_prompt = true;
  return d;
}

PortList RefillPortList(LinkSelection& selection, const std::vector<std::string>& entries, int current) {
  LinkSelection chosen = selection;
  ReadPortChoice(chosen, entries, current);
  PortList list = FillPortList(chosen);
  // No serial port at all: the stored choice falls back to the LAN, as when
  // the panel is shown.
  if (list.entries.size() == 1) selection.port = 0;
  return list;
}

void UpdateCompareControls(KindControls& controls, bool compare) {
  if (!compare) return;
  controls.request[Kind::kFiscalMemory] = false;
  controls.fiscal_memory_enabled = false;
  controls.request.sales_report = controls.request.clear_sales = false;
  controls.item_options_enabled = false;
}

TransferRequest PanelRequest(const KindControls& controls, const SafetyControls& safety, std::string_view report_path,
                             std::string_view log_folder) {
  TransferRequest r = controls.request;
  if (safety.compare) {
    r.direction = Direction::kRead;
    r.compare = true;
    r[Kind::kFiscalMemory] = false;
    r.sales_report = r.clear_sales = false;
    return r;
  }
  if (r.direction == Direction::kWrite) {
    r.verify = safety.verify;
    const std::string folder = ReportFolder(report_path);
    if (safety.backup)
      r.backup_folder = (folder.empty() ? std::string(log_folder) : folder) + std::string(kBackupFolderName);
  }
  return r;
}

}  // namespace zel
