#include "link/PortList.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "link/SerialPort.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The run of digits that starts at position, without its leading zeros; position
// moves past it.
std::string_view DigitRun(std::string_view text, std::size_t& position) {
  while (position + 1 < text.size() && text[position] == '0' && IsDigit(text[position + 1])) ++position;
  const std::size_t start = position;
  while (position < text.size() && IsDigit(text[position])) ++position;
  return text.substr(start, position - start);
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const std::string_view x = DigitRun(a, i);
      const std::string_view y = DigitRun(b, j);
      if (x.size() != y.size()) return x.size() < y.size();
      if (x != y) return x < y;
    } else {
      if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
      ++i;
      ++j;
    }
  }
  if (i < a.size() || j < b.size()) return i == a.size();
  return a < b;  // "COM01" and "COM1": some order, always the same
}

// The system's entries come before the named ones, so that a device the system lists
// keeps its description.
std::vector<TSerialPortInfo> WithNamedDevices(std::vector<TSerialPortInfo> ports, const TDeviceKey& key) {
  for (int portNumber = FirstPortNumber; portNumber <= LastPortNumber; ++portNumber) {
    TSerialPortInfo named;
    named.Device = EnvironmentSerialDevice(portNumber);
    if (!named.Device.empty()) ports.push_back(named);
  }
  std::set<std::string> seen;
  std::erase_if(ports, [&](const TSerialPortInfo& port) { return !seen.insert(key(port.Device)).second; });
  std::sort(ports.begin(), ports.end(),
            [](const TSerialPortInfo& a, const TSerialPortInfo& b) { return NaturalLess(a.Device, b.Device); });
  return ports;
}

std::string PortText(const TSerialPortInfo& port) {
  std::string text = port.Device;
  if (!port.Description.empty()) text += " — " + port.Description;
  std::vector<std::string> ids;
  if (!port.UsbId.empty()) ids.push_back("USB " + port.UsbId);
  if (!port.SerialNumber.empty()) ids.push_back("№ " + port.SerialNumber);
  if (port.Bluetooth) ids.push_back("Bluetooth");
  for (std::size_t i = 0; i < ids.size(); ++i) text += (i == 0 ? " (" : ", ") + ids[i];
  return text + (ids.empty() ? "" : ")");
}

std::string ListedPortText(const std::vector<TSerialPortInfo>& listed, const std::string& device) {
  const auto port = std::find_if(listed.begin(), listed.end(), [&](const auto& info) { return info.Device == device; });
  return port == listed.end() ? device : PortText(*port);
}
