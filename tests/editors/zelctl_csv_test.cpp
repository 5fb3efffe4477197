// zelctl export-items / import-items / export-customers / import-customers,
// run as a dealer's script runs them: exit status, stderr, and a database
// that is written only after an import that went through.
#include <gtest/gtest.h>
#include <unistd.h>

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

std::string Greek(std::string_view utf8) { return cp1253::Encode(utf8); }

class ZelctlCsvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zelctl-csv-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    db_ = (dir_ / "shop.cld").string();
    ASSERT_EQ(WriteDatabaseFile(db_, DataImage()), FileStatus::kOk);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Slurp(const fs::path& p) { return test::Slurp(p); }
  std::string File(const std::string& name, std::string_view bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
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

TEST_F(ZelctlCsvTest, ExportItemsWithTitleAndColumns) {
  const std::string out = (dir_ / "items.csv").string();
  const Outcome r = Zelctl("export-items " + db_ + " " + out + " --title 'Τιμές 2024' --columns name,price");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string csv = Slurp(out);
  EXPECT_EQ(csv.substr(0, csv.find("\r\n", csv.find("\r\n") + 2) + 2), Greek("Τιμές 2024\r\nΟνομα;Τιμη\r\n"));
  EXPECT_NE(csv.find(Greek("ΕΙΔΟΣ 5") + std::string(19, ' ') + ";5,00;\r\n"), std::string::npos);
}

TEST_F(ZelctlCsvTest, ImportItemsSavesTheDatabase) {
  const std::string in = File("in.csv", Greek("Αριθμός;Ονομα;Τιμη\r\n7;ΚΑΦΕΣ;2.5\r\n;ΤΣΑΙ;1\r\n"));
  const Outcome r = Zelctl("import-items " + db_ + " " + in + " --mode correct --columns number,name,price");
  ASSERT_EQ(r.status, 0) << r.err;
  const DataImage db = Db();
  EXPECT_EQ(TextOf(db.item(6).name()), Greek("ΚΑΦΕΣ"));
  EXPECT_EQ(db.item(6).price(), 250);
  EXPECT_EQ(TextOf(db.item(5).name()), Greek("ΤΣΑΙ"));
  EXPECT_EQ(TextOf(db.item(0).name()), Greek("ΕΙΔΟΣ 1")) << "ΔΙΟΡΘΩΣΗ keeps the other items";

  ASSERT_EQ(Zelctl("import-items " + db_ + " " + in + " --title-lines 1 --mode replace").status, 0);
  EXPECT_EQ(TextOf(Db().item(0).name()), Greek("ΤΣΑΙ")) << "ΑΛΛΑΓΗ: 7 goes to item 7, the unnumbered line to item 1";
}

TEST_F(ZelctlCsvTest, RefusedImportLeavesTheDatabaseFileAlone) {
  const std::string before = Slurp(db_);
  const std::string bom = File("bom.csv", "\xEF\xBB\xBFheader\r\n1;A;1;;1;1;\r\n");
  Outcome r = Zelctl("import-items " + db_ + " " + bom);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Παρακαλώ μετατρέψτε το αρχείο σε απλό κείμενο (ANSI)\n");
  r = Zelctl("import-items " + db_ + " " + (dir_ / "missing.csv").string());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!\nmissing.csv: δεν υπάρχει τέτοιο αρχείο\n")
      << "the second line tells the CSV file from the database";
  r = Zelctl("import-customers " + db_ + " " + File("short.csv", "a;b;c\r\n1;2;3\r\n"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Slurp(db_), before);
}

TEST_F(ZelctlCsvTest, MisuseIsExitTwo) {
  for (const std::string& args :
       {"import-items " + db_ + " x.csv --mode sideways", "export-items " + db_ + " x.csv --columns name,colour",
        "import-items " + db_ + " x.csv --title-lines 10", "export-items " + db_,
        "export-items " + db_ + " x.csv --title-lines 1", "import-customers " + db_,
        "export-items " + db_ + " x.csv --strict", "import-customers " + db_ + " x.csv --all"}) {
    EXPECT_EQ(Zelctl(args).status, 2) << args;
  }
}

TEST_F(ZelctlCsvTest, CustomersRoundTripAndLongLineWarning) {
  const std::string in = File("cust.csv", Greek("ΑΦΜ;ΕΠΟ;ΕΠΑ;ΔΙΕ;ΔΟΥ;ΤΗΛ\r\n") + "123;ACME;SHOP;ODOS;DOY;210\r\n" +
                                              std::string(250, 'x') + "\r\n456;B;;;;\r\n");
  Outcome r = Zelctl("import-customers " + db_ + " " + in);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "The line beginning with [" + std::string(20, 'x') +
                       "] is too long! Line omitted\n"
                       "Δεν περάστηκε 1 γραμμή του αρχείου:\n1 γραμμή: πολύ μεγάλη γραμμή\n");
  const std::string out = (dir_ / "cust-out.csv").string();
  ASSERT_EQ(Zelctl("export-customers " + db_ + " " + out).status, 0);
  EXPECT_EQ(Slurp(out), Greek("Α Φ Μ;ΕΠΩΝΥΜΙΑ;ΕΠΑΓΓΕΛΜΑ;ΔΙΕΥΘΥΝΣΗ;Δ Ο Υ;ΤΗΛΕΦΩΝΟ\r\n") +
                            "      123;ACME;SHOP;ODOS;DOY;210\r\n      456;B;;;;\r\n");
}

TEST_F(ZelctlCsvTest, ATitleWithALineBreakIsRefused) {
  for (const char* title : {"A\\nB", "A\\rB", "A\\r\\nB"}) {
    const Outcome r =
        Zelctl("export-items " + db_ + " " + (dir_ / "t.csv").string() + " --title \"$(printf '" + title + "')\"");
    EXPECT_EQ(r.status, 2) << title;
    EXPECT_EQ(r.err, "Ο τίτλος είναι μία γραμμή: χωρίς αλλαγή γραμμής.\n") << title;
    EXPECT_FALSE(fs::exists(dir_ / "t.csv")) << title;
  }
}

TEST_F(ZelctlCsvTest, LinesLeftOutAreAWarningOrWithStrictAFailure) {
  std::string file = "ITEM\r\n";
  for (int n = 1; n <= 20000; ++n) file += "ITEM " + std::to_string(n) + "\r\n";
  const std::string in = File("many.csv", file);
  const std::string before = Slurp(db_);

  Outcome r = Zelctl("import-items " + db_ + " " + in + " --columns name --strict");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "Δεν περάστηκαν 4000 γραμμές του αρχείου:\n"
            "4000 γραμμές: δεν υπάρχει άλλη κενή θέση είδους (έως 16000 είδη)\n"
            "--strict: η βάση " +
                db_ + " δεν άλλαξε.\n");
  EXPECT_EQ(Slurp(db_), before);

  r = Zelctl("import-items " + db_ + " " + in + " --columns name");
  EXPECT_EQ(r.status, 0) << "without --strict the warning is all";
  EXPECT_NE(r.err.find("Δεν περάστηκαν 4000 γραμμές"), std::string::npos);
  EXPECT_EQ(TextOf(Db().item(15999).name()), "ITEM 16000");

  const std::string ok = File("ok.csv", "H\r\nA;\r\n");
  EXPECT_EQ(Zelctl("import-items " + db_ + " " + ok + " --columns name --strict").status, 0)
      << "--strict with every line taken";
}

// A price the file does not hold as a number is never stored as another:
// without --strict its line is left out with a warning, with --strict the
// database stays; a file of old Macintosh line ends reads line by line, and
// one from which no line was taken is a failure.
TEST_F(ZelctlCsvTest, ValuesThatAreNotNumbersFailStrictlyAndNoLineTakenIsAFailure) {
  const std::string before = Slurp(db_);
  const std::string in = File("bad.csv", "1;A;1,00;;1;1;\r\n2;B;-5,00;;1;1;\r\n3;C;1e308;;1;1;\r\n");
  Outcome r = Zelctl("import-items " + db_ + " " + in + " --title-lines 0 --mode correct --strict");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "Δεν περάστηκαν 2 γραμμές του αρχείου:\n2 γραμμές: τιμή ή αριθμός που δεν είναι έγκυρος (γραμμή 2: "
            "«-5,00»)\n--strict: η βάση " +
                db_ + " δεν άλλαξε.\n");
  EXPECT_EQ(Slurp(db_), before);

  r = Zelctl("import-items " + db_ + " " + in + " --title-lines 0 --mode correct");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(TextOf(Db().item(1).name()), Greek("ΕΙΔΟΣ 2")) << "the refused line did not touch item 2";
  EXPECT_EQ(Db().item(1).price(), 200);

  const std::string mac = File("mac.csv", "H\rX;1\rY;2\r");
  r = Zelctl("import-items " + db_ + " " + mac + " --columns name,price --mode replace --strict");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(TextOf(Db().item(1).name()), "Y");

  const std::string none = File("none.csv", "H\r\n;;;\r\n");
  const std::string kept = Slurp(db_);
  r = Zelctl("import-items " + db_ + " " + none + " --mode correct");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Δεν βρέθηκαν είδη στο αρχείο.\n");
  EXPECT_EQ(Slurp(db_), kept);
}

TEST_F(ZelctlCsvTest, ReadOnlyFilesAndFifosAreLeftAlone) {
  const std::string in = File("in.csv", "H\r\nA;\r\n");
  const std::string before = Slurp(db_);
  fs::permissions(db_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  Outcome r = Zelctl("import-items " + db_ + " " + in + " --columns name");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Σφάλμα εγγραφής!\nshop.cld: το αρχείο είναι μόνο για ανάγνωση\n");
  EXPECT_EQ(Slurp(db_), before);
  fs::permissions(db_, fs::perms::owner_write, fs::perm_options::add);

  const std::string locked = File("locked.csv", "keep");
  fs::permissions(locked, fs::perms::owner_read);
  r = Zelctl("export-items " + db_ + " " + locked);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Σφάλμα εγγραφής!\nlocked.csv: το αρχείο είναι μόνο για ανάγνωση\n");
  EXPECT_EQ(Slurp(locked), "keep");

  const support::Fifo fifo((dir_ / "pipe.csv").string());
  ASSERT_TRUE(fifo.made());
  for (const std::string cmd : {"import-items ", "import-customers "}) {
    EXPECT_TRUE(fifo.Returns([&] { r = Zelctl(cmd + db_ + " " + fifo.path()); })) << cmd;
    EXPECT_EQ(r.status, 1) << cmd;
    EXPECT_EQ(r.err, "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!\npipe.csv: δεν είναι κανονικό αρχείο\n") << cmd;
  }
  EXPECT_EQ(Slurp(db_), before);
}

}  // namespace
}  // namespace zel
