// Pagination of report text files: pages by form feeds, the 60-line paging,
// the pieces of long lines, blanks for control bytes, the geometry of the
// text block and the footer.
#include "console/report_pages.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zel::console {
namespace {

namespace fs = std::filesystem;

// 1200 dpi keeps every conversion exact enough to check by hand.
constexpr DeviceResolution k1200{1200, 1200};

std::string Lines(int count, const std::string& prefix = "line ") {
  std::string text;
  for (int i = 1; i <= count; ++i) text += prefix + std::to_string(i) + "\r\n";
  return text;
}

class ReportPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("report-pages-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& bytes) {
    const fs::path p = dir_ / "report.txt";
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }

  // Every page's printed lines.
  static std::vector<std::vector<std::string>> Pages(const std::string& path, const ReportMeasure& m) {
    std::vector<std::vector<std::string>> pages;
    for (int p = 1; p <= m.page_count; ++p) {
      const std::optional<ReportPage> page = PrintReportPage(path, m, p);
      EXPECT_TRUE(page.has_value()) << "page " << p;
      if (!page) break;
      std::vector<std::string> lines;
      for (const PageText& t : page->lines) lines.push_back(t.bytes);
      pages.push_back(lines);
    }
    return pages;
  }

  fs::path dir_;
};

TEST_F(ReportPagesTest, FormFeedLinesSplitPagesAndAreNotPrinted) {
  const std::string path = Write(Lines(10, "a") + "\f\r\n" + Lines(10, "b") + "\f\r\n" + Lines(5, "c") + "\f\r\n");
  const std::optional<ReportMeasure> m = MeasureReport(path, k1200);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->page_count, 3);
  EXPECT_EQ(m->form_feeds, 3);
  EXPECT_EQ(m->line_count, 28);
  EXPECT_FALSE(m->paged_by_marks);
  // The longest stretch counts its form-feed line: 1 + 10, plus blank, rule
  // and footer.
  EXPECT_EQ(m->lines_per_page, 11 + 3);
  const auto pages = Pages(path, *m);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].size(), 10u);
  EXPECT_EQ(pages[0].front(), "a1");
  EXPECT_EQ(pages[1].size(), 10u);
  EXPECT_EQ(pages[1].front(), "b1");
  EXPECT_EQ(pages[2], (std::vector<std::string>{"c1", "c2", "c3", "c4", "c5"}));
  for (int p = 1; p <= 3; ++p) {
    EXPECT_EQ(PrintReportPage(path, *m, p)->footer.bytes, " Page   " + std::to_string(p) + " from   3");
  }
}

// Reports without form feeds: up to 60 lines are one page sized to them;
// longer ones are paged every 60 lines rather than shrunk onto one page.
TEST_F(ReportPagesTest, ReportsWithoutFormFeedsArePagedEverySixtyLines) {
  struct Case {
    int lines;
    std::vector<std::size_t> page_sizes;
    int lines_per_page;
  };
  const Case cases[] = {
      {40, {40}, 43},
      {60, {60}, 63},
      {61, {60, 1}, 63},
      {150, {60, 60, 30}, 63},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    const std::string path = Write(Lines(c.lines));
    const std::optional<ReportMeasure> m = MeasureReport(path, k1200);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->lines_per_page, c.lines_per_page);
    EXPECT_EQ(m->paged_by_marks, c.lines > 60);
    const auto pages = Pages(path, *m);
    ASSERT_EQ(pages.size(), c.page_sizes.size());
    int next = 1;
    for (std::size_t p = 0; p < pages.size(); ++p) {
      ASSERT_EQ(pages[p].size(), c.page_sizes[p]);
      EXPECT_EQ(pages[p].front(), "line " + std::to_string(next));
      next += static_cast<int>(pages[p].size());
    }
    EXPECT_EQ(PrintReportPage(path, *m, m->page_count)->footer.bytes, PageFooter(m->page_count, m->page_count));
  }
}

TEST_F(ReportPagesTest, EmptyFileIsOnePageWithOnlyRuleAndFooter) {
  const std::string path = Write("");
  const std::optional<ReportMeasure> m = MeasureReport(path, k1200);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->page_count, 1);
  EXPECT_EQ(m->lines_per_page, 63);
  EXPECT_EQ(m->longest_line, 80);
  const std::optional<ReportPage> page = PrintReportPage(path, *m, 1);
  ASSERT_TRUE(page);
  EXPECT_TRUE(page->lines.empty());
  EXPECT_GT(page->rule_length, 0);
  EXPECT_EQ(page->footer.bytes, " Page   1 from   1");
}

TEST_F(ReportPagesTest, ControlBytesPrintAsBlanksAndGreekBytesUnchanged) {
  // "\tΣΥΝΟΛΟ\x01 12,50" in code page 1253, a bare carriage return inside,
  // and a last line without line end.
  const std::string greek = "\xD3\xD5\xCD\xCF\xCB\xCF";
  const std::string path = Write("\t" + greek + "\x01 12,50\r\nA\rB\r\nlast");
  const std::optional<ReportMeasure> m = MeasureReport(path, k1200);
  ASSERT_TRUE(m);
  EXPECT_EQ(Pages(path, *m), (std::vector<std::vector<std::string>>{{" " + greek + "  12,50", "A B", "last"}}));
  EXPECT_EQ(m->longest_line, 1 + 6 + 1 + 6);
}

TEST_F(ReportPagesTest, LongLinesAreReadInPiecesOf249Bytes) {
  const std::string exact(249, 'x');
  const std::string longer = std::string(249, 'y') + "zz";
  const std::string path = Write(exact + "\r\n" + longer + "\r\n" + "end\n");
  const std::optional<ReportMeasure> m = MeasureReport(path, k1200);
  ASSERT_TRUE(m);
  // A line of exactly 249 bytes stays one line; a longer one goes on as the
  // next line.
  EXPECT_EQ(Pages(path, *m), (std::vector<std::vector<std::string>>{{exact, std::string(249, 'y'), "zz", "end"}}));
  EXPECT_EQ(m->longest_line, 249);
}

TEST_F(ReportPagesTest, MoreThan200FormFeedsKeepPaging) {
  std::string text;
  for (int p = 1; p <= 251; ++p) text += "page " + std::to_string(p) + "\r\n\f\r\n";
  const std::string path = Write(text);
  const std::optional<ReportMeasure> m = MeasureReport(path, k1200);
  ASSERT_TRUE(m);
  // The form feed that ends the file opens no empty page.
  EXPECT_EQ(m->page_count, 251);
  for (const int p : {1, 200, 201, 251}) {
    const std::optional<ReportPage> page = PrintReportPage(path, *m, p);
    ASSERT_TRUE(page);
    ASSERT_EQ(page->lines.size(), 1u);
    EXPECT_EQ(page->lines[0].bytes, "page " + std::to_string(p));
  }
  EXPECT_EQ(PrintReportPage(path, *m, 251)->footer.bytes, " Page 251 from 251");
  EXPECT_FALSE(PrintReportPage(path, *m, 252));
  EXPECT_FALSE(PrintReportPage(path, *m, 0));
}

TEST_F(ReportPagesTest, TextBlockAndFontFollowTheDeviceResolution) {
  // 40 lines, the longest 80 bytes.
  const std::string path = Write(std::string(80, 'W') + "\r\n" + Lines(39));
  const std::optional<ReportMeasure> m = MeasureReport(path, k1200);
  ASSERT_TRUE(m);
  // 180 x 240 mm at 15, 20 mm.
  EXPECT_EQ(m->text_width, 8504);
  EXPECT_EQ(m->text_height, 11339);
  EXPECT_EQ(m->left, 709);
  EXPECT_EQ(m->top, 945);
  // w = 8504 / 80 = 106; h = 11339 / (43 + 2) = 251, limited to 5w/2 = 265
  // only when above it; 3h = 753 >= 5w = 530, so the width is w.
  EXPECT_EQ(m->font.cell_height, 251 - 7);
  EXPECT_EQ(m->font.char_width, 106);

  // A narrow report: the height rules and the width follows it, 3h/5.
  const std::string narrow = Write(Lines(9));
  std::optional<ReportMeasure> n = MeasureReport(narrow, k1200);
  ASSERT_TRUE(n);
  // longest "line 1" = 6: w = 1417; h = 11339 / 14 = 809; 3h < 5w.
  EXPECT_EQ(n->font.cell_height, 809 - 7);
  EXPECT_EQ(n->font.char_width, 3 * 809 / 5);

  // Lines sit one pitch apart below the origin; rule and footer follow the
  // page's lines per page.
  SetFontMetrics(*n, 800, 480);
  const std::optional<ReportPage> page = PrintReportPage(narrow, *n, 1);
  ASSERT_TRUE(page);
  ASSERT_EQ(page->lines.size(), 9u);
  EXPECT_EQ(page->lines[2].x, n->left);
  EXPECT_EQ(page->lines[2].y, n->top + 2 * 807);
  EXPECT_EQ(page->rule_y, n->top + (12 + 1) * 807);
  EXPECT_EQ(page->rule_length, 20 * 480);
  EXPECT_EQ(page->footer.y, n->top + (12 + 2) * 807);
}

TEST_F(ReportPagesTest, MissingFileEndsTheJob) {
  EXPECT_FALSE(MeasureReport((dir_ / "none.txt").string(), k1200));
  const std::string path = Write(Lines(3));
  const std::optional<ReportMeasure> m = MeasureReport(path, k1200);
  ASSERT_TRUE(m);
  fs::remove(path);
  EXPECT_FALSE(PrintReportPage(path, *m, 1));
}

}  // namespace
}  // namespace zel::console
