#include "link/settings.h"

#include <cstdio>

#include "core/bytes.h"

namespace zel {

void LoadSettings(LinkSelection& selection, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return;
  std::uint8_t b[8];
  const std::size_t n = std::fread(b, 1, sizeof b, f);
  std::fclose(f);
  if (n >= 2) selection.port = le::GetI16(b);
  if (n >= 4) selection.reserved = le::Get16(b + 2);
  if (n >= 8) selection.ip = {b[4], b[5], b[6], b[7]};
}

bool SaveSettings(const LinkSelection& selection, const std::string& path) {
  std::uint8_t b[8];
  le::Put16(b, static_cast<std::uint16_t>(selection.port));
  le::Put16(b + 2, selection.reserved);
  for (std::size_t i = 0; i < 4; ++i) b[4 + i] = selection.ip[i];
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(b, 1, sizeof b, f) == sizeof b;
  return std::fclose(f) == 0 && ok;
}

}  // namespace zel
