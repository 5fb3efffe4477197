// zelctl against the zelsim program, process to process, as a dealer's
// script would run them: the connection check, a write and a read back into
// a database file, and a read that fails half-way leaving the file as it was.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "core/database_file.h"
#include "e2e_support.h"
#include "images.h"
#include "link/compare.h"
#include "zelsim_process.h"

namespace zel::e2e {
namespace {

using Outcome = test::ZelctlOutcome;

class Zelctl : public ::testing::Test {
 protected:
  Outcome Run(const std::string& environment, const std::string& args) {
    return test::RunZelctl(dir_.path(), args, environment);
  }
  TempDir dir_;
};

TEST_F(Zelctl, CheckWriteAndReadBackAgainstTheZelsimProgram) {
  ZelsimProcess zelsim({"--udp", "0"});
  ASSERT_FALSE(zelsim.udp_port.empty()) << "zelsim did not start";
  const std::string lan = "SETUPZEL_REGISTER_PORT=" + zelsim.udp_port;

  Outcome r = Run(lan, "check --lan 127.0.0.1");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(std::string(kMsgTransferDone)), std::string::npos) << r.out;

  DataImage source = FilledImage(200, 30);
  ASSERT_EQ(WriteDatabaseFile(dir_ / "shop.cld", source), FileStatus::kOk);
  r = Run(lan, "transfer write shop.cld all --lan 127.0.0.1");
  EXPECT_EQ(r.status, 0) << r.err;

  // Read into a file that does not exist yet: it is made only now.
  r = Run(lan, "transfer read copy.cld all --lan 127.0.0.1 --reports .");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("copy.cld"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(dir_.path() / "FM_ZEL12345678.BIN"));
  EXPECT_TRUE(fs::exists(dir_.path() / "FM_ZEL12345678.TXT"));
  DataImage back;
  ASSERT_EQ(ReadDatabaseFile(dir_ / "copy.cld", back.raw()), FileStatus::kOk);
  EXPECT_EQ(Differences(Expected(source, DataImage(), Side::kReadBack), back), "");
  EXPECT_EQ(zelsim.Stop(), 0);
}

TEST_F(Zelctl, ReadThatFailsHalfWayLeavesTheFileAsItWas) {
  // Over the pseudo-terminal; the demo register hangs up after 100
  // requests, in the middle of the customers.
  ZelsimProcess zelsim({"--pty", "--demo", "--fault", "hangup-after=100"});
  ASSERT_FALSE(zelsim.pty.empty()) << "zelsim did not start";
  DataImage old;
  PutText(old.item(3).name().data(), item::kNameWidth, "ΠΑΛΙΟ ΕΙΔΟΣ");
  ASSERT_EQ(WriteDatabaseFile(dir_ / "shop.cld", old), FileStatus::kOk);
  const std::string before = Slurp(dir_ / "shop.cld");

  const Outcome r = Run("SETUPZEL_COM1=" + zelsim.pty, "transfer read shop.cld vat items customers --com 1");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("[V] Κατηγορίες ΦΠΑ"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("[V] Είδη"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("[X] Πελατες"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(std::string(kMsgCommunication)), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("δεν άλλαξε"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(dir_ / "shop.cld"), before);
}

TEST_F(Zelctl, DiffExitsWithEqualDifferentOrLinkFailed) {
  ZelsimProcess zelsim({"--udp", "0"});
  ASSERT_FALSE(zelsim.udp_port.empty()) << "zelsim did not start";
  const std::string lan = "--lan 127.0.0.1:" + zelsim.udp_port;  // the port on the address, no environment
  DataImage source = FilledImage(30, 5);
  ASSERT_EQ(WriteDatabaseFile(dir_ / "shop.cld", source), FileStatus::kOk);
  Outcome r = Run("", "transfer write shop.cld items customers " + lan + " --verify");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(std::string(kMsgVerified)), std::string::npos) << r.out;

  r = Run("", "diff shop.cld items customers " + lan);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(std::string(kMsgCompareEqual)), std::string::npos) << r.out;

  const std::string before = Slurp(dir_ / "shop.cld");
  DataImage changed = source;
  changed.customer(0).set_tax_number(987654321);
  ASSERT_EQ(WriteDatabaseFile(dir_ / "changed.cld", changed), FileStatus::kOk);
  r = Run("", "diff changed.cld customers " + lan + " --csv diff.csv");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.out.find("Πελατες 1: ΑΦΜ 987654321 ≠ 100000000"), std::string::npos) << r.out;
  EXPECT_EQ(Lines(Slurp(dir_ / "diff.csv")), (std::vector<std::string>{"Δεδομένα;Εγγραφή;Πεδίο;Βάση δεδομένων;ΦΗΜ",
                                                                       "Πελατες;1;ΑΦΜ;987654321;100000000"}));
  EXPECT_EQ(Slurp(dir_ / "shop.cld"), before);

  EXPECT_EQ(zelsim.Stop(), 0);
  r = Run("", "diff shop.cld vat --lan 0.0.0.0");  // no address: the link does not open
  EXPECT_EQ(r.status, 2) << r.err;
}

TEST_F(Zelctl, ResumeFileCarriesAWriteOverAHangUp) {
  // The first register hangs up in the middle of the items and keeps what
  // it was sent in a file; the second starts from that, as the same register
  // would after the cable is plugged in again.
  DataImage source = FilledImage(300, 5);
  ASSERT_EQ(WriteDatabaseFile(dir_ / "shop.cld", source), FileStatus::kOk);
  const std::string memory = dir_ / "register.cld";
  {
    ZelsimProcess zelsim({"--pty", "--fault", "hangup-after=150", "--save", memory});
    ASSERT_FALSE(zelsim.pty.empty());
    const Outcome r =
        Run("SETUPZEL_COM1=" + zelsim.pty, "transfer write shop.cld items customers --com 1 --resume resume.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::exists(dir_ / "resume.txt")) << r.err;
    EXPECT_NE(Slurp(dir_ / "resume.txt").find("kind items from "), std::string::npos) << Slurp(dir_ / "resume.txt");
    EXPECT_EQ(zelsim.Stop(), 0);
  }
  ZelsimProcess zelsim({"--pty", "--load", memory, "--save", memory});
  ASSERT_FALSE(zelsim.pty.empty());
  const Outcome r = Run("SETUPZEL_COM1=" + zelsim.pty,
                        "transfer write shop.cld items customers --com 1 --resume resume.txt --trace trace.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "resume.txt"));
  EXPECT_EQ(Slurp(dir_ / "trace.txt").find(" 74 02 80 3E "), std::string::npos) << "the item table was opened again";
  EXPECT_EQ(zelsim.Stop(), 0);
  DataImage on_register;
  ASSERT_EQ(ReadDatabaseFile(memory, on_register.raw()), FileStatus::kOk);
  EXPECT_TRUE(CompareKind(Kind::kItems, source, on_register).empty());
  EXPECT_TRUE(CompareKind(Kind::kCustomers, source, on_register).empty());
}

TEST_F(Zelctl, FleetOfEightZelsimRegistersOneFailing) {
  std::vector<std::unique_ptr<ZelsimProcess>> registers;
  std::string lans;
  for (int i = 0; i < 8; ++i) {
    std::vector<std::string> args = {"--udp", "0", "--registration", "ZEL1000000" + std::to_string(i)};
    if (i == 2) args.push_back("--refuse-items");
    registers.push_back(std::make_unique<ZelsimProcess>(args));
    ASSERT_FALSE(registers.back()->udp_port.empty());
    // Half on the command line, half in the file.
    if (i < 4)
      lans += " --lan 127.0.0.1:" + registers.back()->udp_port;
    else
      std::ofstream(dir_ / "registers.txt", std::ios::app) << "127.0.0.1:" << registers.back()->udp_port << "\n";
  }
  ASSERT_EQ(WriteDatabaseFile(dir_ / "shop.cld", FilledImage(50, 5)), FileStatus::kOk);
  Outcome r = Run("", "fleet write shop.cld items vat" + lans + " --lan-file registers.txt --parallel 4");
  EXPECT_EQ(r.status, 1) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 9u) << r.out;
  for (int i = 0; i < 8; ++i) {
    const std::string& line = lines[static_cast<std::size_t>(i) + 1];
    EXPECT_NE(line.find("ZEL1000000" + std::to_string(i)), std::string::npos) << line;
    EXPECT_NE(line.find(i == 2 ? "ΑΠΟΤΥΧΙΑ" : "ΟΚ"), std::string::npos) << line;
  }
  EXPECT_NE(lines[3].find("Είδη"), std::string::npos) << lines[3];

  // Read back into one database per register, named by its number.
  r = Run("", "fleet read back vat" + lans);
  EXPECT_EQ(r.status, 0) << r.err;
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(fs::exists(dir_.path() / "back" / ("ZEL1000000" + std::to_string(i) + ".cld")));
}

}  // namespace
}  // namespace zel::e2e
