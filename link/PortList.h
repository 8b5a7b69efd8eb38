#pragma once

#include <functional>
#include <string>
#include <vector>

// A serial port of the system, as the port dialog offers it.
struct TSerialPortInfo {
  std::string Device;        // what the port is opened by: "COM7", "/dev/ttyUSB0"
  std::string Description;   // for people: "USB-SERIAL CH340", "FT232R USB UART"; may be empty
  std::string UsbId;         // "1A86:7523" (VID:PID, upper-case hex) for USB devices, else empty
  std::string SerialNumber;  // USB serial number where the device has one
  // Linux: the link in /dev/serial/by-id that leads to the device, where there is one.
  // Unlike Device it stays the same whichever USB socket the adapter is plugged into.
  std::string ById;
  // A Bluetooth serial port (Windows: of the BTHENUM bus): its open may take seconds.
  bool Bluetooth = false;

  bool operator==(const TSerialPortInfo&) const = default;
};

// The serial ports of the system, and the devices that ORBI7_COM1 to ORBI7_COM4 name,
// each device once, in natural order (COM2 before COM10, /dev/ttyS* before
// /dev/ttyUSB*).
std::vector<TSerialPortInfo> ListSerialPorts();

// What tells devices apart: two names of one device (COM7 and \\.\COM7; a link in
// /dev/serial/by-id and its ttyUSB0) give the same key.
using TDeviceKey = std::function<std::string(const std::string& device)>;

// The common end of every system's listing: adds the devices that ORBI7_COMn name,
// keeps only the first entry of each device, and sorts naturally.
std::vector<TSerialPortInfo> WithNamedDevices(std::vector<TSerialPortInfo> ports, const TDeviceKey& key);

// Runs of digits compare by their value: "COM2" before "COM10".
bool NaturalLess(const std::string& a, const std::string& b);

// "COM7 — USB-SERIAL CH340 (USB 1A86:7523)".
std::string PortText(const TSerialPortInfo& port);
// The device as the list tells it, or its name alone when it is not listed.
std::string ListedPortText(const std::vector<TSerialPortInfo>& listed, const std::string& device);
