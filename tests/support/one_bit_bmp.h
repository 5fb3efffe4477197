// A one-bit BMP as image editors write it: a 14-byte file header, an
// information header of 40 bytes (or 108 / 124, the V4 / V5 headers most
// tools write today), a two-entry colour table (black first unless
// `white_first`), then rows of 48 bytes stored bottom row first. Every pixel
// is white but the ones `black` names (picture row from the top, column);
// `width` and `height` go into the header as given, so a test can build
// pictures the loader must refuse.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/bytes.h"

namespace zel::support {

struct BmpForm {
  std::uint32_t info_size = 40;
  bool white_first = false;
  std::uint16_t bits = 1;
};

inline std::vector<std::uint8_t> OneBitBmp(std::uint32_t width, std::int32_t height,
                                           const std::function<bool(int row, int x)>& black = {},
                                           const BmpForm& form = {}) {
  const std::size_t rows = static_cast<std::size_t>(std::max(height, 0));
  const std::size_t offset = 14 + form.info_size + 8;
  const std::uint8_t white_pixels = form.white_first ? 0x00 : 0xFF;
  std::vector<std::uint8_t> f(offset + rows * 48, white_pixels);
  std::fill(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(offset), std::uint8_t{0});
  f[0] = 'B';
  f[1] = 'M';
  le::Put32(f.data() + 2, static_cast<std::uint32_t>(f.size()));
  le::Put32(f.data() + 10, static_cast<std::uint32_t>(offset));
  le::Put32(f.data() + 14, form.info_size);
  le::Put32(f.data() + 18, width);
  le::PutI32(f.data() + 22, height);
  le::Put16(f.data() + 26, 1);
  le::Put16(f.data() + 28, form.bits);
  le::Put32(f.data() + 14 + form.info_size + (form.white_first ? 0 : 4), 0x00FFFFFF);
  if (black) {
    for (std::size_t k = 0; k < rows; ++k) {
      std::uint8_t* row = f.data() + offset + (rows - 1 - k) * 48;
      for (int x = 0; x < 384; ++x) {
        if (!black(static_cast<int>(k), x)) continue;
        const auto bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
        row[x / 8] = static_cast<std::uint8_t>(form.white_first ? row[x / 8] | bit : row[x / 8] & ~bit);
      }
    }
  }
  return f;
}

// Every pixel black.
inline bool AllBlack(int, int) { return true; }

}  // namespace zel::support
