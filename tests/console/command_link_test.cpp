// The console's command link: both framings byte for byte, both reply
// checks, and whole exchanges against a scripted register over a
// pseudo-terminal and UDP — enquiries, time-outs, Retry without a second
// send, the nudge of a stalled reply, paper end and the failure step.
#include "console/command_link.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <future>

#include "core/cp1253.h"
#include "link/exchange.h"
#include "link/link_fixture.h"
#include "printer_peer.h"
#include "support/scripted_ui.h"

namespace zel {
namespace {

using test::PeerFault;

std::vector<int> Ints(std::span<const std::uint8_t> b) { return {b.begin(), b.end()}; }

CommandSlot Slot(std::string_view text) {
  CommandStore store;
  store.SetCommand(0, text);
  return store.commands[0];
}

// ---- Framing -------------------------------------------------------------------

TEST(ConsoleFrame, SerialFrameCarriesTheLastTwoDigitsOfTheByteSum) {
  struct Case {
    std::string text;
    std::string digits;
  };
  const Case cases[] = {
      {"+/", "90"},                        // sum 90
      {"x/1///", "01"},                    // sum 101: the hundreds are not sent
      {std::string("\xFF\x66", 2), "01"},  // 255 + 102 = 357, 357 mod 256 = 101
      {"", "00"},
  };
  for (const Case& c : cases) {
    CommandSlot slot = Slot(c.text);
    std::array<std::uint8_t, kMaxSendSize> out{};
    const std::size_t n = FrameSerial(slot, out);
    const std::string expected = "\x02" + c.text + c.digits + "\x03";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data()), n), expected) << c.text;
    EXPECT_EQ(slot[0], c.text.size() + 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(slot.data() + 1), n), expected) << "the slot holds the frame";
  }
  CommandSlot plus = Slot("+/");
  std::array<std::uint8_t, kMaxSendSize> out{};
  ASSERT_EQ(FrameSerial(plus, out), 6u);
  EXPECT_EQ(Ints({out.data(), 6}), (std::vector<int>{0x02, 0x2B, 0x2F, 0x39, 0x30, 0x03}));
}

TEST(ConsoleFrame, LanSequenceStartsFromTheTickAndCountsOn) {
  struct Case {
    std::uint16_t stored;
    long tick;
    std::uint16_t next;
  };
  const Case cases[] = {
      {0, 123456, 456},        // first request: tick modulo 1000
      {456, 999999, 457},      // then plus one
      {0xF000, 5, 0xF001},     // 61440 itself still counts on
      {0xF001, 1234567, 567},  // above 61440: from the tick again
  };
  for (const Case& c : cases) EXPECT_EQ(NextLanSequence(c.stored, Millis(c.tick)), c.next) << c.stored;
}

TEST(ConsoleFrame, LanDatagramHasTheHeaderAndTheBareText) {
  std::array<std::uint8_t, kLanHeaderSize> header{};
  std::array<std::uint8_t, kMaxSendSize> out{};
  const std::size_t n = FrameLan(Slot("+/"), 0x0102, header, out);
  ASSERT_EQ(n, 14u);
  // 0xAA55 + '+' + '/' = 0xAAAF; header sum: 0xAA55 + 8F E1 02 01 21 00 02 00 AF AA.
  const unsigned head = 0xAA55 + 0x8F + 0xE1 + 0x02 + 0x01 + 0x21 + 0x00 + 0x02 + 0x00 + 0xAF + 0xAA;
  EXPECT_EQ(Ints({out.data(), n}),
            (std::vector<int>{0x8F, 0xE1, 0x02, 0x01, 0x21, 0x00, 0x02, 0x00, 0xAF, 0xAA, static_cast<int>(head & 0xFF),
                              static_cast<int>(head >> 8), '+', '/'}));
  EXPECT_EQ(Ints(header), Ints({out.data(), 12}));
}

// ---- Reply checks ----------------------------------------------------------------

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(ConsoleReply, SerialReplyIsJudgedFromItsStxToItsLastEtx) {
  const std::string ok = test::SerialFrame("00/12/");
  std::string bad_sum = ok;
  bad_sum[bad_sum.size() - 2] = '9';
  const std::string long_text = "00/" + std::string(57, 'A');  // 60 text bytes
  struct Case {
    std::string name;
    std::string received;
    int result;
    std::string stored;
  };
  const Case cases[] = {
      {"plain", ok, 0, "00/12/"},
      {"ACK before the STX", "\x06" + ok, 0, "00/12/"},
      {"bytes after the last ETX", "\x06" + ok + "\x7F\x01", 0, "00/12/"},
      {"wrong checksum digits", bad_sum, 100, "00/12/"},
      {"refusal status", test::SerialFrame("01/"), 100, "01/"},
      {"more than 53 bytes keeps 49", test::SerialFrame(long_text), 0, long_text.substr(0, 49)},
      {"nothing", "", 100, ""},
      {"an ACK alone", "\x06", 100, ""},
      // Too short to carry a text: taken with no text, which the exchange
      // then fails for want of the "00" status.
      {"too short for a text", "/00\x03", 0, ""},
  };
  for (const Case& c : cases) {
    ReplySlot reply;
    reply.fill(0xEE);
    const auto bytes = Bytes(c.received);
    EXPECT_EQ(CheckSerialReply(bytes, reply), c.result) << c.name;
    EXPECT_EQ(reply[0], c.stored.size() + static_cast<std::size_t>(c.result)) << c.name;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply.data() + 1), c.stored.size()), c.stored) << c.name;
    EXPECT_EQ(reply[1 + c.stored.size()], 0) << c.name << ": the rest of the slot is cleared";
  }
}

TEST(ConsoleReply, LanReplyMustEchoMagicSequenceAndKind) {
  const std::uint16_t seq = 321;
  std::string bad_sum = test::LanDatagram(0x7A2D, seq, 0x22, "00/");
  bad_sum[8] = static_cast<char>(bad_sum[8] ^ 1);
  std::string bad_head = test::LanDatagram(0x7A2D, seq, 0x22, "00/");
  bad_head[10] = static_cast<char>(bad_head[10] ^ 1);
  struct Case {
    std::string name;
    std::string received;
    int result;
    std::string stored;
  };
  const Case cases[] = {
      {"accepted", test::LanDatagram(0x7A2D, seq, 0x22, "00/5/"), 0, "00/5/"},
      {"wrong magic", test::LanDatagram(0xE18F, seq, 0x22, "00/"), 1, ""},
      {"another sequence number", test::LanDatagram(0x7A2D, seq + 1, 0x22, "00/"), 1, ""},
      {"wrong kind", test::LanDatagram(0x7A2D, seq, 0x21, "00/"), 1, ""},
      {"zero length", test::LanDatagram(0x7A2D, seq, 0x22, ""), 1, ""},
      {"payload checksum", bad_sum, 100, "00/"},
      {"header checksum", bad_head, 100, "00/"},
      {"refusal status", test::LanDatagram(0x7A2D, seq, 0x22, "17/"), 100, "17/"},
      {"long reply keeps 59", test::LanDatagram(0x7A2D, seq, 0x22, "00/" + std::string(70, 'B')), 0,
       "00/" + std::string(56, 'B')},
  };
  for (const Case& c : cases) {
    ReplySlot reply{};
    std::array<std::uint8_t, kLanHeaderSize> header{};
    const auto bytes = Bytes(c.received);
    EXPECT_EQ(CheckLanReply(bytes, seq, reply, header), c.result) << c.name;
    EXPECT_EQ(reply[0], c.stored.size() + static_cast<std::size_t>(c.result == 100 ? 100 : 0)) << c.name;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply.data() + 1), c.stored.size()), c.stored) << c.name;
    EXPECT_EQ(Ints(header), Ints({bytes.data(), 12})) << c.name;
  }
}

// ---- Exchanges -------------------------------------------------------------------

constexpr int kPort = 6;

class CommandLinkTest : public ::testing::TestWithParam<bool> {
 protected:
  bool lan() const { return GetParam(); }

  void SetUp() override {
    if (lan()) {
      const std::uint16_t port = peer_.ServeLan();
      ::setenv("SETUPZEL_REGISTER_PORT", std::to_string(port).c_str(), 1);
      link_.selection.port = 0;
      link_.selection.ip = {127, 0, 0, 1};
      auto opened = std::async(std::launch::async, [&] { return link_.OpenPrinterLink(); });
      ASSERT_TRUE(clock_.AdvanceToNextDeadline());  // the 500 ms settle
      ASSERT_EQ(opened.get(), 0);
    } else {
      peer_.ServeSerial(pty_.TakeMaster());
      link_.selection.port = kPort;
      ASSERT_EQ(link_.OpenPrinterLink(), 0);
    }
    ASSERT_TRUE(link_.is_open());
  }
  void TearDown() override { ::unsetenv("SETUPZEL_REGISTER_PORT"); }

  template <class F>
  auto Drive(F f, int timeouts) {
    auto done = std::async(std::launch::async, f);
    for (int i = 0; i < timeouts; ++i) EXPECT_TRUE(clock_.AdvanceToNextDeadline()) << "no wait for time-out " << i + 1;
    if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      ADD_FAILURE() << "the exchange did not end";
      link_.link().abort.Set();
    }
    return done.get();
  }
  // Runs the exchange and moves the clock past `timeouts` deadlines once the
  // command has reached the register and the exchange waits `first` from
  // now: the reply window (6000 ms) when nothing came, the quiet time
  // (3000 ms) once part of a reply was taken in. So the enquiry's short
  // watch is never taken for one of them, nor the window for the quiet time.
  int ExchangeAfterSend(std::string_view text, int timeouts, Millis first) {
    const std::size_t before = peer_.Commands().size();
    link_.store.SetCommand(link_.store.index, text);
    const Millis start = clock_.Now();
    auto done = std::async(std::launch::async, [&] { return link_.ExchangeCommand(); });
    EXPECT_TRUE(peer_.WaitForCommands(before + 1)) << "the command did not reach the register";
    EXPECT_TRUE(clock_.WaitForSleepUntil(start + first)) << "no wait of " << first.count() << " ms";
    for (int i = 0; i < timeouts; ++i) EXPECT_TRUE(clock_.AdvanceToNextDeadline()) << "no wait for time-out " << i + 1;
    if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      ADD_FAILURE() << "the exchange did not end";
      link_.link().abort.Set();
    }
    return done.get();
  }
  // Runs the exchange while the register leaves `unanswered` enquiries
  // unanswered: the clock passes each one's watch once the register has
  // seen it (a closing port may purge what the register has not read).
  int ExchangeWithEnquiries(std::string_view text, int unanswered) {
    peer_.ignore_enquiries = unanswered;
    link_.store.SetCommand(link_.store.index, text);
    auto done = std::async(std::launch::async, [&] { return link_.ExchangeCommand(); });
    for (int i = 0; i < unanswered; ++i) {
      EXPECT_TRUE(peer_.WaitUntil([i](std::size_t, int enquiries, int) { return enquiries > i; }));
      EXPECT_TRUE(clock_.AdvanceToNextDeadline()) << "no watch for enquiry " << i + 1;
    }
    if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      ADD_FAILURE() << "the exchange did not end";
      link_.link().abort.Set();
    }
    return done.get();
  }
  int Exchange(std::string_view text, int timeouts = 0) {
    link_.store.SetCommand(link_.store.index, text);
    return Drive([&] { return link_.ExchangeCommand(); }, timeouts);
  }
  std::string Reply() const { return std::string(link_.store.ReplyText(link_.store.index)); }
  int ReplyByte() const { return link_.store.replies[static_cast<std::size_t>(link_.store.index)][0]; }

  ManualTickClock clock_;
  test::ScriptedUi ui_;
  PrinterLink link_{ui_, clock_};
  test::Pty pty_;
  test::PortEnvironment env_{{{kPort, pty_.path}}};
  // Answers "00/", the command's first letter and "/ok/" (a serial reply
  // shorter than 6 text bytes is not taken as whole); a paper feed meets the
  // end of the paper.
  test::PrinterPeer peer_{
      [](const std::string& c) { return c.starts_with("w") ? "92/0/0/" : "00/" + c.substr(0, 1) + "/ok/"; }};
};

TEST_P(CommandLinkTest, AcceptedCommandStoresTheReplyText) {
  const std::string text = cp1253::Encode("3/S/ΓΑΛΑ//1,000/1,50/03/13,00/");
  EXPECT_EQ(Exchange(text), kCommandAccepted);
  EXPECT_EQ(peer_.Commands(), std::vector<std::string>{text});
  EXPECT_EQ(Reply(), "00/3/ok/");
  EXPECT_FALSE(link_.store.Failed(0));
  EXPECT_TRUE(ui_.messages.empty());
  if (!lan()) {
    EXPECT_EQ(peer_.enquiries(), 1);
  }
}

TEST_P(CommandLinkTest, RefusedOrDamagedReplyFailsTheSlot) {
  peer_.AddFaults({PeerFault::kBadChecksum});
  EXPECT_EQ(Exchange("9/"), kCommandRefused);
  EXPECT_GE(ReplyByte(), 100);
  EXPECT_TRUE(ui_.messages.empty()) << "a damaged reply is only shown red in the log";
}

// Only an intact reply with another status says the register did nothing;
// a damaged or foreign reply says nothing at all of what it did.
TEST_P(CommandLinkTest, EachReplyGivesItsOutcome) {
  struct Case {
    std::string name;
    PeerFault fault;
    std::string text;
    CommandOutcome outcome;
  };
  const Case cases[] = {
      {"accepted", PeerFault::kNone, "q/", CommandOutcome::kOk},
      {"paper end", PeerFault::kNone, "w/1/6/", CommandOutcome::kRefusal},
      {"damaged reply", PeerFault::kBadChecksum, "q/", CommandOutcome::kUnknown},
      {"another sequence number", PeerFault::kWrongSequence, "q/", CommandOutcome::kUnknown},
  };
  for (const Case& c : cases) {
    if (!lan() && c.fault == PeerFault::kWrongSequence) continue;
    SCOPED_TRACE(c.name);
    ui_.messages.clear();
    if (c.fault != PeerFault::kNone) peer_.AddFaults({c.fault});
    Exchange(c.text);
    EXPECT_EQ(link_.last_outcome(), c.outcome);
    EXPECT_EQ(link_.store.outcomes[0], c.outcome);
  }
}

TEST_P(CommandLinkTest, PaperEndIsShownAndFails) {
  EXPECT_NE(Exchange("w/1/6/"), kCommandAccepted);  // the peer answers "92" to paper feeds
  EXPECT_GE(ReplyByte(), 100);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgPaperEnd)});
  EXPECT_EQ(ui_.messages[0].icon, Icon::kError);
}

TEST_P(CommandLinkTest, NoAnswerAsksRetryWhichWaitsAgainWithoutSendingAgain) {
  peer_.AddFaults({PeerFault::kSilent});
  ui_.retry_cancel = {true, false};  // Retry, then Cancel
  // Two reply windows; then on the LAN the reopening settles, on the serial
  // line a quiet second passes before the next command.
  EXPECT_EQ(ExchangeAfterSend("x/1///", 3, Millis(6000)), kCommandNoAnswer);
  EXPECT_EQ(link_.last_outcome(), CommandOutcome::kUnknown) << "the register may have printed it";
  EXPECT_EQ(peer_.Commands().size(), 1u) << "Retry must not send the command again";
  ASSERT_EQ(ui_.questions.size(), 2u);
  EXPECT_EQ(ui_.questions[0].text, std::string(kMsgCheckLinkOrPaper));
  EXPECT_EQ(ui_.questions[0].icon, Icon::kInformation);
  EXPECT_EQ(ReplyByte(), 100);
  if (!lan()) {
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, std::string(kMsgCommunication));
    EXPECT_EQ(ui_.messages[0].icon, Icon::kError);
  } else {
    EXPECT_TRUE(ui_.messages.empty());
  }
  EXPECT_TRUE(link_.is_open()) << "the link is closed and opened again";
  // And the link still works.
  ui_.questions.clear();
  EXPECT_EQ(Exchange("q/"), kCommandAccepted);
}

TEST_P(CommandLinkTest, RetryAfterFiveUnansweredEnquiriesStartsANewRound) {
  if (lan()) GTEST_SKIP() << "a datagram is not delayed by the peer";
  ui_.retry_cancel = {true};
  EXPECT_EQ(ExchangeWithEnquiries("q/", 5), kCommandAccepted);
  EXPECT_EQ(peer_.enquiries(), 6) << "five unanswered enquiries, then a new round";
  EXPECT_EQ(ui_.questions.size(), 1u);
}

TEST_P(CommandLinkTest, FiveUnansweredEnquiriesAndCancelEndTheCommand) {
  if (lan()) GTEST_SKIP() << "the LAN has no enquiries";
  EXPECT_EQ(ExchangeWithEnquiries("q/", 5), kCommandNoAnswer);
  EXPECT_EQ(link_.last_outcome(), CommandOutcome::kNotSent) << "the frame never went out";
  EXPECT_EQ(peer_.enquiries(), 5);
  EXPECT_TRUE(peer_.Commands().empty());
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgCommunication)});
}

TEST_P(CommandLinkTest, StalledReplyIsNudgedOnceAndThenTaken) {
  if (lan()) GTEST_SKIP() << "the nudge is a serial rule";
  peer_.AddFaults({PeerFault::kStall});
  EXPECT_EQ(ExchangeAfterSend("9/", 1, Millis(3000)), kCommandAccepted);
  EXPECT_EQ(peer_.nudges(), 1);
  EXPECT_EQ(Reply(), "00/9/ok/");
  EXPECT_TRUE(ui_.questions.empty());
}

TEST_P(CommandLinkTest, ReplyWithAByteAfterItsEtxIsNudgedAndTaken) {
  if (lan()) GTEST_SKIP();
  // No ETX at the end: after the quiet time the nudge, and the ETX is then
  // looked for one place earlier.
  peer_.AddFaults({PeerFault::kTrailing});
  EXPECT_EQ(ExchangeAfterSend("q/", 1, Millis(3000)), kCommandAccepted);
  EXPECT_EQ(Reply(), "00/q/ok/");
}

TEST_P(CommandLinkTest, LanReplyWithAnotherSequenceNumberFailsWithResultOne) {
  if (!lan()) GTEST_SKIP();
  peer_.AddFaults({PeerFault::kWrongSequence});
  EXPECT_EQ(Exchange("9/"), kCommandBadReply);
  EXPECT_EQ(ReplyByte(), 100);
  link_.store.index = 1;
  EXPECT_EQ(Exchange("9/"), kCommandAccepted);
  const auto seqs = peer_.Sequences();
  ASSERT_EQ(seqs.size(), 2u);
  EXPECT_EQ(seqs[1], seqs[0] + 1);
}

TEST_P(CommandLinkTest, StopEndsAWaitAtOnceWithoutAQuestion) {
  peer_.AddFaults({PeerFault::kSilent});
  link_.store.SetCommand(0, "x/1///");
  auto done = std::async(std::launch::async, [&] { return link_.ExchangeCommand(); });
  ASSERT_TRUE(clock_.WaitForSleeper());
  if (!lan()) {
    // Past the enquiry, into the reply wait.
    ASSERT_TRUE(peer_.WaitForCommands(1));
  }
  link_.link().abort.Set();
  ASSERT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(done.get(), kCommandNoAnswer);
  EXPECT_TRUE(ui_.questions.empty());
  EXPECT_TRUE(ui_.messages.empty());
}

// A reply that comes after its command gave up must not be taken for the
// next command's: the line is drained until quiet, and a frame that still
// arrives while nothing waits marks the link out of step.
TEST_P(CommandLinkTest, LateSerialReplyIsNeverTakenForTheNextCommand) {
  if (lan()) GTEST_SKIP() << "the LAN reply carries its sequence number";
  peer_.AddFaults({PeerFault::kSilent});
  // The window, then the quiet second in which the late reply comes and is
  // dropped, then the quiet second after it.
  const Millis start = clock_.Now();
  auto done = std::async(std::launch::async, [&] {
    link_.store.SetCommand(0, "x/1///");
    return link_.ExchangeCommand();
  });
  ASSERT_TRUE(peer_.WaitForCommands(1));
  ASSERT_TRUE(clock_.WaitForSleepUntil(start + Millis(6000)));
  clock_.AdvanceTo(start + Millis(6000));  // the reply window ends: Cancel
  // Draining until a second of quiet; the late reply comes meanwhile.
  ASSERT_TRUE(clock_.WaitForSleepUntil(start + Millis(7000)));
  peer_.WriteLateReply("00/x/late/");
  for (int i = 0; i < 3 && done.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready; ++i)
    clock_.AdvanceToNextDeadline(std::chrono::milliseconds(500));
  ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(done.get(), kCommandNoAnswer);
  EXPECT_FALSE(link_.OutOfStep()) << "the late reply was drained with the command that waited for it";

  link_.store.index = 1;
  EXPECT_EQ(Exchange("q/"), kCommandAccepted);
  EXPECT_EQ(Reply(), "00/q/ok/");

  // Later still, between commands: the next look at the line sees it.
  peer_.WriteLateReply("00/x/later/");
  for (int w = 0; w < 200 && !link_.OutOfStep(); ++w) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(link_.OutOfStep());
  link_.ClearOutOfStep();
  EXPECT_EQ(Exchange("q/"), kCommandAccepted);
  EXPECT_EQ(Reply(), "00/q/ok/");
  EXPECT_FALSE(link_.OutOfStep());
}

INSTANTIATE_TEST_SUITE_P(Wires, CommandLinkTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Lan" : "Serial"; });

TEST(ConsoleOpen, LinkThatCannotOpenSaysWhichAndMarksTheSlot) {
  test::ScriptedUi ui;
  ManualTickClock clock;
  test::PortEnvironment env{{}};
  PrinterLink link(ui, clock);
  link.selection.port = 3;
  EXPECT_EQ(link.OpenPrinterLink(), 1);
  EXPECT_EQ(link.state(), PrinterLinkState::kOpenFailed);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text.substr(0, kMsgComNotOpened.size()), kMsgComNotOpened);
  EXPECT_TRUE(ui.messages[0].system_modal);

  link.selection.port = 0;
  link.selection.ip = {0, 1, 2, 3};
  EXPECT_EQ(link.OpenPrinterLink(), 1);
  EXPECT_EQ(ui.messages.back().text, std::string(kMsgLanNotOpened));

  // SendCommand opens on demand; when that fails the slot is failed.
  link.store.SetCommand(0, "q/");
  link.SendCommand();
  EXPECT_EQ(link.store.replies[0][0], 100);
  EXPECT_FALSE(link.is_open());
}

}  // namespace
}  // namespace zel
