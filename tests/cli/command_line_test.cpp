// zelctl's command line as a user meets it: every command's --help in
// Greek, and a command line that is not understood refused with one line
// saying what is wrong, the command's usage and the exit status 2, before
// anything is read or written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "cli/cli_support.h"
#include "zel/version.h"

namespace zel {
namespace {

namespace fs = std::filesystem;
using test::Lines;
using test::RunZelctl;
using test::ZelctlOutcome;

// The English of CLI11's help and errors that must not reach the user.
// (CLI11's type names, TEXT and INT, are not among them: `fp send` has an
// argument named TEXT. They are labels like the rest.)
constexpr const char* kEnglish[] = {
    "Usage",     "Options",    "OPTIONS",    "Positionals",  "REQUIRED",     "Excludes",
    "Needs",     "Subcommand", "SUBCOMMAND", "Option Group", "help message", "version information",
    "required",  "Exactly",    "At least",   "At Most",      "not in",       "expected",
    "Could not", "argument",   "should be",  "Run with",
};

void ExpectNoEnglish(const std::string& text, const std::string& what) {
  for (const char* word : kEnglish)
    EXPECT_EQ(text.find(word), std::string::npos) << what << ": " << word << "\n" << text;
}

// The files of a folder beside the out and err files of RunZelctl.
std::set<std::string> FilesWritten(const fs::path& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(folder))
    if (e.path().filename() != "out" && e.path().filename() != "err") names.insert(e.path().filename().string());
  return names;
}

class ZelctlCommandLine : public ::testing::Test {
 protected:
  ZelctlOutcome Zelctl(const std::string& args) { return RunZelctl(dir_.path(), args); }
  test::TempDir dir_;
};

TEST_F(ZelctlCommandLine, TheProgramListsItsCommandsOnHelpAndOnStderrWithNone) {
  const ZelctlOutcome help = Zelctl("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_TRUE(
      help.out.starts_with("Χρήση: zelctl ΕΝΤΟΛΗ [ΟΡΙΣΜΑΤΑ]\n       zelctl --version\n\n  new FILE [--force]\n"))
      << help.out;
  ExpectNoEnglish(help.out, "--help");

  const ZelctlOutcome none = Zelctl("");
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, help.out);

  const ZelctlOutcome version = Zelctl("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "zelctl " + std::string(kVersion) + "\n");
}

// The commands found in the program's help are the ones it has; the other
// tests go through all of them.
TEST_F(ZelctlCommandLine, HelpListsEveryCommandAndItsCommands) {
  const std::vector<std::string> paths = test::CommandPaths(dir_.path());
  EXPECT_EQ(paths, (std::vector<std::string>{"new",
                                             "info",
                                             "dump",
                                             "export-items",
                                             "import-items",
                                             "export-customers",
                                             "import-customers",
                                             "logo",
                                             "transfer",
                                             "transfer read",
                                             "transfer write",
                                             "diff",
                                             "fleet",
                                             "fleet read",
                                             "fleet write",
                                             "check",
                                             "fp",
                                             "fp send",
                                             "fp keys",
                                             "fp report",
                                             "print"}));
}

// Each command's help: its description, its usage line, its arguments and
// options, all in Greek; the options of the usage line are the options it
// takes.
TEST_F(ZelctlCommandLine, EveryCommandHasItsHelpInGreek) {
  for (const std::string& path : test::CommandPaths(dir_.path())) {
    SCOPED_TRACE(path);
    const ZelctlOutcome r = Zelctl(path + " --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_GE(lines.size(), 2u) << r.out;
    EXPECT_FALSE(lines[0].empty()) << "the description comes first";
    EXPECT_TRUE(lines[1].starts_with("Χρήση: zelctl " + path + ' ')) << lines[1];
    EXPECT_NE(r.out.find("  -h,--help "), std::string::npos) << r.out;
    ExpectNoEnglish(r.out, path + " --help");
    if (!test::ListedCommands(r.out).empty()) continue;  // the options belong to its commands
    std::vector<std::string> listed = test::ListedOptions(r.out);
    std::erase(listed, "--help");
    std::vector<std::string> named;
    for (std::size_t at = lines[1].find("--"); at != std::string::npos; at = lines[1].find("--", at + 2))
      named.push_back(lines[1].substr(at, lines[1].find_first_of(" ]|)", at) - at));
    std::sort(named.begin(), named.end());
    named.erase(std::unique(named.begin(), named.end()), named.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(named, listed) << r.out;
  }
}

// An option a command does not have is said in one form, for every
// command, before anything missing, with nothing read or written.
TEST_F(ZelctlCommandLine, AnUnknownOptionIsOneLineAndExitTwo) {
  for (const std::string& path : test::CommandPaths(dir_.path())) {
    for (const std::string bad : {"--lann 127.0.0.1", "--lann=127.0.0.1"}) {
      SCOPED_TRACE(path + ' ' + bad);
      const ZelctlOutcome r = Zelctl(path + ' ' + bad);
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(r.out, "");
      const std::vector<std::string> lines = Lines(r.err);
      ASSERT_EQ(lines.size(), 2u) << r.err;
      EXPECT_EQ(lines[0], "zelctl " + path + ": άγνωστη επιλογή --lann");
      EXPECT_TRUE(lines[1].starts_with("Χρήση: zelctl " + path + ' ')) << lines[1];
    }
  }
  EXPECT_EQ(FilesWritten(dir_.path()), std::set<std::string>{});
}

// Each way a command line can be wrong, in Greek: the first line of
// stderr; the usage line follows it (the program's list, for the program).
TEST_F(ZelctlCommandLine, MisuseSaysWhatIsWrongInGreek) {
  struct Case {
    std::string args;
    std::string said;
  };
  const Case cases[] = {
      {"frobnicate", "Άγνωστη εντολή: frobnicate"},
      {"--frob", "zelctl: άγνωστη επιλογή --frob"},
      {"info", "zelctl info: λείπει το FILE"},
      {"info a.cld b.cld", "zelctl info: άγνωστο όρισμα b.cld"},
      {"info a.cld \"$(printf 'x\\033[2J')\"", "zelctl info: άγνωστο όρισμα x\\x1b[2J"},
      {"fp keys", "zelctl fp keys: λείπει το DB.cld"},
      {"transfer", "zelctl transfer: λείπει η εντολή (read, write)"},
      {"fp", "zelctl fp: λείπει η εντολή (send, keys, report)"},
      {"transfer sideways shop.cld items", "zelctl transfer: άγνωστη εντολή sideways"},
      {"transfer read shop.cld items --verify", "zelctl transfer read: άγνωστη επιλογή --verify"},
      {"transfer write shop.cld items --sales-report", "zelctl transfer write: άγνωστη επιλογή --sales-report"},
      {"fp report q", "zelctl fp report: λάθος τιμή για KIND: q (ένα από z,x,items,operators,efiles,last-z,fm)"},
      {"check --com 21", "zelctl check: λάθος τιμή για --com: 21 (από 1 έως 20)"},
      {"check --com x", "zelctl check: λάθος τιμή για --com: x (από 1 έως 20)"},
      {"check --com", "zelctl check: λείπει η τιμή του --com"},
      {"check --baud 4800", "zelctl check: λάθος τιμή για --baud: 4800 (ένα από 115200,9600)"},
      {"check --lan 1.2.3", "zelctl check: λάθος τιμή για --lan: 1.2.3 (ADDR ή ADDR:PORT)"},
      {"check --lan 127.0.0.1 --com 1", "zelctl check: το --lan δεν δίνεται μαζί με το --com"},
      {"fleet write shop.cld items --lan 1.2.3.4:x",
       "zelctl fleet write: λάθος τιμή για --lan: 1.2.3.4:x (ADDR ή ADDR:PORT)"},
      {"fleet read back items --parallel 65", "zelctl fleet read: λάθος τιμή για --parallel: 65 (από 1 έως 64)"},
      {"fp report fm --dates 01.03.2024", "zelctl fp report: το --dates θέλει 2 τιμές"},
      {"new shop.cld --force=yes", "zelctl new: το --force δεν παίρνει τιμή"},
      {"import-items shop.cld in.csv --mode sideways",
       "zelctl import-items: λάθος τιμή για --mode: sideways (ένα από correct,replace)"},
      {"import-items shop.cld in.csv --title-lines 10",
       "zelctl import-items: λάθος τιμή για --title-lines: 10 (από 0 έως 9)"},
      {"export-items shop.cld out.csv --columns name,colour",
       "zelctl export-items: λάθος τιμή για --columns: colour (ένα από number,name,price,barcode,department,category)"},
      {"logo shop.cld", "zelctl logo: λείπει το PICTURE.bmp"},
      {"logo shop.cld logo.bmp --clear", "zelctl logo: το PICTURE.bmp δεν δίνεται μαζί με το --clear"},
      {"print FM.TXT", "zelctl print: λείπει το --pdf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const ZelctlOutcome r = Zelctl(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    const std::vector<std::string> lines = Lines(r.err);
    ASSERT_GE(lines.size(), 2u) << r.err;
    EXPECT_EQ(lines[0], c.said);
    EXPECT_TRUE(lines[1].starts_with("Χρήση: zelctl ") || lines[1].empty()) << lines[1];
    ExpectNoEnglish(r.err, c.args);
  }
  EXPECT_EQ(FilesWritten(dir_.path()), std::set<std::string>{});
}

}  // namespace
}  // namespace zel
