// A list of wake-up callbacks, for the two things that must end a blocked wait
// at once from another thread: the user's Stop (AbortFlag) and a test moving
// its clock (ManualTickClock).
//
// Contract: WakeAll runs every callback while holding the list's own mutex,
// so a callback may take its waiter's mutex, but a waiter must never add or
// remove a callback while holding that mutex (lock order: list, then
// waiter). Removal waits for a running WakeAll, so after a subscription is
// gone its callback is never called again.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace zel {

class WakeList;

// Removes its callback from the list when destroyed.
class WakeSubscription {
 public:
  WakeSubscription() = default;
  WakeSubscription(WakeList* list, std::uint64_t id) : list_(list), id_(id) {}
  WakeSubscription(WakeSubscription&& o) noexcept : list_(std::exchange(o.list_, nullptr)), id_(o.id_) {}
  WakeSubscription& operator=(WakeSubscription&& o) noexcept;
  WakeSubscription(const WakeSubscription&) = delete;
  WakeSubscription& operator=(const WakeSubscription&) = delete;
  ~WakeSubscription() { Reset(); }
  void Reset();

 private:
  WakeList* list_ = nullptr;
  std::uint64_t id_ = 0;
};

class WakeList {
 public:
  [[nodiscard]] WakeSubscription Add(std::function<void()> wake);
  void WakeAll();

 private:
  friend class WakeSubscription;
  void Remove(std::uint64_t id);

  std::mutex mutex_;
  std::vector<std::pair<std::uint64_t, std::function<void()>>> entries_;
  std::uint64_t next_id_ = 1;
};

}  // namespace zel
