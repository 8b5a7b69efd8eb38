#include "link/SerialPort.h"

#include <cstdlib>

std::string EnvironmentSerialDevice(int portNumber) {
  const std::string variable = "ORBI7_COM" + std::to_string(portNumber);
  const char* named = std::getenv(variable.c_str());
  return named != nullptr ? named : "";
}

std::string SerialDeviceName(int portNumber) {
  std::string named = EnvironmentSerialDevice(portNumber);
  return named.empty() ? DefaultSerialDevice(portNumber) : named;
}
