// The generated fiscal memory holds together the way the program's report
// reads it: the offsets below are written out from the memory's layout
// rather than taken from the generator, so a wrong constant there shows.
#include "sim/fiscal_memory.h"

#include <gtest/gtest.h>

#include <set>

#include "core/bytes.h"

namespace zel::sim {
namespace {

constexpr std::size_t kClosures = 40, kClosureSize = 96, kClosureCount = 1900;
constexpr std::size_t kTexts = 182440, kTextSize = 304, kTextCount = 25;
constexpr std::size_t kVats = 190040, kVatSize = 14, kVatCount = 60;
constexpr std::size_t kEvents = 190880;
constexpr std::size_t kListSizes[7] = {1000, 1000, 1000, 1000, 1000, 1000, 1900};
constexpr std::size_t kSignatures = 222480, kSignatureSize = 40;
constexpr std::size_t kUsedEnd = kSignatures + kSignatureSize * kClosureCount;

bool AllFF(const ByteVector& m, std::size_t from, std::size_t n) {
  for (std::size_t i = from; i < from + n; ++i)
    if (m[i] != 0xFF) return false;
  return true;
}

std::uint8_t Sum(const ByteVector& m, std::size_t from, std::size_t n) {
  std::uint8_t s = 0;
  for (std::size_t i = from; i < from + n; ++i) s = static_cast<std::uint8_t>(s + m[i]);
  return s;
}

std::uint64_t Get40(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 0; i < 5; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  return v;
}

// Used records counted from the start of a table; every record after the
// first empty one must be wholly empty.
std::size_t UsedRecords(const ByteVector& m, std::size_t base, std::size_t size, std::size_t count) {
  std::size_t used = 0;
  while (used < count && le::Get32(m.data() + base + size * used) != 0xFFFFFFFF) ++used;
  for (std::size_t i = used; i < count; ++i)
    EXPECT_TRUE(AllFF(m, base + size * i, size)) << "record " << i << " at " << base << " is not empty";
  return used;
}

class FiscalMemory : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(FiscalMemory, IsConsistentFromHeaderToSignatures) {
  fm::Summary summary;
  const ByteVector m = fm::Generate(GetParam(), "ABC12345678", &summary);
  ASSERT_EQ(m.size(), 524288u);

  // Header: a date, the initial rates, the registration number.
  EXPECT_NE(le::Get32(m.data()), 0xFFFFFFFFu);
  EXPECT_EQ(le::Get16(m.data() + 4), 600);
  EXPECT_EQ(le::Get16(m.data() + 10), 3600);
  EXPECT_EQ(ByteVector(m.begin() + 12, m.begin() + 19), (ByteVector{'A', 'B', 'C', 0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(fm::RegistrationOf(m), "ABC12345678");
  EXPECT_TRUE(AllFF(m, 19, 21));

  const std::size_t closures = UsedRecords(m, kClosures, kClosureSize, kClosureCount);
  const std::size_t texts = UsedRecords(m, kTexts, kTextSize, kTextCount);
  const std::size_t vats = UsedRecords(m, kVats, kVatSize, kVatCount);
  EXPECT_GE(closures, 9u) << "at least one closure on a second report page";
  EXPECT_EQ(closures, static_cast<std::size_t>(summary.closures));

  // Closures: one bad check byte, dates rising, running numbers adding up.
  int bad = 0;
  std::uint32_t last_date = le::Get32(m.data());
  std::size_t text_number = 0, vat_number = 0;
  std::uint16_t event_numbers[5] = {};
  std::uint64_t totals[6] = {};
  for (std::size_t c = 0; c < closures; ++c) {
    SCOPED_TRACE(c);
    const std::size_t at = kClosures + kClosureSize * c;
    const std::uint8_t* z = m.data() + at;
    if (Sum(m, at, 94) != z[94]) {
      ++bad;
      EXPECT_EQ(static_cast<int>(c), summary.bad_closure);
    }
    EXPECT_GT(le::Get32(z), last_date);
    last_date = le::Get32(z);
    EXPECT_LE(z[8], 9);
    EXPECT_LE(z[9], 9);
    text_number += z[8];
    vat_number += z[9];
    EXPECT_EQ(z[80], text_number);
    EXPECT_EQ(z[81], vat_number);
    for (std::size_t k = 0; k < 5; ++k) {
      event_numbers[k] = static_cast<std::uint16_t>(event_numbers[k] + z[10 + k]);
      EXPECT_EQ(le::Get16(z + 82 + 2 * k), event_numbers[k]);
    }
    std::int64_t net_abgd = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      totals[k] += static_cast<std::uint32_t>(le::GetI32(z + 16 + 4 * k));
      EXPECT_GE(le::GetI32(z + 16 + 4 * k), 0);
    }
    net_abgd = le::GetI32(z + 32);
    totals[4] += static_cast<std::uint64_t>(net_abgd);
    totals[5] += static_cast<std::uint32_t>(le::GetI32(z + 36));
    for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(Get40(z + 44 + 6 * k), totals[k]) << "running total " << k;
  }
  EXPECT_EQ(bad, 1);
  EXPECT_EQ(text_number, texts) << "the closures refer to every text change";
  EXPECT_EQ(vat_number, vats) << "the closures refer to every VAT change";
  EXPECT_GE(texts, 1u);
  EXPECT_GE(vats, 1u);

  for (std::size_t t = 0; t < texts; ++t)
    EXPECT_EQ(Sum(m, kTexts + kTextSize * t, 301), m[kTexts + kTextSize * t + 301]) << "text change " << t;
  for (std::size_t v = 0; v < vats; ++v)
    for (std::size_t k = 0; k < 4; ++k) EXPECT_LT(le::Get16(m.data() + kVats + kVatSize * v + 4 + 2 * k), 10000);

  // Events: the five counted lists agree with the closures' running numbers;
  // the last list holds one confirmed transmission per closure.
  std::size_t list_start = kEvents;
  std::size_t lists_with_events = 0;
  const std::size_t counted[5] = {0, 1, 2, 4, 5};
  std::size_t used_per_list[7] = {};
  for (std::size_t l = 0; l < 7; ++l) {
    used_per_list[l] = UsedRecords(m, list_start, 4, kListSizes[l]);
    lists_with_events += used_per_list[l] > 0;
    list_start += 4 * kListSizes[l];
  }
  EXPECT_EQ(list_start, kSignatures);
  for (std::size_t k = 0; k < 5; ++k) EXPECT_EQ(used_per_list[counted[k]], event_numbers[k]) << "list " << counted[k];
  EXPECT_EQ(used_per_list[6], closures);
  EXPECT_GE(lists_with_events, 3u);

  // One signature per closure, then nothing.
  for (std::size_t c = 0; c < kClosureCount; ++c)
    EXPECT_EQ(AllFF(m, kSignatures + kSignatureSize * c, kSignatureSize), c >= closures) << "signature " << c;
  EXPECT_TRUE(AllFF(m, kUsedEnd, m.size() - kUsedEnd));
}

// The report takes a closure's VAT rates from the record its byte 80 names
// (0: the header). Those must be the rates in force on the closure's day:
// the latest VAT change dated before it, or the header's before any change.
TEST_P(FiscalMemory, ByteEightySelectsTheRatesInForceOnTheClosureDay) {
  const ByteVector m = fm::Generate(GetParam(), "ABC12345678");
  const std::size_t closures = UsedRecords(m, kClosures, kClosureSize, kClosureCount);
  const std::size_t vats = UsedRecords(m, kVats, kVatSize, kVatCount);
  const auto rates = [&](std::size_t entry) {
    const std::size_t at = entry == 0 ? 4 : kVats + kVatSize * (entry - 1) + 4;
    return ByteVector(m.begin() + static_cast<std::ptrdiff_t>(at), m.begin() + static_cast<std::ptrdiff_t>(at + 8));
  };
  std::set<std::size_t> entries_used;
  for (std::size_t c = 0; c < closures; ++c) {
    SCOPED_TRACE(c);
    const std::uint8_t* z = m.data() + kClosures + kClosureSize * c;
    std::size_t in_force = 0;
    while (in_force < vats && le::Get32(m.data() + kVats + kVatSize * in_force) < le::Get32(z)) ++in_force;
    EXPECT_EQ(z[80], in_force) << "byte 80 does not name the VAT change in force";
    EXPECT_EQ(z[81], z[80]);
    ASSERT_LE(z[80], vats);
    EXPECT_EQ(rates(z[80]), rates(in_force));
    entries_used.insert(z[80]);
  }
  EXPECT_TRUE(entries_used.count(0)) << "the header's rates are used before the first change";
  EXPECT_GE(entries_used.size(), 2u) << "some closure uses a changed rate";
}

INSTANTIATE_TEST_SUITE_P(Seeds, FiscalMemory, ::testing::Values(1u, 2u, 12345u, 4000000000u));

TEST(FiscalMemoryGenerator, TheSameSeedGivesTheSameMemory) {
  EXPECT_TRUE(fm::Generate(9, "ZEL00000001") == fm::Generate(9, "ZEL00000001"));
  EXPECT_FALSE(fm::Generate(9, "ZEL00000001") == fm::Generate(10, "ZEL00000001"));
}

TEST(FiscalMemoryGenerator, RegistrationNumbersAreThreeCharactersAndEightDigits) {
  EXPECT_TRUE(fm::ValidRegistration("ABC12345678"));
  EXPECT_TRUE(
      fm::ValidRegistration("\xC1\xC2\xC3"
                            "00000000"));  // Greek letters in code page 1253
  const std::string_view bad[] = {"", "ABC1234567", "ABC123456789", "ABC1234567A",
                                  std::string_view("AB\0"
                                                   "12345678",
                                                   11)};
  for (std::string_view b : bad) EXPECT_FALSE(fm::ValidRegistration(b)) << b.size();
}

}  // namespace
}  // namespace zel::sim
