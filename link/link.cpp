#include "link/link.h"

#include "link/serial_port.h"
#include "link/udp_transport.h"

namespace zel {
namespace {
constexpr Millis kLanSettle{500};
}  // namespace

LinkOpenResult Link::Open(const LinkSelection& selection) {
  Close();
  link_lost = false;
  if (!selection.lan()) {
    SerialOpenResult r = OpenSerialPort(selection.port, selection.baud(), *clock, abort);
    if (!r.transport) return {LinkOpenStatus::kSerialFailed, OpenFailureHint(r)};
    transport = std::move(r.transport);
    name = "COM" + std::to_string(selection.port);
    return {};
  }
  const std::uint16_t port = selection.udp_port != 0 ? selection.udp_port : RegisterPort();
  std::unique_ptr<UdpTransport> lan = UdpTransport::Open(selection.ip, port, *clock, abort);
  if (!lan) return {LinkOpenStatus::kLanFailed, {}};
  if (!SleepUntil(*clock, abort, clock->Now() + kLanSettle)) return {LinkOpenStatus::kStopped, {}};
  transport = std::move(lan);
  name = "LAN " + DottedAddress(selection.ip) + ":" + std::to_string(port);
  return {};
}

void Link::Close() { transport.reset(); }

}  // namespace zel
