#pragma once

#include "link/PortSystem.h"
#include "sim/SimulatedRegister.h"

// The registers of the demo program, reached in real time at 9600 baud:
// COM1 a register of firmware 1.0.4 at number 00 with some settings programmed,
// COM2 absent, COM3 a line with no register on it, COM4 a register of firmware
// 1.0.5 at number 37 that holds purchases.
class TDemoRegisters {
 public:
  TDemoRegisters();
  TDemoRegisters(const TDemoRegisters&) = delete;
  TDemoRegisters& operator=(const TDemoRegisters&) = delete;

  // COM1 to COM4 and nothing else; the registers must outlive every port opened.
  TPortSystem Ports();

  TSimulatedRegister Com1{0, 104};
  TSimulatedRegister Com3{0, 104};
  TSimulatedRegister Com4{37, 105};
};
