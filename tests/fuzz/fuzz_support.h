// Helpers shared by the fuzz harnesses: a reader over the fuzzer's bytes, a
// file in memory for the functions that open a path, and a check that
// aborts (so libFuzzer keeps the input) when a harness's property fails.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

namespace zel::fuzz {

// Takes bytes off the front of the input; past its end every read gives 0.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // Little-endian; the two reads are sequenced.
  std::uint16_t Word() {
    const std::uint8_t low = Byte();
    return static_cast<std::uint16_t>(low | Byte() << 8);
  }
  std::span<const std::uint8_t> Take(std::size_t n) {
    n = std::min(n, size_ - pos_);
    std::span<const std::uint8_t> s(data_ + pos_, n);
    pos_ += n;
    return s;
  }
  std::span<const std::uint8_t> Rest() { return Take(size_ - pos_); }
  bool empty() const { return pos_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// A file that lives in memory (memfd) and is reached by a path, for code
// that opens files by name. Rewritten for each input.
class MemoryFile {
 public:
  MemoryFile() : fd_(::memfd_create("zel-fuzz", 0)) {
    if (fd_ < 0) std::abort();
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() { ::close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  void Write(std::span<const std::uint8_t> bytes) {
    if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
      std::abort();
  }
  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

// A property of the code under test that must hold for every input.
inline void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property failed: %s\n", what);
  std::abort();
}

}  // namespace zel::fuzz
