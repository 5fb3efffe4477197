// Shared set-up of the link tests: a session on a manual clock whose link is
// a socket pair (serial rules) or a UDP socket on the loopback (LAN rules),
// with the scripted register at the other end and the log in a temporary
// file.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "fake_register.h"
#include "link/exchange.h"
#include "link/stream_transport.h"
#include "link/udp_transport.h"
#include "support/files.h"
#include "support/scripted_ui.h"

namespace zel::test {

namespace fs = std::filesystem;

// A pseudo-terminal pair. The test keeps a slave descriptor open as a cable
// would keep the line, so the master never sees a hang-up before the
// program opens the port.
struct Pty {
  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ::grantpt(master);
    ::unlockpt(master);
    char name[128];
    ::ptsname_r(master, name, sizeof name);
    path = name;
    keep = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  ~Pty() {
    if (keep >= 0) ::close(keep);
    if (master >= 0) ::close(master);
  }
  int TakeMaster() { return std::exchange(master, -1); }
  int master = -1;
  int keep = -1;
  std::string path;
};

// Points SETUPZEL_COM<n> at the given devices and every other port at a path
// that does not exist, so the machine's own ports never take part.
class PortEnvironment {
 public:
  explicit PortEnvironment(const std::map<int, std::string>& devices) {
    for (int n = 1; n <= 20; ++n) {
      const auto it = devices.find(n);
      ::setenv(Name(n).c_str(), it == devices.end() ? "/nonexistent/zel-port" : it->second.c_str(), 1);
    }
  }
  ~PortEnvironment() {
    for (int n = 1; n <= 20; ++n) ::unsetenv(Name(n).c_str());
  }

 private:
  static std::string Name(int n) { return "SETUPZEL_COM" + std::to_string(n); }
};

class LinkFixture : public ::testing::Test {
 protected:
  enum class Wire { kSerial, kLan };

  // Connects the session to a new register with `handler`.
  void Attach(Wire wire, FakeRegister::Handler handler = FakeRegister::Echo) {
    reg_ = std::make_unique<FakeRegister>(std::move(handler));
    if (wire == Wire::kSerial) {
      int sv[2];
      ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv), 0);
      session_.transport = std::make_unique<StreamTransport>(UniqueFd(sv[0]), clock_, session_.abort);
      reg_->ServeStream(sv[1]);
    } else {
      const std::uint16_t port = reg_->ServeUdp();
      session_.transport = UdpTransport::Open({127, 0, 0, 1}, port, clock_, session_.abort);
      ASSERT_TRUE(session_.transport);
    }
    ASSERT_TRUE(session_.log.Open(log_path_));
  }

  // Runs `f` on a worker thread while moving the clock past `timeouts`
  // reply deadlines; a run that does not end is stopped and fails the test.
  template <class F>
  auto Drive(F f, int timeouts = 0) {
    // What the test set up for the register is handed to its thread under
    // the register's lock (the wire between them is no synchronisation a
    // thread checker sees); what it kept is taken back the same way.
    if (reg_) (void)reg_->Requests();
    auto done = std::async(std::launch::async, f);
    for (int i = 0; i < timeouts; ++i) {
      const Millis before = clock_.Now();
      EXPECT_TRUE(clock_.AdvanceToNextDeadline()) << "no wait for time-out " << i + 1;
      waited_.push_back((clock_.Now() - before).count());
    }
    if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      ADD_FAILURE() << "the run did not end";
      session_.abort.Set();
    }
    auto result = done.get();
    if (reg_) (void)reg_->Requests();
    return result;
  }

  std::uint8_t Run(std::uint8_t code, const ByteVector& data = {}, int timeouts = 0) {
    session_.request.Start(code, static_cast<std::uint8_t>(data.size()));
    std::copy(data.begin(), data.end(), session_.request.data.begin());
    return Drive([&] { return Exchange(session_, ui_); }, timeouts);
  }

  std::string Log() {
    session_.log.Close();
    return Slurp(log_path_);
  }

  void TearDown() override {
    session_.transport.reset();
    reg_.reset();
  }

  TempDir dir_;
  std::string log_path_ = dir_ / "OV_Log.txt";
  ManualTickClock clock_;
  LinkSession session_{clock_};
  ScriptedUi ui_;
  std::unique_ptr<FakeRegister> reg_;
  std::vector<long> waited_;  // how far each time-out moved the clock (ms)
};

}  // namespace zel::test
