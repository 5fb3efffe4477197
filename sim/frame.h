// The programming link's frame as the register sees it:
//
//   55 33 11 | sequence | code | n | n data bytes | sum | xor | EB
//
// sum and xor run over everything before the sum byte. There is no escaping:
// the length byte alone says where a frame ends, so data may hold 0x55 and
// 0xEB freely.
//
// This code is the register's own and shares nothing with the program's link
// code: a framing mistake on one side must not hide behind the same mistake
// on the other.
//
// FrameScanner splits a serial byte stream into frames. It skips noise up to
// the start bytes, tells intact frames from damaged ones, and recognises a
// start that was only noise when a valid frame begins inside it. Its buffer
// never holds more than one frame's worth of bytes plus the last read, so a
// flood of bytes cannot grow it. Not thread-safe: one scanner per link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zel::sim {

using ByteVector = std::vector<std::uint8_t>;
using ConstByteSpan = std::span<const std::uint8_t>;

inline constexpr std::uint8_t kStart1 = 0x55;
inline constexpr std::uint8_t kStart2 = 0x33;
inline constexpr std::uint8_t kStart3 = 0x11;
inline constexpr std::uint8_t kEndByte = 0xEB;
inline constexpr std::size_t kFrameOverhead = 9;  // start bytes, sequence, code, length, sum, xor, end
inline constexpr std::size_t kFrameHeadSize = 6;  // up to and including the length byte

// Reply codes beside the command code of a carried-out request.
inline constexpr std::uint8_t kCodeRefused = 0x7F;
inline constexpr std::uint8_t kCodeDamaged = 0x80;

// Offsets inside a frame.
inline constexpr std::size_t kSeqOffset = 3;
inline constexpr std::size_t kCodeOffset = 4;
inline constexpr std::size_t kLengthOffset = 5;
inline constexpr std::size_t kDataOffset = 6;

// A complete frame with its sum, xor and end byte.
ByteVector BuildFrame(std::uint8_t seq, std::uint8_t code, ConstByteSpan data);

// True when `bytes` is exactly one frame with valid start bytes, length,
// sum, xor and end byte.
bool IsIntactFrame(ConstByteSpan bytes);

// True when `bytes` begins with the three start bytes.
bool StartsWithHeader(ConstByteSpan bytes);

struct ScannedFrame {
  ByteVector bytes;  // the whole frame as received
  bool intact = true;
};

class FrameScanner {
 public:
  // Adds bytes as they arrive from the link.
  void Append(ConstByteSpan bytes);
  // The next frame completed in the stream, intact or damaged; nothing while
  // no frame is complete yet.
  std::optional<ScannedFrame> Next();
  // True while bytes wait for the rest of a frame (or of its start bytes).
  bool Pending() const { return !buffer_.empty(); }
  // The link has been silent while a frame was pending: its start was noise
  // or its tail was lost. Drops that start; what follows is scanned again.
  void GiveUp();

 private:
  // Drops everything before the first start sequence; keeps a trailing
  // partial start sequence.
  void SkipToHeader();
  // Length of the frame starting at `pos`, or 0 when its head is incomplete.
  std::size_t FrameLengthAt(std::size_t pos) const;
  bool IntactAt(std::size_t pos) const;
  bool HeaderAt(std::size_t pos) const;

  ByteVector buffer_;
};

}  // namespace zel::sim
