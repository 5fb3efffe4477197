// The open link to the register, whatever protocol runs over it: the clock,
// the Stop flag, the transport, and the opening and closing of a serial port
// or a UDP address.
//
// Two protocols share the wire: the programming exchange (LinkSession in
// link/exchange.h) and the fiscal printer console (console/). Each keeps its
// own Link, so the console never touches the programming exchange's
// sequence byte, request, reply or log, and neither knows what runs above the
// other. A Link knows no protocol.
//
// Threading: a Link is used by one thread at a time (the one running the
// exchange); only `abort` may be touched from another (Stop, a closing
// window), and setting it ends any wait of the link at once.
#pragma once

#include <memory>
#include <string>

#include "link/abort_flag.h"
#include "link/settings.h"
#include "link/tick_clock.h"
#include "link/transport.h"

namespace zel {

// How an open ended.
enum class LinkOpenStatus {
  kOpened,
  kSerialFailed,  // the port could not be opened or set up
  kLanFailed,     // no address, or the socket could not be made or connected
  kStopped,       // the abort flag was set during the settle time; no message is due
};

struct LinkOpenResult {
  LinkOpenStatus status = LinkOpenStatus::kOpened;
  // For kSerialFailed and kLanFailed: which link and the cause in the
  // user's words ("permission ...", "in use ...", "LAN 192.168.1.99: ..."),
  // shown on a second line under the program's message.
  std::string hint;

  bool opened() const { return status == LinkOpenStatus::kOpened; }
};

class Link {
 public:
  explicit Link(TickClock& c = SystemClock()) : clock(&c) {}
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Opens the link of `selection`: the serial port at its baud rate when its
  // port number is not 0, else a UDP socket connected to its IP address at
  // the register port, followed by a 500 ms settle time that Stop cuts short.
  // An open link is closed first.
  LinkOpenResult Open(const LinkSelection& selection);
  // Releases the port or closes the socket; nothing when none is open.
  void Close();
  bool is_open() const { return transport != nullptr; }

  TickClock* clock;
  AbortFlag abort;                       // Stop; may be set from any thread
  std::unique_ptr<Transport> transport;  // the open link, or none
  bool link_lost = false;                // the serial link went away during the last exchange
  std::string name;                      // "COM3" or "LAN 192.168.1.50:2030", set when opened
  // The link as the dealer chose it, for messages: "COM5 (ttyUSB0)" or
  // "LAN 192.168.1.50"; set when opened.
  std::string label;
};

// The label of the link `selection` names ("COM5 (ttyUSB0)", "LAN 192.168.1.50").
std::string LinkLabel(const LinkSelection& selection);

}  // namespace zel
