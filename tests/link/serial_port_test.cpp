// Serial ports on a real pseudo-terminal: the COMn mapping and its
// environment override, raw configuration, exclusive use, the reasons shown
// when a port cannot be opened, hang-up, the bounded receive buffer, and the
// port list.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <cstdlib>
#include <thread>

#include "link/ports.h"
#include "link/serial_port.h"
#include "link_fixture.h"

namespace zel {
namespace {

using test::ByteVector;
using test::PortEnvironment;
using test::Pty;

TEST(SerialPortTest, ComNumbersMapToDevicesUnlessTheEnvironmentSaysOtherwise) {
  const std::pair<int, const char*> cases[] = {
      {1, "/dev/ttyS0"},
      {4, "/dev/ttyS3"},
      {5, "/dev/ttyUSB0"},
      {12, "/dev/ttyUSB7"},
      {13, "/dev/ttyACM0"},
      {20, "/dev/ttyACM7"},
      {0, ""},
      {21, ""},
  };
  for (const auto& [port, device] : cases) EXPECT_EQ(DevicePath(port), device) << port;
  EXPECT_EQ(PortLabel(5), "COM5 (ttyUSB0)");
  ::setenv("SETUPZEL_COM9", "/dev/pts/7", 1);
  EXPECT_EQ(DevicePath(9), "/dev/pts/7");
  EXPECT_EQ(PortLabel(9), "COM9 (pts/7)");
  ::unsetenv("SETUPZEL_COM9");
}

class PtyTest : public test::LinkFixture {};

TEST_F(PtyTest, ConnectOpensThePortRawAndExchangesFrames) {
  Pty pty;
  PortEnvironment env({{7, pty.path}});
  // The slave starts cooked, echoing; the port must be made raw at once.
  termios cooked{};
  ::tcgetattr(pty.keep, &cooked);
  cooked.c_lflag |= ICANON | ECHO;
  ::tcsetattr(pty.keep, TCSANOW, &cooked);

  reg_ = std::make_unique<test::FakeRegister>([](const test::Seen& s) {
    return std::optional<test::Answer>({s.code, {0x0A, 0x0D, 0x00, 0x11, 0x13}});
  });
  reg_->ServeStream(pty.TakeMaster());
  LinkSelection com7;
  com7.port = 7;
  com7.baud_choice = 1;
  ASSERT_EQ(Connect(session_, com7, ui_), 0) << (ui_.messages.empty() ? "" : ui_.messages[0].text);

  termios t{};
  ASSERT_EQ(::tcgetattr(pty.keep, &t), 0);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));

  // Bytes that a cooked line would translate or swallow come through as they are.
  EXPECT_EQ(Run(0x6B), kAccepted);
  EXPECT_EQ(ByteVector(session_.reply_data(), session_.reply_data() + 5), (ByteVector{0x0A, 0x0D, 0x00, 0x11, 0x13}));
  Disconnect(session_);
}

TEST_F(PtyTest, PortInUseOrMissingIsRefusedWithTheReasonOnASecondLine) {
  Pty pty;
  PortEnvironment env({{3, pty.path}, {4, "/nonexistent/ttyUSB9"}});
  AbortFlag abort;
  SerialOpenResult first = OpenSerialPort(3, 115200, clock_, abort);
  ASSERT_TRUE(first.transport);

  LinkSelection com3;
  com3.port = 3;
  EXPECT_EQ(Connect(session_, com3, ui_), 1);
  LinkSelection com4;
  com4.port = 4;
  EXPECT_EQ(Connect(session_, com4, ui_), 1);
  const std::string head(kMsgComNotOpened);
  EXPECT_EQ(ui_.MessageTexts(),
            (std::vector<std::string>{head + "\nΗ θύρα " + pty.path + " χρησιμοποιείται ήδη από άλλο πρόγραμμα.",
                                      head + "\nΗ συσκευή /nonexistent/ttyUSB9 δεν υπάρχει."}));
  EXPECT_EQ(ui_.messages[0].icon, Icon::kError);
  EXPECT_TRUE(ui_.messages[0].system_modal);

  // Once the first user lets go the port opens again.
  first.transport.reset();
  EXPECT_TRUE(OpenSerialPort(3, 115200, clock_, abort).transport);
}

// Whether a user without privileges can open the terminal now: 0 yes, else
// the errno of the refused open. Root ignores exclusive mode, so as root the
// open is tried by a child that has become "nobody" first.
int OrdinaryUserOpenError(const std::string& path) {
  if (::geteuid() != 0) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
  }
  ::chmod(path.c_str(), 0666);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(255);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ::_exit(fd >= 0 ? 0 : errno);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ExclusiveMode(int fd) {
  int on = -1;
  ::ioctl(fd, TIOCGEXCL, &on);
  return on;
}

TEST(SerialPortTest, ExclusiveUseLastsOnlyWhileThePortIsOpen) {
  // The test keeps the terminal's other side open as the simulated register
  // does, so the line outlives every close of ours.
  Pty pty;
  PortEnvironment env({{6, pty.path}});
  AbortFlag abort;
  SerialOpenResult open = OpenSerialPort(6, 115200, SystemClock(), abort);
  ASSERT_TRUE(open.transport);
  EXPECT_EQ(ExclusiveMode(pty.keep), 1);
  EXPECT_EQ(OrdinaryUserOpenError(pty.path), EBUSY);

  open.transport.reset();
  EXPECT_EQ(ExclusiveMode(pty.keep), 0);
  EXPECT_EQ(OrdinaryUserOpenError(pty.path), 0) << "after a transfer the next one could not open the port";

  // Probing the port for the link list leaves it free as well.
  EXPECT_TRUE(ProbeSerialPort(6));
  EXPECT_EQ(ExclusiveMode(pty.keep), 0);
  EXPECT_EQ(OrdinaryUserOpenError(pty.path), 0);
}

TEST(SerialPortTest, OpenFailureHintsNameTheCause) {
  SerialOpenResult r;
  r.device = "/dev/ttyUSB0";
  r.failure = OpenFailure::kPermission;
  EXPECT_NE(OpenFailureHint(r).find("dialout"), std::string::npos);
  r.failure = OpenFailure::kOther;
  EXPECT_EQ(OpenFailureHint(r), "");
  r.failure = OpenFailure::kConfigure;
  EXPECT_EQ(OpenFailureHint(r), "");

  // A file that is not a terminal is not a serial port.
  test::TempDir dir;
  const std::string file = dir / "plain";
  std::ofstream(file) << "x";
  AbortFlag abort;
  const SerialOpenResult plain = OpenSerialDevice(file, 115200, SystemClock(), abort);
  EXPECT_FALSE(plain.transport);
  EXPECT_EQ(plain.failure, OpenFailure::kNotSerial);
}

TEST_F(PtyTest, HangUpMidExchangeEndsItAtOnceWithAClearMessage) {
  Pty pty;
  PortEnvironment env({{2, pty.path}});
  reg_ = std::make_unique<test::FakeRegister>();
  reg_->AddFaults({test::Fault::kHangUp});
  reg_->ServeStream(pty.TakeMaster());
  LinkSelection com2;
  com2.port = 2;
  ASSERT_EQ(Connect(session_, com2, ui_), 0);
  // The clock never moves: only the hang-up can end the wait.
  EXPECT_EQ(Run(0x72, {1}), kFailed);
  EXPECT_TRUE(session_.link_lost);
  EXPECT_EQ(ui_.MessageTexts(),
            std::vector<std::string>{std::string(kMsgNotExecuted) + "\n" + std::string(kMsgLinkLost)});
  Disconnect(session_);
}

TEST(StreamTransportTest, BytesPastTheReceiveBufferAreDroppedAndCounted) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv), 0);
  ManualTickClock clock;
  AbortFlag abort;
  StreamTransport link{UniqueFd(sv[0]), clock, abort};
  ByteVector flood(5000);
  for (std::size_t i = 0; i < flood.size(); ++i) flood[i] = static_cast<std::uint8_t>(i);
  ASSERT_EQ(::write(sv[1], flood.data(), flood.size()), 5000);
  // The far end hangs up after the flood: once the reader has taken all of
  // it, a wait for more than the buffer holds ends with what was kept.
  ::close(sv[1]);
  ByteVector got(6000);
  const ReceiveResult r = link.Receive(got, clock.Now() + Millis(1000), got.size());
  EXPECT_EQ(r.status, IoStatus::kOk);
  ASSERT_EQ(r.count, kReceiveBufferSize);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 4000, flood.begin()));
  EXPECT_EQ(link.dropped(), 1000u);
}

TEST(StreamTransportTest, ReceiveHandsOverWhatCameAndKeepsTheRestForLater) {
  // Packets, so each write reaches the reader in one piece.
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv), 0);
  ManualTickClock clock;
  AbortFlag abort;
  StreamTransport link{UniqueFd(sv[0]), clock, abort};
  const std::uint8_t bytes[] = {1, 2, 3, 4, 5};
  const Millis later = clock.Now() + Millis(1000);  // never reached: the clock stands still
  ASSERT_EQ(::write(sv[1], bytes, 5), 5);
  std::uint8_t two[2];
  std::uint8_t rest[8];
  EXPECT_EQ(link.Receive(two, later).count, 2u);
  EXPECT_EQ(link.Receive(rest, later).count, 3u);
  EXPECT_EQ(ByteVector(rest, rest + 3), (ByteVector{3, 4, 5}));
  EXPECT_EQ(link.Receive(rest, clock.Now()).status, IoStatus::kTimedOut);

  // Flush forgets what came and was not handed over.
  ASSERT_EQ(::write(sv[1], bytes, 5), 5);
  EXPECT_EQ(link.Receive(two, later).count, 2u);
  link.Flush();
  EXPECT_EQ(link.Receive(rest, clock.Now()).status, IoStatus::kTimedOut);

  // The other end going away is a lost link, seen without waiting.
  ::close(sv[1]);
  EXPECT_EQ(link.Receive(rest, later).status, IoStatus::kConnectionLost);
  EXPECT_EQ(link.Send(bytes), IoStatus::kConnectionLost);
}

TEST(StreamTransportTest, ReceiveWaitsForTheBytesItWantsAndAtTheDeadlineHandsOverWhatCame) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv), 0);
  ManualTickClock clock;
  AbortFlag abort;
  StreamTransport link{UniqueFd(sv[0]), clock, abort};
  const Millis later = clock.Now() + Millis(1500);
  const std::uint8_t bytes[] = {1, 2, 3, 4, 5, 6};
  std::uint8_t got[16];
  // Two bytes come, then four more: a reader that wants five gets all six
  // at once, only after the second piece.
  auto wanting_five = std::async(std::launch::async, [&] { return link.Receive(got, later, 5); });
  ASSERT_EQ(::write(sv[1], bytes, 2), 2);
  EXPECT_EQ(wanting_five.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  ASSERT_EQ(::write(sv[1], bytes + 2, 4), 4);
  const ReceiveResult r = wanting_five.get();
  EXPECT_EQ(r.status, IoStatus::kOk);
  EXPECT_EQ(r.count, 6u);
  // Fewer than wanted by the deadline: what came is handed over. (The wait
  // before the deadline gives the reader time to take the bytes in.)
  ASSERT_EQ(::write(sv[1], bytes, 3), 3);
  auto short_reply = std::async(std::launch::async, [&] { return link.Receive(got, later, 9); });
  EXPECT_EQ(short_reply.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  ASSERT_TRUE(clock.AdvanceToNextDeadline());
  const ReceiveResult partial = short_reply.get();
  EXPECT_EQ(partial.status, IoStatus::kOk);
  EXPECT_EQ(partial.count, 3u);
  ::close(sv[1]);
}

TEST(PortListTest, ProbesThePortsAndPicksTheStoredOne) {
  Pty com3, com5;
  PortEnvironment env({{3, com3.path}, {5, com5.path}});
  const std::vector<std::string> found = {"LAN", PortLabel(3), PortLabel(5)};
  struct Case {
    std::int16_t stored;
    int selected;
    std::int16_t stored_after;
  };
  for (const Case& c : {Case{0, 0, 0}, Case{3, 1, 3}, Case{5, 2, 5}, Case{7, 2, 7}}) {
    LinkSelection s;
    s.port = c.stored;
    const PortList list = FillPortList(s);
    EXPECT_EQ(list.entries, found);
    EXPECT_EQ(list.selected, c.selected) << c.stored;
    EXPECT_EQ(s.port, c.stored_after);
  }
  // A port held by another program is not offered.
  AbortFlag abort;
  SerialOpenResult held = OpenSerialPort(5, 115200, SystemClock(), abort);
  ASSERT_TRUE(held.transport);
  LinkSelection s;
  s.port = 5;
  EXPECT_EQ(FillPortList(s).entries, (std::vector<std::string>{"LAN", PortLabel(3)}));
}

TEST(PortListTest, NoPortFoundFallsBackToLan) {
  PortEnvironment env({});
  LinkSelection s;
  s.port = 4;
  const PortList list = FillPortList(s);
  EXPECT_EQ(list.entries, std::vector<std::string>{"LAN"});
  EXPECT_EQ(list.selected, 0);
  EXPECT_EQ(s.port, 0);
}

TEST(PortListTest, ReadPortChoiceTakesTheNumberAfterCom) {
  const std::vector<std::string> entries = {"LAN", "COM3 (ttyS2)", "COM12 (ttyUSB7)", "COM5 (ttyUSB0)"};
  const std::pair<int, int> cases[] = {{0, 0}, {1, 3}, {2, 12}, {3, 5}};
  for (const auto& [index, port] : cases) {
    LinkSelection s;
    s.port = 9;
    ReadPortChoice(s, entries, index);
    EXPECT_EQ(s.port, port) << index;
  }
}

}  // namespace
}  // namespace zel
