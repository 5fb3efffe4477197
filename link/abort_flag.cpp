#include "link/abort_flag.h"

#include <condition_variable>
#include <mutex>

namespace zel {

bool SleepUntil(TickClock& clock, AbortFlag& abort, Millis deadline) {
  std::mutex mutex;
  std::condition_variable changed;
  const auto wake = [&] {
    std::lock_guard lock(mutex);
    changed.notify_all();
  };
  WakeSubscription on_abort = abort.OnSet(wake);
  WakeSubscription on_time = clock.OnTimeMoved(wake);
  std::unique_lock lock(mutex);
  SleepNote note(clock, deadline);
  while (!abort.IsSet() && clock.Now() < deadline) {
    if (const auto steady = clock.SteadyDeadline(deadline))
      changed.wait_until(lock, *steady);
    else
      changed.wait(lock);
  }
  return !abort.IsSet();
}

}  // namespace zel
