#include "link/udp_transport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace zel {

std::uint16_t RegisterPort() {
  if (const char* v = std::getenv("SETUPZEL_REGISTER_PORT"); v && *v) {
    char* end = nullptr;
    const long p = std::strtol(v, &end, 10);
    if (end && *end == 0 && p > 0 && p <= 65535) return static_cast<std::uint16_t>(p);
  }
  return kRegisterPort;
}

std::string DottedAddress(const IPv4& ip) {
  return std::to_string(ip[0]) + '.' + std::to_string(ip[1]) + '.' + std::to_string(ip[2]) + '.' +
         std::to_string(ip[3]);
}

IoStatus ErrnoClass(int error) {
  switch (error) {
    case ECONNREFUSED:
    case ECONNRESET:
    case ENETRESET:
    case ECONNABORTED: return IoStatus::kConnectionLost;
    case EAGAIN: return IoStatus::kWouldBlock;
    default: return IoStatus::kFailed;
  }
}

std::unique_ptr<UdpTransport> UdpTransport::Open(const IPv4& ip, std::uint16_t port, TickClock& clock, AbortFlag& abort,
                                                 int* error) {
  const auto fail = [&](int e) -> std::unique_ptr<UdpTransport> {
    if (error) *error = e;
    return nullptr;
  };
  if (ip[0] == 0) return fail(EINVAL);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (::inet_pton(AF_INET, DottedAddress(ip).c_str(), &to.sin_addr) != 1) return fail(EINVAL);
  UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd) return fail(errno);
  // A non-blocking connect that "would block" still counts as connected.
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 && errno != EAGAIN &&
      errno != EINPROGRESS)
    return fail(errno);
  UniqueFd wake_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake_fd) return fail(errno);
  return std::unique_ptr<UdpTransport>(new UdpTransport(std::move(fd), std::move(wake_fd), clock, abort));
}

UdpTransport::UdpTransport(UniqueFd fd, UniqueFd wake_fd, TickClock& clock, AbortFlag& abort)
    : fd_holder_(std::move(fd)),
      wake_holder_(std::move(wake_fd)),
      fd_(fd_holder_.get()),
      wake_fd_(wake_holder_.get()),
      clock_(clock),
      abort_(abort) {
  auto wake = [w = wake_fd_] {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(w, &one, sizeof one);
  };
  on_abort_ = abort_.OnSet(wake);
  on_time_ = clock_.OnTimeMoved(wake);
}

UdpTransport::~UdpTransport() {
  // No wake-up may write to the descriptor once it is closed.
  on_abort_.Reset();
  on_time_.Reset();
}

void UdpTransport::DrainWake() {
  std::uint64_t v;
  while (::read(wake_fd_, &v, sizeof v) > 0) {
  }
}

IoStatus UdpTransport::Send(std::span<const std::uint8_t> bytes) {
  for (int tries = 0;; ++tries) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n == static_cast<ssize_t>(bytes.size())) return IoStatus::kOk;
    if (n >= 0) return IoStatus::kFailed;
    last_error_ = errno;
    if (last_error_ == EINTR) continue;
    if (last_error_ == EAGAIN && tries == 0) {
      // A full send queue drains in moments; give it one short chance.
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, 200);
      continue;
    }
    return ErrnoClass(last_error_);
  }
}

ReceiveResult UdpTransport::Receive(std::span<std::uint8_t> into, Millis deadline, std::size_t /*want*/) {
  // A reply is hardly ever there the moment we ask (it was just requested),
  // so the wait comes first and the datagram is taken when poll() says it
  // is there: no receive call that only says "not yet" on every exchange.
  bool readable = false;
  for (;;) {
    if (abort_.IsSet()) return {IoStatus::kAborted};
    if (readable) {
      const ssize_t n = ::recv(fd_, into.data(), into.size(), MSG_TRUNC | MSG_DONTWAIT);
      if (n > 0) {
        const auto full = static_cast<std::size_t>(n);
        return {IoStatus::kOk, full < into.size() ? full : into.size(), full};
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        last_error_ = errno;
        return {ErrnoClass(last_error_), 0, 0, last_error_};
      }
      // Nothing after all (an empty datagram counts as nothing): wait on.
    }
    const int timeout = clock_.PollTimeout(deadline);
    SleepNote note(clock_, deadline);
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
    const int r = ::poll(fds, 2, timeout);
    if (r < 0 && errno != EINTR) {
      last_error_ = errno;
      return {IoStatus::kFailed, 0, 0, last_error_};
    }
    if (r > 0 && fds[1].revents) DrainWake();
    readable = r > 0 && fds[0].revents != 0;  // data, or an error for recv to report
    if (!readable && timeout == 0) return {IoStatus::kTimedOut};
  }
}

void UdpTransport::Flush() {
  // Bounded, so a flood of datagrams cannot hold us here.
  std::uint8_t scrap[512];
  for (int i = 0; i < 4096; ++i) {
    if (::recv(fd_, scrap, sizeof scrap, MSG_DONTWAIT) >= 0 || errno == EINTR) continue;
    if (errno == EAGAIN) return;
    // Any other error was pending on the socket (an ICMP refusal) and is now consumed.
  }
}

}  // namespace zel
