#include "link/PosixSerialPort.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#ifdef __linux__
#include <linux/serial.h>
#endif

namespace {

#ifdef CMSPAR
constexpr tcflag_t StickParity = CMSPAR;
#else
constexpr tcflag_t StickParity = 0;  // no MARK and SPACE parity here: every open is refused
#endif

constexpr tcflag_t AllParityBits = PARENB | PARODD | StickParity;

// MARK is stick parity with the odd flag, SPACE without it.
constexpr tcflag_t ParityBits(bool mark) { return PARENB | StickParity | (mark ? PARODD : 0); }

void MakeLineSettings(termios& t) {
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  // No CRTSCTS: it would also hold every write until CTS, and a register cable need
  // not carry CTS.
  t.c_cflag &= ~(CSIZE | CSTOPB | CRTSCTS | AllParityBits);
  t.c_cflag |= CS8 | CREAD | CLOCAL | ParityBits(true);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
}

// Each exchange waits for several short answers; a USB adapter that gathers bytes
// for its default latency would slow every one of them down.
void RequestLowLatency([[maybe_unused]] int fd) {
#ifdef __linux__
  serial_struct serial{};
  if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  ioctl(fd, TIOCSSERIAL, &serial);
#endif
}

// How long the device may hold received bytes: a pseudo-terminal and a serial port on
// the board not at all; a USB adapter as its driver tells (the common kind, with the
// low latency asked for, 1 ms), or else as such adapters come.
TTick DeviceLatencyMs([[maybe_unused]] int fd) {
#ifdef __linux__
  struct stat device {};
  if (fstat(fd, &device) != 0 || !S_ISCHR(device.st_mode)) return 0;
  const unsigned majorNumber = major(device.st_rdev);
  if (majorNumber >= 136 && majorNumber <= 143) return 0;  // pseudo-terminals
  const std::string node = "/sys/dev/char/" + std::to_string(majorNumber) + ":" + std::to_string(minor(device.st_rdev));
  char path[PATH_MAX];
  if (realpath(node.c_str(), path) == nullptr || std::strstr(path, "/usb") == nullptr) return 0;
  std::ifstream timer(node + "/device/latency_timer");
  long ms = -1;
  if (timer >> ms && ms >= 0 && ms <= 255) return static_cast<TTick>(ms);
  return UsbAdapterLatencyMs;
#else
  return UsbAdapterLatencyMs;
#endif
}

// The group that may open the device, for a user who is not in it ("dialout").
std::string OwningGroup(const std::string& device) {
  struct stat node {};
  if (stat(device.c_str(), &node) != 0) return {};
  std::vector<char> buffer(16384);
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(node.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return {};
  return found->gr_name;
}

struct TErrnoFault {
  int Error;
  TPortFault Fault;
};

constexpr TErrnoFault OpenFaults[] = {
    {ENOENT, TPortFault::Absent},      {ENODEV, TPortFault::Absent}, {ENXIO, TPortFault::Absent},
    {ENOTDIR, TPortFault::Absent},     {EBUSY, TPortFault::Busy},    {EACCES, TPortFault::NoPermission},
    {EPERM, TPortFault::NoPermission},
};

// What a pulled USB adapter's descriptor, or a pseudo-terminal whose far end has
// closed, answers to reads, writes and ioctls.
constexpr int RemovalErrors[] = {EIO, ENXIO, ENODEV};

TOpenedPort OpenFailure(const std::string& device, int error) {
  const TPortFault fault = PosixOpenFault(error);
  return TOpenedPort::Failed(fault, fault == TPortFault::NoPermission ? OwningGroup(device) : std::string());
}

class TDeadline {
 public:
  explicit TDeadline(TTick ms) : End(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}

  bool Passed() const { return std::chrono::steady_clock::now() >= End; }

  // Rounded up, so that a wait for the rest never ends just before the deadline.
  TTick RemainingMs() const {
    const auto left = End - std::chrono::steady_clock::now();
    if (left <= left.zero()) return 0;
    return static_cast<TTick>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
  }

  const std::chrono::steady_clock::time_point End;
};

int PollTimeout(TTick ms) { return static_cast<int>(std::min<TTick>(ms, INT_MAX)); }

}  // namespace

TPortFault PosixOpenFault(int error) {
  for (const TErrnoFault& row : OpenFaults) {
    if (row.Error == error) return row.Fault;
  }
  return TPortFault::Other;
}

bool IsRemovalError(int error) {
  return std::find(std::begin(RemovalErrors), std::end(RemovalErrors), error) != std::end(RemovalErrors);
}

void TPosixSerialPort::NoteError(int error) { Gone = Gone || IsRemovalError(error); }

// A hung-up terminal (a USB adapter pulled out) polls as POLLHUP and POLLERR; with
// CLOCAL set, a serial line's carrier never hangs it up.
void TPosixSerialPort::NoteEvents(short events) { Gone = Gone || (events & (POLLHUP | POLLERR | POLLNVAL)) != 0; }

TOpenedPort TPosixSerialPort::Open(const std::string& device) {
  // Non-blocking, so that a port without carrier does not hang the open; it stays so,
  // and every wait is a poll().
  const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return OpenFailure(device, errno);
  // TIOCEXCL keeps other programs out, but not one run as root; the lock does.
  // Neither touches the device before we know it is ours.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    return OpenFailure(device, error == EWOULDBLOCK ? EBUSY : error);
  }
  ioctl(fd, TIOCEXCL);
  auto port = std::make_unique<TPosixSerialPort>(fd);
  if (const TPortFault fault = port->ApplyLineSettings(); fault != TPortFault::None) return TOpenedPort::Failed(fault);
  RequestLowLatency(fd);
  port->LatencyMs = DeviceLatencyMs(fd);
  port->Purge();
  port->SetModemLines();
  return TOpenedPort::Opened(std::move(port));
}

TPosixSerialPort::~TPosixSerialPort() {
  FullPurge();
  // A pseudo-terminal outlives our descriptor; leave it open to the next program.
  ioctl(Fd, TIOCNXCL);
  close(Fd);
}

// Some USB adapter drivers silently drop CMSPAR and would send odd parity instead of
// MARK: the register would never answer. Such a device is refused at once. PARENB is
// not asked back: a pseudo-terminal always clears it, and carries no parity anyway.
// A file that is no terminal at all is no port.
TPortFault TPosixSerialPort::ApplyLineSettings() {
  termios settings{};
  if (tcgetattr(Fd, &settings) != 0) return TPortFault::Absent;
  MakeLineSettings(settings);
  tcsetattr(Fd, TCSANOW, &settings);
  termios applied{};
  if (tcgetattr(Fd, &applied) != 0) return TPortFault::Other;
  if (StickParity == 0 || (applied.c_cflag & StickParity) == 0) return TPortFault::NoStickParity;
  KeptParityBits = applied.c_cflag & AllParityBits;
  return TPortFault::None;
}

// Fails on a pseudo-terminal and on adapters without modem lines; nothing depends on it.
void TPosixSerialPort::SetModemLines() {
  int dtr = TIOCM_DTR;
  ioctl(Fd, TIOCMBIC, &dtr);
  int rts = TIOCM_RTS;
  ioctl(Fd, TIOCMBIS, &rts);
}

void TPosixSerialPort::SetParity(bool mark) {
  termios settings{};
  if (tcgetattr(Fd, &settings) != 0) return;
  const tcflag_t wanted = ParityBits(mark);
  // A request that changes nothing the driver keeps is not made at all.
  if (((settings.c_cflag ^ wanted) & KeptParityBits) == 0) return;
  settings.c_cflag = (settings.c_cflag & ~AllParityBits) | wanted;
  // TCSADRAIN: the bytes already written leave with the old parity.
  if (tcsetattr(Fd, TCSADRAIN, &settings) != 0) NoteError(errno);
}

std::size_t TPosixSerialPort::TakeFromDriver() {
  std::size_t taken = 0;
  std::uint8_t chunk[256];
  for (;;) {
    const ssize_t got = read(Fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) NoteError(errno);
    if (got <= 0) return taken;
    Queue.insert(Queue.end(), chunk, chunk + got);
    taken += static_cast<std::size_t>(got);
  }
}

std::size_t TPosixSerialPort::TakeQueued(std::uint8_t* buffer, std::size_t n) {
  const std::size_t count = std::min(n, Queue.size());
  std::copy_n(Queue.begin(), count, buffer);
  Queue.erase(Queue.begin(), Queue.begin() + static_cast<std::ptrdiff_t>(count));
  return count;
}

// A device that hangs up is gone, and the wait ends at once. One that reports itself
// ready but gives nothing has failed otherwise; the time is slept away rather than
// spent polling it again and again.
bool TPosixSerialPort::AwaitReadable(TTick timeoutMs) {
  if (Gone) return false;
  pollfd watch{Fd, POLLIN, 0};
  if (poll(&watch, 1, PollTimeout(timeoutMs)) <= 0) return false;
  if (TakeFromDriver() > 0) return true;
  NoteEvents(watch.revents);
  if (!Gone) std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
  return false;
}

std::size_t TPosixSerialPort::InputQueued() {
  TakeFromDriver();
  return Queue.size();
}

// Each byte that comes wakes the program; on a virtual machine a wake-up costs more
// than a byte's time on the line. The missing bytes come one character after another
// at the soonest, so the time of all but the last is slept through in one go. Behind
// an adapter that passes bytes on in bursts they may come all at once, so there the
// port waits for each burst instead.
void TPosixSerialPort::AwaitInput(TTick timeoutMs, std::size_t missing) {
  if (TakeFromDriver() > 0) return;
  const TDeadline deadline(timeoutMs);
  if (LatencyMs == 0 && missing > 1 && timeoutMs > 1) {
    const auto lineTime = std::chrono::nanoseconds(CharacterNs * (missing - 1));
    std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(lineTime, std::chrono::milliseconds(timeoutMs - 1)));
    if (TakeFromDriver() > 0) return;
  }
  AwaitReadable(deadline.RemainingMs());
}

// tcdrain has no time limit, and for a USB adapter it waits on the adapter itself:
// one that hangs would hang the program. So the drain waits, bounded, for the
// driver's queue (TIOCOUTQ, which counts what a USB adapter's driver still holds too),
// and what the UART's or the adapter's own buffer may still be sending is left to
// LineTimeLeftMs. A pseudo-terminal has no queue and returns at once.
bool TPosixSerialPort::Drain(TTick timeoutMs) {
  return AwaitEmptyOutputQueue(timeoutMs, [this]() -> std::optional<std::size_t> {
    int queued = 0;
    if (ioctl(Fd, TIOCOUTQ, &queued) != 0) {
      NoteError(errno);
      return std::nullopt;
    }
    return static_cast<std::size_t>(std::max(queued, 0));
  });
}

void TPosixSerialPort::Purge() {
  tcflush(Fd, TCIOFLUSH);
  Queue.clear();
}

// Reads and writes here end before the next call starts, so there is nothing to abort.
void TPosixSerialPort::FullPurge() { Purge(); }

std::size_t TPosixSerialPort::ReadBytes(std::uint8_t* buffer, std::size_t n) {
  const TDeadline deadline(ReadTimeLimit(n));
  std::size_t got = 0;
  for (;;) {
    TakeFromDriver();
    got += TakeQueued(buffer + got, n - got);
    if (got == n || deadline.Passed() || Gone) return got;
    AwaitReadable(deadline.RemainingMs());
  }
}

std::size_t TPosixSerialPort::WriteBytes(const std::uint8_t* bytes, std::size_t n) {
  const TDeadline deadline(WriteTimeLimit(n));
  std::size_t done = 0;
  while (done < n) {
    const auto start = std::chrono::steady_clock::now();
    const ssize_t written = write(Fd, bytes + done, n - done);
    if (written > 0) {
      done += static_cast<std::size_t>(written);
      Transmitter.Written(static_cast<std::size_t>(written), start);
      continue;
    }
    if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      NoteError(errno);
      break;
    }
    if (deadline.Passed()) break;
    pollfd watch{Fd, POLLOUT, 0};
    if (poll(&watch, 1, PollTimeout(deadline.RemainingMs())) > 0 && (watch.revents & POLLOUT) == 0) {
      NoteEvents(watch.revents);
      break;
    }
  }
  return done;
}

std::string DefaultSerialDevice(int portNumber) { return "/dev/ttyS" + std::to_string(portNumber - 1); }

TOpenedPort OpenSerialPort(const std::string& device) { return TPosixSerialPort::Open(device); }
