// What the program has once, whatever front end it runs under: the data
// image (with its unsaved-changes flag and database path, image.state), the
// link selection, the programming session and the fiscal printer link, the
// folder for report files, the paths of the settings file and the
// communication log, and the clock they all run on.
//
// It sits above the link (programming exchange) and the console (fiscal
// printer), in a folder of its own, because it holds both protocol sessions
// and neither of them may know the other. The window's main() makes one and
// hands it to the window, which hands it to its panels; zelctl and zelbridge
// make their own. No Qt.
//
// Threading: the owner's thread (the window's UI thread) uses it. A job on a
// worker thread gets what it changes as a copy (the data image) or is the
// only user of a session while it runs (the window is locked meanwhile);
// only the sessions' abort flags are touched from another thread.
#pragma once

#include <string>

#include "console/command_link.h"
#include "core/data_image.h"
#include "core/user_interface.h"
#include "link/exchange.h"
#include "link/settings.h"
#include "link/tick_clock.h"

namespace zel {

class Workspace {
 public:
  // `ui` answers the fiscal printer link's questions; `clock` is
  // SystemClock() in the program, a ManualTickClock in tests.
  explicit Workspace(UserInterface& ui, TickClock& clock = SystemClock());
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  DataImage image;
  // The link chosen on the transfer panel and the console (port, baud,
  // register IP address); kept in the settings file.
  LinkSelection link;
  // The one programming session of the program's life, so the frame
  // sequence number runs on from one transfer to the next.
  LinkSession programming;
  // The console's own link: its baud choice and LAN sequence number run on
  // from one showing of the console to the next.
  PrinterLink printer;
  // Where the report files go (file system encoding; only its folder
  // counts); empty until one is chosen.
  std::string report_path;
  std::string settings_path = kSettingsFile;
  std::string log_path = std::string(kLogFile);

  TickClock& clock() const { return clock_; }

 private:
  TickClock& clock_;
};

}  // namespace zel
