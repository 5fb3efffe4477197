#include "core/data_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "core/cp1253.h"
#include "core/options.h"

namespace zel {
namespace {

std::string Greek(std::string_view utf8) { return cp1253::Encode(utf8); }

// The bytes of the image at a file offset.
std::string At(const DataImage& db, std::size_t offset, std::size_t n) {
  return std::string(reinterpret_cast<const char*>(db.bytes().data() + offset), n);
}
std::string Padded(std::string s, std::size_t width) { return s.append(width - s.size(), ' '); }

bool AllZero(ConstBytes b) {
  return std::all_of(b.begin(), b.end(), [](auto x) { return x == 0; });
}

TEST(Defaults, ParameterBlockAtItsFileOffsets) {
  const DataImage db;
  const std::size_t p = 8640;
  EXPECT_TRUE(AllZero(db.logo()));
  EXPECT_EQ(At(db, p, 33), Padded("  SETUP ZEL", 32) + "4");
  EXPECT_EQ(At(db, p + 4 * 33, 33), Padded(Greek("ΑΦΜ: 000000000"), 32) + "3");
  for (int n : {2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}) {
    const std::size_t line = p + 33 * static_cast<std::size_t>(n - 1);
    EXPECT_EQ(At(db, line, 33), std::string(32, '\0') + "1") << "line " << n;
  }
  EXPECT_EQ(At(db, p + 495, 1), std::string(1, '\0'));  // machine number 0
  EXPECT_EQ(At(db, p + 496, 8), std::string("\x9C\x42\x13\x00\x62\x00\x5C\x00", 8));
  EXPECT_EQ(At(db, p + 532, 12), std::string("\xC0\xA8\x01\x32\xFF\xFF\xFF\x00\xC0\xA8\x01\x01", 12));
  EXPECT_EQ(At(db, p + 608, 4), std::string(4, '\0'));  // DNS 0.0.0.0
  const std::int32_t tech = db.parameters().technician_code();
  EXPECT_GE(tech, 100000);
  EXPECT_LE(tech, 999999);

  struct Url {
    std::size_t offset, width;
    std::string_view path;
  };
  const Url urls[] = {{544, 48, "/eafdss/myweb/websend.php"},
                      {712, 48, "/tameiakes/myweb/q1.php"},
                      {760, 48, "/eafdss/myweb/fhmmk.php"},
                      {808, 48, "/eafdss/myweb/aeskey.php"}};
  for (const auto& u : urls) {
    const std::string field = At(db, p + u.offset, u.width);
    const std::string text = field.substr(0, field.find('\0'));
    EXPECT_TRUE(text.ends_with(u.path)) << text;
    EXPECT_TRUE(text.starts_with(u.offset == 712 ? "https://" : "http://")) << text;
    EXPECT_EQ(field.substr(text.size()), std::string(u.width - text.size(), '\0')) << text;
  }
  const std::string fw = At(db, p + 616, 32);
  EXPECT_TRUE(fw.starts_with("http://"));
  EXPECT_EQ(fw.substr(fw.find('\0')).find_first_not_of('\0'), std::string::npos);
  EXPECT_EQ(fw.substr(7, fw.find('\0') - 7).find('/'), std::string::npos) << "host only";
  // Everything else of the block is zero: receipt limit, barcodes, POS
  // entries, AES key, reserved.
  for (auto [off, len] : {std::pair{504, 24}, {592, 12}, {604, 4}, {612, 4}, {648, 64}, {856, 32}})
    EXPECT_EQ(At(db, p + static_cast<std::size_t>(off), static_cast<std::size_t>(len)),
              std::string(static_cast<std::size_t>(len), '\0'))
        << off;
}

TEST(Defaults, TablesAtTheirFileOffsets) {
  const DataImage db;
  // Items 1 to 5, then empty slots with price decimals 2.
  for (int n = 1; n <= 5; ++n) {
    const std::size_t r = 9528 + 48 * static_cast<std::size_t>(n - 1);
    std::string expected(48, '\0');
    expected[0] = static_cast<char>((100 * n) & 0xFF);
    expected[1] = static_cast<char>((100 * n) >> 8);
    expected.replace(4, 26, Padded(Greek("ΕΙΔΟΣ ") + char('0' + n), 26));
    expected[30] = 2;
    expected[32] = static_cast<char>(n - 1);
    EXPECT_EQ(At(db, r, 48), expected) << "item " << n;
  }
  std::string empty_item(48, '\0');
  empty_item[30] = 2;
  EXPECT_EQ(At(db, 9528 + 48 * 5, 48), empty_item);
  EXPECT_EQ(At(db, 9528 + 48 * 15999, 48), empty_item);

  EXPECT_EQ(At(db, 777528, 60), Padded(Greek("ΜΕΤΡΗΤΑ"), 12) + Padded(Greek("ΚΑΡΤΑ"), 12) +
                                    Padded(Greek("ΕΠΙΤΑΓΗ"), 12) + std::string(24, '\0'));
  EXPECT_EQ(At(db, 777588, 8), std::string("\x58\x02\x14\x05\x60\x09\x10\x0E", 8));  // 600 1300 2400 3600
  EXPECT_EQ(At(db, 777596, 12), Greek("ΚΑΤΗΓΟΡΙΑ  1"));
  EXPECT_EQ(At(db, 777596 + 12 * 29, 12), Greek("ΚΑΤΗΓΟΡΙΑ 30"));

  for (int n : {1, 5, 6, 24}) {
    const std::size_t r = 777956 + 40 * static_cast<std::size_t>(n - 1);
    std::string expected(40, '\0');
    expected[0] = n <= 5 ? 0 : 1;  // limit 0,01 from department 6 on
    expected.replace(8, 26, Padded(Greek(n < 10 ? "ΤΜΗΜΑ  " : "ΤΜΗΜΑ ") + std::to_string(n), 26));
    expected[34] = static_cast<char>(n <= 5 ? n - 1 : 4);
    expected[36] = 2;
    EXPECT_EQ(At(db, r, 40), expected) << "department " << n;
  }

  std::set<std::int32_t> codes;
  for (int n = 1; n <= 25; ++n) {
    const std::size_t r = 778916 + 16 * static_cast<std::size_t>(n - 1);
    EXPECT_EQ(At(db, r, 12), Greek(n < 10 ? "ΧΕΙΡΙΣΤΗΣ  " : "ΧΕΙΡΙΣΤΗΣ ") + std::to_string(n));
    const std::int32_t code = db.op(n - 1).code();
    EXPECT_GE(code, 1);
    EXPECT_LE(code, 999999);
    codes.insert(code);
  }
  EXPECT_EQ(codes.size(), 25u) << "operator codes must differ";
  EXPECT_TRUE(AllZero(db.block(Block::kCustomers)));
}

TEST(Defaults, OptionFieldsDecodeTheDefaultWords) {
  const DataImage db;
  EXPECT_EQ(db.parameters().options1(), kDefaultOptions1);
  EXPECT_EQ(db.parameters().options2(), kDefaultOptions2);
  for (const OptionField& f : OptionFields()) EXPECT_EQ(GetOption(db.parameters().options(f.word), f), f.def) << f.name;
}

TEST(Defaults, ResetKeepsCustomersPathFlagsAndClearsTheCodesRequest) {
  DataImage db;
  db.customer(3).set_tax_number(123456789);
  StoreText(db.customer(3).company(), "ACME");
  db.item(0).set_price(7);
  db.state.path = "/tmp/x.cld";
  db.state.modified = true;
  db.state.logo_present = 1;
  db.state.send_tax_codes_request = true;
  db.ResetToDefaults();
  EXPECT_EQ(db.item(0).price(), 100);
  EXPECT_EQ(db.customer(3).tax_number(), 123456789);
  EXPECT_EQ(TextOf(db.customer(3).company()), "ACME");
  EXPECT_EQ(db.state.path, "/tmp/x.cld");
  EXPECT_TRUE(db.state.modified);
  EXPECT_EQ(db.state.logo_present, 1);
  EXPECT_FALSE(db.state.send_tax_codes_request);
}

TEST(TextFields, PaddingClearingAndFullWidth) {
  DataImage db;
  Item it = db.item(10);
  it.set_price_decimals(9);
  StoreText(it.name(), std::string(26, 'X'));  // full width, no terminator
  EXPECT_EQ(At(db, 9528 + 48 * 10 + 4, 26), std::string(26, 'X'));
  EXPECT_EQ(it.price_decimals(), 9) << "the next field is untouched";
  StoreText(it.name(), std::string(30, 'Y'));  // longer text is cut at the width
  EXPECT_EQ(At(db, 9528 + 48 * 10 + 4, 27), std::string(26, 'Y') + '\x09');
  StoreText(it.name(), "A");
  EXPECT_EQ(At(db, 9528 + 48 * 10 + 4, 26), "A" + std::string(25, ' '));
  StoreText(it.name(), "");
  EXPECT_TRUE(AllZero(it.name()));
  EXPECT_TRUE(it.empty());

  const std::uint8_t raw[] = {'A', 'B', ' ', 0, ' ', 0};
  EXPECT_EQ(TextOf(raw), "AB");
}

TEST(Records, TypedFieldsLandOnTheirBytes) {
  DataImage db;
  Item it = db.item(15999);
  it.set_price(12345);
  it.set_price_decimals(3);
  it.set_department(23);
  it.set_category(0);
  const std::size_t r = 9528 + 48 * 15999;
  EXPECT_EQ(At(db, r, 4), std::string("\x39\x30\x00\x00", 4));
  EXPECT_EQ(At(db, r + 30, 3), std::string("\x03\x00\x17", 3));
  EXPECT_EQ(ShownDecimals(7), 2);
  EXPECT_EQ(ShownDecimals(5), 5);

  Customer c = db.customer(999);
  c.set_tax_number(-2);
  EXPECT_EQ(At(db, 779316 + 148 * 999 + 144, 4), std::string("\xFE\xFF\xFF\xFF", 4));
  EXPECT_EQ(c.tax_number(), -2);

  db.parameters().set_pos_port(3, 0x1234);
  EXPECT_EQ(At(db, 8640 + 522, 2), "\x34\x12");
  StoreText(db.parameters().pos_name(3), "ABCDEFG");  // POS 3 name holds 4 and stops there
  EXPECT_EQ(At(db, 8640 + 612, 5), "ABCDh");          // 'h' of the firmware URL's "http"

  const DataImage copy = db;
  EXPECT_TRUE(copy == db);
  db.set_vat_rate(3, 1);
  EXPECT_FALSE(copy == db);
}

}  // namespace
}  // namespace zel

namespace zel {
namespace {

// A transfer works on a copy; the window takes the data and what travels
// with it, and keeps what is its own.
TEST(DataImageTest, TakeTransferredKeepsTheWindowsOwnState) {
  DataImage window;
  window.state.path = "/shop.cld";
  window.state.active_panel = 4;
  window.state.selected.item = 12;
  DataImage copy = window;
  copy.raw()[0] = 7;
  copy.state.modified = true;
  copy.state.logo_present = 3;
  copy.state.path = "elsewhere";
  copy.state.active_panel = 0;
  window.TakeTransferred(copy);
  EXPECT_EQ(window.raw()[0], 7);
  EXPECT_TRUE(window.state.modified);
  EXPECT_EQ(window.state.logo_present, 3);
  EXPECT_EQ(window.state.path, "/shop.cld");
  EXPECT_EQ(window.state.active_panel, 4);
  EXPECT_EQ(window.state.selected.item, 12);
}

}  // namespace
}  // namespace zel
