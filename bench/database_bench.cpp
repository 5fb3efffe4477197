// Opening and saving a full database (all 16000 items and 1000 customers)
// against reading and writing the same 927320 bytes with plain file calls.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <vector>

#include "core/database_file.h"
#include "ratio.h"

namespace {

std::string BenchPath(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("zel-bench-") + name)).string();
}

zel::DataImage FullDatabase() {
  zel::DataImage db;
  std::mt19937 rng(7);
  for (int i = 0; i < zel::kItemCount; ++i) {
    auto it = db.item(i);
    it.set_price(static_cast<std::int32_t>(rng() % 100000));
    zel::StoreText(it.name(), "ITEM " + std::to_string(i + 1));
  }
  for (int i = 0; i < zel::kCustomerCount; ++i) {
    db.customer(i).set_tax_number(100000000 + i);
    zel::StoreText(db.customer(i).company(), "CUSTOMER " + std::to_string(i + 1));
  }
  return db;
}

void BM_OpenAndSaveDatabase(benchmark::State& state) {
  const std::string path = BenchPath("db.cld");
  zel::DataImage db = FullDatabase();
  if (zel::WriteDatabaseFile(path, db) != zel::FileStatus::kOk) state.SkipWithError("cannot write");
  for (auto _ : state) {
    if (zel::ReadDatabaseFile(path, db.raw()) != zel::FileStatus::kOk) state.SkipWithError("read");
    if (zel::WriteDatabaseFile(path, db) != zel::FileStatus::kOk) state.SkipWithError("write");
  }
  std::filesystem::remove(path);
}

// The same bytes with open/read/write/fsync/close: no checking, no temporary
// file. The save flushes its file to the disk before the rename, and so
// does the baseline: the ratio is the program's own cost, not the disk's.
void BM_PlainReadWrite(benchmark::State& state) {
  const std::string path = BenchPath("plain.bin");
  std::vector<char> buf(zel::kFileSize, 'x');
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::write(fd, buf.data(), buf.size()) != static_cast<ssize_t>(buf.size())) state.SkipWithError("write");
    ::close(fd);
  }
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (::read(fd, buf.data(), buf.size()) != static_cast<ssize_t>(buf.size())) state.SkipWithError("read");
    ::close(fd);
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::write(fd, buf.data(), buf.size()) != static_cast<ssize_t>(buf.size())) state.SkipWithError("write");
    if (::fsync(fd) != 0) state.SkipWithError("fsync");
    ::close(fd);
  }
  std::filesystem::remove(path);
}

BENCHMARK(BM_OpenAndSaveDatabase)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_PlainReadWrite)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  return zel::bench::RatioMain(argc, argv, {{"BM_OpenAndSaveDatabase", "BM_PlainReadWrite", 2.0}});
}
