// The link list of the transfer panel and the console: "LAN" and the serial
// ports that can be opened now, and reading the chosen entry back into the
// link selection.
#pragma once

#include <string>
#include <vector>

#include "link/settings.h"

namespace zel {

struct PortList {
  std::vector<std::string> entries;  // "LAN", then "COM3 (ttyS2)", "COM5 (ttyUSB0)", ...
  int selected = 0;
};

// Probes COM1..COM20 and picks the entry of the stored port number: "LAN"
// for 0; else that port; else the last port found; when no port is found
// the stored number becomes 0 and "LAN" is picked.
PortList FillPortList(LinkSelection& selection);
// The stored port number from the chosen entry: 0 for entry 0, else the
// number after "COM" in its text.
void ReadPortChoice(LinkSelection& selection, const std::vector<std::string>& entries, int index);

}  // namespace zel
