// The BMP logo loader: the input is the file. A file the loader refuses
// leaves the bitmap cleared; one it takes may set any bit but nothing
// outside the logo's bytes.
#include <algorithm>
#include <array>

#include "editors/logo_panel.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kLogo = zel::logo::kRows * zel::logo::kRowBytes;
  // Guard bytes around the bitmap: AddressSanitizer sees a write past a
  // std::array's end only when it leaves the object, so the guards catch
  // the near misses.
  std::array<std::uint8_t, kLogo + 64> area;
  area.fill(0xA5);
  const std::span<std::uint8_t> bitmap(area.data() + 32, kLogo);
  const bool taken = zel::editors::DecodeLogoBmp({data, size}, bitmap);
  zel::fuzz::Require(std::all_of(area.begin(), area.begin() + 32, [](std::uint8_t b) { return b == 0xA5; }) &&
                         std::all_of(area.end() - 32, area.end(), [](std::uint8_t b) { return b == 0xA5; }),
                     "the decoder writes only the logo's bytes");
  if (!taken)
    zel::fuzz::Require(std::all_of(bitmap.begin(), bitmap.end(), [](std::uint8_t b) { return b == 0; }),
                       "a refused file leaves the bitmap cleared");
  return 0;
}
