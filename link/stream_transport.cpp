#include "link/stream_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace zel {

struct StreamTransport::Shared {
  UniqueFd device;
  int fd = -1;       // device's descriptor while it is open
  UniqueFd stop_fd;  // eventfd: readable when the reader is to end
  std::mutex mutex;
  std::condition_variable changed;
  std::array<std::uint8_t, kReceiveBufferSize> buffer{};
  std::size_t count = 0;
  std::size_t want = 1;  // the consumer sleeps until count reaches this
  std::size_t dropped = 0;
  bool lost = false;
  bool reader_done = false;
  // Runs on the descriptor just before it is closed, by whoever closes it
  // last: Close, or a reader that outlived it.
  std::function<void(int)> before_close;

  ~Shared() { CloseFd(); }
  void CloseFd() {
    if (!device) return;
    if (before_close) before_close(device.get());
    device.Reset();
    fd = -1;
  }
};

namespace {

bool IsHangUpError(int e) { return e == EIO || e == EPIPE || e == ECONNRESET || e == ENXIO || e == ENODEV; }

}  // namespace

StreamTransport::StreamTransport(UniqueFd device, TickClock& clock, AbortFlag& abort,
                                 std::function<void(int)> before_close, int write_ms_per_byte)
    : shared_(std::make_shared<Shared>()), clock_(clock), abort_(abort), write_ms_per_byte_(write_ms_per_byte) {
  const int fd = device.get();
  shared_->device = std::move(device);
  shared_->fd = fd;
  shared_->before_close = std::move(before_close);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  struct stat st {};
  is_socket_ = ::fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode);
  shared_->stop_fd.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));

  auto wake = [s = shared_.get()] {
    std::lock_guard lock(s->mutex);
    s->changed.notify_all();
  };
  on_abort_ = abort_.OnSet(wake);
  on_time_ = clock_.OnTimeMoved(wake);
  if (shared_->stop_fd) {
    reader_ = std::thread(&StreamTransport::ReaderLoop, shared_);
  } else {
    shared_->lost = true;  // no reader: nothing can ever arrive
    shared_->reader_done = true;
  }
}

StreamTransport::~StreamTransport() { Close(); }

// The thread keeps its own copy of the shared state alive (std::thread
// stores the argument); the loop only reads through it.
void StreamTransport::ReaderLoop(const std::shared_ptr<Shared>& s) {
  std::array<std::uint8_t, kReadChunk> chunk{};
  bool lost = false;
  for (;;) {
    pollfd fds[2] = {{s->fd, POLLIN, 0}, {s->stop_fd.get(), POLLIN, 0}};
    const int r = ::poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      lost = true;
      break;
    }
    if (fds[1].revents) break;
    if (fds[0].revents & POLLIN) {
      const ssize_t n = ::read(s->fd, chunk.data(), chunk.size());
      if (n > 0) {
        std::lock_guard lock(s->mutex);
        const std::size_t got = static_cast<std::size_t>(n);
        const std::size_t room = kReceiveBufferSize - s->count;
        const std::size_t take = got < room ? got : room;
        std::memcpy(s->buffer.data() + s->count, chunk.data(), take);
        s->count += take;
        s->dropped += got - take;
        // Woken only when it has what it waits for (or no room is left).
        if (s->count >= s->want || s->count == kReceiveBufferSize) s->changed.notify_all();
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      lost = true;  // a read of 0 bytes or EIO: the other end hung up
      break;
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      lost = true;
      break;
    }
  }
  std::lock_guard lock(s->mutex);
  if (lost) s->lost = true;
  s->reader_done = true;
  s->changed.notify_all();
}

IoStatus StreamTransport::Send(std::span<const std::uint8_t> bytes) {
  if (!shared_) return IoStatus::kConnectionLost;
  Shared& s = *shared_;
  {
    std::lock_guard lock(s.mutex);
    if (s.lost) return IoStatus::kConnectionLost;
  }
  // The device's own write bound, measured on the machine's clock: it limits
  // how long a stalled driver may hold us, it is not a reply time-out.
  const auto limit = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(1000 + static_cast<long>(bytes.size()) * write_ms_per_byte_);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = is_socket_ ? ::send(s.fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                                 : ::write(s.fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now());
      if (left.count() <= 0) return IoStatus::kWouldBlock;
      pollfd p{s.fd, POLLOUT, 0};
      ::poll(&p, 1, static_cast<int>(left.count()));
      continue;
    }
    if (n == 0 || IsHangUpError(errno)) {
      std::lock_guard lock(s.mutex);
      s.lost = true;
      return IoStatus::kConnectionLost;
    }
    return IoStatus::kFailed;
  }
  return IoStatus::kOk;
}

ReceiveResult StreamTransport::Receive(std::span<std::uint8_t> into, Millis deadline, std::size_t want) {
  if (!shared_) return {IoStatus::kConnectionLost};
  Shared& s = *shared_;
  const std::size_t enough = std::clamp<std::size_t>(want, 1, std::max<std::size_t>(into.size(), 1));
  std::unique_lock lock(s.mutex);
  const auto hand_over = [&]() -> ReceiveResult {
    const std::size_t n = s.count < into.size() ? s.count : into.size();
    std::memcpy(into.data(), s.buffer.data(), n);
    std::memmove(s.buffer.data(), s.buffer.data() + n, s.count - n);
    s.count -= n;
    return {IoStatus::kOk, n};
  };
  for (;;) {
    if (abort_.IsSet()) return {IoStatus::kAborted};
    // Whatever came is handed over when it is enough, when no more can come
    // and at the deadline.
    const bool ending = s.lost || clock_.Now() >= deadline;
    if (!into.empty() && (s.count >= enough || (ending && s.count > 0))) return hand_over();
    if (s.lost) return {IoStatus::kConnectionLost};
    if (ending) return {IoStatus::kTimedOut};
    SleepNote note(clock_, deadline);
    s.want = enough;
    if (const auto steady = clock_.SteadyDeadline(deadline))
      s.changed.wait_until(lock, *steady);
    else
      s.changed.wait(lock);
    s.want = 1;
  }
}

void StreamTransport::Flush() {
  if (!shared_) return;
  std::lock_guard lock(shared_->mutex);
  shared_->count = 0;
}

void StreamTransport::Close() {
  if (!shared_) return;
  on_abort_.Reset();
  on_time_.Reset();
  Shared& s = *shared_;
  if (s.stop_fd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t w = ::write(s.stop_fd.get(), &one, sizeof one);
  }
  bool done;
  {
    std::unique_lock lock(s.mutex);
    done = s.changed.wait_for(lock, kCloseBound, [&] { return s.reader_done; });
  }
  if (reader_.joinable()) {
    if (done)
      reader_.join();
    else
      reader_.detach();  // it keeps the descriptor alive until it ends
  }
  if (done) s.CloseFd();
  shared_.reset();
}

bool StreamTransport::lost() const {
  if (!shared_) return true;
  std::lock_guard lock(shared_->mutex);
  return shared_->lost;
}

std::size_t StreamTransport::dropped() const {
  if (!shared_) return 0;
  std::lock_guard lock(shared_->mutex);
  return shared_->dropped;
}

}  // namespace zel
