// Shared set-up of the end-to-end console tests: the program's console
// engine (PrinterLink, SalesConsole, PlayKeys) against the in-process
// simulated register over UDP loopback or a pseudo-terminal, on a manual
// clock, and the register's paper read back as receipts.
#pragma once

#include "console/key_script.h"
#include "e2e_support.h"
#include "support/console_clock.h"

namespace zel::e2e {

using test::ConsoleClock;

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
