// The transfers beyond the plain read and write, against the simulated
// register: the verification after a write, the comparison with the
// register, the backup before a write, resuming a write after a hang-up,
// the trace of every exchange and many registers at once.
#include <regex>

#include "core/database_file.h"
#include "e2e_support.h"
#include "images.h"
#include "link/compare.h"
#include "link/exchange.h"
#include "link/fleet.h"

namespace zel::e2e {
namespace {

class Safety : public E2eTest {};

INSTANTIATE_TEST_SUITE_P(Wires, Safety, ::testing::Values(Wire::kUdp, Wire::kPty), WireName);

TEST_P(Safety, VerifyFindsEverythingAsSentAndCatchesARecordTheRegisterChanged) {
  // Every kind, with its blank-padded, zero-padded and empty texts: the
  // rules of the wire make none of them a difference.
  DataImage source = FilledImage(300, 40);
  TransferRequest request = AllKinds(Direction::kWrite);
  request.verify = true;
  TransferOutcome out = Transfer(request, source);
  EXPECT_TRUE(out.success);
  EXPECT_TRUE(out.verified);
  EXPECT_TRUE(out.differences.empty()) << DifferencesText(out.differences);
  EXPECT_EQ(ui_.MessageTexts(),
            std::vector<std::string>{std::string(kMsgTransferDone) + "\n" + std::string(kMsgVerified)});

  // The register keeps item 5 (record 4) with another price.
  DataImage items;
  Item it = items.item(4);
  PutText(it.name().data(), item::kNameWidth, "ΚΑΦΕΣ");
  it.set_price(120);
  it.set_price_decimals(2);
  sim_.SetAlterItem(4);
  request = Request(Direction::kWrite, {Kind::kItems});
  request.verify = true;
  out = Transfer(request, items);
  EXPECT_FALSE(out.success);
  EXPECT_FALSE(out.verified);
  ASSERT_EQ(out.differences.size(), 1u);
  EXPECT_EQ(DifferenceLine(out.differences[0]), "Είδη 5: Τιμη 1,20 ≠ 1,25");
  ASSERT_FALSE(ui_.messages.empty());
  EXPECT_EQ(ui_.messages.back().text, std::string(kMsgVerifyDifferences) + "\nΕίδη 5: Τιμη 1,20 ≠ 1,25");
  EXPECT_EQ(ui_.messages.back().icon, Icon::kError);
  EXPECT_FALSE(out.resume) << "every kind was written: nothing to resume";
}

TEST_P(Safety, CompareListsExactlyTheChangedFieldsAndLeavesTheDatabaseAlone) {
  const DataImage source = FilledImage(50, 10);
  DataImage written = source;
  ASSERT_TRUE(Transfer(AllKinds(Direction::kWrite), written).success);

  // At the shop: one item's price and a customer's tax number changed, a
  // category renamed.
  DataImage on_register = sim_.Programming();
  const int item = SparseItems(50, 7)[3];
  Item it = on_register.item(item);
  it.set_price(it.price() + 1);
  on_register.customer(0).set_tax_number(123456789);
  PutText(on_register.category(1).data(), kShortNameWidth, "ΑΛΛΗ");
  sim_.SetProgramming(on_register);

  DataImage database = source;
  TransferRequest request = AllKinds(Direction::kRead);
  request.compare = true;
  const TransferOutcome out = Transfer(request, database);
  EXPECT_TRUE(out.compared);
  EXPECT_TRUE(database == source) << "the comparison must not touch the database";
  EXPECT_FALSE(database.state.modified);
  ASSERT_EQ(out.differences.size(), 3u) << DifferencesText(out.differences);
  EXPECT_EQ(out.differences[0].kind, Kind::kCategories);
  EXPECT_EQ(out.differences[0].record, 2);
  EXPECT_EQ(out.differences[0].field, "Ονομα");
  EXPECT_EQ(out.differences[0].register_, "ΑΛΛΗ");
  EXPECT_EQ(out.differences[1].kind, Kind::kItems);
  EXPECT_EQ(out.differences[1].record, item + 1);
  EXPECT_EQ(out.differences[1].field, "Τιμη");
  EXPECT_EQ(out.differences[2].kind, Kind::kCustomers);
  EXPECT_EQ(out.differences[2].record, 1);
  EXPECT_EQ(out.differences[2].field, "ΑΦΜ");
  EXPECT_EQ(out.differences[2].register_, "123456789");
  // No fiscal memory read for a comparison: it has no counterpart.
  EXPECT_EQ(out.marks[static_cast<std::size_t>(Kind::kFiscalMemory)], Mark::kNone);
  ASSERT_FALSE(ui_.messages.empty());
  EXPECT_TRUE(ui_.messages.back().text.starts_with(kMsgCompareDifferent));

  // The list as CSV: a header line and one line per differing field.
  const std::string csv = dir_ / "diff.csv";
  ASSERT_TRUE(SaveDifferences(csv, out.differences, true));
  const std::vector<std::string> lines = Lines(Slurp(csv));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Δεδομένα;Εγγραφή;Πεδίο;Βάση δεδομένων;ΦΗΜ");
  EXPECT_EQ(lines[3], "Πελατες;1;ΑΦΜ;100000000;123456789");
}

TEST_P(Safety, BackupHoldsTheRegistersOldProgramming) {
  sim_.FillDemoProgramming();
  const DataImage old = sim_.Programming();
  DataImage source = FilledImage(20, 5);
  TransferRequest request = Request(Direction::kWrite, {Kind::kItems, Kind::kCustomers, Kind::kDepartments});
  request.backup_folder = dir_ / "Αντίγραφα";
  const TransferOutcome out = Transfer(request, source);
  ASSERT_TRUE(out.success);
  ASSERT_FALSE(out.backup_file.empty());
  EXPECT_TRUE(fs::path(out.backup_file).filename().string().starts_with("ZEL12345678_")) << out.backup_file;
  DataImage backup;
  ASSERT_EQ(ReadDatabaseFile(out.backup_file, backup.raw()), FileStatus::kOk);
  for (Kind k : {Kind::kItems, Kind::kCustomers, Kind::kDepartments})
    EXPECT_TRUE(CompareKind(k, old, backup).empty()) << DifferencesText(CompareKind(k, old, backup));
  EXPECT_FALSE(CompareKind(Kind::kItems, source, backup).empty()) << "the backup holds the old items";
}

TEST_P(Safety, FailedBackupAsksAndNoMeansNothingIsWritten) {
  sim_.FillDemoProgramming();
  const DataImage old = sim_.Programming();
  DataImage source = FilledImage(20, 5);
  TransferRequest request = Request(Direction::kWrite, {Kind::kItems});
  // A folder that cannot be made: a file stands in its place.
  std::ofstream(dir_ / "file") << "x";
  request.backup_folder = dir_ / "file";
  ui_ = {};
  ui_.yes_no = {false};
  const TransferOutcome out = Transfer(session_, request, source, ui_);
  EXPECT_FALSE(out.success);
  ASSERT_EQ(ui_.questions.size(), 1u);
  EXPECT_EQ(ui_.questions[0].text, kMsgBackupFailed);
  EXPECT_EQ(sim_.counters().requests[0x74], 0u) << "nothing written after No";
  EXPECT_TRUE(sim_.Programming() == old);
}

// The requests of a trace file that open the item table.
int ItemTableOpenings(const std::string& trace) {
  int n = 0;
  for (const std::string& line : Lines(Slurp(trace)))
    if (line.find("> 55 33 11 ") != std::string::npos && line.find(" 74 02 80 3E ") != std::string::npos) ++n;
  return n;
}

TEST_F(SimulatorFixture, ResumeAfterAHangUpEndsWithTheSameImageAndNoSecondTableOpening) {
  Attach(Wire::kPty);
  DataImage source = FilledImage(400, 10);
  sim::FaultOptions faults;
  faults.hangup_after = 250;  // identification, vat, the opening and some 200 items
  sim_.SetFaults(faults);
  TransferRequest request = Request(Direction::kWrite, {Kind::kVatRates, Kind::kItems, Kind::kCustomers});
  ExchangeTrace first_trace;
  ASSERT_TRUE(first_trace.Open(dir_ / "trace1.txt", session_.clock->Now()));
  session_.trace = &first_trace;
  TransferOutcome out = Transfer(request, source);
  first_trace.Close();
  session_.trace = nullptr;
  ASSERT_FALSE(out.success);
  ASSERT_TRUE(out.resume);
  const KindProgress& items = out.resume->kinds[static_cast<std::size_t>(Kind::kItems)];
  EXPECT_TRUE(out.resume->kinds[static_cast<std::size_t>(Kind::kVatRates)].done);
  EXPECT_FALSE(items.done);
  EXPECT_TRUE(items.opened);
  EXPECT_GT(items.from, 0);
  EXPECT_EQ(out.resume->registration, "ZEL12345678");
  EXPECT_EQ(ItemTableOpenings(dir_ / "trace1.txt"), 1);

  // The register is back (the cable plugged in again).
  sim_.Stop();
  sim_.SetFaults({});
  sim_.ResetCounters();
  std::string error;
  ASSERT_TRUE(sim_.StartPty(&error)) << error;
  ::setenv("SETUPZEL_COM1", sim_.pty_path().c_str(), 1);
  request.resume = out.resume;
  ExchangeTrace second_trace;
  ASSERT_TRUE(second_trace.Open(dir_ / "trace2.txt", session_.clock->Now()));
  session_.trace = &second_trace;
  out = Transfer(request, source);
  second_trace.Close();
  session_.trace = nullptr;
  ASSERT_TRUE(out.success) << ::testing::PrintToString(ui_.MessageTexts());
  EXPECT_FALSE(out.resume);
  EXPECT_EQ(ItemTableOpenings(dir_ / "trace2.txt"), 0);
  EXPECT_EQ(sim_.counters().requests[0x6C], 0u) << "the VAT rates were done: not sent again";
  const DataImage on_register = sim_.Programming();
  for (Kind k : {Kind::kVatRates, Kind::kItems, Kind::kCustomers})
    EXPECT_TRUE(CompareKind(k, source, on_register).empty()) << DifferencesText(CompareKind(k, source, on_register));

  // The trace: one line per exchange with time, link, attempt, wait,
  // judgement, request and reply.
  const std::vector<std::string> lines = Lines(Slurp(dir_ / "trace2.txt"));
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(std::regex_match(
      lines[0], std::regex(R"( *\d+ COM1 #1 +\d+ ms ACCEPTED > 55 33 11 [0-9A-F ]+ < 55 33 11 [0-9A-F ]+)")))
      << lines[0];
}

TEST_P(Safety, ResumeRefusesAnotherRegisterOrChangedData) {
  DataImage source = FilledImage(10, 2);
  TransferRequest request = Request(Direction::kWrite, {Kind::kItems});
  ResumePoint point;
  point.registration = "ABC00000001";
  point.kinds[static_cast<std::size_t>(Kind::kItems)] = {false, 5, true};
  request.resume = point;
  TransferOutcome out = Transfer(request, source);
  EXPECT_FALSE(out.success);
  EXPECT_EQ(sim_.counters().requests[0x74], 0u);
  ASSERT_FALSE(ui_.messages.empty());
  EXPECT_TRUE(ui_.messages.back().text.starts_with(kMsgResumeOtherRegister)) << ui_.messages.back().text;

  point.registration = "ZEL12345678";
  point.data_check = ImageCheck(source) + 1;
  request.resume = point;
  out = Transfer(request, source);
  EXPECT_FALSE(out.connected);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgResumeDataChanged)});
}

TEST(Fleet, EightRegistersInParallelOneFailing) {
  constexpr int kRegisters = 8;
  std::vector<std::unique_ptr<sim::Simulator>> sims;
  std::vector<FleetTarget> targets;
  for (int i = 0; i < kRegisters; ++i) {
    sim::SimulatorOptions o;
    o.registration = "ZEL0000000" + std::to_string(i);
    sims.push_back(std::make_unique<sim::Simulator>(o));
    std::string error;
    ASSERT_TRUE(sims.back()->StartUdp(0, &error)) << error;
    const std::string name = "127.0.0.1:" + std::to_string(sims.back()->udp_port());
    const std::optional<LinkSelection> s = ParseLanAddress(name);
    ASSERT_TRUE(s);
    targets.push_back({name, *s});
  }
  sims[5]->SetRefuseItems(true);
  TempDir dir;
  FleetOptions options;
  options.request.direction = Direction::kWrite;
  options.request[Kind::kItems] = true;
  options.request[Kind::kVatRates] = true;
  options.parallel = 3;
  options.trace_folder = dir / "traces";
  const DataImage source = FilledImage(100, 0);
  int items = 0;
  for (int j = 0; j < kItemCount; ++j) items += source.item(j).empty() ? 0 : 1;
  AbortFlag stop;
  const std::vector<FleetResult> results = RunFleet(targets, source, options, stop);
  ASSERT_EQ(results.size(), 8u);
  for (int i = 0; i < kRegisters; ++i) {
    const FleetResult& r = results[static_cast<std::size_t>(i)];
    EXPECT_EQ(r.target, targets[static_cast<std::size_t>(i)].name);
    EXPECT_EQ(r.outcome.registration, "ZEL0000000" + std::to_string(i));
    EXPECT_EQ(r.outcome.success, i != 5) << i;
    EXPECT_TRUE(fs::exists(r.trace_file)) << r.trace_file;
    if (i != 5) {
      EXPECT_EQ(r.outcome.records, 2 + items);  // the VAT rates, the opening (refused as usual), the items
      EXPECT_TRUE(CompareKind(Kind::kItems, source, sims[static_cast<std::size_t>(i)]->Programming()).empty());
    }
  }
  const std::vector<std::string> table = Lines(FleetTable(results));
  ASSERT_EQ(table.size(), 9u);
  EXPECT_TRUE(table[0].starts_with("ΦΗΜ")) << table[0];
  EXPECT_NE(table[6].find("ΑΠΟΤΥΧΙΑ"), std::string::npos) << table[6];
  EXPECT_NE(table[6].find("Είδη"), std::string::npos) << table[6];
  EXPECT_NE(table[1].find("ZEL00000000"), std::string::npos) << table[1];
  EXPECT_NE(table[1].find("ΟΚ"), std::string::npos) << table[1];
}

}  // namespace
}  // namespace zel::e2e
