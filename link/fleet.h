// Many registers at once: the same transfer to (or from) a list of
// registers on the LAN, a bounded number at a time, each with its own
// LinkSession, its own user interface that keeps what it was told, and its
// own trace file. Ends with one result per register, in the order given.
//
// Threading: RunFleet blocks; it runs up to `parallel` worker threads, each
// taking the next register from the list. `stop` (Ctrl-C) stops every
// running transfer and leaves the rest out; it may be set from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_image.h"
#include "link/abort_flag.h"
#include "link/settings.h"
#include "link/transfer.h"

namespace zel {

// "192.168.1.50" (the register port) or "192.168.1.50:2031" (a register
// behind a forwarded port). Nothing when it is neither.
std::optional<LinkSelection> ParseLanAddress(std::string_view text);

struct FleetTarget {
  std::string name;  // as the user gave it: "192.168.1.50:2031"
  LinkSelection selection;
};

struct FleetOptions {
  TransferRequest request;
  int parallel = 4;           // registers served at the same time
  std::string trace_folder;   // one trace file per register; empty: no traces
  std::string report_path;    // report files of reads (their folder)
  bool write_anyway = false;  // the answer when a backup before a write fails
};

struct FleetResult {
  std::string target;
  TransferOutcome outcome;
  double seconds = 0;
  std::vector<std::string> messages;  // what the transfer told its user, in order
  std::string trace_file;             // empty without traces
  DataImage image;                    // reads: what came in (the source's copy on writes)
  bool ran = false;                   // false when a stop came before its turn
};

std::vector<FleetResult> RunFleet(const std::vector<FleetTarget>& targets, const DataImage& source,
                                  const FleetOptions& options, AbortFlag& stop);

// The closing table: register, registration number, result, records, time,
// failed kinds; one line per register under a header line.
std::string FleetTable(const std::vector<FleetResult>& results);

}  // namespace zel
