// The seam between the simulated register's links and what it speaks on
// them. A link (pseudo-terminal or UDP socket) moves bytes, paces them and
// applies the faults that belong to the wire (lost, noise, slow, hang-up);
// a Protocol splits those bytes into requests, carries them out on the
// register's memory and frames the replies, applying the faults that belong
// to its framing (bad checksum, damaged-request or refusal reply, wrong
// sequence number).
//
// The programming protocol (framed records, programming.h) is one Protocol;
// the fiscal-printer mode (ENQ/ACK text commands on the serial link, a
// 12-byte header on UDP; printer_protocol.h) is another, and the register
// speaks both on the same links, told apart by their first bytes.
//
// Threading: a link thread calls Serve; the two links may call it at the
// same time, so Serve guards the register's memory itself. Splitters belong
// to one link thread each.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "sim/faults.h"
#include "sim/frame.h"

namespace zel::sim {

enum class LinkKind : std::uint8_t { kSerial, kDatagram };

// What a request is: a programming frame, or one of the fiscal-printer
// mode's units (an enquiry byte, a command frame, the program's 0x00 nudge).
enum class RequestKind : std::uint8_t { kProgramming, kEnquiry, kPrinterCommand, kNudge };

// One request as it arrived.
struct Request {
  ByteVector bytes;  // the whole unit as received, framing included
  bool intact = true;
  int code = -1;  // programming command code for the request counters; -1 when unreadable
  RequestKind kind = RequestKind::kProgramming;
};

// Splits a serial byte stream into requests.
class StreamSplitter {
 public:
  virtual ~StreamSplitter() = default;
  virtual void Append(ConstByteSpan bytes) = 0;
  // The next complete request, or nothing until more bytes arrive.
  virtual std::optional<Request> Next() = 0;
  // True while a started request waits for the rest of its bytes.
  virtual bool Pending() const = 0;
  // The line went silent with a request pending: drop its start.
  virtual void GiveUp() = 0;
};

class Protocol {
 public:
  virtual ~Protocol() = default;
  virtual std::unique_ptr<StreamSplitter> NewStreamSplitter() const = 0;
  // One datagram is one request; nothing when it is not meant for this
  // protocol at all (it is then ignored without a reply).
  virtual std::optional<Request> SplitDatagram(ConstByteSpan datagram) const = 0;
  // Carries out the request unless the fault says it was refused or not
  // received intact, and returns the reply bytes (empty: no reply). A fault
  // that has no meaning for this request is set back to none, so that the
  // link neither applies nor counts it.
  virtual ByteVector Serve(const Request& request, FaultDecision& fault, LinkKind link) = 0;
};

}  // namespace zel::sim
