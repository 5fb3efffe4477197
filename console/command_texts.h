// The command texts of the fiscal printer mode, built from the data image
// and a few values: the sales, adjustments, payments, texts, customer and
// report commands. The sales console builds every key's command here, and so
// does anything else that rings up a receipt (the bridge for POS programs),
// so a register that accepts the console accepts them all.
//
// Texts are code page 1253 bytes. Amounts are hundredths, quantities
// thousandths; numbers are written with the decimal comma.
//
// A builder that would have to read outside a table (an item number outside
// 1 to 16000, an empty item, a department or VAT index that points past its
// table, a customer that is not there) gives nothing: a sale with a made-up
// rate would be a wrong tax on a fiscal receipt.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_image.h"

namespace zel {

// ---- Number texts (decimal comma) --------------------------------------------
// Amount: 7 integer positions, ",", 2 decimals, "-" before the first digit
// when negative; at most 6 leading blanks removed ("12,50"). The number
// removed is returned in `removed` when asked.
std::string AmountText(std::int32_t hundredths, int* removed = nullptr);
// Quantity: 6 integer positions, ",", 3 decimals; at most 6 leading blanks
// removed ("1,000").
std::string QuantityText(std::int32_t thousandths);
// Price: as the amount, with at most 9 - width leading blanks removed.
std::string PriceText(std::int32_t hundredths, int width, int* removed = nullptr);
// Rate: 2 integer positions blank-padded, ",", 2 decimals (" 6,00").
std::string RateText(std::int32_t hundredths);

// ---- Limits --------------------------------------------------------------------
inline constexpr int kReceiptLineLimit = 95;              // a line is refused once the index exceeds this
inline constexpr std::size_t kDepartmentExtraWidth = 30;  // first extra line of a department sale
inline constexpr std::size_t kItemExtraWidth = 12;        // first extra line of an item sale
inline constexpr std::size_t kDescriptionLineWidth = 12;  // each of the three extra description lines
inline constexpr std::size_t kDescriptionLines = 3;
inline constexpr std::size_t kCustomerLineWidth = 34;
inline constexpr std::size_t kCustomerLines = 6;
inline constexpr std::size_t kSaleNameWidth = 26;  // a department or item name on the wire
inline constexpr int kDepartmentSaleLimit = kDepartmentCount;

// ---- Sales -----------------------------------------------------------------------
// 'S' a sale, 'R' a return ("ΑΛΛΑΓΗ"), 'V' a line void ("ΑΚΥΡΩΣΗ").
enum class SaleMode : char { kSale = 'S', kReturn = 'R', kLineVoid = 'V' };

struct SaleCommand {
  std::string text;
  std::string quantity;  // the quantity and price texts as sent
  std::string price;
  int price_removed = 0;  // blanks removed from the price text
  int price_width = 2;
  std::string shown_name;  // the name the receipt list shows (code page 1253)
};

// "3/S/" name "/" extra "/" quantity "/" price "/" kk "/" rate "/" for
// department `department` (1 to 24). `price` 0 takes the department's fixed
// price and price decimals; another price is sold with 2 decimals.
// `name` replaces the department's name on the receipt when given (up to 26
// bytes); an empty stored name is sent as twelve 0xFF bytes. A quantity of 0
// counts as 1.
std::optional<SaleCommand> DepartmentSaleCommand(const DataImage& image, int department, std::int32_t price,
                                                 std::int32_t quantity, SaleMode mode, std::string_view extra_line,
                                                 std::optional<std::string_view> name = std::nullopt);
// "3/S/" name "/" extra "/" quantity "/" price "/" d "/" rate "/" for item
// `number` (1 to 16000) at its own price, or at `price` (2 decimals) when
// given; d is '1' plus the item's department index.
std::optional<SaleCommand> ItemSaleCommand(const DataImage& image, int number, std::int32_t quantity, SaleMode mode,
                                           std::string_view extra_line,
                                           std::optional<std::int32_t> price = std::nullopt);
// The VAT rate of department `department` (1 to 24) in hundredths; nothing
// when its VAT index points past the table. Category Ε has no stored rate: 0.
std::optional<std::int32_t> DepartmentRate(const DataImage& image, int department);

// ---- Adjustments -----------------------------------------------------------------
struct AdjustmentCommand {
  std::string text;
  std::string amount;  // the amount (or percentage) text as sent
  int removed = 0;     // blanks removed from it
  std::string label;   // the label as the display shows it (16 bytes)
};

// "4/" amount "/" label "//" k "/" t "/" m "/": a discount or surcharge of
// `value` hundredths (a percentage when `percent`, 10,00 % as 1000) on the
// last line or the subtotal; `take_back` undoes the last line's.
AdjustmentCommand Adjustment(bool surcharge, bool subtotal, bool percent, std::int32_t value, bool take_back);

// ---- Payments and cash ---------------------------------------------------------
inline constexpr std::string_view kCashOutCommand = "6/1/";  // an empty-receipt withdrawal
inline constexpr std::string_view kCashInCommand = "6/2/";   // an empty-receipt deposit

// The 12-byte name of payment record `type` (0 to 4).
std::string PaymentName(const DataImage& image, int type);
// "5/" p "/" amount "/" name "///" with p = '1' + type; an amount of 0 pays
// what is due.
std::string PaymentCommand(const DataImage& image, int type, std::int32_t amount);

// ---- Texts and customer ----------------------------------------------------------
// "j/" (or "J/" right after a subtotal) and the first three lines, each cut to
// 12 bytes and followed by "/".
std::string ExtraDescriptionCommand(std::span<const std::string> lines, bool after_subtotal);
// "2/" and the six fields of customer `number` (1 to 1000); nothing when
// there is no such customer or its company name is empty.
std::optional<std::string> CustomerCommand(const DataImage& image, int number);
// "2/" and the first (up to) six lines, each cut to 34 bytes; nothing unless
// there is exactly one line or six or more.
std::optional<std::string> CustomerLinesCommand(std::span<const std::string> lines);
// "m/" amount "/ΕΙΣΙΤΗΡΙΑ/".
std::string TicketsCommand(std::int32_t amount);

// ---- Fixed commands ----------------------------------------------------------------
inline constexpr std::string_view kSubtotalCommand = "9/";
inline constexpr std::string_view kTotalVoidCommand = "+/";
inline constexpr std::string_view kStatusCommand = "?/";
inline constexpr std::string_view kPaperFeedCommand = "w/1/6/";
inline constexpr std::string_view kDrawerCommand = "q/";
inline constexpr std::string_view kTransferInCommand = "x/10/";
inline constexpr std::string_view kTransferOutCommand = "x/11/";

// ---- Reports ---------------------------------------------------------------------------
inline constexpr std::string_view kDailyZCommand = "x/7/1/1/";
inline constexpr std::string_view kCopyLastZCommand = "x/7/0/0/";
inline constexpr std::string_view kReportXCommand = "x/1///";
inline constexpr std::string_view kReportItemsCommand = "x/3///";
inline constexpr std::string_view kReportOperatorsCommand = "x/6/1/25/";
inline constexpr std::string_view kReportElectronicFilesCommand = "x/9///";

struct FiscalMemoryRange {
  bool last_3z = false;                      // the last three Z: no range
  bool by_date = false;                      // the dates below, else the Z numbers
  std::uint32_t from_date = 0, to_date = 0;  // seconds since 2000-01-01 00:00:00
  std::uint16_t from_z = 0, to_z = 0;
  bool detailed = false;
  bool paehps = false;
};
// "x/0/" k "/" and the range.
std::string FiscalMemoryCommand(const FiscalMemoryRange& range);

// ---- Replies ---------------------------------------------------------------------------
// The status number of a status reply ("?/"): the digits of its 9th and 10th
// bytes; nothing when the reply is shorter or they are not digits.
std::optional<int> StatusNumber(std::string_view reply);
inline constexpr int kStatusReceiptOpen = 4;  // bit 2: a receipt is open
// The amount-due field of a subtotal reply: the field after the ninth "/",
// at most 10 bytes; nothing when the reply has no such field.
std::optional<std::string_view> AmountDueField(std::string_view reply);

}  // namespace zel
