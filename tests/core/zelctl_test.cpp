// zelctl new / info / dump, run as a dealer's script would run them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/cp1253.h"
#include "core/database_file.h"
#include "support/fifo.h"
#include "support/files.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

using Outcome = test::ZelctlOutcome;

class ZelctlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zelctl-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Slurp(const fs::path& p) { return test::Slurp(p); }

  Outcome Zelctl(const std::string& args) { return test::RunZelctl(dir_, args); }

  fs::path dir_;
};

TEST_F(ZelctlTest, NewWritesTheDefaultByteImage) {
  const fs::path file = dir_ / "new.cld";
  const Outcome r = Zelctl("new " + file.string());
  EXPECT_EQ(r.status, 0) << r.err;
  const fs::path expected = dir_ / "expected.cld";
  ASSERT_EQ(WriteDatabaseFile(expected.string(), DataImage()), FileStatus::kOk);
  EXPECT_EQ(Slurp(file), Slurp(expected));
}

// A database is never replaced by a new one in silence: not an existing
// file, not through a symbolic link (dangling or not); --force does it.
TEST_F(ZelctlTest, NewRefusesAnExistingFileOrLinkWithoutForce) {
  const fs::path shop = dir_ / "shop.cld";
  ASSERT_EQ(WriteDatabaseFile(shop.string(), DataImage()), FileStatus::kOk);
  DataImage changed;
  changed.item(0).set_price(4242);
  ASSERT_EQ(WriteDatabaseFile(shop.string(), changed), FileStatus::kOk);
  const std::string kept = Slurp(shop);
  const fs::path dangling = dir_ / "dangling.cld";
  fs::create_symlink(dir_ / "nowhere" / "x.cld", dangling);

  for (const fs::path& target : {shop, dangling}) {
    const Outcome r = Zelctl("new " + target.string());
    EXPECT_EQ(r.status, 1) << target;
    EXPECT_EQ(r.err, "Το αρχείο " + target.string() +
                         " υπάρχει ήδη: δεν αντικαταστάθηκε (δώστε --force για αντικατάσταση).\n");
  }
  EXPECT_EQ(Slurp(shop), kept);
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_FALSE(fs::exists(dir_ / "nowhere"));

  EXPECT_EQ(Zelctl("new " + shop.string() + " --force").status, 0);
  const fs::path expected = dir_ / "expected.cld";
  ASSERT_EQ(WriteDatabaseFile(expected.string(), DataImage()), FileStatus::kOk);
  EXPECT_EQ(Slurp(shop), Slurp(expected));
  EXPECT_EQ(Zelctl("new " + shop.string() + " --frobnicate").status, 2);
}

TEST_F(ZelctlTest, BadFilesAreRefusedWithTheSystemMessageAndNothingWritten) {
  const fs::path bad = dir_ / "bad.cld";
  std::ofstream(bad, std::ios::binary) << std::string(1000, 'x');
  for (const std::string cmd : {"info ", "dump "}) {
    const Outcome r = Zelctl(cmd + bad.string() + (cmd == "dump " ? " items" : ""));
    EXPECT_NE(r.status, 0) << cmd;
    EXPECT_EQ(r.err, "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!\nbad.cld: δεν είναι αρχείο βάσης δεδομένων Setup ZEL\n")
        << cmd;
    EXPECT_EQ(r.out, "") << cmd;
  }
  EXPECT_EQ(Slurp(bad), std::string(1000, 'x'));
  EXPECT_NE(Zelctl("info " + (dir_ / "missing.cld").string()).status, 0);
  EXPECT_EQ(Zelctl("frobnicate").status, 2);
  EXPECT_EQ(Zelctl("dump " + bad.string() + " nosuchtable").status, 1) << "the file is checked first";
}

TEST_F(ZelctlTest, InfoAndDumpPrintReadableUtf8) {
  const fs::path file = dir_ / "shop.cld";
  DataImage db;
  StoreText(db.item(99).name(), cp1253::Encode("ΚΑΦΕΣ ΕΛΛΗΝΙΚΟΣ"));
  db.item(99).set_price(12345);
  db.item(99).set_price_decimals(3);
  db.customer(2).set_tax_number(123456789);
  StoreText(db.customer(2).company(), cp1253::Encode("ΨΗΤΟΠΩΛΕΙΟ Ο ΜΑΚΗΣ"));
  ASSERT_EQ(WriteDatabaseFile(file.string(), db), FileStatus::kOk);

  const Outcome info = Zelctl("info " + file.string());
  ASSERT_EQ(info.status, 0) << info.err;
  for (const char* expected :
       {"  SETUP ZEL", "ΑΦΜ: 000000000", "Είδη (6):", "100: \"ΚΑΦΕΣ ΕΛΛΗΝΙΚΟΣ\" 12,345",
        "Πελάτες (1):", "ΨΗΤΟΠΩΛΕΙΟ Ο ΜΑΚΗΣ", "ΦΗΜ IP: 192.168.1.50", "αντίθεση οθόνης (λέξη 1, bit 16-18): 3",
        "Β: 13,00 %", "ΜΕΤΡΗΤΑ", "ΤΜΗΜΑ 24", "ΧΕΙΡΙΣΤΗΣ 25", "/eafdss/myweb/websend.php"})
    EXPECT_NE(info.out.find(expected), std::string::npos) << expected;

  const Outcome dump = Zelctl("dump " + file.string() + " items");
  ASSERT_EQ(dump.status, 0);
  EXPECT_EQ(std::count(dump.out.begin(), dump.out.end(), '\n'), 6);
  const Outcome all = Zelctl("dump " + file.string() + " items --all");
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 16000);
}

TEST_F(ZelctlTest, NewNeverReplacesAFileTheUserMayNotWrite) {
  const fs::path file = dir_ / "locked.cld";
  std::ofstream(file, std::ios::binary) << "not to be lost";
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // Not even with --force.
  const Outcome r = Zelctl("new " + file.string() + " --force");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Σφάλμα εγγραφής!\nlocked.cld: το αρχείο είναι μόνο για ανάγνωση\n");
  EXPECT_EQ(Slurp(file), "not to be lost");
}

TEST_F(ZelctlTest, InfoOfAFifoIsRefusedWithoutWaiting) {
  const support::Fifo fifo((dir_ / "pipe.cld").string());
  ASSERT_TRUE(fifo.made());
  Outcome r{};
  EXPECT_TRUE(fifo.Returns([&] { r = Zelctl("info " + fifo.path()); }));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!\npipe.cld: δεν είναι κανονικό αρχείο\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(ZelctlTest, ControlBytesOfStoredTextsAreShownAsEscapes) {
  // A crafted file: an escape sequence that would clear the screen, a line
  // feed that would split the record, a DEL, and a print size byte of 0x07.
  const fs::path file = dir_ / "crafted.cld";
  DataImage db;
  StoreText(db.item(0).name(), std::string("A\x1b[2JB\nC\x7f"));
  StoreText(db.customer(0).company(), std::string("X\rY"));
  db.customer(0).set_tax_number(1);
  db.parameters().print_size(3) = 0x07;
  ASSERT_EQ(WriteDatabaseFile(file.string(), db), FileStatus::kOk);

  const Outcome dump = Zelctl("dump " + file.string() + " items");
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_NE(dump.out.find("1: \"A\\x1b[2JB\\x0aC\\x7f"), std::string::npos) << dump.out.substr(0, 80);
  EXPECT_EQ(std::count(dump.out.begin(), dump.out.end(), '\n'), 5) << "one line per record";
  const Outcome info = Zelctl("info " + file.string());
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("\"X\\x0dY\""), std::string::npos);
  EXPECT_NE(info.out.find("λογότυπο  3 [\\x07]"), std::string::npos);
  for (const Outcome* o : {&dump, &info})
    EXPECT_TRUE(std::none_of(o->out.begin(), o->out.end(), [](char c) {
      const auto b = static_cast<unsigned char>(c);
      return (b < 0x20 && c != '\n') || b == 0x7F;
    })) << "no raw control byte reaches the terminal";
}

}  // namespace
}  // namespace zel
