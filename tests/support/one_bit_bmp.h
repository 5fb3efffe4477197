// A one-bit BMP as image editors write it: 62 bytes of headers (black first
// in the colour table, colour 1 white), rows of 48 bytes stored bottom row
// first. Every pixel is white but the ones `black` names (picture row from
// the top, column); `width` and `height` go into the header as given, so a
// test can build pictures the loader must refuse.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/bytes.h"

namespace zel::support {

inline std::vector<std::uint8_t> OneBitBmp(std::uint32_t width, std::int32_t height,
                                           const std::function<bool(int row, int x)>& black = {}) {
  const std::size_t rows = static_cast<std::size_t>(std::max(height, 0));
  std::vector<std::uint8_t> f(62 + rows * 48, 0xFF);
  std::fill(f.begin(), f.begin() + 62, std::uint8_t{0});
  f[0] = 'B';
  f[1] = 'M';
  le::Put32(f.data() + 2, static_cast<std::uint32_t>(f.size()));
  le::Put32(f.data() + 10, 62);
  le::Put32(f.data() + 14, 40);
  le::Put32(f.data() + 18, width);
  le::PutI32(f.data() + 22, height);
  le::Put16(f.data() + 26, 1);
  le::Put16(f.data() + 28, 1);
  le::Put32(f.data() + 58, 0x00FFFFFF);
  if (black) {
    for (std::size_t k = 0; k < rows; ++k) {
      std::uint8_t* row = f.data() + 62 + (rows - 1 - k) * 48;
      for (int x = 0; x < 384; ++x)
        if (black(static_cast<int>(k), x)) row[x / 8] = static_cast<std::uint8_t>(row[x / 8] & ~(0x80 >> (x % 8)));
    }
  }
  return f;
}

// Every pixel black.
inline bool AllBlack(int, int) { return true; }

}  // namespace zel::support
