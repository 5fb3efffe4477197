// The register link against the simulated register, each against a baseline
// measured in the same run:
//   - 16000 items written over UDP loopback (16001 exchanges through the
//     real exchange and transfer code), against a plain UDP ping-pong of
//     datagrams of the same sizes between two sockets, one answered by a
//     tiny echo thread, in turns with the items in blocks of a thousand;
//     the median blocks are compared. Both run with all their threads on
//     one CPU: on a shared two-core machine, where the scheduler happens to
//     place the two ends of an exchange otherwise moves the figure by
//     several times, more than anything either code path does. Bar 1.5 x.
//   - items written over a pseudo-terminal to a register that keeps its
//     line at 115200 baud both ways, against the wire time of the bytes
//     that actually went both ways (10 bits a byte at 115200, counted by the
//     register); the best of five transfers. Bar 1.05 x.
//   - waiting on a register that answers after 50 ms, over UDP and over the
//     pseudo-terminal: the CPU time of the program's side (the whole
//     process but the register's own threads) against the wall time.
//     Bar 5 %.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "core/data_image.h"
#include "link/exchange.h"
#include "link/transfer.h"
#include "ratio.h"
#include "sim/simulator.h"

namespace {

using namespace zel;
using namespace zel::bench;

// An image whose first `count` item records are named.
DataImage ItemsImage(int count) {
  DataImage image;
  std::fill(image.block(Block::kItems).begin(), image.block(Block::kItems).end(), std::uint8_t{0});
  for (int i = 0; i < count; ++i) {
    Item it = image.item(i);
    StoreText(it.name(), "ITEM NUMBER " + std::to_string(i + 1));
    it.set_price(100 + i);
    StoreText(it.barcode(), std::to_string(5200000000000LL + i));
  }
  return image;
}

// The program's side: a session connected to the simulator over UDP (lan)
// or its pseudo-terminal.
struct Program {
  Program(sim::Simulator& sim, bool lan) {
    if (lan) {
      ::setenv("SETUPZEL_REGISTER_PORT", std::to_string(sim.udp_port()).c_str(), 1);
      selection.ip = {127, 0, 0, 1};
    } else {
      ::setenv("SETUPZEL_COM1", sim.pty_path().c_str(), 1);
      selection.port = 1;
    }
    connected = Connect(session, selection, ui) == 0;
  }
  ~Program() { Disconnect(session); }
  std::uint8_t Move(DataImage& image, Kind kind, Direction direction) {
    TransferContext ctx{session, image, ui};
    ctx.direction = direction;
    return TransferKind(ctx, kind);
  }
  QuietUi ui;
  LinkSelection selection;
  LinkSession session;
  bool connected = false;
};

// ---- 1. Items over UDP against a plain ping-pong ------------------------------

constexpr std::size_t kItemRequestSize = 9 + 50;  // frame of an item write
constexpr std::size_t kItemReplySize = 9 + 2;     // the register's answer: the record number
constexpr int kExchanges = 16001;                 // the table opening and 16000 items

// A plain UDP ping-pong: a client socket and a tiny echo thread, datagrams
// of the sizes an item write and its answer have.
class PingPong {
 public:
  PingPong() {
    echo_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(echo_, reinterpret_cast<sockaddr*>(&at), sizeof at);
    socklen_t len = sizeof at;
    ::getsockname(echo_, reinterpret_cast<sockaddr*>(&at), &len);
    thread_ = std::thread([this] {
      std::uint8_t in[512], out[kItemReplySize] = {};
      for (;;) {
        sockaddr_in from{};
        socklen_t from_len = sizeof from;
        const ssize_t n = ::recvfrom(echo_, in, sizeof in, 0, reinterpret_cast<sockaddr*>(&from), &from_len);
        if (n <= 0) return;  // the empty datagram ends it
        ::sendto(echo_, out, sizeof out, 0, reinterpret_cast<sockaddr*>(&from), from_len);
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
  void Run(int exchanges) {
    std::uint8_t request[kItemRequestSize] = {}, reply[512];
    for (int i = 0; i < exchanges; ++i) {
      ::send(client_, request, sizeof request, 0);
      ::recv(client_, reply, sizeof reply, 0);
    }
  }

 private:
  int echo_ = -1, client_ = -1;
  std::thread thread_;
};

// The plain exchanges run in turns with the link's, in blocks of a
// thousand: the transfer reports its progress before each item's exchange,
// and before every thousandth this user interface runs a thousand plain
// exchanges. Each side runs its block at its own steady pace, and both meet
// the machine (shared with other work) in the same state; the median
// blocks are compared, which a stall of the whole machine cannot move.
class TakingTurnsUi : public QuietUi {
 public:
  static constexpr int kBlock = 1000;
  explicit TakingTurnsUi(PingPong& ping_pong) : ping_pong_(ping_pong) {}
  void SetProgressRange(int) override { last_end_.reset(); }
  void SetProgress(int position) override {
    if (position % kBlock != 1) return;
    const auto start = std::chrono::steady_clock::now();
    if (last_end_) link_us.push_back(std::chrono::duration<double, std::micro>(start - *last_end_).count() / kBlock);
    ping_pong_.Run(kBlock);
    last_end_ = std::chrono::steady_clock::now();
    plain_us.push_back(std::chrono::duration<double, std::micro>(*last_end_ - start).count() / kBlock);
  }
  std::vector<double> link_us, plain_us;  // per exchange, one entry per block

 private:
  PingPong& ping_pong_;
  std::optional<std::chrono::steady_clock::time_point> last_end_;
};

void BM_ItemsOverUdp(benchmark::State& state) {
  OnOneCpu one_cpu;
  sim::Simulator sim;
  std::string error;
  if (!sim.StartUdp(0, &error)) return state.SkipWithError(error.c_str());
  Program program(sim, true);
  if (!program.connected) return state.SkipWithError("no link");
  PingPong ping_pong;
  TakingTurnsUi ui(ping_pong);
  DataImage image = ItemsImage(kItemCount);
  for (auto _ : state) {
    TransferContext ctx{program.session, image, ui};
    ctx.direction = Direction::kWrite;
    if (TransferKind(ctx, Kind::kItems) != kAccepted) state.SkipWithError("items not written");
  }
  // A time-out would hide in the medians: there must be none.
  if (program.session.log.counter() != 0) state.SkipWithError("the link had failed attempts");
  state.counters["link_us"] = Median(ui.link_us);
  state.counters["plain_us"] = Median(ui.plain_us);
}

// ---- 2. Items over the pseudo-terminal at 115200 baud ---------------------------

constexpr int kBaud = 115200;
constexpr int kPtyItems = 100;

// Each iteration is a transfer; the one least disturbed by the rest of the
// machine (the lowest ratio) is reported, as a stall of the machine slows
// the transfer but not the line's arithmetic.
void BM_ItemsOverPtyAt115200(benchmark::State& state) {
  sim::Simulator sim;
  sim.SetTiming({kBaud, 0, 100});
  std::string error;
  if (!sim.StartPty(&error)) return state.SkipWithError(error.c_str());
  Program program(sim, false);
  if (!program.connected) return state.SkipWithError("no link");
  DataImage image = ItemsImage(kPtyItems);
  double best_transfer_s = 0, best_wire_s = 0;
  for (auto _ : state) {
    sim.ResetCounters();
    const auto start = std::chrono::steady_clock::now();
    if (program.Move(image, Kind::kItems, Direction::kWrite) != kAccepted) state.SkipWithError("items not written");
    const double transfer_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The bytes that went both ways, as the register counted them, at 10
    // bits a byte.
    const sim::Counters c = sim.counters();
    const double wire_s = static_cast<double>(c.bytes_received + c.bytes_sent) * 10.0 / kBaud;
    if (best_wire_s == 0 || transfer_s / wire_s < best_transfer_s / best_wire_s) {
      best_transfer_s = transfer_s;
      best_wire_s = wire_s;
    }
  }
  if (program.session.log.counter() != 0) state.SkipWithError("the link had failed attempts");
  state.counters["transfer_s"] = best_transfer_s;
  state.counters["wire_s"] = best_wire_s;
}

// ---- 3. CPU while waiting --------------------------------------------------------

void WaitingOnASlowRegister(benchmark::State& state, bool lan) {
  sim::Simulator sim;
  sim.SetTiming({0, 50, 100});
  const std::set<std::string> before = Threads();
  std::string error;
  if (!(lan ? sim.StartUdp(0, &error) : sim.StartPty(&error))) return state.SkipWithError(error.c_str());
  const NewThreads register_threads(before);
  Program program(sim, lan);
  if (!program.connected) return state.SkipWithError("no link");
  DataImage image;
  for (auto _ : state) {
    CountCpuAgainstWall(state, register_threads, [&] {
      // 30 categories: 30 exchanges, each waiting 50 ms for its answer.
      if (program.Move(image, Kind::kCategories, Direction::kRead) != kAccepted) state.SkipWithError("not read");
    });
  }
}

void BM_WaitingCpuUdp(benchmark::State& state) { WaitingOnASlowRegister(state, true); }
void BM_WaitingCpuPty(benchmark::State& state) { WaitingOnASlowRegister(state, false); }

BENCHMARK(BM_ItemsOverUdp)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ItemsOverPtyAt115200)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_WaitingCpuUdp)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_WaitingCpuPty)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return zel::bench::RatioMain(
      argc, argv,
      {{"BM_ItemsOverUdp", "BM_ItemsOverUdp", 1.5, "time per exchange", "link_us", "plain_us"},
       {"BM_ItemsOverPtyAt115200", "BM_ItemsOverPtyAt115200", 1.05, "transfer time", "transfer_s", "wire_s"},
       {"BM_WaitingCpuUdp", "BM_WaitingCpuUdp", 0.05, "CPU time", "cpu_s", "wall_s"},
       {"BM_WaitingCpuPty", "BM_WaitingCpuPty", 0.05, "CPU time", "cpu_s", "wall_s"}});
}
