// The link selection and the settings file OV_Setup.cfg that keeps it.
//
// OV_Setup.cfg (8 bytes, little-endian, in the current directory):
//   0  i16  port number: 0 = LAN, 1..20 = COM1..COM20
//   2  u16  reserved word, always 1
//   4  4    register IP address, first octet first
// The baud choice is not stored: it starts at 115200 every run.
#pragma once

#include <cstdint>
#include <string>

#include "core/data_image.h"  // IPv4

namespace zel {

inline constexpr const char* kSettingsFile = "OV_Setup.cfg";

struct LinkSelection {
  std::int16_t port = 0;  // 0 = LAN, 1..20 = COMn
  std::uint16_t reserved = 1;
  IPv4 ip{0, 0, 0, 0};  // the register's address
  int baud_choice = 0;  // 0 = 115200 baud, anything else 9600
  // The register's UDP port when it is not the usual one (a register behind
  // a forwarded port); 0 = RegisterPort(). Not kept in the settings file.
  std::uint16_t udp_port = 0;
  bool lan() const { return port == 0; }
  int baud() const { return baud_choice == 0 ? 115200 : 9600; }
};

// Reads the fields the file holds in full; a missing or short file leaves the
// others as they were. No message either way.
void LoadSettings(LinkSelection& selection, const std::string& path = kSettingsFile);
// Creates or truncates the file and writes the three fields. Returns false
// when the file cannot be written (the selection is then simply not kept).
bool SaveSettings(const LinkSelection& selection, const std::string& path = kSettingsFile);

}  // namespace zel
