// Files and the zelctl program for tests: a scratch folder removed at the
// end, a file's bytes, and a zelctl run with what it printed.
#pragma once

#include <filesystem>
#include <string>

namespace zel::test {

// A new empty folder under the system's temporary folder, unique to this
// process and object; removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The whole file as bytes (empty when it cannot be read).
std::string Slurp(const std::filesystem::path& p);

// What a zelctl run gave: its exit status (-1 when it did not exit) and
// everything it wrote to standard output and standard error.
struct ZelctlOutcome {
  int status = -1;
  std::string out, err;
};
// Runs the built zelctl with `args` (shell words) in `folder`, with
// `environment` ("NAME=value ...") set for it and no standard input; its
// output is kept in `folder`/out and `folder`/err.
ZelctlOutcome RunZelctl(const std::filesystem::path& folder, const std::string& args,
                        const std::string& environment = {});

}  // namespace zel::test
