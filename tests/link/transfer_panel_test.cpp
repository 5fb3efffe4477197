// The transfer panel's rules without its window: how the direction, kind and
// option boxes hold each other, the pending tax-authority codes request, the
// address shown at first, the report path dialog and the link list refill.
#include "link/transfer_panel.h"

#include <gtest/gtest.h>

#include "link/serial_port.h"
#include "link_fixture.h"

namespace zel {
namespace {

using test::PortEnvironment;
using test::Pty;

TransferRequest Ticked(Direction d, std::initializer_list<Kind> kinds, bool sales = false, bool clear = false) {
  TransferRequest r;
  r.direction = d;
  for (const Kind k : kinds) r[k] = true;
  r.sales_report = sales;
  r.clear_sales = clear;
  return r;
}

TEST(UpdateKindControlsTest, DirectionAndItemsDecideWhatMayBeTicked) {
  struct Case {
    const char* what;
    TransferRequest before;
    TransferRequest after;
    bool fiscal_memory_enabled;
    bool item_options_enabled;
  };
  const Case cases[] = {
      {"write unticks the fiscal memory and both item options",
       Ticked(Direction::kWrite, {Kind::kFiscalMemory, Kind::kItems, Kind::kVatRates}, true, true),
       Ticked(Direction::kWrite, {Kind::kItems, Kind::kVatRates}), false, false},
      {"items read keeps the options", Ticked(Direction::kRead, {Kind::kFiscalMemory, Kind::kItems}, true, true),
       Ticked(Direction::kRead, {Kind::kFiscalMemory, Kind::kItems}, true, true), true, true},
      {"read without items unticks the options", Ticked(Direction::kRead, {Kind::kCustomers}, true, true),
       Ticked(Direction::kRead, {Kind::kCustomers}), true, false},
  };
  for (const Case& c : cases) {
    KindControls k{c.before};
    bool request = false;
    UpdateKindControls(k, request);
    EXPECT_EQ(k.request.kinds, c.after.kinds) << c.what;
    EXPECT_EQ(k.request.direction, c.after.direction) << c.what;
    EXPECT_EQ(k.request.sales_report, c.after.sales_report) << c.what;
    EXPECT_EQ(k.request.clear_sales, c.after.clear_sales) << c.what;
    EXPECT_EQ(k.fiscal_memory_enabled, c.fiscal_memory_enabled) << c.what;
    EXPECT_EQ(k.item_options_enabled, c.item_options_enabled) << c.what;
  }
}

TEST(UpdateKindControlsTest, CodesRequestTurnsIntoAWriteOfTheTaxCodeOnce) {
  KindControls k{Ticked(Direction::kRead, {Kind::kItems, Kind::kFiscalMemory}, true, false)};
  bool request = true;
  UpdateKindControls(k, request);
  EXPECT_FALSE(request);
  EXPECT_EQ(k.request.direction, Direction::kWrite);
  EXPECT_EQ(k.request.kinds, Ticked(Direction::kWrite, {Kind::kItems, Kind::kTaxCode}).kinds);
  EXPECT_FALSE(k.request.sales_report);
  EXPECT_FALSE(k.fiscal_memory_enabled);

  // Consumed: the next update leaves a user's read choice alone.
  k.request = Ticked(Direction::kRead, {Kind::kItems});
  UpdateKindControls(k, request);
  EXPECT_EQ(k.request.direction, Direction::kRead);
  EXPECT_FALSE(k.request[Kind::kTaxCode]);
}

TEST(TransferPanelRulesTest, UntickKeepsDirectionAndOptions) {
  TransferRequest r = Ticked(Direction::kRead, {Kind::kItems, Kind::kLogo, Kind::kParameters}, true, true);
  UntickKinds(r);
  EXPECT_FALSE(r.any());
  EXPECT_EQ(r.direction, Direction::kRead);
  EXPECT_TRUE(r.sales_report);
  EXPECT_TRUE(r.clear_sales);
}

TEST(TransferPanelRulesTest, UnsetAddressShowsTheUsualRegisterAddress) {
  const std::pair<IPv4, IPv4> cases[] = {
      {{0, 0, 0, 0}, {192, 168, 1, 50}},
      {{0, 1, 2, 3}, {192, 168, 1, 50}},
      {{10, 0, 0, 0}, {10, 0, 0, 0}},
      {{127, 0, 0, 1}, {127, 0, 0, 1}},
  };
  for (const auto& [stored, shown] : cases) {
    LinkSelection s;
    s.ip = stored;
    DefaultRegisterAddress(s);
    EXPECT_EQ(s.ip, shown);
  }
}

TEST(TransferPanelRulesTest, ReportPathDialogStartsFromThePathOrTheDefaultName) {
  const FileDialog empty = ReportPathDialog("");
  EXPECT_EQ(empty.mode, FileDialog::Mode::kSave);
  EXPECT_EQ(empty.initial_path, "Αναφορες");
  EXPECT_EQ(empty.filter, "Setup ZEL ΑΝΑΦΟΡΕΣ(*.bin,*.txt,*.csv) |*.bin||");
  EXPECT_TRUE(empty.overwrite_prompt);
  EXPECT_EQ(ReportPathDialog("/home/dealer/reports/x.bin").initial_path, "/home/dealer/reports/x.bin");
}

TEST(TransferPanelRulesTest, KindBoxOrderListsEveryKindOnce) {
  std::array<int, kKindCount> seen{};
  for (const Kind k : kKindBoxOrder) ++seen[static_cast<std::size_t>(k)];
  for (const int n : seen) EXPECT_EQ(n, 1);
  EXPECT_EQ(InfoOf(kKindBoxOrder.front()).control_id, 1107);
  EXPECT_EQ(InfoOf(kKindBoxOrder.back()).control_id, 1113);
}

TEST(RefillPortListTest, KeepsTheUsersChoiceWhileItsPortIsThere) {
  Pty com3, com5;
  PortEnvironment env({{3, com3.path}, {5, com5.path}});
  LinkSelection s;
  s.port = 5;
  const PortList first = FillPortList(s);
  ASSERT_EQ(first.selected, 2);

  // The user picked COM3 and opens the list again: still COM3, the stored
  // number is untouched until Start or the check.
  PortList again = RefillPortList(s, first.entries, 1);
  EXPECT_EQ(again.entries, first.entries);
  EXPECT_EQ(again.selected, 1);
  EXPECT_EQ(s.port, 5);

  // LAN stays LAN.
  EXPECT_EQ(RefillPortList(s, first.entries, 0).selected, 0);
  EXPECT_EQ(s.port, 5);
}

TEST(RefillPortListTest, ChosenPortGoneFallsBackAsOnShowing) {
  Pty com3;
  const std::vector<std::string> before = {"LAN", PortLabel(3), PortLabel(5)};
  {
    // COM5 unplugged: the last port found.
    PortEnvironment env({{3, com3.path}});
    LinkSelection s;
    s.port = 5;
    const PortList list = RefillPortList(s, before, 2);
    EXPECT_EQ(list.entries, (std::vector<std::string>{"LAN", PortLabel(3)}));
    EXPECT_EQ(list.selected, 1);
    EXPECT_EQ(s.port, 5);
  }
  {
    // Every port gone: LAN, and the stored choice becomes the LAN.
    PortEnvironment env({});
    LinkSelection s;
    s.port = 5;
    const PortList list = RefillPortList(s, before, 2);
    EXPECT_EQ(list.entries, std::vector<std::string>{"LAN"});
    EXPECT_EQ(list.selected, 0);
    EXPECT_EQ(s.port, 0);
  }
}

}  // namespace
}  // namespace zel
