// What the benchmarks share: a user interface that asks nothing, running on
// one CPU, medians, and the CPU time of threads (to tell the program's side
// from the simulated register's, which runs in the same process).
#pragma once

#include <dirent.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/user_interface.h"

namespace zel::bench {

// Answers every question No/Cancel and shows nothing.
class QuietUi : public UserInterface {
 public:
  void ShowMessage(std::string_view, Icon, std::string_view, bool) override {}
  bool AskYesNo(std::string_view, Icon, bool) override { return false; }
  bool AskRetryCancel(std::string_view, Icon) override { return false; }
  std::optional<std::string> ChooseFile(const FileDialog&) override { return std::nullopt; }
};

// Runs the calling thread, and the threads it starts meanwhile, on one CPU.
class OnOneCpu {
 public:
  OnOneCpu() {
    ::sched_getaffinity(0, sizeof old_, &old_);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (std::size_t c = 0; c < static_cast<std::size_t>(CPU_SETSIZE); ++c)
      if (CPU_ISSET(c, &old_)) {
        CPU_SET(c, &one);
        break;
      }
    ::sched_setaffinity(0, sizeof one, &one);
  }
  ~OnOneCpu() { ::sched_setaffinity(0, sizeof old_, &old_); }
  OnOneCpu(const OnOneCpu&) = delete;
  OnOneCpu& operator=(const OnOneCpu&) = delete;

 private:
  cpu_set_t old_;
};

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// CPU time of one thread of this process, from the scheduler's statistics.
inline double ThreadCpuSeconds(const std::string& tid) {
  std::ifstream f("/proc/self/task/" + tid + "/schedstat");
  unsigned long long ns = 0;
  f >> ns;
  return static_cast<double>(ns) / 1e9;
}

// The threads of this process.
inline std::set<std::string> Threads() {
  std::set<std::string> tids;
  if (DIR* d = ::opendir("/proc/self/task")) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') tids.insert(e->d_name);
    ::closedir(d);
  }
  return tids;
}

inline double ProcessCpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The threads started since `before`, and their CPU time together.
struct NewThreads {
  explicit NewThreads(const std::set<std::string>& before) {
    for (const std::string& t : Threads())
      if (!before.count(t)) tids.insert(t);
  }
  double CpuSeconds() const {
    double s = 0;
    for (const std::string& t : tids) s += ThreadCpuSeconds(t);
    return s;
  }
  std::set<std::string> tids;
};

// One iteration's wall time and the CPU time this process spent in it, less
// what `peer` (the simulated register's threads) spent, added to the counters
// "cpu_s" and "wall_s" of `state`.
template <class Work>
void CountCpuAgainstWall(benchmark::State& state, const NewThreads& peer, Work work) {
  const double cpu0 = ProcessCpuSeconds() - peer.CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  work();
  state.counters["wall_s"] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.counters["cpu_s"] += ProcessCpuSeconds() - peer.CpuSeconds() - cpu0;
}

}  // namespace zel::bench
