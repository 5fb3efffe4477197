// A scripted register for the link tests: it reads request frames from one
// end of a socket pair, a pseudo-terminal master or a UDP socket on the
// loopback, answers each through a handler, and spoils replies on demand
// (one queued fault per reply). Its frame code is written here, apart from
// link/exchange.cpp, so a framing mistake there cannot hide behind the same
// mistake here.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace zel::test {

using ByteVector = std::vector<std::uint8_t>;

inline ByteVector RegisterFrame(std::uint8_t seq, std::uint8_t code, const ByteVector& data) {
  const std::size_t n = data.size();
  ByteVector f(n + 9);
  f[0] = 0x55;
  f[1] = 0x33;
  f[2] = 0x11;
  f[3] = seq;
  f[4] = code;
  f[5] = static_cast<std::uint8_t>(n);
  for (std::size_t i = 0; i < n; ++i) f[6 + i] = data[i];
  std::uint8_t sum = 0, x = 0;
  for (std::size_t i = 0; i < n + 6; ++i) {
    sum = static_cast<std::uint8_t>(sum + f[i]);
    x = static_cast<std::uint8_t>(x ^ f[i]);
  }
  f[n + 6] = sum;
  f[n + 7] = x;
  f[n + 8] = 0xEB;
  return f;
}

// A request as the register saw it.
struct Seen {
  std::uint8_t seq = 0;
  std::uint8_t code = 0;
  ByteVector data;
  bool sound = true;  // the request's sum, xor and end byte were right
  int record() const {
    if (data.size() >= 2) return data[0] | (data[1] << 8);
    return data.empty() ? -1 : data[0];
  }
};

struct Answer {
  std::uint8_t code = 0;
  ByteVector data;
};

enum class Fault {
  kNone,
  kSilent,         // no reply
  kBadChecksum,    // the sum byte is wrong
  kNoiseBefore,    // a few bytes of noise before the frame
  kWrongSequence,  // the reply carries another sequence number
  kReceiveError,   // code 0x80
  kRefuse,         // code 0x7F
  kOversize,       // a sound frame with 200 data bytes
  kGarbage,        // bytes without any frame start
  kTrickle,        // the frame byte by byte
  kHangUp,         // the register's end closes instead of replying
};

class FakeRegister {
 public:
  using Handler = std::function<std::optional<Answer>(const Seen&)>;
  static std::optional<Answer> Echo(const Seen& s) { return Answer{s.code, {}}; }

  explicit FakeRegister(Handler handler = Echo) : handler_(std::move(handler)) {
    stop_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  }
  ~FakeRegister() {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(stop_fd_, &one, sizeof one);
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
    ::close(stop_fd_);
  }
  FakeRegister(const FakeRegister&) = delete;
  FakeRegister& operator=(const FakeRegister&) = delete;

  // Serves a byte stream (socket pair end, pty master); takes the descriptor.
  void ServeStream(int fd) {
    fd_ = fd;
    thread_ = std::thread([this] { StreamLoop(); });
  }
  // Serves UDP on 127.0.0.1; returns the port.
  std::uint16_t ServeUdp() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    thread_ = std::thread([this] { UdpLoop(); });
    return ntohs(a.sin_port);
  }

  // Answers every request with these raw bytes instead of a frame (nothing:
  // no answer), for peers that send whatever they like.
  void SetRawAnswers(std::function<std::optional<ByteVector>(const Seen&)> raw) {
    std::lock_guard lock(mutex_);
    raw_ = std::move(raw);
  }

  void AddFaults(std::initializer_list<Fault> faults) {
    std::lock_guard lock(mutex_);
    faults_.insert(faults_.end(), faults.begin(), faults.end());
  }
  std::vector<Seen> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  // Blocks (at most 10 s) until n requests came in.
  bool WaitForRequests(std::size_t n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return requests_.size() >= n; });
  }
  // Runs f with the handler's state locked (the handler runs on the
  // register's thread under the same lock).
  template <class F>
  auto Locked(F f) {
    std::lock_guard lock(mutex_);
    return f();
  }

 private:
  // Returns the bytes to send for one request, or nothing; kHangUp in
  // `hang_up`.
  std::optional<ByteVector> Respond(const Seen& s, bool& hang_up) {
    std::lock_guard lock(mutex_);
    requests_.push_back(s);
    changed_.notify_all();
    Fault fault = Fault::kNone;
    if (!faults_.empty()) {
      fault = faults_.front();
      faults_.pop_front();
    }
    if (raw_) return raw_(s);
    std::optional<Answer> answer = handler_(s);
    if (fault == Fault::kHangUp) {
      hang_up = true;
      return std::nullopt;
    }
    if (!answer || fault == Fault::kSilent) return std::nullopt;
    std::uint8_t seq = s.seq;
    switch (fault) {
      case Fault::kWrongSequence: seq = static_cast<std::uint8_t>(seq + 1); break;
      case Fault::kReceiveError: answer = Answer{0x80, {}}; break;
      case Fault::kRefuse: answer = Answer{0x7F, {}}; break;
      case Fault::kOversize: answer->data.assign(200, 0x42); break;
      case Fault::kGarbage: return ByteVector(400, 0x5A);  // past the scan limit, no frame start
      default: break;
    }
    ByteVector frame = RegisterFrame(seq, answer->code, answer->data);
    if (fault == Fault::kBadChecksum) frame[frame.size() - 3] ^= 0x5A;
    if (fault == Fault::kNoiseBefore) frame.insert(frame.begin(), {0x00, 0x13, 0x55, 0x33, 0xEB, 0x55});
    if (fault == Fault::kTrickle) trickle_ = true;
    return frame;
  }

  void WriteAll(const ByteVector& bytes) {
    const bool trickle = std::exchange(trickle_, false);
    std::size_t done = 0;
    while (done < bytes.size()) {
      const std::size_t chunk = trickle ? 1 : bytes.size() - done;
      const ssize_t n = ::send(fd_, bytes.data() + done, chunk, MSG_NOSIGNAL);
      const ssize_t w = n < 0 && errno == ENOTSOCK ? ::write(fd_, bytes.data() + done, chunk) : n;
      if (w <= 0) return;
      done += static_cast<std::size_t>(w);
      if (trickle) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  void StreamLoop() {
    ByteVector in;
    std::uint8_t chunk[512];
    for (;;) {
      pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
      if (fds[1].revents) return;
      if (!(fds[0].revents & POLLIN)) {
        if (fds[0].revents & (POLLHUP | POLLERR)) return;
        continue;
      }
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n <= 0) return;
      in.insert(in.end(), chunk, chunk + n);
      for (;;) {
        std::size_t start = 0;
        while (start + 2 < in.size() && !(in[start] == 0x55 && in[start + 1] == 0x33 && in[start + 2] == 0x11)) ++start;
        in.erase(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(start));
        if (in.size() < 6 || in.size() < in[5] + 9u) break;
        const std::size_t len = in[5] + 9u;
        Seen s{in[3], in[4], ByteVector(in.begin() + 6, in.begin() + 6 + in[5]),
               RegisterFrame(in[3], in[4], ByteVector(in.begin() + 6, in.begin() + 6 + in[5])) ==
                   ByteVector(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(len))};
        in.erase(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(len));
        bool hang_up = false;
        const std::optional<ByteVector> reply = Respond(s, hang_up);
        if (hang_up) {
          ::close(fd_);
          fd_ = -1;
          return;
        }
        if (reply) WriteAll(*reply);
      }
    }
  }

  void UdpLoop() {
    std::uint8_t buf[1024];
    for (;;) {
      pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
      if (fds[1].revents) return;
      sockaddr_in from{};
      socklen_t len = sizeof from;
      const ssize_t n = ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (n < 9 || n != buf[5] + 9) continue;
      Seen s{buf[3], buf[4], ByteVector(buf + 6, buf + 6 + buf[5]),
             RegisterFrame(buf[3], buf[4], ByteVector(buf + 6, buf + 6 + buf[5])) == ByteVector(buf, buf + n)};
      bool hang_up = false;
      const std::optional<ByteVector> reply = Respond(s, hang_up);
      if (hang_up) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
      if (reply) ::sendto(fd_, reply->data(), reply->size(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
  }

  Handler handler_;
  std::function<std::optional<ByteVector>(const Seen&)> raw_;
  int fd_ = -1;
  int stop_fd_ = -1;
  bool trickle_ = false;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Fault> faults_;
  std::vector<Seen> requests_;
};

}  // namespace zel::test
