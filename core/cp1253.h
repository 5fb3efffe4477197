// Code page 1253 (Windows Greek) <-> Unicode, for the edges of the program:
// widgets, the terminal, UTF-8 command-line arguments and summaries.
//
// Inside the program texts stay code page 1253 bytes; only text shown to or
// typed by a person is converted. The table is exact for all 256 byte values.
// The seventeen bytes code page 1253 leaves undefined (0x81, 0x88, 0x8A,
// 0x8C-0x90, 0x98, 0x9A, 0x9C-0x9F, 0xAA, 0xD2, 0xFF) decode to U+FFFD and
// nothing encodes to them, so they can only reach the image from a file or the
// register, never from the keyboard.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zel::cp1253 {

inline constexpr char32_t kReplacement = 0xFFFD;

// The character of one byte; U+FFFD for an undefined byte.
char32_t ToUnicode(std::uint8_t b);

// The byte of one character, or nothing when code page 1253 cannot hold it.
std::optional<std::uint8_t> FromUnicode(char32_t c);

// Composes a Greek vowel followed by a combining acute (U+0301), diaeresis
// (U+0308) or both into the precomposed letter, and maps the canonical
// singletons (oxia vowels, Greek question mark, ano teleia, ohm sign) to
// their normal form, so text typed in decomposed form encodes as the one byte
// the register expects. Returns the composed character, or 0 when `base` and
// `mark` do not compose.
char32_t Compose(char32_t base, char32_t mark);
char32_t CanonicalSingleton(char32_t c);

// Bytes to UTF-8 (undefined bytes become U+FFFD).
std::string ToUtf8(std::string_view bytes);

// UTF-8 to bytes, composing accents first. Nothing when the UTF-8 is
// malformed or a character has no byte in code page 1253.
std::optional<std::string> FromUtf8(std::string_view utf8);

// True when `text` is well-formed UTF-8 (pure ASCII included).
bool IsUtf8(std::string_view text);
// The first character of well-formed UTF-8 that FromUtf8 cannot put into
// code page 1253 (after composing accents); nothing when all can be.
std::optional<char32_t> FirstUnencodable(std::string_view utf8);

// FromUtf8 for texts the program itself holds (default names, messages
// written to files); they are known to be encodable.
std::string Encode(std::string_view utf8);

}  // namespace zel::cp1253
