// Shared set-up of the end-to-end tests: the program's real link engine
// (StartTransfer / CheckConnection with a real LinkSession) against an
// in-process simulated register, over UDP loopback or over a real
// pseudo-terminal, exactly as a dealer's program would reach a register
// through SETUPZEL_REGISTER_PORT or SETUPZEL_COM1.
//
// A transfer runs on a worker thread as the GUI runs it; a run that does not
// end in time is stopped through the abort flag and fails the test, so a
// freeze shows as a failure, not as a hung test.
//
// Time-outs are never shortened: where a test needs one to pass quickly it
// runs the session on a ManualTickClock and a LostReplyClock moves that
// clock to the link's deadline only when the simulator has decided that no
// reply will come (a lost reply, a request met by a hang-up).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "core/cp1253.h"
#include "core/data_image.h"
#include "link/transfer.h"
#include "sim/simulator.h"
#include "support/files.h"
#include "support/scripted_ui.h"

namespace zel::e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Mark = UserInterface::Mark;

enum class Wire { kUdp, kPty };

inline std::string WireName(const ::testing::TestParamInfo<Wire>& info) {
  return info.param == Wire::kUdp ? "Udp" : "Pty";
}

using test::Slurp;
using test::TempDir;

// The file's lines without their ends (CR LF or LF).
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    from = end + 1;
  }
  return lines;
}

inline std::string Greek(std::string_view utf8) { return cp1253::Encode(utf8); }

// Moves a manual clock to the link's reply deadline whenever the simulator
// has let a request go unanswered (a lost reply, or a request after a
// UDP hang-up), and first past the LAN settle time when asked to. A reply
// that is on its way is always waited for, so no time-out ever happens
// that a real clock would not have produced.
class LostReplyClock {
 public:
  LostReplyClock(ManualTickClock& clock, const sim::Simulator& sim, bool lan_settle)
      : clock_(clock), sim_(sim), settle_(lan_settle), base_(Silent()) {
    thread_ = std::thread([this] { Run(); });
  }
  ~LostReplyClock() {
    stop_ = true;
    thread_.join();
  }
  LostReplyClock(const LostReplyClock&) = delete;
  LostReplyClock& operator=(const LostReplyClock&) = delete;

 private:
  std::uint64_t Silent() const {
    const sim::Counters c = sim_.counters();
    return c.faults[static_cast<std::size_t>(sim::Fault::kLost)] + c.ignored;
  }
  void Run() {
    std::uint64_t answered_for = 0;  // unanswered requests already waited out
    while (!stop_) {
      const std::uint64_t handled = sim_.counters().Handled();
      if (settle_ || Silent() - base_ > answered_for) {
        // Somebody is about to sleep (or sleeps) until a deadline that only
        // the clock can bring: take it there.
        if (clock_.AdvanceToNextDeadline(50ms)) {
          if (settle_)
            settle_ = false;
          else
            ++answered_for;
        }
        continue;
      }
      // Blocks until the register sees its next request (or a short while).
      sim_.WaitForRequests(handled + 1, 50ms);
    }
  }

  ManualTickClock& clock_;
  const sim::Simulator& sim_;
  bool settle_;
  std::uint64_t base_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct TransferOptions {
  bool sales_report = false;
  bool clear_sales = false;
};

// A simulated register on one wire, and the program's sessions that reach
// it (one on the system clock, one on a manual clock).
class SimulatorFixture : public ::testing::Test {
 protected:
  void TearDown() override {
    sim_.Stop();
    ::unsetenv("SETUPZEL_REGISTER_PORT");
    ::unsetenv("SETUPZEL_COM1");
  }

  void Attach(Wire wire, int baud_choice = 0) {
    wire_ = wire;
    std::string error;
    selection_ = {};
    selection_.baud_choice = baud_choice;
    if (wire == Wire::kUdp) {
      ASSERT_TRUE(sim_.StartUdp(0, &error)) << error;
      ::setenv("SETUPZEL_REGISTER_PORT", std::to_string(sim_.udp_port()).c_str(), 1);
      selection_.port = 0;
      selection_.ip = {127, 0, 0, 1};
    } else {
      ASSERT_TRUE(sim_.StartPty(&error)) << error;
      ::setenv("SETUPZEL_COM1", sim_.pty_path().c_str(), 1);
      selection_.port = 1;
    }
  }
  bool lan() const { return wire_ == Wire::kUdp; }
  std::string Lan(std::string_view lan_text, std::string_view com_text) const {
    return std::string(lan() ? lan_text : com_text);
  }

  static TransferRequest Request(Direction direction, std::initializer_list<Kind> kinds, TransferOptions options = {}) {
    TransferRequest r;
    r.direction = direction;
    for (Kind k : kinds) r[k] = true;
    r.sales_report = options.sales_report;
    r.clear_sales = options.clear_sales;
    return r;
  }
  static TransferRequest AllKinds(Direction direction) {
    TransferRequest r;
    r.direction = direction;
    for (const KindInfo& k : kKinds) r[k.kind] = k.write_code != 0 || direction == Direction::kRead;
    return r;
  }

  // Runs one Start press on a worker thread. `during` runs on the test's
  // thread meanwhile (a Stop, a clock driver). A run that does not end within
  // `patience` is stopped and fails the test.
  TransferOutcome Transfer(LinkSession& session, const TransferRequest& request, DataImage& image, test::ScriptedUi& ui,
                           std::chrono::seconds patience = 120s, const std::function<void()>& during = {}) {
    auto done = std::async(std::launch::async, [&] {
      return StartTransfer(session, request, image, ui, selection_, report_path_, log_path_, date_);
    });
    if (during) during();
    if (done.wait_for(patience) != std::future_status::ready) {
      ADD_FAILURE() << "the transfer did not end within " << patience.count() << " s";
      session.abort.Set();
    }
    return done.get();
  }
  TransferOutcome Transfer(const TransferRequest& request, DataImage& image, std::chrono::seconds patience = 120s) {
    ui_ = {};
    return Transfer(session_, request, image, ui_, patience);
  }
  // The same on the manual clock, with lost replies waited out.
  TransferOutcome TransferOnManualClock(const TransferRequest& request, DataImage& image,
                                        std::chrono::seconds patience = 120s) {
    manual_ui_ = {};
    LostReplyClock driver(clock_, sim_, lan());
    return Transfer(manual_session_, request, image, manual_ui_, patience);
  }

  std::vector<std::string> LogLines() const { return Lines(Slurp(log_path_)); }

  TempDir dir_;
  sim::Simulator sim_;
  Wire wire_ = Wire::kUdp;
  LinkSelection selection_;
  std::string log_path_ = dir_ / "OV_Log.txt";
  std::string report_path_ = dir_ / "Αναφορες";
  ReportDate date_{7, 5, 2024};
  LinkSession session_{SystemClock()};
  test::ScriptedUi ui_;
  ManualTickClock clock_;
  LinkSession manual_session_{clock_};
  test::ScriptedUi manual_ui_;
};

// The register on the wire of the test's parameter.
class E2eTest : public SimulatorFixture, public ::testing::WithParamInterface<Wire> {
 protected:
  void SetUp() override { Attach(GetParam()); }
};

}  // namespace zel::e2e
