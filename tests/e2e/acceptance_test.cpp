// The link's acceptance runs against the simulated register with seeded
// faults on every reply, over UDP and over a pseudo-terminal:
//  - a round trip of every kind that can go both ways, 500 items and 100
//    customers, with 3 % lost replies, 2 % bad checksums, 2 % noise before
//    the reply and 1 % damaged-request (0x80) replies, ends with the
//    identical image;
//  - at ten times that rate, over several seeds, every transfer ends either
//    with the identical image or with a failure outcome and a failure
//    message, and a kind marked done always holds the right data: a
//    different image is never reported as success.
// Lost replies are waited out on a manual clock (LostReplyClock), so the
// product's time-outs stay as they are and the runs still take seconds.
#include <cstdio>

#include "e2e_support.h"
#include "images.h"

namespace zel::e2e {
namespace {

using sim::Fault;

class Acceptance : public E2eTest {
 protected:
  // What the register holds after a successful write of `source`, put
  // there directly so a read starts from a known register.
  void PutIntoRegister(const DataImage& source) {
    const DataImage in_register = Expected(source, register_base_, Side::kRegister);
    sim_.SetProgramming(in_register);
    sim_.SetCustomerMessage(in_register.state.customer_message);
  }
  DataImage RegisterImage() const {
    DataImage image = sim_.Programming();
    image.state.customer_message = sim_.CustomerMessage();
    return image;
  }
  std::size_t FaultCount(Fault f) const { return sim_.counters().faults[static_cast<std::size_t>(f)]; }

  const DataImage register_base_ = sim_.Programming();
};

TransferRequest RoundTripKinds(Direction direction) {
  TransferRequest r;
  r.direction = direction;
  for (const KindInfo& k : kKinds) r[k.kind] = k.write_code != 0;
  return r;
}

TEST_P(Acceptance, RoundTripOfAllKindsWithFaultsOnEveryReplyEndsWithTheIdenticalImage) {
  sim::FaultOptions faults;
  faults.rates = {.lost = 3, .checksum = 2, .noise = 2, .nak = 1};
  // A fixed seed, the same on both wires. With these rates an attempt fails
  // 6 % of the time on the serial link (it finds a frame behind noise) and
  // 8 % on the LAN, so about one exchange in 5000 (serial) or 2000 (LAN)
  // fails all three attempts and ends its kind; over ~3600 exchanges about
  // half the seeds (serial) or one in six (LAN) never meet that. Seed 12
  // is one that passes on both wires; the runs at ten times the rate below
  // cover the transfers that end early.
  faults.seed = 12;
  sim_.SetFaults(faults);
  DataImage source = FilledImage(500, 100);

  const TransferOutcome written = TransferOnManualClock(RoundTripKinds(Direction::kWrite), source);
  ASSERT_TRUE(written.success) << ::testing::PrintToString(manual_ui_.MessageTexts());
  const DataImage expected_register = Expected(source, register_base_, Side::kRegister);
  EXPECT_EQ(Differences(expected_register, RegisterImage()), "");
  EXPECT_EQ(RegisterImage().state.customer_message, expected_register.state.customer_message);

  DataImage back;
  const DataImage fresh = back;
  sim_.ResetCounters();
  const TransferOutcome read = TransferOnManualClock(RoundTripKinds(Direction::kRead), back);
  ASSERT_TRUE(read.success) << ::testing::PrintToString(manual_ui_.MessageTexts());
  const DataImage expected = Expected(source, fresh, Side::kReadBack);
  EXPECT_EQ(Differences(expected, back), "");
  EXPECT_EQ(back.state.customer_message, expected.state.customer_message);

  // The read met every kind of fault, and its log (made anew for each
  // transfer) has one line per failed attempt: noise costs the serial link
  // nothing, it finds the frame behind it.
  for (Fault f : {Fault::kLost, Fault::kChecksum, Fault::kNoise, Fault::kNak})
    EXPECT_GT(FaultCount(f), 5u) << sim::FaultName(f);
  const std::size_t failed = FaultCount(Fault::kLost) + FaultCount(Fault::kChecksum) + FaultCount(Fault::kNak) +
                             (lan() ? FaultCount(Fault::kNoise) : 0);
  EXPECT_EQ(LogLines().size(), failed);
  std::printf("[ faults   ] read: %zu lost, %zu checksum, %zu noise, %zu 0x80 in %llu requests\n",
              FaultCount(Fault::kLost), FaultCount(Fault::kChecksum), FaultCount(Fault::kNoise),
              FaultCount(Fault::kNak), static_cast<unsigned long long>(sim_.counters().Handled()));
}

struct Pass {
  const char* what;
  TransferRequest request;
};

TEST_P(Acceptance, AtTenTimesTheFaultsATransferEndsRightOrSaysItFailedNeverAWrongImageAsSuccess) {
  DataImage source = FilledImage(20, 5);
  TransferRequest small_write;
  small_write.direction = Direction::kWrite;
  for (Kind k : {Kind::kPayments, Kind::kVatRates, Kind::kTaxCode, Kind::kParameters}) small_write[k] = true;
  TransferRequest small_read = small_write;
  small_read.direction = Direction::kRead;
  const Pass runs[] = {{"write all", RoundTripKinds(Direction::kWrite)},
                       {"read all", RoundTripKinds(Direction::kRead)},
                       {"write some", small_write},
                       {"read some", small_read}};
  int successes = 0, failures = 0;
  for (std::uint32_t seed : {11u, 12u, 13u, 14u, 15u}) {
    sim::FaultOptions faults;
    faults.rates = {.lost = 11, .checksum = 8, .noise = 7, .nak = 4};  // 3:2:2:1, 30 in all
    faults.seed = seed;
    sim_.SetFaults(faults);
    for (const Pass& run : runs) {
      SCOPED_TRACE(std::string(run.what) + ", seed " + std::to_string(seed));
      const bool writing = run.request.direction == Direction::kWrite;
      DataImage image = writing ? source : DataImage();
      const DataImage before = image;
      if (writing)
        sim_.SetProgramming(register_base_);
      else
        PutIntoRegister(source);
      const TransferOutcome out = TransferOnManualClock(run.request, image, 60s);
      const DataImage actual = writing ? RegisterImage() : image;
      const DataImage expected =
          writing ? Expected(source, register_base_, Side::kRegister) : Expected(source, before, Side::kReadBack);

      bool all_done = true;
      std::vector<Range> ranges;
      for (const KindInfo& k : kKinds) {
        if (!run.request[k.kind]) continue;
        for (const Range& r : KindRanges(k.kind)) ranges.push_back(r);
        const Mark mark = out.marks[static_cast<std::size_t>(k.kind)];
        all_done = all_done && mark == Mark::kDone;
        if (mark == Mark::kDone) {
          // A kind marked done holds the right data, on either side.
          EXPECT_EQ(Differences(expected, actual, KindRanges(k.kind)), "") << k.name << " marked done";
          if (k.kind == Kind::kParameters) {
            EXPECT_EQ(actual.state.customer_message, expected.state.customer_message);
          }
        } else if (!writing) {
          // A read that did not come in leaves the image as it was.
          EXPECT_EQ(Differences(before, actual, KindRanges(k.kind)), "") << k.name << " not done";
        }
      }
      EXPECT_EQ(out.success, all_done);
      if (out.success) {
        ++successes;
        EXPECT_EQ(Differences(expected, actual, ranges), "");
        EXPECT_EQ(manual_ui_.MessageTexts().back(), std::string(kMsgTransferDone));
      } else {
        ++failures;
        ASSERT_FALSE(manual_ui_.MessageTexts().empty()) << "a failure without a message";
        const std::string last = manual_ui_.MessageTexts().back();
        EXPECT_TRUE(last == std::string(kMsgCommunication) || last.rfind(std::string(kMsgTransferIncomplete), 0) == 0)
            << last;
        for (const auto& m : manual_ui_.messages) EXPECT_NE(m.text, std::string(kMsgTransferDone));
      }
    }
  }
  std::printf("[ outcome  ] %d transfers succeeded, %d ended with a failure\n", successes, failures);
  EXPECT_GT(successes, 0);
  EXPECT_GT(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(Wires, Acceptance, ::testing::Values(Wire::kUdp, Wire::kPty), WireName);

}  // namespace
}  // namespace zel::e2e
