// Byte layout of the data image: nine fixed blocks, each a table of
// fixed-width records. The .cld file is a raw copy of these blocks followed by
// the file signature, so every offset here is also a file offset and binding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

// Blocks in file order.
enum class Block : std::uint8_t {
  kLogo,
  kParameters,
  kItems,
  kPayments,
  kVatRates,
  kCategories,
  kDepartments,
  kOperators,
  kCustomers,
};
inline constexpr int kBlockCount = 9;

struct BlockInfo {
  std::size_t offset;
  std::size_t record_size;
  std::size_t records;
  constexpr std::size_t size() const { return record_size * records; }
};

inline constexpr BlockInfo kBlocks[kBlockCount] = {
    {0, 8640, 1},         // graphic logo bitmap
    {8640, 888, 1},       // parameter block
    {9528, 48, 16000},    // item table
    {777528, 12, 5},      // payment table
    {777588, 2, 4},       // VAT rate table
    {777596, 12, 30},     // category table
    {777956, 40, 24},     // department table
    {778916, 16, 25},     // operator table
    {779316, 148, 1000},  // customer table
};

constexpr const BlockInfo& Info(Block b) { return kBlocks[static_cast<int>(b)]; }

inline constexpr std::size_t kImageSize = 927316;  // all nine blocks
inline constexpr std::size_t kFileSize = 927320;   // image + signature
inline constexpr std::uint32_t kFileSignature = 0x20317B06;

static_assert(kBlocks[8].offset + kBlocks[8].size() == kImageSize);
static_assert([] {
  for (int i = 1; i < kBlockCount; ++i)
    if (kBlocks[i].offset != kBlocks[i - 1].offset + kBlocks[i - 1].size()) return false;
  return true;
}());

inline constexpr int kItemCount = 16000;
inline constexpr int kPaymentCount = 5;
inline constexpr int kVatRateCount = 4;
inline constexpr int kCategoryCount = 30;
inline constexpr int kDepartmentCount = 24;
inline constexpr int kOperatorCount = 25;
inline constexpr int kCustomerCount = 1000;
inline constexpr int kPrintLineCount = 15;
inline constexpr int kFiscalLogoLines = 9;

// Graphic logo: 384 dots wide, up to 180 rows of 48 bytes; bit 0 is the
// leftmost dot of its byte, a set bit is a printed dot.
namespace logo {
inline constexpr int kWidth = 384;
inline constexpr int kRows = 180;
inline constexpr int kRowBytes = 48;
}  // namespace logo

// Offsets within the parameter block.
namespace param {
inline constexpr std::size_t kPrintLines = 0;  // 15 x 33: 32 text + 1 print size
inline constexpr std::size_t kPrintLineSize = 33;
inline constexpr std::size_t kPrintTextWidth = 32;
inline constexpr std::size_t kMachineNumber = 495;    // u8, 0..98 shown as 1..99
inline constexpr std::size_t kOptions1 = 496;         // u32
inline constexpr std::size_t kOptions2 = 500;         // u32
inline constexpr std::size_t kReceiptLimit = 504;     // i32, 2 decimals
inline constexpr std::size_t kBarcodePrefixes = 508;  // u8 x 5
inline constexpr std::size_t kBarcodeFormats = 513;   // u8 x 5
inline constexpr std::size_t kPosPorts = 518;         // u16 x 3
inline constexpr std::size_t kPos1Name = 524;         // text 4
inline constexpr std::size_t kTechnicianCode = 528;   // i32
inline constexpr std::size_t kRegisterIp = 532;       // 4 octets
inline constexpr std::size_t kNetMask = 536;
inline constexpr std::size_t kGateway = 540;
inline constexpr std::size_t kTaxAuthorityUrl = 544;  // text 48
inline constexpr std::size_t kPos1Ip = 592;
inline constexpr std::size_t kPos2Ip = 596;
inline constexpr std::size_t kPos3Ip = 600;
inline constexpr std::size_t kPos2Name = 604;  // text 4
inline constexpr std::size_t kDnsIp = 608;
inline constexpr std::size_t kPos3Name = 612;      // text 4
inline constexpr std::size_t kFirmwareUrl = 616;   // text 32
inline constexpr std::size_t kAesKey = 648;        // text 64, hexadecimal
inline constexpr std::size_t kQrUrl = 712;         // text 48
inline constexpr std::size_t kEftPosKeyUrl = 760;  // text 48
inline constexpr std::size_t kAesKeyUrl = 808;     // text 48
inline constexpr std::size_t kPosIds = 856;        // text 10 x 3
inline constexpr std::size_t kReserved = 886;      // 2 bytes, kept zero

inline constexpr std::size_t kUrlWidth = 48;
inline constexpr std::size_t kFirmwareUrlWidth = 32;
inline constexpr std::size_t kAesKeyWidth = 64;
inline constexpr std::size_t kPosNameWidth = 4;
inline constexpr std::size_t kPosIdWidth = 10;
}  // namespace param

namespace item {
inline constexpr std::size_t kPrice = 0;  // i32
inline constexpr std::size_t kName = 4;   // text 26
inline constexpr std::size_t kNameWidth = 26;
inline constexpr std::size_t kPriceDecimals = 30;  // u8, 2..5
inline constexpr std::size_t kCategory = 31;       // u8 index 0..29
inline constexpr std::size_t kDepartment = 32;     // u8 index 0..23
inline constexpr std::size_t kFromScale = 33;      // u8 flag
inline constexpr std::size_t kBarcode = 34;        // text 13, digits
inline constexpr std::size_t kBarcodeWidth = 13;
inline constexpr std::size_t kReserved = 47;
}  // namespace item

inline constexpr std::size_t kShortNameWidth = 12;  // payment, category, operator names

namespace department {
inline constexpr std::size_t kLimit = 0;       // i32, 2 decimals
inline constexpr std::size_t kFixedPrice = 4;  // i32, decimals at kPriceDecimals
inline constexpr std::size_t kName = 8;        // text 26
inline constexpr std::size_t kNameWidth = 26;
inline constexpr std::size_t kVat = 34;       // u8 0..4 (Α..Ε)
inline constexpr std::size_t kCategory = 35;  // u8 0..29
inline constexpr std::size_t kPriceDecimals = 36;
inline constexpr std::size_t kClosesReceipt = 37;
inline constexpr std::size_t kFromScale = 38;
inline constexpr std::size_t kReserved = 39;
}  // namespace department

namespace op {
inline constexpr std::size_t kName = 0;   // text 12
inline constexpr std::size_t kCode = 12;  // i32
}  // namespace op

namespace customer {
inline constexpr std::size_t kCompany = 0;      // text 32
inline constexpr std::size_t kProfession = 32;  // text 32
inline constexpr std::size_t kAddress = 64;     // text 32
inline constexpr std::size_t kTaxOffice = 96;   // text 32
inline constexpr std::size_t kTextWidth = 32;
inline constexpr std::size_t kPhone = 128;  // text 16, digits
inline constexpr std::size_t kPhoneWidth = 16;
inline constexpr std::size_t kTaxNumber = 144;  // i32, 1..999999999; 0 = empty slot
inline constexpr std::int32_t kMaxTaxNumber = 999999999;
}  // namespace customer

inline constexpr std::size_t kCustomerMessageWidth = 21;

}  // namespace zel
