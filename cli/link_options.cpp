#include "link_options.h"

#include <pthread.h>

#include <cstdlib>
#include <iostream>
#include <optional>

#include "link/fleet.h"

namespace zel::cli {

StopOnSignal::StopOnSignal(AbortFlag& abort) {
  sigemptyset(&set_);
  sigaddset(&set_, SIGINT);
  sigaddset(&set_, SIGTERM);
  sigaddset(&set_, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &set_, &old_);
  thread_ = std::thread([this, &abort] {
    for (;;) {
      int sig = 0;
      if (sigwait(&set_, &sig) != 0 || sig == SIGUSR1) return;
      std::cerr << "\nΔιακοπή...\n";
      abort.Set();
    }
  });
}

StopOnSignal::~StopOnSignal() {
  pthread_kill(thread_.native_handle(), SIGUSR1);
  thread_.join();
  pthread_sigmask(SIG_SETMASK, &old_, nullptr);
}

bool LinkOption(Args args, std::size_t& i, LinkSelection& selection) {
  const std::string& a = args[i];
  if (i + 1 >= args.size()) return false;
  const std::string& v = args[++i];
  if (a == "--lan") {
    // ADDR or ADDR:PORT (a register behind a forwarded port).
    const std::optional<LinkSelection> lan = ParseLanAddress(v);
    if (!lan) return false;
    selection.port = 0;
    selection.ip = lan->ip;
    selection.udp_port = lan->udp_port;
    return true;
  }
  if (a == "--com") {
    char* end = nullptr;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (!end || *end || n < 1 || n > 20) return false;
    selection.port = static_cast<std::int16_t>(n);
    return true;
  }
  if (a == "--baud") {
    if (v != "115200" && v != "9600") return false;
    selection.baud_choice = v == "9600" ? 1 : 0;
    return true;
  }
  return false;
}

bool IsLinkOption(const std::string& a) { return a == "--lan" || a == "--com" || a == "--baud"; }

// The saved link selection of OV_Setup.cfg, as the panel starts with it.
LinkSelection SavedSelection() {
  LinkSelection s;
  LoadSettings(s);
  return s;
}

}  // namespace zel::cli
