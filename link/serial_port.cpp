#include "link/serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace zel {
namespace {

OpenFailure FailureOf(int e) {
  switch (e) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return OpenFailure::kNotFound;
    case EACCES:
    case EPERM: return OpenFailure::kPermission;
    case EBUSY:
    case EWOULDBLOCK: return OpenFailure::kBusy;
    default: return OpenFailure::kOther;
  }
}

// Opens the device for this process alone; none with `failure` set otherwise.
UniqueFd OpenExclusive(const std::string& device, OpenFailure& failure, int& error) {
  UniqueFd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  const auto fail = [&](int e, OpenFailure f) {
    error = e;
    failure = f;
    return UniqueFd();
  };
  if (!fd) return fail(errno, FailureOf(errno));
  if (!::isatty(fd.get())) return fail(ENOTTY, OpenFailure::kNotSerial);
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return fail(errno, FailureOf(errno));
  ::ioctl(fd.get(), TIOCEXCL);  // refuses later opens by others (root is exempt)
  return fd;
}

// Exclusive mode belongs to the terminal, not to our descriptor: left set, it
// outlives our close while anyone else still holds the line (a pseudo-
// terminal's other side does), and every later open by an ordinary user
// fails with EBUSY. So it is given up before the descriptor goes.
void ReleaseExclusive(int fd) { ::ioctl(fd, TIOCNXCL); }

void CloseExclusive(UniqueFd fd) { ReleaseExclusive(fd.get()); }

bool Configure(int fd, int baud) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return false;
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD | CS8;
  t.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CRTSCTS);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  // One byte satisfies a read; with VMIN 0 a read of 0 bytes would mean "no
  // data" and could not tell a hang-up apart.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  const speed_t speed = baud == 9600 ? B9600 : B115200;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  if (::tcsetattr(fd, TCSANOW, &t) != 0) return false;
  ::tcflush(fd, TCIOFLUSH);
  // DTR and RTS held on. A pseudo-terminal has no modem lines and refuses.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd, TIOCMBIS, &lines);
  return true;
}

void ReleaseAndPurge(int fd) {
  ReleaseExclusive(fd);
  int lines = TIOCM_DTR;
  ::ioctl(fd, TIOCMBIC, &lines);
  // Discarding unsent output also keeps close() from waiting for a device
  // that no longer drains it.
  ::tcflush(fd, TCIOFLUSH);
}

}  // namespace

std::string DevicePath(int port) {
  if (port < 1 || port > kMaxComPort) return {};
  if (const char* over = std::getenv(("SETUPZEL_COM" + std::to_string(port)).c_str()); over && *over) return over;
  if (port <= 4) return "/dev/ttyS" + std::to_string(port - 1);
  if (port <= 12) return "/dev/ttyUSB" + std::to_string(port - 5);
  return "/dev/ttyACM" + std::to_string(port - 13);
}

std::string PortLabel(int port) {
  std::string device = DevicePath(port);
  if (device.rfind("/dev/", 0) == 0) device.erase(0, 5);
  return "COM" + std::to_string(port) + " (" + device + ")";
}

SerialOpenResult OpenSerialDevice(const std::string& device, int baud, TickClock& clock, AbortFlag& abort) {
  SerialOpenResult r;
  r.device = device;
  UniqueFd fd = OpenExclusive(device, r.failure, r.error);
  if (!fd) return r;
  if (!Configure(fd.get(), baud)) {
    r.error = errno;
    r.failure = OpenFailure::kConfigure;
    CloseExclusive(std::move(fd));
    return r;
  }
  r.transport = std::make_unique<StreamTransport>(std::move(fd), clock, abort, ReleaseAndPurge, baud == 9600 ? 2 : 0);
  return r;
}

SerialOpenResult OpenSerialPort(int port, int baud, TickClock& clock, AbortFlag& abort) {
  const std::string device = DevicePath(port);
  if (device.empty()) {
    SerialOpenResult r;
    r.failure = OpenFailure::kNotFound;
    return r;
  }
  return OpenSerialDevice(device, baud, clock, abort);
}

std::string OpenFailureHint(const SerialOpenResult& r) {
  switch (r.failure) {
    case OpenFailure::kPermission:
      return "Δεν έχετε δικαίωμα χρήσης της θύρας " + r.device +
             ": προσθέστε τον χρήστη στην ομάδα dialout (sudo usermod -aG dialout $USER) "
             "και συνδεθείτε ξανά.";
    case OpenFailure::kBusy: return "Η θύρα " + r.device + " χρησιμοποιείται ήδη από άλλο πρόγραμμα.";
    case OpenFailure::kNotFound: return r.device.empty() ? std::string() : "Η συσκευή " + r.device + " δεν υπάρχει.";
    case OpenFailure::kNotSerial: return "Η " + r.device + " δεν είναι σειριακή θύρα.";
    default: return {};
  }
}

bool ProbeSerialPort(int port) {
  const std::string device = DevicePath(port);
  if (device.empty()) return false;
  OpenFailure failure = OpenFailure::kNone;
  int error = 0;
  UniqueFd fd = OpenExclusive(device, failure, error);
  if (!fd) return false;
  // The kernel creates ttyS0-3 whether or not a UART is fitted; a port whose
  // type is unknown has no hardware behind it. Pseudo-terminals and USB
  // adapters do not answer this request and count as present.
  bool present = true;
  serial_struct info{};
  if (::ioctl(fd.get(), TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN) present = false;
  CloseExclusive(std::move(fd));
  return present;
}

}  // namespace zel
