#include "link/link.h"

#include <cerrno>

#include "link/serial_port.h"
#include "link/udp_transport.h"

namespace zel {
namespace {
constexpr Millis kLanSettle{500};

// Why a port that is not in use, not forbidden and not missing still did
// not open (a UART that is not there, a device that refused its settings).
std::string SerialCause(const LinkSelection& selection, const SerialOpenResult& r) {
  std::string hint = OpenFailureHint(r);
  if (!hint.empty()) return hint;
  return LinkLabel(selection) + ": η θύρα δεν άνοιξε" +
         (r.error != 0 ? " (σφάλμα " + std::to_string(r.error) + ")" : "") +
         " — ελέγξτε ότι η συσκευή είναι συνδεδεμένη";
}

std::string LanCause(const LinkSelection& selection, int error) {
  const std::string label = LinkLabel(selection);
  if (selection.ip[0] == 0) return label + ": μη έγκυρη διεύθυνση IP — γράψτε τη διεύθυνση της ΦΗΜ";
  if (error == ENETUNREACH || error == EHOSTUNREACH)
    return label + ": το δίκτυο δεν είναι προσβάσιμο — ελέγξτε τη διεύθυνση IP και το δίκτυο";
  return label + ": η σύνδεση δεν έγινε" + (error != 0 ? " (σφάλμα " + std::to_string(error) + ")" : "") +
         " — ελέγξτε τη διεύθυνση IP και το δίκτυο";
}

}  // namespace

std::string LinkLabel(const LinkSelection& selection) {
  return selection.lan() ? "LAN " + DottedAddress(selection.ip) : PortLabel(selection.port);
}

LinkOpenResult Link::Open(const LinkSelection& selection) {
  Close();
  link_lost = false;
  label = LinkLabel(selection);
  if (!selection.lan()) {
    SerialOpenResult r = OpenSerialPort(selection.port, selection.baud(), *clock, abort);
    if (!r.transport) return {LinkOpenStatus::kSerialFailed, SerialCause(selection, r)};
    transport = std::move(r.transport);
    name = "COM" + std::to_string(selection.port);
    return {};
  }
  const std::uint16_t port = selection.udp_port != 0 ? selection.udp_port : RegisterPort();
  int error = 0;
  std::unique_ptr<UdpTransport> lan = UdpTransport::Open(selection.ip, port, *clock, abort, &error);
  if (!lan) return {LinkOpenStatus::kLanFailed, LanCause(selection, error)};
  if (!SleepUntil(*clock, abort, clock->Now() + kLanSettle)) return {LinkOpenStatus::kStopped, {}};
  transport = std::move(lan);
  name = "LAN " + DottedAddress(selection.ip) + ":" + std::to_string(port);
  return {};
}

void Link::Close() { transport.reset(); }

}  // namespace zel
