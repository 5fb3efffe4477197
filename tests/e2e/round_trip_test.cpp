// Every kind written from a filled image to the simulated register and read
// back into a fresh image, over UDP loopback and over a pseudo-terminal: the
// register holds what the program sent and the read-back image equals the
// source except where a documented rule changes a byte (images.h names
// them).
#include "e2e_support.h"
#include "images.h"

namespace zel::e2e {
namespace {

class RoundTrip : public E2eTest {};

TEST_P(RoundTrip, EveryKindWrittenAndReadBackMatchesTheSourceUpToTheTextRules) {
  DataImage source = FilledImage(300, 120);
  const DataImage original = source;
  const DataImage register_before = sim_.Programming();

  const TransferOutcome written = Transfer(AllKinds(Direction::kWrite), source);
  ASSERT_TRUE(written.success) << ::testing::PrintToString(ui_.MessageTexts());
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgTransferDone)});
  for (const KindInfo& k : kKinds)
    EXPECT_EQ(written.marks[static_cast<std::size_t>(k.kind)], k.write_code ? Mark::kDone : Mark::kNone) << k.name;
  EXPECT_EQ(Differences(original, source), "") << "writing changed the program's image";

  // The register's own memory holds the written image.
  DataImage in_register = sim_.Programming();
  in_register.state.customer_message = sim_.CustomerMessage();
  const DataImage expected_register = Expected(source, register_before, Side::kRegister);
  EXPECT_EQ(Differences(expected_register, in_register), "");
  EXPECT_EQ(in_register.state.customer_message, expected_register.state.customer_message);

  // Read everything back into a fresh image.
  TransferRequest read = AllKinds(Direction::kRead);
  read[Kind::kFiscalMemory] = false;
  DataImage back;
  const DataImage fresh = back;
  const TransferOutcome outcome = Transfer(read, back);
  ASSERT_TRUE(outcome.success) << ::testing::PrintToString(ui_.MessageTexts());
  const DataImage expected = Expected(source, fresh, Side::kReadBack);
  EXPECT_EQ(Differences(expected, back), "");
  EXPECT_EQ(back.state.customer_message, expected.state.customer_message);
  EXPECT_TRUE(back.state.modified);
  EXPECT_EQ(back.state.logo_present, 3);

  // The documented differences really occur in this image, so the rules
  // above are exercised and not vacuous.
  EXPECT_NE(source.raw(), back.raw());
  const std::size_t dept5 = Info(Block::kDepartments).offset + 5 * 40 + 39;
  EXPECT_EQ(back.raw()[dept5], fresh.raw()[dept5]) << "department byte 39 is not sent";
  EXPECT_EQ(TextOf(back.customer(6).company()), "") << "a customer without profession travels empty";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.customer(9).phone().data()), 16),
            std::string("210") + std::string(13, '\0'))
      << "a telephone travels as its leading digits";
  EXPECT_EQ(back.parameters().print_line(4)[13], ' ') << "zero bytes inside a text become blanks";

  // The log holds no failed attempt.
  EXPECT_EQ(LogLines(), std::vector<std::string>{});
}

TEST_P(RoundTrip, SmallKindsAt9600BaudWithTheRegisterPacingItsReplies) {
  if (!lan()) {
    // The register sends at 9600 baud; the program's port is set to 9600.
    sim_.Stop();
    sim_.SetTiming({9600, 0, 100});
    Attach(Wire::kPty, 1);
  }
  DataImage source = FilledImage(3, 3);
  const TransferRequest kinds = Request(Direction::kWrite, {Kind::kPayments, Kind::kVatRates, Kind::kTaxCode});
  ASSERT_TRUE(Transfer(kinds, source).success) << ::testing::PrintToString(ui_.MessageTexts());
  DataImage back;
  const DataImage fresh = back;
  TransferRequest read = kinds;
  read.direction = Direction::kRead;
  ASSERT_TRUE(Transfer(read, back).success) << ::testing::PrintToString(ui_.MessageTexts());
  const DataImage expected = Expected(source, fresh, Side::kReadBack);
  for (Kind k : {Kind::kPayments, Kind::kVatRates, Kind::kTaxCode})
    EXPECT_EQ(Differences(expected, back, KindRanges(k)), "") << InfoOf(k).name;
}

TEST_P(RoundTrip, ConnectionCheckAnswersAndLogsNothing) {
  EXPECT_TRUE(CheckConnection(session_, selection_, ui_, log_path_));
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgTransferDone)});
  EXPECT_EQ(sim_.counters().requests[0x79], 1u);
  EXPECT_EQ(LogLines(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Wires, RoundTrip, ::testing::Values(Wire::kUdp, Wire::kPty), WireName);

}  // namespace
}  // namespace zel::e2e
