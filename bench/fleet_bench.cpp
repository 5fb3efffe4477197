// Many registers at once: 16000 items written to eight simulated registers
// over UDP loopback by one fleet run (eight at a time), against the same
// eight writes one after the other, measured in the same run. The registers
// run in this process, as eight zelsim would beside the program. Bar 0.35 x
// of the serial time on a two-core machine: the exchanges wait on their
// replies far more than they compute, and the fleet overlaps the waits.
#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/data_image.h"
#include "link/fleet.h"
#include "ratio.h"
#include "sim/simulator.h"

namespace {

using namespace zel;

constexpr int kRegisters = 8;

DataImage ItemsImage() {
  DataImage image;
  std::fill(image.block(Block::kItems).begin(), image.block(Block::kItems).end(), std::uint8_t{0});
  for (int i = 0; i < kItemCount; ++i) {
    Item it = image.item(i);
    StoreText(it.name(), "ITEM NUMBER " + std::to_string(i + 1));
    it.set_price(100 + i);
  }
  return image;
}

struct Registers {
  Registers() {
    for (int i = 0; i < kRegisters; ++i) {
      sims.push_back(std::make_unique<sim::Simulator>());
      if (!sims.back()->StartUdp(0)) continue;
      const std::string name = "127.0.0.1:" + std::to_string(sims.back()->udp_port());
      targets.push_back({name, *ParseLanAddress(name)});
    }
  }
  std::vector<std::unique_ptr<sim::Simulator>> sims;
  std::vector<FleetTarget> targets;
};

FleetOptions ItemsWrite(int parallel) {
  FleetOptions o;
  o.request.direction = Direction::kWrite;
  o.request[Kind::kItems] = true;
  o.parallel = parallel;
  return o;
}

bool AllGood(const std::vector<FleetResult>& results) {
  return std::all_of(results.begin(), results.end(), [](const FleetResult& r) { return r.outcome.success; });
}

void BM_FleetOfEight(benchmark::State& state) {
  Registers regs;
  if (regs.targets.size() != kRegisters) return state.SkipWithError("no UDP port");
  const DataImage image = ItemsImage();
  AbortFlag stop;
  for (auto _ : state)
    if (!AllGood(RunFleet(regs.targets, image, ItemsWrite(kRegisters), stop))) state.SkipWithError("a write failed");
}

void BM_EightOneAfterAnother(benchmark::State& state) {
  Registers regs;
  if (regs.targets.size() != kRegisters) return state.SkipWithError("no UDP port");
  const DataImage image = ItemsImage();
  AbortFlag stop;
  for (auto _ : state)
    for (const FleetTarget& t : regs.targets)
      if (!AllGood(RunFleet({t}, image, ItemsWrite(1), stop))) state.SkipWithError("a write failed");
}

BENCHMARK(BM_EightOneAfterAnother)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_FleetOfEight)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return zel::bench::RatioMain(argc, argv, {{"BM_FleetOfEight", "BM_EightOneAfterAnother", 0.35, "fleet time"}});
}
