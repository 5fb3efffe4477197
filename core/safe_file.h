// Files the program reads or writes whole: the database, CSV files, logo
// pictures and report files. All of them go through here so that they obey
// the same rules:
//   - Reading opens without blocking and takes only a regular file: a FIFO
//     or a device named by mistake is refused at once instead of waiting
//     for a writer that never comes.
//   - Writing goes to a temporary file in the target's folder, which is
//     flushed to the disk and then renamed over the target, so a failed
//     write never leaves a half-written file behind. A target the user may
//     not write (no write permission, even for root) or that is not a
//     regular file is refused and left as it is. A symbolic link stays a
//     link: the file it points to is replaced. The replaced file keeps its
//     permissions; a new one gets the usual ones (0666 less the umask).
//     The temporary file is ".NAME.XXXXXX", locked by its writer until it is
//     renamed; one that an interrupted save left (no process holds its lock)
//     is removed when the same file is next saved.
//   - A failure carries its cause, for the second line of the message the
//     user sees ("shop.csv: δεν υπάρχει τέτοιο αρχείο").
// No globals; safe to use from any thread on different files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace zel {

// Why a file could not be read or written.
struct FileFault {
  enum class Cause : std::uint8_t {
    kNone,
    kSystem,      // `error` holds the errno value
    kNotRegular,  // a FIFO, a device, a folder
    kReadOnly,    // an existing file the user may not write
    kTooLarge,    // bigger than the reader takes
  };
  Cause cause = Cause::kNone;
  int error = 0;
};

// `text` (UTF-8) with every control character written as a visible escape:
// the bytes below 0x20 and 0x7F as "\x1b", the C1 controls U+0080 to U+009F
// as "\u009b". A file name or a line read from a file is shown this way on a
// terminal or in a message, so it can neither drive the terminal (an ESC
// sequence) nor break the message's lines.
std::string EscapedControls(std::string_view text);

// The cause in words (Greek, lower case), e.g. "δεν υπάρχει τέτοιο αρχείο".
std::string FaultText(const FileFault& fault);
// The second line of a refusal: the file's name (its control characters
// escaped), a colon and the cause.
std::string CauseLine(std::string_view path, std::string_view cause);
std::string FaultLine(std::string_view path, const FileFault& fault);
// `message`, a line break and the cause line: what a refusal shows.
std::string WithCause(std::string_view message, std::string_view cause_line);

// ---- Reading ------------------------------------------------------------------

// Reads at most `buffer.size()` bytes from the start of the regular file at
// `path` into `buffer`; `got` says how many came. False with `fault` when
// the file cannot be opened or read or is not a regular file.
bool ReadFilePrefix(const std::string& path, std::span<std::uint8_t> buffer, std::size_t& got, FileFault& fault);
// Reads the whole regular file; a file larger than `limit` bytes is refused
// (kTooLarge) without reading it all.
bool ReadWholeFile(const std::string& path, std::size_t limit, std::string& out, FileFault& fault);

// ---- Writing ------------------------------------------------------------------

// A file being written: Open() checks the target and creates the temporary
// file, Write() appends, Commit() flushes and renames it over the target.
// Anything not committed is removed (Abandon() or the destructor), so the
// target never sees a partial file.
class AtomicFile {
 public:
  AtomicFile() = default;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile() { Abandon(); }

  bool Open(const std::string& path, FileFault& fault);
  // False once any write failed; the failure is reported again by Commit().
  bool Write(std::string_view bytes);
  bool Write(std::span<const std::uint8_t> bytes);
  bool Commit(FileFault& fault);
  void Abandon();
  bool is_open() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  int write_error_ = 0;
  std::string target_;
  std::string temporary_;
};

// Replaces the file at `path` with the parts, one after another.
bool WriteFileAtomically(const std::string& path, std::initializer_list<std::string_view> parts, FileFault& fault);

}  // namespace zel
