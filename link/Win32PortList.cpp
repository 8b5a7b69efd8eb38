#include "link/Win32PortList.h"

// GUID_DEVCLASS_PORTS is defined here, not taken from a library.
#include <initguid.h>
// after initguid.h
#include <devguid.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <string_view>

namespace {

// The longest value name the registry allows, and its null.
constexpr DWORD LongestValueName = 16384;

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};  // a length of 0 is refused as a parameter error
  const int length = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), size, nullptr, nullptr) != size) return {};
  return utf8;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A string as the registry and SetupAPI hand it over: its bytes need not end in a null,
// a null before their end ends the string, and a size may count an odd byte.
std::wstring TextOfData(const std::vector<BYTE>& data, DWORD size) {
  std::wstring text(std::min<std::size_t>(size, data.size()) / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  text.resize(std::min(text.find(L'\0'), text.size()));
  return text;
}

class TDeviceInfoList {
 public:
  TDeviceInfoList(const TPortListCalls& calls, HDEVINFO set) : Calls(calls), Set(set) {}
  TDeviceInfoList(const TDeviceInfoList&) = delete;
  TDeviceInfoList& operator=(const TDeviceInfoList&) = delete;
  ~TDeviceInfoList() {
    if (Valid()) Calls.DestroyDeviceInfoList(Set);
  }
  bool Valid() const { return Set != INVALID_HANDLE_VALUE; }

  const TPortListCalls& Calls;
  const HDEVINFO Set;
};

// SetupDiOpenDevRegKey fails with INVALID_HANDLE_VALUE; a key that RegOpenKeyExW did
// not open comes as nullptr.
class TRegistryKey {
 public:
  TRegistryKey(const TPortListCalls& calls, HKEY key) : Calls(calls), Key(key) {}
  TRegistryKey(const TRegistryKey&) = delete;
  TRegistryKey& operator=(const TRegistryKey&) = delete;
  ~TRegistryKey() {
    if (Valid()) Calls.CloseKey(Key);
  }
  bool Valid() const { return Key != nullptr && Key != INVALID_HANDLE_VALUE; }

  const TPortListCalls& Calls;
  const HKEY Key;
};

// A value may grow between the question for its size and the read; each answer
// ERROR_MORE_DATA brings the size it has then.
std::wstring RegistryString(const TRegistryKey& key, const wchar_t* name) {
  std::vector<BYTE> data(64);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    const LSTATUS status = key.Calls.QueryValue(key.Key, name, nullptr, &type, data.data(), &size);
    if (status == ERROR_MORE_DATA && size > data.size()) {
      data.resize(size);
      continue;
    }
    if (status != ERROR_SUCCESS || type != REG_SZ) return {};
    return TextOfData(data, size);
  }
  return {};
}

// ERROR_INVALID_DATA: the device has no such property.
std::wstring DeviceProperty(const TDeviceInfoList& list, SP_DEVINFO_DATA& device, DWORD property) {
  std::vector<BYTE> data(256);
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::fill(data.begin(), data.end(), BYTE{0});
    DWORD type = 0;
    DWORD required = 0;
    const DWORD size = static_cast<DWORD>(data.size());
    if (list.Calls.GetDeviceRegistryProperty(list.Set, &device, property, &type, data.data(), size, &required)) {
      if (type != REG_SZ) return {};
      return TextOfData(data, required > 0 && required <= size ? required : size);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= size) return {};
    data.resize(required);
  }
  return {};
}

std::wstring InstanceId(const TDeviceInfoList& list, SP_DEVINFO_DATA& device) {
  std::wstring id(256, L'\0');  // in characters, null included; device ids are at most 200
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD required = 0;
    const DWORD size = static_cast<DWORD>(id.size());
    if (list.Calls.GetDeviceInstanceId(list.Set, &device, id.data(), size, &required)) {
      id.resize(std::min(id.find(L'\0'), id.size()));
      return id;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= size) return {};
    id.assign(required, L'\0');
  }
  return {};
}

std::string PortName(const TDeviceInfoList& list, SP_DEVINFO_DATA& device) {
  const TRegistryKey key(list.Calls,
                         list.Calls.OpenDevRegKey(list.Set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
  if (!key.Valid()) return {};
  return Utf8(RegistryString(key, L"PortName"));
}

std::vector<TSerialPortInfo> PortsClassDevices(const TPortListCalls& calls) {
  std::vector<TSerialPortInfo> ports;
  const TDeviceInfoList list(calls, calls.GetClassDevs(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT));
  if (!list.Valid()) return ports;
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    // ERROR_NO_MORE_ITEMS ends the walk; so does any other failure, which would come
    // again with every further index.
    if (!calls.EnumDeviceInfo(list.Set, index, &device)) break;
    TSerialPortInfo port;
    port.Device = PortName(list, device);
    if (!UpperCase(port.Device).starts_with("COM")) continue;  // printer ports share the class
    std::wstring name = DeviceProperty(list, device, SPDRP_FRIENDLYNAME);
    if (name.empty()) name = DeviceProperty(list, device, SPDRP_DEVICEDESC);
    port.Description = WithoutPortSuffix(Utf8(name), port.Device);
    DescribeUsbInstance(Utf8(InstanceId(list, device)), port);
    ports.push_back(port);
  }
  return ports;
}

// Every port whose driver has started, the Ports class's and others' (virtual ports
// of a class of their own, and Wine's, which has no device classes to tell).
std::vector<TSerialPortInfo> SerialCommPorts(const TPortListCalls& calls) {
  std::vector<TSerialPortInfo> ports;
  HKEY opened = nullptr;
  // Absent on a PC where no serial port has ever started.
  const LSTATUS status = calls.OpenKey(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &opened);
  const TRegistryKey key(calls, status == ERROR_SUCCESS ? opened : nullptr);
  if (!key.Valid()) return ports;
  std::wstring name(LongestValueName, L'\0');
  std::vector<BYTE> data(64);
  for (DWORD index = 0;;) {
    DWORD nameSize = LongestValueName;
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    const LSTATUS read = calls.EnumValue(key.Key, index, name.data(), &nameSize, nullptr, &type, data.data(), &size);
    if (read == ERROR_MORE_DATA && size > data.size()) {
      data.resize(size);  // the same value again
      continue;
    }
    if (read != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS, or the key went away
    ++index;
    TSerialPortInfo port;
    port.Device = type == REG_SZ ? Utf8(TextOfData(data, size)) : "";
    if (!port.Device.empty()) ports.push_back(port);
  }
  return ports;
}

// COM7 and \\.\COM7, com7 and COM7 open the same port.
std::string DeviceKey(const std::string& device) {
  const std::string prefix = "\\\\.\\";
  return UpperCase(device.starts_with(prefix) ? device.substr(prefix.size()) : device);
}

std::string HexAfter(std::string_view text, std::string_view tag) {
  const std::size_t at = text.find(tag);
  if (at == std::string_view::npos || text.size() < at + tag.size() + 4) return {};
  const std::string_view hex = text.substr(at + tag.size(), 4);
  if (!std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
    return {};
  }
  return UpperCase(std::string(hex));
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

void DescribeUsbInstance(const std::string& instanceId, TSerialPortInfo& port) {
  port.Bluetooth = UpperCase(instanceId).starts_with("BTHENUM\\");
  const std::vector<std::string> parts = Split(instanceId, '\\');
  if (parts.size() != 3) return;
  const std::string& bus = parts[0];
  const std::string& hardware = parts[1];
  const std::string& instance = parts[2];
  const std::string vendor = HexAfter(hardware, "VID_");
  const std::string product = HexAfter(hardware, "PID_");
  if (vendor.empty() || product.empty()) return;
  port.UsbId = vendor + ":" + product;
  // A device without a serial number, or an interface of a composite device, gets an
  // instance part that Windows makes up, always with an ampersand in it.
  if (bus == "USB" && !instance.empty() && instance.find('&') == std::string::npos) port.SerialNumber = instance;
  // The adapter's own bus driver puts the serial number into the hardware part, with
  // the letter of the adapter's channel (A for the first) after it.
  const std::vector<std::string> fields = Split(hardware, '+');
  if (bus == "FTDIBUS" && fields.size() == 3 && fields[2].size() > 1) {
    port.SerialNumber = fields[2].substr(0, fields[2].size() - 1);
  }
}

std::string WithoutPortSuffix(const std::string& friendlyName, const std::string& device) {
  const std::string suffix = " (" + device + ")";
  if (device.empty() || !friendlyName.ends_with(suffix)) return friendlyName;
  return friendlyName.substr(0, friendlyName.size() - suffix.size());
}

// The Ports class first: where SERIALCOMM names the same port, the entry with the
// description is kept.
std::vector<TSerialPortInfo> ListSerialPorts(const TPortListCalls& calls) {
  std::vector<TSerialPortInfo> ports = PortsClassDevices(calls);
  for (TSerialPortInfo& port : SerialCommPorts(calls)) ports.push_back(std::move(port));
  return WithNamedDevices(std::move(ports), DeviceKey);
}

std::vector<TSerialPortInfo> ListSerialPorts() { return ListSerialPorts(TPortListCalls{}); }
