#include "sim/links.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace zel::sim {

using std::chrono::steady_clock;

namespace {

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Waits for `events` on `fd` or the stop descriptor until `deadline`
// (none: no deadline). Returns the fd's events, 0 on time-out, -1 on stop.
int PollWithStop(int fd, short events, int stop_fd, const steady_clock::time_point* deadline) {
  for (;;) {
    pollfd fds[2] = {{stop_fd, POLLIN, 0}, {fd, events, 0}};
    // Nanoseconds, not milliseconds: the baud rate's pace waits for single
    // byte times (87 us at 115200), which a wait rounded up to whole
    // milliseconds would stretch many times over.
    timespec timeout{};
    if (deadline != nullptr) {
      const auto left = std::max(*deadline - steady_clock::now(), steady_clock::duration::zero());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    }
    const int r = ::ppoll(fds, fd >= 0 ? 2 : 1, deadline != nullptr ? &timeout : nullptr, nullptr);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (fds[0].revents != 0) return -1;
    if (r == 0) {
      if (deadline != nullptr && steady_clock::now() < *deadline) continue;
      return 0;
    }
    return fds[1].revents;
  }
}

}  // namespace

std::uint64_t Counters::Handled() const {
  std::uint64_t n = damaged + printer;
  for (std::uint64_t r : requests) n += r;
  return n;
}

Counters Stats::Get() const {
  std::lock_guard lock(mutex_);
  return counters_;
}

void Stats::Reset() {
  std::lock_guard lock(mutex_);
  counters_ = {};
}

bool Stats::WaitForHandled(std::uint64_t n, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return counters_.Handled() >= n; });
}

// ---- Link ------------------------------------------------------------------

Link::Link(LinkKind kind, Protocol& protocol, Stats& stats, const FaultOptions& faults, const LinkTiming& timing)
    : protocol_(protocol),
      stats_(stats),
      kind_(kind),
      faults_(faults),
      injector_(faults.rates, faults.seed + (kind == LinkKind::kSerial ? 0u : 1u)),
      timing_(timing) {
  stop_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

Link::~Link() {
  Stop();
  if (stop_fd_ >= 0) ::close(stop_fd_);
}

void Link::Start(std::function<void()> body) {
  thread_ = std::thread([body = std::move(body)] {
    // The line's pace is made of waits of one byte time (87 us at 115200);
    // the default timer slack of 50 us would add most of one to each.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    body();
  });
}

void Link::Stop() {
  if (stop_fd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t w = ::write(stop_fd_, &one, sizeof one);
  }
  if (thread_.joinable()) thread_.join();
}

bool Link::Stopping() const {
  const auto now = steady_clock::now();
  return PollWithStop(-1, 0, stop_fd_, &now) < 0;
}

void Link::SetFaults(const FaultOptions& faults) {
  std::lock_guard lock(settings_mutex_);
  faults_ = faults;
  injector_ = FaultInjector(faults.rates, faults.seed + (kind_ == LinkKind::kSerial ? 0u : 1u));
  served_ = 0;
}

void Link::SetTiming(const LinkTiming& timing) {
  std::lock_guard lock(settings_mutex_);
  timing_ = timing;
}

LinkTiming Link::Timing() const {
  std::lock_guard lock(settings_mutex_);
  return timing_;
}

bool Link::WaitUntil(steady_clock::time_point deadline) const { return PollWithStop(-1, 0, stop_fd_, &deadline) == 0; }

void Link::Serve(const Request& request, const Sender& send, steady_clock::time_point arrived) {
  FaultDecision decision;
  FaultOptions faults;
  LinkTiming timing;
  bool hang_up = false;
  {
    std::lock_guard lock(settings_mutex_);
    if (!hung_up_) {
      // The register dies when the request after its last one arrives: the
      // replies it gave are all on the wire, this one gets none.
      ++served_;
      hang_up = faults_.hangup_after > 0 && served_ > static_cast<std::uint64_t>(faults_.hangup_after);
      decision = injector_.Draw();
      faults = faults_;
      timing = timing_;
    }
  }
  if (hung_up_ || hang_up) {
    stats_.Update([](Counters& c) { ++c.ignored; });
    if (hang_up) {
      hung_up_ = true;
      HangUp();
    }
    return;
  }
  // The request is carried out (or refused) before anything is counted, so
  // a test that sees the count also sees the register's new state.
  ByteVector reply = protocol_.Serve(request, decision, kind_);
  stats_.Update([&](Counters& c) {
    if (request.kind != RequestKind::kProgramming)
      ++c.printer;
    else if (request.intact && request.code >= 0)
      ++c.requests[static_cast<std::size_t>(request.code)];
    else
      ++c.damaged;
    if (decision.fault != Fault::kNone) ++c.faults[static_cast<std::size_t>(decision.fault)];
  });

  if (decision.fault == Fault::kLost || reply.empty()) return;
  auto delay = std::chrono::milliseconds(timing.turnaround_ms);
  if (decision.fault == Fault::kSlow) delay += std::chrono::milliseconds(faults.slow_ms);
  // The reply is due a turnaround after the request came in, however late
  // this thread got round to it; a paced line catches up from there.
  const steady_clock::time_point due = arrived + delay;
  if (delay.count() > 0 && !WaitUntil(due)) return;
  if (decision.fault == Fault::kNoise) {
    const ByteVector noise = NoiseBytes(decision.variant);
    reply.insert(reply.begin(), noise.begin(), noise.end());
  }
  // Counted before it goes out, so whoever has received it sees it counted.
  stats_.Update([&](Counters& c) {
    ++c.replies;
    c.bytes_sent += reply.size();
  });
  send(reply, due);
}

// ---- Pseudo-terminal ---------------------------------------------------------

std::unique_ptr<PtyLink> PtyLink::Open(Protocol& protocol, Stats& stats, const FaultOptions& faults,
                                       const LinkTiming& timing, std::string* error) {
  std::unique_ptr<PtyLink> link(new PtyLink(LinkKind::kSerial, protocol, stats, faults, timing));
  const auto fail = [&](const char* what) {
    if (error != nullptr) *error = SystemError(what);
    return nullptr;
  };
  if (link->stop_fd_ < 0) return fail("eventfd");
  link->master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (link->master_ < 0) return fail("posix_openpt");
  if (::grantpt(link->master_) != 0 || ::unlockpt(link->master_) != 0) return fail("grantpt/unlockpt");
  char name[128];
  if (::ptsname_r(link->master_, name, sizeof name) != 0) return fail("ptsname");
  link->path_ = name;
  link->slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (link->slave_ < 0) return fail("open pty");
  // Raw at once: a terminal in cooked mode would echo the replies back to
  // us and mangle CR, LF and control bytes.
  termios t{};
  if (::tcgetattr(link->slave_, &t) != 0) return fail("tcgetattr");
  ::cfmakeraw(&t);
  if (::tcsetattr(link->slave_, TCSANOW, &t) != 0) return fail("tcsetattr");
  const int flags = ::fcntl(link->master_, F_GETFL);
  if (flags < 0 || ::fcntl(link->master_, F_SETFL, flags | O_NONBLOCK) != 0) return fail("fcntl");
  PtyLink* self = link.get();
  link->Start([self] { self->Run(); });
  return link;
}

PtyLink::~PtyLink() {
  Stop();
  CloseDescriptors();
}

void PtyLink::CloseDescriptors() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
}

void PtyLink::HangUp() { CloseDescriptors(); }

bool PtyLink::Write(const ByteVector& bytes, steady_clock::time_point start) {
  const int baud = Timing().baud;
  const auto per_byte = std::chrono::nanoseconds(baud > 0 ? 10'000'000'000LL / baud : 0);
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    std::size_t due = bytes.size();
    if (baud > 0) {
      // Hand over only the bytes that have crossed the line: byte k (from
      // 0) is complete, stop bit and all, k + 1 byte times after the start.
      due = std::min<std::size_t>(bytes.size(), static_cast<std::size_t>((steady_clock::now() - start) / per_byte));
      if (due <= sent) {
        if (!WaitUntil(start + per_byte * static_cast<long long>(sent + 1))) return false;
        continue;
      }
    }
    const ssize_t w = ::write(master_, bytes.data() + sent, due - sent);
    if (w > 0) {
      sent += static_cast<std::size_t>(w);
    } else if (w < 0 && errno == EAGAIN) {
      // Nobody reads the terminal: wait until there is room again.
      if (PollWithStop(master_, POLLOUT, stop_fd_, nullptr) < 0) return false;
    } else if (!(w < 0 && errno == EINTR)) {
      return false;
    }
  }
  return true;
}

void PtyLink::Run() {
  auto splitter = protocol_.NewStreamSplitter();
  std::uint8_t buffer[4096];
  const Sender send = [this](const ByteVector& bytes, steady_clock::time_point start) { return Write(bytes, start); };
  // The line in: a pseudo-terminal hands over at once what the program
  // wrote, a real line one byte every 10 bits. `line_in_done` is when the
  // bytes read so far would have finished arriving; a request is taken only
  // then, so that at a baud rate both ways of an exchange take their time.
  steady_clock::time_point line_in_done{};
  steady_clock::time_point read_at{};  // when the last bytes were read
  while (!hung_up_) {
    steady_clock::time_point gap_end;
    const bool pending = splitter->Pending();
    if (pending) gap_end = steady_clock::now() + std::chrono::milliseconds(Timing().gap_ms);
    const int events = PollWithStop(master_, POLLIN, stop_fd_, pending ? &gap_end : nullptr);
    if (events < 0) break;
    if (events == 0) {
      splitter->GiveUp();  // the line went quiet in the middle of a frame
    } else if (events & POLLIN) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      read_at = steady_clock::now();
      if (n > 0) {
        stats_.Update([n](Counters& c) { c.bytes_received += static_cast<std::uint64_t>(n); });
        if (const int baud = Timing().baud; baud > 0)
          line_in_done = std::max(line_in_done, steady_clock::now()) +
                         std::chrono::nanoseconds(10'000'000'000LL / baud) * static_cast<long long>(n);
        splitter->Append(ConstByteSpan(buffer, static_cast<std::size_t>(n)));
      } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        continue;
      } else {
        break;  // the terminal is gone
      }
    } else {
      break;  // POLLHUP/POLLERR without data: the terminal is gone
    }
    while (!hung_up_) {
      auto request = splitter->Next();
      if (!request) break;
      if (steady_clock::now() < line_in_done && !WaitUntil(line_in_done)) return;
      Serve(*request, send, std::max(line_in_done, read_at));
      if (Stopping()) return;
    }
  }
}

// ---- UDP -----------------------------------------------------------------------

std::unique_ptr<UdpLink> UdpLink::Open(Protocol& protocol, Stats& stats, const FaultOptions& faults,
                                       const LinkTiming& timing, const std::string& address, std::uint16_t port,
                                       std::string* error) {
  std::unique_ptr<UdpLink> link(new UdpLink(LinkKind::kDatagram, protocol, stats, faults, timing));
  const auto fail = [&](const std::string& what) {
    if (error != nullptr) *error = what;
    return nullptr;
  };
  if (link->stop_fd_ < 0) return fail(SystemError("eventfd"));
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) return fail("λάθος διεύθυνση IP: " + address);
  link->socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (link->socket_ < 0) return fail(SystemError("socket"));
  if (::bind(link->socket_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
    return fail(SystemError(("bind " + address + ":" + std::to_string(port)).c_str()));
  socklen_t len = sizeof sa;
  if (::getsockname(link->socket_, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
    return fail(SystemError("getsockname"));
  link->port_ = ntohs(sa.sin_port);
  UdpLink* self = link.get();
  link->Start([self] { self->Run(); });
  return link;
}

UdpLink::~UdpLink() {
  Stop();
  if (socket_ >= 0) ::close(socket_);
}

void UdpLink::Run() {
  std::uint8_t buffer[65536];
  for (;;) {
    const int events = PollWithStop(socket_, POLLIN, stop_fd_, nullptr);
    if (events < 0) return;
    sockaddr_in from{};
    socklen_t from_len = sizeof from;
    const ssize_t n = ::recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &from_len);
    if (n < 0) continue;  // would block, interrupted, or an error report of an earlier send
    stats_.Update([n](Counters& c) { c.bytes_received += static_cast<std::uint64_t>(n); });
    auto request = protocol_.SplitDatagram(ConstByteSpan(buffer, static_cast<std::size_t>(n)));
    if (!request) {
      stats_.Update([](Counters& c) { ++c.ignored; });
      continue;
    }
    Serve(
        *request,
        [&](const ByteVector& bytes, steady_clock::time_point) {
          return ::sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&from), from_len) ==
                 static_cast<ssize_t>(bytes.size());
        },
        steady_clock::now());
  }
}

}  // namespace zel::sim
