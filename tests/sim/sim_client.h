// The test's side of the register link: frames built here by hand (not with
// the simulator's own frame code, so a mistake there cannot check itself)
// and two small clients that talk to a running simulator over UDP loopback
// and over its pseudo-terminal.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zel::sim::test {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// 55 33 11, sequence, code, length, data, 8-bit sum and xor of all that, EB.
inline Bytes Frame(std::uint8_t seq, std::uint8_t code, const Bytes& data = {}) {
  Bytes f;
  f.reserve(data.size() + 9);
  for (std::uint8_t b :
       {std::uint8_t{0x55}, std::uint8_t{0x33}, std::uint8_t{0x11}, seq, code, static_cast<std::uint8_t>(data.size())})
    f.push_back(b);
  for (std::uint8_t b : data) f.push_back(b);
  std::uint8_t sum = 0, x = 0;
  for (std::uint8_t b : f) {
    sum = static_cast<std::uint8_t>(sum + b);
    x = static_cast<std::uint8_t>(x ^ b);
  }
  f.push_back(sum);
  f.push_back(x);
  f.push_back(0xEB);
  return f;
}

inline Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Bytes Le16(std::uint16_t v) { return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}; }
inline Bytes Le32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}

// Waits for `fd` to become readable; false on time-out.
inline bool Readable(int fd, std::chrono::milliseconds timeout) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

class UdpClient {
 public:
  explicit UdpClient(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  }
  ~UdpClient() { ::close(fd_); }
  UdpClient(const UdpClient&) = delete;
  UdpClient& operator=(const UdpClient&) = delete;

  void Send(const Bytes& b) { ::send(fd_, b.data(), b.size(), 0); }
  // The next datagram, or nothing within `timeout`.
  std::optional<Bytes> Receive(std::chrono::milliseconds timeout = 5s) {
    if (!Readable(fd_, timeout)) return std::nullopt;
    Bytes b(65536);
    const ssize_t n = ::recv(fd_, b.data(), b.size(), 0);
    if (n < 0) return std::nullopt;
    b.resize(static_cast<std::size_t>(n));
    return b;
  }
  std::optional<Bytes> Ask(const Bytes& request, std::chrono::milliseconds timeout = 5s) {
    Send(request);
    return Receive(timeout);
  }

 private:
  int fd_ = -1;
};

// The program's end of the pseudo-terminal.
class PtyClient {
 public:
  explicit PtyClient(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd_ >= 0) {
      termios t{};
      ::tcgetattr(fd_, &t);
      ::cfmakeraw(&t);
      ::tcsetattr(fd_, TCSANOW, &t);
    }
  }
  ~PtyClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  PtyClient(const PtyClient&) = delete;
  PtyClient& operator=(const PtyClient&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void Send(const Bytes& b) {
    std::size_t done = 0;
    while (done < b.size()) {
      const ssize_t w = ::write(fd_, b.data() + done, b.size() - done);
      if (w <= 0) return;
      done += static_cast<std::size_t>(w);
    }
  }

  // Bytes until one whole frame has arrived (found by its start bytes and
  // its length byte) or `timeout` passes. `before` receives what came ahead
  // of the frame. Nothing when no whole frame came.
  std::optional<Bytes> ReadFrame(std::chrono::milliseconds timeout = 5s, Bytes* before = nullptr) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      for (std::size_t i = 0; i + 6 <= buffer_.size(); ++i) {
        if (buffer_[i] != 0x55 || buffer_[i + 1] != 0x33 || buffer_[i + 2] != 0x11) continue;
        const std::size_t end = i + buffer_[i + 5] + 9;
        if (end > buffer_.size()) break;
        if (before != nullptr) before->assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(i));
        Bytes frame(buffer_.begin() + static_cast<std::ptrdiff_t>(i),
                    buffer_.begin() + static_cast<std::ptrdiff_t>(end));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(end));
        return frame;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !Readable(fd_, left)) return std::nullopt;
      std::uint8_t chunk[4096];
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      buffer_.insert(buffer_.end(), chunk, chunk + n);
    }
  }
  std::optional<Bytes> Ask(const Bytes& request, std::chrono::milliseconds timeout = 5s) {
    Send(request);
    return ReadFrame(timeout);
  }
  // Whatever arrives within `timeout`, plus what is still buffered.
  Bytes Drain(std::chrono::milliseconds timeout) {
    Bytes all = std::move(buffer_);
    buffer_.clear();
    while (Readable(fd_, timeout)) {
      std::uint8_t chunk[4096];
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n <= 0) break;
      all.insert(all.end(), chunk, chunk + n);
    }
    return all;
  }

 private:
  int fd_ = -1;
  Bytes buffer_;
};

}  // namespace zel::sim::test
