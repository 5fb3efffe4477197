// What the commands that talk to a register share: the link options
// (--lan ADDR[:PORT], --com, --baud), the saved link selection, and Ctrl-C as Stop.
#pragma once

#include <signal.h>

#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "link/abort_flag.h"
#include "link/settings.h"

namespace CLI {
class App;
}

namespace zel::cli {

// Ctrl-C (and SIGTERM) set the abort flag, exactly like the Stop button. The
// signals are blocked in every thread and taken by one waiting thread, so
// nothing runs in a signal handler.
class StopOnSignal {
 public:
  explicit StopOnSignal(AbortFlag& abort);
  ~StopOnSignal();
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;

 private:
  sigset_t set_{}, old_{};
  std::thread thread_;
};

// The link options of a command line, as given.
struct LinkOptions {
  std::optional<LinkSelection> lan;  // --lan ADDR[:PORT]: its address and port
  std::optional<std::int16_t> com;   // --com N
  std::optional<int> baud_choice;    // --baud: 0 115200, 1 9600

  // The saved selection of OV_Setup.cfg, as the panel starts with it, with
  // the options given over it.
  LinkSelection Selection() const;
};

// Adds --lan ADDR[:PORT] | --com N and --baud 115200|9600 to `command`,
// filling `link`.
void AddLinkOptions(CLI::App& command, LinkOptions& link);

// The help text of --lan (fleet has its own --lan, given once per register).
inline constexpr const char* kLanHelp =
    "η διεύθυνση IPv4 του ΦΗΜ· με :PORT για ΦΗΜ πίσω από προώθηση θύρας (αλλιώς η θύρα UDP 2030)";
// Checks a --lan value; the Greek of a value that is no address.
std::string CheckLanAddress(const std::string& text);

}  // namespace zel::cli
