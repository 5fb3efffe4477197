// Each fault the simulated register can inject, met by the program's real
// link over UDP and over a pseudo-terminal: the attempts, the OV_Log.txt
// lines, the messages and the outcome are the ones the program promises.
// Stop and a hang-up in the middle of a transfer end it clearly and in time;
// a register that refuses items (0xDEBA) fails that kind only.
//
// Faults are placed on chosen requests through the simulator's seed: the
// fault draws are fixed by the seed, so SeedFor finds one whose first draws
// are the wanted pattern.
#include "e2e_support.h"
#include "images.h"

namespace zel::e2e {
namespace {

using sim::Fault;

// A seed whose first draws on this wire are `pattern` (one per request the
// register receives, retries included).
std::uint32_t SeedFor(const sim::FaultRates& rates, const std::vector<Fault>& pattern, bool lan) {
  for (std::uint32_t seed = 1; seed < 10'000'000; ++seed) {
    sim::FaultInjector injector(rates, seed + (lan ? 1u : 0u));  // the LAN link draws from seed + 1
    bool match = true;
    for (Fault f : pattern)
      if (injector.Draw().fault != f) {
        match = false;
        break;
      }
    if (match) return seed;
  }
  ADD_FAILURE() << "no seed gives the pattern";
  return 1;
}

struct FaultCase {
  const char* name;
  sim::FaultRates rates;
  // Per wire: the fault of each request (identification, payments read and
  // its retries, VAT read), the log lines, the messages after the kinds'
  // own, the marks of payments and VAT rates.
  struct Expect {
    std::vector<Fault> pattern;
    std::vector<std::string> log;
    std::vector<std::string> messages;
    Mark payments, vat;
  } com, lan;
};

const std::string kDone(kMsgTransferDone);
const std::string kCommunication(kMsgCommunication);
const std::string kRefusedText(kMsgRefused);
const std::string kNotExecuted(kMsgNotExecuted);
// Three unanswered attempts say which link and what to check; "{link}"
// stands for the link's label ("COM1 (pts/3)", "LAN 127.0.0.1").
const std::string kComNoAnswer = kNotExecuted + "\n{link}: καμία απάντηση — ελέγξτε καλώδιο και ταχύτητα";
const std::string kLanNoAnswer = kCommunication + "\n{link}: καμία απάντηση — ελέγξτε τη διεύθυνση IP και το δίκτυο";
const std::string kPaymentsFailed = std::string(kMsgTransferIncomplete) + "\nΑπέτυχαν: Πληρωμές";
constexpr Fault N = Fault::kNone;

const FaultCase kFaultCases[] = {
    {"LostReplyIsAskedAgain",
     {.lost = 50},
     {{N, Fault::kLost, N, N}, {"    1 COM:NO REPLY"}, {kDone}, Mark::kDone, Mark::kDone},
     {{N, Fault::kLost, N, N}, {"    1 LAN:NO REPLY"}, {kDone}, Mark::kDone, Mark::kDone}},
    {"BadChecksumIsAskedAgain",
     {.checksum = 50},
     {{N, Fault::kChecksum, N, N}, {"    1 COM:WRONG CHECKSUM"}, {kDone}, Mark::kDone, Mark::kDone},
     {{N, Fault::kChecksum, N, N}, {"    1 LAN:WRONG CHECHSUM"}, {kDone}, Mark::kDone, Mark::kDone}},
    // The serial exchange finds the frame after the noise; a LAN datagram
    // must start with the frame.
    {"NoiseBeforeTheReply",
     {.noise = 50},
     {{N, Fault::kNoise, N}, {}, {kDone}, Mark::kDone, Mark::kDone},
     {{N, Fault::kNoise, N, N}, {"    1 LAN:WRONG REPLY"}, {kDone}, Mark::kDone, Mark::kDone}},
    {"DamagedRequestIsSentAgain",
     {.nak = 50},
     {{N, Fault::kNak, N, N}, {"    1 COM:REQUEST RECEIVE ERROR"}, {kDone}, Mark::kDone, Mark::kDone},
     {{N, Fault::kNak, N, N}, {"    1 LAN:REQUEST RECEIVE ERROR"}, {kDone}, Mark::kDone, Mark::kDone}},
    // A refused ordinary request fails its kind; the next kind still runs.
    {"RefusalFailsTheKindAndTheNextKindRuns",
     {.refuse = 50},
     {{N, Fault::kRefuse, N}, {}, {kRefusedText, kPaymentsFailed}, Mark::kFailed, Mark::kDone},
     {{N, Fault::kRefuse, N}, {}, {kRefusedText, kPaymentsFailed}, Mark::kFailed, Mark::kDone}},
    // Only the LAN exchange compares sequence numbers.
    {"WrongSequenceNumber",
     {.seq = 50},
     {{N, Fault::kSeq, N}, {}, {kDone}, Mark::kDone, Mark::kDone},
     {{N, Fault::kSeq, N, N}, {"    1 LAN:WRONG REPLY"}, {kDone}, Mark::kDone, Mark::kDone}},
    // Three lost replies: the serial link gives up the transfer; on the LAN
    // it is a communication failure of the kind and the transfer goes on.
    {"ThreeLostRepliesInARow",
     {.lost = 50},
     {{N, Fault::kLost, Fault::kLost, Fault::kLost},
      {"    1 COM:NO REPLY", "    2 COM:NO REPLY", "    3 COM:NO REPLY"},
      {kComNoAnswer, kCommunication},
      Mark::kFailed,
      Mark::kNone},
     {{N, Fault::kLost, Fault::kLost, Fault::kLost, N},
      {"    1 LAN:NO REPLY", "    2 LAN:NO REPLY", "    3 LAN:NO REPLY"},
      {kLanNoAnswer, kPaymentsFailed},
      Mark::kFailed,
      Mark::kDone}},
};

class Faults : public SimulatorFixture, public ::testing::WithParamInterface<std::tuple<Wire, FaultCase>> {
 protected:
  void SetUp() override { Attach(std::get<0>(GetParam())); }
};

TEST_P(Faults, AttemptsLogMessagesAndOutcomeFollowTheLinkRules) {
  const FaultCase& c = std::get<1>(GetParam());
  const FaultCase::Expect& want = lan() ? c.lan : c.com;
  sim::FaultOptions faults;
  faults.rates = c.rates;
  faults.seed = SeedFor(c.rates, want.pattern, lan());
  sim_.SetFaults(faults);
  DataImage programming = sim_.Programming();
  PutText(programming.payment(0).data(), kShortNameWidth, "ΜΕΤΡΗΤΑ");
  programming.set_vat_rate(0, 1300);
  sim_.SetProgramming(programming);

  DataImage image;
  image.raw().fill(0x11);
  const DataImage before = image;
  const TransferOutcome out =
      TransferOnManualClock(Request(Direction::kRead, {Kind::kPayments, Kind::kVatRates}), image);

  EXPECT_EQ(sim_.counters().Handled(), want.pattern.size()) << "requests the register received";
  EXPECT_EQ(LogLines(), want.log);
  std::vector<std::string> messages = want.messages;
  for (std::string& m : messages)
    if (const std::size_t at = m.find("{link}"); at != std::string::npos) m.replace(at, 6, LinkLabel(selection_));
  EXPECT_EQ(manual_ui_.MessageTexts(), messages);
  EXPECT_EQ(out.marks[static_cast<std::size_t>(Kind::kPayments)], want.payments);
  EXPECT_EQ(out.marks[static_cast<std::size_t>(Kind::kVatRates)], want.vat);
  EXPECT_EQ(out.success, want.payments == Mark::kDone && want.vat == Mark::kDone);
  EXPECT_FALSE(out.stopped);
  // A kind that came in holds the register's data; one that failed leaves
  // the image as it was.
  for (Kind k : {Kind::kPayments, Kind::kVatRates}) {
    const Mark m = k == Kind::kPayments ? want.payments : want.vat;
    EXPECT_EQ(Differences(m == Mark::kDone ? programming : before, image, KindRanges(k)), "") << InfoOf(k).name;
  }
}

std::string FaultCaseName(const ::testing::TestParamInfo<std::tuple<Wire, FaultCase>>& info) {
  return std::string(std::get<1>(info.param).name) + (std::get<0>(info.param) == Wire::kUdp ? "Udp" : "Pty");
}

INSTANTIATE_TEST_SUITE_P(Kinds, Faults,
                         ::testing::Combine(::testing::Values(Wire::kUdp, Wire::kPty),
                                            ::testing::ValuesIn(kFaultCases)),
                         FaultCaseName);

class LinkEvents : public E2eTest {};

// A reply later than the time-out: the request is asked again and the late
// answer must not be taken for the answer to a later request, or each record
// would get its neighbour's data.
TEST_P(LinkEvents, SlowReplyIsAskedAgainAndItsLateAnswerDoesNotShiftTheRecords) {
  DataImage programming = sim_.Programming();
  for (int i = 0; i < kCategoryCount; ++i)
    PutText(programming.category(i).data(), kShortNameWidth, "ΚΑΤΗΓΟΡΙΑ " + std::to_string(i + 1));
  sim_.SetProgramming(programming);
  sim::FaultOptions faults;
  faults.rates.slow = 20;
  std::vector<Fault> pattern(5, N);  // identification and categories 1 to 4
  pattern.push_back(Fault::kSlow);   // category 5, first attempt
  faults.seed = SeedFor(faults.rates, pattern, lan());
  faults.slow_ms = 100;
  sim_.SetFaults(faults);
  sim_.SetTiming({0, 20, 100});  // every reply after a 20 ms turnaround

  DataImage image;
  const TransferRequest request = Request(Direction::kRead, {Kind::kCategories, Kind::kVatRates});
  // The clock moves only when the slow reply's request is waited for (and,
  // on the LAN, over the settle time).
  bool settled = !lan();
  const TransferOutcome out = Transfer(manual_session_, request, image, manual_ui_, 60s, [&] {
    if (!settled) settled = clock_.AdvanceToNextDeadline();
    while (sim_.counters().faults[static_cast<std::size_t>(Fault::kSlow)] == 0)
      sim_.WaitForRequests(sim_.counters().Handled() + 1, 50ms);
    EXPECT_TRUE(clock_.AdvanceToNextDeadline());
  });
  ASSERT_TRUE(out.success) << ::testing::PrintToString(manual_ui_.MessageTexts());
  EXPECT_EQ(LogLines(), std::vector<std::string>{Lan("    1 LAN:NO REPLY", "    1 COM:NO REPLY")});
  EXPECT_EQ(Differences(programming, image, KindRanges(Kind::kCategories)), "");
  EXPECT_EQ(Differences(programming, image, KindRanges(Kind::kVatRates)), "");
  EXPECT_EQ(sim_.counters().Handled(), 1u + 30 + 1 + 1) << "one request asked twice, no more";
}

// Stop from another thread in the middle of a transfer: it ends at once with
// the failure outcome, later kinds untouched. On the manual clock: no time
// passes after the Stop, so the transfer cannot have waited for a time-out
// (it would wait for ever).
TEST_P(LinkEvents, StopInTheMiddleEndsTheTransferWithTheFailureOutcome) {
  DataImage source = FilledImage(2000, 10);
  const TransferRequest request = Request(Direction::kWrite, {Kind::kItems, Kind::kCustomers});
  Millis stopped_at{};
  manual_ui_ = {};
  const TransferOutcome out = Transfer(manual_session_, request, source, manual_ui_, 60s, [&] {
    if (lan()) {
      ASSERT_TRUE(clock_.AdvanceToNextDeadline());  // the LAN settle time
    }
    ASSERT_TRUE(sim_.WaitForRequests(300, 20s));
    stopped_at = clock_.Now();
    manual_session_.abort.Set();
  });
  EXPECT_TRUE(out.stopped);
  EXPECT_FALSE(out.success);
  EXPECT_EQ(out.marks[static_cast<std::size_t>(Kind::kItems)], Mark::kFailed);
  EXPECT_EQ(out.marks[static_cast<std::size_t>(Kind::kCustomers)], Mark::kNone);
  EXPECT_EQ(manual_ui_.MessageTexts(), std::vector<std::string>{kCommunication});
  EXPECT_EQ(LogLines(), std::vector<std::string>{}) << "a stop is no failed attempt";
  EXPECT_EQ(sim_.counters().requests[0x82], 0u);
  EXPECT_EQ(clock_.Now(), stopped_at) << "no reply time-out waited for";
  // The link is free again for the next transfer, once the Stop is cleared
  // as the panel clears it.
  manual_session_.abort.Clear();
  DataImage back;
  manual_ui_ = {};
  EXPECT_TRUE(Transfer(manual_session_, Request(Direction::kRead, {Kind::kVatRates}), back, manual_ui_, 60s,
                       [&] {
                         if (lan()) {
                           EXPECT_TRUE(clock_.AdvanceToNextDeadline());  // the LAN settle time
                         }
                       })
                  .success)
      << ::testing::PrintToString(manual_ui_.MessageTexts());
}

// The register goes away in the middle of a transfer: the pseudo-terminal
// closes (the line drops) or the UDP port falls silent. A clear failure,
// within the time-outs.
TEST_P(LinkEvents, HangUpInTheMiddleIsAClearFailureWithinTheTimeOuts) {
  sim::FaultOptions faults;
  faults.hangup_after = 40;  // the identification, 30 categories, 9 departments
  sim_.SetFaults(faults);
  DataImage source = FilledImage(100, 3);
  const TransferRequest request =
      Request(Direction::kWrite, {Kind::kCategories, Kind::kDepartments, Kind::kOperators, Kind::kParameters});
  if (lan()) {
    // The port falls silent. Each later kind fails after three unanswered
    // attempts and the transfer goes on (the parameters' record 0 does not
    // stop records 1 and 2); it takes exactly the sum of those time-outs.
    const Millis start = clock_.Now();
    const TransferOutcome out = TransferOnManualClock(request, source, 60s);
    EXPECT_FALSE(out.success);
    EXPECT_EQ(out.marks[static_cast<std::size_t>(Kind::kCategories)], Mark::kDone);
    for (Kind k : {Kind::kDepartments, Kind::kOperators, Kind::kParameters})
      EXPECT_EQ(out.marks[static_cast<std::size_t>(k)], Mark::kFailed) << InfoOf(k).name;
    const std::vector<std::string> log = LogLines();
    const std::string kLanSilent =
        kCommunication + "\nLAN 127.0.0.1: καμία απάντηση — ελέγξτε τη διεύθυνση IP και το δίκτυο";
    ASSERT_EQ(log.size(), 12u);
    EXPECT_EQ(log.back(), "   12 LAN:NO REPLY");
    EXPECT_EQ(manual_ui_.MessageTexts(), (std::vector<std::string>{kLanSilent, kLanSilent, kLanSilent, kLanSilent,
                                                                   std::string(kMsgTransferIncomplete) +
                                                                       "\nΑπέτυχαν: Τμήματα, Χειριστές, Παράμετροι"}));
    EXPECT_EQ((clock_.Now() - start).count(), 500 + 12 * 1500);
    return;
  }
  // The line drops: seen at once, not after a time-out; the transfer ends.
  // On the manual clock with nobody moving it, a wait for a time-out would
  // never end.
  const Millis begun = clock_.Now();
  manual_ui_ = {};
  const TransferOutcome out = Transfer(manual_session_, request, source, manual_ui_, 60s);
  EXPECT_FALSE(out.success);
  EXPECT_EQ(out.marks[static_cast<std::size_t>(Kind::kCategories)], Mark::kDone);
  EXPECT_EQ(out.marks[static_cast<std::size_t>(Kind::kDepartments)], Mark::kFailed);
  EXPECT_EQ(out.marks[static_cast<std::size_t>(Kind::kOperators)], Mark::kNone);
  EXPECT_EQ(manual_ui_.MessageTexts(),
            (std::vector<std::string>{kNotExecuted + "\n" + std::string(kMsgLinkLost), kCommunication}));
  EXPECT_EQ(LogLines(), std::vector<std::string>{});
  EXPECT_EQ(clock_.Now(), begun) << "no wait for a reply time-out";
}

// A register that will not take items answers the table opening with the
// word 0xDEBA: the items fail with the refusal, the next kind runs.
TEST_P(LinkEvents, RegisterThatRefusesItemsFailsThatKindOnly) {
  sim_.SetRefuseItems(true);
  DataImage before_items = sim_.Programming();
  DataImage source = FilledImage(50, 5);
  const TransferOutcome out = Transfer(Request(Direction::kWrite, {Kind::kItems, Kind::kCustomers}), source);
  EXPECT_FALSE(out.success);
  EXPECT_EQ(out.marks[static_cast<std::size_t>(Kind::kItems)], Mark::kFailed);
  EXPECT_EQ(out.marks[static_cast<std::size_t>(Kind::kCustomers)], Mark::kDone);
  EXPECT_EQ(ui_.MessageTexts(),
            (std::vector<std::string>{kRefusedText, std::string(kMsgTransferIncomplete) + "\nΑπέτυχαν: Είδη"}));
  EXPECT_EQ(sim_.counters().requests[0x74], 1u) << "only the opening; no item is sent";
  EXPECT_EQ(Differences(before_items, sim_.Programming(), KindRanges(Kind::kItems)), "");
  DataImage in_register = sim_.Programming();
  EXPECT_EQ(Differences(Expected(source, before_items, Side::kRegister), in_register, KindRanges(Kind::kCustomers)),
            "");
}

INSTANTIATE_TEST_SUITE_P(Wires, LinkEvents, ::testing::Values(Wire::kUdp, Wire::kPty), WireName);

}  // namespace
}  // namespace zel::e2e
