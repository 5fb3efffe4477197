// The items walk, the sales report with the sales clear, and the fiscal
// memory read with its report, between the program and the simulated
// register: the files hold what the register holds, named after the
// registration number the identification returned.
#include <cstdio>
#include <set>

#include "core/bytes.h"
#include "core/convert.h"
#include "e2e_support.h"
#include "images.h"
#include "sim/fiscal_memory.h"

namespace zel::e2e {
namespace {

class Reports : public E2eTest {};

TEST_P(Reports, TheItemsWalkAsksOncePerItemInUseAndStopsAtTheTableEnd) {
  DataImage programming = sim_.Programming();
  std::ranges::fill(programming.block(Block::kItems), std::uint8_t{0});
  DataImage no_items = programming;
  const std::vector<int> used = {0, 1, 2, 8999, 15998, 15999};
  for (int r : used) PutText(programming.item(r).name().data(), item::kNameWidth, "ΕΙΔΟΣ " + std::to_string(r + 1));
  sim_.SetProgramming(programming);

  DataImage image;
  PutText(image.item(500).name().data(), item::kNameWidth, "ΠΑΛΙΟ");  // not in the register: gone after the read
  ASSERT_TRUE(Transfer(Request(Direction::kRead, {Kind::kItems}), image).success);
  EXPECT_EQ(Differences(programming, image, KindRanges(Kind::kItems)), "");
  // Record 15999 is in use, so the walk ends with it: no request for 16000.
  EXPECT_EQ(sim_.counters().requests[0x73], used.size());
  EXPECT_EQ(ui_.progress_max, 16000);
  EXPECT_EQ(ui_.progress.back(), 0) << "the transfer's end resets the progress";
  EXPECT_EQ(ui_.progress[ui_.progress.size() - 2], 16000);

  // An empty register: one request, an empty table.
  sim_.SetProgramming(no_items);
  sim_.ResetCounters();
  ASSERT_TRUE(Transfer(Request(Direction::kRead, {Kind::kItems}), image).success);
  EXPECT_EQ(Differences(no_items, image, KindRanges(Kind::kItems)), "");
  EXPECT_EQ(sim_.counters().requests[0x73], 1u);

  // Writing sends the opening record and the named items only.
  sim_.ResetCounters();
  ASSERT_TRUE(Transfer(Request(Direction::kWrite, {Kind::kItems}), programming).success);
  EXPECT_EQ(sim_.counters().requests[0x74], used.size() + 1);
  EXPECT_EQ(Differences(programming, sim_.Programming(), KindRanges(Kind::kItems)), "");
}

std::string SalesLine(int record, std::string_view name, std::int32_t q, std::int32_t a) {
  char line[128];
  const std::string n(name.substr(0, name.find('\0')));
  std::snprintf(line, sizeof line, "%5d %32.32s %6d.%03d %7d.%02d", record + 1, n.c_str(), q / 1000, q % 1000, a / 100,
                a % 100);
  return line;
}

std::string CsvLine(int record, std::string_view name, std::int32_t q, std::int32_t a) {
  char line[128];
  const std::string n(name.substr(0, name.find('\0')));
  // Thousandths and cents with their leading zeros, as in the text file.
  std::snprintf(line, sizeof line, "%d;%s;%d.%03d;%d.%02d;", record + 1, n.c_str(), q / 1000, q % 1000, a / 100,
                a % 100);
  return line;
}

TEST_P(Reports, SalesReportInBothFilesHoldsTheRegistersFiguresAndTheClearEmptiesThem) {
  sim_.FillDemoProgramming();
  sim_.FillDemoSales(11);
  const DataImage programming = sim_.Programming();
  int first = -1, second = -1;
  for (int i = 0; i < kItemCount && second < 0; ++i)
    if (!programming.item(i).empty()) (first < 0 ? first : second) = i;
  sim_.SetSales(first, {1005, 1205});  // shows as 1.005 and 12.05 in both files
  sim_.SetSales(second, {0, 0});       // sold nothing: no line
  const std::vector<sim::SalesFigure> sales = sim_.Sales();

  DataImage image;
  const TransferOutcome out =
      Transfer(Request(Direction::kRead, {Kind::kItems}, {.sales_report = true, .clear_sales = true}), image);
  ASSERT_TRUE(out.success) << ::testing::PrintToString(ui_.MessageTexts());
  const std::string txt = dir_ / "AP_ZEL12345678.TXT";
  const std::string csv = dir_ / "AP_ZEL12345678.CSV";
  EXPECT_EQ(out.files, (std::vector<std::string>{txt, csv}));

  const std::string title = Greek("Αναφορα πωλησεων - Αρ.Μητρώου ") + "ZEL12345678 - 07.05.2024";
  const std::string equals(60, '=');
  std::vector<std::string> text = {title, equals, Greek("Αρ.              Ονομα                Ποσοτητα   Προσαυξηση "),
                                   equals};
  std::vector<std::string> values = {title, Greek("Αρ.;Ονομα;Ποσοτητα;Προσαυξηση;")};
  std::int64_t total = 0;
  int lines = 0;
  for (int i = 0; i < kItemCount; ++i) {
    const sim::SalesFigure& s = sales[static_cast<std::size_t>(i)];
    total += s.amount;
    if (s.quantity == 0 && s.amount == 0) continue;
    const ConstBytes name = programming.item(i).name();
    const std::string_view n(reinterpret_cast<const char*>(name.data()), name.size());
    text.push_back(SalesLine(i, n, s.quantity, s.amount));
    values.push_back(CsvLine(i, n, s.quantity, s.amount));
    ++lines;
  }
  ASSERT_GT(lines, 10) << "the demo shop sold something";
  char sum[64];
  std::snprintf(sum, sizeof sum, "%9lld.%02lld ", static_cast<long long>(total / 100),
                static_cast<long long>(total % 100));
  text.push_back(equals);
  text.push_back(Greek("ΣΥΝΟΛΟ ΕΙΣΠΡΑΞ:") + sum);
  text.push_back("\f");
  EXPECT_EQ(Lines(Slurp(txt)), text);
  EXPECT_EQ(Lines(Slurp(csv)), values);
  EXPECT_EQ(Slurp(txt).substr(title.size(), 2), "\r\n") << "text files end their lines with CR LF";

  // The register's sales are cleared after the whole read; its items stay.
  for (const sim::SalesFigure& s : sim_.Sales()) ASSERT_EQ(s, sim::SalesFigure{});
  EXPECT_EQ(Differences(programming, sim_.Programming(), KindRanges(Kind::kItems)), "");
  // The read starts from an empty table and takes the items in use.
  DataImage walked = programming;
  for (int i = 0; i < kItemCount; ++i)
    if (walked.item(i).empty()) std::ranges::fill(walked.record(Block::kItems, i), std::uint8_t{0});
  EXPECT_EQ(Differences(walked, image, KindRanges(Kind::kItems)), "");
}

// The VAT rates a closure was taxed at: the latest VAT change dated before
// it, or the header's rates before the first change.
std::array<std::uint16_t, 4> RatesInForce(const sim::ByteVector& m, std::uint32_t when) {
  std::size_t at = sim::fm::kHeaderVatRates;
  for (int v = 0; v < sim::fm::kVatChangeCount; ++v) {
    const std::uint32_t t = le::Get32(m.data() + sim::fm::VatChangeOffset(v));
    if (t == sim::fm::kEmptyDateTime || t >= when) break;
    at = sim::fm::VatChangeOffset(v) + sim::fm::kVatChangeRates;
  }
  std::array<std::uint16_t, 4> r{};
  for (std::size_t k = 0; k < 4; ++k) r[k] = le::Get16(m.data() + at + 2 * k);
  return r;
}

std::string RateText(std::uint16_t hundredths) {
  char s[16];
  std::snprintf(s, sizeof s, "%2d,%02d", hundredths / 100, hundredths % 100);  // right-aligned like every number
  return s;
}

std::string Hex(const std::uint8_t* p, std::size_t n) {
  std::string s;
  char b[3];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02X", p[i]);
    s += b;
  }
  return s;
}

TEST_P(Reports, FiscalMemoryImageEqualsTheRegistersAndItsReportShowsClosuresPagesAndSignatures) {
  const std::string registration = Greek("ΑΒΓ") + "20240517";
  ASSERT_TRUE(sim_.SetRegistration(registration));
  const sim::fm::Summary summary = sim_.GenerateFiscalMemory(4);
  ASSERT_GE(summary.closures, 9) << "a second page of closures";
  const sim::ByteVector memory = sim_.FiscalMemory();

  DataImage image;
  const TransferOutcome out = Transfer(Request(Direction::kRead, {Kind::kFiscalMemory}), image);
  ASSERT_TRUE(out.success) << ::testing::PrintToString(ui_.MessageTexts());
  EXPECT_EQ(out.registration, registration);
  const std::string bin = dir_ / "FM_ΑΒΓ20240517.BIN";
  const std::string txt = dir_ / "FM_ΑΒΓ20240517.TXT";
  EXPECT_EQ(out.files, (std::vector<std::string>{bin, txt}));
  const std::string image_file = Slurp(bin);
  ASSERT_EQ(image_file.size(), memory.size());
  EXPECT_TRUE(std::equal(memory.begin(), memory.end(), image_file.begin(),
                         [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
  EXPECT_EQ(sim_.counters().requests[0x7D], 4096u + 1) << "the identification and 4096 blocks";

  const std::vector<std::string> lines = Lines(Slurp(txt));
  const std::string title = Greek("ΠΕΡΙΕΗΟΜΕΝΟ ΦΜ - Αρ.Μητρωυ ") + registration + ", date 07.05.2024";
  const std::string closure_sep =
      "+--------+--------------+---------+---------+---------+---------+---------+---------+---------+";
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], title);

  // One block of six lines per closure, with the closure's number.
  std::vector<std::size_t> closure_at;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind(Greek("|Αρ:"), 0) == 0) closure_at.push_back(i);
  ASSERT_EQ(closure_at.size(), static_cast<std::size_t>(summary.closures));
  int bad_marks = 0;
  for (std::size_t c = 0; c < closure_at.size(); ++c) {
    SCOPED_TRACE("closure " + std::to_string(c + 1));
    const std::size_t at = closure_at[c];
    char number[24];
    std::snprintf(number, sizeof number, "%4zu", c + 1);
    EXPECT_EQ(lines[at].substr(5, 4), number);
    const bool bad = lines[at + 1].rfind(Greek("|ΛΑΘ.ΕΓΓΡ"), 0) == 0;
    EXPECT_EQ(bad, static_cast<int>(c) == summary.bad_closure) << "only the closure with the wrong check byte";
    bad_marks += bad;
    // The rates shown are the rates the closure was taxed at.
    const std::uint8_t* z = memory.data() + sim::fm::ClosureOffset(static_cast<int>(c));
    const auto rates = RatesInForce(memory, le::Get32(z));
    EXPECT_EQ(lines[at + 3].substr(16, 5), RateText(rates[0]));
    EXPECT_EQ(lines[at + 3].substr(61, 5), RateText(rates[1]));
    EXPECT_EQ(lines[at + 4].substr(16, 5), RateText(rates[2]));
    EXPECT_EQ(lines[at + 4].substr(61, 5), RateText(rates[3]));
    // Closures 9, 17, ... start a new page: separator, form feed, title.
    if (c > 0 && c % 8 == 0) {
      EXPECT_EQ(lines[at - 1], closure_sep);
      EXPECT_EQ(lines[at - 2], title);
      EXPECT_EQ(lines[at - 3], "\f");
      EXPECT_EQ(lines[at - 4], closure_sep);
    }
  }
  EXPECT_EQ(bad_marks, 1);
  // The closures' table ends where the first empty closure is.
  EXPECT_EQ(lines[closure_at.back() + 6], closure_sep);
  EXPECT_EQ(lines[closure_at.back() + 7], "\f");

  // One signature line per closure, both halves in hexadecimal.
  std::size_t signatures = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].size() != 88 || lines[i][0] != '|' || lines[i][5] != '|' || lines[i][46] != '|') continue;
    const int n = std::atoi(lines[i].substr(1, 4).c_str());
    if (n < 1 || lines[i].substr(6, 40).find(' ') != std::string::npos) continue;
    const std::uint8_t* sig = memory.data() + sim::fm::SignatureOffset(n - 1);
    EXPECT_EQ(lines[i].substr(6, 40), Hex(sig, 20)) << "signature " << n;
    EXPECT_EQ(lines[i].substr(47, 40), Hex(sig + 20, 20)) << "signature " << n;
    EXPECT_EQ(n, static_cast<int>(++signatures));
  }
  EXPECT_EQ(signatures, static_cast<std::size_t>(summary.closures));
  EXPECT_EQ(lines[lines.size() - 1], "\f");
}

INSTANTIATE_TEST_SUITE_P(Wires, Reports, ::testing::Values(Wire::kUdp, Wire::kPty), WireName);

}  // namespace
}  // namespace zel::e2e
