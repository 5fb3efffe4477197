#include "link/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace zel {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  std::string path_ =
      (std::filesystem::temp_directory_path() / ("zel-settings-" + std::to_string(::getpid()) + ".cfg")).string();
  void TearDown() override { std::filesystem::remove(path_); }
  std::string Bytes() const {
    std::ifstream f(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }
};

TEST_F(SettingsTest, WritesPortReservedWordAndAddressInOrder) {
  LinkSelection s;
  s.port = 12;
  s.ip = {10, 1, 2, 3};
  s.baud_choice = 1;  // never stored
  ASSERT_TRUE(SaveSettings(s, path_));
  EXPECT_EQ(Bytes(), std::string("\x0C\x00\x01\x00\x0A\x01\x02\x03", 8));
  LinkSelection back;
  LoadSettings(back, path_);
  EXPECT_EQ(back.port, 12);
  EXPECT_EQ(back.reserved, 1);
  EXPECT_EQ(back.ip, (IPv4{10, 1, 2, 3}));
  EXPECT_EQ(back.baud_choice, 0);
}

TEST_F(SettingsTest, MissingOrShortFileKeepsWhatWasNotRead) {
  LinkSelection s;
  s.port = 3;
  s.ip = {1, 2, 3, 4};
  LoadSettings(s, path_ + ".missing");
  EXPECT_EQ(s.port, 3);
  EXPECT_EQ(s.ip, (IPv4{1, 2, 3, 4}));

  std::ofstream(path_, std::ios::binary) << std::string("\x07\x00\x01\x00\x0A", 5);
  LoadSettings(s, path_);
  EXPECT_EQ(s.port, 7);
  EXPECT_EQ(s.reserved, 1);
  EXPECT_EQ(s.ip, (IPv4{1, 2, 3, 4})) << "a cut address is not taken";

  EXPECT_FALSE(SaveSettings(s, "/nonexistent-folder/OV_Setup.cfg"));
}

}  // namespace
}  // namespace zel
