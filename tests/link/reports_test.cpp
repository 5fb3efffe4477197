// Report files: the fiscal memory report of a small memory built by hand,
// checked line by line, and the file names made from the report path and the
// registration number.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/bytes.h"
#include "core/convert.h"
#include "core/cp1253.h"
#include "link/reports.h"

namespace zel {
namespace {

std::uint32_t At(const char* text) {
  Clock c;
  std::snprintf(c.text, sizeof c.text, "%s", text);
  EXPECT_EQ(c.FromText(1), 0) << text;
  return c.seconds;
}

std::uint8_t Sum(const std::uint8_t* p, std::size_t n) {
  unsigned s = 0;
  for (std::size_t i = 0; i < n; ++i) s += p[i];
  return static_cast<std::uint8_t>(s);
}

// A register with nine daily closures (the second with a wrong check byte),
// two text changes (the second with a wrong check byte), one VAT change,
// five CMOS events and nine signatures; everything else empty (FF).
std::vector<std::uint8_t> SmallMemory() {
  std::vector<std::uint8_t> m(kFiscalMemorySize, 0xFF);
  le::Put32(m.data(), At("01-02-2024 09:00.00"));
  const std::uint16_t header_rates[] = {600, 1300, 2400, 1700};
  for (int k = 0; k < 4; ++k) le::Put16(m.data() + 4 + 2 * k, header_rates[k]);
  std::memcpy(m.data() + 12, "ABC\x12\x34\x56\x78", 7);

  for (int i = 0; i < 9; ++i) {
    std::uint8_t* r = m.data() + fm::kClosures + fm::kClosureSize * static_cast<std::size_t>(i);
    std::fill(r, r + fm::kClosureSize, std::uint8_t{0});
    char when[32];
    std::snprintf(when, sizeof when, "%02d-04-2024 10:30.00", 3 + i);
    le::Put32(r, At(when));
    if (i == 0) {
      le::Put16(r + 4, 12);  // receipts
      r[8] = 1;              // text changes in this closure
      const std::uint8_t events[] = {0, 1, 0, 0, 2};
      std::copy(events, events + 5, r + 10);
      le::PutI32(r + 16, 138);                      // VAT Α
      le::PutI32(r + 20, -260);                     // VAT Β
      le::PutI32(r + 28, 12345678);                 // VAT Δ
      le::PutI32(r + 32, 100000);                   // net ΑΒΓΔ
      le::PutI32(r + 36, 5);                        // net Ε
      le::PutI32(r + 40, -3);                       // second receipt figure
      const std::uint64_t total = 123456789012ull;  // running total Α
      for (int b = 0; b < 5; ++b) r[44 + b] = static_cast<std::uint8_t>(total >> (8 * b));
      r[80] = 1;  // rates of the first VAT change
      for (int k = 0; k < 5; ++k) le::Put16(r + 82 + 2 * k, static_cast<std::uint16_t>(5 + k));
    }
    r[94] = Sum(r, 94);
    if (i == 1) r[94] ^= 1;
  }

  std::uint8_t* vat = m.data() + fm::kVatChanges;
  std::fill(vat, vat + fm::kVatChangeSize, std::uint8_t{0});
  le::Put32(vat, At("02-04-2024 08:00.00"));
  const std::uint16_t new_rates[] = {2300, 1300, 600, 0};
  for (int k = 0; k < 4; ++k) le::Put16(vat + 4 + 2 * k, new_rates[k]);

  for (int i = 0; i < 2; ++i) {
    std::uint8_t* t = m.data() + fm::kTextChanges + fm::kTextChangeSize * static_cast<std::size_t>(i);
    std::fill(t, t + fm::kTextChangeSize, std::uint8_t{' '});
    le::Put32(t, At(i == 0 ? "01-02-2024 09:05.00" : "15-03-2024 12:00.00"));
    for (int j = 0; j < 9; ++j) {
      char s[16];
      std::snprintf(s, sizeof s, "LINE %d-%d", i + 1, j + 1);
      std::memcpy(t + 4 + 33 * j, s, std::strlen(s));
      t[4 + 33 * j + 32] = '1';
    }
    t[4 + 33 * 2] = 0xFF;      // line 3 is empty
    t[4 + 33 * 5 + 3] = 0x00;  // a zero inside line 6
    t[301] = Sum(t, 301);
    if (i == 1) t[301] ^= 1;
  }

  for (int e = 0; e < 5; ++e) {
    char s[32];
    std::snprintf(s, sizeof s, "%02d-03-2024 %02d:15.00", 10 + e, e);
    le::Put32(m.data() + fm::kEvents + 4 * static_cast<std::size_t>(e), At(s));
  }
  for (std::size_t i = 0; i < 9; ++i)
    for (std::size_t b = 0; b < fm::kSignatureSize; ++b)
      m[fm::kSignatures + fm::kSignatureSize * i + b] = static_cast<std::uint8_t>(i * 16 + b);
  return m;
}

// The report's lines as UTF-8, split at CR LF; fails on a bare LF.
std::vector<std::string> Lines(const std::string& report) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < report.size()) {
    const std::size_t end = report.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
    if (end == std::string::npos) break;
    const std::string line = report.substr(start, end - start);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    lines.push_back(cp1253::ToUtf8(line));
    start = end + 2;
  }
  return lines;
}

const std::string kTitle = "ΠΕΡΙΕΗΟΜΕΝΟ ΦΜ - Αρ.Μητρωυ ABC12345678, date 03.04.2024";
const std::string kClosureSep =
    "+--------+--------------+---------+---------+---------+---------+---------+---------+---------+";
const std::string kHead =
    "|Αρ:     |Αποδειχ εσοδου|Αλλ.Λεκτ.|Αλλ. ΦΠΑ |Βλαβ.CMOS|Αποσ.Εκτ.|Επ. Τεχν.|Αφ.Πρ.Μν.|Αν.Ηλ.Μετ|";
const std::string kCashier =
    "|Χουρμας:|--------------+---------+---------+---------+---------+---------+---------+---------+";

std::vector<std::string> PlainClosure(int number, int day, bool bad = false) {
  char date[16];
  std::snprintf(date, sizeof date, "%02d-04-24", day);
  const std::string n = std::to_string(number);
  const std::string head = "|Αρ:" + std::string(5 - n.size(), ' ') + n + kHead.substr(kHead.find("|Αποδ"));
  return {kClosureSep,
          head,
          std::string(bad ? "|ΛΑΘ.ΕΓΓΡ|" : "|        |") +
              "    0        0|  0   0  |  0   0  |  0    0 |  0    0 |  0    0 |  0    0 |  0    0 |",
          kCashier,
          "|" + std::string(date) +
              "|ΦΠΑ*Α= 6,00%        0,00            0,00    |ΦΠΑ*Β=13,00%       0,00            0,00|",
          "| Ορα:   |ΦΠΑ*Γ=24,00%        0,00            0,00    |ΦΠΑ*Δ=17,00%       0,00            0,00|",
          "|  10:30 |ΚΑΘΑΡΟ ΑΒΓΔ         0,00            0,00    |ΚΑΘΑΡΟ Ε           0,00            0,00|"};
}

TEST(FiscalMemoryReportTest, SmallMemoryLineByLine) {
  const std::string report = FiscalMemoryReport(SmallMemory(), "ABC12345678", {3, 4, 2024});
  std::vector<std::string> want = {
      kTitle,
      kClosureSep,
      "|Αρ:    1|Αποδειχ εσοδου|Αλλ.Λεκτ.|Αλλ. ΦΠΑ |Βλαβ.CMOS|Αποσ.Εκτ.|Επ. Τεχν.|Αφ.Πρ.Μν.|Αν.Ηλ.Μετ|",
      "|        |   12       -3|  1   1  |  0   0  |  0    5 |  1    6 |  0    7 |  0    8 |  2    9 |",
      kCashier,
      "|03-04-24|ΦΠΑ*Α=23,00%        1,38   1234567890,12    |ΦΠΑ*Β=13,00%      -2,60            0,00|",
      "| Ορα:   |ΦΠΑ*Γ= 6,00%        0,00            0,00    |ΦΠΑ*Δ= 0,00%  123456,78            0,00|",
      "|  10:30 |ΚΑΘΑΡΟ ΑΒΓΔ      1000,00            0,00    |ΚΑΘΑΡΟ Ε           0,05            0,00|",
  };
  const auto add = [&](const std::vector<std::string>& lines) { want.insert(want.end(), lines.begin(), lines.end()); };
  add(PlainClosure(2, 4, true));
  for (int n = 3; n <= 8; ++n) add(PlainClosure(n, n + 2));
  // The ninth closure starts a new page.
  add({kClosureSep, "\f", kTitle});
  add(PlainClosure(9, 11));
  // The first empty closure closes the section.
  add({kClosureSep, "\f"});

  const std::string text_sep = "+----------------------------------+----------------------------------+";
  add({kTitle, text_sep, "|  1 01-02-2024 09:05              | LINE 1-5                         |",
       "| LINE 1-1                         | LIN  1-6                         |",
       "| LINE 1-2                         | LINE 1-7                         |",
       "|                                  | LINE 1-8                         |",
       "| LINE 1-4                         | LINE 1-9                         |", text_sep,
       "|  2 15-03-2024 12:00  ΛΑΘ.ΕΓΓΡ    | LINE 2-5                         |",
       "| LINE 2-1                         | LIN  2-6                         |",
       "| LINE 2-2                         | LINE 2-7                         |",
       "|                                  | LINE 2-8                         |",
       "| LINE 2-4                         | LINE 2-9                         |", text_sep, "\f"});

  const std::string event_sep =
      "+-----------+---------------------+---------------------+---------------------+---------------------+";
  add({kTitle, event_sep,
       "|ΒΛΑΒΕΣ CMOS|   1:10-03-2024 00:15|   2:11-03-2024 01:15|   3:12-03-2024 02:15|   4:13-03-2024 03:15|",
       "|ΒΛΑΒΕΣ CMOS|   5:14-03-2024 04:15|    :                |    :                |    :                |",
       event_sep, "\f"});

  const std::string sig_sep =
      "+----+----------------------------------------+----------------------------------------+";
  add({kTitle, sig_sep, "|Z # |                ΠΑΗΨΣ _C                |                ΠΑΗΨΣ _D                |",
       sig_sep});
  for (int i = 0; i < 9; ++i) {
    std::string a, b;
    char hex[3];
    for (int k = 0; k < 20; ++k) {
      std::snprintf(hex, sizeof hex, "%02X", i * 16 + k);
      a += hex;
      std::snprintf(hex, sizeof hex, "%02X", i * 16 + 20 + k);
      b += hex;
    }
    add({"|   " + std::to_string(i + 1) + "|" + a + "|" + b + "|"});
  }
  add({sig_sep, "\f"});

  const std::vector<std::string> got = Lines(report);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "line " << i + 1;
}

TEST(FiscalMemoryReportTest, ARegisterWithoutEntriesGivesNoLines) {
  const std::vector<std::uint8_t> empty(kFiscalMemorySize, 0xFF);
  EXPECT_EQ(FiscalMemoryReport(empty, "ABC12345678", {1, 1, 2025}), "");
}

TEST(FiscalMemoryReportTest, AFullEventListBreaksPagesEvery240Entries) {
  std::vector<std::uint8_t> m(kFiscalMemorySize, 0xFF);
  // List 2 ("ΕΠΕΜΒ.ΤΕΧΝ.") is full: 1000 entries and no empty one.
  for (std::size_t i = 0; i < 1000; ++i) le::Put32(m.data() + fm::kEvents + 8000 + 4 * i, At("01-01-2024 00:00.00"));
  const std::vector<std::string> got = Lines(FiscalMemoryReport(m, "ABC12345678", {1, 1, 2025}));
  // Five pages of title, separator and lines (240, 240, 240, 240, 40 entries
  // at four a line), each closed by a separator and a form feed.
  ASSERT_EQ(got.size(), 5 * 4 + 250u);
  EXPECT_EQ(got[0], "ΠΕΡΙΕΗΟΜΕΝΟ ΦΜ - Αρ.Μητρωυ ABC12345678, date 01.01.2025");
  EXPECT_EQ(got[2].rfind("|ΕΠΕΜΒ.ΤΕΧΝ.|   1:01-01-2024 00:00|   2:01-01-2024 00:00|", 0), 0u);
  EXPECT_EQ(got[62], got[1]) << "the page's closing separator";
  EXPECT_EQ(got[63], "\f");
  EXPECT_EQ(got[66].rfind("|ΕΠΕΜΒ.ΤΕΧΝ.| 241:01-01-2024 00:00|", 0), 0u);
  EXPECT_EQ(got.back(), "\f");
  EXPECT_EQ(got[got.size() - 3].rfind("|ΕΠΕΜΒ.ΤΕΧΝ.| 997:01-01-2024 00:00|", 0), 0u);
}

TEST(ReportFilesTest, NamesComeFromTheFolderAndASafeRegistrationNumber) {
  EXPECT_EQ(ReportFolder("/home/dealer/reports/Αναφορες"), "/home/dealer/reports/");
  EXPECT_EQ(ReportFolder("Αναφορες"), "");
  EXPECT_EQ(ReportFolder(""), "");
  const std::pair<std::string, std::string> cases[] = {
      {"ABC12345678", "ABC12345678"},
      {"../12345678", "___12345678"},
      {std::string("A/\0", 3) + "12345678", "A_"},
      {"A:B12345678", "A_B12345678"},
      {cp1253::Encode("ΖΕΛ") + "12345678", "ΖΕΛ12345678"},
      {"\x7F\xFF\xB7"
       "12345678",
       "___12345678"},
  };
  for (const auto& [reg, safe] : cases) EXPECT_EQ(SafeFileName(reg), safe);
  EXPECT_EQ(ReportFileName("/tmp/r/", "FM_", "A/B12345678", ".BIN"), "/tmp/r/FM_A_B12345678.BIN");
  EXPECT_EQ(ReportFileName("", "AP_", "ABC12345678", ".CSV"), "AP_ABC12345678.CSV");
}

TEST(ReportFilesTest, SalesReportFilesAppearWholeAndNeverReplaceALockedOne) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(::testing::TempDir()) / ("sales-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string folder = dir.string() + "/";
  auto files = [&] {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
    return n;
  };
  const std::uint8_t name[26] = {'C', 'O', 'F', 'F', 'E', 'E'};

  {
    SalesReport report;
    ASSERT_TRUE(report.Create(folder, "ZEL12345678", {}));
    AddSalesLine(report, 0, name, 2000, 350);
    EXPECT_FALSE(fs::exists(report.csv_path)) << "nothing under the final name before the report is complete";
    ASSERT_TRUE(CloseSalesReport(report));
    std::ifstream csv(report.csv_path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(csv), {}};
    EXPECT_NE(text.find("1;COFFEE;2.000;3.50;\r\n"), std::string::npos);
    EXPECT_EQ(files(), 2) << "no temporary file is left behind";
  }
  {
    SalesReport report;  // dropped on a failure path: the complete report stays
    ASSERT_TRUE(report.Create(folder, "ZEL12345678", {}));
    report.Close();
    EXPECT_EQ(files(), 2);
    EXPECT_GT(fs::file_size(report.csv_path), 0u);
  }
  const std::string txt = folder + "AP_ZEL12345678.TXT";
  const auto before = fs::file_size(txt);
  fs::permissions(txt, fs::perms::owner_read);
  {
    SalesReport report;
    EXPECT_FALSE(report.Create(folder, "ZEL12345678", {}));
    EXPECT_FALSE(report.open());
  }
  EXPECT_EQ(fs::file_size(txt), before) << "a report the user may not write stays";
  EXPECT_EQ(files(), 2);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace zel
