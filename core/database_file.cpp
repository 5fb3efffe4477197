#include "database_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace zel {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool WriteAll(int fd, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

}  // namespace

FileStatus ReadDatabaseFile(const std::string& path, ImageBytes& out) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return FileStatus::kCannotOpen;
  // Read into a scratch copy: the caller's image changes only when the whole
  // file is good.
  auto scratch = std::make_unique<ImageBytes>();
  if (std::fread(scratch->data(), 1, scratch->size(), f.get()) != scratch->size()) return FileStatus::kShort;
  std::uint8_t sig[4];
  if (std::fread(sig, 1, 4, f.get()) != 4) return FileStatus::kShort;
  if (le::Get32(sig) != kFileSignature) return FileStatus::kBadSignature;
  out = *scratch;
  return FileStatus::kOk;
}

FileStatus WriteDatabaseFile(const std::string& path, const DataImage& image) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // Replace the file a symbolic link points to, not the link.
  fs::path target = fs::is_symlink(path, ec) ? fs::weakly_canonical(path, ec) : fs::path(path);
  if (ec) target = path;
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::string tmp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) return FileStatus::kCannotWrite;

  // Keep the permissions of the file being replaced; a new file gets the
  // usual ones (mkstemp creates it 0600).
  struct stat st {};
  const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  std::uint8_t sig[4];
  le::Put32(sig, kFileSignature);
  const ConstBytes bytes = image.bytes();
  const bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, bytes.data(), bytes.size()) &&
                  WriteAll(fd, sig, sizeof sig) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok || ::rename(tmp.c_str(), target.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return FileStatus::kCannotWrite;
  }
  return FileStatus::kOk;
}

std::string TitleForPath(std::string_view path) {
  return std::filesystem::path(path).stem().string() + "- Setup ZEL";
}

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
  if (ReadDatabaseFile(*chosen, image.raw()) == FileStatus::kOk) {
    ui.SetTitle(TitleForPath(*chosen));
    return true;
  }
  // A file that does not check out leaves a new database; the customer table
  // keeps what it held, since nothing of the bad file was taken.
  ui.ShowMessage(kMsgReadError, Icon::kError);
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
  if (WriteDatabaseFile(image.state.path, image) != FileStatus::kOk) {
    ui.ShowMessage(kMsgWriteError, Icon::kError);
    return false;
  }
  image.state.modified = false;
  if (ask) ui.SetTitle(TitleForPath(image.state.path));
  return true;
}

bool OpenDatabasePath(DataImage& image, UserInterface& ui, const std::string& path) {
  if (ReadDatabaseFile(path, image.raw()) != FileStatus::kOk) {
    ui.ShowMessage(kMsgOpenByPathError, Icon::kError, {}, true);
    return false;
  }
  image.state.path = path;
  ui.SetTitle(TitleForPath(path));
  return true;
}

}  // namespace zel
