#include "core/cp1253.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace zel {
namespace {

// Converts one byte with the system's iconv; nothing when iconv refuses it.
std::optional<std::string> IconvByte(std::uint8_t b) {
  iconv_t cd = iconv_open("UTF-8", "CP1253");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  char in[1] = {static_cast<char>(b)};
  char out[8] = {};
  char* pin = in;
  char* pout = out;
  std::size_t nin = 1, nout = sizeof out;
  const std::size_t r = iconv(cd, &pin, &nin, &pout, &nout);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) return std::nullopt;
  return std::string(out, static_cast<std::size_t>(pout - out));
}

TEST(Cp1253, EveryByteMatchesTheSystemIconv) {
  iconv_t cd = iconv_open("UTF-8", "CP1253");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << "iconv has no CP1253";
  iconv_close(cd);
  int undefined = 0;
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    const auto expected = IconvByte(byte);
    const std::string ours = cp1253::ToUtf8(std::string(1, static_cast<char>(byte)));
    if (expected) {
      EXPECT_EQ(ours, *expected) << "byte " << b;
      // And back: every defined byte encodes to itself.
      const auto back = cp1253::FromUtf8(ours);
      ASSERT_TRUE(back.has_value()) << "byte " << b;
      EXPECT_EQ(*back, std::string(1, static_cast<char>(byte))) << "byte " << b;
    } else {
      ++undefined;
      EXPECT_EQ(cp1253::ToUnicode(byte), cp1253::kReplacement) << "byte " << b;
    }
  }
  EXPECT_EQ(undefined, 17);
}

TEST(Cp1253, DecomposedGreekIsStoredAsItsOneByte) {
  // "ά" typed as α + combining acute, "ΐ" as ι + diaeresis + acute, and the
  // oxia form of ό.
  EXPECT_EQ(cp1253::FromUtf8("\u03B1\u0301"), std::string("\xDC"));
  EXPECT_EQ(cp1253::FromUtf8("\u03B9\u0308\u0301"), std::string("\xC0"));
  EXPECT_EQ(cp1253::FromUtf8("\u1F79"), std::string("\xFC"));
  EXPECT_EQ(cp1253::FromUtf8("\u0391\u0301\u03B8\u03B7\u03BD\u03B1"), std::string("\xA2\xE8\xE7\xED\xE1"));
}

TEST(Cp1253, RefusesWhatItCannotHold) {
  const char* refused[] = {
      "\u00E9",        // é: no Latin accented letters
      "\u4E2D",        // a Chinese character
      "\uFFFD",        // the replacement character itself
      "a\u0301",       // a Latin letter with a combining accent
      "\xC3",          // truncated UTF-8
      "\xE2\x82",      // truncated UTF-8
      "\xC0\x80",      // overlong encoding
      "\xED\xA0\x80",  // a surrogate
  };
  for (const char* s : refused) EXPECT_FALSE(cp1253::FromUtf8(s).has_value()) << s;
  EXPECT_EQ(cp1253::FromUtf8(""), std::string());
  EXPECT_EQ(cp1253::FromUtf8("\u20AC 5"), std::string("\x80 5"));
}

}  // namespace
}  // namespace zel
