#include "sim/register_protocol.h"

#include "sim/fiscal_printer.h"
#include "sim/printer_frame.h"

namespace zel::sim {
namespace {

bool Control(std::uint8_t b) { return b < 0x20; }

class Splitter : public StreamSplitter {
 public:
  Splitter(std::unique_ptr<StreamSplitter> programming, const RegisterProtocol& protocol)
      : programming_(std::move(programming)), protocol_(protocol) {}

  void Append(ConstByteSpan bytes) override {
    if (programming_->Pending())
      programming_->Append(bytes);  // the rest of a programming frame
    else
      buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  }

  std::optional<Request> Next() override {
    for (;;) {
      if (programming_->Pending() || buffer_.empty()) {
        if (auto r = programming_->Next()) return r;
        if (programming_->Pending() || buffer_.empty()) return std::nullopt;
      }
      const std::uint8_t first = buffer_.front();
      if (first == printer::kEnq) return Take(1, RequestKind::kEnquiry, true);
      if (first == printer::kNudge && protocol_.Holding()) return Take(1, RequestKind::kNudge, true);
      if (first == kStart1) {
        // A programming frame: the frame scanner takes it from here.
        programming_->Append(buffer_);
        buffer_.clear();
        continue;
      }
      if (first != printer::kStx) {
        buffer_.erase(buffer_.begin());  // noise
        continue;
      }
      // STX text d1 d2 ETX; text bytes are never control bytes, so a control
      // byte before the ETX, or no ETX in time, shows the STX was noise.
      std::size_t end = 1;
      while (end < buffer_.size() && end < printer::kMaxText + 3 && !Control(buffer_[end])) ++end;
      if (end == buffer_.size()) return std::nullopt;  // still arriving
      if (buffer_[end] != printer::kEtx || end < 3) {
        buffer_.erase(buffer_.begin());
        continue;
      }
      const auto frame = printer::ParseSerialFrame(ConstByteSpan(buffer_.data(), end + 1));
      return Take(end + 1, RequestKind::kPrinterCommand, frame && frame->intact);
    }
  }

  bool Pending() const override { return programming_->Pending() || !buffer_.empty(); }

  void GiveUp() override {
    if (programming_->Pending())
      programming_->GiveUp();
    else if (!buffer_.empty())
      buffer_.erase(buffer_.begin());
  }

 private:
  Request Take(std::size_t n, RequestKind kind, bool intact) {
    Request r{ByteVector(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n)), intact, -1, kind};
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    return r;
  }

  std::unique_ptr<StreamSplitter> programming_;
  const RegisterProtocol& protocol_;
  ByteVector buffer_;
};

}  // namespace

std::unique_ptr<StreamSplitter> RegisterProtocol::NewStreamSplitter() const {
  return std::make_unique<Splitter>(programming_.NewStreamSplitter(), *this);
}

std::optional<Request> RegisterProtocol::SplitDatagram(ConstByteSpan datagram) const {
  if (!printer::IsLanRequest(datagram)) return programming_.SplitDatagram(datagram);
  const auto command = printer::ParseLanRequest(datagram);
  if (!command) return std::nullopt;  // not even a whole header
  return Request{ByteVector(datagram.begin(), datagram.end()), command->intact, -1, RequestKind::kPrinterCommand};
}

ByteVector RegisterProtocol::Serve(const Request& request, FaultDecision& fault, LinkKind link) {
  const auto drop = [&](std::initializer_list<Fault> kept) {
    for (Fault f : kept)
      if (fault.fault == f) return;
    fault.fault = Fault::kNone;
  };
  switch (request.kind) {
    case RequestKind::kProgramming: return programming_.Serve(request, fault, link);
    case RequestKind::kEnquiry: {
      {
        std::lock_guard lock(held_mutex_);
        held_.clear();
        holding_ = false;
      }
      drop({Fault::kNoAck});
      if (fault.fault == Fault::kNoAck) return {};
      return {printer::kAck};
    }
    case RequestKind::kNudge: {
      drop({});
      std::lock_guard lock(held_mutex_);
      ByteVector rest = std::move(held_);
      held_.clear();
      holding_ = false;
      if (!rest.empty()) rest.push_back(printer::kAck);
      return rest;
    }
    case RequestKind::kPrinterCommand: return Command(request, fault, link);
  }
  return {};
}

void RegisterProtocol::SetAimedFaults(std::vector<AimedFault> aimed) {
  std::lock_guard lock(aimed_mutex_);
  aimed_ = std::move(aimed);
  prefix_seen_.assign(aimed_.size(), 0);
  commands_ = 0;
}

void RegisterProtocol::Aim(std::string_view text, FaultDecision& fault) {
  std::lock_guard lock(aimed_mutex_);
  ++commands_;
  for (std::size_t i = 0; i < aimed_.size(); ++i) {
    const AimedFault& a = aimed_[i];
    bool hit = false;
    if (a.nth > 0)
      hit = a.nth == commands_;
    else if (text.starts_with(a.prefix))
      hit = ++prefix_seen_[i] == a.occurrence;
    if (hit) fault = {a.fault, static_cast<std::uint32_t>(commands_)};
  }
}

ByteVector RegisterProtocol::Command(const Request& request, FaultDecision& fault, LinkKind link) {
  const bool serial = link == LinkKind::kSerial;
  if (serial) {
    // A new command ends a stall that was never nudged.
    std::lock_guard lock(held_mutex_);
    held_.clear();
    holding_ = false;
  }
  if (serial) {
    if (fault.fault == Fault::kSeq || fault.fault == Fault::kNoAck) fault.fault = Fault::kNone;
  } else if (fault.fault == Fault::kStall || fault.fault == Fault::kNoAck) {
    fault.fault = Fault::kNone;
  }
  std::string text;
  std::uint16_t seq = 0;
  if (serial) {
    text.assign(request.bytes.begin() + 1, request.bytes.end() - 3);
  } else {
    const auto lan = printer::ParseLanRequest(request.bytes);
    text = lan->text;
    seq = lan->seq;
  }
  Aim(text, fault);
  if (serial && fault.fault == Fault::kSeq) fault.fault = Fault::kNone;
  if (!serial && fault.fault == Fault::kStall) fault.fault = Fault::kNone;
  const std::string reply = register_.With([&](RegisterMemory& m) {
    if (!request.intact || fault.fault == Fault::kNak) return printer::Refusal(m, printer::kDamaged);
    printer::RecordCommand(m.printer, text);
    if (fault.fault == Fault::kPaperEnd) return printer::Refusal(m, printer::kPaperEnd);
    if (fault.fault == Fault::kRefuse) return printer::Refusal(m, printer::kNotNow);
    return printer::Execute(m, text);
  });

  if (!serial) {
    ByteVector out = printer::LanReply(fault.fault == Fault::kSeq ? static_cast<std::uint16_t>(seq + 1) : seq, reply);
    if (fault.fault == Fault::kChecksum) {
      // Spoil the payload or the header check, never both.
      const std::size_t at = (fault.variant & 1) != 0 ? 8 : 10;
      out[at] = static_cast<std::uint8_t>(out[at] ^ (1 + (fault.variant >> 1) % 255));
    }
    return out;
  }
  ByteVector out{printer::kAck};
  const ByteVector frame = printer::SerialFrame(reply);
  out.insert(out.end(), frame.begin(), frame.end());
  if (fault.fault == Fault::kChecksum) {
    // One check digit becomes another digit.
    const std::size_t at = out.size() - 3 + (fault.variant & 1);
    out[at] = static_cast<std::uint8_t>('0' + (out[at] - '0' + 1 + (fault.variant >> 1) % 9) % 10);
  }
  if (fault.fault == Fault::kStall) {
    std::lock_guard lock(held_mutex_);
    held_.assign(out.end() - 1, out.end());
    out.pop_back();
    holding_ = true;
  }
  return out;
}

}  // namespace zel::sim
