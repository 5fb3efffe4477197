#include "database_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>

#include "core/safe_file.h"

namespace zel {
namespace {

constexpr std::string_view kNotADatabase = "δεν είναι αρχείο βάσης δεδομένων Setup ZEL";

void SetCause(std::string* cause, std::string line) {
  if (cause != nullptr) *cause = std::move(line);
}

}  // namespace

FileStatus ReadDatabaseFile(const std::string& path, ImageBytes& out, std::string* cause) {
  // Read into a scratch copy: the caller's image changes only when the whole
  // file is good.
  auto scratch = std::make_unique<std::array<std::uint8_t, kFileSize>>();
  std::size_t got = 0;
  FileFault fault;
  if (!ReadFilePrefix(path, *scratch, got, fault)) {
    SetCause(cause, FaultLine(path, fault));
    return FileStatus::kCannotOpen;
  }
  if (got < kFileSize) {
    SetCause(cause, CauseLine(path, kNotADatabase));
    return FileStatus::kShort;
  }
  if (le::Get32(scratch->data() + kImageSize) != kFileSignature) {
    SetCause(cause, CauseLine(path, kNotADatabase));
    return FileStatus::kBadSignature;
  }
  std::copy_n(scratch->begin(), kImageSize, out.begin());
  return FileStatus::kOk;
}

FileStatus WriteDatabaseFile(const std::string& path, const DataImage& image, std::string* cause) {
  std::uint8_t sig[4];
  le::Put32(sig, kFileSignature);
  const ConstBytes bytes = image.bytes();
  FileFault fault;
  if (!WriteFileAtomically(path,
                           {std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                            std::string_view(reinterpret_cast<const char*>(sig), sizeof sig)},
                           fault)) {
    SetCause(cause, FaultLine(path, fault));
    return FileStatus::kCannotWrite;
  }
  return FileStatus::kOk;
}

std::string TitleForPath(std::string_view path) { return std::filesystem::path(path).stem().string() + "- Setup ZEL"; }

bool NewDatabase(DataImage& image, UserInterface& ui) {
  if (image.state.modified && !ui.AskYesNo(kMsgChangesLost, Icon::kExclamation)) return false;
  image.ResetToDefaults();
  image.state.modified = false;
  ui.SetTitle(kDefaultTitle);
  return true;
}

bool OpenDatabase(DataImage& image, UserInterface& ui) {
  if (image.state.modified && !ui.AskYesNo(kMsgChangesLost, Icon::kExclamation)) return false;
  FileDialog dialog;
  dialog.mode = FileDialog::Mode::kOpen;
  dialog.default_extension = ".cld";
  dialog.initial_path = image.state.path;
  dialog.filter = kDatabaseFilter;
  const auto chosen = ui.ChooseFile(dialog);
  if (!chosen) return false;
  image.state.path = *chosen;
  image.state.modified = false;
  std::string cause;
  if (ReadDatabaseFile(*chosen, image.raw(), &cause) == FileStatus::kOk) {
    ui.SetTitle(TitleForPath(*chosen));
    return true;
  }
  // A file that does not check out leaves a new database; the customer table
  // keeps what it held, since nothing of the bad file was taken.
  ui.ShowMessage(WithCause(kMsgReadError, cause), Icon::kError);
  image.ResetToDefaults();
  ui.SetTitle(kDefaultTitle);
  return false;
}

bool SaveDatabase(DataImage& image, UserInterface& ui, bool save_as) {
  const bool ask = save_as || image.state.path.empty();
  if (ask) {
    FileDialog dialog;
    dialog.mode = FileDialog::Mode::kSave;
    dialog.default_extension = ".cld";
    dialog.initial_path = image.state.path;
    dialog.filter = kDatabaseFilter;
    dialog.overwrite_prompt = true;
    const auto chosen = ui.ChooseFile(dialog);
    if (!chosen) return false;
    image.state.path = *chosen;
  }
  std::string cause;
  if (WriteDatabaseFile(image.state.path, image, &cause) != FileStatus::kOk) {
    ui.ShowMessage(WithCause(kMsgWriteError, cause), Icon::kError);
    return false;
  }
  image.state.modified = false;
  if (ask) ui.SetTitle(TitleForPath(image.state.path));
  return true;
}

bool OpenDatabasePath(DataImage& image, UserInterface& ui, const std::string& path) {
  std::string cause;
  if (ReadDatabaseFile(path, image.raw(), &cause) != FileStatus::kOk) {
    ui.ShowMessage(WithCause(kMsgOpenByPathError, cause), Icon::kError, {}, true);
    return false;
  }
  image.state.path = path;
  ui.SetTitle(TitleForPath(path));
  return true;
}

}  // namespace zel
