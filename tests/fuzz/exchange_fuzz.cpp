// The judging of a programming reply, serial and LAN: Exchange over an
// in-memory transport that plays back what the input scripts, under a
// manual clock (a wait that runs out of script moves the clock to its
// deadline, so nothing sleeps).
//
// Input: a head of four bytes (wire and send behaviour, request code,
// record number), then events, each a tag byte and for data its bytes:
//   tag % 8 == 0..3  data: the next tag + 1 bytes (at most 64) arrive
//   4  the wait times out          5  the link is lost
//   6  a receive error             7  the peer could not take the request
// Properties: the result is one of the exchange's outcomes, and an accepted
// serial reply, or an accepted LAN reply carrying the request's code, is a
// sound frame of that code (the LAN one with the request's sequence).
#include <deque>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "link/exchange.h"
#include "support/scripted_ui.h"

namespace {

using zel::IoStatus;
using zel::Millis;
using zel::ReceiveResult;

struct Event {
  IoStatus status = IoStatus::kOk;
  std::vector<std::uint8_t> bytes;
};

class ScriptedTransport final : public zel::Transport {
 public:
  ScriptedTransport(bool datagram, zel::ManualTickClock& clock, std::deque<Event> script, std::uint8_t sends)
      : datagram_(datagram), clock_(clock), script_(std::move(script)), sends_(sends) {}

  bool datagram() const override { return datagram_; }
  IoStatus Send(std::span<const std::uint8_t>) override {
    const std::uint8_t s = sends_ & 3;
    sends_ = static_cast<std::uint8_t>(sends_ >> 2);
    return s == 1 ? IoStatus::kWouldBlock : s == 2 ? IoStatus::kFailed : IoStatus::kOk;
  }
  ReceiveResult Receive(std::span<std::uint8_t> into, Millis deadline, std::size_t) override {
    if (script_.empty() || script_.front().status == IoStatus::kTimedOut) {
      if (!script_.empty()) script_.pop_front();
      if (clock_.Now() < deadline) clock_.AdvanceTo(deadline);
      return {IoStatus::kTimedOut, 0, 0, 0};
    }
    Event& e = script_.front();
    if (e.status != IoStatus::kOk) {
      const IoStatus s = e.status;
      script_.pop_front();
      return {s, 0, 0, 5};
    }
    ReceiveResult r;
    if (datagram_) {
      r.count = std::min(e.bytes.size(), into.size());
      r.datagram = e.bytes.size();
      std::copy_n(e.bytes.begin(), r.count, into.begin());
      script_.pop_front();
    } else {
      // A stream hands over what it holds, up to the room given; the rest
      // stays for the next call.
      r.count = std::min(e.bytes.size(), into.size());
      std::copy_n(e.bytes.begin(), r.count, into.begin());
      e.bytes.erase(e.bytes.begin(), e.bytes.begin() + static_cast<std::ptrdiff_t>(r.count));
      if (e.bytes.empty()) script_.pop_front();
      r.datagram = r.count;
    }
    return r;
  }
  void Flush() override {}

 private:
  bool datagram_;
  zel::ManualTickClock& clock_;
  std::deque<Event> script_;
  std::uint8_t sends_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zel::fuzz::Input in(data, size);
  const std::uint8_t head = in.Byte();
  const bool lan = head & 1;
  const auto sends = static_cast<std::uint8_t>(head >> 1);
  zel::ManualTickClock clock;
  zel::LinkSession session(clock);
  session.sequence = in.Byte();
  session.request.Start(in.Byte(), 2);
  session.request.set_record(in.Word());

  std::deque<Event> script;
  while (!in.empty()) {
    const std::uint8_t tag = in.Byte();
    Event e;
    switch (tag % 8) {
      case 4: e.status = IoStatus::kTimedOut; break;
      case 5: e.status = IoStatus::kConnectionLost; break;
      case 6: e.status = IoStatus::kFailed; break;
      case 7: e.status = IoStatus::kWouldBlock; break;
      default: {
        const auto bytes = in.Take(std::min<std::size_t>(tag / 8u + 1u, 64));
        e.bytes.assign(bytes.begin(), bytes.end());
      }
    }
    script.push_back(std::move(e));
  }
  session.transport = std::make_unique<ScriptedTransport>(lan, clock, std::move(script), sends);

  zel::test::ScriptedUi ui;
  const std::uint8_t result = zel::Exchange(session, ui);
  zel::fuzz::Require(result == zel::kAccepted || result == zel::kFailed || result == zel::kRefused ||
                         (lan && (result == zel::kLanFailure || result == zel::kLanConnectionLost)),
                     "the exchange ends with one of its outcomes");
  const std::size_t length = session.reply[5] + 9u;
  const bool sound_of_code = length <= zel::kReplyAreaSize && zel::FrameIsSound({session.reply.data(), length}) &&
                             session.reply[4] == session.request.code;
  if (result == zel::kAccepted && !lan && session.request.code != zel::kCodeCheck &&
      !zel::IsTableOpening(session.request))
    zel::fuzz::Require(sound_of_code, "an accepted serial reply is a sound frame of the request's code");
  if (result == zel::kAccepted && lan && session.reply[4] == session.request.code && session.request.code != 0)
    zel::fuzz::Require(sound_of_code && session.reply[3] == session.sequence,
                       "an accepted LAN reply of the request's code is sound and carries its sequence");
  return 0;
}
