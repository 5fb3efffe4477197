#include "sim/simulator.h"

#include "core/cp1253.h"
#include "core/database_file.h"
#include "sim/demo.h"
#include "sim/fiscal_printer.h"
#include "sim/register_protocol.h"

namespace zel::sim {

Simulator::Simulator(SimulatorOptions options)
    : options_(std::move(options)), protocol_(std::make_unique<RegisterProtocol>(register_)) {
  if (!fm::ValidRegistration(options_.registration)) options_.registration = kDefaultRegistration;
  register_.With(
      [&](RegisterMemory& m) { m.fiscal_memory = fm::Generate(options_.fiscal_seed, options_.registration); });
  protocol_->SetAimedFaults(options_.aimed);
}

Simulator::~Simulator() { Stop(); }

bool Simulator::StartUdp(std::uint16_t port, std::string* error) {
  std::lock_guard lock(links_mutex_);
  if (udp_) {
    if (error != nullptr) *error = "η θύρα UDP είναι ήδη ανοιχτή";
    return false;
  }
  udp_ = UdpLink::Open(*protocol_, stats_, options_.faults, options_.timing, options_.bind_address, port, error);
  return udp_ != nullptr;
}

bool Simulator::StartPty(std::string* error) {
  std::lock_guard lock(links_mutex_);
  if (pty_) {
    if (error != nullptr) *error = "το ψευδοτερματικό είναι ήδη ανοιχτό";
    return false;
  }
  pty_ = PtyLink::Open(*protocol_, stats_, options_.faults, options_.timing, error);
  return pty_ != nullptr;
}

std::uint16_t Simulator::udp_port() const {
  std::lock_guard lock(links_mutex_);
  return udp_ ? udp_->port() : 0;
}

std::string Simulator::pty_path() const {
  std::lock_guard lock(links_mutex_);
  return pty_ ? pty_->path() : std::string();
}

bool Simulator::udp_hung_up() const {
  std::lock_guard lock(links_mutex_);
  return udp_ && udp_->hung_up();
}

bool Simulator::pty_hung_up() const {
  std::lock_guard lock(links_mutex_);
  return pty_ && pty_->hung_up();
}

void Simulator::Stop() {
  std::unique_ptr<UdpLink> udp;
  std::unique_ptr<PtyLink> pty;
  {
    std::lock_guard lock(links_mutex_);
    udp = std::move(udp_);
    pty = std::move(pty_);
  }
  // Destroying a link stops and joins its thread.
}

void Simulator::SetFaults(const FaultOptions& faults) {
  std::lock_guard lock(links_mutex_);
  options_.faults = faults;
  if (udp_) udp_->SetFaults(faults);
  if (pty_) pty_->SetFaults(faults);
}

void Simulator::SetTiming(const LinkTiming& timing) {
  std::lock_guard lock(links_mutex_);
  options_.timing = timing;
  if (udp_) udp_->SetTiming(timing);
  if (pty_) pty_->SetTiming(timing);
}

void Simulator::SetRefuseItems(bool refuse) {
  register_.With([&](RegisterMemory& m) { m.refuse_items = refuse; });
}

void Simulator::SetAimedFaults(std::vector<AimedFault> aimed) { protocol_->SetAimedFaults(std::move(aimed)); }

void Simulator::SetAlterItem(int index) {
  register_.With([&](RegisterMemory& m) { m.alter_item = index; });
}

Counters Simulator::counters() const { return stats_.Get(); }
void Simulator::ResetCounters() { stats_.Reset(); }

bool Simulator::WaitForRequests(std::uint64_t n, std::chrono::milliseconds timeout) const {
  return stats_.WaitForHandled(n, timeout);
}

DataImage Simulator::Programming() const {
  return register_.With([](const RegisterMemory& m) { return m.programming; });
}

void Simulator::SetProgramming(const DataImage& image) {
  register_.With([&](RegisterMemory& m) { m.programming = image; });
}

std::array<CustomerMessageLine, 2> Simulator::CustomerMessage() const {
  return register_.With([](const RegisterMemory& m) { return m.customer_message; });
}

void Simulator::SetCustomerMessage(const std::array<CustomerMessageLine, 2>& lines) {
  register_.With([&](RegisterMemory& m) { m.customer_message = lines; });
}

std::vector<SalesFigure> Simulator::Sales() const {
  return register_.With([](const RegisterMemory& m) { return m.sales; });
}

void Simulator::SetSales(int item, SalesFigure figure) {
  if (item < 0 || item >= kItemCount) return;
  register_.With([&](RegisterMemory& m) { m.sales[static_cast<std::size_t>(item)] = figure; });
}

void Simulator::ClearSales() {
  register_.With([](RegisterMemory& m) { std::fill(m.sales.begin(), m.sales.end(), SalesFigure{}); });
}

ByteVector Simulator::FiscalMemory() const {
  return register_.With([](const RegisterMemory& m) { return m.fiscal_memory; });
}

bool Simulator::SetFiscalMemory(const ByteVector& memory) {
  if (memory.size() != fm::kSize) return false;
  register_.With([&](RegisterMemory& m) { m.fiscal_memory = memory; });
  return true;
}

fm::Summary Simulator::GenerateFiscalMemory(std::uint32_t seed) {
  fm::Summary summary;
  register_.With(
      [&](RegisterMemory& m) { m.fiscal_memory = fm::Generate(seed, fm::RegistrationOf(m.fiscal_memory), &summary); });
  return summary;
}

PrinterState Simulator::Printer() const {
  return register_.With([](const RegisterMemory& m) {
    PrinterState copy = m.printer;
    copy.sink = nullptr;
    return copy;
  });
}

bool Simulator::ReceiptOpen() const {
  return register_.With([](const RegisterMemory& m) { return m.printer.stage != ReceiptStage::kNone; });
}

int Simulator::NextZ() {
  return register_.With([](RegisterMemory& m) { return printer::NextZ(m); });
}

std::vector<std::string> Simulator::Paper() const {
  return register_.With([](const RegisterMemory& m) {
    std::vector<std::string> lines;
    for (const std::string& line : m.printer.paper) lines.push_back(cp1253::ToUtf8(line));
    return lines;
  });
}

void Simulator::SetPaperSink(std::function<void(const std::string& utf8)> sink) {
  register_.With([&](RegisterMemory& m) {
    if (!sink) {
      m.printer.sink = nullptr;
      return;
    }
    for (const std::string& line : m.printer.paper) sink(cp1253::ToUtf8(line));
    m.printer.sink = [sink = std::move(sink)](const std::string& line) { sink(cp1253::ToUtf8(line)); };
  });
}

std::string Simulator::Registration() const {
  return register_.With([](const RegisterMemory& m) { return fm::RegistrationOf(m.fiscal_memory); });
}

bool Simulator::SetRegistration(std::string_view registration) {
  if (!fm::ValidRegistration(registration)) return false;
  register_.With([&](RegisterMemory& m) { fm::StoreRegistration(m.fiscal_memory, registration); });
  return true;
}

bool Simulator::LoadProgramming(const std::string& path, std::string* error) {
  auto bytes = std::make_unique<ImageBytes>();
  const FileStatus status = ReadDatabaseFile(path, *bytes);
  if (status != FileStatus::kOk) {
    if (error != nullptr) *error = std::string(status == FileStatus::kCannotOpen ? kMsgOpenByPathError : kMsgReadError);
    return false;
  }
  register_.With([&](RegisterMemory& m) { m.programming.raw() = *bytes; });
  return true;
}

bool Simulator::SaveProgramming(const std::string& path, std::string* error) const {
  const DataImage image = Programming();
  if (WriteDatabaseFile(path, image) != FileStatus::kOk) {
    if (error != nullptr) *error = std::string(kMsgWriteError);
    return false;
  }
  return true;
}

void Simulator::FillDemoProgramming() {
  register_.With([](RegisterMemory& m) {
    FillDemoImage(m.programming);
    m.customer_message = DemoCustomerMessage();
  });
}

void Simulator::FillDemoSales(std::uint32_t seed) {
  register_.With([&](RegisterMemory& m) { sim::FillDemoSales(m.programming, seed, m.sales); });
}

}  // namespace zel::sim
