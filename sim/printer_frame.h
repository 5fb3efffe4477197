// The fiscal-printer mode's framing as the register sees it. Its own code,
// sharing nothing with the program's console link, so that a framing mistake
// on one side cannot hide behind the same mistake on the other.
//
// Serial: the program sends ENQ (0x05) and the register answers ACK (0x06);
// then a command frame
//   STX (0x02) | text | d1 d2 | ETX (0x03)
// where d1 d2 are the tens and ones digits, in ASCII, of the 8-bit sum of the
// text bytes (the hundreds digit is not sent). The register answers ACK and
// a reply frame of the same form.
//
// LAN: one datagram per command, 16-bit fields little-endian:
//   0 magic 0xE18F | 2 sequence | 4 0x21 | 5 0x00 | 6 length n |
//   8 payload check (0xAA55 + sum of the n text bytes) |
//   10 header check (0xAA55 + sum of bytes 0..9) | 12 text
// and one reply datagram with magic 0x7A2D, the request's sequence number
// and 0x22 in byte 4, laid out the same way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/frame.h"

namespace zel::sim::printer {

inline constexpr std::uint8_t kEnq = 0x05;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kNudge = 0x00;

inline constexpr std::uint16_t kRequestMagic = 0xE18F;
inline constexpr std::uint16_t kReplyMagic = 0x7A2D;
inline constexpr std::uint8_t kRequestKind = 0x21;
inline constexpr std::uint8_t kReplyKind = 0x22;
inline constexpr std::size_t kHeaderSize = 12;
inline constexpr std::uint16_t kCheckBase = 0xAA55;

// The longest text a command frame may carry; a longer run of bytes after an
// STX is no frame.
inline constexpr std::size_t kMaxText = 255;

// The two check digits of a text.
std::string CheckDigits(std::string_view text);

// STX text d1 d2 ETX.
ByteVector SerialFrame(std::string_view text);

// What a command frame (STX .. ETX) holds; `intact` is false when its check
// digits do not match its text.
struct SerialCommand {
  std::string text;
  bool intact = true;
};
std::optional<SerialCommand> ParseSerialFrame(ConstByteSpan frame);

// True when the datagram begins with the request magic.
bool IsLanRequest(ConstByteSpan datagram);

struct LanCommand {
  std::uint16_t seq = 0;
  std::string text;
  bool intact = true;  // kind byte, length and both checks right
};
// Nothing when the datagram is shorter than a header.
std::optional<LanCommand> ParseLanRequest(ConstByteSpan datagram);

// The reply datagram for `text`.
ByteVector LanReply(std::uint16_t seq, std::string_view text);

}  // namespace zel::sim::printer
