// The items panel's list and search, and the items CSV, on a full table of
// 16000 named items:
//   - all 16000 list rows built with ItemRow, against snprintf of the same
//     names and numbers into plain strings;
//   - one search keystroke that no name continues (the worst case: a whole
//     pass over the table, the beep and the prefix dropped again), against
//     the same plain formatting of 16000 rows;
//   - an items export (format every line, write a temporary file, flush it
//     to the disk, rename), against writing the same bytes with
//     fopen/fwrite and flushing them to the disk (the disk's part is the
//     same on both sides);
//   - an items import without a number column (read, split every line into
//     its fields, apply the column rules, find the first empty item for each
//     line, store into a copy of the table, commit), against reading the
//     same bytes line by line with fgets. The import does per-field work a
//     line-only pass does not (six fields, three digit values and a price
//     rule per line), hence its wider bar.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/data_image.h"
#include "editors/csv.h"
#include "editors/items_panel.h"
#include "ratio.h"

namespace {

using namespace zel;
using namespace zel::editors;
using zel::bench::QuietUi;

std::string BenchPath(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("zel-bench-") + name)).string();
}

std::string ItemName(int i) { return "ITEM NUMBER " + std::to_string(i + 1) + " KG"; }

const DataImage& FullTable() {
  static const DataImage image = [] {
    DataImage db;
    for (int i = 0; i < kItemCount; ++i) {
      Item it = db.item(i);
      StoreText(it.name(), ItemName(i));
      it.set_price(100 + i);
      StoreText(it.barcode(), std::to_string(5200000000000LL + i));
      it.set_department(static_cast<std::uint8_t>(i % 24));
      it.set_category(static_cast<std::uint8_t>(i % 30));
    }
    return db;
  }();
  return image;
}

const std::vector<std::string>& Names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (int i = 0; i < kItemCount; ++i) v.push_back(ItemName(i));
    return v;
  }();
  return names;
}

void BM_ItemRows(benchmark::State& state) {
  const DataImage& db = FullTable();
  char row[kItemRowWidth];
  for (auto _ : state) {
    for (int i = 0; i < kItemCount; ++i) {
      ItemRow(db, i, row);
      benchmark::DoNotOptimize(row);
    }
  }
}

void BM_PlainRows(benchmark::State& state) {
  const auto& names = Names();
  char row[kItemRowWidth + 1];
  for (auto _ : state) {
    for (int i = 0; i < kItemCount; ++i) {
      std::snprintf(row, sizeof row, "%-26.26s %5d", names[static_cast<std::size_t>(i)].c_str(), i + 1);
      benchmark::DoNotOptimize(row);
    }
  }
}

void BM_SearchKeystroke(benchmark::State& state) {
  DataImage db = FullTable();
  QuietUi ui;
  EditorShared shared;
  ItemsPanel panel(db, ui, shared);
  panel.OnSearchFocusGained();
  panel.OnSearchChar('I');  // every name starts so: the next letter is judged against them all
  for (auto _ : state) {
    panel.OnSearchChar('Q');  // no name continues: a full pass, the beep, the letter dropped
    benchmark::DoNotOptimize(db.state.selected.item);
  }
}

void BM_CsvExport(benchmark::State& state) {
  CsvOptions o;
  o.path = BenchPath("export.csv");
  QuietUi ui;
  for (auto _ : state)
    if (!ExportItems(FullTable(), o, ui).done) state.SkipWithError("export");
  std::filesystem::remove(o.path);
}

void BM_PlainWrite(benchmark::State& state) {
  const std::string bytes = ItemsCsvText(FullTable(), CsvOptions{});
  const std::string path = BenchPath("plain-write.csv");
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) state.SkipWithError("write");
    if (f && (std::fflush(f) != 0 || ::fsync(::fileno(f)) != 0)) state.SkipWithError("fsync");
    if (f) std::fclose(f);
  }
  std::filesystem::remove(path);
}

CsvOptions ImportOptions() {
  CsvOptions o;
  o.columns.number = false;  // every line looks for the first empty item
  return o;
}

void BM_CsvImport(benchmark::State& state) {
  CsvOptions o = ImportOptions();
  o.path = BenchPath("import.csv");
  {
    QuietUi ui;
    if (!ExportItems(FullTable(), o, ui).done) state.SkipWithError("export");
  }
  DataImage db;
  QuietUi ui;
  for (auto _ : state)
    if (!ImportItems(db, o, ui).done) state.SkipWithError("import");
  std::filesystem::remove(o.path);
}

void BM_PlainRead(benchmark::State& state) {
  const std::string path = BenchPath("plain-read.csv");
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const std::string bytes = ItemsCsvText(FullTable(), ImportOptions());
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) state.SkipWithError("write");
    if (f) std::fclose(f);
  }
  char line[200];
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
      state.SkipWithError("read");
      break;
    }
    std::size_t lines = 0;
    while (std::fgets(line, sizeof line, f)) ++lines;
    std::fclose(f);
    benchmark::DoNotOptimize(lines);
  }
  std::filesystem::remove(path);
}

BENCHMARK(BM_ItemRows)->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(BM_PlainRows)->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(BM_CsvExport)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_CsvImport)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  return zel::bench::RatioMain(argc, argv,
                               {{"BM_ItemRows", "BM_PlainRows", 1.0},
                                {"BM_SearchKeystroke", "BM_PlainRows", 0.5},
                                {"BM_CsvExport", "BM_PlainWrite", 3.0},
                                {"BM_CsvImport", "BM_PlainRead", 5.0}});
}
