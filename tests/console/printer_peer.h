// A scripted register in fiscal printer mode for the console tests: it
// answers ENQ with ACK and each command frame with a reply text from a
// handler, over a pseudo-terminal master (serial rules) or a UDP socket on
// the loopback (LAN rules), and spoils replies on demand. Its frame code is
// written here, apart from console/command_link.cpp, so a framing mistake
// there cannot hide behind the same mistake here.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zel::test {

inline std::string SerialFrame(const std::string& text) {
  unsigned sum = 0;
  for (char c : text) sum += static_cast<unsigned char>(c);
  sum %= 256;
  std::string f = "\x02" + text;
  f += static_cast<char>('0' + sum / 10 % 10);
  f += static_cast<char>('0' + sum % 10);
  f += '\x03';
  return f;
}

inline std::string LanDatagram(std::uint16_t magic, std::uint16_t seq, std::uint8_t kind, const std::string& text) {
  std::string d(12, '\0');
  const auto put = [&](std::size_t at, unsigned v) {
    d[at] = static_cast<char>(v & 0xFF);
    d[at + 1] = static_cast<char>((v >> 8) & 0xFF);
  };
  unsigned sum = 0xAA55;
  for (char c : text) sum += static_cast<unsigned char>(c);
  put(0, magic);
  put(2, seq);
  d[4] = static_cast<char>(kind);
  put(6, static_cast<unsigned>(text.size()));
  put(8, sum & 0xFFFF);
  unsigned head = 0xAA55;
  for (int i = 0; i < 10; ++i) head += static_cast<unsigned char>(d[static_cast<std::size_t>(i)]);
  put(10, head & 0xFFFF);
  return d + text;
}

// How the next reply is spoilt.
enum class PeerFault {
  kNone,
  kNoAck,          // ENQs are not answered (see ignore_enquiries)
  kSilent,         // the command gets no reply
  kBadChecksum,    // wrong checksum digits / LAN payload checksum
  kStall,          // serial: the reply stops before its last 4 bytes until a 0x00 nudge comes
  kWrongSequence,  // LAN: the reply carries another sequence number
  kTrailing,       // serial: a byte of noise after the ETX
};

class PrinterPeer {
 public:
  using Handler = std::function<std::string(const std::string& command)>;
  static std::string Accept(const std::string&) { return "00/0/0/"; }

  explicit PrinterPeer(Handler handler = Accept) : handler_(std::move(handler)) {}
  ~PrinterPeer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }

  // Serves the serial rules on `fd` (a pseudo-terminal master), which it owns.
  void ServeSerial(int fd) {
    fd_ = fd;
    thread_ = std::thread([this] { SerialLoop(); });
  }
  // Serves the LAN rules on a new UDP socket; returns its port.
  std::uint16_t ServeLan() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
    thread_ = std::thread([this] { LanLoop(); });
    return ntohs(a.sin_port);
  }

  void AddFaults(std::initializer_list<PeerFault> faults) {
    std::lock_guard lock(mutex_);
    faults_.insert(faults_.end(), faults);
  }
  std::vector<std::string> Commands() {
    std::lock_guard lock(mutex_);
    return commands_;
  }
  void ForgetCommands() {
    std::lock_guard lock(mutex_);
    commands_.clear();
  }
  // Serial: writes a reply frame for `text` at once, as a register whose
  // reply comes after its command has given up.
  void WriteLateReply(const std::string& text) { Write("\x06" + SerialFrame(text)); }
  std::vector<std::uint16_t> Sequences() {
    std::lock_guard lock(mutex_);
    return sequences_;
  }
  // Waits (at most `patience`) until what the peer has seen satisfies
  // `seen(commands, enquiries, replies)`; false when it did not.
  template <class F>
  bool WaitUntil(F seen, std::chrono::milliseconds patience = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, patience,
                             [&] { return seen(commands_.size(), enquiries_.load(), replies_.load()); });
  }
  bool WaitForCommands(std::size_t n) {
    return WaitUntil([n](std::size_t commands, int, int) { return commands >= n; });
  }
  int enquiries() const { return enquiries_; }
  int nudges() const { return nudges_; }
  // Replies written so far (in part, for a stalled one).
  int replies() const { return replies_; }
  // ENQs not answered before the peer starts answering again.
  std::atomic<int> ignore_enquiries{0};

 private:
  PeerFault NextFault() {
    std::lock_guard lock(mutex_);
    if (faults_.empty()) return PeerFault::kNone;
    const PeerFault f = faults_.front();
    faults_.pop_front();
    return f;
  }
  std::string Answer(const std::string& command) {
    {
      std::lock_guard lock(mutex_);
      commands_.push_back(command);
    }
    changed_.notify_all();
    return handler_(command);
  }
  void Write(const std::string& bytes) {
    std::lock_guard lock(write_mutex_);
    std::size_t at = 0;
    while (at < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + at, bytes.size() - at);
      if (n <= 0) return;
      at += static_cast<std::size_t>(n);
    }
  }
  bool WaitReadable(int ms) {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0 && (p.revents & POLLIN);
  }

  void SerialLoop() {
    std::string pending;  // bytes of a frame being received
    std::string held;     // the end of a stalled reply, sent when nudged
    bool in_frame = false;
    while (!stop_) {
      if (!WaitReadable(20)) continue;
      char buf[256];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) continue;
      for (ssize_t i = 0; i < n; ++i) {
        const char c = buf[i];
        if (!in_frame && c == '\x05') {
          Count(enquiries_);
          if (ignore_enquiries > 0) {
            --ignore_enquiries;
            continue;
          }
          Write("\x06");
        } else if (!in_frame && c == '\0' && !held.empty()) {
          ++nudges_;
          // The stalled register answers the nudge with its last bytes and
          // one byte more, so the ETX stands one place before the end.
          Write(held + std::string(1, '\0'));
          held.clear();
        } else if (!in_frame && c == '\x02') {
          in_frame = true;
          pending.clear();
        } else if (in_frame && c == '\x03') {
          in_frame = false;
          const std::string text = pending.size() >= 2 ? pending.substr(0, pending.size() - 2) : "";
          const PeerFault fault = NextFault();
          const std::string reply = Answer(text);
          if (fault == PeerFault::kSilent) continue;
          std::string frame = SerialFrame(reply);
          if (fault == PeerFault::kBadChecksum)
            frame[frame.size() - 2] = static_cast<char>(frame[frame.size() - 2] == '0' ? '1' : '0');
          if (fault == PeerFault::kTrailing) frame += "\x7F";
          if (fault == PeerFault::kStall) {
            held = frame.substr(frame.size() - 4);
            Write("\x06" + frame.substr(0, frame.size() - 4));
          } else {
            Write("\x06" + frame);
          }
          Count(replies_);
        } else if (in_frame) {
          pending += c;
        }
      }
    }
  }

  void LanLoop() {
    while (!stop_) {
      if (!WaitReadable(20)) continue;
      char buf[512];
      sockaddr_in from{};
      socklen_t len = sizeof from;
      const ssize_t n = ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (n < 12) continue;
      const auto get = [&](int at) {
        return static_cast<std::uint16_t>(static_cast<unsigned char>(buf[at]) |
                                          (static_cast<unsigned char>(buf[at + 1]) << 8));
      };
      const std::uint16_t seq = get(2);
      {
        std::lock_guard lock(mutex_);
        sequences_.push_back(seq);
      }
      const std::string text(buf + 12, static_cast<std::size_t>(n - 12));
      const PeerFault fault = NextFault();
      const std::string reply = Answer(text);
      if (fault == PeerFault::kSilent) continue;
      std::string d = LanDatagram(
          0x7A2D, static_cast<std::uint16_t>(fault == PeerFault::kWrongSequence ? seq + 5 : seq), 0x22, reply);
      if (fault == PeerFault::kBadChecksum) d[8] = static_cast<char>(d[8] ^ 1);
      ::sendto(fd_, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
  }

  Handler handler_;
  int fd_ = -1;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  void Count(std::atomic<int>& counter) {
    {
      std::lock_guard lock(mutex_);
      ++counter;
    }
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::mutex write_mutex_;
  std::deque<PeerFault> faults_;
  std::vector<std::string> commands_;
  std::vector<std::uint16_t> sequences_;
  std::atomic<int> enquiries_{0};
  std::atomic<int> nudges_{0};
  std::atomic<int> replies_{0};
};

}  // namespace zel::test
