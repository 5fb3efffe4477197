// The register's stream framing: frames found by their start bytes and
// length alone, whatever noise surrounds them and however the bytes are cut
// into reads.
#include "sim/frame.h"

#include <gtest/gtest.h>

#include "tests/sim/sim_client.h"

namespace zel::sim {
namespace {

using test::Bytes;
using test::Cat;
using test::Frame;

struct Scanned {
  Bytes bytes;
  bool intact;
  bool operator==(const Scanned&) const = default;
};

std::vector<Scanned> ScanAll(FrameScanner& s, const Bytes& in, std::size_t chunk = 0) {
  std::vector<Scanned> out;
  const std::size_t step = chunk == 0 ? in.size() : chunk;
  for (std::size_t at = 0; at < in.size(); at += step) {
    const std::size_t n = std::min(step, in.size() - at);
    s.Append(ConstByteSpan(in.data() + at, n));
    while (auto f = s.Next()) out.push_back({f->bytes, f->intact});
  }
  return out;
}

TEST(FrameScanner, BuildsTheConnectionCheckOfTheDescriptionByteForByte) {
  EXPECT_EQ(BuildFrame(1, 0x79, {}), (Bytes{0x55, 0x33, 0x11, 0x01, 0x79, 0x00, 0x13, 0x0F, 0xEB}));
}

TEST(FrameScanner, FindsFramesWhateverNoiseAndReadBoundaries) {
  // Data holding the start bytes, the end byte and a false length inside.
  const Bytes tricky = Frame(7, 0x72, {3, 0x55, 0x33, 0x11, 0xEB, 0x55, 0xEB, 0xFF, 0x00, 0x09, 0x55, 0x33, 0x11});
  const Bytes plain = Frame(8, 0x79);
  struct Case {
    const char* name;
    Bytes stream;
    std::vector<Scanned> expected;
  };
  const std::vector<Case> cases = {
      {"noise before", Cat({0x00, 0x11, 0x33, 0xEB, 0x55, 0x33, 0x54}, plain), {{plain, true}}},
      {"two frames back to back", Cat(tricky, plain), {{tricky, true}, {plain, true}}},
      {"noise between", Cat(Cat(tricky, {0xAA, 0x55, 0x55, 0x33}), plain), {{tricky, true}, {plain, true}}},
      // A noise sequence that looks like a frame start with a large length
      // must not swallow the real request behind it.
      {"false start with length 255", Cat({0x55, 0x33, 0x11, 0x07, 0x73, 0xFF}, plain), {{plain, true}}},
      {"false start with a short length", Cat({0x55, 0x33, 0x11, 0x07, 0x73, 0x01, 0x00}, tricky), {{tricky, true}}},
  };
  for (const Case& c : cases) {
    for (std::size_t chunk : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{5}}) {
      FrameScanner s;
      EXPECT_EQ(ScanAll(s, c.stream, chunk), c.expected) << c.name << ", reads of " << chunk;
      EXPECT_FALSE(s.Pending()) << c.name;
    }
  }
}

TEST(FrameScanner, TellsDamagedFramesApartAndKeepsGoing) {
  const Bytes good = Frame(9, 0x79);
  for (std::size_t spoil : {std::size_t{6}, std::size_t{7}, std::size_t{8}}) {  // sum, xor, end byte
    Bytes bad = Frame(4, 0x71, {2});
    bad[spoil + 1] ^= 0x01;
    FrameScanner s;
    EXPECT_EQ(ScanAll(s, Cat(bad, good)), (std::vector<Scanned>{{bad, false}, {good, true}})) << spoil;
  }
}

TEST(FrameScanner, WaitsForTheRestAndDropsAStartAfterSilence) {
  FrameScanner s;
  const Bytes f = Frame(1, 0x79);
  EXPECT_TRUE(ScanAll(s, Bytes(f.begin(), f.begin() + 5)).empty());
  EXPECT_TRUE(s.Pending());
  // The line went quiet: the fragment is dropped, so a stray byte later
  // cannot complete it into a "damaged request".
  s.GiveUp();
  while (s.Pending()) {
    EXPECT_FALSE(s.Next().has_value());
    s.GiveUp();
  }
  EXPECT_EQ(ScanAll(s, Cat({0xCC, 0xCC, 0xCC, 0xCC}, f)), (std::vector<Scanned>{{f, true}}));
}

TEST(FrameScanner, AFloodOfNoiseDoesNotGrowTheBuffer) {
  FrameScanner s;
  Bytes noise(1 << 20);
  for (std::size_t i = 0; i < noise.size(); ++i)
    noise[i] = static_cast<std::uint8_t>(i * 7 % 251 == 0x55 ? 0 : i * 7 % 251);
  EXPECT_TRUE(ScanAll(s, noise, 4096).empty());
  EXPECT_FALSE(s.Pending());
  EXPECT_EQ(ScanAll(s, Frame(3, 0x79)).size(), 1u);
}

}  // namespace
}  // namespace zel::sim
