// Shared set-up of the end-to-end console tests: the program's console
// engine (PrinterLink, SalesConsole, PlayKeys) against the in-process
// simulated register over UDP loopback or a pseudo-terminal, on a manual
// clock, and the register's paper read back as receipts.
#pragma once

#include <atomic>
#include <thread>

#include "console/key_script.h"
#include "e2e_support.h"

namespace zel::e2e {

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

// A receipt as the register printed it: its tag lines (the first sale's
// extra text) and whether it was closed by its payment or voided.
struct PrintedReceipt {
  std::vector<std::string> tags;
  std::vector<std::string> lines;
  bool closed = false;
  bool voided = false;
};

// The receipts on the paper, in order; `tag_prefix` picks the tag lines.
inline std::vector<PrintedReceipt> Receipts(const std::vector<std::string>& paper, std::string_view tag_prefix) {
  std::vector<PrintedReceipt> out;
  PrintedReceipt* open = nullptr;
  for (const std::string& line : paper) {
    if (line.find("ΑΠΟΔΕΙΞΗ ΛΙΑΝΙΚΗΣ ΠΩΛΗΣΗΣ") != std::string::npos) {
      out.emplace_back();
      open = &out.back();
      continue;
    }
    if (!open) continue;
    open->lines.push_back(line);
    const std::size_t at = line.find(tag_prefix);
    if (at != std::string::npos) open->tags.push_back(line.substr(at));
    if (line.find("ΕΥΧΑΡΙΣΤΟΥΜΕ") != std::string::npos) {
      open->closed = true;
      open = nullptr;
    } else if (line.find("ΑΚΥΡΩΣΗ ΑΠΟΔΕΙΞΗΣ") != std::string::npos) {
      open->voided = true;
      open = nullptr;
    }
  }
  return out;
}

// The console of one run (a zelctl fp keys, a panel's life) on the test's
// manual clock, each against the simulator of the fixture.
class ConsoleFixture : public SimulatorFixture, public ::testing::WithParamInterface<Wire> {
 protected:
  void SetUp() override {
    Attach(GetParam());
    sim_.FillDemoProgramming();
    image_ = sim_.Programming();
  }

  // Plays `keys` as `zelctl fp keys` does, in a console of its own.
  RunTally Play(const std::vector<std::string>& keys, bool keep_going = false, bool late_replies = false) {
    auto steps = ParseKeySteps(keys);
    EXPECT_TRUE(std::holds_alternative<std::vector<KeyStep>>(steps)) << std::get<std::string>(steps);
    ui_ = {};
    PrinterLink link(ui_, clock_);
    link.selection = selection_;
    SalesConsole console(image_, ui_, link);
    console.today = [] { return PickedDate{2024, 5, 7}; };
    ConsoleClock driver(clock_, sim_, late_replies);
    PlayOptions options;
    options.keep_going = keep_going;
    return PlayKeys(console, std::get<std::vector<KeyStep>>(steps), options);
  }
  void Aim(std::initializer_list<std::string_view> aims) {
    std::vector<sim::AimedFault> list;
    for (std::string_view a : aims) {
      sim::AimedFault f;
      EXPECT_EQ(sim::ParseAimedFault(cp1253::Encode(a), f), "") << a;
      list.push_back(f);
    }
    sim_.SetAimedFaults(list);
  }
  std::vector<PrintedReceipt> PaperReceipts() const { return Receipts(sim_.Paper(), "ΑΠ-"); }

  DataImage image_;
};

}  // namespace zel::e2e
