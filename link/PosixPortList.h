#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/PortList.h"

// Whether a UART answers behind an on-board port. The kernel makes ttyS0 to ttyS31
// whether or not one is there; the driver knows the type of those that are.
bool UartPresent(const std::string& device);

// Where the listing looks, so that a test can lay out a system of its own.
struct TPortListRoots {
  std::string Sys = "/sys";
  std::string Dev = "/dev";
  std::function<bool(const std::string& device)> HasUart = UartPresent;
};

// The ports under Sys/class/tty that have a device, USB adapters with what their USB
// device tells; then as ListSerialPorts().
std::vector<TSerialPortInfo> ListSerialPorts(const TPortListRoots& roots);
