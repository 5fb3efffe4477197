// What the simulated register remembers: its programming (the same data
// image the program edits, plus the two customer message lines that travel
// with the parameters), its sales figures per item, its fiscal memory and
// whether it refuses to take items, and its fiscal-printer mode's receipt,
// day totals and paper.
//
// Texts are kept exactly as they arrived on the wire: a text the program
// wrote empty is stored as 0xFF bytes, as the register's erased memory would
// hold it, and read back that way.
//
// Register wraps the memory with the one mutex that the protocol (on the
// link threads) and the simulator's accessors (on the test's thread) share.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

#include "core/data_image.h"
#include "sim/fiscal_memory.h"
#include "sim/printer_state.h"

namespace zel::sim {

// Sales of one item since the last clear.
struct SalesFigure {
  std::int32_t quantity = 0;  // thousandths
  std::int32_t amount = 0;    // cents
  bool operator==(const SalesFigure&) const = default;
};

inline constexpr std::string_view kDefaultRegistration = "ZEL12345678";
inline constexpr std::uint32_t kDefaultSeed = 1;

struct RegisterMemory {
  DataImage programming;
  std::array<CustomerMessageLine, 2> customer_message{};
  std::vector<SalesFigure> sales = std::vector<SalesFigure>(kItemCount);
  ByteVector fiscal_memory = fm::Generate(kDefaultSeed, kDefaultRegistration);
  bool refuse_items = false;  // answer the item-table opening with 0xDEBA
  // An item record (0-based) the register keeps altered when it is written:
  // its price 5 higher than sent, as if a cashier had changed it at once.
  // -1: none.
  int alter_item = -1;
  PrinterState printer;  // the fiscal-printer mode
};

class Register {
 public:
  // Runs `f(RegisterMemory&)` with the memory locked and returns its result.
  template <class F>
  auto With(F&& f) {
    std::lock_guard lock(mutex_);
    return f(memory_);
  }
  template <class F>
  auto With(F&& f) const {
    std::lock_guard lock(mutex_);
    return f(static_cast<const RegisterMemory&>(memory_));
  }

 private:
  mutable std::mutex mutex_;
  RegisterMemory memory_;
};

}  // namespace zel::sim
