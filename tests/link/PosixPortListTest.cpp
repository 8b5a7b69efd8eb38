// The listing over a sysfs and a /dev laid out as the kernel lays them out, in a
// temporary folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "link/PosixPortList.h"
#include "support/TemporaryFolder.h"

void PrintTo(const TSerialPortInfo& port, std::ostream* out) {
  *out << "{" << port.Device << " | " << port.Description << " | " << port.UsbId << " | " << port.SerialNumber << " | "
       << port.ById << "}";
}

namespace {

namespace fs = std::filesystem;

const std::string Usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/";
const std::string ById = "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

// An FTDI adapter (usb-serial: the tty's device is a port device below the USB
// interface), a board on cdc-acm (the tty's device is the interface itself) without a
// product string, two on-board UARTs and a port the kernel made without one, a
// virtual console.
struct TUsbDevice {
  std::string Folder, Vendor, Product, Manufacturer, ProductName, Serial;
};
const TUsbDevice UsbDevices[] = {
    {Usb + "1-1", "0403", "6001", "FTDI", "FT232R USB UART", "A50285BI"},
    {Usb + "1-2", "2341", "804d", "Arduino LLC", "", "5A3C2B1F50533336"},
};
const char* const Devices[] = {"ttyUSB0", "ttyACM0", "ttyS0", "ttyS1", "ttyS10", "tty1"};
const std::vector<std::pair<std::string, std::string>> Links = {
    {"sys/class/tty/ttyUSB0", "../../devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0"},
    {Usb + "1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0/device", "../../../ttyUSB0"},
    {"sys/class/tty/ttyACM0", "../../devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/tty/ttyACM0"},
    {Usb + "1-2/1-2:1.0/tty/ttyACM0/device", "../../../1-2:1.0"},
    {"sys/class/tty/ttyS0", "../../devices/pnp0/00:05/tty/ttyS0"},
    {"sys/devices/pnp0/00:05/tty/ttyS0/device", "../../../00:05"},
    {"sys/class/tty/ttyS1", "../../devices/platform/serial8250/tty/ttyS1"},
    {"sys/devices/platform/serial8250/tty/ttyS1/device", "../../../serial8250"},
    {"sys/class/tty/ttyS10", "../../devices/platform/serial8250/tty/ttyS10"},
    {"sys/devices/platform/serial8250/tty/ttyS10/device", "../../../serial8250"},
    {"sys/class/tty/tty1", "../../devices/virtual/tty/tty1"},
    {ById, "../../ttyUSB0"},
};

void LayOut(const fs::path& root) {
  for (const TUsbDevice& usb : UsbDevices) {
    fs::create_directories(root / usb.Folder);
    const std::pair<const char*, std::string> attributes[] = {{"idVendor", usb.Vendor},
                                                              {"idProduct", usb.Product},
                                                              {"manufacturer", usb.Manufacturer},
                                                              {"product", usb.ProductName},
                                                              {"serial", usb.Serial}};
    for (const auto& [name, text] : attributes) {
      if (!text.empty()) std::ofstream(root / usb.Folder / name) << text << "\n";  // no string, no file
    }
  }
  fs::create_directories(root / "dev");
  for (const char* device : Devices) std::ofstream(root / "dev" / device);
  for (const auto& [link, target] : Links) {
    const fs::path folder = (root / link).parent_path();
    fs::create_directories(folder);
    if (!fs::exists(folder / target)) fs::create_directories(folder / target);
    fs::create_symlink(target, root / link);
  }
}

TEST(PosixPortList, ListsTheSerialPortsOfTheSystemAndTheNamedDevices) {
  TTemporaryFolder folder;
  LayOut(folder.Path);
  const std::string dev = (folder.Path / "dev").string();
  std::set<std::string> asked;
  const TPortListRoots roots{(folder.Path / "sys").string(), dev, [&](const std::string& device) {
                               asked.insert(device);
                               return device != dev + "/ttyS1";
                             }};
  // COM1 is the FTDI adapter by its stable name, COM3 a pseudo-terminal, COM4 the port
  // without a UART: what the user names is offered whatever the system says of it.
  setenv("ORBI7_COM1", (folder.Path / ById).c_str(), 1);
  unsetenv("ORBI7_COM2");
  setenv("ORBI7_COM3", "/dev/pts/7", 1);
  setenv("ORBI7_COM4", (dev + "/ttyS1").c_str(), 1);

  const std::vector<TSerialPortInfo> expected = {
      {"/dev/pts/7", "", "", "", ""},
      {dev + "/ttyACM0", "Arduino LLC", "2341:804D", "5A3C2B1F50533336", ""},
      {dev + "/ttyS0", "", "", "", ""},
      {dev + "/ttyS1", "", "", "", ""},
      {dev + "/ttyS10", "", "", "", ""},
      {dev + "/ttyUSB0", "FT232R USB UART", "0403:6001", "A50285BI", (folder.Path / ById).string()},
  };
  EXPECT_EQ(ListSerialPorts(roots), expected);
  // Opening an adapter to ask for a UART would switch its modem lines for nothing.
  EXPECT_EQ(asked, (std::set<std::string>{dev + "/ttyS0", dev + "/ttyS1", dev + "/ttyS10"}));

  for (const char* variable : {"ORBI7_COM1", "ORBI7_COM3", "ORBI7_COM4"}) unsetenv(variable);
}

}  // namespace
