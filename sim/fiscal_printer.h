// The register's fiscal-printer mode: it carries out the command texts the
// program's console sends and answers each with a reply text, keeping the
// receipt, the day's totals, the Z counter and the paper (printer_state.h).
//
// Reply text (every reply, at most 49 bytes):
//   SS/NNNN/TT/
//   SS    status: "00" accepted, "01" unknown command or wrong fields,
//         "02" not allowed now (a report or "x/" command during a receipt,
//         a line after the payment began, a payment or void with no
//         receipt, a line void with nothing to void), "03" a number out of
//         range (zero or too large quantity, price or amount, a discount
//         above what it applies to, a card or cheque payment above the
//         amount due, a total above 99999,99), "04" the command frame was
//         damaged (its check digits or checks were wrong), "92" paper end.
//         Only "00" changes anything; the checks run in that order: fields,
//         then the moment, then the numbers.
//   NNNN  the receipt number of the day (the open receipt, else the last one;
//         0000 after a Z), four digits
//   TT    the status number, two decimal digits (bytes 9 and 10 of the text):
//         1 = the day has transactions since the last Z, 2 = a subtotal was
//         taken in the open receipt, 4 = a receipt (or cash movement) is
//         open, 8 = its payment has begun
// The subtotal "9/" adds, after the ninth "/", the amount due:
//   SS/NNNN/TT/LLL/TOTAL/PAID////DUE/
//   LLL lines of the receipt (three digits), TOTAL and PAID amounts of the
//   receipt (decimal comma, "12,50"), three fields kept empty, DUE the amount
//   still due ("0,00" when paid, and between receipts, where the figures are
//   those of the last receipt).
//
// Commands (fields end in "/"; amounts in cents, quantities in thousandths,
// both with a decimal comma):
//   3/S|R|V/desc/extra/qty/price/dept/rate/  sale, return (R) or line void (V)
//       dept "01".."24", or one character '1' + department index
//   4/amount/label//k/t/m/   discount (k 0) or surcharge (1) on the last line
//       (t 0) or the subtotal (1), an amount (m 1) or a percentage (m 0);
//       k 4 and 5 take back the last line's discount or surcharge
//   5/p/amount/name///       payment of type p (1 cash, 2 card, 3 cheque);
//       amount 0 pays what is due; closes the receipt when nothing is due
//   6/1/, 6/2/               cash withdrawal or deposit, whose amount the
//       following payment gives
//   9/ subtotal  +/ total void  j/l1/l2/l3/ and J/.. extra texts
//   2/f1/../f6/ customer     m/amount/label/ tickets   ?/ status
//   w/1/n/ paper feed        q/ drawer
//   x/10/, x/11/, x/7/1/1/ (Z), x/7/0/0/ (copy of the last Z), x/1/// (X),
//   x/3/// (items), x/6/a/b/ (operators a..b), x/9/// (electronic files),
//   x/0/k/... fiscal memory: k 1-3 DDMMYY/hhmmss/DDMMYY/hhmmss/, k 4-6
//   ZZZZ/ZZZZ/, k 7 the last three Z; all only between receipts.
#pragma once

#include <string>
#include <string_view>

#include "sim/register_memory.h"

namespace zel::sim::printer {

inline constexpr std::string_view kAccepted = "00";
inline constexpr std::string_view kBadCommand = "01";
inline constexpr std::string_view kNotNow = "02";
inline constexpr std::string_view kOutOfRange = "03";
inline constexpr std::string_view kDamaged = "04";
inline constexpr std::string_view kPaperEnd = "92";

inline constexpr int kStatusDayOpen = 1;
inline constexpr int kStatusSubtotal = 2;
inline constexpr int kStatusReceiptOpen = 4;
inline constexpr int kStatusPayment = 8;

inline constexpr std::size_t kMaxReply = 49;
inline constexpr std::int64_t kMaxAmount = 9'999'999;  // 99999,99
inline constexpr std::size_t kMaxLines = 120;
inline constexpr std::size_t kPaperWidth = 32;

// Carries out one command text and returns its reply text.
std::string Execute(RegisterMemory& m, std::string_view text);

// The reply of a command that was not carried out.
std::string Refusal(const RegisterMemory& m, std::string_view status);

// The status number of the reply.
int StatusNumber(const PrinterState& p);

// 1250 -> "12,50"; -5 -> "-0,05".
std::string AmountText(std::int64_t cents);

// The number the next Z gets: after the fiscal memory's closures and the Z
// reports taken since.
int NextZ(RegisterMemory& m);

// Remembers a command text as received.
void RecordCommand(PrinterState& p, std::string_view text);

}  // namespace zel::sim::printer
