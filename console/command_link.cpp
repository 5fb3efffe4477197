#include "console/command_link.h"

#include <algorithm>
#include <cstring>

#include "core/bytes.h"
#include "link/exchange.h"  // kMsgComNotOpened, kMsgLanNotOpened, kMsgCommunication

namespace zel {
namespace {

constexpr int kEnquiries = 5;
constexpr Millis kAckWatch{200};
constexpr Millis kReplyWindow{6000};
constexpr Millis kQuietTime{3000};
constexpr Millis kNudgeWindow{1000};
constexpr Millis kLanReadWindow{6000};
constexpr Millis kLanReopenPause{100};
// After a serial command that got no answer, the line must stay quiet this
// long before the next command, and the wait for that ends after the limit.
constexpr Millis kQuietAfterNoAnswer{1000};
constexpr Millis kDrainLimit{10000};
constexpr std::uint16_t kLanMagic = 0xE18F;
constexpr std::uint16_t kLanReplyMagic = 0x7A2D;
constexpr std::uint8_t kLanKind = 0x21;
constexpr std::uint8_t kLanReplyKind = 0x22;
constexpr std::uint16_t kChecksumBase = 0xAA55;
// Sends that the system could not take now, or that met a lost connection,
// are not counted as attempts; this many at most, so a link that keeps
// failing that way still ends.
constexpr int kMaxUncountedSends = 10;

std::uint16_t Checksum(std::span<const std::uint8_t> bytes) {
  unsigned sum = kChecksumBase;
  for (std::uint8_t b : bytes) sum += b;
  return static_cast<std::uint16_t>(sum);
}

bool StatusIs(const ReplySlot& reply, char a, char b) {
  return reply[1] == static_cast<std::uint8_t>(a) && reply[2] == static_cast<std::uint8_t>(b);
}

void AddToResult(ReplySlot& reply, int add) { reply[0] = static_cast<std::uint8_t>(reply[0] + add); }

}  // namespace

std::string_view OutcomeWord(CommandOutcome outcome) {
  switch (outcome) {
    case CommandOutcome::kOk: return "ok";
    case CommandOutcome::kRefusal: return "refused";
    case CommandOutcome::kUnknown: return "unknown";
    case CommandOutcome::kNotSent: return "not sent";
  }
  return "unknown";
}

// ---- Command store -----------------------------------------------------------

void CommandStore::SetCommand(int slot, std::string_view text) {
  CommandSlot& c = commands[static_cast<std::size_t>(slot)];
  c.fill(0);
  const std::size_t n = std::min(text.size(), kMaxCommandText);
  c[0] = static_cast<std::uint8_t>(n + 4);
  c[1] = kStx;
  std::memcpy(c.data() + 2, text.data(), n);
}

std::string_view CommandStore::CommandText(int slot) const {
  const CommandSlot& c = commands[static_cast<std::size_t>(slot)];
  const std::size_t n = c[0] < 4 ? 0 : std::min<std::size_t>(c[0] - 4u, kMaxCommandText);
  return {reinterpret_cast<const char*>(c.data() + 2), n};
}

std::string_view CommandStore::ReplyText(int slot) const {
  const ReplySlot& r = replies[static_cast<std::size_t>(slot)];
  const std::size_t n = std::min<std::size_t>(r[0] % 100u, kReplySlotSize - 1);
  return {reinterpret_cast<const char*>(r.data() + 1), n};
}

// ---- Framing -------------------------------------------------------------------

std::size_t FrameSerial(CommandSlot& slot, std::span<std::uint8_t, kMaxSendSize> out) {
  const std::size_t length = std::clamp<std::size_t>(slot[0], 4, kMaxCommandText + 4);
  const std::size_t text = length - 4;
  unsigned sum = 0;
  for (std::size_t i = 0; i < text; ++i) sum += slot[2 + i];
  sum %= 256;
  slot[2 + text] = static_cast<std::uint8_t>('0' + (sum / 10) % 10);
  slot[3 + text] = static_cast<std::uint8_t>('0' + sum % 10);
  slot[4 + text] = kEtx;
  std::memcpy(out.data(), slot.data() + 1, length);
  return length;
}

std::uint16_t NextLanSequence(std::uint16_t stored, Millis tick) {
  if (stored == 0 || stored > 0xF000) return static_cast<std::uint16_t>(tick.count() % 1000);
  return static_cast<std::uint16_t>(stored + 1);
}

std::size_t FrameLan(const CommandSlot& slot, std::uint16_t sequence, std::array<std::uint8_t, kLanHeaderSize>& header,
                     std::span<std::uint8_t, kMaxSendSize> out) {
  const std::size_t n = slot[0] < 4 ? 0 : std::min<std::size_t>(slot[0] - 4u, kMaxCommandText);
  const std::span<const std::uint8_t> text(slot.data() + 2, n);
  le::Put16(header.data(), kLanMagic);
  le::Put16(header.data() + 2, sequence);
  header[4] = kLanKind;
  header[5] = 0x00;
  le::Put16(header.data() + 6, static_cast<std::uint16_t>(n));
  le::Put16(header.data() + 8, Checksum(text));
  le::Put16(header.data() + 10, Checksum({header.data(), 10}));
  std::memcpy(out.data(), header.data(), kLanHeaderSize);
  std::memcpy(out.data() + kLanHeaderSize, text.data(), n);
  return n + kLanHeaderSize;
}

// ---- Judging -------------------------------------------------------------------

int CheckSerialReply(std::span<const std::uint8_t> received, ReplySlot& reply, bool* intact) {
  const std::size_t a = !received.empty() && received[0] == kAck ? 1 : 0;
  std::size_t count = received.size();
  while (count > a && received[count - 1] != kEtx) --count;
  count -= a;
  reply.fill(0);
  int result = 0;
  bool sum_right = false;
  // The text runs from just after the STX to the two checksum digits.
  if (count >= 4) {
    unsigned sum = 0;
    for (std::size_t i = a + 1; i < a + count - 3; ++i) sum += received[i];
    sum %= 256;
    sum_right = received[a + count - 3] == '0' + (sum / 10) % 10 && received[a + count - 2] == '0' + sum % 10;
    if (!sum_right) result = 100;
  } else {
    result = 100;
  }
  // STX, a two-character status at least, the two digits and ETX.
  if (intact) *intact = sum_right && count >= 6 && received[a] == kStx;
  if (count < 3 || received[a + 1] != '0' || received[a + 2] != '0') result = 100;
  std::size_t length = count < 5 ? 0 : count - 4;
  if (length >= 50) length = 49;
  std::memcpy(reply.data() + 1, received.data() + a + 1, length);
  reply[0] = static_cast<std::uint8_t>(length + static_cast<std::size_t>(result));
  return result;
}

int CheckLanReply(std::span<const std::uint8_t> received, std::uint16_t sequence, ReplySlot& reply,
                  std::array<std::uint8_t, kLanHeaderSize>& reply_header, bool* intact) {
  if (intact) *intact = false;
  reply.fill(0);
  reply_header.fill(0);
  std::memcpy(reply_header.data(), received.data(), std::min(received.size(), kLanHeaderSize));
  if (received.size() < kLanHeaderSize) return 1;
  const std::uint16_t m = le::Get16(received.data() + 6);
  if (le::Get16(received.data()) != kLanReplyMagic || le::Get16(received.data() + 2) != sequence ||
      received[4] != kLanReplyKind || m == 0)
    return 1;
  // The length byte says how much text there is; only what arrived is used.
  const std::size_t arrived = received.size() - kLanHeaderSize;
  const std::size_t length = std::min<std::size_t>({static_cast<std::size_t>(m & 0xFF), kReplySlotSize - 1, arrived});
  std::memcpy(reply.data() + 1, received.data() + kLanHeaderSize, length);
  reply[0] = static_cast<std::uint8_t>(length);
  int result = 0;
  const std::span<const std::uint8_t> text(received.data() + kLanHeaderSize, std::min<std::size_t>(m, arrived));
  const bool checks = text.size() >= m && Checksum(text) == le::Get16(received.data() + 8) &&
                      Checksum(received.first(10)) == le::Get16(received.data() + 10);
  if (intact) *intact = checks && length >= 2;
  if (!checks || !StatusIs(reply, '0', '0')) result = 100;
  AddToResult(reply, result);
  return result;
}

// ---- The link ------------------------------------------------------------------

PrinterLink::PrinterLink(UserInterface& ui, TickClock& clock) : ui_(ui), link_(clock) {}

void PrinterLink::ShowError(std::string_view text) { ui_.ShowMessage(text, Icon::kError, {}, true); }

int PrinterLink::OpenPrinterLink() {
  if (open_) {
    state_ = PrinterLinkState::kOpened;
    return 0;
  }
  if (selection.lan() && selection.ip[0] == 0) {
    ShowError(kMsgLanNotOpened);
    state_ = PrinterLinkState::kOpenFailed;
    return 1;
  }
  const LinkOpenResult r = link_.Open(selection);
  switch (r.status) {
    case LinkOpenStatus::kOpened: break;
    case LinkOpenStatus::kSerialFailed:
      ShowError(r.hint.empty() ? std::string(kMsgComNotOpened) : std::string(kMsgComNotOpened) + "\n" + r.hint);
      state_ = PrinterLinkState::kOpenFailed;
      return 1;
    case LinkOpenStatus::kLanFailed:
      ShowError(r.hint.empty() ? std::string(kMsgLanNotOpened) : std::string(kMsgLanNotOpened) + "\n" + r.hint);
      state_ = PrinterLinkState::kOpenFailed;
      return 1;
    case LinkOpenStatus::kStopped:  // the window is closing: no message
      state_ = PrinterLinkState::kOpenFailed;
      return 1;
  }
  open_ = true;
  state_ = PrinterLinkState::kOpened;
  // Whatever the line held before belongs to no command of ours.
  if (!selection.lan()) link_.transport->Flush();
  return 0;
}

void PrinterLink::ClosePrinterLink() {
  if (!open_) return;
  link_.Close();
  state_ = PrinterLinkState::kClosed;
  open_ = false;
}

void PrinterLink::SendCommand() {
  const auto slot = static_cast<std::size_t>(store.index);
  ReplySlot& reply = store.replies[slot];
  if (!open_) OpenPrinterLink();
  if (!open_) {
    reply[0] = 100;
    last_result_ = kCommandNoAnswer;
    last_outcome_ = store.outcomes[slot] = CommandOutcome::kNotSent;
    return;
  }
  last_result_ = ExchangeCommand();
  const int hundreds = reply[0] / 100 * 100;
  reply[0] = static_cast<std::uint8_t>(hundreds + std::min(reply[0] % 100, 60));
}

int PrinterLink::ExchangeCommand() {
  const auto slot = static_cast<std::size_t>(store.index);
  ReplySlot& reply = store.replies[slot];
  frame_sent_ = intact_ = false;
  const int result = selection.lan() ? ExchangeLan(reply) : ExchangeSerial(reply);
  // A reply that failed its checks, or one that never came for a command
  // that went out, says nothing of what the register did.
  if (result == kCommandAccepted)
    last_outcome_ = CommandOutcome::kOk;
  else if (!frame_sent_)
    last_outcome_ = CommandOutcome::kNotSent;
  else if (result != kCommandNoAnswer && intact_)
    last_outcome_ = CommandOutcome::kRefusal;
  else
    last_outcome_ = CommandOutcome::kUnknown;
  store.outcomes[slot] = last_outcome_;
  return result;
}

bool PrinterLink::OutOfStep() {
  if (open_ && !selection.lan()) DropStale();
  return out_of_step_;
}

void PrinterLink::DropStale() {
  Transport& wire = *link_.transport;
  std::array<std::uint8_t, kReceiveSize> scratch{};
  for (;;) {
    // A deadline that has passed hands over what is there without waiting.
    const ReceiveResult r = wire.Receive(scratch, link_.clock->Now());
    if (r.status != IoStatus::kOk || r.count == 0) break;
    if (std::find(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(r.count), kEtx) !=
        scratch.begin() + static_cast<std::ptrdiff_t>(r.count))
      out_of_step_ = true;
  }
  wire.Flush();
}

void PrinterLink::DrainUntilQuiet() {
  if (!open_ || selection.lan()) return;
  Transport& wire = *link_.transport;
  TickClock& clock = *link_.clock;
  std::array<std::uint8_t, kReceiveSize> scratch{};
  const Millis limit = clock.Now() + kDrainLimit;
  Millis quiet_until = clock.Now() + kQuietAfterNoAnswer;
  for (;;) {
    const ReceiveResult r = wire.Receive(scratch, std::min(quiet_until, limit));
    if (r.status == IoStatus::kAborted || r.status == IoStatus::kConnectionLost || r.status == IoStatus::kFailed)
      return;
    if (r.count > 0) quiet_until = clock.Now() + kQuietAfterNoAnswer;
    const Millis now = clock.Now();
    if (r.status == IoStatus::kTimedOut && now >= quiet_until) return;
    if (now >= limit) {
      // The line never went quiet: what comes next cannot be trusted either.
      out_of_step_ = true;
      return;
    }
  }
}

void PrinterLink::Reopen(ReplySlot& reply) {
  ClosePrinterLink();
  if (!link_.abort.IsSet()) OpenPrinterLink();
  reply[0] = 100;
}

int PrinterLink::Stopped(ReplySlot& reply) {
  // Stop, or the window closing: no question, no reopening.
  ClosePrinterLink();
  reply[0] = 100;
  return kCommandNoAnswer;
}

int PrinterLink::SerialFailure(ReplySlot& reply) {
  ShowError(kMsgCommunication);
  Reopen(reply);
  if (frame_sent_ && !link_.abort.IsSet()) DrainUntilQuiet();
  return kCommandNoAnswer;
}

int PrinterLink::ExchangeSerial(ReplySlot& reply) {
  Transport& wire = *link_.transport;
  TickClock& clock = *link_.clock;
  const auto take = [&](Millis deadline) {
    if (count_ >= kReceiveSize) return IoStatus::kTimedOut;
    const ReceiveResult r = wire.Receive({receive_.data() + count_, kReceiveSize - count_}, deadline);
    count_ += r.count;
    return r.status;
  };

  // Enquiries: ENQ until the register answers ACK, five to a round.
  for (;;) {
    bool acknowledged = false;
    for (int i = 0; i < kEnquiries && !acknowledged; ++i) {
      DropStale();
      count_ = 0;
      const std::uint8_t enq = kEnq;
      if (wire.Send({&enq, 1}) == IoStatus::kConnectionLost) return SerialFailure(reply);
      const Millis deadline = clock.Now() + kAckWatch;
      while (clock.Now() < deadline) {
        const IoStatus s = take(deadline);
        if (s == IoStatus::kAborted) return Stopped(reply);
        if (s == IoStatus::kConnectionLost) return SerialFailure(reply);
        if (count_ > 0 && receive_[0] == kAck) {
          acknowledged = true;
          break;
        }
        if (s == IoStatus::kTimedOut) break;
      }
    }
    if (acknowledged) break;
    if (link_.abort.IsSet()) return Stopped(reply);
    if (!ui_.AskRetryCancel(kMsgCheckLinkOrPaper, Icon::kInformation)) return SerialFailure(reply);
  }

  CommandSlot& slot = store.commands[static_cast<std::size_t>(store.index)];
  send_length_ = FrameSerial(slot, send_);
  wire.Flush();
  count_ = 0;
  std::fill(receive_.begin(), receive_.end(), 0);
  frame_sent_ = true;  // from here on the register may have taken the command
  if (wire.Send(sent()) == IoStatus::kConnectionLost) return SerialFailure(reply);

  std::size_t nudge = 0;
  Millis window = kReplyWindow;
  const auto ends_with_etx = [&](std::size_t at_least) {
    return count_ > at_least && receive_[count_ - 1 - nudge] == kEtx;
  };
  for (;;) {
    // Wait for the reply: until its ETX, the window's end, or a quiet spell
    // of 3 s in a reply that has begun.
    Millis start = clock.Now();
    Millis quiet_since = start;
    std::size_t seen = count_;
    for (;;) {
      if (ends_with_etx(6 + nudge)) break;
      const Millis now = clock.Now();
      if (count_ != seen) {
        seen = count_;
        quiet_since = now;
      }
      if (count_ >= 7 && now >= quiet_since + kQuietTime) {
        if (nudge == 0 && receive_[0] <= kAck) {
          // A register that stalls before its last bytes sends them when
          // nudged with one zero byte; the ETX then stands one place
          // before the end.
          const std::uint8_t zero = 0x00;
          if (wire.Send({&zero, 1}) == IoStatus::kConnectionLost) return SerialFailure(reply);
          nudge = 1;
          window = kNudgeWindow;
          start = quiet_since = clock.Now();
          continue;
        }
        break;
      }
      if (now >= start + window) break;
      Millis deadline = start + window;
      if (count_ >= 7) deadline = std::min(deadline, quiet_since + kQuietTime);
      const IoStatus s = take(deadline);
      if (s == IoStatus::kAborted) return Stopped(reply);
      if (s == IoStatus::kConnectionLost) return SerialFailure(reply);
      if (s == IoStatus::kTimedOut && count_ >= kReceiveSize) break;
    }
    if (count_ >= 11 && receive_[count_ - 1 - nudge] == kEtx) break;
    if (link_.abort.IsSet()) return Stopped(reply);
    // Retry waits again without sending the command a second time.
    if (!ui_.AskRetryCancel(kMsgCheckLinkOrPaper, Icon::kInformation)) return SerialFailure(reply);
  }

  int result = CheckSerialReply({receive_.data(), count_}, reply, &intact_);
  if (result == 0 && !StatusIs(reply, '0', '0')) result = kCommandBadReply;
  if (StatusIs(reply, '9', '2')) ShowError(kMsgPaperEnd);
  if (result != 0) AddToResult(reply, 100);
  return result;
}

int PrinterLink::ExchangeLan(ReplySlot& reply) {
  TickClock& clock = *link_.clock;
  sequence_ = NextLanSequence(sequence_, clock.Now());
  CommandSlot& slot = store.commands[static_cast<std::size_t>(store.index)];
  send_length_ = FrameLan(slot, sequence_, request_header_, send_);

  int attempts = 0;
  int uncounted = 0;
  for (;;) {
    if (state_ != PrinterLinkState::kOpened) {
      if (link_.abort.IsSet()) return Stopped(reply);
      if (OpenPrinterLink() != 0) {
        reply[0] = 100;
        return kCommandNoAnswer;
      }
    }
    Transport& wire = *link_.transport;
    count_ = 0;
    std::fill(receive_.begin(), receive_.end(), 0);
    // A reply that came too late for the last command may still wait on the
    // socket; after a clean exchange there is none, and no call is spent.
    if (lan_stale_) wire.Flush();
    lan_stale_ = true;
    const IoStatus sent_status = wire.Send(sent());
    if (sent_status == IoStatus::kOk) {
      frame_sent_ = true;
      break;
    }
    if (link_.abort.IsSet()) return Stopped(reply);
    if ((sent_status == IoStatus::kConnectionLost || sent_status == IoStatus::kWouldBlock) &&
        ++uncounted <= kMaxUncountedSends) {
      if (sent_status == IoStatus::kConnectionLost) {
        ClosePrinterLink();
        if (!SleepUntil(clock, link_.abort, clock.Now() + kLanReopenPause)) return Stopped(reply);
      }
      continue;
    }
    if (++attempts >= 2) {
      Reopen(reply);
      return kCommandNoAnswer;
    }
  }

  for (;;) {
    const Millis deadline = clock.Now() + kLanReadWindow;
    for (;;) {
      const ReceiveResult r = link_.transport->Receive({receive_.data() + count_, kReceiveSize - count_}, deadline);
      if (r.status == IoStatus::kAborted) return Stopped(reply);
      if (r.status == IoStatus::kTimedOut) break;
      if (r.status != IoStatus::kOk && r.status != IoStatus::kWouldBlock) {
        Reopen(reply);
        return kCommandBadReply;
      }
      count_ += r.count;
      if (count_ >= 13 && count_ >= kLanHeaderSize + receive_[6]) {
        const int result = CheckLanReply({receive_.data(), count_}, sequence_, reply, reply_header_, &intact_);
        if (result == kCommandBadReply) reply[0] = 100;
        lan_stale_ = result == kCommandBadReply;
        if (StatusIs(reply, '9', '2')) ShowError(kMsgPaperEnd);
        return result;
      }
      if (count_ >= kReceiveSize) break;
    }
    if (link_.abort.IsSet()) return Stopped(reply);
    // Retry reads again without sending the command a second time.
    if (!ui_.AskRetryCancel(kMsgCheckLinkOrPaper, Icon::kInformation)) {
      Reopen(reply);
      return kCommandNoAnswer;
    }
  }
}

}  // namespace zel
