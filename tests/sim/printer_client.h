// The program's side of the fiscal-printer mode, built here by hand and not
// with the simulator's own frame code: serial frames STX text d1 d2 ETX after
// an ENQ/ACK, and LAN datagrams with the 12-byte 0xE18F header.
#pragma once

#include <optional>
#include <string>

#include "core/cp1253.h"
#include "tests/sim/sim_client.h"

namespace zel::sim::test {

// UTF-8 to the code page 1253 bytes on the wire.
inline std::string W(const std::string& utf8) { return cp1253::Encode(utf8); }

inline Bytes SerialCommand(const std::string& text) {
  unsigned sum = 0;
  for (char c : text) sum += static_cast<std::uint8_t>(c);
  sum %= 256;
  Bytes f{0x02};
  f.insert(f.end(), text.begin(), text.end());
  f.push_back(static_cast<std::uint8_t>('0' + sum / 10 % 10));
  f.push_back(static_cast<std::uint8_t>('0' + sum % 10));
  f.push_back(0x03);
  return f;
}

inline Bytes LanCommand(std::uint16_t seq, const std::string& text) {
  Bytes d = Cat(Cat(Le16(0xE18F), Le16(seq)), {0x21, 0x00});
  d = Cat(d, Le16(static_cast<std::uint16_t>(text.size())));
  unsigned sum = 0xAA55;
  for (char c : text) sum += static_cast<std::uint8_t>(c);
  d = Cat(d, Le16(static_cast<std::uint16_t>(sum)));
  sum = 0xAA55;
  for (std::uint8_t b : d) sum += b;
  d = Cat(d, Le16(static_cast<std::uint16_t>(sum)));
  d.insert(d.end(), text.begin(), text.end());
  return d;
}

// A LAN reply taken apart; `ok` when magic, kind, length and both checks hold.
struct LanReply {
  std::uint16_t seq = 0;
  std::string text;
  bool ok = false;
};

inline LanReply ParseLanReply(const Bytes& d) {
  LanReply r;
  if (d.size() < 12) return r;
  const auto get = [&](std::size_t at) { return static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8)); };
  r.seq = get(2);
  r.text.assign(d.begin() + 12, d.end());
  unsigned payload = 0xAA55, header = 0xAA55;
  for (std::size_t i = 12; i < d.size(); ++i) payload += d[i];
  for (std::size_t i = 0; i < 10; ++i) header += d[i];
  r.ok = get(0) == 0x7A2D && d[4] == 0x22 && get(6) == d.size() - 12 && get(8) == static_cast<std::uint16_t>(payload) &&
         get(10) == static_cast<std::uint16_t>(header);
  return r;
}

// A serial reply: ACK, STX, text, two check digits, ETX.
struct SerialReply {
  std::string text;
  bool ok = false;  // ACK first, framing and digits right
};

inline SerialReply ParseSerialReply(const Bytes& b) {
  SerialReply r;
  if (b.size() < 6 || b[0] != 0x06 || b[1] != 0x02 || b.back() != 0x03) return r;
  r.text.assign(b.begin() + 2, b.end() - 3);
  unsigned sum = 0;
  for (char c : r.text) sum += static_cast<std::uint8_t>(c);
  sum %= 256;
  r.ok = b[b.size() - 3] == '0' + sum / 10 % 10 && b[b.size() - 2] == '0' + sum % 10;
  return r;
}

class PrinterUdp {
 public:
  explicit PrinterUdp(std::uint16_t port) : client_(port) {}
  // The reply datagram to one command, or nothing.
  std::optional<Bytes> Raw(const std::string& text, std::chrono::milliseconds timeout = 5s) {
    return client_.Ask(LanCommand(++seq_, text), timeout);
  }
  // The reply text, or "" when none came or it failed its checks.
  std::string Ask(const std::string& text) {
    const auto d = Raw(text);
    if (!d) return {};
    const LanReply r = ParseLanReply(*d);
    return r.ok && r.seq == seq_ ? r.text : std::string();
  }
  std::uint16_t seq() const { return seq_; }
  UdpClient& udp() { return client_; }

 private:
  UdpClient client_;
  std::uint16_t seq_ = 400;
};

class PrinterPty {
 public:
  explicit PrinterPty(const std::string& path) : client_(path) {}
  bool ok() const { return client_.ok(); }
  PtyClient& pty() { return client_; }

  // ENQ; true when ACK (and only ACK) comes back.
  bool Enquire(std::chrono::milliseconds timeout = 2s) {
    client_.Send({0x05});
    return Read(1, timeout) == Bytes{0x06};
  }
  // Sends the frame and reads until an ETX follows a STX, or `timeout`.
  Bytes Frame(const std::string& text, std::chrono::milliseconds timeout = 5s) {
    client_.Send(SerialCommand(text));
    return UntilEtx(timeout);
  }
  Bytes UntilEtx(std::chrono::milliseconds timeout) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      bool stx = false;
      for (std::uint8_t b : got) {
        if (b == 0x02) stx = true;
        if (stx && b == 0x03) return got;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return got;
      const Bytes more = Read(1, left);
      if (more.empty()) return got;
      got.insert(got.end(), more.begin(), more.end());
    }
  }
  // The reply text to one command (enquiry first), or "" on any failure.
  std::string Ask(const std::string& text) {
    if (!Enquire()) return {};
    const SerialReply r = ParseSerialReply(Frame(text));
    return r.ok ? r.text : std::string();
  }
  // Up to `n` bytes within `timeout` (fewer when the line goes quiet).
  Bytes Read(std::size_t n, std::chrono::milliseconds timeout) {
    Bytes got;
    while (got.size() < n && Readable(client_.fd(), got.empty() ? timeout : 50ms)) {
      std::uint8_t b[256];
      const ssize_t r = ::read(client_.fd(), b, std::min(sizeof b, n - got.size()));
      if (r <= 0) break;
      got.insert(got.end(), b, b + r);
    }
    return got;
  }

 private:
  PtyClient client_;
};

}  // namespace zel::sim::test
