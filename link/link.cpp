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
    return {};
  }
  std::unique_ptr<UdpTransport> lan = UdpTransport::Open(selection.ip, RegisterPort(), *clock, abort);
  if (!lan) return {LinkOpenStatus::kLanFailed, {}};
  if (!SleepUntil(*clock, abort, clock->Now() + kLanSettle)) return {LinkOpenStatus::kStopped, {}};
  transport = std::move(lan);
  return {};
}

void Link::Close() { transport.reset(); }

}  // namespace zel
