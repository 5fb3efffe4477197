// A FIFO in the file system, for the rule that what is not a regular file
// is refused without blocking. A broken rule must fail the test, not hang
// it: Returns() runs the code under test on a thread and, if it has not
// come back in time, opens the FIFO's writing end once, which releases a
// reader blocked in open() or read(), and reports the hang.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <utility>

namespace zel::support {

class Fifo {
 public:
  explicit Fifo(std::string path) : path_(std::move(path)) {
    ::unlink(path_.c_str());
    ok_ = ::mkfifo(path_.c_str(), 0644) == 0;
  }
  ~Fifo() { ::unlink(path_.c_str()); }
  Fifo(const Fifo&) = delete;
  Fifo& operator=(const Fifo&) = delete;

  bool made() const { return ok_; }
  const std::string& path() const { return path_; }

  // True when `f` returned on its own, without a writer ever appearing.
  template <class F>
  bool Returns(F&& f) const {
    auto done = std::async(std::launch::async, std::forward<F>(f));
    if (done.wait_for(std::chrono::seconds(20)) == std::future_status::ready) {
      done.get();
      return true;
    }
    for (int i = 0; i < 100 && done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready; ++i) {
      const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
    }
    done.wait();
    return false;
  }

 private:
  std::string path_;
  bool ok_ = false;
};

}  // namespace zel::support
