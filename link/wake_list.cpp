#include "link/wake_list.h"

#include <algorithm>

namespace zel {

WakeSubscription& WakeSubscription::operator=(WakeSubscription&& o) noexcept {
  if (this != &o) {
    Reset();
    list_ = std::exchange(o.list_, nullptr);
    id_ = o.id_;
  }
  return *this;
}

void WakeSubscription::Reset() {
  if (list_) list_->Remove(id_);
  list_ = nullptr;
}

WakeSubscription WakeList::Add(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  const std::uint64_t id = next_id_++;
  entries_.emplace_back(id, std::move(wake));
  return WakeSubscription(this, id);
}

void WakeList::Remove(std::uint64_t id) {
  std::lock_guard lock(mutex_);
  std::erase_if(entries_, [id](const auto& e) { return e.first == id; });
}

void WakeList::WakeAll() {
  std::lock_guard lock(mutex_);
  for (auto& e : entries_) e.second();
}

}  // namespace zel
