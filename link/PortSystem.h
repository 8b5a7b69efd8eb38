#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/PortList.h"
#include "link/SerialPort.h"

// The serial ports a program reaches: the system's own, or the demo's simulated ones.
struct TPortSystem {
  TPortOpener Open = OpenSerialPort;
  // The device behind the port dialog's button COMn.
  std::function<std::string(int)> ButtonDevice = SerialDeviceName;
  // Every port there is, for the dialog's list and the search.
  std::function<std::vector<TSerialPortInfo>()> List = ListSerialPorts;
};
