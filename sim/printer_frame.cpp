#include "sim/printer_frame.h"

namespace zel::sim::printer {
namespace {

std::uint16_t Get16(ConstByteSpan b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }

void Put16(ByteVector& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::uint16_t Check16(const std::uint8_t* p, std::size_t n) {
  std::uint32_t sum = kCheckBase;
  for (std::size_t i = 0; i < n; ++i) sum += p[i];
  return static_cast<std::uint16_t>(sum);
}

}  // namespace

std::string CheckDigits(std::string_view text) {
  std::uint8_t sum = 0;
  for (char c : text) sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
  return {static_cast<char>('0' + sum / 10 % 10), static_cast<char>('0' + sum % 10)};
}

ByteVector SerialFrame(std::string_view text) {
  ByteVector f;
  f.reserve(text.size() + 4);
  f.push_back(kStx);
  f.insert(f.end(), text.begin(), text.end());
  const std::string digits = CheckDigits(text);
  f.insert(f.end(), digits.begin(), digits.end());
  f.push_back(kEtx);
  return f;
}

std::optional<SerialCommand> ParseSerialFrame(ConstByteSpan frame) {
  if (frame.size() < 4 || frame.front() != kStx || frame.back() != kEtx) return std::nullopt;
  SerialCommand c;
  c.text.assign(frame.begin() + 1, frame.end() - 3);
  const std::string digits = CheckDigits(c.text);
  c.intact = frame[frame.size() - 3] == static_cast<std::uint8_t>(digits[0]) &&
             frame[frame.size() - 2] == static_cast<std::uint8_t>(digits[1]);
  return c;
}

bool IsLanRequest(ConstByteSpan datagram) { return datagram.size() >= 2 && Get16(datagram, 0) == kRequestMagic; }

std::optional<LanCommand> ParseLanRequest(ConstByteSpan d) {
  if (d.size() < kHeaderSize || !IsLanRequest(d)) return std::nullopt;
  LanCommand c;
  c.seq = Get16(d, 2);
  const std::size_t n = Get16(d, 6);
  const std::size_t available = d.size() - kHeaderSize;
  c.text.assign(d.begin() + kHeaderSize, d.begin() + static_cast<std::ptrdiff_t>(kHeaderSize + std::min(n, available)));
  c.intact = d[4] == kRequestKind && n == available && n > 0 &&
             Get16(d, 8) == Check16(d.data() + kHeaderSize, available) && Get16(d, 10) == Check16(d.data(), 10);
  return c;
}

ByteVector LanReply(std::uint16_t seq, std::string_view text) {
  ByteVector d(kHeaderSize);
  Put16(d, 0, kReplyMagic);
  Put16(d, 2, seq);
  d[4] = kReplyKind;
  d[5] = 0;
  Put16(d, 6, static_cast<std::uint16_t>(text.size()));
  d.insert(d.end(), text.begin(), text.end());
  Put16(d, 8, Check16(d.data() + kHeaderSize, text.size()));
  Put16(d, 10, Check16(d.data(), 10));
  return d;
}

}  // namespace zel::sim::printer
