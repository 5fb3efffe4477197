// The simulated register's two links: a pseudo-terminal standing for its
// serial port and a UDP socket standing for its LAN port. Each runs one
// thread that waits in poll() on its descriptor and a stop descriptor,
// hands what arrives to the Protocol, and sends the replies with the wire's
// faults and timing applied: lost replies, noise before a reply, slow
// replies, a turnaround time before each reply, the baud rate's pace on the
// pseudo-terminal (both ways: a request counts as arrived when its bytes
// would have crossed the line, a reply's bytes are handed over as they
// cross it), and the hang-up after a given number of requests: the
// next request finds the pseudo-terminal closed (the program sees the line
// drop) or the UDP socket no longer answering.
//
// Every wait (turnaround, slow reply, pacing, a full terminal buffer) is a
// poll() on the stop descriptor with a deadline, so Stop() ends a link at
// once and joins its thread. The counters and the fault and timing settings
// are shared with the test's thread under their own locks.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/faults.h"
#include "sim/protocol.h"

namespace zel::sim {

// What the links have seen since the start (or the last reset).
struct Counters {
  std::array<std::uint64_t, 256> requests{};        // intact requests, per command code
  std::uint64_t damaged = 0;                        // requests answered as damaged (0x80)
  std::uint64_t printer = 0;                        // fiscal-printer requests: enquiries, command frames, nudges
  std::uint64_t ignored = 0;                        // datagrams that were no frame; requests met by a hang-up
  std::uint64_t replies = 0;                        // replies put on the wire
  std::uint64_t bytes_received = 0;                 // every byte (datagram) that came in
  std::uint64_t bytes_sent = 0;                     // every byte that went out, noise included
  std::array<std::uint64_t, kFaultKinds> faults{};  // faults drawn, by Fault
  std::uint64_t Handled() const;                    // intact + damaged + fiscal-printer requests
};

// Counters shared by the links; waiters block on a condition variable.
class Stats {
 public:
  template <class F>
  void Update(F&& f) {
    {
      std::lock_guard lock(mutex_);
      f(counters_);
    }
    changed_.notify_all();
  }
  Counters Get() const;
  void Reset();
  // Blocks until at least `n` requests have been handled or `timeout`
  // passes; true when they have.
  bool WaitForHandled(std::uint64_t n, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Counters counters_;
};

struct LinkTiming {
  int baud = 0;           // pseudo-terminal: bytes both ways at 10 bits each; 0 = no pacing
  int turnaround_ms = 0;  // quiet time before each reply
  int gap_ms = 100;       // pseudo-terminal: silence that drops a partly received frame
};

class Link {
 public:
  virtual ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // New settings apply from the next request; the fault draws start again
  // from the new seed.
  void SetFaults(const FaultOptions& faults);
  void SetTiming(const LinkTiming& timing);
  bool hung_up() const { return hung_up_; }
  // Ends the thread (an unfinished reply is dropped) and closes the link.
  void Stop();

 protected:
  Link(LinkKind kind, Protocol& protocol, Stats& stats, const FaultOptions& faults, const LinkTiming& timing);
  // Sends the reply; `start` is when its first byte is due on the line.
  using Sender = std::function<bool(const ByteVector&, std::chrono::steady_clock::time_point start)>;
  // Counts the request, draws its fault, has the protocol carry it out and
  // sends the reply through `send` with the wire's faults and timing. The
  // turnaround counts from `arrived`, when the request was complete.
  void Serve(const Request& request, const Sender& send, std::chrono::steady_clock::time_point arrived);
  // Waits until `deadline`; false when the link is being stopped.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline) const;
  bool Stopping() const;
  LinkTiming Timing() const;
  // Closes the link's descriptors (thread side).
  virtual void HangUp() = 0;
  void Start(std::function<void()> body);

  Protocol& protocol_;
  Stats& stats_;
  int stop_fd_ = -1;
  std::atomic<bool> hung_up_{false};

 private:
  const LinkKind kind_;
  mutable std::mutex settings_mutex_;
  FaultOptions faults_;
  FaultInjector injector_;
  LinkTiming timing_;
  std::uint64_t served_ = 0;
  std::thread thread_;
};

class PtyLink : public Link {
 public:
  // Opens a pseudo-terminal pair, sets it raw and starts serving; nothing
  // (and `error` set) on failure.
  static std::unique_ptr<PtyLink> Open(Protocol& protocol, Stats& stats, const FaultOptions& faults,
                                       const LinkTiming& timing, std::string* error);
  ~PtyLink() override;
  // The terminal the program opens as its COM port.
  const std::string& path() const { return path_; }

 private:
  using Link::Link;
  void Run();
  bool Write(const ByteVector& bytes, std::chrono::steady_clock::time_point start);
  void HangUp() override;
  void CloseDescriptors();

  int master_ = -1;
  // Our own descriptor on the terminal side keeps the pair alive while the
  // program closes and reopens its port between transfers.
  int slave_ = -1;
  std::string path_;
};

class UdpLink : public Link {
 public:
  // Binds `address`:`port` (port 0 picks a free one) and starts serving.
  static std::unique_ptr<UdpLink> Open(Protocol& protocol, Stats& stats, const FaultOptions& faults,
                                       const LinkTiming& timing, const std::string& address, std::uint16_t port,
                                       std::string* error);
  ~UdpLink() override;
  std::uint16_t port() const { return port_; }

 private:
  using Link::Link;
  void Run();
  void HangUp() override {}  // keeps reading, stops answering

  int socket_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace zel::sim
