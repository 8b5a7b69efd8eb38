#include "app/DemoRegisters.h"

#include <utility>

#include "sim/RegisterContents.h"
#include "sim/SimulatedLine.h"

TDemoRegisters::TDemoRegisters() {
  ProgramSettings(Com1, InUseSettings());
  ProgramSettings(Com4, InUseSettings());
  Com4.SetPurchaseCounter(12);
  Com3.SetSilent(true);
}

namespace {

constexpr std::pair<const char*, const char*> DemoPortNames[] = {
    {"COM1", "Демонстрационная ККМ, ПО 1.0.4"},
    {"COM3", "Линия без ККМ"},
    {"COM4", "Демонстрационная ККМ с покупками, ПО 1.0.5"},
};

}  // namespace

TPortSystem TDemoRegisters::Ports() {
  TPortSystem ports;
  ports.Open = [this](const std::string& device) -> TOpenedPort {
    TSimulatedRegister* kkm = device == "COM1" ? &Com1 : device == "COM3" ? &Com3 : device == "COM4" ? &Com4 : nullptr;
    if (kkm == nullptr) return TOpenedPort::Failed(TPortFault::Absent);
    return TOpenedPort::Opened(std::make_unique<TSimulatedLine>(SteadyClock(), *kkm));
  };
  ports.ButtonDevice = [](int n) { return "COM" + std::to_string(n); };
  ports.List = [] {
    std::vector<TSerialPortInfo> list;
    for (const auto& [device, description] : DemoPortNames) {
      list.emplace_back();
      list.back().Device = device;
      list.back().Description = description;
    }
    return list;
  };
  return ports;
}
