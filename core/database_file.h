// The database file (.cld): the nine blocks of the data image as raw bytes,
// closed by a 4-byte signature (927320 bytes). There is no header, version
// or checksum: a file is valid when every block reads in full and the
// signature follows; bytes after it are ignored.
//
// Reading never touches an image until the whole file has checked out, and
// writing goes to a temporary file in the same folder that replaces the old
// file only when complete, so a failed open or save loses nothing. Every
// failure message names the file and the cause on its second line.
#pragma once

#include <string>
#include <string_view>

#include "data_image.h"
#include "user_interface.h"

namespace zel {

enum class FileStatus { kOk, kCannotOpen, kShort, kBadSignature, kCannotWrite };

// Reads the blocks of the file at `path` into `out`. On failure `out` is
// unchanged and `cause`, when given, receives the second line of the
// message: the file's name and what is wrong ("shop.cld: δεν υπάρχει
// τέτοιο αρχείο"). What is not a regular file is refused (kCannotOpen)
// without blocking.
FileStatus ReadDatabaseFile(const std::string& path, ImageBytes& out, std::string* cause = nullptr);
// Writes the image and the signature to `path` through a temporary file.
// A file the user may not write, or that is not a regular file, is refused
// (kCannotWrite) and left as it is.
FileStatus WriteDatabaseFile(const std::string& path, const DataImage& image, std::string* cause = nullptr);

// ---- The file commands --------------------------------------------------
// They show their own questions and messages through `ui` and set the
// window title. Closing the active panel first is the caller's part.

inline constexpr std::string_view kDefaultTitle = "Setup ZEL - Αρχική βάση δεδομένων";
inline constexpr std::string_view kDatabaseFilter = "Setup ZEL ΑΛΛΑΓΗ (*.cld)|*.cld||";
inline constexpr std::string_view kMsgChangesLost = "Οι τελευταίες αλλαγές θα χαθούν!";
inline constexpr std::string_view kMsgReadError = "Σφάλμα ανάγνωσης ή λάθος τύπος δεδομένων!";
inline constexpr std::string_view kMsgWriteError = "Σφάλμα εγγραφής!";
inline constexpr std::string_view kMsgOpenByPathError = "Σφάλμα κατά την ανάγνωση!";

// The window title for a database file: its name without extension followed
// directly by "- Setup ZEL".
std::string TitleForPath(std::string_view path);

// Each returns true when it carried out its work, false when cancelled or
// failed (after its message).
bool NewDatabase(DataImage& image, UserInterface& ui);
bool OpenDatabase(DataImage& image, UserInterface& ui);
bool SaveDatabase(DataImage& image, UserInterface& ui, bool save_as);
// Opens a file named on the command line or dropped on the window: no
// question, no dialog, the unsaved-changes flag untouched. On failure the
// image is left exactly as it was.
bool OpenDatabasePath(DataImage& image, UserInterface& ui, const std::string& path);

}  // namespace zel
