// Little-endian field access for the data image, the wire and the report files.
//
// Every multi-byte value the register and the .cld file know is little-endian.
// These helpers read and write them byte by byte, so no code depends on the
// host's byte order, on alignment or on casting packed structs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zel::le {

inline std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

inline std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int32_t GetI32(const std::uint8_t* p) { return static_cast<std::int32_t>(Get32(p)); }
inline std::int16_t GetI16(const std::uint8_t* p) { return static_cast<std::int16_t>(Get16(p)); }

inline void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void Put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline void PutI32(std::uint8_t* p, std::int32_t v) { Put32(p, static_cast<std::uint32_t>(v)); }

}  // namespace zel::le
