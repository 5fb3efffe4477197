// zelctl transfer and check, run as a dealer's script runs them, against the
// scripted register on the UDP loopback.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "core/cp1253.h"
#include "core/database_file.h"
#include "link/transfer.h"
#include "link_fixture.h"
#include "register_model.h"

namespace zel {
namespace {

namespace fs = std::filesystem;
using test::ByteVector;

using Outcome = test::ZelctlOutcome;

class ZelctlTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reg_ = std::make_unique<test::FakeRegister>(model_.Handler());
    port_ = reg_->ServeUdp();
  }

  // The model goes to the register's thread, and comes back, under the
  // register's lock: zelctl is another process.
  Outcome Zelctl(const std::string& args) {
    (void)reg_->Requests();
    Outcome out = test::RunZelctl(dir_.path(), args, "SETUPZEL_REGISTER_PORT=" + std::to_string(port_));
    (void)reg_->Requests();
    return out;
  }

  static ByteVector ItemRecord(std::string_view name) {
    ByteVector v(56, 0);
    const std::string n = cp1253::Encode(name);
    std::copy(n.begin(), n.end(), v.begin() + 4);
    std::fill(v.begin() + 4 + static_cast<std::ptrdiff_t>(n.size()), v.begin() + 30, std::uint8_t{' '});
    return v;
  }

  test::TempDir dir_;
  test::RegisterModel model_;
  std::unique_ptr<test::FakeRegister> reg_;
  std::uint16_t port_ = 0;
};

TEST_F(ZelctlTransferTest, ReadIntoANewFileSavesItWhenEverythingCameIn) {
  model_.items[5] = ItemRecord("ΨΩΜΙ");
  model_.vat = {0x60, 0x09, 0, 0, 0, 0, 0, 0};
  const Outcome r = Zelctl("transfer read shop.cld items vat --lan 127.0.0.1");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(std::string(kMsgTransferDone)), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("[V] Είδη"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("[V] Κατηγορίες ΦΠΑ"), std::string::npos) << r.err;
  DataImage back;
  ASSERT_EQ(ReadDatabaseFile(dir_ / "shop.cld", back.raw()), FileStatus::kOk);
  EXPECT_EQ(TextOf(back.item(5).name()), cp1253::Encode("ΨΩΜΙ"));
  EXPECT_EQ(back.vat_rate(0), 2400);
  EXPECT_TRUE(fs::exists(dir_ / "OV_Log.txt"));
}

// The success line comes only once the file is saved: a read whose save
// fails says the save error and no success.
TEST_F(ZelctlTransferTest, ReadWhoseSaveFailsNeverSaysItWentThrough) {
  ASSERT_EQ(WriteDatabaseFile(dir_ / "shop.cld", DataImage()), FileStatus::kOk);
  fs::permissions(dir_ / "shop.cld", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  model_.items[5] = ItemRecord("ΨΩΜΙ");
  Outcome r = Zelctl("transfer read shop.cld items --lan 127.0.0.1");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.find(std::string(kMsgTransferDone)), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("Σφάλμα εγγραφής!\nshop.cld: το αρχείο είναι μόνο για ανάγνωση"), std::string::npos) << r.err;

  fs::permissions(dir_ / "shop.cld", fs::perms::owner_read | fs::perms::owner_write);
  r = Zelctl("transfer read shop.cld items --lan 127.0.0.1");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::size_t done = r.out.find(std::string(kMsgTransferDone));
  ASSERT_NE(done, std::string::npos) << r.out;
  EXPECT_LT(done, r.out.find("Αποθηκεύτηκε: shop.cld")) << r.out;
}

TEST_F(ZelctlTransferTest, ReadThatFailsLeavesTheFileAsItWas) {
  DataImage before;
  StoreText(before.item(9).name(), "OLD");
  ASSERT_EQ(WriteDatabaseFile(dir_ / "shop.cld", before), FileStatus::kOk);
  const std::string bytes = test::Slurp(dir_ / "shop.cld");
  model_.items[1] = ItemRecord("NEW");
  model_.refuse = {0x6B};
  const Outcome r = Zelctl("transfer read shop.cld items vat --lan 127.0.0.1");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("[X] Κατηγορίες ΦΠΑ"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(std::string(kMsgTransferIncomplete)), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("δεν άλλαξε"), std::string::npos) << r.err;
  EXPECT_EQ(test::Slurp(dir_ / "shop.cld"), bytes);
}

TEST_F(ZelctlTransferTest, WriteSendsTheFileAndReportsNoFileChange) {
  DataImage image;
  image.raw().fill(0);
  StoreText(image.item(3).name(), "BREAD");
  ASSERT_EQ(WriteDatabaseFile(dir_ / "shop.cld", image), FileStatus::kOk);
  const std::string bytes = test::Slurp(dir_ / "shop.cld");
  const Outcome r = Zelctl("transfer write shop.cld items --lan 127.0.0.1");
  EXPECT_EQ(r.status, 0) << r.err;
  reg_->Requests();
  ASSERT_EQ(model_.items_written.size(), 1u);
  EXPECT_EQ(ByteVector(model_.items_written[3].begin() + 4, model_.items_written[3].begin() + 9),
            ByteVector({'B', 'R', 'E', 'A', 'D'}));
  EXPECT_EQ(test::Slurp(dir_ / "shop.cld"), bytes);
}

TEST_F(ZelctlTransferTest, SalesReportGoesToTheReportsFolder) {
  model_.items[0] = ItemRecord("A");
  fs::create_directories(dir_.path() / "reports");
  const Outcome r = Zelctl("transfer read shop.cld items --sales-report --reports reports --lan 127.0.0.1");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir_.path() / "reports" / "AP_ABC12345678.TXT"));
  EXPECT_NE(r.out.find("reports/AP_ABC12345678.CSV"), std::string::npos) << r.out;
}

TEST_F(ZelctlTransferTest, CheckAndMisuse) {
  Outcome r = Zelctl("check --lan 127.0.0.1");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(std::string(kMsgTransferDone)), std::string::npos);
  r = Zelctl("check --lan 0.0.0.5");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(std::string(kMsgLanNotOpened)), std::string::npos);
  for (const char* misuse : {"transfer write shop.cld fiscal-memory", "transfer read shop.cld vat --sales-report",
                             "transfer sideways shop.cld items", "transfer read shop.cld wheels",
                             "transfer read shop.cld items --com 21", "check --baud 4800"}) {
    EXPECT_EQ(Zelctl(misuse).status, 2) << misuse;
  }
  EXPECT_FALSE(fs::exists(dir_ / "shop.cld"));
}

}  // namespace
}  // namespace zel
