#include "link/ports.h"

#include "link/serial_port.h"

namespace zel {

PortList FillPortList(LinkSelection& selection) {
  PortList list;
  list.entries.push_back("LAN");
  int matched = -1;
  for (int n = 1; n <= kMaxComPort; ++n) {
    if (!ProbeSerialPort(n)) continue;
    list.entries.push_back(PortLabel(n));
    if (n == selection.port) matched = static_cast<int>(list.entries.size()) - 1;
  }
  if (selection.port == 0) {
    list.selected = 0;
  } else if (matched >= 0) {
    list.selected = matched;
  } else if (list.entries.size() > 1) {
    list.selected = static_cast<int>(list.entries.size()) - 1;
  } else {
    selection.port = 0;
    list.selected = 0;
  }
  return list;
}

void ReadPortChoice(LinkSelection& selection, const std::vector<std::string>& entries, int index) {
  if (index <= 0 || index >= static_cast<int>(entries.size())) {
    selection.port = 0;
    return;
  }
  // The two characters after "COM", read as a decimal number.
  const std::string& text = entries[static_cast<std::size_t>(index)];
  int port = 0;
  for (std::size_t i = 3; i < 5 && i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    port = port * 10 + (text[i] - '0');
  selection.port = static_cast<std::int16_t>(port);
}

}  // namespace zel
