// A file descriptor with one owner: closed when the owner goes, moved, never
// copied. The serial device, the UDP socket and their wake-up descriptors
// are held this way, so no early return can leak one or close one twice.
#pragma once

#include <unistd.h>

#include <utility>

namespace zel {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }
  // Gives the descriptor up without closing it.
  [[nodiscard]] int Release() { return std::exchange(fd_, -1); }
  // Closes the descriptor held, if any, and holds `fd` instead.
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace zel
