#include "convert.h"

#include <cstdlib>

namespace zel {
namespace {

// Shared body of FormatUnsigned and FormatSigned.
void FormatNumber(char* buf, std::uint64_t magnitude, bool negative, bool signed_form, int n, int f) {
  const int d = f % 10;
  const bool zeros = f / 10 != 0;
  if (d > 0) {
    for (int pos = n + d; pos > n; --pos) {
      buf[pos] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    }
    buf[n] = (!signed_form && zeros && n == 2 && d == 2) ? ':' : ',';
  }
  bool sign_written = false;
  for (int pos = n - 1; pos >= 0; --pos) {
    if (!zeros && magnitude == 0 && pos != n - 1) {
      if (negative && !sign_written) {
        buf[pos] = '-';
        sign_written = true;
      } else {
        buf[pos] = ' ';
      }
    } else {
      buf[pos] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    }
  }
}

}  // namespace

void FormatUnsigned(char* buf, std::uint16_t value, int n, int f) { FormatNumber(buf, value, false, false, n, f); }

void FormatSigned(char* buf, std::int32_t value, int n, int f) {
  const auto v = static_cast<std::int64_t>(value);
  FormatNumber(buf, static_cast<std::uint64_t>(v < 0 ? -v : v), v < 0, true, n, f);
}

std::string FormatUnsignedText(std::uint16_t value, int n, int f) {
  std::string s(static_cast<std::size_t>(FieldLength(n, f)), ' ');
  FormatUnsigned(s.data(), value, n, f);
  return s;
}

std::string FormatSignedText(std::int32_t value, int n, int f) {
  std::string s(static_cast<std::size_t>(FieldLength(n, f)), ' ');
  FormatSigned(s.data(), value, n, f);
  return s;
}

std::int32_t ParseDigits(std::string_view text) {
  std::uint32_t v = 0;  // unsigned: overflow wraps instead of being undefined
  for (char c : text)
    if (c >= '0' && c <= '9') v = v * 10u + static_cast<std::uint32_t>(c - '0');
  return static_cast<std::int32_t>(v);
}

void FormatHex(char* buf, const std::uint8_t* bytes, int count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int i = 0; i < count; ++i) {
    buf[2 * static_cast<std::ptrdiff_t>(i)] = kDigits[bytes[i] >> 4];
    buf[2 * static_cast<std::ptrdiff_t>(i) + 1] = kDigits[bytes[i] & 0x0F];
  }
}

std::string FormatHexText(const std::uint8_t* bytes, int count) {
  std::string s(static_cast<std::size_t>(2 * count), '0');
  FormatHex(s.data(), bytes, count);
  return s;
}

void FormatAmount14(char* buf, const std::uint8_t* table, int index) {
  const std::uint8_t* e = table + 6 * static_cast<std::ptrdiff_t>(index);
  std::uint64_t v = e[0] | (static_cast<std::uint64_t>(e[1]) << 8) | (static_cast<std::uint64_t>(e[2]) << 16) |
                    (static_cast<std::uint64_t>(e[3]) << 24) | (static_cast<std::uint64_t>(e[4]) << 32);
  for (int pos = 13; pos >= 0; --pos) {
    if (pos == 11) {
      buf[pos] = ',';
      continue;
    }
    buf[pos] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  for (int pos = 0; pos < 10 && buf[pos] == '0'; ++pos) buf[pos] = ' ';
}

void FormatCounter(char* buf16, const LongCounter& counter) {
  for (int i = 0; i < kCounterTextSize; ++i) buf16[i] = 0;
  const int count = counter.count > kCounterTextSize ? kCounterTextSize : counter.count;
  std::uint64_t v = counter.value();
  for (int pos = count - 1; pos >= 0; --pos) {
    buf16[pos] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
}

LongCounter ParseCounter(std::string_view text) {
  std::uint64_t v = 0;
  int count = 0;
  for (char c : text.substr(0, kCounterTextSize)) {
    if (c < '0' || c > '9') break;
    v = v * 10u + static_cast<std::uint64_t>(c - '0');
    ++count;
  }
  LongCounter r;
  r.low = static_cast<std::uint32_t>(v);
  r.middle = static_cast<std::uint16_t>(v >> 32);
  r.high = static_cast<std::uint8_t>(v >> 48);
  r.count = static_cast<std::uint8_t>(count);
  return r;
}

// ---- Clock ----------------------------------------------------------------

namespace {
constexpr std::uint32_t kDay = 86400;
constexpr std::uint32_t kHundredYears = 3155759999u;

int DaysInMonth(int month, int year) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2) return year % 4 == 0 ? 29 : 28;
  return kDays[month - 1];
}

void Write2(char* p, int v) {
  p[0] = static_cast<char>('0' + v / 10 % 10);
  p[1] = static_cast<char>('0' + v % 10);
}
}  // namespace

std::uint32_t YearSeconds(int year_index) { return year_index % 4 == 0 ? 31622400u : 31536000u; }

std::uint32_t Clock::MonthSeconds(int m) const { return static_cast<std::uint32_t>(DaysInMonth(m, year)) * kDay; }

void Clock::ToText() {
  if (seconds > kHundredYears) {
    day = 1;
    month = 1;
    hour = minute = second = 0;
    year = 0;  // invalid: FromText fails and leaves seconds 0
    FromText(0);
  }
  text[2] = '-';
  text[5] = '-';
  text[10] = ' ';
  text[13] = ':';
  text[16] = '.';
  text[19] = 0;

  std::uint32_t total = 0;
  int i = 0;
  while (i < 100 && total + YearSeconds(i) <= seconds) total += YearSeconds(i++);
  year = 2000 + i;
  text[6] = static_cast<char>('0' + year / 1000 % 10);
  text[7] = static_cast<char>('0' + year / 100 % 10);
  Write2(text + 8, year % 100);

  month = 1;
  while (month < 12 && total + MonthSeconds(month) <= seconds) total += MonthSeconds(month++);
  Write2(text + 3, month);

  day = 1;
  while (day < DaysInMonth(month, year) && total + kDay <= seconds) {
    total += kDay;
    ++day;
  }
  hour = 0;
  while (hour < 23 && total + 3600 <= seconds) {
    total += 3600;
    ++hour;
  }
  minute = 0;
  while (minute < 59 && total + 60 <= seconds) {
    total += 60;
    ++minute;
  }
  second = static_cast<int>(seconds - total);
  Write2(text, day);
  Write2(text + 11, hour);
  Write2(text + 14, minute);
  Write2(text + 17, second);
}

int Clock::FromText(int mode) {
  if (mode >= 1) {
    const std::string_view t(text, 19);
    day = ParseDigits(t.substr(0, 2));
    month = ParseDigits(t.substr(3, 2));
    year = ParseDigits(t.substr(6, 4));
    hour = ParseDigits(t.substr(11, 2));
    minute = ParseDigits(t.substr(14, 2));
    second = mode >= 2 ? ParseDigits(t.substr(17, 2)) : 0;
  }
  seconds = 0;
  const bool valid = month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(month, year) && year >= 2010 &&
                     year <= 2099 && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 &&
                     second <= 59;
  if (!valid) return 1;
  std::uint32_t s = 0;
  for (int y = 2000; y < year; ++y) s += YearSeconds(y - 2000);
  for (int m = 1; m < month; ++m) s += MonthSeconds(m);
  s += static_cast<std::uint32_t>(day - 1) * kDay + static_cast<std::uint32_t>(hour) * 3600u +
       static_cast<std::uint32_t>(minute) * 60u + static_cast<std::uint32_t>(second);
  seconds = s;
  return 0;
}

std::string ClockText(std::uint32_t seconds) {
  Clock c;
  c.seconds = seconds;
  c.ToText();
  return std::string(c.date_text());
}

}  // namespace zel
