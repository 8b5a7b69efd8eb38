#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// after windows.h, which it needs
#include <setupapi.h>

#include <string>
#include <vector>

#include "link/PortList.h"

// The system calls the listing makes, so that a test can make any of them fail.
struct TPortListCalls {
  decltype(&SetupDiGetClassDevsW) GetClassDevs = &SetupDiGetClassDevsW;
  decltype(&SetupDiEnumDeviceInfo) EnumDeviceInfo = &SetupDiEnumDeviceInfo;
  decltype(&SetupDiOpenDevRegKey) OpenDevRegKey = &SetupDiOpenDevRegKey;
  decltype(&SetupDiGetDeviceRegistryPropertyW) GetDeviceRegistryProperty = &SetupDiGetDeviceRegistryPropertyW;
  decltype(&SetupDiGetDeviceInstanceIdW) GetDeviceInstanceId = &SetupDiGetDeviceInstanceIdW;
  decltype(&SetupDiDestroyDeviceInfoList) DestroyDeviceInfoList = &SetupDiDestroyDeviceInfoList;
  decltype(&RegOpenKeyExW) OpenKey = &RegOpenKeyExW;
  decltype(&RegQueryValueExW) QueryValue = &RegQueryValueExW;
  decltype(&RegEnumValueW) EnumValue = &RegEnumValueW;
  decltype(&RegCloseKey) CloseKey = &RegCloseKey;
};

// The devices of the Ports class (COM ports only, not LPT) with their names and USB
// identities, and the ports of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM; then as
// ListSerialPorts().
std::vector<TSerialPortInfo> ListSerialPorts(const TPortListCalls& calls);

// VID:PID and serial number from a device instance id, and whether it is a Bluetooth
// port ("BTHENUM\..."): "USB\VID_1A86&PID_7523\5&2..."
// (no serial number: Windows made the last part up), "USB\VID_0403&PID_6001\A50285BI",
// "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000".
void DescribeUsbInstance(const std::string& instanceId, TSerialPortInfo& port);

// "USB-SERIAL CH340 (COM7)" for COM7 is "USB-SERIAL CH340": the dialog shows the
// device beside it.
std::string WithoutPortSuffix(const std::string& friendlyName, const std::string& device);
