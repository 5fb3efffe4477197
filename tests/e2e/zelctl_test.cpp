// zelctl against the zelsim program, process to process, as a dealer's
// script would run them: the connection check, a write and a read back into
// a database file, and a read that fails half-way leaving the file as it was.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "core/database_file.h"
#include "e2e_support.h"
#include "zelsim_process.h"
#include "images.h"

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

}  // namespace
}  // namespace zel::e2e
