// The simulated register's fiscal memory: 4096 blocks of 128 bytes, read by
// the program block by block (command 0x7D) and turned into its report.
//
// The generator builds a consistent memory from a seed: a header with the
// fiscalisation date, the initial VAT rates and the registration number;
// a run of daily closures with their check bytes (one of them deliberately
// wrong, as a worn memory cell would leave it), the text changes and VAT
// changes the closures' running numbers refer to, events in several of the
// seven lists (one confirmed transmission per closure in the last list), and
// one signature record per closure. Every byte the layout leaves unused is
// 0xFF, the erased state of the memory.
//
// Texts and VAT rates always change together (one record of each under the
// same date-time), because a closure's byte 80 both counts the text changes
// and selects the VAT rates in force (0: the header's, n: the n-th VAT-change
// record); with separate counts the report would show wrong rates.
//
// Date-times are the register's seconds since 2000-01-01 00:00:00.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/frame.h"

namespace zel::sim::fm {

inline constexpr std::size_t kBlockSize = 128;
inline constexpr std::size_t kBlockCount = 4096;
inline constexpr std::size_t kSize = kBlockSize * kBlockCount;  // 524288

// Header (40 bytes at 0).
inline constexpr std::size_t kHeaderSize = 40;
inline constexpr std::size_t kHeaderDateTime = 0;
inline constexpr std::size_t kHeaderVatRates = 4;       // 4 x u16, hundredths of a percent
inline constexpr std::size_t kHeaderRegistration = 12;  // 3 characters + 4 bytes of two digits

// Daily closure records.
inline constexpr std::size_t kClosures = 40;
inline constexpr std::size_t kClosureSize = 96;
inline constexpr int kClosureCount = 1900;
namespace closure {
inline constexpr std::size_t kDateTime = 0;
inline constexpr std::size_t kReceipts = 4;         // u16
inline constexpr std::size_t kTextChangesHere = 8;  // 0..9
inline constexpr std::size_t kVatChangesHere = 9;   // 0..9
inline constexpr std::size_t kEventCounts = 10;     // 5 x u8
inline constexpr std::size_t kVatAmounts = 16;      // 4 x i32, cents, classes Α..Δ
inline constexpr std::size_t kNetAbgd = 32;         // i32
inline constexpr std::size_t kNetE = 36;            // i32
inline constexpr std::size_t kSecondReceipts = 40;  // i32
inline constexpr std::size_t kRunningTotals = 44;   // 6 x 6 bytes, 40-bit cents
inline constexpr std::size_t kRunningTotalSize = 6;
inline constexpr std::size_t kTextChangeNumber = 80;  // running number of text changes
inline constexpr std::size_t kVatChangeNumber = 81;   // running number of VAT changes
inline constexpr std::size_t kEventNumbers = 82;      // 5 x u16 running numbers
inline constexpr std::size_t kCheck = 94;             // 8-bit sum of bytes 0..93
}  // namespace closure

// The five event columns of a closure count events of these lists.
inline constexpr std::array<int, 5> kClosureEventLists = {0, 1, 2, 4, 5};

inline constexpr std::size_t kTextChanges = 182440;
inline constexpr std::size_t kTextChangeSize = 304;
inline constexpr int kTextChangeCount = 25;
inline constexpr std::size_t kTextChangeLines = 4;  // 9 x 33 bytes
inline constexpr std::size_t kTextLineSize = 33;
inline constexpr int kTextChangeLineCount = 9;
inline constexpr std::size_t kTextChangeCheck = 301;  // 8-bit sum of bytes 0..300

inline constexpr std::size_t kVatChanges = 190040;
inline constexpr std::size_t kVatChangeSize = 14;
inline constexpr int kVatChangeCount = 60;
inline constexpr std::size_t kVatChangeRates = 4;  // 4 x u16

inline constexpr std::size_t kEvents = 190880;
inline constexpr int kEventListCount = 7;
inline constexpr std::array<int, kEventListCount> kEventListSizes = {1000, 1000, 1000, 1000, 1000, 1000, 1900};
inline constexpr int kTransmissionList = 6;  // one confirmed transmission per closure

inline constexpr std::size_t kSignatures = 222480;
inline constexpr std::size_t kSignatureSize = 40;
inline constexpr std::size_t kEnd = kSignatures + kSignatureSize * kClosureCount;

inline constexpr std::uint32_t kEmptyDateTime = 0xFFFFFFFF;

static_assert(kClosures + kClosureSize * kClosureCount == kTextChanges);
static_assert(kTextChanges + kTextChangeSize * kTextChangeCount == kVatChanges);
static_assert(kVatChanges + kVatChangeSize * kVatChangeCount == kEvents);
static_assert(kEvents + 4 * (6 * 1000 + 1900) == kSignatures);
static_assert(kEnd <= kSize);

constexpr std::size_t ClosureOffset(int i) { return kClosures + kClosureSize * static_cast<std::size_t>(i); }
constexpr std::size_t TextChangeOffset(int i) { return kTextChanges + kTextChangeSize * static_cast<std::size_t>(i); }
constexpr std::size_t VatChangeOffset(int i) { return kVatChanges + kVatChangeSize * static_cast<std::size_t>(i); }
constexpr std::size_t SignatureOffset(int i) { return kSignatures + kSignatureSize * static_cast<std::size_t>(i); }
constexpr std::size_t EventOffset(int list, int entry) {
  std::size_t offset = kEvents;
  for (int l = 0; l < list; ++l) offset += 4 * static_cast<std::size_t>(kEventListSizes[static_cast<std::size_t>(l)]);
  return offset + 4 * static_cast<std::size_t>(entry);
}

// 8-bit sum of `n` bytes.
std::uint8_t Sum8(const std::uint8_t* p, std::size_t n);

// Seconds since 2000-01-01 00:00:00 of a calendar date and time.
std::uint32_t RegisterTime(int year, int month, int day, int hour, int minute, int second = 0);

// True when `text` is a registration number: three characters then eight
// decimal digits (code page 1253 bytes).
bool ValidRegistration(std::string_view text);
// Writes the registration number into the header (3 characters, then the
// 8 digits packed two to a byte, high nibble first). `text` must be valid.
void StoreRegistration(ByteVector& memory, std::string_view text);
// The registration number the header holds.
std::string RegistrationOf(const ByteVector& memory);

// What the generator made, for tests and summaries.
struct Summary {
  int closures = 0;
  int bad_closure = -1;  // index of the closure with the wrong check byte
  int text_changes = 0;
  int vat_changes = 0;
  std::array<int, kEventListCount> events{};
};

// A consistent fiscal memory from `seed` (at least 12 closures) holding
// `registration` (which must be valid).
ByteVector Generate(std::uint32_t seed, std::string_view registration, Summary* summary = nullptr);

}  // namespace zel::sim::fm
