// A byte-stream transport over a file descriptor: the serial port's open tty
// (see serial_port.h) or, in tests, one end of a socket pair.
//
// One reader thread moves arriving bytes into the receive buffer of
// kReceiveBufferSize bytes; the consumer takes them out through Receive under
// the buffer's mutex and waits on its condition variable. Bytes that arrive
// while the buffer is full are dropped and counted (dropped()), so no peer
// can overrun it. A hang-up (POLLHUP, a read of 0 bytes, EIO) marks the link
// lost: Receive and Send then answer kConnectionLost at once.
//
// Close stops the reader through its wake-up descriptor and waits for it at
// most kCloseBound; a reader stuck in a hung driver is left to finish on its
// own (it owns the descriptor until then), so Close always returns in time.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "link/abort_flag.h"
#include "link/transport.h"
#include "link/unique_fd.h"

namespace zel {

inline constexpr std::size_t kReceiveBufferSize = 4000;
inline constexpr std::size_t kReadChunk = 180;
inline constexpr std::chrono::milliseconds kCloseBound{5000};

class StreamTransport final : public Transport {
 public:
  // Takes over `device` and makes it non-blocking. `before_close` runs on
  // the descriptor just before it is closed (the serial port lowers DTR and
  // purges its queues there). A Send of n bytes waits for a stalled device
  // at most 1000 ms + n * write_ms_per_byte.
  StreamTransport(UniqueFd device, TickClock& clock, AbortFlag& abort, std::function<void(int)> before_close = {},
                  int write_ms_per_byte = 0);
  ~StreamTransport() override;
  StreamTransport(const StreamTransport&) = delete;
  StreamTransport& operator=(const StreamTransport&) = delete;

  bool datagram() const override { return false; }
  IoStatus Send(std::span<const std::uint8_t> bytes) override;
  using Transport::Receive;
  ReceiveResult Receive(std::span<std::uint8_t> into, Millis deadline, std::size_t want) override;
  void Flush() override;

  // Stops the reader and closes the descriptor; returns within kCloseBound.
  void Close();
  bool lost() const;
  std::size_t dropped() const;  // bytes dropped because the buffer was full

 private:
  struct Shared;
  static void ReaderLoop(const std::shared_ptr<Shared>& shared);

  std::shared_ptr<Shared> shared_;
  std::thread reader_;
  TickClock& clock_;
  AbortFlag& abort_;
  int write_ms_per_byte_;
  bool is_socket_ = false;
  WakeSubscription on_abort_;
  WakeSubscription on_time_;
};

}  // namespace zel
