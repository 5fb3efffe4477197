#include "sim/frame.h"

#include <algorithm>

namespace zel::sim {
namespace {

struct Check {
  std::uint8_t sum = 0;
  std::uint8_t xor_ = 0;
};

Check Checksum(const std::uint8_t* p, std::size_t n) {
  Check c;
  for (std::size_t i = 0; i < n; ++i) {
    c.sum = static_cast<std::uint8_t>(c.sum + p[i]);
    c.xor_ = static_cast<std::uint8_t>(c.xor_ ^ p[i]);
  }
  return c;
}

bool IntactBytes(const std::uint8_t* p, std::size_t size) {
  if (size < kFrameOverhead) return false;
  if (p[0] != kStart1 || p[1] != kStart2 || p[2] != kStart3) return false;
  const std::size_t n = p[kLengthOffset];
  if (size != n + kFrameOverhead) return false;
  const Check c = Checksum(p, kDataOffset + n);
  return p[kDataOffset + n] == c.sum && p[kDataOffset + n + 1] == c.xor_ && p[kDataOffset + n + 2] == kEndByte;
}

}  // namespace

ByteVector BuildFrame(std::uint8_t seq, std::uint8_t code, ConstByteSpan data) {
  ByteVector f;
  f.reserve(data.size() + kFrameOverhead);
  f.insert(f.end(), {kStart1, kStart2, kStart3, seq, code, static_cast<std::uint8_t>(data.size())});
  f.insert(f.end(), data.begin(), data.end());
  const Check c = Checksum(f.data(), f.size());
  f.insert(f.end(), {c.sum, c.xor_, kEndByte});
  return f;
}

bool IsIntactFrame(ConstByteSpan bytes) { return IntactBytes(bytes.data(), bytes.size()); }

bool StartsWithHeader(ConstByteSpan bytes) {
  return bytes.size() >= 3 && bytes[0] == kStart1 && bytes[1] == kStart2 && bytes[2] == kStart3;
}

void FrameScanner::Append(ConstByteSpan bytes) { buffer_.insert(buffer_.end(), bytes.begin(), bytes.end()); }

bool FrameScanner::HeaderAt(std::size_t pos) const {
  return pos + 3 <= buffer_.size() && buffer_[pos] == kStart1 && buffer_[pos + 1] == kStart2 &&
         buffer_[pos + 2] == kStart3;
}

std::size_t FrameScanner::FrameLengthAt(std::size_t pos) const {
  if (pos + kFrameHeadSize > buffer_.size()) return 0;
  return buffer_[pos + kLengthOffset] + kFrameOverhead;
}

bool FrameScanner::IntactAt(std::size_t pos) const {
  const std::size_t length = FrameLengthAt(pos);
  return length != 0 && pos + length <= buffer_.size() && IntactBytes(buffer_.data() + pos, length);
}

void FrameScanner::SkipToHeader() {
  std::size_t pos = 0;
  while (pos < buffer_.size() && !HeaderAt(pos)) {
    // A start sequence cut off by the end of the buffer is kept for the
    // next read.
    const std::size_t rest = buffer_.size() - pos;
    if (rest < 3 && buffer_[pos] == kStart1 && (rest == 1 || buffer_[pos + 1] == kStart2)) break;
    ++pos;
  }
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos));
}

std::optional<ScannedFrame> FrameScanner::Next() {
  for (;;) {
    SkipToHeader();
    const std::size_t length = FrameLengthAt(0);
    if (!HeaderAt(0) || length == 0) return std::nullopt;  // start bytes or head still arriving

    if (IntactAt(0)) {
      ScannedFrame f{ByteVector(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length)), true};
      buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length));
      return f;
    }

    // The frame at 0 is not (yet) valid. If a valid frame starts inside it,
    // the start at 0 was noise: a real request must not be swallowed by a
    // noise byte sequence that happens to look like a frame start.
    const std::size_t inside = std::min(buffer_.size(), length);
    bool later_pending = false;
    bool resynced = false;
    for (std::size_t pos = 1; pos < inside; ++pos) {
      if (!HeaderAt(pos) && !(pos + 3 > buffer_.size() && buffer_[pos] == kStart1)) continue;
      if (IntactAt(pos)) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos));
        resynced = true;
        break;
      }
      const std::size_t inner = FrameLengthAt(pos);
      if (inner == 0 || pos + inner > buffer_.size()) later_pending = true;
    }
    if (resynced) continue;
    if (buffer_.size() < length) return std::nullopt;
    // Complete but invalid. If another frame that starts inside it is still
    // arriving, wait: it decides whether this one was noise.
    if (later_pending) return std::nullopt;
    ScannedFrame f{ByteVector(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length)), false};
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length));
    return f;
  }
}

void FrameScanner::GiveUp() {
  if (!buffer_.empty()) buffer_.erase(buffer_.begin());
}

}  // namespace zel::sim
