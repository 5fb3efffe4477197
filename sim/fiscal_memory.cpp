#include "sim/fiscal_memory.h"

#include <algorithm>
#include <random>
#include <vector>

#include "core/bytes.h"
#include "core/cp1253.h"

namespace zel::sim::fm {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr std::uint32_t kDay = 86400;

void Put40(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 5; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
  p[5] = 0;
}

// The owner's texts at fiscalisation; each later change moves the shop.
struct TextLine {
  const char* utf8;
  char size;
};
constexpr TextLine kOwnerLines[kTextChangeLineCount] = {
    {"ΜΙΝΙ ΜΑΡΚΕΤ Η ΓΩΝΙΑ", '4'},
    {"ΠΑΠΑΔΟΠΟΥΛΟΣ ΓΕΩΡΓΙΟΣ", '1'},
    {"", '1'},  // address, filled per change
    {"ΑΘΗΝΑ", '1'},
    {"ΑΦΜ: 123456789", '3'},
    {"ΔΟΥ: Α' ΑΘΗΝΩΝ", '1'},
    {"ΤΗΛ. 2103214567", '1'},
    {"", '1'},     // empty line stored as zero bytes
    {nullptr, 0},  // never programmed: erased bytes
};
constexpr const char* kAddresses[] = {"ΕΡΜΟΥ 25", "ΑΙΟΛΟΥ 112", "ΑΘΗΝΑΣ 7", "ΣΤΑΔΙΟΥ 41", "ΜΗΤΡΟΠΟΛΕΩΣ 3"};

constexpr std::array<std::uint16_t, 4> kInitialRates = {600, 1300, 2400, 3600};
constexpr std::array<std::uint16_t, 4> kLaterRates[] = {
    {600, 1300, 2400, 1700},
    {400, 900, 1700, 2400},
    {650, 1300, 2400, 3600},
};

constexpr int kAddressLine = 2;

void StoreLine(std::uint8_t* p, int index, int change) {
  const TextLine& line = kOwnerLines[index];
  if (line.utf8 == nullptr) return;  // left erased (0xFF)
  std::fill(p, p + kTextLineSize, std::uint8_t{0});
  std::string text = line.utf8;
  if (index == kAddressLine) text = kAddresses[static_cast<std::size_t>(change) % std::size(kAddresses)];
  if (!text.empty()) {
    const std::string bytes = cp1253::Encode(text);
    std::fill(p, p + kTextLineSize - 1, std::uint8_t{' '});
    std::copy_n(bytes.begin(), std::min(bytes.size(), kTextLineSize - 1), p);
  }
  p[kTextLineSize - 1] = static_cast<std::uint8_t>(line.size);
}

}  // namespace

std::uint8_t Sum8(const std::uint8_t* p, std::size_t n) {
  std::uint8_t s = 0;
  for (std::size_t i = 0; i < n; ++i) s = static_cast<std::uint8_t>(s + p[i]);
  return s;
}

std::uint32_t RegisterTime(int year, int month, int day, int hour, int minute, int second) {
  const std::int64_t days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - DaysFromCivil(2000, 1, 1);
  return static_cast<std::uint32_t>(days * kDay + std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second);
}

bool ValidRegistration(std::string_view text) {
  if (text.size() != 11) return false;
  for (std::size_t i = 0; i < 3; ++i)
    if (text[i] == '\0') return false;
  return std::all_of(text.begin() + 3, text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void StoreRegistration(ByteVector& memory, std::string_view text) {
  std::uint8_t* p = memory.data() + kHeaderRegistration;
  for (std::size_t i = 0; i < 3; ++i) p[i] = static_cast<std::uint8_t>(text[i]);
  for (std::size_t i = 0; i < 4; ++i) {
    const int high = text[3 + 2 * i] - '0';
    const int low = text[4 + 2 * i] - '0';
    p[3 + i] = static_cast<std::uint8_t>(high << 4 | low);
  }
}

std::string RegistrationOf(const ByteVector& memory) {
  const std::uint8_t* p = memory.data() + kHeaderRegistration;
  std::string text(reinterpret_cast<const char*>(p), 3);
  for (std::size_t i = 0; i < 4; ++i) {
    text += static_cast<char>('0' + (p[3 + i] >> 4));
    text += static_cast<char>('0' + (p[3 + i] & 0x0F));
  }
  return text;
}

ByteVector Generate(std::uint32_t seed, std::string_view registration, Summary* summary) {
  std::mt19937 rng(seed);
  const auto roll = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned long>(n)); };
  ByteVector m(kSize, 0xFF);

  // Header: fiscalisation date, initial rates, registration number.
  const std::uint32_t start = RegisterTime(2023, 1 + roll(12), 1 + roll(28), 9, roll(60));
  le::Put32(m.data() + kHeaderDateTime, start);
  for (std::size_t k = 0; k < 4; ++k) le::Put16(m.data() + kHeaderVatRates + 2 * k, kInitialRates[k]);
  StoreRegistration(m, registration);

  Summary s;
  s.closures = 12 + roll(9);
  s.bad_closure = 1 + roll(s.closures - 1);
  // Texts and VAT rates change together, in one programming session of the
  // register: the closure's byte 80 counts the text changes and also names
  // the VAT-change record whose rates are in force, so the two counts must
  // never part. Until the first change the header's texts and rates hold.
  s.text_changes = s.vat_changes = 1 + roll(3);
  std::vector<int> change_at(static_cast<std::size_t>(s.text_changes));
  for (auto& c : change_at) c = 1 + roll(s.closures - 1);
  std::sort(change_at.begin(), change_at.end());

  std::uint32_t day = start - start % kDay;
  int changes = 0;
  std::array<std::uint16_t, 4> rates = kInitialRates;
  std::array<std::uint64_t, 6> totals{};
  std::int32_t receipts_so_far = 0;
  const int forced_printer_event = roll(s.closures);

  for (int c = 0; c < s.closures; ++c) {
    if (c > 0) day += kDay * (roll(5) == 0 ? 2 : 1);  // now and then a day without a closure
    std::uint8_t* z = m.data() + ClosureOffset(c);
    std::fill(z, z + kClosureSize, std::uint8_t{0});

    // The day's changes, early in the morning before the first sale: the
    // new texts and the new rates under one date-time.
    int changes_here = 0;
    for (int at : change_at) {
      if (at != c) continue;
      const std::uint32_t when =
          day + 8 * 3600 + 600 * static_cast<std::uint32_t>(changes_here) + static_cast<std::uint32_t>(roll(600));
      std::uint8_t* t = m.data() + TextChangeOffset(changes);
      le::Put32(t, when);
      for (int line = 0; line < kTextChangeLineCount; ++line)
        StoreLine(t + kTextChangeLines + kTextLineSize * static_cast<std::size_t>(line), line, changes);
      t[kTextChangeCheck] = Sum8(t, kTextChangeCheck);
      std::uint8_t* v = m.data() + VatChangeOffset(changes);
      le::Put32(v, when);
      rates = kLaterRates[static_cast<std::size_t>(changes) % std::size(kLaterRates)];
      for (std::size_t k = 0; k < 4; ++k) le::Put16(v + kVatChangeRates + 2 * k, rates[k]);
      ++changes;
      ++changes_here;
    }

    // Events of the day in the five counted lists, and now and then a
    // disconnected fiscal memory (a list no closure column counts).
    for (std::size_t k = 0; k < kClosureEventLists.size(); ++k) {
      const int list = kClosureEventLists[k];
      int count = roll(100) < 12 ? 1 + (roll(4) == 0) : 0;
      if (list == 2 && c == 0) count = std::max(count, 1);  // the technician who fiscalised it
      if (list == 1 && c == forced_printer_event) count = std::max(count, 1);
      for (int e = 0; e < count; ++e) {
        le::Put32(m.data() + EventOffset(list, s.events[static_cast<std::size_t>(list)]),
                  day + 9 * 3600 + static_cast<std::uint32_t>(3600 * e + roll(3600)));
        ++s.events[static_cast<std::size_t>(list)];
      }
      z[closure::kEventCounts + k] = static_cast<std::uint8_t>(count);
      le::Put16(z + closure::kEventNumbers + 2 * k,
                static_cast<std::uint16_t>(s.events[static_cast<std::size_t>(list)]));
    }
    if (roll(8) == 0) {
      le::Put32(m.data() + EventOffset(3, s.events[3]), day + 12 * 3600 + static_cast<std::uint32_t>(roll(3600)));
      ++s.events[3];
    }

    // The day's figures at the rates in force.
    const std::uint32_t closed_at = day + 21 * 3600 + static_cast<std::uint32_t>(60 * roll(120));
    const std::int32_t receipts = 20 + roll(280);
    receipts_so_far += receipts;
    const std::int64_t net[4] = {2000 + roll(40000), 5000 + roll(80000), 20000 + roll(200000),
                                 roll(3) == 0 ? roll(5000) : 0};
    const std::int64_t net_e = roll(4) == 0 ? roll(10000) : 0;
    std::int64_t net_abgd = 0;
    le::Put32(z + closure::kDateTime, closed_at);
    le::Put16(z + closure::kReceipts, static_cast<std::uint16_t>(receipts));
    z[closure::kTextChangesHere] = static_cast<std::uint8_t>(changes_here);
    z[closure::kVatChangesHere] = static_cast<std::uint8_t>(changes_here);
    for (std::size_t k = 0; k < 4; ++k) {
      const std::int64_t vat = (net[k] * rates[k] + 5000) / 10000;
      le::PutI32(z + closure::kVatAmounts + 4 * k, static_cast<std::int32_t>(vat));
      totals[k] += static_cast<std::uint64_t>(vat);
      net_abgd += net[k];
    }
    le::PutI32(z + closure::kNetAbgd, static_cast<std::int32_t>(net_abgd));
    le::PutI32(z + closure::kNetE, static_cast<std::int32_t>(net_e));
    le::PutI32(z + closure::kSecondReceipts, receipts_so_far);
    totals[4] += static_cast<std::uint64_t>(net_abgd);
    totals[5] += static_cast<std::uint64_t>(net_e);
    for (std::size_t k = 0; k < 6; ++k) Put40(z + closure::kRunningTotals + closure::kRunningTotalSize * k, totals[k]);
    z[closure::kTextChangeNumber] = static_cast<std::uint8_t>(changes);
    z[closure::kVatChangeNumber] = static_cast<std::uint8_t>(changes);
    z[closure::kCheck] = Sum8(z, closure::kCheck);
    if (c == s.bad_closure) z[closure::kCheck] = static_cast<std::uint8_t>(z[closure::kCheck] + 1 + roll(255));

    // The day's transmission to the tax authority, confirmed after the closure.
    le::Put32(m.data() + EventOffset(kTransmissionList, c), closed_at + 60 + static_cast<std::uint32_t>(roll(240)));
    ++s.events[kTransmissionList];

    std::uint8_t* signature = m.data() + SignatureOffset(c);
    for (std::size_t i = 0; i < kSignatureSize; ++i) signature[i] = static_cast<std::uint8_t>(rng());
  }
  if (summary != nullptr) *summary = s;
  return m;
}

}  // namespace zel::sim::fm
