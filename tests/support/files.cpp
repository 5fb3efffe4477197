#include "support/files.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace zel::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static int counter = 0;
  path_ = fs::temp_directory_path() / ("zel-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string Slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

ZelctlOutcome RunZelctl(const fs::path& folder, const std::string& args, const std::string& environment) {
  const std::string cmd =
      "cd '" + folder.string() + "' && " + environment + " '" + ZELCTL_PATH + "' " + args + " >out 2>err </dev/null";
  const int raw = std::system(cmd.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(folder / "out"), Slurp(folder / "err")};
}

}  // namespace zel::test
