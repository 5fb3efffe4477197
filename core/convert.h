// Conversions between the binary values of the data image and the register's
// replies on one side and their fixed-width text forms on the other. Editor
// fields, report lines, CSV files and default names are all built with them,
// so their exact rules (widths, blank filling, the decimal comma, digit-only
// parsing, silent truncation) decide what is shown and stored.
//
// The Format* functions write into caller-supplied buffers, add no
// terminator, never allocate and never fail: digits that do not fit are
// dropped. The *Text helpers return the same characters as a std::string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zel {

// Format code f: f % 10 decimals, f / 10 non-zero keeps leading zeros.
// A field of n integer positions is n characters without decimals and
// n + 1 + decimals characters with them.
constexpr int FieldLength(int n, int f) { return f % 10 == 0 ? n : n + 1 + f % 10; }

void FormatUnsigned(char* buf, std::uint16_t value, int n, int f);
void FormatSigned(char* buf, std::int32_t value, int n, int f);
std::string FormatUnsignedText(std::uint16_t value, int n, int f);
std::string FormatSignedText(std::int32_t value, int n, int f);

// The value of the decimal digits of text, every other character skipped
// ("12,50" -> 1250, "-12" -> 12). Wraps silently like the register's own.
std::int32_t ParseDigits(std::string_view text);

// Two upper-case hexadecimal digits per byte, high nibble first.
void FormatHex(char* buf, const std::uint8_t* bytes, int count);
std::string FormatHexText(const std::uint8_t* bytes, int count);

// A report total: entry `index` of a table of 6-byte amounts (40-bit unsigned
// cents in the first five bytes) as 14 characters "nnnnnnnnnnn,nn" with up
// to ten leading zeros shown as blanks.
void FormatAmount14(char* buf, const std::uint8_t* table, int index);

// A 56-bit unsigned counter with its digit count.
struct LongCounter {
  std::uint32_t low = 0;
  std::uint16_t middle = 0;
  std::uint8_t high = 0;
  std::uint8_t count = 0;
  std::uint64_t value() const {
    return low | (static_cast<std::uint64_t>(middle) << 32) | (static_cast<std::uint64_t>(high) << 48);
  }
};
inline constexpr int kCounterTextSize = 16;
// Zero-fills 16 bytes and writes the `count` lowest digits (at most 16),
// leading zeros kept.
void FormatCounter(char* buf16, const LongCounter& counter);
// Reads up to 16 leading decimal digits.
LongCounter ParseCounter(std::string_view text);

// ---- Calendar clock: seconds since 2000-01-01 00:00:00 ----------------------
// Every fourth year is a leap year (the range ends in 2099, so there is no
// century rule).
std::uint32_t YearSeconds(int year_index);

struct Clock {
  std::uint32_t seconds = 0;
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  // "DD-MM-YYYY HH:MM.SS" and a terminating zero.
  char text[20] = "01-01-2000 00:00.00";

  // Seconds of month m (1..12) in this clock's year.
  std::uint32_t MonthSeconds(int m) const;
  // Fills the fields and the text from `seconds`. Values of 100 years or
  // more show 01-01-2000 00:00.00 and leave seconds 0.
  void ToText();
  // Mode 0 takes the fields as they are; mode 1 parses day, month, year, hour
  // and minute from the text (second 0); mode 2 also the second. Returns 0
  // and sets seconds when the date is valid (years 2010 to 2099), else 1
  // with seconds 0.
  int FromText(int mode);

  std::string_view date_text() const { return {text, 19}; }
};

// Convenience: the 19-character text of a register date-time.
std::string ClockText(std::uint32_t seconds);

}  // namespace zel
