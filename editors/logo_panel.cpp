#include "editors/logo_panel.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/cp1253.h"
#include "core/safe_file.h"
#include "editors/help_texts.h"

namespace zel::editors {
namespace {

constexpr int kTextIds[kPrintLineCount] = {1001, 1004, 1000, 1003, 1002, 1005, 1006, 1007,
                                           1008, 1009, 1013, 1014, 1015, 1016, 1017};
constexpr int kLogoColumn = 1, kHeaderFooterColumn = 2;

constexpr std::size_t LineOffset(int n) { return param::kPrintLineSize * static_cast<std::size_t>(n - 1); }

constexpr ControlSpec LineText(int n) {
  const bool logo = n <= kFiscalLogoLines;
  return FieldSpec(kTextIds[n - 1], "", FieldKind::kText, 32, 0, 0,
                   Ref(Where::kParameters, LineOffset(n), param::kPrintTextWidth), 0,
                   logo ? kHelpFiscalLogoLine : kHelpHeaderFooterLine, logo ? kLogoColumn : kHeaderFooterColumn);
}
constexpr ControlSpec LineSize(int n) {
  const bool logo = n <= kFiscalLogoLines;
  return FieldSpec(1322 + n, "", FieldKind::kText, 1, 0, logo ? 4 : 6,
                   Ref(Where::kParameters, LineOffset(n) + param::kPrintTextWidth, 1), 0,
                   logo ? kHelpFiscalLogoSize : kHelpHeaderFooterSize, logo ? kLogoColumn : kHeaderFooterColumn);
}

constexpr ControlSpec kControls[] = {
    LineText(1),
    LineSize(1),
    LineText(2),
    LineSize(2),
    LineText(3),
    LineSize(3),
    LineText(4),
    LineSize(4),
    LineText(5),
    LineSize(5),
    LineText(6),
    LineSize(6),
    LineText(7),
    LineSize(7),
    LineText(8),
    LineSize(8),
    LineText(9),
    LineSize(9),
    LineText(10),
    LineSize(10),
    LineText(11),
    LineSize(11),
    LineText(12),
    LineSize(12),
    LineText(13),
    LineSize(13),
    LineText(14),
    LineSize(14),
    LineText(15),
    LineSize(15),
    OtherSpec(kLoadLogoButton, ControlType::kCommand, "ΦΟΡΤΩΣΗ", kHelpNone, 0),
    OtherSpec(kPreviewBox, ControlType::kGroup, "", kHelpNone, 0),
    OtherSpec(kLogoDefault, ControlType::kDefaultButton, "", kHelpNone, 0),
};

std::uint8_t Mirror(std::uint8_t in) {
  std::uint8_t out = 0;
  for (int j = 0; j < 8; ++j)
    if (((in >> (7 - j)) & 1) != 0) out = static_cast<std::uint8_t>(out | (1 << j));
  return out;
}

}  // namespace

int LineTextControl(int n) { return kTextIds[n - 1]; }
int LineSizeControl(int n) { return 1322 + n; }

std::string PicturePlaceholder() {
  std::string p = cp1253::Encode("[Εικονα]");
  p.resize(param::kPrintTextWidth, ' ');
  return p;
}

void NormaliseHeaderFooter(DataImage& image) {
  const Parameters p = image.parameters();
  const std::string placeholder = PicturePlaceholder();
  for (int n = kFiscalLogoLines + 1; n <= kPrintLineCount; ++n) {
    const auto text = p.print_line(n);
    const std::uint8_t size = p.print_size(n);
    if (size == '5' || size == '6') {
      std::copy(placeholder.begin(), placeholder.end(), text.begin());
    } else if (std::equal(text.begin(), text.end(), placeholder.begin(),
                          [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); })) {
      std::fill(text.begin(), text.end(), std::uint8_t{0});
    }
  }
}

void CorrectPrintSizes(DataImage& image) {
  const Parameters p = image.parameters();
  for (int n = 1; n <= kPrintLineCount; ++n) {
    const char largest = n <= kFiscalLogoLines ? '4' : '6';
    std::uint8_t& size = p.print_size(n);
    if (size < '1' || size > largest) size = '1';
  }
}

// ---- Graphic logo -----------------------------------------------------------------------

namespace {

// Which palette index is printed: the darker of the two colour-table
// entries (blue, green, red, reserved), index 0 when they are alike. Image
// tools write black first or white first as they please.
int DotIndex(const std::uint8_t* palette) {
  auto luminance = [](const std::uint8_t* e) { return 114 * e[0] + 587 * e[1] + 299 * e[2]; };
  return luminance(palette + 4) < luminance(palette) ? 1 : 0;
}

// Where the rows and the colour table are, or why the file is refused.
struct BmpLayout {
  BmpFault fault = BmpFault::kOk;
  std::size_t rows = 0;
  std::size_t pixels = 0;   // offset of the bottom row
  std::size_t palette = 0;  // offset of the two-entry colour table
};

BmpLayout Layout(std::span<const std::uint8_t> file) {
  BmpLayout l;
  if (file.size() < 30) return {BmpFault::kNotBmp};
  const std::uint32_t width = le::Get32(file.data() + 18);
  const std::int32_t height = le::GetI32(file.data() + 22);
  if (width != logo::kWidth) return {BmpFault::kWidth};
  if (height < 0 || height > logo::kRows) return {BmpFault::kHeight};
  l.rows = static_cast<std::size_t>(height);
  const std::size_t pixel_bytes = l.rows * logo::kRowBytes;
  // The classic one-bit file: 14-byte file header, 40-byte information
  // header, two colours, then the rows. Its size alone identifies it.
  if (file.size() == kBmpHeaderSize + pixel_bytes) {
    l.pixels = kBmpHeaderSize;
    l.palette = kBmpHeaderSize - 8;
    return l;
  }
  // The information header of 40, 108 (V4) or 124 (V5) bytes: a one-bit,
  // uncompressed picture whose rows start at the file header's pixel-data
  // offset.
  const std::uint32_t info = le::Get32(file.data() + 14);
  if (file[0] != 'B' || file[1] != 'M' || (info != 40 && info != 108 && info != 124)) return {BmpFault::kNotBmp};
  if (file.size() < 14 + info + 8) return {BmpFault::kSize};
  if (le::Get16(file.data() + 28) != 1) return {BmpFault::kDepth};
  if (le::Get32(file.data() + 30) != 0) return {BmpFault::kCompressed};
  const std::size_t offset = le::Get32(file.data() + 10);
  // A V4/V5 file may carry a colour profile after the rows; a 40-byte one
  // has nothing after them.
  const bool fits = offset >= 14 + info + 8 && offset <= file.size() && file.size() - offset >= pixel_bytes &&
                    (info != 40 || file.size() - offset == pixel_bytes);
  if (!fits) return {BmpFault::kSize};
  l.pixels = offset;
  l.palette = 14 + info;
  return l;
}

}  // namespace

std::string BmpFaultText(BmpFault fault, std::span<const std::uint8_t> file) {
  auto value = [&](std::size_t at) { return file.size() >= at + 4 ? le::GetI32(file.data() + at) : 0; };
  switch (fault) {
    case BmpFault::kOk: return {};
    case BmpFault::kNotBmp: return "δεν είναι εικόνα BMP";
    case BmpFault::kWidth: return "πλάτος " + std::to_string(value(18)) + " px αντί για 384";
    case BmpFault::kHeight: return "ύψος " + std::to_string(value(22)) + " px: το πολύ 180";
    case BmpFault::kDepth:
      return std::to_string(file.size() >= 30 ? le::Get16(file.data() + 28) : 0) +
             " bit ανά κουκκίδα: χρειάζεται ασπρόμαυρη εικόνα (1 bit)";
    case BmpFault::kCompressed: return "συμπιεσμένη εικόνα";
    case BmpFault::kSize: return "το μέγεθος του αρχείου δεν ταιριάζει με την εικόνα";
  }
  return {};
}

bool DecodeLogoBmp(std::span<const std::uint8_t> file, std::span<std::uint8_t> bitmap, BmpFault* fault) {
  std::fill(bitmap.begin(), bitmap.end(), std::uint8_t{0});
  const BmpLayout l = Layout(file);
  if (fault != nullptr) *fault = l.fault;
  if (l.fault != BmpFault::kOk) return false;
  // Output bit j is input bit 7 - j (the leftmost pixel becomes bit 0), set
  // where the pixel has the dark colour.
  const std::uint8_t flip = DotIndex(file.data() + l.palette) == 0 ? 0xFF : 0x00;
  for (std::size_t k = 0; k < l.rows; ++k) {
    const std::uint8_t* row = file.data() + l.pixels + (l.rows - 1 - k) * logo::kRowBytes;
    for (std::size_t b = 0; b < logo::kRowBytes; ++b)
      bitmap[k * logo::kRowBytes + b] = Mirror(static_cast<std::uint8_t>(row[b] ^ flip));
  }
  return true;
}

bool LoadLogoFile(DataImage& image, UserInterface& ui, const std::string& path) {
  // Decode into a scratch bitmap: a refused file leaves the logo as it was.
  std::vector<std::uint8_t> file(kMaxBmpFileSize + 1);
  std::size_t n = 0;
  FileFault read_fault;
  std::string cause;
  BmpFault fault = BmpFault::kOk;
  std::vector<std::uint8_t> bitmap(image.logo().size());
  if (!ReadFilePrefix(path, file, n, read_fault)) {
    cause = FaultText(read_fault);
  } else if (n > kMaxBmpFileSize) {
    cause = BmpFaultText(BmpFault::kSize, {});
  } else if (!DecodeLogoBmp(std::span(file.data(), n), bitmap, &fault)) {
    cause = BmpFaultText(fault, std::span(file.data(), n));
  }
  if (!cause.empty()) {
    ui.ShowMessage(WithCause(kMsgBadBitmap, CauseLine(path, cause)), Icon::kError, {}, true);
    return false;
  }
  std::copy(bitmap.begin(), bitmap.end(), image.logo().begin());
  image.state.modified = true;
  image.state.logo_present = 1;
  return true;
}

bool LoadLogo(DataImage& image, UserInterface& ui) {
  FileDialog d;
  d.mode = FileDialog::Mode::kOpen;
  d.default_extension = ".bmp";
  d.filter = std::string(kBitmapFilter);
  const std::optional<std::string> path = ui.ChooseFile(d);
  if (!path) return false;
  return LoadLogoFile(image, ui, *path);
}

// ---- Preview geometry -------------------------------------------------------------------

Point PreviewOrigin(const Rect& box) {
  const int x0 = std::max(0, (box.right - box.left - logo::kWidth) / 2);
  const int half = (box.bottom - box.top - 190) / 2;
  return {x0, half < 0 ? 10 : half + 10};
}

std::array<Point, 10> ScaleMarks(const Rect& box) {
  const Point o = PreviewOrigin(box);
  std::array<Point, 10> marks{};
  for (int m = 1; m <= 5; ++m) {
    const int y = box.top + o.y + 30 * m;
    marks[static_cast<std::size_t>(2 * (m - 1))] = {box.left - 1, y};
    marks[static_cast<std::size_t>(2 * (m - 1) + 1)] = {box.right + 1, y};
  }
  return marks;
}

Point DotPosition(const Rect& box, int row, int byte, int bit) {
  const Point o = PreviewOrigin(box);
  return {box.left + o.x + 8 * byte + bit, box.top + o.y + row};
}

bool LogoDot(const DataImage& image, int row, int byte, int bit) {
  return ((image.logo()[static_cast<std::size_t>(row * logo::kRowBytes + byte)] >> bit) & 1) != 0;
}

// ---- The panel model ----------------------------------------------------------------------

LogoPanel::LogoPanel(DataImage& image, UserInterface& ui, EditorShared& shared)
    : PanelModel(image, ui, shared, kPanelLogo, Controls()) {}

std::span<const ControlSpec> LogoPanel::Controls() { return kControls; }

void LogoPanel::Show() {
  BindWhere([](const ControlSpec&) { return true; });
  ResetStatusHelp();
  RefreshHeaderFooter();
  // The keyboard starts on the first line, so the first keys are not lost.
  view().Focus(LineTextControl(1));
}

void LogoPanel::Hide() { CorrectPrintSizes(image()); }

void LogoPanel::OnEnter() {
  view().FocusNext();
  RefreshHeaderFooter();
}

bool LogoPanel::OnLoad() {
  const bool loaded = LoadLogo(image(), *context_.ui);
  view().Repaint();
  return loaded;
}

void LogoPanel::RefreshHeaderFooter() {
  NormaliseHeaderFooter(image());
  for (int n = kFiscalLogoLines + 1; n <= kPrintLineCount; ++n) BindId(LineTextControl(n));
}

}  // namespace zel::editors
