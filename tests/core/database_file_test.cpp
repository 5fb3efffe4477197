#include "core/database_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "core/safe_file.h"
#include "support/fifo.h"
#include "support/scripted_ui.h"

namespace zel {
namespace {

namespace fs = std::filesystem;
using test::ScriptedUi;

class DatabaseFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zel-db-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  static std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }
  static void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  // An image with every byte of every block random, like a full database.
  static DataImage Filled(unsigned seed) {
    DataImage db;
    std::mt19937 rng(seed);
    for (auto& b : db.bytes()) b = static_cast<std::uint8_t>(rng());
    return db;
  }

  fs::path dir_;
};

TEST_F(DatabaseFileTest, NewDatabaseFileHasTheDocumentedByteImage) {
  const std::string path = Path("new.cld");
  ASSERT_EQ(WriteDatabaseFile(path, DataImage()), FileStatus::kOk);
  const std::string bytes = Slurp(path);
  ASSERT_EQ(bytes.size(), kFileSize);
  EXPECT_EQ(bytes.substr(0, 8640), std::string(8640, '\0'));
  EXPECT_EQ(bytes.substr(8640, 11), "  SETUP ZEL");
  EXPECT_EQ(bytes.substr(927316), std::string("\x06\x7B\x31\x20", 4));
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::others_read, fs::perms::others_read)
      << "a new file gets the usual permissions, not the temporary file's 0600";
}

TEST_F(DatabaseFileTest, SaveAndReadBackEveryByte) {
  const DataImage full = Filled(1);
  const std::string path = Path("full.cld");
  ASSERT_EQ(WriteDatabaseFile(path, full), FileStatus::kOk);
  DataImage back;
  ASSERT_EQ(ReadDatabaseFile(path, back.raw()), FileStatus::kOk);
  EXPECT_TRUE(back == full);
  EXPECT_EQ(fs::file_size(path), kFileSize);
}

TEST_F(DatabaseFileTest, FileEdgeCases) {
  const std::string good = [] {
    std::string s(kFileSize, 'x');
    s.replace(kImageSize, 4, std::string("\x06\x7B\x31\x20", 4));
    return s;
  }();
  struct Case {
    const char* name;
    std::string bytes;
    FileStatus status;
  };
  const Case cases[] = {
      {"exact", good, FileStatus::kOk},
      {"one byte short", good.substr(0, kFileSize - 1), FileStatus::kShort},
      {"blocks only", good.substr(0, kImageSize), FileStatus::kShort},
      {"longer", good + std::string(100, '\x55'), FileStatus::kOk},
      {"wrong signature", good.substr(0, kImageSize) + std::string("\x06\x7B\x31\x21", 4), FileStatus::kBadSignature},
      {"empty", "", FileStatus::kShort},
  };
  for (const auto& c : cases) {
    const std::string path = Path("case.cld");
    Spit(path, c.bytes);
    DataImage db;
    const DataImage before = db;
    EXPECT_EQ(ReadDatabaseFile(path, db.raw()), c.status) << c.name;
    if (c.status == FileStatus::kOk) {
      EXPECT_EQ(db.bytes()[0], 'x') << c.name;
    } else {
      EXPECT_TRUE(db == before) << c.name << ": a refused file changes nothing";
    }
  }
  DataImage db;
  EXPECT_EQ(ReadDatabaseFile(Path("missing.cld"), db.raw()), FileStatus::kCannotOpen);
  EXPECT_EQ(ReadDatabaseFile(dir_.string(), db.raw()), FileStatus::kCannotOpen) << "a folder";
}

TEST_F(DatabaseFileTest, FailedOpenResetsButNeverTakesHalfAFile) {
  // A file whose customer table is complete but whose signature is wrong:
  // none of it may reach the image.
  const DataImage bad_source = Filled(2);
  const std::string path = Path("bad.cld");
  ASSERT_EQ(WriteDatabaseFile(path, bad_source), FileStatus::kOk);
  std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).seekp(927319).put('\x21');

  DataImage db;
  db.customer(0).set_tax_number(42);
  db.item(0).set_price(999);
  db.state.modified = true;
  ScriptedUi ui;
  ui.yes_no = {true};
  ui.files = {path};
  EXPECT_FALSE(OpenDatabase(db, ui));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!\nbad.cld: δεν είναι αρχείο βάσης δεδομένων Setup ZEL");
  EXPECT_EQ(ui.messages[0].icon, Icon::kError);
  EXPECT_EQ(ui.messages[0].caption, "");
  EXPECT_EQ(ui.title, "Setup ZEL - Αρχική βάση δεδομένων");
  EXPECT_EQ(db.state.path, path) << "the failed file's path stays";
  EXPECT_FALSE(db.state.modified);
  EXPECT_EQ(db.item(0).price(), 100) << "reset to defaults";
  DataImage expected;  // defaults with the customers the image had before
  expected.customer(0).set_tax_number(42);
  EXPECT_TRUE(db == expected);
}

TEST_F(DatabaseFileTest, FailedOpenByPathLeavesTheImageAsItWas) {
  const std::string path = Path("short.cld");
  Spit(path, std::string(kFileSize - 1, '\x01'));
  DataImage db = Filled(3);
  db.state.path = "old.cld";
  db.state.modified = true;
  const DataImage before = db;
  ScriptedUi ui;
  EXPECT_FALSE(OpenDatabasePath(db, ui, path));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Σφάλμα κατά την ανάγνωση!\nshort.cld: δεν είναι αρχείο βάσης δεδομένων Setup ZEL");
  EXPECT_TRUE(ui.messages[0].system_modal);
  EXPECT_TRUE(db == before);
  EXPECT_EQ(db.state.path, "old.cld");
  EXPECT_TRUE(db.state.modified);
  EXPECT_TRUE(ui.questions.empty());
}

TEST_F(DatabaseFileTest, OpenByPathSetsPathAndTitleButNotTheFlag) {
  const std::string path = Path("shop.cld");
  ASSERT_EQ(WriteDatabaseFile(path, Filled(4)), FileStatus::kOk);
  DataImage db;
  db.state.modified = true;
  ScriptedUi ui;
  EXPECT_TRUE(OpenDatabasePath(db, ui, path));
  EXPECT_TRUE(db == Filled(4));
  EXPECT_EQ(db.state.path, path);
  EXPECT_TRUE(db.state.modified);
  EXPECT_EQ(ui.title, "shop- Setup ZEL");
}

TEST_F(DatabaseFileTest, SaveAsksOnlyWhenThereIsNoPath) {
  DataImage db;
  ScriptedUi ui;
  ui.files = {Path("first.cld")};
  db.state.modified = true;
  ASSERT_TRUE(SaveDatabase(db, ui, false));
  ASSERT_EQ(ui.dialogs.size(), 1u);
  EXPECT_EQ(ui.dialogs[0].mode, FileDialog::Mode::kSave);
  EXPECT_EQ(ui.dialogs[0].default_extension, ".cld");
  EXPECT_EQ(ui.dialogs[0].filter, "Setup ZEL ΑΛΛΑΓΗ (*.cld)|*.cld||");
  EXPECT_TRUE(ui.dialogs[0].overwrite_prompt);
  EXPECT_EQ(ui.title, "first- Setup ZEL");
  EXPECT_FALSE(db.state.modified);

  ui.title.clear();
  db.item(0).set_price(1);
  ASSERT_TRUE(SaveDatabase(db, ui, false));
  EXPECT_EQ(ui.dialogs.size(), 1u) << "second Save writes without asking";
  EXPECT_EQ(ui.title, "") << "no dialog, no new title";
  DataImage back;
  ASSERT_EQ(ReadDatabaseFile(Path("first.cld"), back.raw()), FileStatus::kOk);
  EXPECT_EQ(back.item(0).price(), 1);

  // Save as always asks; Cancel changes nothing.
  ui.files = {std::nullopt};
  db.state.modified = true;
  EXPECT_FALSE(SaveDatabase(db, ui, true));
  EXPECT_EQ(ui.dialogs.size(), 2u);
  EXPECT_EQ(ui.dialogs[1].initial_path, Path("first.cld"));
  EXPECT_TRUE(db.state.modified);
  EXPECT_EQ(db.state.path, Path("first.cld"));
}

TEST_F(DatabaseFileTest, NewKeepsPathAndCustomersSoSaveOverwritesTheLastFile) {
  const std::string path = Path("shop.cld");
  DataImage source;
  source.customer(5).set_tax_number(99);
  ASSERT_EQ(WriteDatabaseFile(path, source), FileStatus::kOk);

  DataImage db;
  ScriptedUi ui;
  ui.files = {path};
  ASSERT_TRUE(OpenDatabase(db, ui));
  EXPECT_EQ(ui.title, "shop- Setup ZEL");
  db.item(7).set_price(5);
  db.state.modified = true;

  ui.yes_no = {false};  // "Οι τελευταίες αλλαγές θα χαθούν!" -> No
  EXPECT_FALSE(NewDatabase(db, ui));
  EXPECT_EQ(db.item(7).price(), 5);
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0].text, "Οι τελευταίες αλλαγές θα χαθούν!");
  EXPECT_EQ(ui.questions[0].icon, Icon::kExclamation);

  ui.yes_no = {true};
  ASSERT_TRUE(NewDatabase(db, ui));
  EXPECT_EQ(ui.title, "Setup ZEL - Αρχική βάση δεδομένων");
  EXPECT_EQ(db.customer(5).tax_number(), 99) << "New keeps the customers";
  EXPECT_FALSE(db.state.modified);

  db.item(0).set_price(77);
  ASSERT_TRUE(SaveDatabase(db, ui, false));
  EXPECT_EQ(ui.dialogs.size(), 1u) << "the file opened before New is overwritten without a dialog";
  DataImage back;
  ASSERT_EQ(ReadDatabaseFile(path, back.raw()), FileStatus::kOk);
  EXPECT_EQ(back.item(0).price(), 77);
}

TEST_F(DatabaseFileTest, FailedSaveLeavesTheOldFileIntact) {
  const std::string path = Path("keep.cld");
  const DataImage old = Filled(5);
  ASSERT_EQ(WriteDatabaseFile(path, old), FileStatus::kOk);
  const std::string old_bytes = Slurp(path);

  DataImage db = Filled(6);
  db.state.path = path;
  db.state.modified = true;
  ScriptedUi ui;

  // Make the write itself fail half-way: a file size limit below the
  // database size (works for root too, unlike permissions).
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 400000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved_ok = SaveDatabase(db, ui, false);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(saved_ok);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Σφάλμα εγγραφής!\nkeep.cld: το αρχείο ξεπερνά το επιτρεπτό μέγεθος");
  EXPECT_TRUE(db.state.modified);
  EXPECT_EQ(Slurp(path), old_bytes);
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1) << "no temporary file is left behind";

  // A path in a folder that does not exist fails the same way.
  db.state.path = Path("no/such/folder/x.cld");
  EXPECT_FALSE(SaveDatabase(db, ui, false));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[1].text, "Σφάλμα εγγραφής!\nx.cld: δεν υπάρχει τέτοιο αρχείο");
}

TEST_F(DatabaseFileTest, AFileTheUserMayNotWriteIsNeverReplaced) {
  const std::string path = Path("locked.cld");
  ASSERT_EQ(WriteDatabaseFile(path, Filled(8)), FileStatus::kOk);
  const std::string old_bytes = Slurp(path);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  DataImage db = Filled(9);
  db.state.path = path;
  db.state.modified = true;
  ScriptedUi ui;
  EXPECT_FALSE(SaveDatabase(db, ui, false));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Σφάλμα εγγραφής!\nlocked.cld: το αρχείο είναι μόνο για ανάγνωση");
  EXPECT_TRUE(db.state.modified);
  std::string cause;
  EXPECT_EQ(WriteDatabaseFile(path, DataImage(), &cause), FileStatus::kCannotWrite);
  EXPECT_EQ(cause, "locked.cld: το αρχείο είναι μόνο για ανάγνωση");

  EXPECT_EQ(Slurp(path), old_bytes);
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1) << "no temporary file is left behind";
}

TEST_F(DatabaseFileTest, WhatIsNotARegularFileIsRefusedWithoutBlocking) {
  const support::Fifo fifo(Path("pipe.cld"));
  ASSERT_TRUE(fifo.made());
  DataImage db = Filled(10);
  db.state.modified = false;
  const DataImage before = db;
  ScriptedUi ui;
  bool opened = true, opened_by_path = true;
  FileStatus written = FileStatus::kOk;
  EXPECT_TRUE(fifo.Returns([&] {
    opened_by_path = OpenDatabasePath(db, ui, fifo.path());
    ui.files = {fifo.path()};
    opened = OpenDatabase(db, ui);
    written = WriteDatabaseFile(fifo.path(), before);
  }));
  EXPECT_FALSE(opened_by_path);
  EXPECT_FALSE(opened);
  EXPECT_EQ(written, FileStatus::kCannotWrite);
  EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{
                                   "Σφάλμα κατά την ανάγνωση!\npipe.cld: δεν είναι κανονικό αρχείο",
                                   "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!\npipe.cld: δεν είναι κανονικό αρχείο"}));
  EXPECT_EQ(fs::status(fifo.path()).type(), fs::file_type::fifo) << "still the FIFO";

  std::string cause;
  EXPECT_EQ(ReadDatabaseFile("/dev/null", db.raw(), &cause), FileStatus::kCannotOpen);
  EXPECT_EQ(cause, "null: δεν είναι κανονικό αρχείο");
}

// A save killed half-way leaves its temporary file; the next save of the
// same file removes it, but never one whose save is still going on, nor
// what belongs to another file.
TEST_F(DatabaseFileTest, TemporaryFilesOfAnInterruptedSaveGoWithTheNextSave) {
  const std::string path = Path("shop.cld");
  ASSERT_EQ(WriteDatabaseFile(path, DataImage()), FileStatus::kOk);
  for (int i = 0; i < 2; ++i) {
    const pid_t child = ::fork();
    if (child == 0) {
      AtomicFile f;
      FileFault fault;
      if (!f.Open(path, fault)) ::_exit(1);
      f.Write(std::string_view("half a database"));
      ::_exit(0);  // killed: no destructor, no rename
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Spit(Path(".other.cld.Ab12Cd"), "another file's");
  Spit(Path(".shop.cld.notmine"), "not a name of ours");
  const auto names = [&] {
    std::vector<std::string> n;
    for (const auto& e : fs::directory_iterator(dir_)) n.push_back(e.path().filename().string());
    std::sort(n.begin(), n.end());
    return n;
  };
  ASSERT_EQ(names().size(), 5u) << "two temporary files of the killed saves";

  // A save of the same file going on meanwhile, in this process.
  AtomicFile running;
  FileFault fault;
  ASSERT_TRUE(running.Open(path, fault));
  ASSERT_TRUE(running.Write(std::string_view("later")));

  ASSERT_EQ(WriteDatabaseFile(path, Filled(3)), FileStatus::kOk);
  std::vector<std::string> left = names();
  EXPECT_EQ(left.size(), 4u) << ::testing::PrintToString(left);
  EXPECT_TRUE(std::count(left.begin(), left.end(), ".other.cld.Ab12Cd") == 1);
  EXPECT_TRUE(std::count(left.begin(), left.end(), ".shop.cld.notmine") == 1);
  EXPECT_TRUE(running.Commit(fault)) << "the save that was going on still finishes";
  EXPECT_EQ(Slurp(path), "later");
  EXPECT_EQ(names(), (std::vector<std::string>{".other.cld.Ab12Cd", ".shop.cld.notmine", "shop.cld"}));
}

// File names in messages are shown with their control bytes escaped.
TEST(SafeFileTest, ControlCharactersOfANameAreShownEscaped) {
  EXPECT_EQ(EscapedControls("a\x1b[2Jb\tc\x7f\xc2\x9b"
                            "1;2H κ.csv"),
            "a\\x1b[2Jb\\x09c\\x7f\\u009b1;2H κ.csv");
  EXPECT_EQ(CauseLine("/tmp/x\x1b]0;t\x07.cld", "δεν υπάρχει τέτοιο αρχείο"),
            "x\\x1b]0;t\\x07.cld: δεν υπάρχει τέτοιο αρχείο");
}

TEST_F(DatabaseFileTest, SaveThroughASymlinkReplacesTheTarget) {
  const std::string target = Path("real.cld");
  ASSERT_EQ(WriteDatabaseFile(target, DataImage()), FileStatus::kOk);
  fs::create_symlink(target, Path("link.cld"));
  ASSERT_EQ(WriteDatabaseFile(Path("link.cld"), Filled(7)), FileStatus::kOk);
  EXPECT_TRUE(fs::is_symlink(Path("link.cld")));
  DataImage back;
  ASSERT_EQ(ReadDatabaseFile(target, back.raw()), FileStatus::kOk);
  EXPECT_TRUE(back == Filled(7));
}

}  // namespace
}  // namespace zel
