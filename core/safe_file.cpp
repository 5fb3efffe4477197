#include "core/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace zel {
namespace {

namespace fs = std::filesystem;

FileFault System(int error) { return {FileFault::Cause::kSystem, error}; }

// Opens `path` for reading without blocking on a FIFO or a device, and
// keeps it only when it is a regular file. The type is checked before the
// open (so a device is never opened at all) and again on the descriptor (in
// case the name changed in between).
int OpenRegular(const std::string& path, FileFault& fault) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    fault = System(errno);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    fault = {FileFault::Cause::kNotRegular, 0};
    return -1;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    fault = System(errno);
    return -1;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    fault = {FileFault::Cause::kNotRegular, 0};
    ::close(fd);
    return -1;
  }
  return fd;
}

// Reads until `n` bytes came or the file ended; -1 on a read error.
ssize_t ReadFull(int fd, std::uint8_t* p, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::read(fd, p + got, n - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<ssize_t>(got);
}

bool WriteAll(int fd, const char* p, std::size_t n, int& error) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// A temporary file of ours for `target`: "." + its name + "." + the six
// letters and digits mkstemp puts in.
bool IsTemporaryOf(std::string_view entry, std::string_view name) {
  if (entry.size() != name.size() + 8 || entry[0] != '.' || entry.substr(1, name.size()) != name ||
      entry[name.size() + 1] != '.')
    return false;
  return std::all_of(entry.end() - 6, entry.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

// Removes what an interrupted save of `target` left beside it. A writer
// holds a lock on its temporary file until it has renamed it, and the lock
// goes with the writer's process, so a temporary file whose lock can be
// taken belongs to a save that will never finish.
void RemoveStaleTemporaries(const fs::path& target) {
  const fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  const std::string name = target.filename().string();
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return;
  while (const dirent* e = ::readdir(d)) {
    if (!IsTemporaryOf(e->d_name, name)) continue;
    const fs::path stale = dir / e->d_name;
    const int fd = ::open(stale.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) continue;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(stale.c_str());
    ::close(fd);
  }
  ::closedir(d);
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

std::string EscapedControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    char escape[8];
    if (b < 0x20 || b == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02x", b);
      out += escape;
    } else if (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(text[++i]));
      out += escape;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string FaultText(const FileFault& fault) {
  switch (fault.cause) {
    case FileFault::Cause::kNone: return {};
    case FileFault::Cause::kNotRegular: return "δεν είναι κανονικό αρχείο";
    case FileFault::Cause::kReadOnly: return "το αρχείο είναι μόνο για ανάγνωση";
    case FileFault::Cause::kTooLarge: return "το αρχείο είναι πολύ μεγάλο";
    case FileFault::Cause::kSystem: break;
  }
  switch (fault.error) {
    case ENOENT: return "δεν υπάρχει τέτοιο αρχείο";
    case EACCES:
    case EPERM: return "δεν επιτρέπεται η πρόσβαση";
    case EISDIR: return "είναι φάκελος";
    case ENOTDIR: return "ένα μέρος της διαδρομής δεν είναι φάκελος";
    case ENOSPC:
    case EDQUOT: return "δεν υπάρχει χώρος στο δίσκο";
    case EROFS: return "ο δίσκος είναι μόνο για ανάγνωση";
    case EFBIG: return "το αρχείο ξεπερνά το επιτρεπτό μέγεθος";
    case ENAMETOOLONG: return "το όνομα είναι πολύ μεγάλο";
    case ELOOP: return "κύκλος συμβολικών συνδέσμων";
    case EIO: return "σφάλμα εισόδου/εξόδου του δίσκου";
    default: return "σφάλμα συστήματος " + std::to_string(fault.error);
  }
}

std::string CauseLine(std::string_view path, std::string_view cause) {
  const fs::path p(path);
  std::string name = p.filename().string();
  if (name.empty()) name = std::string(path);
  return EscapedControls(name) + ": " + std::string(cause);
}

std::string FaultLine(std::string_view path, const FileFault& fault) { return CauseLine(path, FaultText(fault)); }

std::string WithCause(std::string_view message, std::string_view cause_line) {
  std::string text(message);
  if (!cause_line.empty()) text.append("\n").append(cause_line);
  return text;
}

// ---- Reading ------------------------------------------------------------------

bool ReadFilePrefix(const std::string& path, std::span<std::uint8_t> buffer, std::size_t& got, FileFault& fault) {
  got = 0;
  const int fd = OpenRegular(path, fault);
  if (fd < 0) return false;
  const ssize_t n = ReadFull(fd, buffer.data(), buffer.size());
  if (n < 0) fault = System(errno);
  ::close(fd);
  if (n < 0) return false;
  got = static_cast<std::size_t>(n);
  return true;
}

bool ReadWholeFile(const std::string& path, std::size_t limit, std::string& out, FileFault& fault) {
  const int fd = OpenRegular(path, fault);
  if (fd < 0) return false;
  // Size the buffer from the file, then read until the end: the file may
  // still grow while it is read.
  struct stat st {};
  const std::size_t expected = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
  out.resize(std::min(expected, limit) + 1);
  std::size_t n = 0;
  bool ok = true;
  for (;;) {
    const ssize_t r = ReadFull(fd, reinterpret_cast<std::uint8_t*>(out.data()) + n, out.size() - n);
    if (r < 0) {
      fault = System(errno);
      ok = false;
      break;
    }
    n += static_cast<std::size_t>(r);
    if (n < out.size()) break;  // the end of the file
    if (n > limit) {
      fault = {FileFault::Cause::kTooLarge, 0};
      ok = false;
      break;
    }
    out.resize(std::min(2 * out.size(), limit + 1));
  }
  ::close(fd);
  out.resize(ok ? n : 0);
  return ok;
}

// ---- Writing ------------------------------------------------------------------

bool AtomicFile::Open(const std::string& path, FileFault& fault) {
  Abandon();
  std::error_code ec;
  // Replace the file a symbolic link points to, not the link.
  fs::path target = fs::is_symlink(path, ec) ? fs::weakly_canonical(path, ec) : fs::path(path);
  if (ec || target.empty()) target = path;
  if (target.filename().empty()) {
    fault = System(EISDIR);
    return false;
  }

  // An existing target must be a regular file the user may write. Root may
  // write anything, so a file without any write permission bit counts as
  // read-only for everyone: its owner made it so on purpose.
  mode_t mode = 0;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      fault = {FileFault::Cause::kNotRegular, 0};
      return false;
    }
    const int access_error = ::access(target.c_str(), W_OK) == 0 ? 0 : errno;
    if (access_error == EROFS) {
      fault = System(EROFS);
      return false;
    }
    if ((st.st_mode & 0222) == 0 || access_error != 0) {
      fault = {FileFault::Cause::kReadOnly, 0};
      return false;
    }
    mode = st.st_mode & 07777;
  } else if (errno == ENOENT) {
    mode = NewFileMode();
  } else {
    fault = System(errno);
    return false;
  }

  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::string tmp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) {
    fault = System(errno);
    return false;
  }
  // Held until the rename: it tells a later save that this file is in use
  // (see RemoveStaleTemporaries).
  ::flock(fd, LOCK_EX | LOCK_NB);
  // mkstemp creates the file 0600: give it the permissions it will keep.
  if (::fchmod(fd, mode) != 0) {
    fault = System(errno);
    ::close(fd);
    ::unlink(tmp.c_str());
    return false;
  }
  fd_ = fd;
  write_error_ = 0;
  target_ = target.string();
  temporary_ = std::move(tmp);
  return true;
}

bool AtomicFile::Write(std::string_view bytes) {
  if (fd_ < 0) return false;
  if (write_error_ != 0) return false;
  return WriteAll(fd_, bytes.data(), bytes.size(), write_error_);
}

bool AtomicFile::Write(std::span<const std::uint8_t> bytes) {
  return Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool AtomicFile::Commit(FileFault& fault) {
  if (fd_ < 0) {
    fault = System(EBADF);
    return false;
  }
  int error = write_error_;
  if (error == 0 && ::fsync(fd_) != 0) error = errno;
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
    fault = System(error);
    return false;
  }
  temporary_.clear();
  RemoveStaleTemporaries(target_);
  return true;
}

void AtomicFile::Abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

bool WriteFileAtomically(const std::string& path, std::initializer_list<std::string_view> parts, FileFault& fault) {
  AtomicFile file;
  if (!file.Open(path, fault)) return false;
  for (std::string_view part : parts) file.Write(part);
  return file.Commit(fault);
}

}  // namespace zel
