// The Windows listing: what it reads from a device's ids and names, and the registry's
// map of serial ports read through calls that answer as Windows documents.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/Win32PortList.h"

namespace {

TEST(Win32PortList, WhatTheIdsAndNamesOfADeviceTell) {
  struct TCase {
    std::string InstanceId, UsbId, SerialNumber;
    bool Bluetooth = false;
  };
  const TCase cases[] = {
      {"USB\\VID_1A86&PID_7523\\5&2E7E5C2&0&2", "1A86:7523", ""},
      {"USB\\VID_0403&PID_6001\\A50285BI", "0403:6001", "A50285BI"},
      {"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "0403:6001", "A50285BI"},
      {"USB\\VID_2341&PID_8036&MI_00\\6&3A9C3E2&0&0000", "2341:8036", ""},
      {"USB\\VID_10c4&PID_ea60\\0001", "10C4:EA60", "0001"},
      {"ACPI\\PNP0501\\1", "", ""},
      {"USB\\VID_12&PID_3456\\X", "", ""},
      {"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2B9E1C2&0&000000000000_00000000", "", "",
       true},
  };
  for (const TCase& c : cases) {
    TSerialPortInfo port;
    DescribeUsbInstance(c.InstanceId, port);
    EXPECT_EQ(port.UsbId, c.UsbId) << c.InstanceId;
    EXPECT_EQ(port.SerialNumber, c.SerialNumber) << c.InstanceId;
    EXPECT_EQ(port.Bluetooth, c.Bluetooth) << c.InstanceId;
  }
  EXPECT_EQ(WithoutPortSuffix("USB-SERIAL CH340 (COM7)", "COM7"), "USB-SERIAL CH340");
  EXPECT_EQ(WithoutPortSuffix("Communications Port (COM1)", "COM10"), "Communications Port (COM1)");
}

// SERIALCOMM's values: one stored without its null, one with, one longer than a
// first buffer, and COM2 once more through ORBI7_COM1 in another spelling.
const std::wstring SerialCommValues[] = {std::wstring(L"COM10"), std::wstring(L"COM2", 5),
                                         std::wstring(L"CNCA0-a-virtual-port-with-a-name-of-some-length")};
int KeysClosed = 0;

LSTATUS WINAPI OpenSerialComm(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY key) {
  *key = reinterpret_cast<HKEY>(0x1234);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI EnumSerialComm(HKEY, DWORD index, LPWSTR, LPDWORD, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (index >= std::size(SerialCommValues)) return ERROR_NO_MORE_ITEMS;
  const std::wstring& value = SerialCommValues[index];
  const DWORD needed = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  const DWORD room = *size;
  *size = needed;
  *type = REG_SZ;
  if (room < needed) return ERROR_MORE_DATA;
  std::memcpy(data, value.data(), needed);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI CloseSerialComm(HKEY) {
  ++KeysClosed;
  return ERROR_SUCCESS;
}

HDEVINFO WINAPI NoDeviceClasses(const GUID*, PCWSTR, HWND, DWORD) {
  SetLastError(ERROR_INVALID_DATA);
  return INVALID_HANDLE_VALUE;
}

TEST(Win32PortList, TheRegistrysMapOfSerialPortsWhereTheDeviceClassesTellNothing) {
  TPortListCalls calls;
  calls.GetClassDevs = NoDeviceClasses;
  calls.OpenKey = OpenSerialComm;
  calls.EnumValue = EnumSerialComm;
  calls.CloseKey = CloseSerialComm;
  _putenv_s("ORBI7_COM1", "\\\\.\\com2");
  std::vector<std::string> devices;
  for (const TSerialPortInfo& port : ListSerialPorts(calls)) devices.push_back(port.Device);
  _putenv_s("ORBI7_COM1", "");
  EXPECT_EQ(devices, (std::vector<std::string>{"CNCA0-a-virtual-port-with-a-name-of-some-length", "COM2", "COM10"}));
  EXPECT_EQ(KeysClosed, 1);
}

}  // namespace
