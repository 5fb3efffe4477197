// zelctl logo: a customer's picture checked and loaded without the window,
// with the logo panel's loader and messages; the database is written only
// when the picture was taken.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/database_file.h"
#include "support/files.h"
#include "support/one_bit_bmp.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

using Outcome = test::ZelctlOutcome;

class ZelctlLogoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zelctl-logo-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    db_ = (dir_ / "shop.cld").string();
    ASSERT_EQ(WriteDatabaseFile(db_, DataImage()), FileStatus::kOk);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Picture(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  Outcome Zelctl(const std::string& args) { return test::RunZelctl(dir_, args); }
  DataImage Db() {
    DataImage image;
    EXPECT_EQ(ReadDatabaseFile(db_, image.raw()), FileStatus::kOk);
    return image;
  }

  fs::path dir_;
  std::string db_;
};

TEST_F(ZelctlLogoTest, LoadsAV5PictureAndClearsIt) {
  // As an image tool writes it: V5 header, white listed first; the top 40
  // rows black.
  const std::string bmp =
      Picture("logo.bmp", support::OneBitBmp(384, 100, [](int row, int) { return row < 40; }, {124, true}));
  Outcome r = Zelctl("logo " + db_ + " " + bmp);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Γραφικό λογότυπο: 40 γραμμές με κουκκίδες\n");
  DataImage db = Db();
  const ConstBytes logo = std::as_const(db).logo();
  EXPECT_TRUE(std::all_of(logo.begin(), logo.begin() + 40 * 48, [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_TRUE(std::all_of(logo.begin() + 40 * 48, logo.end(), [](std::uint8_t b) { return b == 0; }));

  r = Zelctl("logo " + db_ + " --clear");
  ASSERT_EQ(r.status, 0) << r.err;
  db = Db();
  EXPECT_TRUE(std::all_of(std::as_const(db).logo().begin(), std::as_const(db).logo().end(),
                          [](std::uint8_t b) { return b == 0; }));
}

TEST_F(ZelctlLogoTest, ARefusedPictureSaysWhyAndLeavesTheDatabase) {
  const std::string before = test::Slurp(db_);
  const std::string wide = Picture("wide.bmp", support::OneBitBmp(400, 80));
  Outcome r = Zelctl("logo " + db_ + " " + wide);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "Το αρχείο δε βρέθηκε ή λάθος τύπος εικόνας - bitmap, black/white, 384x180 px (max)\n"
            "wide.bmp: πλάτος 400 px αντί για 384\n");
  r = Zelctl("logo " + db_ + " " + (dir_ / "none.bmp").string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("none.bmp: δεν υπάρχει τέτοιο αρχείο"), std::string::npos);
  EXPECT_EQ(test::Slurp(db_), before);
  EXPECT_EQ(Zelctl("logo " + db_).status, 2);
}

}  // namespace
}  // namespace zel
