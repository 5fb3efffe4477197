// The fiscal printer console's command link against the simulated register,
// each against a baseline measured in the same run:
//   - one console command over UDP loopback (the status query "?/": the
//     frame, the exchange and both checks), against a plain UDP ping-pong of
//     datagrams of the same sizes with a tiny echo thread (its client waits
//     for each reply with poll(), as a client with a reply time-out must,
//     then takes it), in turns, in blocks of 200; the median blocks are
//     compared, all threads on one CPU
//     (as in link_bench, where the scheduler's placement of the two ends
//     would otherwise move the figure more than either code path). On one
//     CPU the far end's CPU time is part of every round trip: the simulated
//     register's threads' time is taken out of the console's blocks and the
//     echo thread's out of the plain ones, so the register's bookkeeping does
//     not count as the console's. Bar 1.5 x.
//   - one command (a department sale) over a pseudo-terminal to a register
//     that keeps its line at 115200 baud both ways, against the wire time of
//     the ENQ, the ACK, the frame and the reply (10 bits a byte, counted by
//     the register); the best of fifty commands. Bar 1.1 x.
//   - waiting for a reply that takes 2 s, over UDP and the pseudo-terminal:
//     the CPU time of the console's side against the wall time. Bar 5 %.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "console/command_link.h"
#include "core/cp1253.h"
#include "ratio.h"
#include "sim/simulator.h"

namespace {

using namespace zel;
using namespace zel::bench;
using Clock = std::chrono::steady_clock;

// The console's side: its link opened to the simulator over UDP (lan) or
// its pseudo-terminal.
struct Console {
  Console(sim::Simulator& sim, bool lan) : link(ui) {
    if (lan) {
      ::setenv("SETUPZEL_REGISTER_PORT", std::to_string(sim.udp_port()).c_str(), 1);
      link.selection.ip = {127, 0, 0, 1};
    } else {
      ::setenv("SETUPZEL_COM1", sim.pty_path().c_str(), 1);
      link.selection.port = 1;
    }
    opened = link.OpenPrinterLink() == 0;
  }
  ~Console() { link.ClosePrinterLink(); }
  bool Command(std::string_view text) {
    link.store.index = 0;
    link.store.SetCommand(0, text);
    link.SendCommand();
    return !link.store.Failed(0);
  }
  QuietUi ui;
  PrinterLink link;
  bool opened = false;
};

// The status query: the lightest command for the register, so the figure
// is the link's rather than the simulated register's bookkeeping.
constexpr std::string_view kCommand = "?/";
// Over the paced line, the command a cashier sends most: a department sale.
const std::string kSale = cp1253::Encode("3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//1,000/1,50/03/13,00/");

// ---- 1. A command over UDP against a plain ping-pong ---------------------------

class PingPong {
 public:
  PingPong(std::size_t request_size, std::size_t reply_size) : request_(request_size), reply_size_(reply_size) {
    echo_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(echo_, reinterpret_cast<sockaddr*>(&at), sizeof at);
    socklen_t len = sizeof at;
    ::getsockname(echo_, reinterpret_cast<sockaddr*>(&at), &len);
    thread_ = std::thread([this] {
      std::vector<std::uint8_t> in(512), out(reply_size_);
      for (;;) {
        sockaddr_in from{};
        socklen_t from_len = sizeof from;
        const ssize_t n = ::recvfrom(echo_, in.data(), in.size(), 0, reinterpret_cast<sockaddr*>(&from), &from_len);
        if (n <= 0) return;  // the empty datagram ends it
        ::sendto(echo_, out.data(), out.size(), 0, reinterpret_cast<sockaddr*>(&from), from_len);
      }
    });
    client_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ::connect(client_, reinterpret_cast<sockaddr*>(&at), sizeof at);
  }
  ~PingPong() {
    std::uint8_t none = 0;
    ::send(client_, &none, 0, 0);
    thread_.join();
    ::close(client_);
    ::close(echo_);
  }
  // A client that keeps a reply time-out, as every register client must:
  // it waits for the reply with poll() and then takes it.
  void Run(int exchanges) {
    std::uint8_t reply[512];
    for (int i = 0; i < exchanges; ++i) {
      ::send(client_, request_.data(), request_.size(), 0);
      pollfd p{client_, POLLIN, 0};
      ::poll(&p, 1, 6000);
      ::recv(client_, reply, sizeof reply, MSG_DONTWAIT);
    }
  }

 private:
  std::vector<std::uint8_t> request_;
  std::size_t reply_size_;
  int echo_ = -1, client_ = -1;
  std::thread thread_;
};

void BM_ConsoleCommandOverUdp(benchmark::State& state) {
  OnOneCpu one_cpu;
  sim::Simulator sim;
  std::string error;
  const std::set<std::string> before_sim = Threads();
  if (!sim.StartUdp(0, &error)) return state.SkipWithError(error.c_str());
  const NewThreads register_threads(before_sim);
  Console console(sim, true);
  if (!console.opened || !console.Command(kCommand)) return state.SkipWithError("no link");
  // The same bytes both ways: the request datagram, and the reply as the
  // register sent it.
  const std::size_t request_size = kLanHeaderSize + kCommand.size();
  const std::size_t reply_size = kLanHeaderSize + console.link.store.ReplyText(0).size();
  const std::set<std::string> before_echo = Threads();
  PingPong ping_pong(request_size, reply_size);
  const NewThreads echo_thread(before_echo);
  // On one CPU the other end's work is part of each round trip; it is taken
  // out on both sides (the register's threads, the echo thread), so the
  // figure compares the console's side with the plain client's.
  constexpr int kBlock = 200;
  std::vector<double> link_us, plain_us;
  for (auto _ : state) {
    for (int block = 0; block < 25; ++block) {
      double peer = register_threads.CpuSeconds();
      auto start = Clock::now();
      for (int i = 0; i < kBlock; ++i)
        if (!console.Command(kCommand)) return state.SkipWithError("command refused");
      double wall = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
      link_us.push_back((wall - (register_threads.CpuSeconds() - peer) * 1e6) / kBlock);
      peer = echo_thread.CpuSeconds();
      start = Clock::now();
      ping_pong.Run(kBlock);
      wall = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
      plain_us.push_back((wall - (echo_thread.CpuSeconds() - peer) * 1e6) / kBlock);
    }
  }
  state.counters["link_us"] = Median(link_us);
  state.counters["plain_us"] = Median(plain_us);
}

// ---- 2. A command over the pseudo-terminal at 115200 baud ------------------------

constexpr int kBaud = 115200;

void BM_ConsoleCommandOverPtyAt115200(benchmark::State& state) {
  sim::Simulator sim;
  sim.SetTiming({kBaud, 0, 100});
  std::string error;
  if (!sim.StartPty(&error)) return state.SkipWithError(error.c_str());
  Console console(sim, false);
  if (!console.opened || !console.Command(kSale)) return state.SkipWithError("no link");
  double best_command_s = 0, best_wire_s = 0;
  for (auto _ : state) {
    for (int i = 0; i < 50; ++i) {
      sim.ResetCounters();
      const auto start = Clock::now();
      if (!console.Command(kSale)) return state.SkipWithError("command refused");
      const double command_s = std::chrono::duration<double>(Clock::now() - start).count();
      // ENQ, ACK, the frame and the reply as the register counted them.
      const sim::Counters c = sim.counters();
      const double wire_s = static_cast<double>(c.bytes_received + c.bytes_sent) * 10.0 / kBaud;
      if (best_wire_s == 0 || command_s / wire_s < best_command_s / best_wire_s) {
        best_command_s = command_s;
        best_wire_s = wire_s;
      }
    }
  }
  state.counters["command_s"] = best_command_s;
  state.counters["wire_s"] = best_wire_s;
}

// ---- 3. CPU while waiting for a slow reply -----------------------------------------

void WaitingForASlowReply(benchmark::State& state, bool lan) {
  sim::Simulator sim;
  sim::FaultOptions slow;
  slow.rates.slow = 100;  // every reply 2 s late (an ENQ's ACK is never slowed)
  slow.slow_ms = 2000;
  sim.SetFaults(slow);
  const std::set<std::string> before = Threads();
  std::string error;
  if (!(lan ? sim.StartUdp(0, &error) : sim.StartPty(&error))) return state.SkipWithError(error.c_str());
  const NewThreads register_threads(before);
  Console console(sim, lan);
  if (!console.opened) return state.SkipWithError("no link");
  for (auto _ : state) {
    CountCpuAgainstWall(state, register_threads, [&] {
      if (!console.Command(kCommand)) state.SkipWithError("command refused");
    });
  }
}

void BM_ConsoleWaitingCpuUdp(benchmark::State& state) { WaitingForASlowReply(state, true); }
void BM_ConsoleWaitingCpuPty(benchmark::State& state) { WaitingForASlowReply(state, false); }

BENCHMARK(BM_ConsoleCommandOverUdp)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ConsoleCommandOverPtyAt115200)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ConsoleWaitingCpuUdp)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ConsoleWaitingCpuPty)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return zel::bench::RatioMain(
      argc, argv,
      {{"BM_ConsoleCommandOverUdp", "BM_ConsoleCommandOverUdp", 1.5, "time per command", "link_us", "plain_us"},
       {"BM_ConsoleCommandOverPtyAt115200", "BM_ConsoleCommandOverPtyAt115200", 1.1, "command time", "command_s",
        "wire_s"},
       {"BM_ConsoleWaitingCpuUdp", "BM_ConsoleWaitingCpuUdp", 0.05, "CPU time", "cpu_s", "wall_s"},
       {"BM_ConsoleWaitingCpuPty", "BM_ConsoleWaitingCpuPty", 0.05, "CPU time", "cpu_s", "wall_s"}});
}
