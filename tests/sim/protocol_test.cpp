// The programming protocol as the program meets it, over UDP loopback: every
// kind written and read back under its codes with its exact record layout,
// the item walk, the end-of-table refusals, 0xDEBA, identification, sales
// figures, refusals and damaged requests. Replies are checked byte for byte
// against frames built here.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>

#include "core/layout.h"
#include "sim/simulator.h"
#include "tests/sim/sim_client.h"

namespace zel::sim {
namespace {

using test::Bytes;
using test::Cat;
using test::Frame;
using test::Le16;
using test::Le32;
using test::UdpClient;

// A request's reply with the sequence number the request carried, and the
// reply a test expects, compared as whole frames.
struct Sent {
  std::uint8_t seq;
  Bytes reply;
};
struct Want {
  int code;
  Bytes data;
};
bool operator==(const Sent& s, const Want& w) {
  return s.reply == Frame(s.seq, static_cast<std::uint8_t>(w.code), w.data);
}
std::string Hex(const Bytes& b) {
  std::string out;
  char buf[4];
  for (std::uint8_t x : b) {
    std::snprintf(buf, sizeof buf, "%02X ", x);
    out += buf;
  }
  return out;
}
void PrintTo(const Sent& s, std::ostream* os) { *os << Hex(s.reply); }
void PrintTo(const Want& w, std::ostream* os) { *os << "code " << w.code << " data " << Hex(w.data); }

class Udp : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim.StartUdp(0, &error)) << error;
    client = std::make_unique<UdpClient>(sim.udp_port());
  }
  // Sends a request and returns the reply (empty when none came).
  Sent Ask(int code, const Bytes& data = {}) {
    ++seq;
    return {seq, client->Ask(Frame(seq, static_cast<std::uint8_t>(code), data)).value_or(Bytes{})};
  }
  static Want Expect(int code, const Bytes& data = {}) { return {code, data}; }
  Bytes ImageBytes(std::size_t offset, std::size_t n) const {
    const DataImage image = sim.Programming();
    return Bytes(image.raw().begin() + static_cast<std::ptrdiff_t>(offset),
                 image.raw().begin() + static_cast<std::ptrdiff_t>(offset + n));
  }

  Simulator sim;
  std::unique_ptr<UdpClient> client;
  std::uint8_t seq = 0x40;
};

// A pattern with the bytes framing cares about (start bytes, end byte,
// zero, 0xFF) among ordinary ones.
Bytes Pattern(std::size_t n, int salt) {
  Bytes b(n);
  const std::uint8_t framing[] = {0x55, 0x33, 0x11, 0xEB, 0x00, 0xFF};
  for (std::size_t i = 0; i < n; ++i)
    b[i] = i % 5 == 0 ? framing[(i / 5) % 6]
                      : static_cast<std::uint8_t>(0x41 + (i * 3 + static_cast<std::size_t>(salt)) % 26);
  return b;
}

std::uint8_t Mirror(std::uint8_t b) {
  std::uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<std::uint8_t>(r | (((b >> i) & 1) << (7 - i)));
  return r;
}

constexpr std::size_t kParams = 8640;  // parameter block in the image

TEST_F(Udp, EveryKindIsWrittenAndReadBackWithItsRecordLayout) {
  struct Case {
    const char* name;
    std::uint8_t read_code;
    Bytes record;        // record number bytes of the request (none for whole tables)
    std::size_t offset;  // where the record's wire bytes live in the image
    std::size_t size;    // wire bytes after the record number
    bool mirrored;
  };
  const Case cases[] = {
      {"graphic logo row 7", 0x77, {7}, 7 * 48, 48, true},
      {"graphic logo row 179", 0x77, {179}, 179 * 48, 48, true},
      {"fiscal logo line 1", 0x65, {0}, kParams, 33, false},
      {"fiscal logo line 9", 0x65, {8}, kParams + 8 * 33, 33, false},
      {"header line 10", 0x65, {9}, kParams + 9 * 33, 33, false},
      {"footer line 15", 0x65, {14}, kParams + 14 * 33, 33, false},
      {"payments", 0x6D, {}, 777528, 60, false},
      {"VAT rates", 0x6B, {}, 777588, 8, false},
      {"category 30", 0x71, {29}, 777596 + 29 * 12, 12, false},
      {"department 1", 0x6F, {0}, 777956, 39, false},
      {"department 24", 0x6F, {23}, 777956 + 23 * 40, 39, false},
      {"operator 25", 0x75, {24}, 778916 + 24 * 16, 16, false},
      {"tax-authority code", 0x69, {}, kParams + 648, 64, false},
      {"parameters record 1", 0x67, {1}, kParams + 518, 130, false},
      {"parameters record 2", 0x67, {2}, kParams + 712, 174, false},
  };
  int salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes wire = Pattern(c.size, ++salt);
    const Bytes after_before = ImageBytes(c.offset + c.size, 1);

    EXPECT_EQ(Ask(c.read_code + 1, Cat(c.record, wire)), Expect(c.read_code + 1, c.record));
    Bytes stored = wire;
    if (c.mirrored)
      for (auto& b : stored) b = Mirror(b);
    EXPECT_EQ(ImageBytes(c.offset, c.size), stored);
    EXPECT_EQ(ImageBytes(c.offset + c.size, 1), after_before) << "the byte after the record changed";

    EXPECT_EQ(Ask(c.read_code, c.record), Expect(c.read_code, Cat(c.record, wire)));
  }
}

TEST_F(Udp, ParameterRecordZeroCarriesTheMessageLinesAtDifferentOffsetsEachWay) {
  const Bytes fields = Pattern(23, 1);
  const Bytes ignored(10, 0xA5);  // data 24..33 of the write: nothing the register keeps
  const Bytes lines = Pattern(42, 2);
  EXPECT_EQ(Ask(0x68, Cat(Cat(Cat({0}, fields), ignored), lines)), Expect(0x68, {0}));
  EXPECT_EQ(ImageBytes(kParams + 495, 23), fields);
  const auto message = sim.CustomerMessage();
  EXPECT_EQ(Bytes(message[0].begin(), message[0].end()), Bytes(lines.begin(), lines.begin() + 21));
  EXPECT_EQ(Bytes(message[1].begin(), message[1].end()), Bytes(lines.begin() + 21, lines.end()));

  EXPECT_EQ(Ask(0x67, {0}), Expect(0x67, Cat(Cat({0}, fields), lines)));

  // The read layout is not accepted for a write.
  EXPECT_EQ(Ask(0x68, Cat(Cat({0}, fields), lines)), Expect(0x7F));
}

TEST_F(Udp, RequestsTheRegisterCannotTakeAreRefused) {
  const Bytes before = ImageBytes(0, kImageSize);
  struct Case {
    const char* name;
    std::uint8_t code;
    Bytes data;
  };
  const Case cases[] = {
      {"unknown command", 0x50, {}},
      {"unknown command 0xFF", 0xFF, {1, 2}},
      {"category 31", 0x71, {30}},
      {"department 25 write", 0x70, Cat({24}, Bytes(39, 1))},
      {"operator record number missing", 0x75, {}},
      {"category write one byte short", 0x72, Cat({1}, Bytes(11, 1))},
      {"logo row 180", 0x77, {180}},
      {"print line 16", 0x65, {15}},
      {"payments read with data", 0x6D, {0}},
      {"VAT write too long", 0x6C, Bytes(9, 1)},
      {"parameters record 3", 0x67, {3}},
      {"item beyond the table", 0x73, Le16(16002)},
      {"item number one byte", 0x73, {1}},
      {"item write beyond the table", 0x74, Cat(Le16(16002), Bytes(48, 1))},
      {"customer 1000 read", 0x81, Le16(1000)},
      {"customer write too short", 0x82, Cat(Le16(3), Bytes(139, 1))},
      {"fiscal memory block 4096", 0x7D, {0x00, 0x10, 0x0D}},
      {"fiscal memory without 0x0D", 0x7D, {0x00, 0x00, 0x0C}},
      {"connection check with data", 0x79, {1}},
  };
  for (const Case& c : cases) EXPECT_EQ(Ask(c.code, c.data), Expect(0x7F)) << c.name;
  EXPECT_EQ(ImageBytes(0, kImageSize), before);
}

TEST_F(Udp, ConnectionCheckAndIdentification) {
  EXPECT_EQ(Ask(0x79), Expect(0x79));
  ASSERT_TRUE(sim.SetRegistration("ABC12345678"));
  const Sent sent = Ask(0x7D, {0x00, 0x00, 0x0D});
  const Bytes& reply = sent.reply;
  ASSERT_EQ(reply.size(), 6u + 131 + 3);
  EXPECT_EQ(Bytes(reply.begin() + 6, reply.begin() + 9), (Bytes{0x00, 0x00, 0x0D}));
  // Offsets 15..21 of the reply data: "ABC" and the digits two to a byte.
  EXPECT_EQ(Bytes(reply.begin() + 6 + 15, reply.begin() + 6 + 22), (Bytes{'A', 'B', 'C', 0x12, 0x34, 0x56, 0x78}));
  const ByteVector memory = sim.FiscalMemory();
  EXPECT_EQ(sent, Expect(0x7D, Cat({0x00, 0x00, 0x0D}, Bytes(memory.begin(), memory.begin() + 128))));
  EXPECT_EQ(sim.Registration(), "ABC12345678");
  EXPECT_FALSE(sim.SetRegistration("ABC1234567"));
  EXPECT_FALSE(sim.SetRegistration("ABC1234567X"));
}

TEST_F(Udp, TheWholeFiscalMemoryReadsBackBlockByBlock) {
  const ByteVector memory = sim.FiscalMemory();
  Bytes read;
  for (std::uint16_t block = 0; block < 4096; ++block) {
    const Bytes reply = Ask(0x7D, Cat(Le16(block), {0x0D})).reply;
    ASSERT_EQ(reply.size(), 140u) << block;
    ASSERT_EQ(reply[4], 0x7D);
    read.insert(read.end(), reply.begin() + 9, reply.begin() + 9 + 128);
  }
  EXPECT_TRUE(read == Bytes(memory.begin(), memory.end()));
}

class Items : public Udp {
 protected:
  void SetUp() override {
    Udp::SetUp();
    DataImage image = sim.Programming();
    std::ranges::fill(image.block(Block::kItems), std::uint8_t{0});
    for (int r : {5, 700, 15999}) {
      Bytes rec = Pattern(48, r);
      rec[4] = 'A';  // the name's first byte marks an item in use
      std::memcpy(image.record(Block::kItems, r).data(), rec.data(), 48);
    }
    image.record(Block::kItems, 9)[4] = 0xFF;  // an erased name is no item
    sim.SetProgramming(image);
    sim.SetSales(700, {1500, 2345});
    sim.SetSales(15999, {-1000, -99});
  }
  Bytes Item(int r) const { return ImageBytes(9528 + 48 * static_cast<std::size_t>(r), 48); }
};

TEST_F(Items, TheWalkReturnsTheNextItemInUseWithItsSalesAndEndsAt16000) {
  struct Step {
    std::uint16_t asked;
    int returned;
  };
  for (const Step& s : {Step{0, 5}, Step{5, 5}, Step{6, 700}, Step{701, 15999}, Step{15999, 15999}}) {
    const SalesFigure f = sim.Sales()[static_cast<std::size_t>(s.returned)];
    const Bytes data =
        Cat(Cat(Le16(static_cast<std::uint16_t>(s.returned)), Item(s.returned)),
            Cat(Le32(static_cast<std::uint32_t>(f.quantity)), Le32(static_cast<std::uint32_t>(f.amount))));
    EXPECT_EQ(Ask(0x73, Le16(s.asked)), Expect(0x73, data)) << s.asked;
  }
  EXPECT_EQ(Ask(0x73, Le16(16000)), Expect(0x73, Le16(16000)));
  sim.SetProgramming([] {
    DataImage empty;
    std::ranges::fill(empty.block(Block::kItems), std::uint8_t{0});
    return empty;
  }());
  EXPECT_EQ(Ask(0x73, Le16(0)), Expect(0x73, Le16(16000))) << "an empty table ends at once";
}

TEST_F(Items, SalesReportHeaderAndTheClear) {
  const Bytes header = Ask(0x73, Le16(0xFFFF)).reply;
  ASSERT_GE(header.size(), 9u + 2);
  EXPECT_EQ(header[4], 0x73);
  EXPECT_EQ(Bytes(header.begin() + 6, header.begin() + 8), (Bytes{0xFF, 0xFF}));

  EXPECT_EQ(Ask(0x73, Le16(16001)), Expect(0x73, Le16(16001)));
  for (const SalesFigure& f : sim.Sales()) ASSERT_EQ(f, SalesFigure{});
  EXPECT_EQ(Item(700)[0], Pattern(48, 700)[0]) << "clearing sales leaves the items";
}

TEST_F(Items, WritingOpensWith16000WhichIsRefusedAndClearsTheTable) {
  EXPECT_EQ(Ask(0x74, Le16(16000)), Expect(0x7F));
  EXPECT_EQ(Ask(0x73, Le16(0)), Expect(0x73, Le16(16000))) << "the table was cleared";
  const Bytes rec = Pattern(48, 42);
  EXPECT_EQ(Ask(0x74, Cat(Le16(42), rec)), Expect(0x74, Le16(42)));
  EXPECT_EQ(Item(42), rec);
  EXPECT_EQ(Ask(0x74, Cat(Le16(42), Bytes(47, 1))), Expect(0x7F)) << "a short item record";
}

TEST_F(Items, ARegisterThatRefusesItemsAnswersTheOpeningWithDEBA) {
  sim.SetRefuseItems(true);
  EXPECT_EQ(Ask(0x74, Le16(16000)), Expect(0x7F, {0xBA, 0xDE}));
  EXPECT_EQ(Ask(0x74, Cat(Le16(42), Pattern(48, 1))), Expect(0x7F));
  EXPECT_EQ(Item(5)[4], 'A') << "nothing was cleared or written";
  EXPECT_EQ(Item(42), Bytes(48, 0));
}

TEST_F(Udp, CustomersTravelWithTheirTelephonePacked) {
  EXPECT_EQ(Ask(0x82, Le16(1000)), Expect(0x7F)) << "the opening record is refused";

  struct Case {
    const char* phone;  // as the image holds it
    std::uint64_t value;
    std::uint8_t count;
  };
  const Case cases[] = {{"2101234567", 2101234567ull, 10},
                        {"0000000000000001", 1, 16},
                        {"", 0, 0},
                        {"9999999999999999", 9999999999999999ull, 16}};
  std::uint16_t number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phone);
    const Bytes texts = Pattern(128, number);
    Bytes packed;
    for (int i = 0; i < 7; ++i) packed.push_back(static_cast<std::uint8_t>(c.value >> (8 * i)));
    packed.push_back(c.count);
    const Bytes wire = Cat(Cat(Le32(123456789), texts), packed);
    EXPECT_EQ(Ask(0x82, Cat(Le16(number), wire)), Expect(0x82, Le16(number)));

    const Bytes rec = ImageBytes(779316 + 148 * std::size_t{number}, 148);
    EXPECT_EQ(Bytes(rec.begin(), rec.begin() + 128), texts);
    Bytes phone(16, 0);
    std::memcpy(phone.data(), c.phone, std::strlen(c.phone));
    EXPECT_EQ(Bytes(rec.begin() + 128, rec.begin() + 144), phone);
    EXPECT_EQ(Bytes(rec.begin() + 144, rec.end()), Le32(123456789));

    EXPECT_EQ(Ask(0x81, Le16(number)), Expect(0x81, Cat(Le16(number), wire)));
    ++number;
  }

  // An empty customer as the program writes it: all 0xFF after the number.
  const Bytes empty(140, 0xFF);
  EXPECT_EQ(Ask(0x82, Cat(Le16(999), empty)), Expect(0x82, Le16(999)));
  EXPECT_EQ(Ask(0x81, Le16(999)), Expect(0x81, Cat(Le16(999), empty)));
}

TEST_F(Udp, DamagedRequestsAreAnsweredWith0x80AndNotCarriedOut) {
  const Bytes before = ImageBytes(0, kImageSize);
  const Bytes good = Frame(0x21, 0x72, Cat({3}, Pattern(12, 3)));
  struct Case {
    const char* name;
    std::size_t at;  // byte to spoil; beyond the frame: one byte added
  };
  for (const Case& c : {Case{"sum", good.size() - 3}, Case{"xor", good.size() - 2}, Case{"end", good.size() - 1},
                        Case{"length", 5}, Case{"extra byte", good.size()}}) {
    Bytes bad = good;
    if (c.at < bad.size())
      bad[c.at] ^= 0x40;
    else
      bad.push_back(0x00);
    client->Send(bad);
    EXPECT_EQ(client->Receive().value_or(Bytes{}), Frame(0x21, 0x80)) << c.name;
  }
  EXPECT_EQ(ImageBytes(0, kImageSize), before);
  EXPECT_EQ(sim.counters().damaged, 5u);

  // A datagram that is no frame at all is not answered.
  client->Send({0x01, 0x02, 0x03});
  EXPECT_FALSE(client->Receive(std::chrono::milliseconds(200)).has_value());
  EXPECT_EQ(sim.counters().ignored, 1u);
}

TEST_F(Udp, CountsRequestsPerCode) {
  Ask(0x79);
  Ask(0x79);
  Ask(0x71, {0});
  const Counters c = sim.counters();
  EXPECT_EQ(c.requests[0x79], 2u);
  EXPECT_EQ(c.requests[0x71], 1u);
  EXPECT_EQ(c.Handled(), 3u);
  EXPECT_EQ(c.replies, 3u);
  sim.ResetCounters();
  EXPECT_EQ(sim.counters().Handled(), 0u);
}

}  // namespace
}  // namespace zel::sim
