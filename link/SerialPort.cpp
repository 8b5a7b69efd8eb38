#include "link/SerialPort.h"

#include <cstdlib>

std::string SerialDeviceName(int portNumber) {
  const std::string variable = "ORBI7_COM" + std::to_string(portNumber);
  const char* named = std::getenv(variable.c_str());
  if (named != nullptr && *named != '\0') return named;
  return DefaultSerialDevice(portNumber);
}
