// The Stop request of a running transfer or connection check.
//
// The UI thread calls Set when the user presses Stop; every wait of the link
// (reply waits, the LAN settle time) has subscribed with OnSet and wakes at
// once, so an exchange ends with result 1 without waiting for its time-out.
// The transfer driver clears the flag at the start of a transfer, the panel
// when it is shown. Any thread may call any member.
#pragma once

#include <atomic>
#include <functional>

#include "link/tick_clock.h"
#include "link/wake_list.h"

namespace zel {

class AbortFlag {
 public:
  void Set() {
    set_.store(true);
    waiters_.WakeAll();
  }
  void Clear() { set_.store(false); }
  bool IsSet() const { return set_.load(); }
  [[nodiscard]] WakeSubscription OnSet(std::function<void()> wake) { return waiters_.Add(std::move(wake)); }

 private:
  std::atomic<bool> set_{false};
  WakeList waiters_;
};

// Blocks until `deadline` on `clock` or until `abort` is set, whichever comes
// first. Returns false when it ended because of the abort flag.
bool SleepUntil(TickClock& clock, AbortFlag& abort, Millis deadline);

}  // namespace zel
