// The register's serial port on a pseudo-terminal, seen from the program's
// end: frames found in noise and across reads, damaged requests, fragments
// dropped after silence, the baud rate's pace, the turnaround time and the
// hang-up.
#include <gtest/gtest.h>

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

class Pty : public ::testing::Test {
 protected:
  void SetUp() override { Start({}); }
  void Start(const SimulatorOptions& options) {
    client.reset();
    sim = std::make_unique<Simulator>(options);
    std::string error;
    ASSERT_TRUE(sim->StartPty(&error)) << error;
    client = std::make_unique<PtyClient>(sim->pty_path());
    ASSERT_TRUE(client->ok());
  }
  std::unique_ptr<Simulator> sim;
  std::unique_ptr<PtyClient> client;
};

TEST_F(Pty, AnswersTheConnectionCheckByteForByte) {
  EXPECT_EQ(client->Ask({0x55, 0x33, 0x11, 0x01, 0x79, 0x00, 0x13, 0x0F, 0xEB}),
            (Bytes{0x55, 0x33, 0x11, 0x01, 0x79, 0x00, 0x13, 0x0F, 0xEB}));
}

TEST_F(Pty, ResynchronisesOnTheStartBytesAfterNoise) {
  // Noise with pieces of start bytes, then a write whose data holds the
  // start bytes and the end byte, then a read of the same record.
  const Bytes name = {0x55, 0x33, 0x11, 0xEB, 0x55, 0xEB, 'A', 'B', 0x11, 0x33, 0x55, 0xEB};
  client->Send(Cat({0x00, 0x55, 0x33, 0xEB, 0x11, 0x55, 0x55}, Frame(2, 0x72, Cat({4}, name))));
  EXPECT_EQ(client->ReadFrame(), Frame(2, 0x72, {4}));
  EXPECT_EQ(client->Ask(Frame(3, 0x71, {4})), Frame(3, 0x71, Cat({4}, name)));
}

TEST_F(Pty, AFalseStartInTheNoiseDoesNotSwallowTheRequest) {
  // 55 33 11 .. with a length of 255 would hold the real request as its data.
  EXPECT_EQ(client->Ask(Cat({0x55, 0x33, 0x11, 0x07, 0x73, 0xFF}, Frame(4, 0x79))), Frame(4, 0x79));
}

TEST_F(Pty, ARequestCutIntoPiecesAndTwoRequestsInOneWrite) {
  SimulatorOptions options;
  options.timing.gap_ms = 10000;  // the pauses between pieces are no silence
  Start(options);
  const Bytes f = Frame(5, 0x75, {2});
  for (std::size_t at = 0; at < f.size(); at += 4) {
    client->Send(Bytes(f.begin() + static_cast<std::ptrdiff_t>(at),
                       f.begin() + static_cast<std::ptrdiff_t>(std::min(at + 4, f.size()))));
    std::this_thread::sleep_for(5ms);
  }
  const auto reply = client->ReadFrame();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ((*reply)[4], 0x75);

  client->Send(Cat(Frame(6, 0x79), Frame(7, 0x79)));
  EXPECT_EQ(client->ReadFrame(), Frame(6, 0x79));
  EXPECT_EQ(client->ReadFrame(), Frame(7, 0x79));
}

TEST_F(Pty, ADamagedRequestIsAnswered0x80WithItsSequenceNumber) {
  Bytes bad = Frame(9, 0x72, Cat({1}, Bytes(12, 'X')));
  bad[bad.size() - 3] ^= 0x01;
  EXPECT_EQ(client->Ask(bad), Frame(9, 0x80));
  const DataImage image = sim->Programming();
  EXPECT_EQ(image.category(1)[0], 0xCA) << "the damaged write was not carried out (default name)";
  EXPECT_EQ(client->Ask(Frame(10, 0x71, {1})),
            Frame(10, 0x71, Cat({1}, Bytes(image.category(1).begin(), image.category(1).end()))));
}

TEST_F(Pty, AFragmentFollowedBySilenceIsDroppedNotAnsweredLater) {
  // Without the silence rule the stray byte 0xCC would complete the fragment
  // into a "damaged request", and its 0x80 would come before the real reply.
  client->Send({0x55, 0x33, 0x11, 0x09, 0x79, 0x00, 0xAA, 0xBB});
  std::this_thread::sleep_for(400ms);  // well past the 100 ms gap
  client->Send({0xCC});
  EXPECT_EQ(client->Ask(Frame(11, 0x79)), Frame(11, 0x79));
  EXPECT_EQ(sim->counters().damaged, 0u);
}

TEST_F(Pty, TheBaudRateAndTurnaroundDelayTheReply) {
  SimulatorOptions options;
  options.timing.baud = 9600;
  options.timing.turnaround_ms = 100;
  Start(options);
  // A fiscal-memory block: 140 bytes take 145.8 ms at 10 bits a byte.
  const auto start = std::chrono::steady_clock::now();
  const auto reply = client->Ask(Frame(1, 0x7D, {0x00, 0x00, 0x0D}));
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->size(), 140u);
  EXPECT_GE(took, 100ms + 140ms);
}

TEST_F(Pty, AtABaudRateTheRequestTakesItsLineTimeToo) {
  SimulatorOptions options;
  options.timing.baud = 9600;
  Start(options);
  // A logo row written: 58 bytes in (60.4 ms at 10 bits a byte), 10 out
  // (10.4 ms), although the request went onto the terminal at once.
  Bytes row(49, 0x5A);
  row[0] = 3;
  const auto start = std::chrono::steady_clock::now();
  const auto reply = client->Ask(Frame(1, 0x78, row));
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->size(), 10u);
  EXPECT_GE(took, std::chrono::microseconds(60400 + 10400));
  EXPECT_EQ(sim->counters().bytes_received, 58u);
  EXPECT_EQ(sim->counters().bytes_sent, 10u);
}

TEST_F(Pty, HangsUpAfterTheGivenNumberOfRequests) {
  SimulatorOptions options;
  options.faults.hangup_after = 2;
  Start(options);
  EXPECT_EQ(client->Ask(Frame(1, 0x79)), Frame(1, 0x79));
  EXPECT_EQ(client->Ask(Frame(2, 0x79)), Frame(2, 0x79));
  EXPECT_FALSE(sim->pty_hung_up());
  client->Send(Frame(3, 0x79));
  ASSERT_TRUE(test::Readable(client->fd(), 5s)) << "a hang-up shows as readable";
  std::uint8_t b = 0;
  EXPECT_LE(::read(client->fd(), &b, 1), 0) << "the far end is gone";
  EXPECT_TRUE(sim->pty_hung_up());
}

TEST_F(Pty, TheProgramMayCloseAndReopenThePort) {
  EXPECT_EQ(client->Ask(Frame(1, 0x79)), Frame(1, 0x79));
  client = std::make_unique<PtyClient>(sim->pty_path());
  ASSERT_TRUE(client->ok());
  EXPECT_EQ(client->Ask(Frame(2, 0x79)), Frame(2, 0x79));
}

}  // namespace
}  // namespace zel::sim
