#include "link/exchange.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/bytes.h"
#include "core/safe_file.h"
#include "link/serial_port.h"
#include "link/stream_transport.h"
#include "link/udp_transport.h"

namespace zel {
namespace {

constexpr std::uint8_t kStart[3] = {0x55, 0x33, 0x11};
constexpr std::uint8_t kEnd = 0xEB;
constexpr int kAttempts = 3;
// Receiving stops looking once this many bytes are in without a frame.
constexpr std::size_t kSerialScanLimit = 390;
// The LAN rule for a receive error: the attempt's start is moved back so far
// that a normal time-out counts as passed.
constexpr Millis kLanErrorShift{6000};
// Sends that would block are not counted as attempts; this many at most.
constexpr int kMaxUncountedSends = 10;
// A LAN reply carrying the sequence number of one of this many requests
// before the current one is a late answer to it.
constexpr std::uint8_t kLateAnswerWindow = 16;

void ShowError(UserInterface& ui, std::string_view text) { ui.ShowMessage(text, Icon::kError, {}, true); }

// The second line of an exchange whose attempts all failed: which link, what
// came back, and what to check (the cable and the baud rate of a serial
// line; the address and the network of the LAN).
std::string FailureCause(const LinkSession& s, bool answered) {
  const bool lan = s.transport != nullptr && s.transport->datagram();
  std::string line = s.label.empty() ? std::string() : s.label + ": ";
  line += answered ? "αλλοιωμένη απάντηση" : "καμία απάντηση";
  line += lan ? " — ελέγξτε τη διεύθυνση IP και το δίκτυο" : " — ελέγξτε καλώδιο και ταχύτητα";
  return line;
}

std::uint8_t Refusal(LinkSession& s, UserInterface& ui) {
  if (IsTableOpening(s.request)) return kAccepted;
  ui.ShowMessage(kMsgRefused, Icon::kInformation, {}, true);
  return kRefused;
}

std::uint8_t SerialLinkLost(LinkSession& s, UserInterface& ui) {
  s.link_lost = true;
  ShowError(ui, std::string(kMsgNotExecuted) + "\n" + std::string(kMsgLinkLost));
  return kFailed;
}

// A whole, sound frame with the request's code that answers another record.
bool IsLateAnswer(const Request& request, std::span<const std::uint8_t> frame) {
  return frame.size() <= kReplyAreaSize && FrameIsSound(frame) && frame[4] == request.code &&
         !AnswersRequest(request, frame);
}

// A whole, sound LAN reply to one of the requests just before this one.
bool IsEarlierAnswer(std::uint8_t sequence, std::span<const std::uint8_t> datagram) {
  if (datagram.size() < 9 || datagram.size() > kReplyAreaSize) return false;
  const auto age = static_cast<std::uint8_t>(sequence - datagram[3]);
  if (age < 1 || age > kLateAnswerWindow) return false;
  if (datagram[0] != kStart[0] || datagram[1] != kStart[1] || datagram[2] != kStart[2]) return false;
  return datagram[5] + 9u == datagram.size() && FrameIsSound(datagram);
}

// One trace line of an attempt, when the session is traced.
void Note(LinkSession& s, int attempt, Millis sent, std::string_view judgement, std::span<const std::uint8_t> request,
          std::span<const std::uint8_t> reply) {
  if (s.trace == nullptr) return;
  const Millis now = s.clock->Now();
  s.trace->Write(now, s.name, attempt, now - sent, judgement, request, reply);
}

std::uint8_t ExchangeSerial(LinkSession& s, UserInterface& ui) {
  Transport& link = *s.transport;
  std::array<std::uint8_t, kReceiveBufferSize> buffer;
  std::array<std::uint8_t, kMaxFrameSize> frame;
  const Millis timeout = ReplyTimeout(s.request, false);
  std::size_t n = 0, count = 0;
  Millis sent{0};
  int attempt = 0;
  bool answered = false;  // some attempt got bytes back
  const auto note = [&](std::string_view judgement) {
    if (s.trace) Note(s, attempt + 1, sent, judgement, {frame.data(), n}, {buffer.data(), count});
  };

  for (attempt = 0; attempt < kAttempts; ++attempt) {
    buffer.fill(0);
    // Cleared per attempt, so a failed exchange never leaves an older reply
    // for the caller to read.
    s.reply.fill(0);
    link.Flush();
    count = 0;
    std::size_t start = 0;
    n = BuildFrame(++s.sequence, s.request, frame);
    sent = s.clock->Now();
    // The write is not awaited beyond the device's own bound; an unanswered
    // request shows as no reply.
    if (link.Send({frame.data(), n}) == IoStatus::kConnectionLost) {
      note("LINK LOST");
      return SerialLinkLost(s, ui);
    }
    const Millis deadline = s.clock->Now() + timeout;

    for (;;) {
      if (s.abort.IsSet()) {
        note("STOPPED");
        return kFailed;
      }
      if (s.clock->Now() >= deadline || count > kSerialScanLimit) break;
      if (buffer[start] != kStart[0]) {
        for (std::size_t j = 0; j + 3 < count; ++j) {
          if (buffer[j] == kStart[0] && buffer[j + 1] == kStart[1] && buffer[j + 2] == kStart[2]) {
            start = j;
            break;
          }
        }
      }
      if (buffer[start] == kStart[0] && count >= start + 6 && count >= start + buffer[start + 5] + 9u) {
        const std::size_t end = start + buffer[start + 5] + 9u;
        if (!IsLateAnswer(s.request, {buffer.data() + start, end - start})) break;
        // An answer to an earlier attempt or request: drop it, wait on.
        std::memmove(buffer.data(), buffer.data() + end, count - end);
        std::fill_n(buffer.begin() + static_cast<std::ptrdiff_t>(count - end), end, std::uint8_t{0});
        count -= end;
        start = 0;
        continue;
      }
      // The least the buffer must hold before a frame can be whole: the
      // frame's own length once its head is in, else a shortest frame
      // behind what came (a start may be beginning in its last two bytes).
      std::size_t need = (count < 2 ? 0 : count - 2) + 9;
      if (buffer[start] == kStart[0]) need = count >= start + 6 ? start + buffer[start + 5] + 9u : start + 9;
      need = std::min(need, kSerialScanLimit + 1);
      const std::size_t want = need > count ? need - count : 1;
      const ReceiveResult r = link.Receive({buffer.data() + count, buffer.size() - count}, deadline, want);
      count += r.count;
      if (r.status == IoStatus::kAborted) {
        note("STOPPED");
        return kFailed;
      }
      if (r.status == IoStatus::kConnectionLost) {
        note("LINK LOST");
        return SerialLinkLost(s, ui);
      }
    }
    if (s.abort.IsSet()) {
      note("STOPPED");
      return kFailed;
    }
    answered = answered || count > 0;

    if (count < 9 || buffer[start] != kStart[0]) {
      note(count == 0 ? "NO REPLY" : "WRONG REPLY");
      s.log.Write(count == 0 ? "COM:NO REPLY" : "COM:WRONG REPLY");
      continue;
    }
    if (start > count - 9) {
      note("WRONG REPLY");
      continue;
    }
    const std::size_t length = buffer[start + 5] + 9u;
    if (length > kReplyAreaSize) {  // cannot be taken in whole: a wrong reply
      note("WRONG REPLY");
      s.log.Write("COM:WRONG REPLY");
      continue;
    }
    // A frame cut short by the deadline is copied as far as it came; the rest
    // of the area stays zero, so it fails the check below.
    std::memcpy(s.reply.data(), buffer.data() + start, std::min(length, count - start));
    if (!FrameIsSound({s.reply.data(), length})) {
      note("WRONG CHECKSUM");
      s.log.Write("COM:WRONG CHECKSUM");
      continue;
    }
    const std::uint8_t code = s.reply[4];
    if (s.request.code == kCodeCheck || code == s.request.code) {
      note("ACCEPTED");
      return kAccepted;
    }
    if (code == kCodeReceiveError) {
      note("REQUEST RECEIVE ERROR");
      s.log.Write("COM:REQUEST RECEIVE ERROR");
      continue;
    }
    if (code == kCodeRefused) {
      note(IsTableOpening(s.request) ? "REFUSED-AS-OPENING" : "REFUSED");
      return Refusal(s, ui);
    }
    note("OTHER CODE");
    return kFailed;
  }
  ShowError(ui, std::string(kMsgNotExecuted) + "\n" + FailureCause(s, answered));
  return kFailed;
}

std::uint8_t ExchangeLan(LinkSession& s, UserInterface& ui) {
  Transport& link = *s.transport;
  std::array<std::uint8_t, kMaxFrameSize> frame;
  // Built once: every attempt carries the same sequence number, so a late
  // reply to an earlier attempt still counts.
  const std::uint8_t sequence = ++s.sequence;
  const std::size_t n = BuildFrame(sequence, s.request, frame);
  const Millis timeout = ReplyTimeout(s.request, true);

  int attempt = 0;
  int uncounted = 0;
  bool valid = false;
  bool answered = false;  // some attempt got a datagram back
  Millis sent_at{0};
  std::size_t datagram = 0;
  const auto note = [&](std::string_view judgement) {
    if (s.trace)
      Note(s, attempt, sent_at, judgement, {frame.data(), n}, {s.reply.data(), std::min(datagram, kReplyAreaSize)});
  };
  while (attempt < kAttempts) {
    s.reply.fill(0);
    datagram = 0;
    sent_at = s.clock->Now();
    const IoStatus sent = link.Send({frame.data(), n});
    if (sent == IoStatus::kConnectionLost) {
      note("LINK LOST");
      return kLanConnectionLost;
    }
    if (sent == IoStatus::kWouldBlock && ++uncounted <= kMaxUncountedSends) continue;
    ++attempt;
    if (sent != IoStatus::kOk) {
      note("SEND FAILED");
      continue;
    }

    Millis start = s.clock->Now();
    bool received = false;
    for (;;) {
      if (s.abort.IsSet()) {
        note("STOPPED");
        return kFailed;
      }
      const ReceiveResult r = link.Receive(s.reply, start + timeout);
      if (r.status == IoStatus::kOk && r.datagram == r.count && IsEarlierAnswer(sequence, {s.reply.data(), r.count})) {
        s.reply.fill(0);  // late, for an earlier request: wait on
        continue;
      }
      if (r.status == IoStatus::kOk) {
        datagram = r.datagram;
        received = answered = true;
        break;
      }
      if (r.status == IoStatus::kAborted) {
        note("STOPPED");
        return kFailed;
      }
      if (r.status == IoStatus::kTimedOut) break;
      start -= kLanErrorShift;  // a receive error: judge now, and make this the last attempt
      attempt = kAttempts;
      break;
    }
    if (s.abort.IsSet()) {
      note("STOPPED");
      return kFailed;
    }

    if (!received && s.clock->Now() >= start + timeout) {
      note("NO REPLY");
      s.log.Write("LAN:NO REPLY");
      continue;
    }
    const std::size_t length = s.reply[5] + 9u;
    if (datagram > kReplyAreaSize || length > kReplyAreaSize || s.reply[0] != kStart[0] || s.reply[1] != kStart[1] ||
        s.reply[2] != kStart[2] || s.reply[3] != sequence) {
      note("WRONG REPLY");
      s.log.Write("LAN:WRONG REPLY");
      continue;
    }
    if (!FrameIsSound({s.reply.data(), length})) {
      note("WRONG CHECKSUM");
      s.log.Write("LAN:WRONG CHECHSUM");
      continue;
    }
    if (s.reply[4] == kCodeReceiveError) {
      note("REQUEST RECEIVE ERROR");
      s.log.Write("LAN:REQUEST RECEIVE ERROR");
      continue;
    }
    valid = true;
    break;
  }

  // Only a reply that passed every check is judged by its code; after
  // attempts without one the code counts as 0.
  const std::uint8_t code = valid ? s.reply[4] : 0;
  if (valid) {
    note(code == s.request.code ? "ACCEPTED"
         : code == kCodeRefused ? (IsTableOpening(s.request) ? "REFUSED-AS-OPENING" : "REFUSED")
                                : "OTHER CODE");
  }
  if (code == s.request.code) return kAccepted;
  if (code == kCodeRefused) return Refusal(s, ui);
  if (attempt >= kAttempts) {
    ShowError(ui, std::string(kMsgCommunication) + "\n" + FailureCause(s, answered));
    return kLanFailure;
  }
  return kAccepted;
}

}  // namespace

std::size_t BuildFrame(std::uint8_t sequence, const Request& request, std::span<std::uint8_t, kMaxFrameSize> out) {
  out[0] = kStart[0];
  out[1] = kStart[1];
  out[2] = kStart[2];
  out[3] = sequence;
  out[4] = request.code;
  out[5] = request.length;
  std::memcpy(out.data() + 6, request.data.data(), request.length);
  std::uint8_t sum = 0, x = 0;
  const std::size_t body = 6u + request.length;
  for (std::size_t i = 0; i < body; ++i) {
    sum = static_cast<std::uint8_t>(sum + out[i]);
    x ^= out[i];
  }
  out[body] = sum;
  out[body + 1] = x;
  out[body + 2] = kEnd;
  return body + 3;
}

bool FrameIsSound(std::span<const std::uint8_t> frame) {
  if (frame.size() < 9) return false;
  const std::size_t body = frame.size() - 3;
  std::uint8_t sum = 0, x = 0;
  for (std::size_t i = 0; i < body; ++i) {
    sum = static_cast<std::uint8_t>(sum + frame[i]);
    x ^= frame[i];
  }
  return frame[body] == sum && frame[body + 1] == x && frame[body + 2] == kEnd;
}

Millis ReplyTimeout(const Request& request, bool lan) {
  switch (request.code) {
    case 0x66:
    case 0x6C:
    case 0x73: return Millis(8000);
    case 0x74:
      if (request.record() == 16000) return Millis(lan ? 8000 : 80000);
      break;
    case 0x82:
      if (request.record() == 1000) return Millis(lan ? 8000 : 80000);
      break;
    default: break;
  }
  return Millis(1500);
}

bool AnswersRequest(const Request& request, std::span<const std::uint8_t> reply_frame) {
  const std::size_t n = reply_frame.size() < 9 ? 0 : reply_frame[5];
  const std::uint8_t* data = reply_frame.data() + 6;
  switch (request.code) {
    case 0x7D:  // fiscal memory block
    case 0x81:  // customer
      return n < 2 || le::Get16(data) == request.record();
    case 0x65:  // print line
    case 0x67:  // parameter record
    case 0x6F:  // department
    case 0x71:  // category
    case 0x75:  // operator
    case 0x77:  // logo row
      return n < 1 || data[0] == request.data[0];
    default:
      // Whole tables and the connection check carry no record number. What
      // a register puts in a write's reply is its own affair (0xDEBA, say).
      // The items walk answers with a later record by design and guards
      // against one that goes back itself.
      return true;
  }
}

bool IsTableOpening(const Request& request) {
  const auto record = static_cast<std::int16_t>(request.record());
  return (request.code == 0x74 && record >= 16000) || (request.code == 0x82 && record >= 1000);
}

bool ExchangeTrace::Open(const std::string& path, Millis start) {
  Close();
  start_ = start;
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void ExchangeTrace::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

void ExchangeTrace::Write(Millis now, std::string_view link, int attempt, Millis wait, std::string_view judgement,
                          std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply) {
  if (!file_) return;
  const auto hex = [this](std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) std::fprintf(file_, i == 0 ? "%02X" : " %02X", bytes[i]);
  };
  std::fprintf(file_, "%8lld %.*s #%d %5lld ms %.*s > ", static_cast<long long>((now - start_).count()),
               static_cast<int>(link.size()), link.data(), attempt, static_cast<long long>(wait.count()),
               static_cast<int>(judgement.size()), judgement.data());
  hex(request);
  std::fputs(" < ", file_);
  hex(reply);
  std::fputc('\n', file_);
  std::fflush(file_);
}

bool CommLog::Open(const std::string& path) {
  Close();
  counter_ = 0;
  failure_ = 0;
  path_ = path;
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void CommLog::Close() {
  if (file_ && std::fclose(file_) != 0 && failure_ == 0) failure_ = errno != 0 ? errno : EIO;
  file_ = nullptr;
}

void CommLog::Write(std::string_view text) {
  ++counter_;
  if (!file_) return;
  errno = 0;
  const bool written = std::fprintf(file_, "%5ld %.*s\n", counter_, static_cast<int>(text.size()), text.data()) >= 0 &&
                       std::fflush(file_) == 0;
  if (!written && failure_ == 0) failure_ = errno != 0 ? errno : EIO;
}

void SayIfLogIncomplete(const CommLog& log, UserInterface& ui) {
  if (log.failure() == 0) return;
  ui.ShowMessage(WithCause(kMsgLogIncomplete, FaultLine(log.path(), {FileFault::Cause::kSystem, log.failure()})),
                 Icon::kExclamation);
}

int Connect(LinkSession& s, const LinkSelection& selection, UserInterface& ui) {
  const LinkOpenResult r = s.Open(selection);
  switch (r.status) {
    case LinkOpenStatus::kOpened: return 0;
    case LinkOpenStatus::kSerialFailed:
      ShowError(ui, r.hint.empty() ? std::string(kMsgComNotOpened) : std::string(kMsgComNotOpened) + "\n" + r.hint);
      return 1;
    case LinkOpenStatus::kLanFailed:
      ShowError(ui, r.hint.empty() ? std::string(kMsgLanNotOpened) : std::string(kMsgLanNotOpened) + "\n" + r.hint);
      return 1;
    case LinkOpenStatus::kStopped: return 1;
  }
  return 1;
}

void Disconnect(LinkSession& s) { s.Close(); }

std::uint8_t Exchange(LinkSession& s, UserInterface& ui) {
  if (!s.transport) return kFailed;
  return s.transport->datagram() ? ExchangeLan(s, ui) : ExchangeSerial(s, ui);
}

}  // namespace zel
