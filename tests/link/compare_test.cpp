// The comparison's rules on two images side by side (no link): what the wire
// rules make equal is no difference, a changed value is one, with its field
// and both values; the resume file and the LAN address with a port.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/bytes.h"
#include "core/cp1253.h"
#include "link/compare.h"
#include "link/fleet.h"
#include "link/resume_file.h"

namespace zel {
namespace {

void Put(Bytes field, std::string_view utf8) {
  std::fill(field.begin(), field.end(), std::uint8_t{0});
  const std::string b = cp1253::Encode(utf8);
  std::copy_n(b.begin(), std::min(b.size(), field.size()), field.begin());
}

struct Case {
  const char* name;
  Kind kind;
  void (*database)(DataImage&);
  void (*register_)(DataImage&);
  std::vector<std::string> lines;  // DifferenceLine of each difference
};

const Case kCases[] = {
    {"ZeroPaddedNameIsTheBlankPaddedOne",
     Kind::kItems,
     [](DataImage& d) { Put(d.item(0).name(), "ΓΑΛΑ"); },
     [](DataImage& r) {
       Put(r.item(0).name(), "ΓΑΛΑ");
       for (std::size_t i = 4; i < item::kNameWidth; ++i) r.item(0).name()[i] = ' ';
     },
     {}},
    {"ItemWithoutNameIsNoItem",
     Kind::kItems,
     [](DataImage& d) { d.item(7).set_price(500); },  // a price but no name: never sent
     [](DataImage&) {},
     {}},
    {"PriceShownWithTheItemsDecimals",
     Kind::kItems,
     [](DataImage& d) {
       Put(d.item(122).name(), "ΚΑΦΕΣ");
       d.item(122).set_price(120);
       d.item(122).set_price_decimals(2);
     },
     [](DataImage& r) {
       Put(r.item(122).name(), "ΚΑΦΕΣ");
       r.item(122).set_price(125);
       r.item(122).set_price_decimals(2);
     },
     {"Είδη 123: Τιμη 1,20 ≠ 1,25"}},
    {"CustomerWithoutProfessionIsAnEmptyRecord",
     Kind::kCustomers,
     [](DataImage& d) {
       d.customer(3).set_tax_number(100000001);
       Put(d.customer(3).company(), "Α");
       Put(d.customer(3).address(), "Β");
       Put(d.customer(3).tax_office(), "Γ");
     },
     [](DataImage&) {},
     {}},
    {"TelephoneComparedAsItsDigits",
     Kind::kCustomers,
     [](DataImage& d) {
       d.customer(0).set_tax_number(100000001);
       for (Bytes f :
            {d.customer(0).company(), d.customer(0).profession(), d.customer(0).address(), d.customer(0).tax_office()})
         Put(f, "Χ");
       Put(d.customer(0).phone(), "210-555");
     },
     [](DataImage& r) {
       r.customer(0).set_tax_number(100000001);
       for (Bytes f :
            {r.customer(0).company(), r.customer(0).profession(), r.customer(0).address(), r.customer(0).tax_office()})
         Put(f, "Χ");
       Put(r.customer(0).phone(), "211");
     },
     {"Πελατες 1: Τηλέφωνο 210 ≠ 211"}},
    {"DepartmentByte39IsNotCarried",
     Kind::kDepartments,
     [](DataImage& d) { d.record(Block::kDepartments, 2)[39] = 7; },
     [](DataImage&) {},
     {}},
    {"CustomerMessageLine",
     Kind::kParameters,
     [](DataImage& d) { Put(d.state.customer_message[1], "ΓΕΙΑ"); },
     [](DataImage&) {},
     {"Παράμετροι 1: Μήνυμα πελάτη 2 ΓΕΙΑ ≠ "}},
};

class CompareCase : public ::testing::TestWithParam<Case> {};

TEST_P(CompareCase, ListsOnlyRealDifferences) {
  DataImage database, reg;
  GetParam().database(database);
  GetParam().register_(reg);
  std::vector<std::string> lines;
  for (const Difference& d : CompareKind(GetParam().kind, database, reg)) lines.push_back(DifferenceLine(d));
  EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Rules, CompareCase, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& c) { return std::string(c.param.name); });

TEST(ResumeFile, KeepsEveryKindsPlaceAndRefusesAForeignFile) {
  const std::string path = (std::filesystem::temp_directory_path() / "zel-resume-test.txt").string();
  ResumePoint p;
  p.direction = Direction::kWrite;
  p.registration = cp1253::Encode("ΑΒΓ12345678");
  p.data_check = 0x0123456789ABCDEFULL;
  p.kinds[static_cast<std::size_t>(Kind::kVatRates)].done = true;
  p.kinds[static_cast<std::size_t>(Kind::kItems)] = {false, 15999, true};
  p.kinds[static_cast<std::size_t>(Kind::kCustomers)] = {false, 0, false};
  ASSERT_TRUE(SaveResumePoint(path, p));
  const std::optional<ResumePoint> back = LoadResumePoint(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, p);

  for (const char* text : {"not a resume file\n", "setupzel-resume 1\nkind items from 16000\n",
                           "setupzel-resume 1\nkind nothing done\n"}) {
    std::ofstream(path, std::ios::trunc) << text;
    std::string why;
    EXPECT_FALSE(LoadResumePoint(path, &why)) << text;
    EXPECT_FALSE(why.empty());
  }
  std::filesystem::remove(path);
}

TEST(LanAddress, TakesAnOptionalPort) {
  const std::optional<LinkSelection> plain = ParseLanAddress("192.168.1.50");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->ip, (IPv4{192, 168, 1, 50}));
  EXPECT_EQ(plain->udp_port, 0);
  const std::optional<LinkSelection> forwarded = ParseLanAddress("10.0.0.7:40123");
  ASSERT_TRUE(forwarded);
  EXPECT_EQ(forwarded->udp_port, 40123);
  for (const char* bad : {"10.0.0.7:", "10.0.0.7:0", "10.0.0.7:65536", "10.0.0.7:12x", "10.0.0:80", "name:80"})
    EXPECT_FALSE(ParseLanAddress(bad)) << bad;
}

}  // namespace
}  // namespace zel
