// zelsim in-process: a simulated cash register for tests, benchmarks and a
// new user's first try. It listens on a UDP port of 127.0.0.1 (the register's
// LAN port) and/or on a pseudo-terminal (its serial port; the program opens
// the terminal's path as a COM port through SETUPZEL_COM<n>), speaks the
// programming protocol and the fiscal-printer mode on both, and keeps a
// register's memory: programming, customer message lines, sales figures,
// fiscal memory, and the fiscal-printer mode's receipt, day and paper.
//
// Threading: each link runs its own thread. Every public member may be
// called from any thread at any time; the accessors copy under the memory's
// lock. Stop() (also run by the destructor) joins the link threads.
//
// Failures: Start* return false with a readable reason in `error`; the
// simulator stays usable (another port may be tried).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/faults.h"
#include "sim/fiscal_memory.h"
#include "sim/links.h"
#include "sim/register_memory.h"
#include "sim/register_protocol.h"

namespace zel::sim {

struct SimulatorOptions {
  FaultOptions faults;                     // rates, seed, slow delay, hang-up
  LinkTiming timing;                       // baud pacing, turnaround, frame gap
  std::string bind_address = "127.0.0.1";  // where the UDP port listens
  // Seed of the generated fiscal memory.
  std::uint32_t fiscal_seed = kDefaultSeed;
  std::string registration{kDefaultRegistration};
  // Faults aimed at particular fiscal-printer commands (faults.h).
  std::vector<AimedFault> aimed;
};

class Simulator {
 public:
  explicit Simulator(SimulatorOptions options = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // ---- Links
  // UDP on the bind address; port 0 picks a free one (see udp_port()).
  bool StartUdp(std::uint16_t port, std::string* error = nullptr);
  // A new pseudo-terminal pair (see pty_path()).
  bool StartPty(std::string* error = nullptr);
  std::uint16_t udp_port() const;  // 0 when not listening
  std::string pty_path() const;    // empty when there is none
  bool udp_hung_up() const;
  bool pty_hung_up() const;
  // Stops both links and joins their threads; the memory stays readable.
  void Stop();

  // ---- Behaviour; links apply changes from their next request
  void SetFaults(const FaultOptions& faults);  // restarts the draws from faults.seed
  void SetTiming(const LinkTiming& timing);
  void SetRefuseItems(bool refuse);
  // Faults aimed at particular fiscal-printer commands; the count of
  // command frames starts again.
  void SetAimedFaults(std::vector<AimedFault> aimed);
  // Item record `index` (0-based; -1 for none) is kept with its price 5
  // higher than written.
  void SetAlterItem(int index);

  // ---- Observation
  Counters counters() const;
  void ResetCounters();
  // Blocks until the links have handled `n` requests in all (intact and
  // damaged) since the start or the last reset; false on time-out.
  bool WaitForRequests(std::uint64_t n, std::chrono::milliseconds timeout) const;

  // ---- Memory (copies in, copies out)
  DataImage Programming() const;
  void SetProgramming(const DataImage& image);
  std::array<CustomerMessageLine, 2> CustomerMessage() const;
  void SetCustomerMessage(const std::array<CustomerMessageLine, 2>& lines);
  std::vector<SalesFigure> Sales() const;  // one per item record
  void SetSales(int item, SalesFigure figure);
  void ClearSales();
  ByteVector FiscalMemory() const;
  // Must be fm::kSize bytes; false otherwise (nothing changed).
  bool SetFiscalMemory(const ByteVector& memory);
  // ---- Fiscal-printer mode (fiscal_printer.h)
  // A copy of its state: stage of the receipt, its lines and totals, the
  // day's totals, the Z counter (next_z, 0 until the first command), the
  // Z reports taken, the command texts received and the printed lines (code
  // page 1253).
  PrinterState Printer() const;
  bool ReceiptOpen() const;
  // The number the next Z report gets.
  int NextZ();
  // Printed lines in UTF-8, oldest first.
  std::vector<std::string> Paper() const;
  // Called at once with the lines kept so far, then with each line as it is
  // printed (UTF-8), on a link's thread; nothing stops printing to it.
  void SetPaperSink(std::function<void(const std::string& utf8)> sink);

  // Replaces the fiscal memory by one generated from `seed`, keeping the
  // registration number.
  fm::Summary GenerateFiscalMemory(std::uint32_t seed);
  std::string Registration() const;
  // Three characters and eight digits; false (nothing changed) otherwise.
  bool SetRegistration(std::string_view registration);

  // The programming from or to a .cld file. Loading changes nothing when the
  // file is not a good database file; `error` says why (Greek, UTF-8).
  bool LoadProgramming(const std::string& path, std::string* error = nullptr);
  bool SaveProgramming(const std::string& path, std::string* error = nullptr) const;
  // A Greek mini market's programming, and sales for its items from `seed`.
  void FillDemoProgramming();
  void FillDemoSales(std::uint32_t seed);

 private:
  SimulatorOptions options_;
  Register register_;
  Stats stats_;
  std::unique_ptr<RegisterProtocol> protocol_;
  mutable std::mutex links_mutex_;
  std::unique_ptr<UdpLink> udp_;
  std::unique_ptr<PtyLink> pty_;
};

}  // namespace zel::sim
