// The logo panel: the BMP loader's size rules and bit order (with pictures
// written by ImageMagick as fixtures), the header/footer placeholder rules,
// the print-size corrections on leaving and the preview geometry.
#include "editors/logo_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "core/bytes.h"
#include "harness.h"
#include "support/fifo.h"
#include "support/one_bit_bmp.h"

namespace zel::editors {
namespace {

using test::FakePanel;
using test::Greek;

std::string Fixture(const char* name) { return std::string(ZEL_SOURCE_DIR) + "/tests/editors/data/" + name; }

std::vector<std::uint8_t> Bmp(std::uint32_t width, std::int32_t height) { return support::OneBitBmp(width, height); }
std::vector<std::uint8_t> BlackBmp(std::uint32_t width, std::int32_t height) {
  return support::OneBitBmp(width, height, support::AllBlack);
}

std::string Write(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::uint8_t At(const DataImage& image, int row, int byte) {
  return image.logo()[static_cast<std::size_t>(row * 48 + byte)];
}

class LogoTest : public ::testing::Test {
 protected:
  DataImage image_;
  zel::test::ScriptedUi ui_;
  EditorShared shared_;
};

TEST_F(LogoTest, ImageMagickPicturesLoadTopRowFirstMirroredAndInverted) {
  ASSERT_TRUE(LoadLogoFile(image_, ui_, Fixture("logo_384x80.bmp")));
  EXPECT_EQ(At(image_, 0, 0), 0xFF) << "eight black pixels at the top left";
  EXPECT_EQ(At(image_, 1, 1), 0x02) << "pixel 9 of row 1 is bit 1 of byte 1";
  EXPECT_EQ(At(image_, 79, 47), 0x80) << "the bottom-right pixel is bit 7 of the last byte";
  int dots = 0;
  for (std::uint8_t b : image_.logo()) dots += std::popcount(b);
  EXPECT_EQ(dots, 10);
  EXPECT_TRUE(image_.state.modified);
  EXPECT_EQ(image_.state.logo_present, 1);

  ASSERT_TRUE(LoadLogoFile(image_, ui_, Fixture("logo_384x180.bmp")));
  EXPECT_EQ(At(image_, 89, 47), 0x00);
  EXPECT_EQ(At(image_, 90, 0), 0xFF);
  EXPECT_EQ(At(image_, 179, 47), 0xFF);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LogoTest, SizeRules) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> file;
    bool loads;
  } cases[] = {
      {"384 x 180 of 8702 bytes", BlackBmp(384, 180), true},
      {"384 x 80", BlackBmp(384, 80), true},
      {"384 x 181", BlackBmp(384, 181), false},
      {"383 wide", BlackBmp(383, 80), false},
      {"negative height", BlackBmp(384, -80), false},
      {"one extra byte", BlackBmp(384, 80), false},
      {"one byte short", BlackBmp(384, 80), false},
      {"shorter than its header", std::vector<std::uint8_t>(20, 0), false},
  };
  cases[5].file.push_back(0);
  cases[6].file.pop_back();
  ASSERT_EQ(cases[0].file.size(), 8702u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> bitmap(8640, 0xAA);
    EXPECT_EQ(DecodeLogoBmp(c.file, bitmap), c.loads);
    const auto rows = c.loads ? static_cast<std::size_t>(le::GetI32(c.file.data() + 22)) : 0;
    EXPECT_TRUE(std::all_of(bitmap.begin(), bitmap.begin() + static_cast<std::ptrdiff_t>(rows * 48),
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(std::all_of(bitmap.begin() + static_cast<std::ptrdiff_t>(rows * 48), bitmap.end(), [](std::uint8_t b) {
      return b == 0;
    })) << "rows the picture does not fill stay zero";
  }
}

TEST_F(LogoTest, PicturesFromImageToolsLoadWhateverTheirHeaderAndColourOrder) {
  // A diagonal and one black byte: any bit or row order slip shows.
  auto picture = [](int row, int x) { return x == 2 * row || (row == 5 && x < 8); };
  std::vector<std::uint8_t> expected(8640);
  ASSERT_TRUE(DecodeLogoBmp(support::OneBitBmp(384, 80, picture), expected));
  EXPECT_EQ(expected[0], 0x01) << "pixel 0 of row 0 is a dot";
  EXPECT_EQ(expected[5 * 48], 0xFF);
  EXPECT_EQ(expected[79 * 48 + 19], 0x40) << "pixel 158 of row 79";

  const struct {
    const char* what;
    support::BmpForm form;
  } forms[] = {
      {"V4 header (108 bytes)", {108}},
      {"V5 header (124 bytes)", {124}},
      {"white listed first", {40, true}},
      {"V5 header, white listed first", {124, true}},
  };
  for (const auto& f : forms) {
    SCOPED_TRACE(f.what);
    std::vector<std::uint8_t> bitmap(8640, 0xAA);
    BmpFault fault = BmpFault::kSize;
    EXPECT_TRUE(DecodeLogoBmp(support::OneBitBmp(384, 80, picture, f.form), bitmap, &fault));
    EXPECT_EQ(fault, BmpFault::kOk);
    EXPECT_EQ(bitmap, expected) << "the same dots, never a black block with white text";
  }
  // A V5 file may carry a colour profile after the rows.
  std::vector<std::uint8_t> with_profile = support::OneBitBmp(384, 80, picture, {124});
  with_profile.resize(with_profile.size() + 3144, 0x11);
  std::vector<std::uint8_t> bitmap(8640);
  EXPECT_TRUE(DecodeLogoBmp(with_profile, bitmap));
  EXPECT_EQ(bitmap, expected);

  const std::string path = Write(support::OneBitBmp(384, 180, support::AllBlack, {124, true}), "v5.bmp");
  ASSERT_TRUE(LoadLogoFile(image_, ui_, path));
  EXPECT_TRUE(std::all_of(image_.logo().begin(), image_.logo().end(), [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LogoTest, RefusalsNameTheirCause) {
  auto v5 = [](std::int32_t height, support::BmpForm form = {124}) {
    return support::OneBitBmp(384, height, {}, form);
  };
  std::vector<std::uint8_t> compressed = v5(80);
  compressed[30] = 1;
  std::vector<std::uint8_t> short_v5 = v5(80);
  short_v5.pop_back();
  std::vector<std::uint8_t> not_bmp = v5(80);
  not_bmp[0] = 'X';
  std::vector<std::uint8_t> classic_plus_one = Bmp(384, 80);
  classic_plus_one.push_back(0);
  const struct {
    const char* what;
    std::vector<std::uint8_t> file;
    BmpFault fault;
    const char* cause;
  } cases[] = {
      {"V5 181 rows", v5(181), BmpFault::kHeight, "ύψος 181 px: το πολύ 180"},
      {"V5 eight bits", v5(80, {124, false, 8}), BmpFault::kDepth,
       "8 bit ανά κουκκίδα: χρειάζεται ασπρόμαυρη εικόνα (1 bit)"},
      {"V5 compressed", compressed, BmpFault::kCompressed, "συμπιεσμένη εικόνα"},
      {"V5 one byte short", short_v5, BmpFault::kSize, "το μέγεθος του αρχείου δεν ταιριάζει με την εικόνα"},
      {"not BM", not_bmp, BmpFault::kNotBmp, "δεν είναι εικόνα BMP"},
      {"classic with one extra byte", classic_plus_one, BmpFault::kSize,
       "το μέγεθος του αρχείου δεν ταιριάζει με την εικόνα"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> bitmap(8640, 0xAA);
    BmpFault fault = BmpFault::kOk;
    EXPECT_FALSE(DecodeLogoBmp(c.file, bitmap, &fault));
    EXPECT_EQ(fault, c.fault);
    EXPECT_EQ(BmpFaultText(fault, c.file), c.cause);
    EXPECT_TRUE(std::all_of(bitmap.begin(), bitmap.end(), [](std::uint8_t b) { return b == 0; }));
  }
}

TEST_F(LogoTest, ARefusedFileLeavesTheLogoAsItWas) {
  ASSERT_TRUE(LoadLogoFile(image_, ui_, Fixture("logo_384x80.bmp")));
  const DataImage before = image_;
  image_.state.modified = false;
  const support::Fifo fifo(::testing::TempDir() + "logo-fifo.bmp");
  ASSERT_TRUE(fifo.made());
  const std::pair<std::string, std::string> refused[] = {
      {Write(Bmp(384, 181), "logo181.bmp"), "logo181.bmp: ύψος 181 px: το πολύ 180"},
      {Write(Bmp(383, 80), "logo383.bmp"), "logo383.bmp: πλάτος 383 px αντί για 384"},
      {::testing::TempDir() + "no-such-file.bmp", "no-such-file.bmp: δεν υπάρχει τέτοιο αρχείο"},
      {fifo.path(), "logo-fifo.bmp: δεν είναι κανονικό αρχείο"},
  };
  for (const auto& [path, cause] : refused) {
    SCOPED_TRACE(path);
    ui_.messages.clear();
    bool loaded = true;
    EXPECT_TRUE(fifo.Returns([&] { loaded = LoadLogoFile(image_, ui_, path); })) << "never waits for a writer";
    EXPECT_FALSE(loaded);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text,
              "Το αρχείο δε βρέθηκε ή λάθος τύπος εικόνας - bitmap, black/white, 384x180 px (max)\n" + cause);
    EXPECT_EQ(ui_.messages[0].icon, Icon::kError);
    EXPECT_TRUE(ui_.messages[0].system_modal);
    EXPECT_TRUE(image_ == before);
    EXPECT_EQ(image_.state.logo_present, 1);
    EXPECT_FALSE(image_.state.modified);
  }
}

TEST_F(LogoTest, LoadButtonAsksForABitmapAndCancelChangesNothing) {
  LogoPanel panel(image_, ui_, shared_);
  FakePanel view(panel);
  const DataImage before = image_;
  ui_.files.push_back(std::nullopt);
  EXPECT_FALSE(panel.OnLoad());
  ASSERT_EQ(ui_.dialogs.size(), 1u);
  EXPECT_EQ(ui_.dialogs[0].mode, FileDialog::Mode::kOpen);
  EXPECT_EQ(ui_.dialogs[0].default_extension, ".bmp");
  EXPECT_EQ(ui_.dialogs[0].filter, "Bitmap Files (*.bmp)|*.bmp||");
  EXPECT_TRUE(image_ == before);
  EXPECT_EQ(image_.state.logo_present, 0);
  EXPECT_FALSE(image_.state.modified);

  ui_.files.push_back(Fixture("logo_384x80.bmp"));
  EXPECT_TRUE(panel.OnLoad());
  EXPECT_EQ(image_.state.logo_present, 1);
  EXPECT_EQ(view.repaints, 2);
}

TEST_F(LogoTest, HeaderFooterPlaceholderFollowsThePrintSize) {
  LogoPanel panel(image_, ui_, shared_);
  FakePanel view(panel);
  panel.Show();
  const std::string placeholder = Greek("[Εικονα]") + std::string(24, ' ');
  EXPECT_EQ(PicturePlaceholder(), placeholder);
  auto line12 = [&] {
    return std::string(image_.parameters().print_line(12).begin(), image_.parameters().print_line(12).end());
  };

  auto& size = view.edit(LineSizeControl(12));
  view.Focus(LineSizeControl(12));
  size.SelectAll();
  size.Type("5");
  panel.OnEnter();
  EXPECT_EQ(image_.parameters().print_size(12), '5');
  EXPECT_EQ(line12(), placeholder);
  EXPECT_EQ(view.edit(LineTextControl(12)).text, Greek("[Εικονα]"));

  view.Focus(LineSizeControl(12));
  size.SelectAll();
  size.Type("1");
  panel.OnEnter();
  EXPECT_EQ(line12(), std::string(32, '\0'));
  EXPECT_EQ(view.edit(LineTextControl(12)).text, "");

  StoreText(image_.parameters().print_line(12), Greek("[Εικονα!"));
  panel.RefreshHeaderFooter();
  EXPECT_EQ(view.edit(LineTextControl(12)).text, Greek("[Εικονα!")) << "a text unlike the placeholder stays";
  StoreText(image_.parameters().print_line(5), placeholder);
  image_.parameters().print_size(5) = '1';
  NormaliseHeaderFooter(image_);
  EXPECT_EQ(TextOf(image_.parameters().print_line(5)), Greek("[Εικονα]")) << "logo lines are not header lines";
}

TEST_F(LogoTest, SizeFieldsTakeTheirDigitsOnly) {
  image_.parameters().print_size(3) = '3';
  LogoPanel panel(image_, ui_, shared_);
  FakePanel view(panel);
  panel.Show();
  auto& logo_size = view.edit(LineSizeControl(3));
  logo_size.SelectAll();
  logo_size.Type("5");
  EXPECT_EQ(logo_size.text, "3");
  auto& header_size = view.edit(LineSizeControl(14));
  header_size.SelectAll();
  header_size.Type("6");
  EXPECT_EQ(header_size.text, "6");
  view.Focus(LineSizeControl(3));
  logo_size.SelectAll();
  logo_size.Press(Key::kBackspace);
  view.Focus(LineTextControl(1));
  EXPECT_EQ(image_.parameters().print_size(3), '1') << "an empty size stores 1";
  EXPECT_EQ(ui_.beeps.size(), 1u);
}

TEST_F(LogoTest, LeavingThePanelCorrectsPrintSizesOnly) {
  const Parameters p = image_.parameters();
  p.print_size(2) = '0';
  p.print_size(9) = '5';
  p.print_size(11) = '6';
  p.print_size(12) = '7';
  p.print_size(13) = 0;
  p.set_machine_number(42);
  DataImage expected = image_;
  const Parameters e = expected.parameters();
  e.print_size(2) = '1';
  e.print_size(9) = '1';
  e.print_size(12) = '1';
  e.print_size(13) = '1';
  NormaliseHeaderFooter(expected);  // showing the panel puts the placeholder in line 11
  LogoPanel panel(image_, ui_, shared_);
  panel.Show();
  panel.Hide();
  EXPECT_TRUE(image_ == expected);
  EXPECT_EQ(image_.parameters().print_size(11), '6');
}

TEST(LogoPreview, GeometryOfTheDots) {
  const Rect box{10, 20, 410, 230};  // 400 x 210
  EXPECT_EQ(PreviewOrigin(box), (Point{8, 20}));
  const auto marks = ScaleMarks(box);
  EXPECT_EQ(marks[0], (Point{9, 20 + 20 + 30}));
  EXPECT_EQ(marks[1], (Point{411, 20 + 20 + 30}));
  EXPECT_EQ(marks[9], (Point{411, 20 + 20 + 150}));
  EXPECT_EQ(DotPosition(box, 3, 2, 5), (Point{10 + 8 + 16 + 5, 20 + 20 + 3}));

  const Rect small{0, 0, 300, 100};
  EXPECT_EQ(PreviewOrigin(small), (Point{0, 10})) << "never left of the box, at least 10 down";

  DataImage image;
  image.logo()[48 * 3 + 2] = 0x20;
  EXPECT_TRUE(LogoDot(image, 3, 2, 5));
  EXPECT_FALSE(LogoDot(image, 3, 2, 4));
}

}  // namespace
}  // namespace zel::editors
