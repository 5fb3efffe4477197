#include "data_image.h"

#include <algorithm>
#include <cstring>

#include "convert.h"
#include "cp1253.h"
#include "options.h"

namespace zel {

void StoreText(Bytes field, std::string_view text) {
  if (text.empty()) {
    std::fill(field.begin(), field.end(), std::uint8_t{0});
    return;
  }
  std::fill(field.begin(), field.end(), std::uint8_t{' '});
  const std::size_t n = std::min(field.size(), text.size());
  std::memcpy(field.data(), text.data(), n);
}

std::string TextOf(ConstBytes field) {
  std::size_t n = field.size();
  while (n > 0 && (field[n - 1] == ' ' || field[n - 1] == 0)) --n;
  return std::string(reinterpret_cast<const char*>(field.data()), n);
}

std::int32_t DefaultOperatorCode(int index) { return 1001 + index; }

static_assert(kDefaultTaxAuthorityUrl.size() < param::kUrlWidth);
static_assert(kDefaultQrUrl.size() < param::kUrlWidth);
static_assert(kDefaultEftPosKeyUrl.size() < param::kUrlWidth);
static_assert(kDefaultAesKeyUrl.size() < param::kUrlWidth);
static_assert(kDefaultFirmwareUrl.size() < param::kFirmwareUrlWidth);

DataImage::DataImage() : bytes_(std::make_unique<ImageBytes>()) {
  bytes_->fill(0);
  ResetToDefaults();
}

DataImage::DataImage(const DataImage& other)
    : state(other.state), bytes_(std::make_unique<ImageBytes>(*other.bytes_)) {}

DataImage& DataImage::operator=(const DataImage& other) {
  if (this != &other) {
    *bytes_ = *other.bytes_;
    state = other.state;
  }
  return *this;
}

DataImage::DataImage(DataImage&& other) noexcept : state(std::move(other.state)), bytes_(std::move(other.bytes_)) {}

DataImage& DataImage::operator=(DataImage&& other) noexcept {
  if (this != &other) {
    bytes_ = std::move(other.bytes_);
    state = std::move(other.state);
  }
  return *this;
}

DataImage::~DataImage() = default;

void DataImage::TakeTransferred(const DataImage& transferred) {
  if (this == &transferred) return;
  *bytes_ = *transferred.bytes_;
  state.customer_message = transferred.state.customer_message;
  state.logo_present = transferred.state.logo_present;
  state.send_tax_codes_request = transferred.state.send_tax_codes_request;
  state.modified = transferred.state.modified;
}

namespace {

// "NAME nn": the name, a blank and n in two positions (leading blank below 10).
std::string Numbered(std::string_view utf8_name, int n) {
  return cp1253::Encode(utf8_name) + ' ' + FormatUnsignedText(static_cast<std::uint16_t>(n), 2, 0);
}

// URLs are stored with their terminating zero and zeros after it.
void StoreUrl(Bytes field, std::string_view url) {
  std::fill(field.begin(), field.end(), std::uint8_t{0});
  std::memcpy(field.data(), url.data(), url.size());
}

}  // namespace

void DataImage::ResetToDefaults() {
  // 1. No graphic logo.
  std::ranges::fill(logo(), std::uint8_t{0});

  // 2. Parameter block.
  std::ranges::fill(block(Block::kParameters), std::uint8_t{0});
  Parameters p = parameters();
  for (int n = 1; n <= kPrintLineCount; ++n) p.print_size(n) = '1';
  StoreText(p.print_line(1), "  SETUP ZEL");
  p.print_size(1) = '4';
  StoreText(p.print_line(5), cp1253::Encode("ΑΦΜ: 000000000"));
  p.print_size(5) = '3';
  p.set_options1(kDefaultOptions1);
  p.set_options2(kDefaultOptions2);
  p.set_technician_code(kDefaultTechnicianCode);
  p.set_ip(param::kRegisterIp, {192, 168, 1, 50});
  p.set_ip(param::kNetMask, {255, 255, 255, 0});
  p.set_ip(param::kGateway, {192, 168, 1, 1});
  StoreUrl(p.tax_authority_url(), kDefaultTaxAuthorityUrl);
  StoreUrl(p.qr_url(), kDefaultQrUrl);
  StoreUrl(p.eft_pos_key_url(), kDefaultEftPosKeyUrl);
  StoreUrl(p.aes_key_url(), kDefaultAesKeyUrl);
  StoreUrl(p.firmware_url(), kDefaultFirmwareUrl);

  // 3. Items: all empty with price decimals 2; items 1 to 5 named.
  std::ranges::fill(block(Block::kItems), std::uint8_t{0});
  for (int i = 0; i < kItemCount; ++i) item(i).set_price_decimals(2);
  for (int n = 1; n <= 5; ++n) {
    Item it = item(n - 1);
    it.set_price(100 * n);
    StoreText(it.name(), cp1253::Encode("ΕΙΔΟΣ ") + static_cast<char>('0' + n));
    it.set_category(0);
    it.set_department(static_cast<std::uint8_t>(n - 1));
  }

  // 4. Payments.
  std::ranges::fill(block(Block::kPayments), std::uint8_t{0});
  StoreText(payment(0), cp1253::Encode("ΜΕΤΡΗΤΑ"));
  StoreText(payment(1), cp1253::Encode("ΚΑΡΤΑ"));
  StoreText(payment(2), cp1253::Encode("ΕΠΙΤΑΓΗ"));

  // 5. VAT rates of Α to Δ in hundredths of a percent.
  static constexpr std::uint16_t kRates[] = {600, 1300, 2400, 3600};
  for (int i = 0; i < kVatRateCount; ++i) set_vat_rate(i, kRates[i]);

  // 6. Categories.
  for (int n = 1; n <= kCategoryCount; ++n) StoreText(category(n - 1), Numbered("ΚΑΤΗΓΟΡΙΑ", n));

  // 7. Departments: 1 to 5 carry VAT Α to Ε with no limit; 6 to 24 VAT Ε with
  // a limit of 0,01.
  std::ranges::fill(block(Block::kDepartments), std::uint8_t{0});
  for (int n = 1; n <= kDepartmentCount; ++n) {
    Department d = department(n - 1);
    StoreText(d.name(), Numbered("ΤΜΗΜΑ", n));
    d.set_price_decimals(2);
    d.set_vat(static_cast<std::uint8_t>(n <= 5 ? n - 1 : 4));
    d.set_limit(n <= 5 ? 0 : 1);
  }

  // 8. Operators.
  std::ranges::fill(block(Block::kOperators), std::uint8_t{0});
  for (int n = 1; n <= kOperatorCount; ++n) {
    Operator o = op(n - 1);
    StoreText(o.name(), Numbered("ΧΕΙΡΙΣΤΗΣ", n));
    o.set_code(DefaultOperatorCode(n - 1));
  }

  // 9. The customer table is left as it is.
  state.send_tax_codes_request = false;
}

}  // namespace zel
