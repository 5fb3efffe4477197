// The parameters panel model: option-word bit fields that touch only their
// own bits, the machine number offset, the hexadecimal AES key, plain
// address fields, and the control tables of every panel checked for ids and
// bytes that stay inside their records.
#include "editors/params_panel.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "core/bytes.h"
#include "core/options.h"
#include "editors/items_panel.h"
#include "editors/logo_panel.h"
#include "editors/other_panel.h"
#include "harness.h"

namespace zel::editors {
namespace {

using test::FakePanel;

class ParamsPanelTest : public ::testing::Test {
 protected:
  ParamsPanelTest() : panel_(image_, ui_, shared_), view_(panel_) { panel_.Show(); }
  void Retype(int id, std::string_view text) {
    view_.Focus(id);
    auto& e = view_.edit(id);
    e.SelectAll();
    e.Press(Key::kBackspace);
    e.Type(text);
  }
  std::uint32_t Word(int w) const { return image_.parameters().options(w); }

  DataImage image_;
  zel::test::ScriptedUi ui_;
  EditorShared shared_;
  ParametersPanel panel_;
  FakePanel view_;
};

TEST_F(ParamsPanelTest, ContrastTakesOnlyItsOwnBits) {
  const std::uint32_t w1 = 0xFFF8FFFFu;  // every bit set but the contrast
  image_.parameters().set_options1(w1);
  panel_.Show();
  Retype(kContrast, "9");
  EXPECT_EQ(ui_.beeps.size(), 1u);
  EXPECT_EQ(view_.edit(kContrast).text, "");
  view_.edit(kContrast).Type("5");
  view_.Focus(kMachineNumber);
  EXPECT_EQ(Word(1), w1 | (5u << 16));
  EXPECT_EQ(Word(2), kDefaultOptions2);
}

TEST_F(ParamsPanelTest, Com2DeviceTakesBits5To7Only) {
  Retype(kCom2Device, "2");
  view_.Focus(kMachineNumber);
  EXPECT_EQ(Word(2), (kDefaultOptions2 & ~(7u << 5)) | (2u << 5));
  EXPECT_EQ(Word(1), kDefaultOptions1);
}

// Every bit field of the table at its largest value, and every option check
// box on and off: each changes its own bits and nothing else.
TEST_F(ParamsPanelTest, EveryOptionControlTouchesOnlyItsBits) {
  for (const ControlSpec& c : ParametersPanel::Controls()) {
    const bool bits = c.type == ControlType::kField && c.kind == FieldKind::kIndex && c.first != 0;
    const bool box = c.type == ControlType::kCheckBox;
    if (!bits && !box) continue;
    SCOPED_TRACE(c.id);
    const int word = c.ref.offset == param::kOptions1 ? 1 : 2;
    for (std::uint32_t before : {0u, 0xFFFFFFFFu, 0x5A5A5A5Au}) {
      image_.parameters().set_options(word, before);
      image_.parameters().set_options(3 - word, 0x12345678u);
      panel_.Show();
      std::uint32_t changed = 0;
      if (bits) {
        Retype(c.id, std::to_string(c.upper_bound));
        view_.Focus(kMachineNumber);
        changed = static_cast<std::uint32_t>(c.first) << c.second;
        EXPECT_EQ((Word(word) >> c.second) & c.first, static_cast<std::uint32_t>(c.upper_bound));
      } else {
        panel_.box(c.id)->OnClick(!view_.check(c.id).checked);
        changed = 1u << c.bit;
        EXPECT_EQ(Word(word) & changed, ~before & changed);
      }
      EXPECT_EQ(Word(word) & ~changed, before & ~changed);
      EXPECT_EQ(Word(3 - word), 0x12345678u);
    }
  }
}

TEST_F(ParamsPanelTest, MachineNumberIsShownPlusOne) {
  EXPECT_EQ(view_.edit(kMachineNumber).text, "1");
  const std::pair<const char*, int> entries[] = {{"1", 0}, {"99", 98}, {"0", 0}, {"42", 41}};
  for (const auto& [typed, stored] : entries) {
    Retype(kMachineNumber, typed);
    view_.Focus(kAesKey);
    EXPECT_EQ(image_.parameters().machine_number(), stored) << typed;
  }
  panel_.Show();
  EXPECT_EQ(view_.edit(kMachineNumber).text, "42");
}

TEST_F(ParamsPanelTest, AesKeyTakesCapitalHexadecimalOnly) {
  Retype(kAesKey, "a");
  EXPECT_EQ(view_.edit(kAesKey).text, "");
  EXPECT_EQ(ui_.beeps.size(), 1u);
  view_.edit(kAesKey).Type("0123456789ABCDEF");
  view_.Focus(kMachineNumber);
  EXPECT_EQ(TextOf(image_.parameters().aes_key()), "0123456789ABCDEF");
}

TEST_F(ParamsPanelTest, Pos3NameNeverReachesTheFirmwareUrl) {
  const std::string url = TextOf(image_.parameters().firmware_url());
  Retype(kPos3Name, "ABCDE");
  EXPECT_EQ(view_.edit(kPos3Name).text, "ABCD");
  view_.Focus(kMachineNumber);
  EXPECT_EQ(TextOf(image_.parameters().pos_name(3)), "ABCD");
  EXPECT_EQ(TextOf(image_.parameters().firmware_url()), url);
}

TEST_F(ParamsPanelTest, AddressesArePlainDataAndNotAChange) {
  EXPECT_EQ(panel_.Address(kRegisterIpAddress), (IPv4{192, 168, 1, 50}));
  panel_.OnAddressChanged(kRegisterIpAddress, {10, 0, 0, 7});
  EXPECT_EQ(image_.parameters().ip(param::kRegisterIp), (IPv4{10, 0, 0, 7}));
  EXPECT_FALSE(image_.state.modified);
}

TEST_F(ParamsPanelTest, CustomerMessageLinesLiveBesideTheImage) {
  const DataImage before = image_;
  Retype(1424, "KALI ORexi");
  view_.Focus(kMachineNumber);
  EXPECT_EQ(std::string(image_.state.customer_message[1].begin(), image_.state.customer_message[1].end()),
            "KALI ORexi" + std::string(11, ' '));
  EXPECT_TRUE(image_ == before) << "the file's bytes are untouched";
}

TEST_F(ParamsPanelTest, TransferCodesButtonAsksForTheTransferPanel) {
  panel_.OnTransferCodes();
  EXPECT_TRUE(image_.state.send_tax_codes_request);
  EXPECT_EQ(view_.switched_to, kPanelTransfer);
}

// The tables themselves: unique ids per panel, and every bound control's
// bytes inside its record, sized for its kind.
TEST(ControlTables, IdsAreUniqueAndBindingsFitTheirRecords) {
  DataImage image;
  const std::pair<const char*, std::span<const ControlSpec>> tables[] = {{"items", ItemsPanel::Controls()},
                                                                         {"other", OtherDataPanel::Controls()},
                                                                         {"parameters", ParametersPanel::Controls()},
                                                                         {"logo", LogoPanel::Controls()}};
  for (const auto& [name, controls] : tables) {
    SCOPED_TRACE(name);
    std::set<int> ids;
    for (const ControlSpec& c : controls) {
      EXPECT_TRUE(ids.insert(c.id).second) << "duplicate id " << c.id;
      if (c.type == ControlType::kField) {
        const FieldBinding b = ResolveField(image, c);
        if (c.kind == FieldKind::kRecordSelector) {
          EXPECT_NE(b.selected, nullptr) << c.id;
          continue;
        }
        const std::size_t need = c.kind == FieldKind::kText                                        ? c.width
                                 : c.kind == FieldKind::kIndex                                     ? (c.first ? 4u : 1u)
                                 : c.kind == FieldKind::kShortNumber || c.kind == FieldKind::kDate ? 2u
                                                                                                   : 4u;
        EXPECT_EQ(b.target.size(), need) << c.id;
        EXPECT_EQ(b.second_target != nullptr, c.kind == FieldKind::kPrice) << c.id;
      }
      if (c.type == ControlType::kCheckBox) {
        EXPECT_FALSE(ResolveCheck(image, c).target.empty()) << c.id;
      }
      if (c.type == ControlType::kAddress) {
        EXPECT_EQ(ResolveBytes(image, c.ref).size(), 4u) << c.id;
      }
    }
  }
}

}  // namespace
}  // namespace zel::editors
