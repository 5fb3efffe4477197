// The bash completion of zelctl (cli/zelctl.bash-completion, installed as
// share/bash-completion/completions/zelctl) against the program itself: it
// loads in bash, offers the commands and options zelctl's help lists and
// the values zelctl takes, so the two cannot drift apart unnoticed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cli/cli_support.h"

namespace zel {
namespace {

using test::RunZelctl;
using Words = std::set<std::string>;

const std::string kCompletion = std::string(ZEL_SOURCE_DIR) + "/cli/zelctl.bash-completion";

class ZelctlCompletion : public ::testing::Test {
 protected:
  // Runs `script` in bash with the completion file loaded; what it printed.
  std::string Bash(const std::string& script) {
    const std::string file = dir_ / "script.sh";
    std::ofstream(file) << "source '" << kCompletion << "' || exit 9\n" << script << '\n';
    const std::string out = dir_ / "bash.out";
    const int status =
        std::system(("cd '" + dir_.path().string() + "' && bash '" + file + "' >'" + out + "' 2>&1").c_str());
    EXPECT_EQ(status, 0) << test::Slurp(out);
    return test::Slurp(out);
  }

  // What bash offers for the last of `line`'s words (after its last space),
  // as it completes "zelctl LINE".
  Words Offered(const std::string& line) {
    std::string words = "zelctl";
    std::size_t count = 1;
    std::istringstream in(line);
    for (std::string w; in >> w; ++count) words += " '" + w + "'";
    if (line.empty() || line.back() == ' ') {
      words += " ''";
      ++count;
    }
    const std::string out = Bash("COMP_WORDS=(" + words + "); COMP_CWORD=" + std::to_string(count - 1) +
                                 "; _zelctl; printf '%s\\n' \"${COMPREPLY[@]}\"");
    Words offered;
    for (const std::string& w : test::Lines(out))
      if (!w.empty()) offered.insert(w);
    return offered;
  }

  // The values a usage error lists after "ένα από".
  Words Taken(const std::string& misuse) {
    const std::string err = RunZelctl(dir_.path(), misuse).err;
    const std::string said = err.substr(0, err.find('\n'));
    static const std::regex listed(R"(.*\(ένα από ([^)]*)\))");
    std::smatch m;
    EXPECT_TRUE(std::regex_match(said, m, listed)) << misuse << ": " << err;
    Words values;
    std::istringstream in(m[1].str());
    for (std::string v; std::getline(in, v, ',');) values.insert(v);
    return values;
  }

  test::TempDir dir_;
};

TEST_F(ZelctlCompletion, LoadsInBashForZelctl) {
  EXPECT_EQ(Bash("complete -p zelctl"), "complete -o filenames -F _zelctl zelctl\n");
}

TEST_F(ZelctlCompletion, OffersTheCommandsOfTheHelp) {
  const std::vector<std::string> commands = test::ListedCommands(RunZelctl(dir_.path(), "--help").out);
  Words expected(commands.begin(), commands.end());
  expected.insert({"--help", "--version"});
  EXPECT_EQ(Offered(""), expected);
  EXPECT_EQ(Offered("fl"), Words{"fleet"});
  for (const std::string& name : commands) {
    const std::vector<std::string> subs = test::ListedCommands(RunZelctl(dir_.path(), name + " --help").out);
    if (!subs.empty()) {
      EXPECT_EQ(Offered(name + ' '), Words(subs.begin(), subs.end())) << name;
    }
  }
}

// After "-", each command's options as its help lists them.
TEST_F(ZelctlCompletion, OffersEachCommandsOptions) {
  for (const std::string& path : test::CommandPaths(dir_.path())) {
    const std::string help = RunZelctl(dir_.path(), path + " --help").out;
    if (!test::ListedCommands(help).empty()) continue;
    const std::vector<std::string> options = test::ListedOptions(help);
    EXPECT_EQ(Offered(path + " -"), Words(options.begin(), options.end())) << path;
  }
}

// Where an argument or option is one of a few values, the values zelctl
// takes there, as its usage error lists them; the colon of ADDR:PORT or
// text:LINE, which bash splits off, does not move the count of arguments.
TEST_F(ZelctlCompletion, OffersTheValuesZelctlTakes) {
  struct Case {
    std::string line;    // the words before the one completed
    std::string misuse;  // a command line whose error lists the values
  };
  const Case cases[] = {
      {"transfer read shop.cld ", "transfer read shop.cld wheels"},
      {"transfer read shop.cld vat --lan 10.0.0.1 : 2031 --reports r ", "transfer read shop.cld wheels"},
      // Writing offers the kinds that are written, as diff takes them.
      {"transfer write shop.cld items ", "diff shop.cld wheels"},
      {"diff shop.cld ", "diff shop.cld wheels"},
      {"fleet read back ", "fleet read back wheels"},
      {"fleet write shop.cld --parallel 2 ", "fleet write shop.cld wheels"},
      {"fp report ", "fp report q"},
      {"check --baud ", "check --baud 1"},
      {"import-items shop.cld in.csv --mode ", "import-items shop.cld in.csv --mode q"},
      {"export-items shop.cld out.csv --columns ", "export-items shop.cld out.csv --columns q"},
  };
  for (const Case& c : cases) EXPECT_EQ(Offered(c.line), Taken(c.misuse)) << c.line;
  EXPECT_EQ(Offered("export-items shop.cld out.csv --columns number,pr"), Words{"number,price"});
}

// dump checks its table once the file is read: each table offered is one
// it prints.
TEST_F(ZelctlCompletion, OffersTheTablesDumpPrints) {
  ASSERT_EQ(RunZelctl(dir_.path(), "new shop.cld").status, 0);
  const Words tables = Offered("dump shop.cld ");
  EXPECT_EQ(tables.size(), 9u);
  for (const std::string& table : tables)
    EXPECT_EQ(RunZelctl(dir_.path(), "dump shop.cld " + table).status, 0) << table;
}

}  // namespace
}  // namespace zel
