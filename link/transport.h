// The byte path to the register, whatever carries it: a serial port
// (StreamTransport over a tty) or the LAN (UdpTransport). The framed exchange
// is written once against this interface.
//
// A transport is used by one thread at a time (the one running the
// exchange); its waits end at once when the abort flag it was built with is
// set, and it never waits past the deadline it is given. Under a
// ManualTickClock a wait ends only when the clock is moved past the deadline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "link/tick_clock.h"

namespace zel {

enum class IoStatus {
  kOk,
  kTimedOut,        // the deadline passed with nothing received
  kAborted,         // the abort flag was set
  kWouldBlock,      // the system could not take the bytes now (EAGAIN)
  kConnectionLost,  // the peer or the device is gone (hang-up, refused, reset)
  kFailed,          // any other system error
};

struct ReceiveResult {
  IoStatus status = IoStatus::kOk;
  std::size_t count = 0;     // bytes placed at the destination
  std::size_t datagram = 0;  // datagram links: the datagram's full length (may exceed count)
  int error = 0;             // errno of a kFailed or kConnectionLost
};

class Transport {
 public:
  virtual ~Transport() = default;

  // True for a datagram link (one reply per datagram), false for a byte stream.
  virtual bool datagram() const = 0;
  // Sends all the bytes (one datagram on a datagram link).
  virtual IoStatus Send(std::span<const std::uint8_t> bytes) = 0;
  // Waits until something has arrived, the deadline passes or the abort flag
  // is set. A stream hands over the bytes received since the last call (at
  // most into.size(), the rest stays for the next call) once at least `want`
  // of them are there, or at the deadline whatever came; a datagram link
  // hands over one datagram, cut to into.size(), and ignores `want`.
  //
  // `want` lets a reader that knows how much it still needs (a frame's
  // length) sleep through the bytes of a reply trickling in one by one
  // instead of waking for each.
  virtual ReceiveResult Receive(std::span<std::uint8_t> into, Millis deadline, std::size_t want) = 0;
  ReceiveResult Receive(std::span<std::uint8_t> into, Millis deadline) { return Receive(into, deadline, 1); }
  // Forgets everything received and not yet handed over.
  virtual void Flush() = 0;
};

}  // namespace zel
