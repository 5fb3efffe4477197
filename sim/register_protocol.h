// Both protocols the register speaks on its links: the programming protocol
// (frames that start 55 33 11) and the fiscal-printer mode (fiscal_printer.h),
// told apart by their first bytes.
//
// Serial: ENQ (0x05) is an enquiry, answered ACK; STX (0x02) starts a command
// frame that runs to its ETX (0x03), answered ACK and a reply frame; 0x55
// starts a programming frame. Any other byte between requests is noise and
// dropped, except one 0x00 while a stalled reply waits: that is the
// program's nudge, answered with the rest of the reply.
// UDP: a datagram that begins with the request magic 0xE18F is a command,
// answered with one reply datagram; any other goes to the programming
// protocol.
//
// A command frame whose check digits (or LAN checks) are wrong is answered
// with status "04" and not carried out. The faults of the fiscal-printer
// mode: no-ack (an enquiry gets no ACK), paper-end (status "92", nothing
// carried out), stall (serial: the reply frame stops before its ETX until the
// nudge, then the register sends the ETX and acknowledges the nudge with
// ACK), and of the common ones checksum (one check digit, or one LAN check,
// wrong), seq (LAN: the next sequence number), nak (as a damaged frame,
// "04"), refuse ("02", nothing carried out); lost, noise and slow are the
// link's. A fault that does not fit the request is dropped.
#pragma once

#include <atomic>
#include <mutex>
#include <string_view>
#include <vector>

#include "sim/programming.h"
#include "sim/protocol.h"
#include "sim/register_memory.h"

namespace zel::sim {

class RegisterProtocol : public Protocol {
 public:
  explicit RegisterProtocol(Register& reg) : register_(reg), programming_(reg) {}

  std::unique_ptr<StreamSplitter> NewStreamSplitter() const override;
  std::optional<Request> SplitDatagram(ConstByteSpan datagram) const override;
  ByteVector Serve(const Request& request, FaultDecision& fault, LinkKind link) override;

  // Faults aimed at particular commands (faults.h); they replace the drawn
  // fault of the command they hit. The count of command frames starts again.
  void SetAimedFaults(std::vector<AimedFault> aimed);

  // True while a stalled reply waits for the nudge.
  bool Holding() const { return holding_; }

 private:
  ByteVector Command(const Request& request, FaultDecision& fault, LinkKind link);
  // The aimed fault for this command text, if one hits it.
  void Aim(std::string_view text, FaultDecision& fault);

  Register& register_;
  ProgrammingProtocol programming_;
  std::mutex held_mutex_;
  ByteVector held_;  // the stalled reply's last bytes
  std::atomic<bool> holding_{false};
  std::mutex aimed_mutex_;
  std::vector<AimedFault> aimed_;
  std::vector<int> prefix_seen_;  // per aimed fault: commands with its prefix so far
  int commands_ = 0;              // command frames since the start
};

}  // namespace zel::sim
