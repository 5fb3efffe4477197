// Data images for the end-to-end tests: a filled image that uses every field
// of every kind (full-width and empty texts, sparse items from record 0 to
// 15999, customers with and without telephones, the customer message), and
// what a register or a read-back image must hold after a transfer of it.
//
// The expectations are written out here from the documented rules, not taken
// from the link's own cleaning code, so a fault there cannot check itself.
// Every place where the image may differ from its source names its rule.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/cp1253.h"
#include "core/data_image.h"
#include "link/transfer.h"

namespace zel::e2e {

struct Range {
  std::size_t offset;
  std::size_t size;
};

inline std::size_t ParamAt(std::size_t o) { return Info(Block::kParameters).offset + o; }

// The bytes of the image that a kind moves (its reads and writes cover
// exactly these).
inline std::vector<Range> KindRanges(Kind kind) {
  const auto whole = [](Block b) { return std::vector<Range>{{Info(b).offset, Info(b).size()}}; };
  switch (kind) {
    case Kind::kLogo: return whole(Block::kLogo);
    case Kind::kFiscalLogo: return {{ParamAt(0), 9 * param::kPrintLineSize}};
    case Kind::kHeaderFooter: return {{ParamAt(9 * param::kPrintLineSize), 6 * param::kPrintLineSize}};
    case Kind::kPayments: return whole(Block::kPayments);
    case Kind::kVatRates: return whole(Block::kVatRates);
    case Kind::kCategories: return whole(Block::kCategories);
    case Kind::kDepartments: {
      // Bytes 0..38 of each record; byte 39 is not sent either way.
      std::vector<Range> r;
      for (int i = 0; i < kDepartmentCount; ++i)
        r.push_back({Info(Block::kDepartments).offset + 40 * static_cast<std::size_t>(i), 39});
      return r;
    }
    case Kind::kOperators: return whole(Block::kOperators);
    case Kind::kItems: return whole(Block::kItems);
    case Kind::kFiscalMemory: return {};
    case Kind::kTaxCode: return {{ParamAt(param::kAesKey), param::kAesKeyWidth}};
    case Kind::kCustomers: return whole(Block::kCustomers);
    case Kind::kParameters: return {{ParamAt(495), 153}, {ParamAt(712), 174}};
  }
  return {};
}

// Where a byte of the image lives, for failure messages.
inline std::string Place(std::size_t offset) {
  static const char* kNames[] = {"logo",       "parameters",  "items",     "payments", "vat",
                                 "categories", "departments", "operators", "customers"};
  for (int b = kBlockCount - 1; b >= 0; --b) {
    const BlockInfo& info = kBlocks[b];
    if (offset >= info.offset) {
      const std::size_t in = offset - info.offset;
      std::ostringstream s;
      s << kNames[b] << " record " << in / info.record_size << " byte " << in % info.record_size;
      return s.str();
    }
  }
  return "?";
}

// The first differences between two images within `ranges` (all of the image
// when empty), as readable text; empty when they agree.
inline std::string Differences(const DataImage& expected, const DataImage& actual, std::vector<Range> ranges = {}) {
  if (ranges.empty()) ranges = {{0, kImageSize}};
  std::ostringstream s;
  int shown = 0;
  std::size_t total = 0;
  for (const Range& r : ranges)
    for (std::size_t o = r.offset; o < r.offset + r.size; ++o) {
      if (expected.raw()[o] == actual.raw()[o]) continue;
      ++total;
      if (shown++ < 8)
        s << "  " << Place(o) << ": expected 0x" << std::hex << int{expected.raw()[o]} << " got 0x"
          << int{actual.raw()[o]} << std::dec << "\n";
    }
  if (total == 0) return {};
  return std::to_string(total) + " bytes differ, first at\n" + s.str();
}

inline std::vector<Range> AllKindRanges() {
  std::vector<Range> all;
  for (const KindInfo& k : kKinds)
    for (const Range& r : KindRanges(k.kind)) all.push_back(r);
  return all;
}

// ---- A filled image ----------------------------------------------------------

inline void PutText(std::uint8_t* field, std::size_t width, std::string_view utf8) {
  StoreText({field, width}, cp1253::Encode(utf8));
}

// Item records filled: 0 and 15999 always, the rest spread over the table.
inline std::vector<int> SparseItems(int count, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<int> records = {0, kItemCount - 1};
  std::vector<bool> used(kItemCount);
  used[0] = used[kItemCount - 1] = true;
  while (static_cast<int>(records.size()) < count) {
    const int r = static_cast<int>(rng() % kItemCount);
    if (used[static_cast<std::size_t>(r)]) continue;
    used[static_cast<std::size_t>(r)] = true;
    records.push_back(r);
  }
  std::sort(records.begin(), records.end());
  return records;
}

// Every kind with data: texts at full width, short and empty; `items` items
// (records 0 and 15999 among them) and `customers` customers.
inline DataImage FilledImage(int items, int customers, std::uint32_t seed = 7) {
  std::mt19937 rng(seed);
  const auto byte = [&] { return static_cast<std::uint8_t>(rng()); };
  DataImage image;
  Bytes raw = image.bytes();

  for (std::uint8_t& b : image.logo()) b = byte();

  Parameters p = image.parameters();
  const char* lines[kPrintLineCount] = {"ΜΙΝΙ ΜΑΡΚΕΤ ΤΟ ΣΤΕΚΙ ΤΗΣ ΓΕΙΤΟΝΙΑ",  // longer than 32: cut to the full width
                                        "",                                   // empty line
                                        "ΑΘΗΝΑ",
                                        "ΑΦΜ 123456789 ΔΟΥ Α ΑΘΗΝΩΝ",
                                        "ΤΗΛ 2101234567",
                                        "",
                                        "ΕΥΧΑΡΙΣΤΟΥΜΕ",
                                        "ΚΑΛΗ ΣΑΣ ΜΕΡΑ",
                                        "",
                                        "ΚΑΛΩΣ ΗΡΘΑΤΕ",
                                        "ΣΤΟ ΚΑΤΑΣΤΗΜΑ ΜΑΣ 0123456789ABCDEF",
                                        "",
                                        "ΠΡΟΣΦΟΡΕΣ ΚΑΘΕ ΜΕΡΑ",
                                        "ΕΠΙΣΤΡΟΦΕΣ ΕΝΤΟΣ 15 ΗΜΕΡΩΝ",
                                        "ΑΝΤΙΟ"};
  for (int n = 1; n <= kPrintLineCount; ++n) {
    PutText(p.print_line(n).data(), param::kPrintTextWidth, lines[n - 1]);
    p.print_size(n) = static_cast<std::uint8_t>('1' + n % 4);
  }
  // A line kept with zero bytes after its text instead of blanks: the write
  // rule sends those as blanks.
  std::fill(p.print_line(4).begin(), p.print_line(4).end(), std::uint8_t{0});
  const std::string raw_line = Greek("ΑΦΜ 123456789");
  std::copy(raw_line.begin(), raw_line.end(), p.print_line(4).begin());

  p.set_machine_number(17);
  p.set_options1(0xA5C3F00Fu);
  p.set_options2(0x0102F0F0u);
  p.set_receipt_limit(99999999);
  for (int n = 1; n <= 5; ++n) {
    p.set_barcode_prefix(n, static_cast<std::uint8_t>(20 + n));
    p.set_barcode_format(n, static_cast<std::uint8_t>(n));
  }
  for (int n = 1; n <= 3; ++n) p.set_pos_port(n, static_cast<std::uint16_t>(8000 + n));
  PutText(p.pos_name(1).data(), 4, "POS1");
  PutText(p.pos_name(2).data(), 4, "");    // empty
  PutText(p.pos_name(3).data(), 4, "Κ3");  // short
  p.set_technician_code(270513);
  p.set_ip(param::kRegisterIp, {192, 168, 1, 50});
  p.set_ip(param::kNetMask, {255, 255, 255, 0});
  p.set_ip(param::kGateway, {192, 168, 1, 1});
  p.set_ip(param::kPos1Ip, {192, 168, 1, 61});
  p.set_ip(param::kPos2Ip, {0, 0, 0, 0});
  p.set_ip(param::kPos3Ip, {10, 0, 0, 7});
  p.set_ip(param::kDnsIp, {8, 8, 4, 4});
  PutText(p.tax_authority_url().data(), 48, "http://www1.aade.gr/eafdss/myweb/websend.php?x=1");  // 48
  PutText(p.firmware_url().data(), 32, "");
  PutText(p.aes_key().data(), 64, "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF");
  PutText(p.qr_url().data(), 48, "https://www1.aade.gr/tameiakes/myweb/q1.php");
  PutText(p.eft_pos_key_url().data(), 48, "");
  PutText(p.aes_key_url().data(), 48, "http://www1.aade.gr/eafdss/myweb/aeskey.php");
  PutText(p.pos_id(1).data(), 10, "0123456789");
  PutText(p.pos_id(2).data(), 10, "");
  PutText(p.pos_id(3).data(), 10, "ΤΕΡΜ3");

  const char* payments[kPaymentCount] = {"ΜΕΤΡΗΤΑ", "ΠΙΣΤΩΤΙΚΗ ΚΑ", "", "ΕΠΙΤΑΓΗ", "ΚΟΥΠΟΝΙ"};
  for (int i = 0; i < kPaymentCount; ++i) PutText(image.payment(i).data(), kShortNameWidth, payments[i]);
  const std::uint16_t rates[kVatRateCount] = {600, 1300, 2400, 0};
  for (int i = 0; i < kVatRateCount; ++i) image.set_vat_rate(i, rates[i]);

  for (int i = 0; i < kCategoryCount; ++i)
    PutText(image.category(i).data(), kShortNameWidth,
            i % 7 == 3 ? "" : (i == 0 ? "ΑΡΤΟΣΚΕΥΑΣΜΑΤΑ" : "ΚΑΤΗΓΟΡΙΑ " + std::to_string(i + 1)));
  for (int i = 0; i < kDepartmentCount; ++i) {
    Department d = image.department(i);
    d.set_limit(100000 + i);
    d.set_fixed_price(i * 125);
    PutText(d.name().data(), department::kNameWidth,
            i == 0 ? "ΤΜΗΜΑ ΓΑΛΑΚΤΟΚΟΜΙΚΩΝ ΠΡΟΪΟΝΤΩΝ" : (i % 5 == 4 ? "" : "ΤΜΗΜΑ " + std::to_string(i + 1)));
    d.set_vat(static_cast<std::uint8_t>(i % 5));
    d.set_category(static_cast<std::uint8_t>(i % kCategoryCount));
    d.set_price_decimals(2);
    d.set_closes_receipt(static_cast<std::uint8_t>(i % 2));
    d.set_from_scale(static_cast<std::uint8_t>(i % 3 == 0));
  }
  // Byte 39 of a department is not sent: a read-back image keeps its own.
  image.record(Block::kDepartments, 5)[39] = 0x5A;
  for (int i = 0; i < kOperatorCount; ++i) {
    Operator o = image.op(i);
    PutText(o.name().data(), kShortNameWidth, i == 0 ? "ΔΙΑΧΕΙΡΙΣΤΗΣ" : (i == 7 ? "" : "ΤΑΜΙΑΣ " + std::to_string(i)));
    o.set_code(1000 + i * 11);
  }

  const std::vector<int> records = SparseItems(items, seed);
  for (std::size_t n = 0; n < records.size(); ++n) {
    Item it = image.item(records[n]);
    it.set_price(static_cast<std::int32_t>(rng() % 1000000));
    PutText(it.name().data(), item::kNameWidth,
            n == 0 ? "ΓΑΛΑ ΦΡΕΣΚΟ ΠΛΗΡΕΣ 1 ΛΙΤΡΟ ΧΧ" : "ΕΙΔΟΣ " + std::to_string(records[n] + 1));
    it.set_price_decimals(static_cast<std::uint8_t>(2 + n % 4));
    it.set_category(static_cast<std::uint8_t>(n % kCategoryCount));
    it.set_department(static_cast<std::uint8_t>(n % kDepartmentCount));
    it.set_from_scale(static_cast<std::uint8_t>(n % 9 == 0));
    PutText(it.barcode().data(), item::kBarcodeWidth,
            std::to_string(5200000000000ULL + static_cast<unsigned long long>(records[n])));
  }
  if (records.size() > 2) {
    // A name with zero bytes inside (as an old file may hold): written and
    // read back with blanks in their place.
    Bytes name = image.item(records[1]).name();
    std::fill(name.begin(), name.end(), std::uint8_t{0});
    const std::string n = Greek("ΨΩΜΙ");
    std::copy(n.begin(), n.end(), name.begin());
    name[6] = 'X';
  }

  const char* phones[] = {"2101234567", "6971234567890123", "", "210-5554444", "0030210999", "12"};
  for (int i = 0; i < customers; ++i) {
    const int slot = i == customers - 1 ? kCustomerCount - 1 : i * 3;  // the last slot too
    Customer c = image.customer(slot);
    c.set_tax_number(i == 4 ? customer::kMaxTaxNumber : 100000000 + i * 7919);
    PutText(c.company().data(), 32,
            i == 0 ? "ΕΤΑΙΡΕΙΑ ΤΡΟΦΙΜΩΝ ΚΑΙ ΠΟΤΩΝ ΑΕ ΑΘΗΝΑ" : "ΠΕΛΑΤΗΣ " + std::to_string(i + 1));
    PutText(c.profession().data(), 32, i == 2 ? "" : "ΕΜΠΟΡΙΟ");  // customer 3 lacks a profession
    PutText(c.address().data(), 32, "ΟΔΟΣ " + std::to_string(i + 1) + " ΑΘΗΝΑ");
    PutText(c.tax_office().data(), 32, "Α' ΑΘΗΝΩΝ");
    PutText(c.phone().data(), 16, phones[static_cast<std::size_t>(i) % std::size(phones)]);
  }

  PutText(image.state.customer_message[0].data(), kCustomerMessageWidth, "ΕΥΧΑΡΙΣΤΟΥΜΕ ΠΟΛΥ!!!");  // 21
  PutText(image.state.customer_message[1].data(), kCustomerMessageWidth, "");
  (void)raw;
  return image;
}

// ---- Expectations --------------------------------------------------------------

// The register keeps what the program wrote; the program reads it back.
enum class Side { kRegister, kReadBack };

// A fixed-width text after the write rule (register) or after the write and
// then the read rule (read back): a field starting with 0x00 or 0xFF is
// empty (0xFF bytes in the register, 0x00 bytes once read back); inside any
// other field 0x00 and 0xFF bytes are blanks.
inline void TextRule(std::uint8_t* field, std::size_t width, Side side) {
  if (field[0] == 0x00 || field[0] == 0xFF) {
    std::fill(field, field + width, side == Side::kRegister ? std::uint8_t{0xFF} : std::uint8_t{0x00});
    return;
  }
  for (std::size_t i = 0; i < width; ++i)
    if (field[i] == 0x00 || field[i] == 0xFF) field[i] = ' ';
}

// The telephone after its trip as a packed digit field: the digits from the
// start up to the first non-digit (at most 16), then zero bytes.
inline void PhoneRule(std::uint8_t* phone) {
  std::size_t digits = 0;
  while (digits < 16 && phone[digits] >= '0' && phone[digits] <= '9') ++digits;
  std::fill(phone + digits, phone + 16, std::uint8_t{0});
}

// What `side` holds after `source` was written (all kinds), starting from
// `base` (the register's programming before the write, or the image read
// into). Bytes no kind moves stay as in `base`.
inline DataImage Expected(const DataImage& source, const DataImage& base, Side side) {
  DataImage out = base;
  for (const Range& r : AllKindRanges())
    std::copy_n(source.raw().begin() + static_cast<std::ptrdiff_t>(r.offset), r.size,
                out.raw().begin() + static_cast<std::ptrdiff_t>(r.offset));
  out.state.customer_message = source.state.customer_message;
  for (auto& line : out.state.customer_message) TextRule(line.data(), line.size(), side);

  const auto text = [&](std::size_t offset, std::size_t width) { TextRule(out.raw().data() + offset, width, side); };
  for (int n = 0; n < kPrintLineCount; ++n) text(ParamAt(param::kPrintLineSize * static_cast<std::size_t>(n)), 32);
  for (const Range f : {Range{524, 4}, Range{544, 48}, Range{604, 4}, Range{612, 4}, Range{616, 32}, Range{712, 48},
                        Range{760, 48}, Range{808, 48}, Range{856, 10}, Range{866, 10}, Range{876, 10}})
    text(ParamAt(f.offset), f.size);
  for (int i = 0; i < kPaymentCount; ++i) text(Info(Block::kPayments).offset + 12 * static_cast<std::size_t>(i), 12);
  for (int i = 0; i < kCategoryCount; ++i) text(Info(Block::kCategories).offset + 12 * static_cast<std::size_t>(i), 12);
  for (int i = 0; i < kDepartmentCount; ++i)
    text(Info(Block::kDepartments).offset + 40 * static_cast<std::size_t>(i) + department::kName,
         department::kNameWidth);
  for (int i = 0; i < kOperatorCount; ++i) text(Info(Block::kOperators).offset + 16 * static_cast<std::size_t>(i), 12);

  // Items: only named ones are written (the table write starts by clearing
  // the register's table, the read by clearing the image's); names follow
  // the text rule.
  for (int i = 0; i < kItemCount; ++i) {
    Bytes rec = out.record(Block::kItems, i);
    if (rec[item::kName] == 0)
      std::fill(rec.begin(), rec.end(), std::uint8_t{0});
    else
      TextRule(rec.data() + item::kName, item::kNameWidth, side);
  }

  // Customers: a slot without a tax number or with any of its four texts
  // empty travels as an empty record (0xFF bytes in the register, nothing
  // once read back); the telephone travels as a packed digit field.
  for (int i = 0; i < kCustomerCount; ++i) {
    Bytes rec = out.record(Block::kCustomers, i);
    bool empty = le::Get32(rec.data() + customer::kTaxNumber) == 0;
    for (std::size_t t = 0; t < 4; ++t) empty = empty || rec[32 * t] == 0;
    if (empty) {
      std::fill(rec.begin(), rec.end(), side == Side::kRegister ? std::uint8_t{0xFF} : std::uint8_t{0});
      continue;
    }
    for (std::size_t t = 0; t < 4; ++t) TextRule(rec.data() + 32 * t, 32, side);
    PhoneRule(rec.data() + customer::kPhone);
  }
  return out;
}

}  // namespace zel::e2e
