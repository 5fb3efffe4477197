// The logo panel without its window: the 15 print lines and their print
// sizes as a control table, the header/footer picture placeholder rules,
// the print-size corrections on leaving, the BMP loader for the graphic
// logo, and the preview's geometry.
//
// BMP rules: width 384 (4 bytes at offset 18), height at most 180 (the next
// 4 bytes), rows of 48 bytes stored bottom row first. A file of exactly
// height x 48 + 62 bytes is the classic one-bit file (rows from offset 62);
// otherwise a one-bit, uncompressed file with a 40-, 108- or 124-byte
// information header (as image tools write by default) is read from the
// file header's pixel-data offset. Each byte is mirrored, so the leftmost
// pixel becomes bit 0, and a pixel of the darker of the two colour-table
// entries becomes a printed dot, whether the table lists black or white
// first.
//
// Single-threaded: user-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "editors/panel.h"

namespace zel::editors {

inline constexpr std::string_view kLogoCaption = "Setup ZEL - Φορολογικό λογότυπο ";
inline constexpr std::string_view kLogoColumnTitle = " Γρ.    Φορολογικό λογότυπο          ";
inline constexpr std::string_view kHeaderFooterColumnTitle = "Γρ.      Κεφαλίδα/Υποσέλιδο ";
inline constexpr std::string_view kMsgBadBitmap =
    "Το αρχείο δε βρέθηκε ή λάθος τύπος εικόνας - bitmap, black/white, 384x180 px (max)";
inline constexpr std::string_view kBitmapFilter = "Bitmap Files (*.bmp)|*.bmp||";

enum LogoControl : int {
  kLoadLogoButton = 1077,
  kPreviewBox = 1079,
  kLogoDefault = 1083,
};
// Text and size control of print line n (1..15).
int LineTextControl(int n);
int LineSizeControl(int n);

// "[Εικονα]" and 24 blanks (code page 1253, 32 bytes).
std::string PicturePlaceholder();

// Lines 10..15: size "5"/"6" puts the placeholder in the text; any other
// size turns a text equal to the placeholder into 32 zero bytes.
void NormaliseHeaderFooter(DataImage& image);
// Leaving the panel: a logo line size outside "1".."4", a header/footer
// size outside "1".."6" becomes "1". Nothing else changes.
void CorrectPrintSizes(DataImage& image);

// ---- Graphic logo ------------------------------------------------------------------

inline constexpr std::size_t kBmpHeaderSize = 62;
inline constexpr std::size_t kMaxBmpSize = kBmpHeaderSize + std::size_t{logo::kRows} * logo::kRowBytes;  // 8702
// The largest file read: a V5 header and room for a colour profile.
inline constexpr std::size_t kMaxBmpFileSize = std::size_t{64} * 1024;

// Why a BMP file is refused.
enum class BmpFault : std::uint8_t { kOk, kNotBmp, kWidth, kHeight, kDepth, kCompressed, kSize };
// The cause in words for the message's second line, e.g. "πλάτος 383 px
// αντί για 384" (`file` gives the values).
std::string BmpFaultText(BmpFault fault, std::span<const std::uint8_t> file);

// Decodes a BMP file's bytes into `bitmap` (8640 bytes, cleared first);
// false when the file breaks the rules (bitmap left cleared, `fault` says
// why).
bool DecodeLogoBmp(std::span<const std::uint8_t> file, std::span<std::uint8_t> bitmap, BmpFault* fault = nullptr);
// Loads the file at `path` into the graphic logo: on success sets the
// unsaved-changes flag and logo present = 1; a refused or unreadable file
// (or one that is not a regular file) shows kMsgBadBitmap with the file's
// name and the cause on a second line, and leaves the bitmap and both
// flags as they were.
bool LoadLogoFile(DataImage& image, UserInterface& ui, const std::string& path);
// The "ΦΟΡΤΩΣΗ" button: the file dialog, then LoadLogoFile. A cancel
// changes nothing.
bool LoadLogo(DataImage& image, UserInterface& ui);

// ---- Preview geometry (panel coordinates) ---------------------------------------------

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};
// x0 and y0 of the picture inside the group box.
Point PreviewOrigin(const Rect& box);
// The ten scale marks: for m = 1..5 a dot left and one right of the box.
std::array<Point, 10> ScaleMarks(const Rect& box);
// Where the dot of row r, byte b, bit j goes.
Point DotPosition(const Rect& box, int row, int byte, int bit);
bool LogoDot(const DataImage& image, int row, int byte, int bit);

// ---- The panel model ----------------------------------------------------------------------

class LogoPanel : public PanelModel {
 public:
  LogoPanel(DataImage& image, UserInterface& ui, EditorShared& shared);

  static std::span<const ControlSpec> Controls();

  void Show();
  void Hide();
  // Enter (hidden default button): focus to the next control, then the
  // header/footer rules.
  void OnEnter();
  // "ΦΟΡΤΩΣΗ".
  bool OnLoad();

  // PanelHooks
  void RefreshHeaderFooter() override;
};

}  // namespace zel::editors
