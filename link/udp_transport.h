// The LAN link: a connected, non-blocking UDP socket to the register.
//
// The register listens on port 2030; the environment variable
// SETUPZEL_REGISTER_PORT overrides it (tests and the simulator). System
// errors fall into the classes the exchange tells apart: ECONNREFUSED,
// ECONNRESET, ENETRESET and ECONNABORTED mean the connection is lost, EAGAIN
// that the socket would block, anything else a plain failure. A wait blocks
// in poll() on the socket and a wake-up descriptor that the abort flag and a
// manual clock signal.
#pragma once

#include <cstdint>
#include <memory>

#include "core/data_image.h"  // IPv4
#include "link/abort_flag.h"
#include "link/transport.h"
#include "link/unique_fd.h"

namespace zel {

inline constexpr std::uint16_t kRegisterPort = 2030;

// kRegisterPort, or the value of SETUPZEL_REGISTER_PORT when it is a valid
// port number.
std::uint16_t RegisterPort();

// "192.168.1.50": each octet in as many digits as it needs.
std::string DottedAddress(const IPv4& ip);

IoStatus ErrnoClass(int error);

class UdpTransport final : public Transport {
 public:
  // Creates the socket and connects it to ip:port. Nothing when the first
  // octet is 0 or the system refuses (the errno is left in `*error`).
  static std::unique_ptr<UdpTransport> Open(const IPv4& ip, std::uint16_t port, TickClock& clock, AbortFlag& abort,
                                            int* error = nullptr);
  ~UdpTransport() override;
  UdpTransport(const UdpTransport&) = delete;
  UdpTransport& operator=(const UdpTransport&) = delete;

  bool datagram() const override { return true; }
  IoStatus Send(std::span<const std::uint8_t> bytes) override;
  using Transport::Receive;
  ReceiveResult Receive(std::span<std::uint8_t> into, Millis deadline, std::size_t want) override;
  void Flush() override;

  int last_error() const { return last_error_; }
  // The socket, to poll() it from outside (a test waiting for the refusal
  // of a datagram to come back); it stays the transport's.
  int descriptor() const { return fd_; }

 private:
  UdpTransport(UniqueFd fd, UniqueFd wake_fd, TickClock& clock, AbortFlag& abort);
  void DrainWake();

  UniqueFd fd_holder_;    // the connected socket
  UniqueFd wake_holder_;  // eventfd: Stop or a moved clock ends a wait
  const int fd_;
  const int wake_fd_;
  int last_error_ = 0;
  TickClock& clock_;
  AbortFlag& abort_;
  WakeSubscription on_abort_;
  WakeSubscription on_time_;
};

}  // namespace zel
