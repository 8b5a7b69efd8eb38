#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/SimulatedKkm.h"

// A register on COM1 and COM3, behind a device with that latency, told or not;
// COM2 and COM4 are absent.
struct TConnectBench {
  explicit TConnectBench(int number, std::int32_t version = 104, std::uint64_t latencyMs = 0, bool latencyTold = true)
      : Kkm(number, version), Link(Clock, [this, latencyMs, latencyTold](const std::string& device) {
          if (device == "COM2" || device == "COM4") return TOpenedPort::Failed(TPortFault::Absent);
          return SimulatedPortOpener(Clock, Kkm, latencyMs, latencyTold)(device);
        }) {}

  // The port open and the link pointed at the register, as after a probe.
  void Connect(std::int32_t knownVersion) {
    Link.OpenPort("COM1");
    Link.UseRegister(Kkm.Address(), knownVersion);
  }

  std::vector<TSimulatedKkm::TByte> Sent() const {
    std::vector<TSimulatedKkm::TByte> bytes;
    for (const auto& record : Kkm.Traffic()) {
      if (record.Direction == TDirection::ToRegister) bytes.emplace_back(record.Byte, record.Parity);
    }
    return bytes;
  }

  TVirtualClock Clock{0};
  TSimulatedRegister Kkm;
  TKkmLink Link;
};

inline std::vector<std::uint8_t> Candidates(int first, int last) {
  std::vector<std::uint8_t> bytes;
  for (int n = first; n <= last; ++n) bytes.push_back(static_cast<std::uint8_t>(0xFF - (16 * (n / 10) + n % 10)));
  return bytes;
}
