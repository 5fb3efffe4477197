// The .cld open. A real file is 927320 bytes, far past what a fuzzer
// mutates well, so the first input byte picks the mode:
//   even: the rest is the whole file, as it comes (short, long, anything);
//   odd:  a valid file built from the default database with the rest of the
//         input laid over it as patches (3-byte offset, 1-byte length,
//         bytes), then the signature, possibly damaged.
// A file that opens is then read the ways the program reads an opened
// database: every editor list row and both CSV exports.
#include <cstring>
#include <vector>

#include "core/database_file.h"
#include "editors/csv.h"
#include "editors/lists.h"
#include "fuzz/fuzz_support.h"
#include "support/scripted_ui.h"

namespace {

using zel::fuzz::Input;

// The small lists whole; of the items and customers the records the input
// touched (formatting all 17000 rows per input would slow the search down
// to a crawl for nothing).
void ReadLikeTheProgram(zel::DataImage& image, const std::vector<std::size_t>& touched) {
  for (const int group : {1, 2, 3, 4}) {
    const int rows = zel::editors::ListRowCount(group);
    for (int i = 0; i < rows; ++i) (void)zel::editors::ListRow(image, group, i);
  }
  for (const std::size_t offset : touched) {
    for (const auto [block, group] : {std::pair{zel::Block::kItems, 7}, std::pair{zel::Block::kCustomers, 5}}) {
      const zel::BlockInfo& b = zel::Info(block);
      if (offset < b.offset || offset >= b.offset + b.size()) continue;
      (void)zel::editors::ListRow(image, group, static_cast<int>((offset - b.offset) / b.record_size));
    }
  }
  (void)zel::editors::ItemsCsvText(image, zel::editors::CsvOptions{});
  (void)zel::editors::CustomersCsvText(image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static zel::fuzz::MemoryFile file;
  static const zel::DataImage defaults;
  Input in(data, size);
  const std::uint8_t mode = in.Byte();

  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> touched;
  if ((mode & 1) == 0) {
    const auto rest = in.Rest();
    bytes.assign(rest.begin(), rest.end());
  } else {
    bytes.assign(defaults.raw().begin(), defaults.raw().end());
    bytes.resize(zel::kFileSize);
    zel::le::Put32(bytes.data() + zel::kImageSize, zel::kFileSignature);
    if (mode & 2) bytes[zel::kImageSize + (mode >> 2) % 4] ^= static_cast<std::uint8_t>(mode | 1);
    while (!in.empty()) {
      const std::size_t low = in.Word();
      const std::size_t offset = (low | std::size_t{in.Byte()} << 16) % zel::kFileSize;
      touched.push_back(offset);
      const auto patch = in.Take(in.Byte());
      const std::size_t n = std::min(patch.size(), bytes.size() - offset);
      std::memcpy(bytes.data() + offset, patch.data(), n);
    }
  }
  file.Write(bytes);

  zel::DataImage image;
  zel::test::ScriptedUi ui;
  const zel::DataImage before = image;
  const bool opened = zel::OpenDatabasePath(image, ui, file.path());
  const bool whole =
      bytes.size() >= zel::kFileSize && zel::le::Get32(bytes.data() + zel::kImageSize) == zel::kFileSignature;
  zel::fuzz::Require(opened == whole, "a file opens exactly when it is whole and signed");
  if (!opened) {
    zel::fuzz::Require(image == before, "a file that does not open leaves the image as it was");
    return 0;
  }
  zel::fuzz::Require(std::memcmp(image.raw().data(), bytes.data(), zel::kImageSize) == 0,
                     "an opened file is taken byte for byte");
  ReadLikeTheProgram(image, touched);
  return 0;
}
