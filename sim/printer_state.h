// What the simulated register keeps in its fiscal-printer mode: the receipt
// in progress, the day's totals that the X and Z reports print, the Z
// counter, the commands it received and the paper it printed. Plain data;
// fiscal_printer.h works on it. Amounts are in cents, quantities in
// thousandths; texts are code page 1253 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zel::sim {

// Where the receipt stands.
enum class ReceiptStage : std::uint8_t {
  kNone,     // between receipts
  kSale,     // lines may be added
  kPayment,  // a payment has begun: only payments and the total void
  kCashOut,  // "6/1/" opened a cash withdrawal; a payment gives its amount
  kCashIn,   // "6/2/" opened a cash deposit
};

// One line of the open receipt.
struct ReceiptLine {
  enum class Kind : std::uint8_t { kSale, kReturn, kVoid, kTicket, kDiscount, kSurcharge };
  Kind kind = Kind::kSale;
  std::string description;
  std::int64_t quantity = 0;  // thousandths (sales)
  std::int64_t price = 0;     // cents (sales)
  std::int64_t amount = 0;    // cents, signed as it counts in the total
  int department = 0;         // 1..24 (sales)
  std::string rate;           // VAT rate text as sent ("13,00")
  bool on_subtotal = false;   // discounts and surcharges
  bool adjusted = false;      // a sale line that has had its discount or surcharge
  bool cancelled = false;     // a discount or surcharge taken back by a later one
};

// The day's figures since the last Z.
struct DayTotals {
  int receipts = 0;         // closed by payment
  int voided_receipts = 0;  // ended by the total void
  std::int64_t sales = 0;   // receipt totals of the closed receipts
  std::int64_t returns = 0;
  std::int64_t voids = 0;
  std::int64_t discounts = 0;
  std::int64_t surcharges = 0;
  std::int64_t tickets = 0;
  std::int64_t cash_in = 0;
  std::int64_t cash_out = 0;
  std::array<std::int64_t, 3> payments{};        // by type: cash, card, cheque (change taken off cash)
  std::map<std::string, std::int64_t> by_rate;   // net sales by VAT rate text
  std::array<std::int64_t, 24> by_department{};  // net sales by department
  struct Item {
    std::int64_t quantity = 0;
    std::int64_t amount = 0;
  };
  std::map<std::string, Item> items;  // by description
  bool Empty() const { return receipts == 0 && voided_receipts == 0 && cash_in == 0 && cash_out == 0; }
};

// A Z taken in fiscal-printer mode.
struct ZRecord {
  int number = 0;
  std::uint32_t time = 0;  // seconds since 2000-01-01 00:00:00
  DayTotals totals;
};

struct PrinterState {
  ReceiptStage stage = ReceiptStage::kNone;
  bool subtotal_taken = false;  // "9/" was sent in the open receipt
  std::vector<ReceiptLine> lines;
  std::int64_t total = 0;  // of the open (or the last) receipt
  std::int64_t paid = 0;
  int receipt_number = 0;  // receipts of the day, the open one included
  int next_z = 0;          // the number the next Z gets; 0 until known from the fiscal memory
  DayTotals day;
  std::vector<ZRecord> z_reports;                // taken since the start
  std::vector<std::string> last_z;               // the last Z as printed, for its copy
  std::deque<std::string> commands;              // command texts received, the last kKeep
  std::deque<std::string> paper;                 // printed lines, the last kKeep
  std::uint64_t paper_lines = 0;                 // printed since the start
  std::function<void(const std::string&)> sink;  // sees every printed line (code page 1253)
  static constexpr std::size_t kKeep = 10000;
};

}  // namespace zel::sim
