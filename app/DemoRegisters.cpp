#include "app/DemoRegisters.h"

#include "sim/RegisterContents.h"
#include "sim/SimulatedLine.h"

TDemoRegisters::TDemoRegisters() {
  ProgramSettings(Com1, InUseSettings());
  ProgramSettings(Com4, InUseSettings());
  Com4.SetPurchaseCounter(12);
  Com3.SetSilent(true);
}

TPortOpener TDemoRegisters::Opener() {
  return [this](int port) -> std::unique_ptr<TSerialPort> {
    TSimulatedRegister* kkm = port == 1 ? &Com1 : port == 3 ? &Com3 : port == 4 ? &Com4 : nullptr;
    if (kkm == nullptr) return nullptr;
    return std::make_unique<TSimulatedLine>(SteadyClock(), *kkm);
  };
}
