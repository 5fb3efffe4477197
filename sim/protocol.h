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
// 12-byte header on UDP) plugs in as another without touching the links.
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

// One request as it arrived.
struct Request {
  ByteVector bytes;   // the whole unit as received, framing included
  bool intact = true;
  int code = -1;      // command code for the request counters; -1 when unreadable
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
  // received intact, and returns the reply bytes (empty: no reply).
  virtual ByteVector Serve(const Request& request, const FaultDecision& fault, LinkKind link) = 0;
};

}  // namespace zel::sim
