// What the commands that talk to a register share: the link options
// (--lan ADDR[:PORT], --com, --baud), the saved link selection, and Ctrl-C as Stop.
#pragma once

#include <signal.h>

#include <string>
#include <thread>

#include "commands.h"
#include "link/abort_flag.h"
#include "link/settings.h"

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

bool IsLinkOption(const std::string& a);
// Reads the link option at args[i] and its value (i moves on to the value);
// false on misuse.
bool LinkOption(Args args, std::size_t& i, LinkSelection& selection);
// The saved link selection of OV_Setup.cfg, as the panels start with it.
LinkSelection SavedSelection();

}  // namespace zel::cli
