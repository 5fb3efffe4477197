// The console played from a list of keys, as `zelctl fp keys` takes them,
// and what a whole run comes to: one outcome and its exit status, so that a
// script can tell a printed receipt from a void, a refusal, a register that
// never answered and a command whose effect is unknown.
//
// A step is a number typed into the entry field ("2", "2,50"), a key named as
// on the panel ("ΤΜ 3", "ΕΙΔΟΣ", "ΣΥΝΟΛΟ", …), `text:LINE` (a line of the
// extra text, UTF-8), `mark:ΑΛΛΑΓΗ` / `mark:ΑΚΥΡΩΣΗ`, `pay:ΚΑΡΤΑ` (the payment
// type) or `box:ΑΝΑΛ.` (a report box).
//
// Exit status of a run:
//   0  the receipt was closed by its payment with nothing due, or every
//      report or utility command was accepted
//   1  refused or voided: nothing was left open
//   2  nothing was carried out for sure (the link never opened, nothing sent)
//   3  unknown: a command may have been carried out (a lost reply to a Z, a
//      payment with the register unreachable afterwards)
// Only 1 and 2 may be repeated blindly.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "console/sales_console.h"

namespace zel {

struct KeyStep {
  enum class Kind { kValue, kText, kChangeMark, kVoidMark, kPaymentType, kReportBox, kKey };
  Kind kind = Kind::kKey;
  std::int32_t value = 0;  // kValue: 3 decimals; kPaymentType: 0..2
  std::string text;        // kText: code page 1253; kReportBox: the caption
  KeyInfo key{};           // kKey
};

// The steps of `args`, or a message (Greek, UTF-8) that names the one that
// is not understood.
std::variant<std::vector<KeyStep>, std::string> ParseKeySteps(std::span<const std::string> args);

// What a run came to, gathered key by key.
class RunTally {
 public:
  void Add(KeyOutcome outcome);
  // Whether some command's effect is still unknown at the end of the run.
  void SetUnknown(bool unknown) { unknown_ = unknown; }
  // The link never opened, or the register's state could not be learnt
  // before anything was sent.
  void NothingSent() { not_sent_ = true; }
  int ExitStatus() const;
  // The outcome in words (Greek, UTF-8).
  std::string Words() const;
  bool printed() const { return printed_; }

 private:
  bool carried_out_ = false;  // something the register did (a line, a report, a void)
  bool printed_ = false;
  bool voided_ = false;
  bool refused_ = false;
  bool not_sent_ = false;
  bool unknown_ = false;
};

struct PlayOptions {
  bool keep_going = false;  // go on after a refused or unknown key
  // Called once the console is open, before the first step (the report
  // dates and Z numbers, which opening resets).
  std::function<void(SalesConsole&)> after_open;
  // Called with the receipt as it stands after the last key, before an open
  // receipt is voided.
  std::function<void(const SalesConsole&)> before_close;
};

// Opens the console as the panel does (a receipt left open on the register
// by an earlier run is voided: not this run's outcome), plays the steps,
// stopping at the first key that is refused, voided by a failure or of
// unknown outcome (unless keep_going), and closes it as the panel does (a
// receipt still open is voided).
RunTally PlayKeys(SalesConsole& console, std::span<const KeyStep> steps, const PlayOptions& options = {});

}  // namespace zel
