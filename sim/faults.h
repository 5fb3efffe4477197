// Seeded fault injection for the simulated register's replies.
//
// Each reply draws at most one fault; each fault kind has its own
// percentage and their sum is at most 100. The draws come from a Mersenne
// Twister (its output is fixed by the C++ standard) seeded per link, and
// every draw takes exactly two numbers from it, so the same seed and the
// same sequence of requests always give the same faults, whatever the
// faults were.
//
// A fault that does not fit the request it was drawn for (a wrong sequence
// number on the serial link, a missing ACK for a command frame, paper end
// for a programming request) is dropped by the protocol and counts as none.
//
// What a fault means for the register's state: a lost, corrupted, noisy,
// slow or mis-numbered reply still follows a request that was carried out
// (as on a real register, the write happened); a damaged-request (0x80) or
// refusal (0x7F) reply means the request was not carried out.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "sim/frame.h"

namespace zel::sim {

enum class Fault : std::uint8_t {
  kNone,
  kLost,      // no reply
  kChecksum,  // sum or xor byte wrong
  kNoise,     // a few noise bytes before the reply (on UDP: ahead of the frame in its datagram)
  kNak,       // 0x80: the request "did not arrive intact"
  kRefuse,    // 0x7F: the request is refused
  kSeq,       // the reply carries the next sequence number (only the LAN exchange checks it)
  kSlow,      // the reply comes after the slow delay
  // Fiscal-printer mode only (the programming protocol never draws them):
  kNoAck,     // an enquiry (ENQ) gets no ACK
  kPaperEnd,  // the command is not carried out; its reply carries status "92"
  kStall,     // serial: the reply stops before its ETX until the program sends one 0x00 byte
};
inline constexpr int kFaultKinds = 11;

// Percentages per reply, 0 to 100 each, at most 100 together.
struct FaultRates {
  int lost = 0;
  int checksum = 0;
  int noise = 0;
  int nak = 0;
  int refuse = 0;
  int seq = 0;
  int slow = 0;
  int no_ack = 0;
  int paper_end = 0;
  int stall = 0;
  int Total() const { return lost + checksum + noise + nak + refuse + seq + slow + no_ack + paper_end + stall; }
  bool Valid() const;
};

struct FaultOptions {
  FaultRates rates;
  std::uint32_t seed = 1;
  int slow_ms = 2000;    // delay of a slow reply; past the program's usual 1500 ms
  int hangup_after = 0;  // the link hangs up after this many requests; 0 = never
};

struct FaultDecision {
  Fault fault = Fault::kNone;
  std::uint32_t variant = 0;  // picks the details (which check byte, which noise)
};

class FaultInjector {
 public:
  FaultInjector(const FaultRates& rates, std::uint32_t seed) : rates_(rates), rng_(seed) {}
  FaultDecision Draw();

 private:
  FaultRates rates_;
  std::mt19937 rng_;
};

// A fault aimed at one fiscal-printer command instead of drawn: the n-th
// command frame since the start (counted over both links, 1 for the first),
// or the k-th command whose text begins with a prefix. Each aimed fault
// fires once. Tests use it to spoil exactly the reply that matters (the
// payment's, the Z's) and nothing else.
struct AimedFault {
  Fault fault = Fault::kNone;
  int nth = 0;         // the n-th command frame; 0 when aimed by prefix
  std::string prefix;  // code page 1253
  int occurrence = 1;  // which command with that prefix
};

// Parses "FAULT@N" (the n-th command) or "FAULT@PREFIX" / "FAULT@PREFIX#K"
// (the first, or k-th, command beginning with PREFIX; a prefix holds a "/",
// a number does not), FAULT one of lost, checksum, noise, nak, refuse, seq,
// slow, paper-end, stall. Returns an empty string on success, otherwise what
// was wrong; `aimed` is then unchanged. The prefix is taken as it is.
std::string ParseAimedFault(std::string_view text, AimedFault& aimed);

// Noise bytes for a noise fault: 1 to 16 bytes, never 0x55, so that noise
// alone never looks like the start of a frame.
ByteVector NoiseBytes(std::uint32_t variant);

// Parses "lost=3,checksum=2,noise=2,nak=1,refuse=0,seq=0,slow=0,no-ack=0,
// paper-end=0,stall=0,hangup-after=0" (any subset, any order) into `options`. Returns an empty string on success,
// otherwise what was wrong; `options` is then unchanged.
std::string ParseFaultList(std::string_view list, FaultOptions& options);

std::string_view FaultName(Fault f);

}  // namespace zel::sim
