// A manual clock driven for a console session against the in-process
// simulated register, so that console tests (engine, end-to-end and GUI)
// never wait out a real time-out of the register.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "link/tick_clock.h"
#include "sim/simulator.h"

namespace zel::test {

// Moves the manual clock of a console session so that no test waits out a
// real time-out, and none ever happens that a real clock would not have
// produced. It knows the console's waits by their length:
// - the pauses (100 ms after a payment, the LAN link's 500 ms settle) are
//   sleeps that nothing cuts short: moved at once;
// - the enquiry's 200 ms watch is moved past only for an enquiry the
//   register left without ACK;
// - the reply window, the quiet drain and the settle of a reopening (500 ms
//   and more) are moved past only once the register has let a command go
//   unanswered, and until it sees the console's next request.
// Whatever the register does answer is always waited for.
//
// With `late_replies`, a slow reply stands for one that comes after its
// window: the window is moved past at once, and the rest of the failure
// path once the late reply has reached the console.
class ConsoleClock {
 public:
  ConsoleClock(ManualTickClock& clock, const sim::Simulator& sim, bool late_replies = false)
      : clock_(clock), sim_(sim), late_replies_(late_replies), seen_(sim.counters()) {
    // What the register has done so far is counted now, before the console
    // sends anything, however late the thread starts.
    thread_ = std::thread([this] { Run(); });
  }
  ~ConsoleClock() {
    stop_ = true;
    thread_.join();
  }
  ConsoleClock(const ConsoleClock&) = delete;
  ConsoleClock& operator=(const ConsoleClock&) = delete;

 private:
  static std::uint64_t Count(const sim::Counters& c, sim::Fault f) { return c.faults[static_cast<std::size_t>(f)]; }
  static std::uint64_t Unanswered(const sim::Counters& c) { return Count(c, sim::Fault::kLost) + c.ignored; }

  // Moves the clock to the nearest deadline if `allowed` says so of its
  // length; true when it moved.
  template <class F>
  bool Step(F allowed) {
    const std::optional<Millis> next = clock_.NextDeadline();
    if (!next || !allowed(*next - clock_.Now())) return false;
    clock_.AdvanceTo(*next);
    return true;
  }
  static bool Pause(Millis wait) { return wait == Millis(100) || wait == Millis(500); }

  void Run() {
    const sim::Counters& seen = seen_;
    std::uint64_t unanswered = Unanswered(seen), no_acks = Count(seen, sim::Fault::kNoAck);
    std::uint64_t slow = Count(seen, sim::Fault::kSlow);
    while (!stop_) {
      const sim::Counters c = sim_.counters();
      if (late_replies_ && Count(c, sim::Fault::kSlow) > slow) {
        slow = Count(c, sim::Fault::kSlow);
        // The window ends before the reply comes; then the reply arrives
        // while the console drains the line.
        while (!stop_ && !Step([](Millis wait) { return wait >= Millis(1000); }))
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        while (!stop_ && sim_.counters().replies == c.replies)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        while (!stop_ && sim_.counters().Handled() == c.Handled()) {
          if (!Step([](Millis wait) { return wait >= Millis(500) || Pause(wait); }))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        continue;
      }
      if (Unanswered(c) > unanswered) {
        unanswered = Unanswered(c);
        // Through the failure path until the register hears from the
        // console again.
        while (!stop_ && sim_.counters().Handled() == c.Handled()) {
          if (!Step([](Millis wait) { return wait >= Millis(500) || Pause(wait); }))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        continue;
      }
      if (Count(c, sim::Fault::kNoAck) > no_acks) {
        if (Step([](Millis wait) { return wait == Millis(200); })) ++no_acks;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      if (!Step(Pause)) sim_.WaitForRequests(c.Handled() + 1, std::chrono::milliseconds(2));
    }
  }

  ManualTickClock& clock_;
  const sim::Simulator& sim_;
  const bool late_replies_;
  const sim::Counters seen_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zel::test
