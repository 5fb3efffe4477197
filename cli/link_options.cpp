#include "link_options.h"

#include <pthread.h>

#include <CLI/CLI.hpp>
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

std::string CheckLanAddress(const std::string& text) {
  return ParseLanAddress(text) ? std::string() : text + " (ADDR ή ADDR:PORT)";
}

void AddLinkOptions(CLI::App& command, LinkOptions& link) {
  constexpr const char* kGroup = "Σύνδεση με τον ΦΗΜ (χωρίς αυτές, η σύνδεση του OV_Setup.cfg)";
  CLI::Option* lan = command
                         .add_option_function<std::string>(
                             "--lan", [&link](const std::string& v) { link.lan = ParseLanAddress(v); }, kLanHelp)
                         ->type_name("ADDR[:PORT]")
                         ->check(CLI::Validator(CheckLanAddress, ""))
                         ->group(kGroup);
  CLI::Option* com = command
                         .add_option_function<int>(
                             "--com", [&link](int n) { link.com = static_cast<std::int16_t>(n); },
                             "η σειριακή θύρα COMn: COM1–COM4 /dev/ttyS0–3, COM5–COM12 /dev/ttyUSB0–7,\n"
                             "COM13–COM20 /dev/ttyACM0–7 (SETUPZEL_COM<n> για άλλη συσκευή)")
                         ->type_name("N")
                         ->check(CLI::Range(1, 20).description(""))
                         ->group(kGroup);
  lan->excludes(com);
  command
      .add_option_function<std::string>(
          "--baud", [&link](const std::string& v) { link.baud_choice = v == "9600" ? 1 : 0; },
          "η ταχύτητα της σειριακής γραμμής, όπως στον ΦΗΜ")
      ->type_name("115200|9600")
      ->check(CLI::IsMember({"115200", "9600"}).description(""))
      ->group(kGroup);
}

LinkSelection LinkOptions::Selection() const {
  LinkSelection s;
  LoadSettings(s);
  if (lan) {
    s.port = 0;
    s.ip = lan->ip;
    s.udp_port = lan->udp_port;
  }
  if (com) s.port = *com;
  if (baud_choice) s.baud_choice = *baud_choice;
  return s;
}

}  // namespace zel::cli
