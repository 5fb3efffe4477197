#include "link/tick_clock.h"

#include <limits>

namespace zel {

int TickClock::PollTimeout(Millis deadline) const {
  const Millis now = Now();
  if (now >= deadline) return 0;
  if (!SteadyDeadline(deadline)) return -1;
  const auto left = (deadline - now).count();
  return left > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(left);
}

Millis SystemTickClock::Now() const {
  return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now().time_since_epoch());
}

std::optional<std::chrono::steady_clock::time_point> SystemTickClock::SteadyDeadline(Millis deadline) const {
  return std::chrono::steady_clock::time_point(deadline);
}

TickClock& SystemClock() {
  static SystemTickClock clock;
  return clock;
}

void ManualTickClock::SleepBegins(Millis deadline) {
  std::lock_guard lock(sleep_mutex_);
  sleeping_.insert(deadline.count());
  sleep_changed_.notify_all();
}

void ManualTickClock::SleepEnds(Millis deadline) {
  std::lock_guard lock(sleep_mutex_);
  if (auto it = sleeping_.find(deadline.count()); it != sleeping_.end()) sleeping_.erase(it);
  sleep_changed_.notify_all();
}

void ManualTickClock::Advance(Millis by) { AdvanceTo(Now() + by); }

void ManualTickClock::AdvanceTo(Millis when) {
  now_.store(when.count());
  moved_.WakeAll();
}

bool ManualTickClock::AdvanceToNextDeadline(std::chrono::milliseconds patience) {
  std::int64_t target = 0;
  {
    std::unique_lock lock(sleep_mutex_);
    const auto later = [&] {
      const auto it = sleeping_.upper_bound(now_.load());
      if (it == sleeping_.end()) return false;
      target = *it;
      return true;
    };
    if (!sleep_changed_.wait_for(lock, patience, later)) return false;
  }
  AdvanceTo(Millis(target));
  return true;
}

bool ManualTickClock::WaitForSleeper(std::chrono::milliseconds patience) {
  std::unique_lock lock(sleep_mutex_);
  return sleep_changed_.wait_for(lock, patience, [&] { return !sleeping_.empty(); });
}

bool ManualTickClock::WaitForSleepUntil(Millis deadline, std::chrono::milliseconds patience) {
  std::unique_lock lock(sleep_mutex_);
  return sleep_changed_.wait_for(lock, patience, [&] { return sleeping_.count(deadline.count()) != 0; });
}

std::optional<Millis> ManualTickClock::NextDeadline() {
  std::lock_guard lock(sleep_mutex_);
  const auto it = sleeping_.upper_bound(now_.load());
  if (it == sleeping_.end()) return std::nullopt;
  return Millis(*it);
}

std::size_t ManualTickClock::Sleepers() {
  std::lock_guard lock(sleep_mutex_);
  return sleeping_.size();
}

}  // namespace zel
