#include "console/key_script.h"

#include <algorithm>

#include "core/cp1253.h"

namespace zel {

std::variant<std::vector<KeyStep>, std::string> ParseKeySteps(std::span<const std::string> args) {
  std::vector<KeyStep> steps;
  for (const std::string& a : args) {
    KeyStep s;
    if (const std::optional<std::int32_t> v = ParseEntry(a); v && !a.empty()) {
      s.kind = KeyStep::Kind::kValue;
      s.value = *v;
    } else if (a.starts_with("text:")) {
      const std::optional<std::string> line = cp1253::FromUtf8(a.substr(5));
      if (!line) return "Η γραμμή δεν γράφεται στον κώδικα 1253: " + a.substr(5);
      s.kind = KeyStep::Kind::kText;
      s.text = *line;
    } else if (a == "mark:ΑΛΛΑΓΗ") {
      s.kind = KeyStep::Kind::kChangeMark;
    } else if (a == "mark:ΑΚΥΡΩΣΗ") {
      s.kind = KeyStep::Kind::kVoidMark;
    } else if (a.starts_with("pay:")) {
      const auto it = std::find(kPaymentCaptions.begin(), kPaymentCaptions.end(), a.substr(4));
      if (it == kPaymentCaptions.end()) return "Άγνωστος τρόπος πληρωμής: " + a.substr(4);
      s.kind = KeyStep::Kind::kPaymentType;
      s.value = static_cast<std::int32_t>(it - kPaymentCaptions.begin());
    } else if (a.starts_with("box:")) {
      s.kind = KeyStep::Kind::kReportBox;
      s.text = a.substr(4);
    } else if (const std::optional<KeyInfo> key = FindConsoleKey(a)) {
      s.kind = KeyStep::Kind::kKey;
      s.key = *key;
    } else {
      return "Άγνωστο πλήκτρο: " + a;
    }
    steps.push_back(std::move(s));
  }
  return steps;
}

// ---- The tally -------------------------------------------------------------------

void RunTally::Add(KeyOutcome outcome) {
  switch (outcome) {
    case KeyOutcome::kNone: break;
    case KeyOutcome::kDone: carried_out_ = true; break;
    case KeyOutcome::kPrinted: carried_out_ = printed_ = true; break;
    case KeyOutcome::kVoided: carried_out_ = voided_ = true; break;
    case KeyOutcome::kRefusal: refused_ = true; break;
    case KeyOutcome::kNotSent: not_sent_ = true; break;
    // Settled later (or not): the console says at the end of the run.
    case KeyOutcome::kUnknown: break;
  }
}

int RunTally::ExitStatus() const {
  if (unknown_) return 3;
  if (refused_ || voided_) return 1;
  if (not_sent_) return carried_out_ ? 1 : 2;
  return 0;
}

std::string RunTally::Words() const {
  switch (ExitStatus()) {
    case 0: return printed_ ? "η απόδειξη εκδόθηκε" : "όλες οι εντολές έγιναν δεκτές";
    case 1:
      if (voided_) return "η απόδειξη ακυρώθηκε, τίποτα δεν έμεινε ανοιχτό";
      if (refused_) return "απορρίφθηκε, τίποτα δεν έμεινε ανοιχτό";
      return "δεν ολοκληρώθηκε, τίποτα δεν έμεινε ανοιχτό";
    case 2: return "τίποτα δεν εκτελέστηκε (ο ΦΗΜ δεν απάντησε)";
    default: return "άγνωστο: μια εντολή μπορεί να εκτελέστηκε, ελέγξτε το χαρτί του ΦΗΜ πριν επαναλάβετε";
  }
}

// ---- Playing -----------------------------------------------------------------------

RunTally PlayKeys(SalesConsole& console, std::span<const KeyStep> steps, const PlayOptions& options) {
  RunTally tally;
  console.Show();
  if (!console.link_open() || console.state_unknown()) {
    // The link did not open, or the register could not say whether it holds
    // a receipt: nothing is sent.
    tally.NothingSent();
    console.Hide({});
    return tally;
  }
  if (options.after_open) options.after_open(console);
  for (const KeyStep& s : steps) {
    switch (s.kind) {
      case KeyStep::Kind::kValue: console.entry.value = s.value; continue;
      case KeyStep::Kind::kText: console.entry.extra_lines.push_back(s.text); continue;
      case KeyStep::Kind::kChangeMark: console.ClickChangeMark(true); continue;
      case KeyStep::Kind::kVoidMark: console.ClickVoidMark(true); continue;
      case KeyStep::Kind::kPaymentType: console.entry.payment_type = s.value; continue;
      case KeyStep::Kind::kReportBox: console.ClickReportBox(s.text, true); continue;
      case KeyStep::Kind::kKey: break;
    }
    console.Press(s.key);
    const KeyOutcome outcome = console.outcome();
    tally.Add(outcome);
    // A void the user keyed is what was asked for; any other void, a
    // refusal or an unknown outcome ends the run.
    const bool asked_void = outcome == KeyOutcome::kVoided && s.key.key == ConsoleKey::kTotalVoid;
    const bool failed = outcome == KeyOutcome::kRefusal || outcome == KeyOutcome::kUnknown ||
                        outcome == KeyOutcome::kNotSent || (outcome == KeyOutcome::kVoided && !asked_void);
    if (failed && !options.keep_going) break;
  }
  if (options.before_close) options.before_close(console);
  console.Hide({});
  tally.Add(console.outcome());
  tally.SetUnknown(console.effect_unknown());
  return tally;
}

}  // namespace zel
