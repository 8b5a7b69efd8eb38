#include "link/PosixPortList.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>

#ifdef __linux__
#include <linux/serial.h>
#endif

namespace fs = std::filesystem;

namespace {

class TDescriptor {
 public:
  explicit TDescriptor(int fd) : Fd(fd) {}
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  ~TDescriptor() {
    if (Fd >= 0) close(Fd);
  }
  const int Fd;
};

// A sysfs attribute: one line and its line break.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The USB device holds the strings. A cdc-acm port's device is the USB interface
// right below it; a usb-serial port's is a port device of the driver's own below the
// interface. Climbing no further keeps the root hub's strings out.
std::optional<fs::path> UsbDeviceAbove(fs::path device) {
  for (int level = 0; level < 3 && device.has_relative_path(); ++level, device = device.parent_path()) {
    if (fs::exists(device / "idVendor")) return device;
  }
  return std::nullopt;
}

void DescribeUsbDevice(const fs::path& usb, TSerialPortInfo& port) {
  const std::string product = Attribute(usb / "product");
  port.Description = product.empty() ? Attribute(usb / "manufacturer") : product;
  port.UsbId = UpperCase(Attribute(usb / "idVendor") + ":" + Attribute(usb / "idProduct"));
  port.SerialNumber = Attribute(usb / "serial");
}

std::string ByIdLink(const fs::path& dev, const fs::path& device) {
  std::error_code error;
  for (fs::directory_iterator link(dev / "serial" / "by-id", error), end; !error && link != end;
       link.increment(error)) {
    std::error_code unresolved;
    if (fs::equivalent(link->path(), device, unresolved)) return link->path().string();
  }
  return {};
}

bool IsOnBoardPort(const std::string& name) {
  return name.size() > 4 && name.starts_with("ttyS") && std::isdigit(static_cast<unsigned char>(name[4]));
}

// /dev/serial/by-id/... and /dev/ttyUSB0 are one device.
std::string DeviceKey(const std::string& device) {
  std::error_code error;
  const fs::path resolved = fs::weakly_canonical(device, error);
  return error ? device : resolved.string();
}

}  // namespace

// The open does not wait for carrier (O_NONBLOCK) and sends nothing; a device on the
// line sees at most its modem lines come on and go off. A port that a program holds
// exclusively (this one holds the register's so) refuses with EBUSY: a UART is there.
bool UartPresent([[maybe_unused]] const std::string& device) {
#ifdef __linux__
  const TDescriptor port(open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (port.Fd < 0) return errno == EBUSY;
  serial_struct serial{};
  return ioctl(port.Fd, TIOCGSERIAL, &serial) == 0 && serial.type != PORT_UNKNOWN;
#else
  return false;
#endif
}

std::vector<TSerialPortInfo> ListSerialPorts(const TPortListRoots& roots) {
  std::vector<TSerialPortInfo> ports;
  std::error_code error;
  for (fs::directory_iterator tty(fs::path(roots.Sys) / "class" / "tty", error), end; !error && tty != end;
       tty.increment(error)) {
    std::error_code virtualTerminal;  // consoles and pseudo-terminals have no device
    const fs::path device = fs::canonical(tty->path() / "device", virtualTerminal);
    if (virtualTerminal) continue;
    const std::string name = tty->path().filename().string();
    TSerialPortInfo port;
    port.Device = (fs::path(roots.Dev) / name).string();
    if (const std::optional<fs::path> usb = UsbDeviceAbove(device)) {
      DescribeUsbDevice(*usb, port);
    } else if (IsOnBoardPort(name) && !roots.HasUart(port.Device)) {
      continue;
    }
    port.ById = ByIdLink(roots.Dev, port.Device);
    ports.push_back(port);
  }
  return WithNamedDevices(std::move(ports), DeviceKey);
}

std::vector<TSerialPortInfo> ListSerialPorts() { return ListSerialPorts(TPortListRoots{}); }
