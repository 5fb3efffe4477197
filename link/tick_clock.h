// The millisecond tick count behind every deadline of the link: reply
// time-outs, the LAN settle time, write bounds.
//
// Production code uses SystemTickClock (std::chrono::steady_clock). Tests use
// ManualTickClock, whose time moves only when the test says so, so an
// 80-second reply time-out is tested without waiting 80 seconds. A waiter
// never polls the clock in a loop: it blocks on its condition variable or
// poll() until the steady deadline the clock gives it, or, under a manual
// clock, until the clock wakes it because time moved (OnTimeMoved).
//
// Thread safety: Now() may be called from any thread and takes no lock.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>

#include "link/wake_list.h"

namespace zel {

using Millis = std::chrono::milliseconds;

class TickClock {
 public:
  virtual ~TickClock() = default;

  virtual Millis Now() const = 0;
  // The steady_clock instant at which `deadline` falls, or nothing when this
  // clock's time does not pass by itself (the waiter then blocks until it is
  // woken through OnTimeMoved).
  virtual std::optional<std::chrono::steady_clock::time_point> SteadyDeadline(Millis deadline) const = 0;
  // Registers a callback run whenever the clock's time jumps. The system
  // clock never jumps and keeps no callbacks.
  // By value: an override keeps the callback (moves it in).
  virtual WakeSubscription OnTimeMoved(std::function<void()> /*wake*/) {  // NOLINT(performance-unnecessary-value-param)
    return {};
  }

  // A waiter announces that it blocks until `deadline` (lets a test find out
  // when to move its clock). No effect on the system clock.
  virtual void SleepBegins(Millis /*deadline*/) {}
  virtual void SleepEnds(Millis /*deadline*/) {}

  // The poll() time-out for `deadline`: 0 when it has passed, the remaining
  // milliseconds rounded up, or -1 (no time-out) under a clock that wakes its
  // waiters itself.
  int PollTimeout(Millis deadline) const;
};

// The steady clock of the machine.
class SystemTickClock final : public TickClock {
 public:
  Millis Now() const override;
  std::optional<std::chrono::steady_clock::time_point> SteadyDeadline(Millis deadline) const override;
};

// The process's one system clock.
TickClock& SystemClock();

// A clock for tests: starts at `start`, moves only by Advance/AdvanceTo.
class ManualTickClock final : public TickClock {
 public:
  explicit ManualTickClock(Millis start = Millis(1'000'000)) : now_(start.count()) {}

  Millis Now() const override { return Millis(now_.load()); }
  std::optional<std::chrono::steady_clock::time_point> SteadyDeadline(Millis) const override { return std::nullopt; }
  WakeSubscription OnTimeMoved(std::function<void()> wake) override { return moved_.Add(std::move(wake)); }
  void SleepBegins(Millis deadline) override;
  void SleepEnds(Millis deadline) override;

  void Advance(Millis by);
  void AdvanceTo(Millis when);
  // Waits (at most `patience` of real time) until some thread sleeps until a
  // deadline later than now, then moves the clock to that deadline. Returns
  // false when nobody went to sleep in time.
  bool AdvanceToNextDeadline(std::chrono::milliseconds patience = std::chrono::seconds(10));
  // Waits (at most `patience` of real time) until some thread sleeps on this
  // clock; false when none did.
  bool WaitForSleeper(std::chrono::milliseconds patience = std::chrono::seconds(10));
  // Number of threads sleeping on this clock right now.
  std::size_t Sleepers();
  // Waits (at most `patience` of real time) until some thread sleeps until
  // exactly `deadline`; false when none did.
  bool WaitForSleepUntil(Millis deadline, std::chrono::milliseconds patience = std::chrono::seconds(10));
  // The nearest deadline later than now that a thread sleeps until, if any.
  std::optional<Millis> NextDeadline();

 private:
  std::atomic<std::int64_t> now_;
  WakeList moved_;
  std::mutex sleep_mutex_;
  std::condition_variable sleep_changed_;
  std::multiset<std::int64_t> sleeping_;
};

// RAII note of a sleep for SleepBegins/SleepEnds.
class SleepNote {
 public:
  SleepNote(TickClock& clock, Millis deadline) : clock_(clock), deadline_(deadline) { clock_.SleepBegins(deadline_); }
  ~SleepNote() { clock_.SleepEnds(deadline_); }
  SleepNote(const SleepNote&) = delete;
  SleepNote& operator=(const SleepNote&) = delete;

 private:
  TickClock& clock_;
  Millis deadline_;
};

}  // namespace zel
