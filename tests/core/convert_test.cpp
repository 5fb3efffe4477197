#include "core/convert.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zel {
namespace {

struct NumberCase {
  std::int64_t value;
  int n, f;
  const char* text;
};

TEST(FormatUnsigned, WidthsBlanksSeparatorsAndTruncation) {
  const NumberCase cases[] = {
      {1250, 3, 2, " 12,50"}, {5, 2, 2, " 0,05"},    {7, 2, 10, "07"},    {930, 2, 12, "09:30"},
      {0, 4, 0, "   0"},      {65535, 3, 0, "535"},  {12345, 2, 0, "45"}, {930, 3, 12, "009,30"},
      {0, 2, 2, " 0,00"},     {2400, 2, 2, "24,00"}, {1, 1, 0, "1"},      {99, 5, 11, "00009,9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatUnsignedText(static_cast<std::uint16_t>(c.value), c.n, c.f), c.text)
        << c.value << " n=" << c.n << " f=" << c.f;
  }
}

TEST(FormatSigned, SignStandsBeforeTheLeadingDigitOrIsLost) {
  const NumberCase cases[] = {
      {-5, 4, 2, "  -0,05"},
      {-1234, 5, 0, "-1234"},
      {-1234, 4, 0, "1234"},
      {1250, 3, 2, " 12,50"},
      {-1, 1, 0, "1"},
      {0, 3, 0, "  0"},
      {-930, 2, 12, "09,30"},  // no clock form
      {2147483647, 10, 0, "2147483647"},
      {-2147483647 - 1, 11, 0, "-2147483648"},
      {-100, 7, 2, "     -1,00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatSignedText(static_cast<std::int32_t>(c.value), c.n, c.f), c.text)
        << c.value << " n=" << c.n << " f=" << c.f;
  }
}

TEST(FormatNumbers, WriteExactlyTheFieldLengthIntoTheBuffer) {
  char buf[16];
  std::memset(buf, '#', sizeof buf);
  FormatSigned(buf, -5, 4, 2);
  EXPECT_EQ(std::string(buf, 8), "  -0,05#");
  std::memset(buf, '#', sizeof buf);
  FormatUnsigned(buf, 7, 3, 0);
  EXPECT_EQ(std::string(buf, 4), "  7#");
}

TEST(ParseDigits, ReadsOnlyDigits) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"12,50", 1250}, {" 1.234 ", 1234}, {"", 0}, {"-12", 12}, {"a1b2c3", 123}, {"0,05", 5},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseDigits(text), value) << text;
}

TEST(FormatHex, UpperCaseHighNibbleFirst) {
  const std::uint8_t bytes[] = {0x00, 0x0F, 0xA5, 0xFF};
  EXPECT_EQ(FormatHexText(bytes, 4), "000FA5FF");
  EXPECT_EQ(FormatHexText(bytes, 0), "");
}

TEST(FormatAmount14, FortyBitsWithBlankedLeadingZeros) {
  // Entries: 0; 123456 cents; 2^40 - 1 with a sixth byte that must be ignored.
  const std::uint8_t table[] = {0, 0, 0, 0, 0, 0, 0x40, 0xE2, 0x01, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
  char buf[14];
  FormatAmount14(buf, table, 0);
  EXPECT_EQ(std::string(buf, 14), "          0,00");
  FormatAmount14(buf, table, 1);
  EXPECT_EQ(std::string(buf, 14), "       1234,56");
  FormatAmount14(buf, table, 2);
  EXPECT_EQ(std::string(buf, 14), "10995116277,75");
}

TEST(LongCounter, FormatKeepsLeadingZerosAndParseRoundTrips) {
  LongCounter c = ParseCounter("0012345678901234567");  // only the first 16 digits count
  EXPECT_EQ(c.count, 16);
  EXPECT_EQ(c.value(), 12345678901234ull);
  char buf[16];
  FormatCounter(buf, c);
  EXPECT_EQ(std::string(buf, 16), "0012345678901234");

  c = ParseCounter("42x7");
  EXPECT_EQ(c.count, 2);
  EXPECT_EQ(c.value(), 42u);
  FormatCounter(buf, c);
  EXPECT_EQ(std::string(buf, 2), "42");
  for (int i = 2; i < 16; ++i) EXPECT_EQ(buf[i], 0);

  c = ParseCounter("");
  EXPECT_EQ(c.count, 0);
  FormatCounter(buf, c);
  for (char ch : buf) EXPECT_EQ(ch, 0);

  LongCounter big;  // a count above 16 never writes past the 16 bytes
  big.count = 200;
  char guarded[20];
  std::memset(guarded, '#', sizeof guarded);
  FormatCounter(guarded, big);
  EXPECT_EQ(std::string(guarded + 16, 4), "####");
}

TEST(Clock, SecondsToText) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0, "01-01-2000 00:00.00"},
      {31622400, "01-01-2001 00:00.00"},
      {5097600, "29-02-2000 00:00.00"},
      {5097600 + 86400, "01-03-2000 00:00.00"},
      {31622400 + 59 * 86400, "01-03-2001 00:00.00"},  // 2001 has no 29 February
      {3155759999u, "31-12-2099 23:59.59"},
      {3155760000u, "01-01-2000 00:00.00"},  // 100 years and more
      {0xFFFFFFFFu, "01-01-2000 00:00.00"},
      {3661, "01-01-2000 01:01.01"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(ClockText(seconds), text) << seconds;
}

TEST(Clock, TextToSecondsAndValidity) {
  struct Case {
    const char* text;
    int mode;
    int result;
  };
  const Case cases[] = {
      {"29-02-2011 10:00.00", 1, 1},  // 2011 is not a leap year
      {"29-02-2012 10:00.00", 1, 0}, {"31-12-2099 23:59.59", 2, 0}, {"15-06-2009 12:00.00", 1, 1},  // before 2010
      {"01-01-2010 00:00.00", 1, 0}, {"32-01-2015 00:00.00", 1, 1}, {"01-13-2015 00:00.00", 1, 1},
      {"01-01-2015 24:00.00", 1, 1}, {"01-01-2015 23:60.00", 1, 1}, {"01-01-2015 23:59.60", 2, 1},
      {"01-01-2015 23:59.60", 1, 0},  // mode 1 ignores the second
  };
  for (const auto& c : cases) {
    Clock clock;
    std::memcpy(clock.text, c.text, 19);
    EXPECT_EQ(clock.FromText(c.mode), c.result) << c.text;
    if (c.result != 0) {
      EXPECT_EQ(clock.seconds, 0u) << c.text;
    }
  }
}

TEST(Clock, TextAndSecondsRoundTripAcrossTheRange) {
  // Every first and last second of each month from 2010 to 2099.
  for (int year = 2010; year <= 2099; ++year) {
    for (int month = 1; month <= 12; ++month) {
      Clock a;
      a.year = year;
      a.month = month;
      a.day = 1;
      ASSERT_EQ(a.FromText(0), 0);
      Clock b;
      b.seconds = a.seconds;
      b.ToText();
      EXPECT_EQ(b.year, year);
      EXPECT_EQ(b.month, month);
      EXPECT_EQ(b.day, 1);
      if (year == 2010 && month == 1) continue;  // the second before is in 2009
      Clock c;
      c.seconds = a.seconds - 1;
      c.ToText();
      Clock back;
      std::memcpy(back.text, c.text, 19);
      ASSERT_EQ(back.FromText(2), 0) << c.text;
      EXPECT_EQ(back.seconds, a.seconds - 1);
    }
  }
}

TEST(Clock, YearAndMonthSeconds) {
  EXPECT_EQ(YearSeconds(0), 31622400u);
  EXPECT_EQ(YearSeconds(1), 31536000u);
  EXPECT_EQ(YearSeconds(100), 31622400u);  // no century rule
  Clock c;
  c.year = 2024;
  EXPECT_EQ(c.MonthSeconds(2), 29u * 86400);
  c.year = 2023;
  EXPECT_EQ(c.MonthSeconds(2), 28u * 86400);
  EXPECT_EQ(c.MonthSeconds(4), 30u * 86400);
  EXPECT_EQ(c.MonthSeconds(12), 31u * 86400);
}

}  // namespace
}  // namespace zel
