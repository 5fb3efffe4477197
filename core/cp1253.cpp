#include "cp1253.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zel::cp1253 {
namespace {

constexpr char32_t U = kReplacement;

// 0x80..0xFF; 0x00..0x7F are ASCII.
constexpr std::array<char32_t, 128> kHigh = {
    0x20AC, U,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    U,      0x2030, U,      0x2039, U,      U,      U,      U,       // 88
    U,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    U,      0x2122, U,      0x203A, U,      U,      U,      U,       // 98
    0x00A0, 0x0385, 0x0386, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, U,      0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x2015,  // A8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x0384, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0388, 0x0389, 0x038A, 0x00BB, 0x038C, 0x00BD, 0x038E, 0x038F,  // B8
    0x0390, 0x0391, 0x0392, 0x0393, 0x0394, 0x0395, 0x0396, 0x0397,  // C0
    0x0398, 0x0399, 0x039A, 0x039B, 0x039C, 0x039D, 0x039E, 0x039F,  // C8
    0x03A0, 0x03A1, U,      0x03A3, 0x03A4, 0x03A5, 0x03A6, 0x03A7,  // D0
    0x03A8, 0x03A9, 0x03AA, 0x03AB, 0x03AC, 0x03AD, 0x03AE, 0x03AF,  // D8
    0x03B0, 0x03B1, 0x03B2, 0x03B3, 0x03B4, 0x03B5, 0x03B6, 0x03B7,  // E0
    0x03B8, 0x03B9, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BE, 0x03BF,  // E8
    0x03C0, 0x03C1, 0x03C2, 0x03C3, 0x03C4, 0x03C5, 0x03C6, 0x03C7,  // F0
    0x03C8, 0x03C9, 0x03CA, 0x03CB, 0x03CC, 0x03CD, 0x03CE, U,       // F8
};

struct Composition {
  char32_t base, mark, result;
};
constexpr char32_t kAcute = 0x0301, kDiaeresis = 0x0308, kDialytikaTonos = 0x0344;
constexpr Composition kCompositions[] = {
    {0x0391, kAcute, 0x0386},          {0x0395, kAcute, 0x0388},     {0x0397, kAcute, 0x0389},
    {0x0399, kAcute, 0x038A},          {0x039F, kAcute, 0x038C},     {0x03A5, kAcute, 0x038E},
    {0x03A9, kAcute, 0x038F},          {0x03B1, kAcute, 0x03AC},     {0x03B5, kAcute, 0x03AD},
    {0x03B7, kAcute, 0x03AE},          {0x03B9, kAcute, 0x03AF},     {0x03BF, kAcute, 0x03CC},
    {0x03C5, kAcute, 0x03CD},          {0x03C9, kAcute, 0x03CE},     {0x0399, kDiaeresis, 0x03AA},
    {0x03A5, kDiaeresis, 0x03AB},      {0x03B9, kDiaeresis, 0x03CA}, {0x03C5, kDiaeresis, 0x03CB},
    {0x03CA, kAcute, 0x0390},          {0x03CB, kAcute, 0x03B0},     {0x03B9, kDialytikaTonos, 0x0390},
    {0x03C5, kDialytikaTonos, 0x03B0}, {0x00A8, kAcute, 0x0385},
};

// Characters whose canonical form is another single character.
constexpr std::pair<char32_t, char32_t> kSingletons[] = {
    {0x1F71, 0x03AC}, {0x1F73, 0x03AD}, {0x1F75, 0x03AE}, {0x1F77, 0x03AF}, {0x1F79, 0x03CC}, {0x1F7B, 0x03CD},
    {0x1F7D, 0x03CE}, {0x1FBB, 0x0386}, {0x1FC9, 0x0388}, {0x1FCB, 0x0389}, {0x1FDB, 0x038A}, {0x1FF9, 0x038C},
    {0x1FEB, 0x038E}, {0x1FFB, 0x038F}, {0x1FD3, 0x0390}, {0x1FE3, 0x03B0}, {0x037E, 0x003B}, {0x0387, 0x00B7},
    {0x2126, 0x03A9}, {0x1FEE, 0x0385}, {0x1FFD, 0x0384},
};

// Decodes the character at s[i] and moves i past it; false on a malformed,
// overlong or truncated sequence, a surrogate or a value above U+10FFFF.
bool DecodeNext(std::string_view s, std::size_t& i, char32_t& cp) {
  const auto c = static_cast<unsigned char>(s[i]);
  int extra;
  if (c < 0x80) {
    cp = c;
    extra = 0;
  } else if ((c & 0xE0) == 0xC0) {
    cp = c & 0x1Fu;
    extra = 1;
  } else if ((c & 0xF0) == 0xE0) {
    cp = c & 0x0Fu;
    extra = 2;
  } else if ((c & 0xF8) == 0xF0) {
    cp = c & 0x07u;
    extra = 3;
  } else
    return false;
  if (i + static_cast<std::size_t>(extra) >= s.size()) return false;  // truncated sequence
  for (int k = 1; k <= extra; ++k) {
    const auto cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
    if ((cc & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (cc & 0x3Fu);
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  i += static_cast<std::size_t>(extra) + 1;
  return true;
}

// Decodes UTF-8 into code points; false on malformed input.
bool DecodeUtf8(std::string_view s, std::vector<char32_t>& out) {
  std::size_t i = 0;
  char32_t cp = 0;
  while (i < s.size()) {
    if (!DecodeNext(s, i, cp)) return false;
    out.push_back(cp);
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

char32_t ToUnicode(std::uint8_t b) { return b < 0x80 ? b : kHigh[b - 0x80u]; }

std::optional<std::uint8_t> FromUnicode(char32_t c) {
  if (c < 0x80) return static_cast<std::uint8_t>(c);
  if (c == kReplacement) return std::nullopt;
  for (std::size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == c) return static_cast<std::uint8_t>(0x80 + i);
  return std::nullopt;
}

char32_t Compose(char32_t base, char32_t mark) {
  for (const auto& c : kCompositions)
    if (c.base == base && c.mark == mark) return c.result;
  return 0;
}

char32_t CanonicalSingleton(char32_t c) {
  for (const auto& [from, to] : kSingletons)
    if (from == c) return to;
  return c;
}

std::string ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) AppendUtf8(out, ToUnicode(static_cast<std::uint8_t>(ch)));
  return out;
}

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  char32_t cp = 0;
  while (i < text.size()) {
    // Runs of ASCII, the usual case, eight bytes at a time.
    while (i + 8 <= text.size()) {
      std::uint64_t x;
      std::memcpy(&x, text.data() + i, 8);
      if ((x & 0x8080808080808080ull) != 0) break;
      i += 8;
    }
    if (i < text.size() && !DecodeNext(text, i, cp)) return false;
  }
  return true;
}

std::optional<char32_t> FirstUnencodable(std::string_view utf8) {
  std::size_t i = 0;
  char32_t cp = 0, previous = 0;
  while (i < utf8.size()) {
    if (!DecodeNext(utf8, i, cp)) return std::nullopt;
    cp = CanonicalSingleton(cp);
    if (Compose(previous, cp) != 0) {
      previous = Compose(previous, cp);
      continue;
    }
    if (!FromUnicode(cp)) return cp;
    previous = cp;
  }
  return std::nullopt;
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
  std::vector<char32_t> cps;
  cps.reserve(utf8.size());
  if (!DecodeUtf8(utf8, cps)) return std::nullopt;
  std::vector<char32_t> composed;
  composed.reserve(cps.size());
  for (char32_t cp : cps) {
    cp = CanonicalSingleton(cp);
    if (!composed.empty()) {
      if (char32_t c = Compose(composed.back(), cp)) {
        composed.back() = c;
        continue;
      }
    }
    composed.push_back(cp);
  }
  std::string out;
  out.reserve(composed.size());
  for (char32_t cp : composed) {
    auto b = FromUnicode(cp);
    if (!b) return std::nullopt;
    out += static_cast<char>(*b);
  }
  return out;
}

std::string Encode(std::string_view utf8) {
  auto r = FromUtf8(utf8);
  if (!r) std::abort();  // a program text that code page 1253 cannot hold is a bug
  return *r;
}

}  // namespace zel::cp1253
