// The data image: the one in-memory copy of everything the program can
// program into a register, as nine fixed blocks of fixed-width records (see
// layout.h), plus the run-time state that lives beside it but is not stored.
//
// The bytes are kept exactly as the .cld file and the wire carry them: texts
// are code page 1253, integers little-endian. The typed record views below
// read and write fields in place; they never copy or re-encode a byte that is
// not being changed.
//
// There is no global instance: whoever needs the image is handed one, so a
// test can hold two side by side. Not thread-safe; the owner decides who may
// touch it. The window's image is the UI thread's alone: a transfer works on
// a copy and the window takes what it brought (TakeTransferred).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "bytes.h"
#include "layout.h"

namespace zel {

using Bytes = std::span<std::uint8_t>;
using ConstBytes = std::span<const std::uint8_t>;
using ImageBytes = std::array<std::uint8_t, kImageSize>;

// ---- Fixed-width texts --------------------------------------------------
// A text field holding text is padded with blanks to its width; an empty one
// is all zero bytes; there is no terminator.

// Stores `text` (code page 1253 bytes) into `field`: the first width bytes,
// blank-padded; an empty text clears the field to zero bytes.
void StoreText(Bytes field, std::string_view text);
// The field's text without trailing blanks and zero bytes.
std::string TextOf(ConstBytes field);

// ---- Record views ---------------------------------------------------------
// A view is a pointer to one record inside the image; B is std::uint8_t for a
// writable view and const std::uint8_t for a read-only one.

template <class B>
class RecordView {
 public:
  explicit RecordView(B* p) : p_(p) {}
  B* data() const { return p_; }
  std::span<B> Field(std::size_t offset, std::size_t width) const { return {p_ + offset, width}; }

 protected:
  static constexpr bool kWritable = !std::is_const_v<B>;
  std::int32_t I32(std::size_t o) const { return le::GetI32(p_ + o); }
  std::uint16_t U16(std::size_t o) const { return le::Get16(p_ + o); }
  void SetI32(std::size_t o, std::int32_t v) const requires kWritable { le::PutI32(p_ + o, v); }
  void SetU16(std::size_t o, std::uint16_t v) const requires kWritable { le::Put16(p_ + o, v); }
  B* p_;
};

// Price decimals outside 2..5 are shown (and exported) as 2.
inline int ShownDecimals(std::uint8_t d) { return d >= 2 && d <= 5 ? d : 2; }

template <class B>
class ItemT : public RecordView<B> {
  using RecordView<B>::p_;

 public:
  using RecordView<B>::RecordView;
  std::int32_t price() const { return this->I32(item::kPrice); }
  std::span<B> name() const { return this->Field(item::kName, item::kNameWidth); }
  std::uint8_t price_decimals() const { return p_[item::kPriceDecimals]; }
  std::uint8_t category() const { return p_[item::kCategory]; }
  std::uint8_t department() const { return p_[item::kDepartment]; }
  std::uint8_t from_scale() const { return p_[item::kFromScale]; }
  std::span<B> barcode() const { return this->Field(item::kBarcode, item::kBarcodeWidth); }
  // An item slot is empty when its name starts with a zero byte.
  bool empty() const { return p_[item::kName] == 0; }

  void set_price(std::int32_t v) const requires RecordView<B>::kWritable { this->SetI32(item::kPrice, v); }
  void set_price_decimals(std::uint8_t v) const requires RecordView<B>::kWritable { p_[item::kPriceDecimals] = v; }
  void set_category(std::uint8_t v) const requires RecordView<B>::kWritable { p_[item::kCategory] = v; }
  void set_department(std::uint8_t v) const requires RecordView<B>::kWritable { p_[item::kDepartment] = v; }
  void set_from_scale(std::uint8_t v) const requires RecordView<B>::kWritable { p_[item::kFromScale] = v; }
};

template <class B>
class DepartmentT : public RecordView<B> {
  using RecordView<B>::p_;

 public:
  using RecordView<B>::RecordView;
  std::int32_t limit() const { return this->I32(department::kLimit); }
  std::int32_t fixed_price() const { return this->I32(department::kFixedPrice); }
  std::span<B> name() const { return this->Field(department::kName, department::kNameWidth); }
  std::uint8_t vat() const { return p_[department::kVat]; }
  std::uint8_t category() const { return p_[department::kCategory]; }
  std::uint8_t price_decimals() const { return p_[department::kPriceDecimals]; }
  std::uint8_t closes_receipt() const { return p_[department::kClosesReceipt]; }
  std::uint8_t from_scale() const { return p_[department::kFromScale]; }

  void set_limit(std::int32_t v) const requires RecordView<B>::kWritable { this->SetI32(department::kLimit, v); }
  void set_fixed_price(std::int32_t v) const requires RecordView<B>::kWritable {
    this->SetI32(department::kFixedPrice, v);
  }
  void set_vat(std::uint8_t v) const requires RecordView<B>::kWritable { p_[department::kVat] = v; }
  void set_category(std::uint8_t v) const requires RecordView<B>::kWritable { p_[department::kCategory] = v; }
  void set_price_decimals(std::uint8_t v) const requires RecordView<B>::kWritable {
    p_[department::kPriceDecimals] = v;
  }
  void set_closes_receipt(std::uint8_t v) const requires RecordView<B>::kWritable {
    p_[department::kClosesReceipt] = v;
  }
  void set_from_scale(std::uint8_t v) const requires RecordView<B>::kWritable { p_[department::kFromScale] = v; }
};

template <class B>
class OperatorT : public RecordView<B> {
 public:
  using RecordView<B>::RecordView;
  std::span<B> name() const { return this->Field(op::kName, kShortNameWidth); }
  std::int32_t code() const { return this->I32(op::kCode); }
  void set_code(std::int32_t v) const requires RecordView<B>::kWritable { this->SetI32(op::kCode, v); }
};

template <class B>
class CustomerT : public RecordView<B> {
 public:
  using RecordView<B>::RecordView;
  std::span<B> company() const { return this->Field(customer::kCompany, customer::kTextWidth); }
  std::span<B> profession() const { return this->Field(customer::kProfession, customer::kTextWidth); }
  std::span<B> address() const { return this->Field(customer::kAddress, customer::kTextWidth); }
  std::span<B> tax_office() const { return this->Field(customer::kTaxOffice, customer::kTextWidth); }
  std::span<B> phone() const { return this->Field(customer::kPhone, customer::kPhoneWidth); }
  std::int32_t tax_number() const { return this->I32(customer::kTaxNumber); }
  // A customer slot whose tax number is 0 is empty.
  bool empty() const { return tax_number() == 0; }
  void set_tax_number(std::int32_t v) const requires RecordView<B>::kWritable { this->SetI32(customer::kTaxNumber, v); }
};

using IPv4 = std::array<std::uint8_t, 4>;  // first octet first

template <class B>
class ParametersT : public RecordView<B> {
  using RecordView<B>::p_;
  static constexpr bool W = RecordView<B>::kWritable;

 public:
  using RecordView<B>::RecordView;
  // Print line n is 1..15.
  std::span<B> print_line(int n) const {
    return this->Field(param::kPrintLines + param::kPrintLineSize * static_cast<std::size_t>(n - 1),
                       param::kPrintTextWidth);
  }
  B& print_size(int n) const {
    return p_[param::kPrintLines + param::kPrintLineSize * static_cast<std::size_t>(n - 1) + param::kPrintTextWidth];
  }
  std::uint8_t machine_number() const { return p_[param::kMachineNumber]; }
  std::uint32_t options1() const { return le::Get32(p_ + param::kOptions1); }
  std::uint32_t options2() const { return le::Get32(p_ + param::kOptions2); }
  std::uint32_t options(int word) const { return word == 1 ? options1() : options2(); }
  std::int32_t receipt_limit() const { return this->I32(param::kReceiptLimit); }
  std::uint8_t barcode_prefix(int n) const { return p_[param::kBarcodePrefixes + static_cast<std::size_t>(n - 1)]; }
  std::uint8_t barcode_format(int n) const { return p_[param::kBarcodeFormats + static_cast<std::size_t>(n - 1)]; }
  std::uint16_t pos_port(int n) const { return this->U16(param::kPosPorts + 2 * static_cast<std::size_t>(n - 1)); }
  std::span<B> pos_name(int n) const {
    static constexpr std::size_t kOffsets[] = {param::kPos1Name, param::kPos2Name, param::kPos3Name};
    return this->Field(kOffsets[n - 1], param::kPosNameWidth);
  }
  std::span<B> pos_id(int n) const {
    return this->Field(param::kPosIds + param::kPosIdWidth * static_cast<std::size_t>(n - 1), param::kPosIdWidth);
  }
  std::size_t pos_ip_offset(int n) const {
    static constexpr std::size_t kOffsets[] = {param::kPos1Ip, param::kPos2Ip, param::kPos3Ip};
    return kOffsets[n - 1];
  }
  std::int32_t technician_code() const { return this->I32(param::kTechnicianCode); }
  IPv4 ip(std::size_t offset) const { return {p_[offset], p_[offset + 1], p_[offset + 2], p_[offset + 3]}; }
  std::span<B> tax_authority_url() const { return this->Field(param::kTaxAuthorityUrl, param::kUrlWidth); }
  std::span<B> firmware_url() const { return this->Field(param::kFirmwareUrl, param::kFirmwareUrlWidth); }
  std::span<B> aes_key() const { return this->Field(param::kAesKey, param::kAesKeyWidth); }
  std::span<B> qr_url() const { return this->Field(param::kQrUrl, param::kUrlWidth); }
  std::span<B> eft_pos_key_url() const { return this->Field(param::kEftPosKeyUrl, param::kUrlWidth); }
  std::span<B> aes_key_url() const { return this->Field(param::kAesKeyUrl, param::kUrlWidth); }

  void set_machine_number(std::uint8_t v) const requires W { p_[param::kMachineNumber] = v; }
  void set_options1(std::uint32_t v) const requires W { le::Put32(p_ + param::kOptions1, v); }
  void set_options2(std::uint32_t v) const requires W { le::Put32(p_ + param::kOptions2, v); }
  void set_options(int word, std::uint32_t v) const requires W { word == 1 ? set_options1(v) : set_options2(v); }
  void set_receipt_limit(std::int32_t v) const requires W { this->SetI32(param::kReceiptLimit, v); }
  void set_barcode_prefix(int n, std::uint8_t v) const requires W {
    p_[param::kBarcodePrefixes + static_cast<std::size_t>(n - 1)] = v;
  }
  void set_barcode_format(int n, std::uint8_t v) const requires W {
    p_[param::kBarcodeFormats + static_cast<std::size_t>(n - 1)] = v;
  }
  void set_pos_port(int n, std::uint16_t v) const requires W {
    this->SetU16(param::kPosPorts + 2 * static_cast<std::size_t>(n - 1), v);
  }
  void set_technician_code(std::int32_t v) const requires W { this->SetI32(param::kTechnicianCode, v); }
  void set_ip(std::size_t offset, const IPv4& a) const requires W {
    for (std::size_t i = 0; i < 4; ++i) p_[offset + i] = a[i];
  }
};

using Item = ItemT<std::uint8_t>;
using ConstItem = ItemT<const std::uint8_t>;
using Department = DepartmentT<std::uint8_t>;
using ConstDepartment = DepartmentT<const std::uint8_t>;
using Operator = OperatorT<std::uint8_t>;
using ConstOperator = OperatorT<const std::uint8_t>;
using Customer = CustomerT<std::uint8_t>;
using ConstCustomer = CustomerT<const std::uint8_t>;
using Parameters = ParametersT<std::uint8_t>;
using ConstParameters = ParametersT<const std::uint8_t>;

// ---- Run-time state ------------------------------------------------------
// Lives beside the image from start to exit; never stored in the .cld file.

struct Selection {  // 0-based record numbers the editor panels show
  std::uint16_t item = 0;
  std::uint16_t department = 0;
  std::uint16_t category = 0;
  std::uint16_t op = 0;
  std::uint16_t payment = 0;
  std::uint16_t customer = 0;
};

using CustomerMessageLine = std::array<std::uint8_t, kCustomerMessageWidth>;

struct RunTimeState {
  bool modified = false;           // unsaved-changes flag
  std::string path;                // current database path; empty at start
  std::uint16_t active_panel = 0;  // 0 none, 1 logo, 2 other data, 3 items, 4 transfer, 5 console, 7 parameters
  Selection selected;
  // The two-line customer message travels with the parameter block but is not
  // part of the file; New and Open keep it.
  std::array<CustomerMessageLine, 2> customer_message{};
  // Non-zero when the logo preview should draw the bitmap: 1 after a BMP
  // load, 3 after reading the logo from the register.
  std::uint16_t logo_present = 0;
  bool send_tax_codes_request = false;
};

// ---- The image -----------------------------------------------------------

class DataImage {
 public:
  // A new image holds the default contents with an empty customer table.
  DataImage();
  DataImage(const DataImage& other);
  DataImage& operator=(const DataImage& other);
  DataImage(DataImage&& other) noexcept;
  DataImage& operator=(DataImage&& other) noexcept;
  ~DataImage();

  // -- Raw access (the file and the transfer move whole blocks and records)
  ImageBytes& raw() { return *bytes_; }
  const ImageBytes& raw() const { return *bytes_; }
  Bytes bytes() { return *bytes_; }
  ConstBytes bytes() const { return *bytes_; }
  Bytes block(Block b) { return bytes().subspan(Info(b).offset, Info(b).size()); }
  ConstBytes block(Block b) const { return bytes().subspan(Info(b).offset, Info(b).size()); }
  // Record `index` (0-based) of a table.
  Bytes record(Block b, int index) {
    return bytes().subspan(Info(b).offset + Info(b).record_size * static_cast<std::size_t>(index), Info(b).record_size);
  }
  ConstBytes record(Block b, int index) const {
    return bytes().subspan(Info(b).offset + Info(b).record_size * static_cast<std::size_t>(index), Info(b).record_size);
  }

  // -- Typed access by 0-based record index
  Bytes logo() { return block(Block::kLogo); }
  ConstBytes logo() const { return block(Block::kLogo); }
  Parameters parameters() { return Parameters(block(Block::kParameters).data()); }
  ConstParameters parameters() const { return ConstParameters(block(Block::kParameters).data()); }
  Item item(int i) { return Item(record(Block::kItems, i).data()); }
  ConstItem item(int i) const { return ConstItem(record(Block::kItems, i).data()); }
  Bytes payment(int i) { return record(Block::kPayments, i); }
  ConstBytes payment(int i) const { return record(Block::kPayments, i); }
  std::uint16_t vat_rate(int i) const { return le::Get16(record(Block::kVatRates, i).data()); }
  void set_vat_rate(int i, std::uint16_t v) { le::Put16(record(Block::kVatRates, i).data(), v); }
  Bytes category(int i) { return record(Block::kCategories, i); }
  ConstBytes category(int i) const { return record(Block::kCategories, i); }
  Department department(int i) { return Department(record(Block::kDepartments, i).data()); }
  ConstDepartment department(int i) const { return ConstDepartment(record(Block::kDepartments, i).data()); }
  Operator op(int i) { return Operator(record(Block::kOperators, i).data()); }
  ConstOperator op(int i) const { return ConstOperator(record(Block::kOperators, i).data()); }
  Customer customer(int i) { return Customer(record(Block::kCustomers, i).data()); }
  ConstCustomer customer(int i) const { return ConstCustomer(record(Block::kCustomers, i).data()); }

  // -- Modification
  // Fills every block except the customer table with the defaults of a new
  // database and clears the send tax-authority codes request. Path, the
  // unsaved-changes flag and the logo present flag are left to the callers.
  void ResetToDefaults();
  // What a transfer brought into `transferred`, a copy of this image the
  // transfer worked on: the data and what travels with it (the customer
  // message, the logo present flag, the tax-authority codes request, the
  // unsaved-changes flag). The path, the shown panel and the selected
  // records stay this image's own.
  void TakeTransferred(const DataImage& transferred);

  bool operator==(const DataImage& other) const { return *bytes_ == *other.bytes_; }

  RunTimeState state;

 private:
  std::unique_ptr<ImageBytes> bytes_;
};

// Puts the unsaved-changes flag back as it was when the guard was made, at
// its end (and at Restore): what loads fields into controls, shows or hides
// a panel never counts as a change of the database.
class KeepUnsavedFlag {
 public:
  explicit KeepUnsavedFlag(DataImage& image) : image_(image), modified_(image.state.modified) {}
  ~KeepUnsavedFlag() { Restore(); }
  KeepUnsavedFlag(const KeepUnsavedFlag&) = delete;
  KeepUnsavedFlag& operator=(const KeepUnsavedFlag&) = delete;
  void Restore() { image_.state.modified = modified_; }

 private:
  DataImage& image_;
  bool modified_;
};

// Defaults chosen for a new database (the program's own choices).
inline constexpr std::int32_t kDefaultTechnicianCode = 270513;
std::int32_t DefaultOperatorCode(int index);  // operator index 0..24
inline constexpr std::string_view kDefaultTaxAuthorityUrl = "http://www1.aade.gr/eafdss/myweb/websend.php";
inline constexpr std::string_view kDefaultQrUrl = "https://www1.aade.gr/tameiakes/myweb/q1.php";
inline constexpr std::string_view kDefaultEftPosKeyUrl = "http://www1.aade.gr/eafdss/myweb/fhmmk.php";
inline constexpr std::string_view kDefaultAesKeyUrl = "http://www1.aade.gr/eafdss/myweb/aeskey.php";
inline constexpr std::string_view kDefaultFirmwareUrl = "http://firmware.velor.gr";

}  // namespace zel
