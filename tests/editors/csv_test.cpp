// Items and customers CSV: the exact bytes an export writes, the import's
// column rules, round trips, refusals that leave the tables as they were,
// and the limits of the tables (16000 items, 1000 customers, 13 barcode
// digits, 24 departments).
#include "editors/csv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <utility>

#include "harness.h"
#include "support/fifo.h"

namespace zel::editors {
namespace {

using test::Greek;

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

class CsvTest : public ::testing::Test {
 protected:
  // One name per test: CTest runs the tests of this file side by side, and a
  // file shared between two of them is rewritten under the other's feet.
  std::string Path(const std::string& name) {
    return ::testing::TempDir() + "csv_test_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
           name;
  }
  std::string WriteFile(const std::string& name, std::string_view bytes) {
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // Imports `bytes` as an items file.
  bool Import(std::string_view bytes, CsvOptions o = {}) {
    o.path = WriteFile("import.csv", bytes);
    return ImportItems(image_, o, ui_).done;
  }
  std::string Export(CsvOptions o = {}) {
    o.path = Path("export.csv");
    EXPECT_TRUE(ExportItems(image_, o, ui_).done);
    return Slurp(o.path);
  }
  std::string Name(int item) const { return TextOf(image_.item(item - 1).name()); }
  ConstItem It(int item) const { return image_.item(item - 1); }
  void SetName(int item, std::string_view bytes) { StoreText(image_.item(item - 1).name(), bytes); }

  DataImage image_;
  zel::test::ScriptedUi ui_;
};

CsvOptions Options(UpdateMode mode, int title_lines = 0, bool number = true) {
  CsvOptions o;
  o.mode = mode;
  o.title_lines = title_lines;
  o.columns.number = number;
  return o;
}

// ---- Export --------------------------------------------------------------------------------

TEST_F(CsvTest, ExportOfANewDatabase) {
  std::string expected = Greek("Αριθμός;Ονομα;Τιμη;Barcode;Τμήμα;Κατηγορία\r\n");
  for (int n = 1; n <= 5; ++n)
    expected += std::to_string(n) + ";" + Greek("ΕΙΔΟΣ ") + std::to_string(n) + std::string(19, ' ') + ";" +
                std::to_string(n) + ",00;;" + std::to_string(n) + ";1;\r\n";
  EXPECT_EQ(Export(), expected);
  EXPECT_EQ(ui_.beeps, (std::vector<std::pair<int, int>>{{400, 40}}));
}

TEST_F(CsvTest, ExportColumnsTitleAndForms) {
  image_.item(0).set_price(50);
  image_.item(1).set_price(12345);
  image_.item(1).set_price_decimals(3);
  image_.item(2).set_price(-150);
  image_.item(3).set_price(7);
  image_.item(3).set_price_decimals(0);
  StoreText(image_.item(0).barcode(), "0000000012345");
  StoreText(image_.item(1).barcode(), "52012x");
  StoreText(image_.item(2).barcode(), "x123");
  image_.item(4).set_department(23);
  image_.item(4).set_category(29);
  SetName(5, "A;B \"C\"");
  CsvOptions o;
  o.title = Greek("ΤΙΜΟΚΑΤΑΛΟΓΟΣ");
  o.columns.number = false;
  o.columns.category = false;
  const std::string out = Export(o);
  const std::string expected = Greek("ΤΙΜΟΚΑΤΑΛΟΓΟΣ\r\nΟνομα;Τιμη;Barcode;Τμήμα\r\n") + Greek("ΕΙΔΟΣ 1") +
                               std::string(19, ' ') + ";0,50;#0000000012345;1;\r\n" + Greek("ΕΙΔΟΣ 2") +
                               std::string(19, ' ') + ";12,345;#52012;2;\r\n" + Greek("ΕΙΔΟΣ 3") +
                               std::string(19, ' ') + ";-1,50;;3;\r\n" + Greek("ΕΙΔΟΣ 4") + std::string(19, ' ') +
                               ";7;;4;\r\n" + "\"A;B \"\"C\"\"" + std::string(19, ' ') + "\";5,00;;24;\r\n";
  EXPECT_EQ(out, expected);
}

// Every field at its longest at once: the line is put together whole before
// it is written out, so nothing of it may be cut or run over.
TEST_F(CsvTest, ExportOfTheLongestLine) {
  Item it = image_.item(15999);
  SetName(16000, std::string(26, '"'));
  it.set_price(INT32_MIN);
  it.set_price_decimals(5);
  StoreText(it.barcode(), "1234567890123");
  it.set_department(255);
  it.set_category(255);
  const std::string out = Export();
  const std::string last = "16000;\"" + std::string(52, '"') + "\";-21474,83648;#1234567890123;256;256;\r\n";
  ASSERT_GE(out.size(), last.size());
  EXPECT_EQ(out.substr(out.size() - last.size()), last);
}

TEST_F(CsvTest, ExportThatCannotBeWrittenSaysSo) {
  CsvOptions o;
  o.path = Path("no-such-dir/out.csv");
  EXPECT_FALSE(ExportItems(image_, o, ui_).done);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Σφάλμα εγγραφής!\nout.csv: δεν υπάρχει τέτοιο αρχείο");
  EXPECT_EQ(ui_.messages[0].icon, Icon::kError);
  EXPECT_TRUE(ui_.beeps.empty());
  EXPECT_FALSE(ExportCustomers(image_, o.path, ui_).done);
  EXPECT_EQ(ui_.messages[1].text, "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!\nout.csv: δεν υπάρχει τέτοιο αρχείο");
}

TEST_F(CsvTest, ExportReplacesAnExistingFileWhole) {
  const std::string path = WriteFile("existing.csv", std::string(100000, 'x'));
  CsvOptions o;
  o.path = path;
  ASSERT_TRUE(ExportItems(image_, o, ui_).done);
  EXPECT_EQ(Slurp(path), ItemsCsvText(image_, o));
}

TEST_F(CsvTest, ExportSaysWhichFileItWroteAndHowMany) {
  for (int i = 2; i < kItemCount; ++i) StoreText(image_.item(i).name(), "");
  image_.customer(4).set_tax_number(7);
  CsvOptions o;
  o.path = Path("items.csv");
  ASSERT_TRUE(ExportItems(image_, o, ui_).done);
  // A name with a control byte is shown escaped, as zelctl dump shows texts.
  const std::string odd = Path("a\x1b[2Jb.csv");
  ASSERT_TRUE(ExportCustomers(image_, odd, ui_).done);
  EXPECT_EQ(ui_.notices, (std::vector<std::string>{
                             "Αποθηκεύτηκε το αρχείο csv_test_ExportSaysWhichFileItWroteAndHowMany_items.csv: 2 είδη",
                             "Αποθηκεύτηκε το αρχείο csv_test_ExportSaysWhichFileItWroteAndHowMany_a\\x1b[2Jb.csv: "
                             "1 πελάτης"}));
  o.path = Path("no/such/folder/x.csv");
  EXPECT_FALSE(ExportItems(image_, o, ui_).done);
  EXPECT_EQ(ui_.notices.size(), 2u) << "a failed export says nothing of a file";
}

// ---- Field reader and column rules ------------------------------------------------------------

TEST(CsvFieldReader, QuotesSeparatorsAndLimits) {
  const struct {
    std::string line;
    std::vector<std::string> fields;
  } cases[] = {
      {"a;b;c", {"a", "b", "c", ""}},
      {"\"a;b\";c\r\n", {"a;b", "c", ""}},
      {"\"say \"\"hi\"\"\";x", {"say \"hi\"", "x"}},
      {"ab\"c\";d", {"abc", "d"}},
      {";;x", {"", "", "x"}},
      {std::string("ab\0cd;e", 7), {"ab", ""}},
      {std::string(60, 'z') + ";y", {std::string(49, 'z'), "y"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    std::size_t pos = 0;
    for (const std::string& want : c.fields) EXPECT_EQ(ReadCsvField(c.line, pos), want);
  }
}

TEST(CsvPriceRule, DecimalSeparatorGroupingAndAtMostFiveDecimals) {
  const struct {
    const char* field;
    std::int32_t price;  // -1: not a price, the line is not taken
    int decimals;
  } cases[] = {
      {"5", 500, 2},
      {"0,50", 50, 2},
      {"12.5", 1250, 2},
      {"1.12345678", 112345, 5},
      {"5,125", 5125, 3},
      {"5,", 500, 2},
      {"123456.12", 12345612, 2},
      {"123456,12345", 12345612, 2},  // the field is 9 characters wide
      {"0000012,50", 1250, 2},        // leading zeros hold nothing
      // As spreadsheets write them: grouping, blanks, a currency sign.
      {"1.234,56", 123456, 2},
      {"1,234.56", 123456, 2},
      {"12.345,6", 1234560, 2},
      {" 12.50 \x80", 1250, 2},  // "€" in code page 1253
      {"12,50 EUR", 1250, 2},
      {"\x80 7,5", 750, 2},
      {"1 234,5", 123450, 2},
      {"123.456", 123456, 3},  // one point alone is the decimal separator
      // Never another number than the file says.
      {"12345678", -1, 0},  // more integer digits than the field holds
      {"2147483647", -1, 0},
      {"1.234.567", -1, 0},  // grouping of seven integer digits
      {"-5,00", -1, 0},      // no sign belongs in a price
      {"+5", -1, 0},
      {"1e308", -1, 0},            // an exponent
      {"1/2", -1, 0},              // a fraction
      {"COCA COLA 330ML", -1, 0},  // another column's text
      {"12,50 USD", -1, 0},
      {"1.2.3", -1, 0},  // groups of thousands have three digits
      {"1 23,5", -1, 0},
      {"1,5,", -1, 0},
      {",", -1, 0},
  };
  for (const auto& c : cases) {
    const std::optional<CsvPrice> p = ParseCsvPrice(c.field);
    if (c.price < 0) {
      EXPECT_FALSE(p.has_value()) << c.field << " -> " << (p ? p->price : 0);
      continue;
    }
    ASSERT_TRUE(p.has_value()) << c.field;
    EXPECT_EQ(p->price, c.price) << c.field;
    EXPECT_EQ(p->decimals, c.decimals) << c.field;
  }
}

// ---- Import -------------------------------------------------------------------------------------

TEST_F(CsvTest, RoundTripKeepsNamesPricesAndBarcodes) {
  SetName(1, "A;B");
  SetName(2, "SAY \"HI\"");
  SetName(3, Greek("ΚΑΦΕΣ ΕΛΛΗΝΙΚΟΣ ΔΙΠΛΟΣ ΜΕΓ"));  // all 26 characters
  image_.item(0).set_price(50);
  image_.item(1).set_price(12345);
  image_.item(1).set_price_decimals(5);
  StoreText(image_.item(2).barcode(), "5201234567890");
  image_.item(4).set_department(17);
  image_.item(4).set_category(29);
  const DataImage before = image_;
  CsvOptions o;
  o.path = Path("round.csv");
  ASSERT_TRUE(ExportItems(image_, o, ui_).done);
  image_ = DataImage();
  for (int i = 0; i < kItemCount; ++i) image_.item(i).set_price_decimals(9);
  ASSERT_TRUE(ImportItems(image_, o, ui_).done);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(std::equal(image_.item(i).name().begin(), image_.item(i).name().end(), before.item(i).name().begin()));
    EXPECT_EQ(It(i + 1).price(), before.item(i).price());
    EXPECT_EQ(It(i + 1).price_decimals(), before.item(i).price_decimals());
    EXPECT_EQ(TextOf(It(i + 1).barcode()), TextOf(before.item(i).barcode()));
    EXPECT_EQ(It(i + 1).department(), before.item(i).department());
    EXPECT_EQ(It(i + 1).category(), before.item(i).category());
  }
  EXPECT_TRUE(image_.item(5).empty());
  EXPECT_EQ(image_.item(5).price_decimals(), 0) << "ΑΛΛΑΓΗ empties the whole table";
  EXPECT_TRUE(image_.state.modified);
}

TEST_F(CsvTest, BarcodeColumn) {
  ASSERT_TRUE(Import("1;A;;#5201234567890;\r\n2;B;;12345;\r\n3;C;;x-77;\r\n4;D;;12345678901234;\r\n5;E;;none;\r\n",
                     Options(UpdateMode::kReplace)));
  EXPECT_EQ(TextOf(It(1).barcode()), "5201234567890");
  EXPECT_EQ(TextOf(It(2).barcode()), "0000000012345");
  EXPECT_EQ(TextOf(It(3).barcode()), "0000000000077");
  EXPECT_EQ(It(4).barcode()[0], 0) << "14 digits do not fit: the barcode is not stored";
  EXPECT_EQ(Name(4), "D") << "the rest of that line is";
  EXPECT_EQ(It(5).barcode()[0], 0);
}

TEST_F(CsvTest, DepartmentsOneTo24AndCategoriesOneTo30) {
  // 0, empty or beyond the table gives 1; a number the two-digit field
  // cannot hold (65538 would once have been taken as 2) takes no line.
  CsvOptions o;
  o.mode = UpdateMode::kReplace;
  o.title_lines = 0;
  o.path = WriteFile("departments.csv",
                     "1;A;;;24;30;\r\n2;B;;;8;1;\r\n3;C;;;25;31;\r\n4;D;;;0;0;\r\n5;E;;;;;\r\n6;F;;;9;12;\r\n"
                     "7;G;;;65538;65566;\r\n8;H;;;100;1;\r\n9;I;;;007;007;\r\n");
  const CsvOutcome r = ImportItems(image_, o, ui_);
  ASSERT_TRUE(r.done);
  const std::pair<int, int> expected[] = {{23, 29}, {7, 0}, {0, 0}, {0, 0}, {0, 0}, {8, 11}};
  for (int n = 1; n <= 6; ++n) {
    EXPECT_EQ(It(n).department(), expected[n - 1].first) << n;
    EXPECT_EQ(It(n).category(), expected[n - 1].second) << n;
  }
  EXPECT_TRUE(It(7).empty());
  EXPECT_TRUE(It(8).empty());
  EXPECT_EQ(It(9).department(), 6) << "leading zeros hold nothing";
  EXPECT_EQ(r.lines_not_taken, 2);
}

TEST_F(CsvTest, ReplaceFillsFromItemOneWithoutANumberColumn) {
  ASSERT_TRUE(Import(Greek("Ονομα;Τιμη\r\nA;1\r\nB;2\r\nC;3\r\n"), Options(UpdateMode::kReplace, 1, false)));
  EXPECT_EQ(Name(1), "A");
  EXPECT_EQ(Name(2), "B");
  EXPECT_EQ(Name(3), "C");
  EXPECT_TRUE(It(4).empty());
  EXPECT_EQ(It(2).price(), 200);
}

TEST_F(CsvTest, CorrectPutsLinesInEmptyItemsAndNumberedLinesOverTheirItems) {
  image_.item(3).set_price(999);
  ASSERT_TRUE(Import("A;1;\r\nB;2;\r\n", Options(UpdateMode::kCorrect, 0, false)));
  EXPECT_EQ(Name(1), Greek("ΕΙΔΟΣ 1"));
  EXPECT_EQ(Name(6), "A");
  EXPECT_EQ(Name(7), "B");

  CsvOptions o = Options(UpdateMode::kCorrect);
  o.columns.price = false;
  o.columns.barcode = false;
  ASSERT_TRUE(Import("4;NEW FOUR;;7;\r\n;EIGHT;;;\r\n0;NINE;;;\r\n", o));
  EXPECT_EQ(Name(4), "NEW FOUR");
  EXPECT_EQ(It(4).price(), 999) << "columns outside the set keep their values";
  EXPECT_EQ(It(4).department(), 0) << "an empty department column gives department 1";
  EXPECT_EQ(It(4).category(), 6);
  EXPECT_EQ(Name(8), "EIGHT");
  EXPECT_EQ(Name(9), "NINE") << "number 0 also means the first empty item";
}

TEST_F(CsvTest, LinesBeyondTheTableAreSkipped) {
  CsvOptions o = Options(UpdateMode::kCorrect);
  ASSERT_TRUE(Import("16001;TOO FAR;1;;;\r\n99999999999;WRAPS;1;;;\r\n16000;LAST;1;;;\r\n", o));
  EXPECT_EQ(Name(16000), "LAST");
  EXPECT_TRUE(It(6).empty()) << "a skipped line does not land in the first empty item";

  // A full table: a line without a number has nowhere to go, and a file
  // from which no line was taken is refused.
  for (int n = 1; n <= kItemCount; ++n) SetName(n, "X");
  o.columns.number = false;
  ui_.messages.clear();
  EXPECT_FALSE(Import("EXTRA;5;;;\r\n", o));
  EXPECT_EQ(ui_.MessageTexts(),
            std::vector<std::string>{"Δεν βρέθηκαν είδη στο αρχείο.\n1 γραμμή: δεν υπάρχει άλλη κενή θέση είδους "
                                     "(έως 16000 είδη)"});
  EXPECT_EQ(Name(16000), "X");
}

TEST_F(CsvTest, SixteenThousandLinesFillTheTable) {
  std::string file = Greek("Ονομα\r\n");
  for (int n = 1; n <= kItemCount + 1; ++n) file += "ITEM " + std::to_string(n) + "\r\n";
  CsvOptions o = Options(UpdateMode::kReplace, 1, false);
  o.columns = {false, false, false, false, false};
  ASSERT_TRUE(Import(file, o));
  EXPECT_EQ(Name(1), "ITEM 1");
  EXPECT_EQ(Name(16000), "ITEM 16000");
}

TEST_F(CsvTest, ByteOrderMarkIsRefusedOnlyInATitleLine) {
  const DataImage before = image_;
  const std::string utf8 =
      "\xEF\xBB\xBF"
      "Name\r\nA;1;\r\n";
  EXPECT_FALSE(Import(utf8, Options(UpdateMode::kReplace, 1, false)));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Παρακαλώ μετατρέψτε το αρχείο σε απλό κείμενο (ANSI)");
  EXPECT_EQ(ui_.messages[0].icon, Icon::kError);
  EXPECT_TRUE(ui_.messages[0].system_modal);
  EXPECT_TRUE(image_ == before) << "ΑΛΛΑΓΗ did not empty the table";
  EXPECT_FALSE(image_.state.modified);
  EXPECT_TRUE(ui_.beeps.empty());
  EXPECT_FALSE(Import("\xFF\xFEN\0a\0", Options(UpdateMode::kReplace, 1, false)));
  EXPECT_FALSE(Import("\xFE\xFF\0N\0a", Options(UpdateMode::kReplace, 2, false)));

  ASSERT_TRUE(Import(utf8, Options(UpdateMode::kReplace, 0, false)));
  EXPECT_EQ(Name(1),
            "\xEF\xBB\xBF"
            "Name")
      << "with no title line the file is read as it comes";
}

TEST_F(CsvTest, TooLongLinesAreReportedAndSkipped) {
  const std::string ok197 = std::string(197, 'a');    // 199 with CR LF: fits
  const std::string long198 = std::string(198, 'b');  // 200 with CR LF: too long
  const std::string file = "FIRST\r\n" + std::string(300, 'c') + "\r\n" + ok197 + "\r\n" + long198 + "\r\nLAST\r\n";
  ASSERT_TRUE(Import(file, Options(UpdateMode::kReplace, 0, false)));
  ASSERT_EQ(ui_.messages.size(), 3u);
  EXPECT_EQ(ui_.messages[0].text, "The line beginning with [" + std::string(20, 'c') + "] is too long! Line omitted");
  EXPECT_EQ(ui_.messages[0].icon, Icon::kExclamation);
  EXPECT_TRUE(ui_.messages[0].system_modal);
  EXPECT_EQ(ui_.messages[1].text, "The line beginning with [" + std::string(20, 'b') + "] is too long! Line omitted");
  EXPECT_EQ(ui_.messages[2].text, "Δεν περάστηκαν 2 γραμμές του αρχείου:\n2 γραμμές: πολύ μεγάλη γραμμή")
      << "and counted at the end";
  EXPECT_EQ(Name(1), "FIRST");
  EXPECT_EQ(Name(2), std::string(26, 'a'));
  EXPECT_EQ(Name(3), "LAST");
  EXPECT_EQ(ui_.beeps.size(), 1u) << "the import still ends with its beep";
}

TEST_F(CsvTest, UnreadableFileChangesNothing) {
  const DataImage before = image_;
  CsvOptions o;
  o.path = Path("missing.csv");
  EXPECT_FALSE(ImportItems(image_, o, ui_).done);
  EXPECT_FALSE(ImportCustomers(image_, o.path, ui_).done);
  const std::string missing =
      "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!\ncsv_test_UnreadableFileChangesNothing_missing.csv: δεν υπάρχει "
      "τέτοιο αρχείο";
  EXPECT_EQ(ui_.MessageTexts(), (std::vector<std::string>(2, missing)));
  EXPECT_TRUE(image_ == before);
  o.path = ::testing::TempDir();  // a folder
  EXPECT_FALSE(ImportItems(image_, o, ui_).done);
  EXPECT_TRUE(image_ == before);
  ASSERT_EQ(ui_.messages.size(), 3u);
  EXPECT_NE(ui_.messages[2].text.find(": δεν είναι κανονικό αρχείο"), std::string::npos) << ui_.messages[2].text;
}

TEST_F(CsvTest, Utf8FromASpreadsheetIsReadAsGreek) {
  // LibreOffice's usual export: UTF-8 without a byte-order mark.
  ASSERT_TRUE(Import("Αριθμός;Ονομα;Τιμη\r\n1;ΚΑΦΕΣ ΕΛΛΗΝΙΚΟΣ ΔΙΠΛΟΣ ΜΕΓΑΛΟΣ;2,50\r\n2;Τυρόπιτα ά ϊ ΐ;1\r\n", [] {
    CsvOptions o = Options(UpdateMode::kReplace, 1);
    o.columns.barcode = o.columns.department = o.columns.category = false;
    return o;
  }()));
  EXPECT_EQ(Name(1), Greek("ΚΑΦΕΣ ΕΛΛΗΝΙΚΟΣ ΔΙΠΛΟΣ ΜΕΓ")) << "26 letters, not 26 bytes of UTF-8";
  EXPECT_EQ(Name(2), Greek("Τυρόπιτα ά ϊ ΐ"));
  EXPECT_EQ(It(1).price(), 250);

  const std::string path = WriteFile("customers.csv",
                                     "ΑΦΜ;ΕΠΩΝΥΜΙΑ;ΕΠΑΓΓΕΛΜΑ;ΔΙΕΥΘΥΝΣΗ;ΔΟΥ;ΤΗΛ\r\n"
                                     "123;Ψητοπωλείο;Εστίαση;Οδός 1;Α΄ Αθηνών;210\r\n");
  ASSERT_TRUE(ImportCustomers(image_, path, ui_).done);
  EXPECT_EQ(TextOf(image_.customer(0).company()), Greek("Ψητοπωλείο"));
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(CsvTest, Utf8WithACharacterCodePage1253LacksChangesNothing) {
  const DataImage before = image_;
  EXPECT_FALSE(Import("Ονομα\r\nΚΑΦΕΣ\r\nGőzfürdő\r\n", Options(UpdateMode::kReplace, 1, false)));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Ο χαρακτήρας «ő» της γραμμής 3 δεν υπάρχει στον ελληνικό κώδικα 1253.");
  EXPECT_EQ(ui_.messages[0].icon, Icon::kError);
  EXPECT_TRUE(image_ == before);
  EXPECT_FALSE(image_.state.modified);
  EXPECT_FALSE(ImportCustomers(image_, WriteFile("c.csv", "a;b;c;d;e\r\n1;☕;x;y;z\r\n"), ui_).done);
  EXPECT_EQ(ui_.messages.back().text, "Ο χαρακτήρας «☕» της γραμμής 2 δεν υπάρχει στον ελληνικό κώδικα 1253.");
  EXPECT_TRUE(image_ == before);
}

TEST_F(CsvTest, ReplaceWithAFileThatGivesNoItemIsRefused) {
  const DataImage before = image_;
  const struct {
    const char* what;
    std::string bytes;
    int title_lines;
    const char* why;  // the second line, when some lines were there
  } cases[] = {
      {"empty", "", 1, ""},
      {"header only", Greek("Ονομα;Τιμη\r\n"), 1, ""},
      {"empty rows of a spreadsheet", Greek("Ονομα;Τιμη\r\n;;\r\n;;\r\n"), 1, ""},
      {"binary", std::string("\0\x01\x02\xFE\r\n\0\0", 8), 0,
       "\n2 γραμμές: χαρακτήρες ελέγχου μέσα στη γραμμή (γραμμή 1)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ui_.messages.clear();
    EXPECT_FALSE(Import(c.bytes, Options(UpdateMode::kReplace, c.title_lines, false)));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Δεν βρέθηκαν είδη στο αρχείο." + std::string(c.why));
    EXPECT_EQ(ui_.messages[0].icon, Icon::kError);
    EXPECT_TRUE(image_ == before) << "the item table was not emptied";
    EXPECT_FALSE(image_.state.modified);
  }
  EXPECT_TRUE(ui_.beeps.empty());
}

TEST_F(CsvTest, ReplaceGivesTwoPriceDecimalsWhenTheFileHasNoPrice) {
  CsvOptions o = Options(UpdateMode::kReplace, 0, false);
  o.columns.price = false;
  ASSERT_TRUE(Import("A;;;;\r\nB;;;;\r\n", o));
  EXPECT_EQ(It(1).price_decimals(), 2);
  EXPECT_EQ(It(2).price_decimals(), 2);
  ASSERT_TRUE(Import("C;;;;;\r\nD;7,125;;;\r\n", Options(UpdateMode::kReplace, 0, false)));
  EXPECT_EQ(It(1).price_decimals(), 2) << "an empty price field";
  EXPECT_EQ(It(2).price_decimals(), 3) << "a price keeps its own decimals";
  EXPECT_EQ(It(3).price_decimals(), 0) << "items the file did not give stay all zero";
}

TEST_F(CsvTest, LinesThatWentNowhereAreCountedAndSaid) {
  std::string file = Greek("Ονομα\r\n");
  for (int n = 1; n <= 20000; ++n) file += "ITEM " + std::to_string(n) + "\r\n";
  CsvOptions o = Options(UpdateMode::kReplace, 1, false);
  o.columns = {false, false, false, false, false};
  o.path = WriteFile("many.csv", file);
  const CsvOutcome r = ImportItems(image_, o, ui_);
  ASSERT_TRUE(r.done);
  EXPECT_EQ(Name(16000), "ITEM 16000");
  EXPECT_EQ(r.lines_not_taken, 4000);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text,
            "Δεν περάστηκαν 4000 γραμμές του αρχείου:\n"
            "4000 γραμμές: δεν υπάρχει άλλη κενή θέση είδους (έως 16000 είδη)");
  EXPECT_EQ(ui_.messages[0].icon, Icon::kExclamation);

  // Numbers beyond the table and too-long lines, in ΔΙΟΡΘΩΣΗ.
  ui_.messages.clear();
  o = Options(UpdateMode::kCorrect);
  o.path = WriteFile("beyond.csv", "16001;A;1;;;\r\n20000;B;1;;;\r\n" + std::string(250, 'x') + "\r\n7;C;1;;;\r\n");
  const CsvOutcome r2 = ImportItems(image_, o, ui_);
  ASSERT_TRUE(r2.done);
  EXPECT_EQ(r2.lines_not_taken, 3);
  EXPECT_EQ(Name(7), "C");
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[1].text,
            "Δεν περάστηκαν 3 γραμμές του αρχείου:\n"
            "2 γραμμές: αριθμός είδους πάνω από 16000\n1 γραμμή: πολύ μεγάλη γραμμή");
}

// A field that is not what its column holds never becomes another value:
// the line is not taken, counted, and said with the first line it met; the
// rest of the file goes in.
TEST_F(CsvTest, LineWithAFieldItsColumnCannotHoldIsNotTakenWhole) {
  const struct {
    const char* what;
    std::string line;  // item 2's line of a numbered file with every column
  } cases[] = {
      {"a negative price", "2;NEW;-5,00;;1;1;"},
      {"more digits than the price holds", "2;NEW;2147483647;;1;1;"},
      {"a name in the price column", "2;NEW;COCA COLA 330ML;;1;1;"},
      {"an exponent", "2;NEW;1e308;;1;1;"},
      {"a fraction", "2;NEW;1/2;;1;1;"},
      {"letters in the item number", "2A;NEW;1;;1;1;"},
      {"a signed item number", "-2;NEW;1;;1;1;"},
      {"a decimal in the department", "2;NEW;1;;1.5;1;"},
      {"letters in the category", "2;NEW;1;;1;x;"},
      {"a department the field cannot hold", "2;NEW;1;;123;1;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    image_ = DataImage();
    ui_.messages.clear();
    CsvOptions o = Options(UpdateMode::kCorrect, 1);
    o.path = WriteFile("fields.csv", "TITLE\r\n1;ONE;1,00;;1;1;\r\n" + c.line + "\r\n3;THREE;3,00;;1;1;\r\n");
    const DataImage before = image_;
    const CsvOutcome r = ImportItems(image_, o, ui_);
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.lines_not_taken, 1);
    EXPECT_EQ(Name(1), "ONE");
    EXPECT_EQ(Name(3), "THREE");
    EXPECT_TRUE(std::equal(It(2).name().begin(), It(2).name().end(), before.item(1).name().begin()))
        << "nothing of the refused line went into item 2";
    EXPECT_EQ(It(2).price(), before.item(1).price());
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text.rfind("Δεν περάστηκε 1 γραμμή του αρχείου:\n1 γραμμή: τιμή ή αριθμός που δεν είναι "
                                         "έγκυρος (γραμμή 3: «",
                                         0),
              0u)
        << ui_.messages[0].text;
  }
  // --strict makes such a file a failure; zelctl reads lines_not_taken.
}

TEST_F(CsvTest, LineWithControlBytesIsNotTakenAndShownEscaped) {
  CsvOptions o = Options(UpdateMode::kReplace, 0, false);
  o.columns = {false, false, false, false, false};
  o.path = WriteFile("control.csv", "GOOD\r\nBAD\x1b[2JNAME\r\nTAB\tNAME\r\n" + std::string("NUL\0NAME", 8) + "\r\n" +
                                        std::string(210, 'x') + "\x1b]0;\r\nLAST\r\n");
  const CsvOutcome r = ImportItems(image_, o, ui_);
  ASSERT_TRUE(r.done);
  EXPECT_EQ(Name(1), "GOOD");
  EXPECT_EQ(Name(2), "LAST");
  EXPECT_TRUE(It(3).empty());
  EXPECT_EQ(r.lines_not_taken, 4);
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[1].text,
            "Δεν περάστηκαν 4 γραμμές του αρχείου:\n1 γραμμή: πολύ μεγάλη γραμμή\n"
            "3 γραμμές: χαρακτήρες ελέγχου μέσα στη γραμμή (γραμμή 2)");
  for (const auto& m : ui_.messages) EXPECT_EQ(m.text.find('\x1b'), std::string::npos) << "no ESC reaches a terminal";
  // The refused price is shown with its control bytes escaped.
  ui_.messages.clear();
  o = Options(UpdateMode::kReplace, 0, false);
  o.columns = {false, true, false, false, false};
  o.path = WriteFile("price.csv",
                     "A;1\r\nB;1\x7f"
                     "2\r\n");
  ASSERT_TRUE(ImportItems(image_, o, ui_).done);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_NE(ui_.messages[0].text.find("(γραμμή 2)"), std::string::npos) << ui_.messages[0].text;
  ui_.messages.clear();
  o.path = WriteFile("long.csv", std::string("\x1b[31m") + std::string(250, 'y') + "\r\nA;1\r\n");
  ASSERT_TRUE(ImportItems(image_, o, ui_).done);
  ASSERT_FALSE(ui_.messages.empty());
  EXPECT_EQ(ui_.messages[0].text.rfind("The line beginning with [\\x1b[31myyyyyyyyyyyyyyy] is too long!", 0), 0u)
      << ui_.messages[0].text;
}

TEST_F(CsvTest, OldMacLineEndsAreLineEnds) {
  ASSERT_TRUE(Import(Greek("Ονομα;Τιμη\rA;1\rB;2,50\r"), Options(UpdateMode::kReplace, 1, false)));
  EXPECT_EQ(Name(1), "A");
  EXPECT_EQ(Name(2), "B");
  EXPECT_EQ(It(2).price(), 250);
  EXPECT_TRUE(It(3).empty());
  // Mixed with CR LF and LF, and the customers too.
  ASSERT_TRUE(Import("C;3\r\nD;4\nE;5\r", Options(UpdateMode::kReplace, 0, false)));
  EXPECT_EQ(Name(3), "E");
  const std::string path = WriteFile("customers.csv", "a;b;c;d;e\r11;X;;;\r22;Y;;;\r");
  ASSERT_TRUE(ImportCustomers(image_, path, ui_).done);
  EXPECT_EQ(image_.customer(0).tax_number(), 11);
  EXPECT_EQ(image_.customer(1).tax_number(), 22);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(CsvTest, CorrectWithAFileThatGivesNoLineIsRefusedAndBinaryChangesNothing) {
  // Bytes of no text at all, from a fixed seed, in ΔΙΟΡΘΩΣΗ with every
  // column: no item may change.
  std::string binary;
  std::uint32_t x = 12345;
  for (int i = 0; i < 20000; ++i) {
    x = x * 1103515245u + 12345u;
    binary += static_cast<char>(x >> 24);
  }
  const DataImage before = image_;
  for (const std::string& file : {binary, std::string(), std::string("TITLE\r\n")}) {
    ui_.messages.clear();
    CsvOptions o = Options(UpdateMode::kCorrect, 0);
    o.path = WriteFile("nothing.csv", file);
    const CsvOutcome r = ImportItems(image_, o, ui_);
    EXPECT_FALSE(r.done);
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_EQ(ui_.messages.back().text.rfind("Δεν βρέθηκαν είδη στο αρχείο.", 0), 0u) << ui_.messages.back().text;
    EXPECT_TRUE(image_ == before);
    EXPECT_FALSE(image_.state.modified);
  }
}

TEST_F(CsvTest, CustomersLineWithABadTaxNumberIsNotTakenAndAFileOfNoneIsRefused) {
  image_.customer(0).set_tax_number(99);
  const DataImage before = image_;
  std::string path = WriteFile("none.csv", "a;b;c;d;e\r\n12A;X;;;\r\n-5;Y;;;\r\n1e3;Z;;;\r\n");
  EXPECT_FALSE(ImportCustomers(image_, path, ui_).done);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text,
            "Δεν βρέθηκαν πελάτες στο αρχείο.\n3 γραμμές: τιμή ή αριθμός που δεν είναι έγκυρος (γραμμή 2: «12A»)");
  EXPECT_TRUE(image_ == before) << "the customer table was not emptied";
  EXPECT_FALSE(ImportCustomers(image_, WriteFile("header.csv", "a;b;c;d;e\r\n"), ui_).done);
  EXPECT_EQ(ui_.messages.back().text, "Δεν βρέθηκαν πελάτες στο αρχείο.");
  EXPECT_TRUE(image_ == before);

  ui_.messages.clear();
  path = WriteFile("some.csv", "a;b;c;d;e\r\n1234567890;TOO LONG;;;\r\n 42 ;KEPT;;;\r\n");
  const CsvOutcome r = ImportCustomers(image_, path, ui_);
  ASSERT_TRUE(r.done);
  EXPECT_EQ(r.lines_not_taken, 1);
  EXPECT_EQ(image_.customer(0).tax_number(), 42) << "the refused line used no customer";
  EXPECT_EQ(TextOf(image_.customer(0).company()), "KEPT");
}

TEST_F(CsvTest, ExportTitleIsOneLine) {
  for (const char* title : {"A\r\nB", "A\nB", "A\rB"}) {
    CsvOptions o;
    o.title = title;
    o.path = WriteFile("titled.csv", "old");
    ui_.messages.clear();
    EXPECT_FALSE(ExportItems(image_, o, ui_).done);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Ο τίτλος είναι μία γραμμή: χωρίς αλλαγή γραμμής.");
    EXPECT_EQ(Slurp(o.path), "old");
  }
}

TEST_F(CsvTest, ExportNeverReplacesAFileTheUserMayNotWrite) {
  const std::string path = WriteFile("locked.csv", "keep me");
  ::chmod(path.c_str(), 0444);
  CsvOptions o;
  o.path = path;
  EXPECT_FALSE(ExportItems(image_, o, ui_).done);
  EXPECT_FALSE(ExportCustomers(image_, path, ui_).done);
  ASSERT_EQ(ui_.messages.size(), 2u);
  const std::string cause =
      "\ncsv_test_ExportNeverReplacesAFileTheUserMayNotWrite_locked.csv: το αρχείο είναι μόνο για ανάγνωση";
  EXPECT_EQ(ui_.messages[0].text, "Σφάλμα εγγραφής!" + cause);
  EXPECT_EQ(ui_.messages[1].text, "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!" + cause);
  EXPECT_EQ(Slurp(path), "keep me");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  ::chmod(path.c_str(), 0644);
}

TEST_F(CsvTest, AFifoIsRefusedWithoutWaitingForAWriter) {
  const support::Fifo fifo(Path("fifo.csv"));
  ASSERT_TRUE(fifo.made());
  const DataImage before = image_;
  CsvOptions o;
  o.path = fifo.path();
  bool items = true, customers = true, exported = true;
  EXPECT_TRUE(fifo.Returns([&] {
    items = ImportItems(image_, o, ui_).done;
    customers = ImportCustomers(image_, o.path, ui_).done;
    exported = ExportItems(image_, o, ui_).done;
  }));
  EXPECT_FALSE(items);
  EXPECT_FALSE(customers);
  EXPECT_FALSE(exported);
  const std::string cause = "\ncsv_test_AFifoIsRefusedWithoutWaitingForAWriter_fifo.csv: δεν είναι κανονικό αρχείο";
  EXPECT_EQ(ui_.MessageTexts(), (std::vector<std::string>{"Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!" + cause,
                                                          "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!" + cause,
                                                          "Σφάλμα εγγραφής!" + cause}));
  EXPECT_TRUE(image_ == before);
  struct stat st {};
  ASSERT_EQ(::stat(fifo.path().c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the export did not put a file in its place";
}

// ---- Customers ---------------------------------------------------------------------------------

void SetCustomer(DataImage& image, int n, std::int32_t tax, std::string_view company, std::string_view phone) {
  const Customer c = image.customer(n - 1);
  c.set_tax_number(tax);
  StoreText(c.company(), company);
  StoreText(c.profession(), "PROF");
  StoreText(c.address(), "ADDR");
  StoreText(c.tax_office(), "DOY");
  StoreText(c.phone(), phone);
}

TEST_F(CsvTest, CustomersExportForm) {
  SetCustomer(image_, 3, 12345, Greek("ΨΗΤΟΠΩΛΕΙΟ"), "2101234567");
  SetCustomer(image_, 10, 999999999, "A;B", "");
  EXPECT_EQ(CustomersCsvText(image_), Greek("Α Φ Μ;ΕΠΩΝΥΜΙΑ;ΕΠΑΓΓΕΛΜΑ;ΔΙΕΥΘΥΝΣΗ;Δ Ο Υ;ΤΗΛΕΦΩΝΟ\r\n") + "    12345;" +
                                          Greek("ΨΗΤΟΠΩΛΕΙΟ") +
                                          ";PROF;ADDR;DOY;2101234567\r\n999999999;\"A;B\";PROF;ADDR;DOY;\r\n");
}

TEST_F(CsvTest, CustomersExportImportPacksThemFromOne) {
  SetCustomer(image_, 3, 12345, Greek("ΨΗΤΟΠΩΛΕΙΟ Ο ΜΑΚΗΣ"), "2101234567");
  SetCustomer(image_, 10, 999999999, "A;B", "");
  const std::string path = Path("customers.csv");
  ASSERT_TRUE(ExportCustomers(image_, path, ui_).done);
  image_.customer(500).set_tax_number(7);
  ASSERT_TRUE(ImportCustomers(image_, path, ui_).done);
  EXPECT_EQ(image_.customer(0).tax_number(), 12345);
  EXPECT_EQ(TextOf(image_.customer(0).company()), Greek("ΨΗΤΟΠΩΛΕΙΟ Ο ΜΑΚΗΣ"));
  EXPECT_EQ(TextOf(image_.customer(0).phone()), "2101234567");
  EXPECT_EQ(image_.customer(1).tax_number(), 999999999);
  EXPECT_EQ(TextOf(image_.customer(1).company()), "A;B");
  EXPECT_EQ(TextOf(image_.customer(1).tax_office()), "DOY");
  EXPECT_TRUE(image_.customer(2).empty());
  EXPECT_TRUE(image_.customer(9).empty());
  EXPECT_TRUE(image_.customer(500).empty()) << "the whole table was replaced";
  EXPECT_EQ(ui_.beeps.size(), 2u);
}

TEST_F(CsvTest, CustomersHeaderMappedByKeyTelephoneFirst) {
  const std::string path = WriteFile("keys.csv", Greek("Τηλέφωνο;αφμ;Επονυμια;ΕΠΑΓΓΕΛΜΑ;Διεύθυνση;ΔΟΥ\r\n") +
                                                     "2109999999;123;ACME;SHOP;ODOS 1;A ATHINON\r\n\r\n555;456\r\n");
  ASSERT_TRUE(ImportCustomers(image_, path, ui_).done);
  const ConstCustomer c = std::as_const(image_).customer(0);
  EXPECT_EQ(TextOf(c.phone()), "2109999999");
  EXPECT_EQ(c.tax_number(), 123);
  EXPECT_EQ(TextOf(c.company()), "ACME");
  EXPECT_EQ(TextOf(c.profession()), "SHOP");
  EXPECT_EQ(TextOf(c.address()), "ODOS 1");
  EXPECT_EQ(TextOf(c.tax_office()), "A ATHINON");
  EXPECT_TRUE(image_.customer(1).empty()) << "an empty line is an empty customer";
  EXPECT_EQ(image_.customer(2).tax_number(), 456);
  EXPECT_EQ(TextOf(image_.customer(2).phone()), "555");
}

TEST_F(CsvTest, CustomersDuplicateKeyCountsOnlyForItsFirstColumn) {
  const std::string path = WriteFile("dup.csv", Greek("ΑΦΜ;ΑΦΜ;ΕΠΟ;ΕΠΑ;ΔΙΕ;ΔΟΥ\r\n") + "1;2;C;P;A;T\r\n");
  ASSERT_TRUE(ImportCustomers(image_, path, ui_).done);
  EXPECT_EQ(image_.customer(0).tax_number(), 1);
  EXPECT_EQ(TextOf(image_.customer(0).company()), "C");
}

TEST_F(CsvTest, ShortCustomersHeaderIsRefusedAndTheTableKept) {
  SetCustomer(image_, 1, 111, "KEEP", "1");
  const DataImage before = image_;
  const std::string path = WriteFile("short.csv", Greek("ΑΦΜ;ΕΠΟ;ΕΠΑ;ΔΙΕ\r\n") + "5;X;Y;Z\r\n");
  EXPECT_FALSE(ImportCustomers(image_, path, ui_).done);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!");
  EXPECT_TRUE(ui_.messages[0].system_modal);
  EXPECT_TRUE(image_ == before);
  EXPECT_FALSE(image_.state.modified);
  EXPECT_FALSE(ImportCustomers(image_, WriteFile("empty.csv", ""), ui_).done);
  EXPECT_TRUE(image_ == before);
}

TEST_F(CsvTest, AtMostAThousandCustomersAndTwentyHeaderColumns) {
  std::string file = "a;b;c;d;e;f";
  for (int k = 0; k < 30; ++k) file += ";x";
  file += "\r\n";
  for (int n = 1; n <= 1005; ++n) file += std::to_string(n) + ";N" + std::to_string(n) + ";;;;\r\n";
  const CsvOutcome r = ImportCustomers(image_, WriteFile("many.csv", file + ";;;;;\r\n"), ui_);
  ASSERT_TRUE(r.done);
  EXPECT_EQ(image_.customer(999).tax_number(), 1000);
  EXPECT_EQ(TextOf(image_.customer(999).company()), "N1000");
  EXPECT_EQ(r.lines_not_taken, 5) << "an empty row at the end is no lost customer";
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text,
            "Δεν περάστηκαν 5 γραμμές του αρχείου:\n5 γραμμές: δεν υπάρχει άλλη θέση πελάτη (έως 1000 πελάτες)");
}

TEST(CsvDialog, StartNeedsAFile) {
  zel::test::ScriptedUi ui;
  const CsvOptions o = DefaultCsvOptions("");
  EXPECT_EQ(o.title_lines, 1);
  EXPECT_EQ(o.mode, UpdateMode::kReplace);
  EXPECT_TRUE(o.columns.number && o.columns.price && o.columns.barcode && o.columns.department && o.columns.category);
  EXPECT_FALSE(CanStart(o, ui));
  EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"ΕΙΣΑΓΕΤΕ ΑΡΧΕΙΟ !"});
  EXPECT_EQ(ui.messages[0].icon, Icon::kError);
  EXPECT_TRUE(CanStart(DefaultCsvOptions("/tmp/x.csv"), ui));
  const FileDialog save = CsvFileDialog(false, "/tmp/x.csv");
  EXPECT_EQ(save.mode, FileDialog::Mode::kSave);
  EXPECT_TRUE(save.overwrite_prompt);
  EXPECT_EQ(save.initial_path, "/tmp/x.csv");
  EXPECT_EQ(CsvFileDialog(true, "").filter, "ΑΡΧΕΙΟ CSV (*.csv)|*.csv||");
}

}  // namespace
}  // namespace zel::editors
