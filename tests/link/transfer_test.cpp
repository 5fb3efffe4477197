// The transfer driver: every kind's record layout in both directions, the
// text rules, bit mirroring, packed telephones, identification, the items
// walk, staging of reads, and whole transfers with their marks and messages.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>

#include <utility>

#include "core/cp1253.h"
#include "link/transfer.h"
#include "link_fixture.h"
#include "register_model.h"

namespace zel {
namespace {

namespace fs = std::filesystem;
using test::ByteVector;
using test::Fault;
using Mark = UserInterface::Mark;

ByteVector Of(std::string_view s) { return ByteVector(s.begin(), s.end()); }
ByteVector Span(ConstBytes b) { return ByteVector(b.begin(), b.end()); }
ByteVector Pad(std::string_view s, std::size_t width, std::uint8_t fill = ' ') {
  ByteVector v = Of(s);
  v.resize(width, fill);
  return v;
}
// Stores a UTF-8 text as the program stores a typed one.
void Put(Bytes field, std::string_view utf8) { StoreText(field, cp1253::Encode(utf8)); }
template <std::size_t N>
void Put(std::array<std::uint8_t, N>& field, std::string_view utf8) {
  Put(Bytes(field), utf8);
}

ByteVector Cat(std::initializer_list<ByteVector> parts) {
  ByteVector v;
  for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}

TEST(TextRulesTest, ReadAndWriteCleaning) {
  struct Case {
    ByteVector in, read, write;
  };
  const Case cases[] = {
      {{'A', 0x00, 'B', 0xFF}, {'A', ' ', 'B', ' '}, {'A', ' ', 'B', ' '}},
      {{0x00, 'A', 'B', 'C'}, {0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF}},
      {{0xFF, 'A', 0x00, 'C'}, {0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF}},
      {{'A', 'B', 'C', 'D'}, {'A', 'B', 'C', 'D'}, {'A', 'B', 'C', 'D'}},
  };
  for (const Case& c : cases) {
    ByteVector r = c.in, w = c.in;
    CleanRead(r);
    CleanWrite(w);
    EXPECT_EQ(r, c.read);
    EXPECT_EQ(w, c.write);
  }
}

TEST(TextRulesTest, LogoBytesTravelBitMirrored) {
  const std::pair<std::uint8_t, std::uint8_t> cases[] = {
      {0x01, 0x80}, {0xF0, 0x0F}, {0x12, 0x48}, {0xA5, 0xA5}, {0, 0}};
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(Mirror(in), out);
    EXPECT_EQ(Mirror(out), in);
  }
}

TEST(TextRulesTest, TelephoneDigitsArePackedIntoEightBytes) {
  struct Case {
    std::string text;
    ByteVector packed;
  };
  const Case cases[] = {
      // 2101234567 = 0x7D3E4B87: low 32 bits, then 0, 0, digit count.
      {"2101234567", {0x87, 0x4B, 0x3E, 0x7D, 0x00, 0x00, 0x00, 10}},
      {"0030", {30, 0, 0, 0, 0, 0, 0, 4}},
      {"12a34", {12, 0, 0, 0, 0, 0, 0, 2}},
      {"", {0, 0, 0, 0, 0, 0, 0, 0}},
      // 16 nines = 0x2386F26FC0FFFF: every byte of the 56 bits.
      {"9999999999999999", {0xFF, 0xFF, 0xC0, 0x6F, 0xF2, 0x86, 0x23, 16}},
  };
  for (const Case& c : cases) {
    const ByteVector field = Pad(c.text, 16, 0);
    std::array<std::uint8_t, 8> packed{};
    PackDigits(field, packed);
    EXPECT_EQ(ByteVector(packed.begin(), packed.end()), c.packed) << c.text;
    ByteVector back(16, 0xEE);
    UnpackDigits(packed, back);
    const std::size_t digits = c.packed[7];
    EXPECT_EQ(back, Pad(c.text.substr(0, digits), 16, 0)) << c.text;
  }
}

TEST(TextRulesTest, RegistrationNumberFromIdentificationReply) {
  std::array<std::uint8_t, 40> data{};
  data[15] = 'A';
  data[16] = 'B';
  data[17] = 'C';
  data[18] = 0x12;
  data[19] = 0x34;
  data[20] = 0x56;
  data[21] = 0x78;
  EXPECT_EQ(RegistrationNumber(data.data()), "ABC12345678");
}

class TransferTest : public test::LinkFixture {
 protected:
  void AttachModel(Wire wire = Wire::kSerial) { Attach(wire, model_.Handler()); }
  std::uint8_t Move(Kind kind, Direction direction, int timeouts = 0) {
    TransferContext ctx(session_, image_, ui_);
    ctx.direction = direction;
    ctx.sales_report = sales_report_;
    ctx.clear_sales = clear_sales_;
    ctx.report_folder = dir_.path().string() + "/";
    ctx.registration = "ABC12345678";
    ctx.date = {3, 4, 2024};
    const std::uint8_t r = Drive([&] { return TransferKind(ctx, kind); }, timeouts);
    files_ = ctx.files;
    reg_->Requests();  // the register's thread is done with the model
    return r;
  }
  std::vector<test::Seen> Requests(int code) {
    std::vector<test::Seen> out;
    for (const auto& s : reg_->Requests())
      if (s.code == code) out.push_back(s);
    return out;
  }

  // An image with every table empty, so only what a test puts in is sent.
  static DataImage Blank() {
    DataImage image;
    image.raw().fill(0);
    return image;
  }

  test::RegisterModel model_;
  DataImage image_ = Blank();
  bool sales_report_ = false;
  bool clear_sales_ = false;
  std::vector<std::string> files_;
};

TEST_F(TransferTest, LogoRowsTravelMirroredBothWays) {
  AttachModel();
  Bytes logo = image_.logo();
  logo[5 * 48 + 0] = 0x01;
  logo[179 * 48 + 47] = 0xF0;
  ASSERT_EQ(Move(Kind::kLogo, Direction::kWrite), kAccepted);
  const auto writes = Requests(0x78);
  ASSERT_EQ(writes.size(), 180u);
  EXPECT_EQ(writes[5].data.size(), 49u);
  EXPECT_EQ(writes[5].data[0], 5);
  EXPECT_EQ(model_.logo[5][0], 0x80);
  EXPECT_EQ(model_.logo[179][47], 0x0F);
  EXPECT_EQ(ui_.progress_max, 180);
  EXPECT_EQ(ui_.progress.back(), 180);

  image_ = Blank();
  model_.logo[7][47] = 0x03;
  ASSERT_EQ(Move(Kind::kLogo, Direction::kRead), kAccepted);
  EXPECT_EQ(image_.logo()[7 * 48 + 47], 0xC0);
  EXPECT_EQ(image_.logo()[5 * 48], 0x01);
  EXPECT_EQ(image_.state.logo_present, 3);
  EXPECT_EQ(Requests(0x77).size(), 180u);
}

TEST_F(TransferTest, FiscalLogoAndHeaderLinesUseTheirWireNumbersAndTextRules) {
  AttachModel();
  Parameters p = image_.parameters();
  ByteVector line1 = Pad("LOGO", 32);
  line1[2] = 0x00;
  std::copy(line1.begin(), line1.end(), p.print_line(1).begin());
  p.print_size(1) = '2';
  std::fill(p.print_line(3).begin(), p.print_line(3).end(), std::uint8_t{0});
  Put(p.print_line(10), "HEADER");
  ASSERT_EQ(Move(Kind::kFiscalLogo, Direction::kWrite), kAccepted);
  ASSERT_EQ(Move(Kind::kHeaderFooter, Direction::kWrite), kAccepted);
  const auto writes = Requests(0x66);
  ASSERT_EQ(writes.size(), 15u);
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].data.size(), 34u);
    EXPECT_EQ(writes[i].data[0], i) << "wire line numbers run 0..14";
  }
  EXPECT_EQ(ByteVector(model_.lines[0].begin(), model_.lines[0].begin() + 5), Of("LO O "));
  EXPECT_EQ(model_.lines[0][32], '2');
  EXPECT_EQ(ByteVector(model_.lines[2].begin(), model_.lines[2].begin() + 32), ByteVector(32, 0xFF));
  EXPECT_EQ(ByteVector(model_.lines[9].begin(), model_.lines[9].begin() + 6), Of("HEADER"));

  model_.lines[9] = Cat({Pad("FOOT", 32), {'1'}});
  model_.lines[9][6] = 0xFF;
  model_.lines[2] = Cat({{0xFF}, Pad("X", 31), {'3'}});
  image_ = Blank();
  ASSERT_EQ(Move(Kind::kFiscalLogo, Direction::kRead), kAccepted);
  ASSERT_EQ(Move(Kind::kHeaderFooter, Direction::kRead), kAccepted);
  const ConstParameters q = std::as_const(image_).parameters();
  EXPECT_EQ(Span(q.print_line(10)), Pad("FOOT", 32));
  EXPECT_EQ(q.print_size(10), '1');
  EXPECT_EQ(Span(q.print_line(3)), ByteVector(32, 0));
  EXPECT_EQ(q.print_size(3), '3');
  const auto reads = Requests(0x65);
  ASSERT_EQ(reads.size(), 15u);
  EXPECT_EQ(reads[9].data, ByteVector{9});
}

TEST_F(TransferTest, WholeTablesMoveAsOneRecord) {
  AttachModel();
  Put(image_.payment(0), "ΜΕΤΡΗΤΑ");
  std::fill(image_.payment(1).begin(), image_.payment(1).end(), std::uint8_t{0});
  image_.set_vat_rate(0, 2400);
  image_.set_vat_rate(3, 0xFFFF);
  Bytes key = image_.parameters().aes_key();
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(i == 5 ? 0 : 'A' + i % 6);
  for (Kind k : {Kind::kPayments, Kind::kVatRates, Kind::kTaxCode})
    ASSERT_EQ(Move(k, Direction::kWrite), kAccepted) << InfoOf(k).name;
  EXPECT_EQ(ByteVector(model_.payments.begin(), model_.payments.begin() + 12), Pad(cp1253::Encode("ΜΕΤΡΗΤΑ"), 12));
  EXPECT_EQ(ByteVector(model_.payments.begin() + 12, model_.payments.begin() + 24), ByteVector(12, 0xFF));
  EXPECT_EQ(model_.vat, (ByteVector{0x60, 0x09, 0, 0, 0, 0, 0xFF, 0xFF}));
  EXPECT_EQ(model_.tax_code, Span(key)) << "the key travels as it is";
  EXPECT_EQ(model_.tax_code[5], 0);

  model_.payments.assign(60, 0);
  std::copy_n("CARD\0VISA   ", 12, model_.payments.begin() + 24);
  model_.payments[36] = 0xFF;
  model_.vat = {1, 2, 3, 4, 5, 6, 7, 8};
  model_.tax_code.assign(64, 0x31);
  for (Kind k : {Kind::kPayments, Kind::kVatRates, Kind::kTaxCode})
    ASSERT_EQ(Move(k, Direction::kRead), kAccepted) << InfoOf(k).name;
  EXPECT_EQ(Span(image_.payment(0)), ByteVector(12, 0));
  EXPECT_EQ(Span(image_.payment(2)), Of("CARD VISA   "));
  EXPECT_EQ(Span(image_.payment(3)), ByteVector(12, 0));
  EXPECT_EQ(Span(image_.block(Block::kVatRates)), (ByteVector{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(Span(image_.parameters().aes_key()), ByteVector(64, 0x31));
  for (int code : {0x6D, 0x6B, 0x69}) EXPECT_EQ(Requests(code).front().data.size(), 0u);
}

TEST_F(TransferTest, RecordTablesCarryTheirNumberAndCleanOnlyTheirNames) {
  AttachModel();
  Put(image_.category(29), "ΦΡΟΥΤΑ");
  Department d = image_.department(23);
  d.set_limit(-1);  // FF FF FF FF: not a text, never cleaned
  Put(d.name(), "ΤΜΗΜΑ");
  d.set_vat(2);
  d.data()[department::kReserved] = 0x77;
  Put(image_.op(24).name(), "ΧΕΙΡ");
  image_.op(24).set_code(1234);
  ASSERT_EQ(Move(Kind::kCategories, Direction::kWrite), kAccepted);
  ASSERT_EQ(Move(Kind::kDepartments, Direction::kWrite), kAccepted);
  ASSERT_EQ(Move(Kind::kOperators, Direction::kWrite), kAccepted);

  struct Sent {
    std::uint8_t code;
    std::size_t count, length;
  };
  for (const Sent& s : {Sent{0x72, 30, 13}, Sent{0x70, 24, 40}, Sent{0x76, 25, 17}}) {
    const auto w = Requests(s.code);
    ASSERT_EQ(w.size(), s.count);
    EXPECT_EQ(w.back().data.size(), s.length);
    EXPECT_EQ(w.back().data[0], s.count - 1);
  }
  EXPECT_EQ(model_.categories[29], Pad(cp1253::Encode("ΦΡΟΥΤΑ"), 12));
  EXPECT_EQ(model_.categories[0], ByteVector(12, 0xFF)) << "an empty name is sent as FF";
  EXPECT_EQ(ByteVector(model_.departments[23].begin(), model_.departments[23].begin() + 4), ByteVector(4, 0xFF));
  EXPECT_EQ(model_.departments[23][34], 2);
  EXPECT_EQ(model_.departments[23].size(), 39u) << "byte 39 stays at home";
  EXPECT_EQ(ByteVector(model_.operators[24].begin() + 12, model_.operators[24].end()), (ByteVector{0xD2, 0x04, 0, 0}));

  model_.departments[1] = Cat({{1, 2, 3, 4, 0, 0, 0, 0}, Pad(cp1253::Encode("ΝΕΟ"), 26), {0, 1, 2, 3, 4}});
  model_.departments[1][12] = 0x00;
  model_.operators[3] = Cat({{0xFF}, Pad("OP", 11), {9, 0, 0, 0}});
  model_.categories[4] = Pad("CAT", 12, 0xFF);
  ASSERT_EQ(Move(Kind::kCategories, Direction::kRead), kAccepted);
  ASSERT_EQ(Move(Kind::kDepartments, Direction::kRead), kAccepted);
  ASSERT_EQ(Move(Kind::kOperators, Direction::kRead), kAccepted);
  EXPECT_EQ(Span(image_.category(4)), Pad("CAT", 12));
  EXPECT_EQ(image_.department(1).limit(), 0x04030201);
  ByteVector name = Pad(cp1253::Encode("ΝΕΟ"), 26);
  name[4] = ' ';
  EXPECT_EQ(Span(image_.department(1).name()), name);
  EXPECT_EQ(image_.department(1).from_scale(), 4);
  EXPECT_EQ(image_.department(23).data()[department::kReserved], 0x77) << "byte 39 is kept on read";
  EXPECT_EQ(Span(image_.op(3).name()), ByteVector(12, 0));
  EXPECT_EQ(image_.op(3).code(), 9);
}

TEST_F(TransferTest, ParameterRecordsMoveTheirRangesAndCustomerMessage) {
  AttachModel();
  Bytes block = image_.block(Block::kParameters);
  for (std::size_t o = 495; o < 886; ++o) block[o] = static_cast<std::uint8_t>(o);
  Put(image_.parameters().pos_name(1), "P1");
  std::fill_n(block.begin() + 616, 32, std::uint8_t{0});  // empty firmware URL
  Put(image_.parameters().pos_id(3), "ID3");
  Put(image_.state.customer_message[0], "ΚΑΛΗ ΣΑΣ");
  ASSERT_EQ(Move(Kind::kParameters, Direction::kWrite), kAccepted);

  const ByteVector& r0 = model_.params_written[0];
  ASSERT_EQ(r0.size(), 76u);
  EXPECT_EQ(ByteVector(r0.begin() + 1, r0.begin() + 24), ByteVector(block.begin() + 495, block.begin() + 518));
  EXPECT_EQ(ByteVector(r0.begin() + 24, r0.begin() + 34), ByteVector(10, 0));
  EXPECT_EQ(ByteVector(r0.begin() + 34, r0.begin() + 55), Pad(cp1253::Encode("ΚΑΛΗ ΣΑΣ"), 21));
  EXPECT_EQ(ByteVector(r0.begin() + 55, r0.end()), ByteVector(21, 0xFF));
  const ByteVector& r1 = model_.params_written[1];
  ASSERT_EQ(r1.size(), 131u);
  EXPECT_EQ(r1[1], block[518]) << "numbers travel as they are";
  EXPECT_EQ(ByteVector(r1.begin() + 1 + 6, r1.begin() + 1 + 10), Pad("P1", 4));
  EXPECT_EQ(ByteVector(r1.begin() + 1 + 98, r1.begin() + 1 + 130), ByteVector(32, 0xFF));
  const ByteVector& r2 = model_.params_written[2];
  ASSERT_EQ(r2.size(), 175u);
  EXPECT_EQ(ByteVector(r2.begin() + 1 + 164, r2.begin() + 1 + 174), Pad("ID3", 10));

  model_.param0 = ByteVector(65, 0x41);
  model_.param0[23 + 3] = 0x00;  // inside the first message line
  std::fill_n(model_.param0.begin() + 44, 21, std::uint8_t{0xFF});
  model_.param1 = ByteVector(130, 0xFF);  // numbers FF, text fields FF → empty
  model_.param2 = ByteVector(174, 0x42);
  model_.param2[0] = 0x00;  // QR URL empty
  image_ = Blank();
  ASSERT_EQ(Move(Kind::kParameters, Direction::kRead), kAccepted);
  const ConstBytes got = image_.block(Block::kParameters);
  EXPECT_EQ(ByteVector(got.begin() + 495, got.begin() + 518), ByteVector(23, 0x41));
  ByteVector message0(21, 0x41);
  message0[3] = ' ';
  EXPECT_EQ(ByteVector(image_.state.customer_message[0].begin(), image_.state.customer_message[0].end()), message0);
  EXPECT_EQ(ByteVector(image_.state.customer_message[1].begin(), image_.state.customer_message[1].end()),
            ByteVector(21, 0));
  EXPECT_EQ(image_.parameters().pos_port(1), 0xFFFF);
  EXPECT_EQ(Span(image_.parameters().pos_name(1)), ByteVector(4, 0));
  EXPECT_EQ(Span(image_.parameters().tax_authority_url()), ByteVector(48, 0));
  EXPECT_EQ(Span(image_.parameters().qr_url()), ByteVector(48, 0));
  EXPECT_EQ(Span(image_.parameters().pos_id(3)), ByteVector(10, 0x42));
  EXPECT_TRUE(image_.state.modified);
}

TEST_F(TransferTest, ParameterRecordZeroRefusalDoesNotStopTheOthersButFailsTheKind) {
  AttachModel();
  reg_->AddFaults({Fault::kRefuse});
  EXPECT_EQ(Move(Kind::kParameters, Direction::kWrite), kRefused);
  EXPECT_EQ(Requests(0x68).size(), 3u);
}

TEST_F(TransferTest, CustomersTravelWithPackedPhonesAndEmptySlotsAsFF) {
  AttachModel();
  Customer c = image_.customer(0);
  c.set_tax_number(123456789);
  Put(c.company(), "ΕΤΑΙΡΙΑ");
  Put(c.profession(), "ΕΜΠΟΡΙΟ");
  Put(c.address(), "ΟΔΟΣ 1");
  Put(c.tax_office(), "ΔΟΥ Α");
  Put(c.phone(), "2101234567");
  Customer no_job = image_.customer(1);
  no_job.set_tax_number(5);
  Put(no_job.company(), "X");
  Put(no_job.address(), "Y");
  Put(no_job.tax_office(), "Z");
  ASSERT_EQ(Move(Kind::kCustomers, Direction::kWrite), kAccepted);
  const auto writes = Requests(0x82);
  ASSERT_EQ(writes.size(), 1001u);
  EXPECT_EQ(writes[0].data, (ByteVector{0xE8, 0x03})) << "the table write opens with record 1000";
  EXPECT_EQ(writes[1].data.size(), 142u);
  const ByteVector& w0 = model_.customers_written[0];
  EXPECT_EQ(ByteVector(w0.begin(), w0.begin() + 4), (ByteVector{0x15, 0xCD, 0x5B, 0x07}));
  EXPECT_EQ(ByteVector(w0.begin() + 4, w0.begin() + 36), Pad(cp1253::Encode("ΕΤΑΙΡΙΑ"), 32));
  EXPECT_EQ(ByteVector(w0.begin() + 100, w0.begin() + 132), Pad(cp1253::Encode("ΔΟΥ Α"), 32));
  EXPECT_EQ(ByteVector(w0.begin() + 132, w0.end()), (ByteVector{0x87, 0x4B, 0x3E, 0x7D, 0, 0, 0, 10}));
  EXPECT_EQ(model_.customers_written[1], ByteVector(140, 0xFF)) << "an empty text makes the record empty";
  EXPECT_EQ(model_.customers_written[999], ByteVector(140, 0xFF)) << "tax number 0 is an empty slot";

  // Reading back: the register's slots in wire form.
  const auto slot = [](std::uint32_t tax, std::string_view name, ByteVector phone) {
    ByteVector v = {static_cast<std::uint8_t>(tax), static_cast<std::uint8_t>(tax >> 8),
                    static_cast<std::uint8_t>(tax >> 16), static_cast<std::uint8_t>(tax >> 24)};
    for (int t = 0; t < 4; ++t) {
      ByteVector text = Pad(name, 32);
      text[2] = 0x00;
      v.insert(v.end(), text.begin(), text.end());
    }
    v.insert(v.end(), phone.begin(), phone.end());
    return v;
  };
  model_.customers[0] = slot(123456789, "ALPHA", {0x87, 0x4B, 0x3E, 0x7D, 0, 0, 0, 10});
  model_.customers[1] = slot(999999999, "BETA", {0, 0, 0, 0, 0, 0, 0xFF, 3});
  model_.customers[2] = slot(1000000000, "GAMMA", {1, 0, 0, 0, 0, 0, 0, 1});
  model_.customers[3] = slot(0xFFFFFFFF, "DELTA", {1, 0, 0, 0, 0, 0, 0, 1});
  model_.customers[4] = slot(7, "EPS", {0, 0, 0, 0, 0, 0, 0, 0});
  image_ = Blank();
  ASSERT_EQ(Move(Kind::kCustomers, Direction::kRead), kAccepted);
  ByteVector alpha = Pad("AL HA", 32);
  EXPECT_EQ(Span(image_.customer(0).company()), alpha);
  EXPECT_EQ(Span(image_.customer(0).tax_office()), alpha);
  EXPECT_EQ(Span(image_.customer(0).phone()), Pad("2101234567", 16, 0));
  EXPECT_EQ(image_.customer(0).tax_number(), 123456789);
  EXPECT_EQ(image_.customer(1).tax_number(), 999999999);
  EXPECT_EQ(Span(image_.customer(1).phone()), ByteVector(16, 0)) << "byte 6 FF: no telephone";
  EXPECT_EQ(Span(image_.record(Block::kCustomers, 2)), ByteVector(148, 0)) << "tax number above the range";
  EXPECT_EQ(Span(image_.record(Block::kCustomers, 3)), ByteVector(148, 0)) << "FFFFFFFF is out of range too";
  EXPECT_EQ(Span(image_.customer(4).phone()), ByteVector(16, 0)) << "no digits: empty";
  EXPECT_EQ(Span(image_.record(Block::kCustomers, 5)), ByteVector(148, 0)) << "the register's empty slot";
}

TEST_F(TransferTest, ItemsWriteOpensTheTableThenSendsOnlyNamedItems) {
  AttachModel();
  Item a = image_.item(2);
  Put(a.name(), "ΨΩΜΙ");
  a.set_price(150);
  a.set_price_decimals(2);
  Item b = image_.item(15999);
  Put(b.name(), "ΓΑΛΑ");
  b.name()[20] = 0x00;
  ASSERT_EQ(Move(Kind::kItems, Direction::kWrite), kAccepted);
  const auto writes = Requests(0x74);
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0].data, (ByteVector{0x80, 0x3E}));
  EXPECT_EQ(writes[1].data.size(), 50u);
  EXPECT_EQ(writes[1].record(), 2);
  EXPECT_EQ(writes[2].record(), 15999);
  EXPECT_EQ(model_.items_written[2], Span(image_.record(Block::kItems, 2)));
  EXPECT_EQ(model_.items_written[15999][4 + 20], ' ');
  EXPECT_EQ(ui_.progress_max, 2);
  EXPECT_EQ(ui_.progress, (std::vector<int>{1, 2}));
}

TEST_F(TransferTest, ItemsWriteWithNoItemsSendsOnlyTheOpening) {
  AttachModel();
  ASSERT_EQ(Move(Kind::kItems, Direction::kWrite), kAccepted);
  EXPECT_EQ(Requests(0x74).size(), 1u);
}

TEST_F(TransferTest, ItemsRefusedByTheRegisterFailTheKind) {
  AttachModel();
  model_.refuse_items = true;
  Put(image_.item(0).name(), "X");
  EXPECT_EQ(Move(Kind::kItems, Direction::kWrite), kRefused);
  EXPECT_EQ(Requests(0x74).size(), 1u);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, std::string(kMsgRefused));
  EXPECT_EQ(ui_.messages[0].icon, Icon::kInformation);
}

ByteVector ItemReply(std::string_view name, std::int32_t quantity, std::int32_t amount) {
  ByteVector v(56, 0);
  v[0] = 0xE8;  // price 1000
  v[1] = 0x03;
  const ByteVector n = Pad(name, 26);
  std::copy(n.begin(), n.end(), v.begin() + 4);
  for (int i = 0; i < 4; ++i) {
    v[48 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(quantity) >> (8 * i));
    v[52 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(amount) >> (8 * i));
  }
  return v;
}

TEST_F(TransferTest, ItemsReadWalksTheRegistersRecordsAndClearsTheRest) {
  AttachModel();
  Put(image_.item(100).name(), "OLD");
  model_.items[3] = ItemReply("ONE", 0, 0);
  model_.items[17] = ItemReply("TWO", 0, 0);
  model_.items[17][4 + 23] = 0xFF;  // inside the first 24 characters: cleaned
  model_.items[17][4 + 25] = 0x00;  // past them: kept
  model_.items[15999] = ItemReply("LAST", 0, 0);
  ASSERT_EQ(Move(Kind::kItems, Direction::kRead), kAccepted);
  std::vector<int> asked;
  for (const auto& s : Requests(0x73)) asked.push_back(s.record());
  EXPECT_EQ(asked, (std::vector<int>{0, 4, 18}));
  EXPECT_EQ(ui_.progress, (std::vector<int>{4, 18, 16000}));
  EXPECT_EQ(Span(image_.item(3).name()), Pad("ONE", 26));
  EXPECT_EQ(image_.item(17).name()[23], ' ');
  EXPECT_EQ(image_.item(17).name()[25], 0x00);
  EXPECT_EQ(image_.item(3).price(), 1000);
  EXPECT_TRUE(image_.item(100).empty()) << "the table is cleared before reading";
  EXPECT_EQ(model_.sales_headers, 0);
  EXPECT_FALSE(model_.sales_cleared);
}

TEST_F(TransferTest, ItemsReadOfAnEmptyRegisterStopsAtOnce) {
  AttachModel();
  Put(image_.item(0).name(), "OLD");
  ASSERT_EQ(Move(Kind::kItems, Direction::kRead), kAccepted);
  EXPECT_EQ(Requests(0x73).size(), 1u);
  EXPECT_TRUE(image_.item(0).empty());
}

TEST_F(TransferTest, ItemsReadThatGoesBackwardsIsAFailureNotAnEndlessWalk) {
  // Whatever is asked, the register answers with record 5.
  Attach(Wire::kSerial, [](const test::Seen& s) {
    ByteVector data(58, 0);
    data[0] = 5;
    return std::optional<test::Answer>({s.code, data});
  });
  EXPECT_EQ(Move(Kind::kItems, Direction::kRead), kFailed);
  EXPECT_EQ(Requests(0x73).size(), 2u);
}

TEST_F(TransferTest, FailedReadLeavesTheTablesAsTheyWere) {
  AttachModel();
  Put(image_.item(7).name(), "KEEP");
  Put(image_.customer(3).company(), "KEEP");
  image_.customer(3).set_tax_number(42);
  const DataImage before = image_;
  model_.items[1] = ItemReply("NEW1", 0, 0);
  model_.items[2] = ItemReply("NEW2", 0, 0);
  // The second item request is refused: the read fails part-way.
  reg_->AddFaults({Fault::kNone, Fault::kRefuse});
  EXPECT_EQ(Move(Kind::kItems, Direction::kRead), kRefused);
  EXPECT_TRUE(image_ == before);
  EXPECT_FALSE(image_.state.modified);

  reg_->AddFaults({Fault::kNone, Fault::kNone, Fault::kRefuse});
  EXPECT_EQ(Move(Kind::kCustomers, Direction::kRead), kRefused);
  EXPECT_TRUE(image_ == before);

  // A logo read that fails still shows the (unchanged) bitmap.
  reg_->AddFaults({Fault::kRefuse});
  EXPECT_EQ(Move(Kind::kLogo, Direction::kRead), kRefused);
  EXPECT_TRUE(image_ == before);
  EXPECT_EQ(image_.state.logo_present, 3);
}

TEST_F(TransferTest, SalesReportFilesFollowTheItemsRead) {
  AttachModel();
  sales_report_ = true;
  clear_sales_ = true;
  model_.items[0] = ItemReply(cp1253::Encode("ΨΩΜΙ"), 1005, 1205);
  model_.items[4] = ItemReply("ZERO", 0, 0);
  model_.items[9] = ItemReply("RETURN", -500, -5);
  ASSERT_EQ(Move(Kind::kItems, Direction::kRead), kAccepted);
  EXPECT_EQ(model_.sales_headers, 1);
  EXPECT_TRUE(model_.sales_cleared);
  const auto asked = Requests(0x73);
  EXPECT_EQ(asked.front().record(), 0xFFFF);
  EXPECT_EQ(asked.back().record(), 16001);

  const std::string text = test::Slurp(dir_ / "AP_ABC12345678.TXT");
  const std::string csv = test::Slurp(dir_ / "AP_ABC12345678.CSV");
  const std::string eq(60, '=');
  const std::string title = cp1253::Encode("Αναφορα πωλησεων - Αρ.Μητρώου ABC12345678 - 03.04.2024");
  const std::string bread = cp1253::Encode("ΨΩΜΙ") + std::string(22, ' ');
  const std::string back = "RETURN" + std::string(20, ' ');
  EXPECT_EQ(text, title + "\r\n" + eq + "\r\n" +
                      cp1253::Encode("Αρ.              Ονομα                Ποσοτητα   Προσαυξηση ") + "\r\n" + eq +
                      "\r\n" + "    1       " + bread + "      1.005      12.05\r\n" + "   10       " + back +
                      "     -0.500      -0.05\r\n" + eq + "\r\n" + cp1253::Encode("ΣΥΝΟΛΟ ΕΙΣΠΡΑΞ:") +
                      "       12.00 \r\n\f\r\n");
  // Thousandths and cents keep their leading zeros here too.
  EXPECT_EQ(csv, title + "\r\n" + cp1253::Encode("Αρ.;Ονομα;Ποσοτητα;Προσαυξηση;") + "\r\n" + "1;" + bread +
                     ";1.005;12.05;\r\n" + "10;" + back + ";-0.500;-0.05;\r\n");
  EXPECT_EQ(files_, (std::vector<std::string>{dir_ / "AP_ABC12345678.TXT", dir_ / "AP_ABC12345678.CSV"}));
}

TEST_F(TransferTest, SalesDataAreNotClearedWhenTheReadFails) {
  AttachModel();
  sales_report_ = true;
  clear_sales_ = true;
  model_.items[0] = ItemReply("A", 1, 250);
  model_.items[1] = ItemReply("B", 1, 100);
  // Header, item 0, then item 1 refused.
  reg_->AddFaults({Fault::kNone, Fault::kNone, Fault::kRefuse});
  EXPECT_EQ(Move(Kind::kItems, Direction::kRead), kRefused);
  EXPECT_FALSE(model_.sales_cleared);
  const std::string text = test::Slurp(dir_ / "AP_ABC12345678.TXT");
  EXPECT_NE(text.find(cp1253::Encode("ΣΥΝΟΛΟ ΕΙΣΠΡΑΞ:") + "        2.50 "), std::string::npos)
      << "the files hold the lines and the total so far";
}

TEST_F(TransferTest, SalesReportHeaderRefusedMakesNoFiles) {
  AttachModel();
  sales_report_ = true;
  reg_->AddFaults({Fault::kRefuse});
  EXPECT_EQ(Move(Kind::kItems, Direction::kRead), kRefused);
  EXPECT_FALSE(fs::exists(dir_ / "AP_ABC12345678.TXT"));
  EXPECT_FALSE(fs::exists(dir_ / "AP_ABC12345678.CSV"));
  EXPECT_EQ(Requests(0x73).size(), 1u);
}

TEST_F(TransferTest, FiscalMemoryIsSavedWholeAndReportedOnlyWhenComplete) {
  AttachModel();
  for (std::size_t i = 0; i < model_.fiscal.size(); i += 997) model_.fiscal[i] = static_cast<std::uint8_t>(i);
  ASSERT_EQ(Move(Kind::kFiscalMemory, Direction::kRead), kAccepted);
  const fs::path bin = dir_ / "FM_ABC12345678.BIN";
  const std::string whole(model_.fiscal.begin(), model_.fiscal.end());
  EXPECT_EQ(test::Slurp(bin), whole);
  EXPECT_TRUE(fs::exists(dir_ / "FM_ABC12345678.TXT"));
  const auto asked = Requests(0x7D);
  ASSERT_EQ(asked.size(), 4096u);
  EXPECT_EQ(asked[300].data, (ByteVector{0x2C, 0x01, 0x0D}));
  EXPECT_EQ(ui_.progress_max, 4096);

  const auto files = [&] {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> before = files();

  // A block that fails: no torn image, the earlier one and its report stay.
  std::vector<Fault> faults(100, Fault::kNone);
  for (Fault f : faults) reg_->AddFaults({f});
  reg_->AddFaults({Fault::kRefuse});
  model_.fiscal[5] ^= 0xFF;
  EXPECT_EQ(Move(Kind::kFiscalMemory, Direction::kRead), kRefused);
  EXPECT_EQ(test::Slurp(bin), whole);
  EXPECT_EQ(files(), before) << "no temporary file is left behind";

  // A disk that fills up half-way (a file size limit stands in for it, for
  // root too): said with its cause, the earlier image kept.
  ui_.messages.clear();
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 32 * 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::uint8_t full = Move(Kind::kFiscalMemory, Direction::kRead);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(full, kFileFailure);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, std::string(kMsgReportFile) + "\n" + bin.string() +
                                      "\nFM_ABC12345678.BIN: το αρχείο ξεπερνά το επιτρεπτό μέγεθος");
  EXPECT_EQ(test::Slurp(bin), whole);
  EXPECT_EQ(files(), before);
  EXPECT_LT(Requests(0x7D).size(), 4096u + 101u + 1000u) << "the read stopped when the disk was full";
}

}  // namespace
}  // namespace zel
