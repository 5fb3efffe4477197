// The framed exchange: frame bytes, the reply time-out table, the serial and
// LAN attempt rules with their log lines and messages, Stop, and hostile
// replies that must never overrun the reply area.
#include <gtest/gtest.h>
#include <poll.h>

#include <random>
#include <thread>

#include "link_fixture.h"

namespace zel {
namespace {

using test::ByteVector;
using test::Fault;
using test::LinkFixture;

TEST(FrameTest, ConnectionCheckFrameCarriesSumXorAndEnd) {
  Request r;
  r.Start(0x79, 0);
  std::array<std::uint8_t, kMaxFrameSize> out{};
  const std::size_t n = BuildFrame(1, r, out);
  EXPECT_EQ(ByteVector(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n)),
            (ByteVector{0x55, 0x33, 0x11, 0x01, 0x79, 0x00, 0x13, 0x0F, 0xEB}));
  EXPECT_TRUE(FrameIsSound({out.data(), n}));
}

TEST(FrameTest, DataBytesMayLookLikeFrameBytesAndCountInTheChecksums) {
  Request r;
  r.Start(0x74, 3);
  r.data[0] = 0x55;
  r.data[1] = 0xEB;
  r.data[2] = 0x11;
  std::array<std::uint8_t, kMaxFrameSize> out{};
  const std::size_t n = BuildFrame(0xFF, r, out);
  ASSERT_EQ(n, 12u);
  EXPECT_EQ(ByteVector(out.begin(), out.begin() + 12), test::RegisterFrame(0xFF, 0x74, {0x55, 0xEB, 0x11}));
  out[7] ^= 1;
  EXPECT_FALSE(FrameIsSound({out.data(), n}));
}

TEST(FrameTest, ReplyTimeoutTable) {
  struct Case {
    std::uint8_t code;
    std::uint16_t record;
    long serial, lan;
  };
  const Case cases[] = {
      {0x66, 0, 8000, 8000},     {0x6C, 0, 8000, 8000},     {0x73, 5, 8000, 8000},     {0x74, 16000, 80000, 8000},
      {0x74, 15999, 1500, 1500}, {0x74, 16001, 1500, 1500}, {0x82, 1000, 80000, 8000}, {0x82, 999, 1500, 1500},
      {0x79, 0, 1500, 1500},     {0x7D, 0, 1500, 1500},     {0x65, 0, 1500, 1500},     {0x81, 1000, 1500, 1500},
  };
  for (const Case& c : cases) {
    Request r;
    r.Start(c.code, 2);
    r.set_record(c.record);
    EXPECT_EQ(ReplyTimeout(r, false).count(), c.serial) << std::hex << int{c.code} << " " << c.record;
    EXPECT_EQ(ReplyTimeout(r, true).count(), c.lan) << std::hex << int{c.code} << " " << c.record;
  }
}

// ---- Serial ------------------------------------------------------------------

struct SerialCase {
  const char* name;
  std::vector<Fault> faults;
  std::uint8_t code;
  ByteVector data;
  int timeouts;
  std::uint8_t result;
  std::vector<std::string> log;  // texts, numbered from 1
  std::vector<std::string> messages;
  std::size_t requests;
  friend void PrintTo(const SerialCase& c, std::ostream* os) { *os << c.name; }
};

class SerialExchange : public LinkFixture, public ::testing::WithParamInterface<SerialCase> {};

std::string Numbered(const std::vector<std::string>& texts) {
  std::string out;
  char line[80];
  for (std::size_t i = 0; i < texts.size(); ++i) {
    std::snprintf(line, sizeof line, "%5ld %s\n", static_cast<long>(i + 1), texts[i].c_str());
    out += line;
  }
  return out;
}

TEST_P(SerialExchange, JudgesTheReplyLogsEachFailedAttemptAndShowsTheOutcome) {
  const SerialCase& c = GetParam();
  // The register answers with the request's code, except a code of 0x33
  // which it "does not know" and answers with 0x34.
  Attach(Wire::kSerial, [](const test::Seen& s) {
    return std::optional<test::Answer>({s.code == 0x33 ? std::uint8_t{0x34} : s.code, {0x01, 0x02}});
  });
  for (Fault f : c.faults) reg_->AddFaults({f});
  EXPECT_EQ(Run(c.code, c.data, c.timeouts), c.result);
  EXPECT_EQ(Log(), Numbered(c.log));
  EXPECT_EQ(ui_.MessageTexts(), c.messages);
  reg_->WaitForRequests(c.requests);
  const auto seen = reg_->Requests();
  ASSERT_EQ(seen.size(), c.requests);
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_TRUE(seen[i].sound);
    EXPECT_EQ(seen[i].seq, i + 1) << "each serial attempt is a new frame";
  }
}

const std::string kNotExecuted(kMsgNotExecuted);
const std::string kRefusedText(kMsgRefused);
// The second line says whether anything came back and what to check.
const std::string kSerialNoAnswer = kNotExecuted + "\nκαμία απάντηση — ελέγξτε καλώδιο και ταχύτητα";
const std::string kSerialGarbled = kNotExecuted + "\nαλλοιωμένη απάντηση — ελέγξτε καλώδιο και ταχύτητα";

INSTANTIATE_TEST_SUITE_P(
    Rules, SerialExchange,
    ::testing::Values(
        SerialCase{"accepted", {}, 0x72, {3}, 0, 0, {}, {}, 1},
        SerialCase{"noise_before_reply", {Fault::kNoiseBefore}, 0x72, {3}, 0, 0, {}, {}, 1},
        SerialCase{"reply_byte_by_byte", {Fault::kTrickle}, 0x72, {3}, 0, 0, {}, {}, 1},
        SerialCase{"sequence_not_checked", {Fault::kWrongSequence}, 0x72, {3}, 0, 0, {}, {}, 1},
        SerialCase{"bad_checksum_three_times",
                   {Fault::kBadChecksum, Fault::kBadChecksum, Fault::kBadChecksum},
                   0x72,
                   {3},
                   0,
                   1,
                   {"COM:WRONG CHECKSUM", "COM:WRONG CHECKSUM", "COM:WRONG CHECKSUM"},
                   {kSerialGarbled},
                   3},
        SerialCase{"bad_checksum_then_good", {Fault::kBadChecksum}, 0x72, {3}, 0, 0, {"COM:WRONG CHECKSUM"}, {}, 2},
        SerialCase{
            "receive_error_then_good", {Fault::kReceiveError}, 0x72, {3}, 0, 0, {"COM:REQUEST RECEIVE ERROR"}, {}, 2},
        SerialCase{"no_reply_three_times",
                   {Fault::kSilent, Fault::kSilent, Fault::kSilent},
                   0x72,
                   {3},
                   3,
                   1,
                   {"COM:NO REPLY", "COM:NO REPLY", "COM:NO REPLY"},
                   {kSerialNoAnswer},
                   3},
        SerialCase{"garbage_without_header",
                   {Fault::kGarbage, Fault::kGarbage, Fault::kGarbage},
                   0x72,
                   {3},
                   0,
                   1,
                   {"COM:WRONG REPLY", "COM:WRONG REPLY", "COM:WRONG REPLY"},
                   {kSerialGarbled},
                   3},
        SerialCase{"reply_too_long_for_the_reply_area",
                   {Fault::kOversize, Fault::kOversize, Fault::kOversize},
                   0x72,
                   {3},
                   0,
                   1,
                   {"COM:WRONG REPLY", "COM:WRONG REPLY", "COM:WRONG REPLY"},
                   {kSerialGarbled},
                   3},
        SerialCase{"refused_ordinary_request", {Fault::kRefuse}, 0x72, {3}, 0, 2, {}, {kRefusedText}, 1},
        SerialCase{
            "refused_item_table_opening_counts_as_accepted", {Fault::kRefuse}, 0x74, {0x80, 0x3E}, 0, 0, {}, {}, 1},
        SerialCase{
            "refused_customer_table_opening_counts_as_accepted", {Fault::kRefuse}, 0x82, {0xE8, 0x03}, 0, 0, {}, {}, 1},
        SerialCase{"record_FFFF_is_negative_so_its_refusal_stands",
                   {Fault::kRefuse},
                   0x74,
                   {0xFF, 0xFF},
                   0,
                   2,
                   {},
                   {kRefusedText},
                   1},
        SerialCase{"unexpected_code_fails_silently", {}, 0x33, {}, 0, 1, {}, {}, 1},
        SerialCase{"connection_check_takes_any_code", {Fault::kRefuse}, 0x79, {}, 0, 0, {}, {}, 1}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(LinkFixture, SerialReplyIsCopiedIntoTheReplyArea) {
  Attach(Wire::kSerial, [](const test::Seen& s) { return std::optional<test::Answer>({s.code, {9, 8, 7}}); });
  ASSERT_EQ(Run(0x6B), kAccepted);
  EXPECT_EQ(session_.reply_length(), 3);
  EXPECT_EQ(ByteVector(session_.reply_data(), session_.reply_data() + 3), (ByteVector{9, 8, 7}));
}

TEST_F(LinkFixture, TimeoutsFollowTheTableOnBothWires) {
  struct Case {
    Wire wire;
    std::uint8_t code;
    ByteVector data;
    long wait;
  };
  const Case cases[] = {
      {Wire::kSerial, 0x72, {1}, 1500},
      {Wire::kSerial, 0x73, {0, 0}, 8000},
      {Wire::kSerial, 0x74, {0x80, 0x3E}, 80000},
      {Wire::kSerial, 0x82, {0xE8, 0x03}, 80000},
      {Wire::kLan, 0x72, {1}, 1500},
      {Wire::kLan, 0x66, {0}, 8000},
      {Wire::kLan, 0x74, {0x80, 0x3E}, 8000},
      {Wire::kLan, 0x82, {0xE8, 0x03}, 8000},
  };
  for (const Case& c : cases) {
    Attach(c.wire);
    reg_->AddFaults({Fault::kSilent, Fault::kSilent, Fault::kSilent});
    waited_.clear();
    EXPECT_EQ(Run(c.code, c.data, 3), c.wire == Wire::kLan ? kLanFailure : kFailed);
    EXPECT_EQ(waited_, (std::vector<long>{c.wait, c.wait, c.wait})) << std::hex << int{c.code};
  }
}

TEST_F(LinkFixture, StopDuringAWaitEndsWithOneWithoutMessageOrLogOnBothWires) {
  for (const Wire wire : {Wire::kSerial, Wire::kLan}) {
    Attach(wire);
    reg_->AddFaults({Fault::kSilent});
    session_.request.Start(0x74, 2);
    session_.request.set_record(16000);  // the longest wait of each wire
    auto done = std::async(std::launch::async, [&] { return Exchange(session_, ui_); });
    ASSERT_TRUE(clock_.WaitForSleeper());
    session_.abort.Set();
    // The clock never moves: only the abort flag can end the wait.
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(done.get(), kFailed);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(Log(), "");
    session_.abort.Clear();
  }
}

TEST_F(LinkFixture, SerialHangUpIsALostLinkNotAWaitForTheTimeout) {
  Attach(Wire::kSerial);
  reg_->AddFaults({Fault::kHangUp});
  // The clock is never moved: the exchange must end because the link went.
  EXPECT_EQ(Run(0x72, {1}), kFailed);
  EXPECT_TRUE(session_.link_lost);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, kNotExecuted + "\n" + std::string(kMsgLinkLost));
  EXPECT_EQ(ui_.messages[0].icon, Icon::kError);
  // Later exchanges fail at once too.
  EXPECT_EQ(Run(0x72, {2}), kFailed);
}

// ---- LAN ---------------------------------------------------------------------

struct LanCase {
  const char* name;
  std::vector<Fault> faults;
  std::uint8_t code;
  ByteVector data;
  int timeouts;
  std::uint8_t result;
  std::vector<std::string> log;
  std::vector<std::string> messages;
  std::size_t requests;
  friend void PrintTo(const LanCase& c, std::ostream* os) { *os << c.name; }
};

class LanExchange : public LinkFixture, public ::testing::WithParamInterface<LanCase> {};

TEST_P(LanExchange, JudgesTheReplyLogsEachFailedAttemptAndShowsTheOutcome) {
  const LanCase& c = GetParam();
  Attach(Wire::kLan, [](const test::Seen& s) {
    return std::optional<test::Answer>({s.code == 0x33 ? std::uint8_t{0x34} : s.code, {0x01}});
  });
  for (Fault f : c.faults) reg_->AddFaults({f});
  EXPECT_EQ(Run(c.code, c.data, c.timeouts), c.result);
  EXPECT_EQ(Log(), Numbered(c.log));
  EXPECT_EQ(ui_.MessageTexts(), c.messages);
  reg_->WaitForRequests(c.requests);
  const auto seen = reg_->Requests();
  ASSERT_EQ(seen.size(), c.requests);
  for (const auto& s : seen) EXPECT_EQ(s.seq, 1) << "every LAN attempt repeats the same frame";
}

const std::string kCommunication(kMsgCommunication);
const std::string kLanNoAnswer = kCommunication + "\nκαμία απάντηση — ελέγξτε τη διεύθυνση IP και το δίκτυο";
const std::string kLanGarbled = kCommunication + "\nαλλοιωμένη απάντηση — ελέγξτε τη διεύθυνση IP και το δίκτυο";

INSTANTIATE_TEST_SUITE_P(
    Rules, LanExchange,
    ::testing::Values(
        LanCase{"accepted", {}, 0x72, {3}, 0, 0, {}, {}, 1},
        LanCase{"wrong_sequence_three_times",
                {Fault::kWrongSequence, Fault::kWrongSequence, Fault::kWrongSequence},
                0x72,
                {3},
                0,
                13,
                {"LAN:WRONG REPLY", "LAN:WRONG REPLY", "LAN:WRONG REPLY"},
                {kLanGarbled},
                3},
        LanCase{"wrong_sequence_then_good", {Fault::kWrongSequence}, 0x72, {3}, 0, 0, {"LAN:WRONG REPLY"}, {}, 2},
        LanCase{"bad_checksum_three_times",
                {Fault::kBadChecksum, Fault::kBadChecksum, Fault::kBadChecksum},
                0x72,
                {3},
                0,
                13,
                {"LAN:WRONG CHECHSUM", "LAN:WRONG CHECHSUM", "LAN:WRONG CHECHSUM"},
                {kLanGarbled},
                3},
        LanCase{
            "receive_error_then_good", {Fault::kReceiveError}, 0x72, {3}, 0, 0, {"LAN:REQUEST RECEIVE ERROR"}, {}, 2},
        LanCase{"no_reply_three_times",
                {Fault::kSilent, Fault::kSilent, Fault::kSilent},
                0x72,
                {3},
                3,
                13,
                {"LAN:NO REPLY", "LAN:NO REPLY", "LAN:NO REPLY"},
                {kLanNoAnswer},
                3},
        LanCase{"datagram_too_long_for_the_reply_area",
                {Fault::kOversize, Fault::kGarbage, Fault::kOversize},
                0x72,
                {3},
                0,
                13,
                {"LAN:WRONG REPLY", "LAN:WRONG REPLY", "LAN:WRONG REPLY"},
                {kLanGarbled},
                3},
        LanCase{"refused_ordinary_request", {Fault::kRefuse}, 0x72, {3}, 0, 2, {}, {kRefusedText}, 1},
        LanCase{"refused_item_table_opening_counts_as_accepted", {Fault::kRefuse}, 0x74, {0x80, 0x3E}, 0, 0, {}, {}, 1},
        LanCase{"other_code_at_first_attempt_counts_as_accepted", {}, 0x33, {}, 0, 0, {}, {}, 1},
        LanCase{"other_code_at_third_attempt_is_a_failure",
                {Fault::kBadChecksum, Fault::kBadChecksum},
                0x33,
                {},
                0,
                13,
                {"LAN:WRONG CHECHSUM", "LAN:WRONG CHECHSUM"},
                {kLanGarbled},
                3}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(LinkFixture, LanBadReplyAtTheLastAttemptIsNeverTakenForItsCode) {
  // The third reply has the right code but a wrong checksum: its code must
  // not make the exchange a success.
  Attach(Wire::kLan);
  reg_->AddFaults({Fault::kBadChecksum, Fault::kBadChecksum, Fault::kBadChecksum});
  EXPECT_EQ(Run(0x72, {3}), kLanFailure);
}

// A UDP port nobody listens on: the system reports the refusal (ICMP port
// unreachable) on the socket.
std::uint16_t ClosedUdpPort() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

TEST_F(LinkFixture, LanReceiveErrorMovesTheStartBackAndEndsTheAttempts) {
  struct Case {
    std::uint8_t code;
    const char* log;  // a normal wait has passed; a long one has not
  };
  for (const Case& c : {Case{0x72, "    1 LAN:NO REPLY\n"}, Case{0x73, "    1 LAN:WRONG REPLY\n"}}) {
    session_.transport = UdpTransport::Open({127, 0, 0, 1}, ClosedUdpPort(), clock_, session_.abort);
    ASSERT_TRUE(session_.log.Open(log_path_));
    ui_.messages.clear();
    EXPECT_EQ(Run(c.code, {0, 0}), kLanFailure);
    EXPECT_EQ(Log(), c.log);
    EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{kLanNoAnswer});
  }
}

TEST_F(LinkFixture, LanRefusalPendingAtSendIsALostConnectionWithoutMessage) {
  auto lan = UdpTransport::Open({127, 0, 0, 1}, ClosedUdpPort(), clock_, session_.abort);
  ASSERT_TRUE(lan);
  const std::uint8_t probe[] = {0};
  ASSERT_EQ(lan->Send(probe), IoStatus::kOk);
  // The loopback's refusal comes back as an error waiting on the socket.
  pollfd refused{lan->descriptor(), 0, 0};
  ASSERT_EQ(::poll(&refused, 1, 5000), 1);
  ASSERT_TRUE(refused.revents & POLLERR);
  session_.transport = std::move(lan);
  ASSERT_TRUE(session_.log.Open(log_path_));
  EXPECT_EQ(Run(0x72, {1}), kLanConnectionLost);
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(Log(), "");
}

// Bytes a broken or hostile peer might send: frame starts in odd places,
// length bytes up to 255, frames cut short, floods longer than any buffer.
ByteVector HostileBytes(std::mt19937& rng, const test::Seen& s, std::size_t min_size) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<std::size_t> size(min_size, 5000);
  ByteVector v(size(rng));
  for (auto& b : v) b = static_cast<std::uint8_t>(byte(rng));
  const std::size_t starts = size(rng) % 6;
  for (std::size_t k = 0; k < starts; ++k) {
    const std::size_t at = static_cast<std::size_t>(byte(rng)) * v.size() / 256;
    const std::uint8_t head[] = {0x55, 0x33, 0x11, s.seq, s.code, static_cast<std::uint8_t>(byte(rng))};
    for (std::size_t i = 0; i < sizeof head && at + i < v.size(); ++i) v[at + i] = head[i];
  }
  return v;
}

TEST_F(LinkFixture, HostileSerialPeerNeverOverrunsABuffer) {
  Attach(Wire::kSerial);
  // More than the scan limit every time, so each attempt is judged at once.
  // (The register may still be answering an earlier attempt when an
  // exchange ends, so its generator lives with it.)
  reg_->SetRawAnswers([rng = std::mt19937(20240403)](const test::Seen& s) mutable {
    return std::optional<ByteVector>(HostileBytes(rng, s, 400));
  });
  for (int i = 0; i < 200; ++i) {
    const std::uint8_t r = Run(0x72, {static_cast<std::uint8_t>(i)});
    EXPECT_TRUE(r == kAccepted || r == kFailed || r == kRefused) << int{r};
    if (r == kAccepted) {
      EXPECT_LE(session_.reply_length() + 9u, kReplyAreaSize);
    }
  }
}

TEST_F(LinkFixture, HostileLanPeerNeverOverrunsABuffer) {
  Attach(Wire::kLan);
  reg_->SetRawAnswers([rng = std::mt19937(20240404)](const test::Seen& s) mutable {
    ByteVector v = HostileBytes(rng, s, 1);
    v.resize(std::min<std::size_t>(v.size(), 1400));
    if (!v.empty()) v[0] = 0x55;
    return std::optional<ByteVector>(v);
  });
  for (int i = 0; i < 200; ++i) {
    const std::uint8_t r = Run(0x72, {static_cast<std::uint8_t>(i)});
    EXPECT_TRUE(r == kAccepted || r == kRefused || r == kLanFailure) << int{r};
  }
}

TEST(LanOpenTest, FirstOctetZeroNeverOpensAndAddressesHaveNoLeadingZeros) {
  AbortFlag abort;
  EXPECT_FALSE(UdpTransport::Open({0, 1, 2, 3}, 2030, SystemClock(), abort));
  EXPECT_EQ(DottedAddress({10, 0, 0, 7}), "10.0.0.7");
  EXPECT_EQ(DottedAddress({192, 168, 1, 50}), "192.168.1.50");
}

TEST(LanOpenTest, RegisterPortDefaultsTo2030AndTheEnvironmentOverridesIt) {
  ::unsetenv("SETUPZEL_REGISTER_PORT");
  EXPECT_EQ(RegisterPort(), 2030);
  ::setenv("SETUPZEL_REGISTER_PORT", "40123", 1);
  EXPECT_EQ(RegisterPort(), 40123);
  ::setenv("SETUPZEL_REGISTER_PORT", "70000", 1);
  EXPECT_EQ(RegisterPort(), 2030);
  ::unsetenv("SETUPZEL_REGISTER_PORT");
}

TEST_F(LinkFixture, ConnectOverLanWaitsTheSettleTimeAndStopCutsItShort) {
  reg_ = std::make_unique<test::FakeRegister>();
  ::setenv("SETUPZEL_REGISTER_PORT", std::to_string(reg_->ServeUdp()).c_str(), 1);
  LinkSelection lan;
  lan.ip = {127, 0, 0, 1};
  EXPECT_EQ(Drive([&] { return Connect(session_, lan, ui_); }, 1), 0);
  EXPECT_EQ(waited_, std::vector<long>{500});
  EXPECT_TRUE(session_.transport);
  Disconnect(session_);

  auto stopped = std::async(std::launch::async, [&] { return Connect(session_, lan, ui_); });
  ASSERT_TRUE(clock_.WaitForSleeper());
  session_.abort.Set();
  ASSERT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(stopped.get(), 1);
  EXPECT_FALSE(session_.transport);
  EXPECT_TRUE(ui_.messages.empty());
  ::unsetenv("SETUPZEL_REGISTER_PORT");

  lan.ip = {0, 0, 0, 9};
  EXPECT_EQ(Connect(session_, lan, ui_), 1);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgLanNotOpened) +
                                                         "\nLAN 0.0.0.9: μη έγκυρη διεύθυνση IP — γράψτε τη "
                                                         "διεύθυνση της ΦΗΜ"});
}

TEST_F(LinkFixture, LogLinesAreNumberedFromOneAfterEachOpen) {
  CommLog log;
  ASSERT_TRUE(log.Open(log_path_));
  log.Write("COM:NO REPLY");
  log.Write("LAN:WRONG CHECHSUM");
  log.Close();
  EXPECT_EQ(test::Slurp(log_path_), "    1 COM:NO REPLY\n    2 LAN:WRONG CHECHSUM\n");
  ASSERT_TRUE(log.Open(log_path_));
  log.Write("COM:WRONG REPLY");
  log.Close();
  EXPECT_EQ(test::Slurp(log_path_), "    1 COM:WRONG REPLY\n");
}

}  // namespace
}  // namespace zel
