// Serial ports: which device stands for COMn, opening and configuring it, and
// probing which ports can be opened.
//
// COM1-COM4 are /dev/ttyS0-3, COM5-COM12 /dev/ttyUSB0-7, COM13-COM20
// /dev/ttyACM0-7; the environment variable SETUPZEL_COM<n> overrides one
// mapping (tests point it at a pseudo-terminal). A port is opened raw, 8N1,
// at 115200 or 9600 baud, without handshake, DTR and RTS held on, for this
// process alone while it is open (flock plus TIOCEXCL; exclusive mode is
// given up again before the port is closed, or it would outlive us on a line
// someone else still holds and lock ordinary users out). Modem-line requests that a
// pseudo-terminal refuses (EINVAL, ENOTTY) are harmless and ignored.
#pragma once

#include <memory>
#include <string>

#include "link/abort_flag.h"
#include "link/stream_transport.h"

namespace zel {

inline constexpr int kMaxComPort = 20;

// The device of port n (1..20); empty for other numbers.
std::string DevicePath(int port);
// "COM5 (ttyUSB0)": the port name the dealer knows and the device behind it
// (the path without a leading "/dev/").
std::string PortLabel(int port);

enum class OpenFailure { kNone, kNotFound, kPermission, kBusy, kNotSerial, kConfigure, kOther };

struct SerialOpenResult {
  std::unique_ptr<StreamTransport> transport;  // set when the port is open
  OpenFailure failure = OpenFailure::kNone;
  std::string device;
  int error = 0;  // errno of the failing call
};

// Opens port n at `baud` (115200 or 9600) and starts its reader.
SerialOpenResult OpenSerialPort(int port, int baud, TickClock& clock, AbortFlag& abort);
SerialOpenResult OpenSerialDevice(const std::string& device, int baud, TickClock& clock, AbortFlag& abort);

// The line shown under "Δεν ήταν δυνατό να ανοίξει η θύρα COM!" when the
// cause is known (no permission, in use, no such device); empty otherwise.
std::string OpenFailureHint(const SerialOpenResult& result);

// True when port n can be opened now (the device exists, is a serial port
// with hardware behind it and nobody else holds it). Nothing is configured.
bool ProbeSerialPort(int port);

}  // namespace zel
