// Seeded fault injection: what each fault does to a reply and to the
// register's state, that the same seed and requests give the same faults,
// and the fault options of the command line.
#include "sim/faults.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "sim/simulator.h"
#include "tests/sim/sim_client.h"

namespace zel::sim {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::Cat;
using test::Frame;
using test::PtyClient;
using test::UdpClient;

// Writes category 3 with a new name and returns the request.
const Bytes kName = {'F', 'A', 'U', 'L', 'T', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
Bytes WriteCategory(std::uint8_t seq) { return Frame(seq, 0x72, Cat({3}, kName)); }

bool NameWritten(const Simulator& sim) {
  const DataImage image = sim.Programming();
  return Bytes(image.category(3).begin(), image.category(3).end()) == kName;
}

FaultRates Only(Fault f) {
  FaultRates r;
  int* rate[] = {nullptr, &r.lost, &r.checksum, &r.noise, &r.nak, &r.refuse, &r.seq, &r.slow};
  *rate[static_cast<std::size_t>(f)] = 100;
  return r;
}

TEST(Faults, EachFaultChangesTheReplyAsItShouldAndKeepsTheStateTrue) {
  struct Case {
    Fault fault;
    bool carried_out;  // a real register did the write even when its reply went astray
  };
  const Case cases[] = {{Fault::kLost, true},    {Fault::kChecksum, true}, {Fault::kNoise, true}, {Fault::kNak, false},
                        {Fault::kRefuse, false}, {Fault::kSeq, true},      {Fault::kSlow, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(FaultName(c.fault));
    SimulatorOptions options;
    options.faults.rates = Only(c.fault);
    options.faults.seed = 77;
    options.faults.slow_ms = 300;
    Simulator sim(options);
    ASSERT_TRUE(sim.StartUdp(0));
    UdpClient client(sim.udp_port());
    const Bytes clean = Frame(0x31, 0x72, {3});

    const auto sent = std::chrono::steady_clock::now();
    client.Send(WriteCategory(0x31));
    const auto reply = client.Receive(c.fault == Fault::kLost ? 300ms : 5s);
    const auto took = std::chrono::steady_clock::now() - sent;
    ASSERT_TRUE(sim.WaitForRequests(1, 5s));
    EXPECT_EQ(NameWritten(sim), c.carried_out);
    EXPECT_EQ(sim.counters().faults[static_cast<std::size_t>(c.fault)], 1u);

    switch (c.fault) {
      case Fault::kLost:
        EXPECT_FALSE(reply.has_value());
        EXPECT_EQ(sim.counters().replies, 0u);
        break;
      case Fault::kChecksum: {
        ASSERT_TRUE(reply.has_value());
        ASSERT_EQ(reply->size(), clean.size());
        int differing = 0;
        for (std::size_t i = 0; i < clean.size(); ++i) differing += (*reply)[i] != clean[i];
        EXPECT_EQ(differing, 1);
        EXPECT_TRUE((*reply)[clean.size() - 3] != clean[clean.size() - 3] ||
                    (*reply)[clean.size() - 2] != clean[clean.size() - 2]);
        break;
      }
      case Fault::kNoise: {
        ASSERT_TRUE(reply.has_value());
        ASSERT_GT(reply->size(), clean.size());
        const std::size_t noise = reply->size() - clean.size();
        EXPECT_LE(noise, 16u);
        EXPECT_EQ(Bytes(reply->begin() + static_cast<std::ptrdiff_t>(noise), reply->end()), clean);
        for (std::size_t i = 0; i < noise; ++i) EXPECT_NE((*reply)[i], 0x55);
        break;
      }
      case Fault::kNak: EXPECT_EQ(reply, Frame(0x31, 0x80)); break;
      case Fault::kRefuse: EXPECT_EQ(reply, Frame(0x31, 0x7F)); break;
      case Fault::kSeq: EXPECT_EQ(reply, Frame(0x32, 0x72, {3})); break;
      case Fault::kSlow:
        EXPECT_EQ(reply, clean);
        EXPECT_GE(took, 300ms);
        break;
      case Fault::kNoAck:
      case Fault::kPaperEnd:
      case Fault::kStall:
      case Fault::kNone: break;
    }
  }
}

// The replies to `count` connection checks. No fault here loses a reply,
// so no reply is waited for in vain.
std::vector<Bytes> Replies(Simulator& sim, int count) {
  UdpClient client(sim.udp_port());
  std::vector<Bytes> out;
  for (int i = 0; i < count; ++i)
    out.push_back(client.Ask(Frame(static_cast<std::uint8_t>(i), 0x79)).value_or(Bytes{}));
  return out;
}

TEST(Faults, TheSameSeedGivesTheSameFaultsAndAnotherSeedOthers) {
  SimulatorOptions options;
  options.faults.rates = {.checksum = 15, .noise = 15, .nak = 10, .refuse = 10, .seq = 10};
  options.faults.seed = 2024;
  Simulator a(options), b(options);
  options.faults.seed = 2025;
  Simulator other(options);
  for (Simulator* s : {&a, &b, &other}) ASSERT_TRUE(s->StartUdp(0));

  const auto first = Replies(a, 40);
  EXPECT_EQ(Replies(b, 40), first);
  EXPECT_NE(Replies(other, 40), first);

  std::map<std::size_t, int> kinds;  // a rough look at the mix: several kinds of fault occurred
  for (std::size_t k = 1; k < kFaultKinds; ++k)
    if (a.counters().faults[k] > 0) ++kinds[k];
  EXPECT_GE(kinds.size(), 4u);
  EXPECT_EQ(a.counters().replies, 40u);

  // Setting the faults again starts the draws again.
  options.faults.seed = 2024;
  a.SetFaults(options.faults);
  EXPECT_EQ(Replies(a, 40), first);
}

TEST(Faults, DrawsDependOnlyOnTheSeed) {
  const FaultRates rates{.lost = 20, .checksum = 20, .noise = 20, .slow = 20};
  FaultInjector a(rates, 99), b(rates, 99), c(rates, 100);
  int same_as_other_seed = 0;
  for (int i = 0; i < 1000; ++i) {
    const FaultDecision x = a.Draw(), y = b.Draw(), z = c.Draw();
    ASSERT_EQ(x.fault, y.fault);
    ASSERT_EQ(x.variant, y.variant);
    same_as_other_seed += x.fault == z.fault;
  }
  EXPECT_LT(same_as_other_seed, 500);
}

TEST(Faults, DrawsFollowTheirPercentages) {
  FaultInjector injector({.lost = 10, .checksum = 20, .slow = 30}, 5);
  std::map<Fault, int> seen;
  for (int i = 0; i < 20000; ++i) ++seen[injector.Draw().fault];
  EXPECT_NEAR(seen[Fault::kLost], 2000, 300);
  EXPECT_NEAR(seen[Fault::kChecksum], 4000, 400);
  EXPECT_NEAR(seen[Fault::kSlow], 6000, 500);
  EXPECT_NEAR(seen[Fault::kNone], 8000, 500);
  EXPECT_EQ(seen[Fault::kNoise] + seen[Fault::kNak] + seen[Fault::kRefuse] + seen[Fault::kSeq], 0);
}

TEST(Faults, UdpStopsAnsweringAfterTheHangUp) {
  SimulatorOptions options;
  options.faults.hangup_after = 2;
  Simulator sim(options);
  ASSERT_TRUE(sim.StartUdp(0));
  UdpClient client(sim.udp_port());
  EXPECT_TRUE(client.Ask(Frame(1, 0x79)).has_value());
  EXPECT_TRUE(client.Ask(Frame(2, 0x79)).has_value());
  EXPECT_FALSE(client.Ask(Frame(3, 0x79), 300ms).has_value());
  EXPECT_TRUE(sim.udp_hung_up());
  EXPECT_EQ(sim.counters().ignored, 1u);
}

TEST(Faults, NoiseOnTheSerialLinkComesBeforeAnIntactReply) {
  SimulatorOptions options;
  options.faults.rates.noise = 100;
  Simulator sim(options);
  ASSERT_TRUE(sim.StartPty());
  PtyClient client(sim.pty_path());
  for (std::uint8_t seq = 1; seq <= 5; ++seq) {
    client.Send(Frame(seq, 0x79));
    Bytes before;
    EXPECT_EQ(client.ReadFrame(5s, &before), Frame(seq, 0x79));
    EXPECT_GE(before.size(), 1u);
  }
}

TEST(Faults, ParsesTheCommandLineFaultList) {
  FaultOptions o;
  EXPECT_EQ(ParseFaultList("lost=3,checksum=2,noise=2,nak=1,refuse=0,seq=4,slow=5,hangup-after=7", o), "");
  EXPECT_EQ(o.rates.lost, 3);
  EXPECT_EQ(o.rates.checksum, 2);
  EXPECT_EQ(o.rates.noise, 2);
  EXPECT_EQ(o.rates.nak, 1);
  EXPECT_EQ(o.rates.seq, 4);
  EXPECT_EQ(o.rates.slow, 5);
  EXPECT_EQ(o.hangup_after, 7);

  for (const char* bad : {"lost", "lost=x", "lost=-1", "lost=101", "drop=1", "lost=60,noise=41", "lost=1x"}) {
    FaultOptions before = o;
    EXPECT_NE(ParseFaultList(bad, o), "") << bad;
    EXPECT_EQ(o.rates.lost, before.rates.lost) << bad << " changed the options";
  }
}

}  // namespace
}  // namespace zel::sim
