// The memory a headless command costs: the largest resident size of
// `zelctl info` on a full database, against `cat` reading the same file.
// zelctl links no GUI library, so a server that runs fleets or scripts
// never loads the GUI stack for it; the bar keeps it so (and under 8 MB).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "core/database_file.h"
#include "ratio.h"

namespace {

const std::string& Database() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() / "zel-bench-cli.cld").string();
    zel::DataImage db;
    for (int i = 0; i < zel::kItemCount; ++i) zel::StoreText(db.item(i).name(), "ITEM " + std::to_string(i + 1));
    zel::WriteDatabaseFile(p, db);
    return p;
  }();
  return path;
}

// Runs `argv` with its output thrown away; its largest resident size in kB.
long MaxResidentKb(std::vector<std::string> argv) {
  std::fflush(stdout);  // or the child's freopen writes our pending output again
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    std::vector<char*> v;
    for (std::string& a : argv) v.push_back(a.data());
    v.push_back(nullptr);
    ::execvp(v[0], v.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

void Measure(benchmark::State& state, const std::vector<std::string>& argv) {
  long kb = 0;
  for (auto _ : state) {
    kb = std::max(kb, MaxResidentKb(argv));
    if (kb < 0) state.SkipWithError("the command failed");
  }
  state.counters["max_rss_kb"] = static_cast<double>(kb);
}

void BM_ZelctlInfo(benchmark::State& state) { Measure(state, {ZELCTL_PATH, "info", Database()}); }
void BM_CatDatabase(benchmark::State& state) { Measure(state, {"cat", Database()}); }

BENCHMARK(BM_ZelctlInfo)->Iterations(5);
BENCHMARK(BM_CatDatabase)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  const int status =
      zel::bench::RatioMain(argc, argv, {{"BM_ZelctlInfo", "BM_CatDatabase", 5.0, "max resident size", "max_rss_kb"}});
  const long kb = MaxResidentKb({ZELCTL_PATH, "info", Database()});
  const bool ok = kb > 0 && kb < 8 * 1024;
  std::printf("RATIO %-40s max resident size %ld kB (bar 8192 kB) %s\n", "zelctl info", kb, ok ? "OK" : "OVER BAR");
  std::filesystem::remove(Database());
  return ok ? status : 1;
}
