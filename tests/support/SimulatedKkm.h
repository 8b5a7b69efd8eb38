#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "link/TKkmLink.h"
#include "sim/AdapterBuffer.h"
#include "sim/SimulatedLine.h"
#include "sim/SimulatedRegister.h"

// A register at number 01 (address 0xFE) on a simulated line, through an adapter of
// that latency, on a virtual clock that starts at 0, with the link connected to it.
struct TSimulatedKkm {
  explicit TSimulatedKkm(std::int32_t version = 104, std::uint64_t latencyMs = 0, bool latencyTold = true)
      : Kkm(1, version), Link(Clock, SimulatedPortOpener(Clock, Kkm, latencyMs, latencyTold)) {
    Link.OpenPort("COM1");
    Link.UseRegister(Kkm.Address(), version);
  }

  using TByte = std::pair<std::uint8_t, TParity>;

  std::vector<TLineRecord> Records(TDirection direction) const {
    std::vector<TLineRecord> records;
    for (const auto& record : Kkm.Traffic()) {
      if (record.Direction == direction) records.push_back(record);
    }
    return records;
  }

  // What the PC sent, each byte with its parity.
  std::vector<TByte> Sent() const {
    std::vector<TByte> bytes;
    for (const auto& record : Records(TDirection::ToRegister)) bytes.emplace_back(record.Byte, record.Parity);
    return bytes;
  }

  std::vector<std::uint8_t> Answered() const {
    std::vector<std::uint8_t> bytes;
    for (const auto& record : Records(TDirection::FromRegister)) bytes.push_back(record.Byte);
    return bytes;
  }

  std::size_t AddressBytesSent() const {
    std::size_t count = 0;
    for (const auto& [byte, parity] : Sent()) count += parity == TParity::Mark ? 1 : 0;
    return count;
  }

  TVirtualClock Clock{0};
  TSimulatedRegister Kkm;
  TKkmLink Link;
};

inline std::vector<TSimulatedKkm::TByte> Mark(std::vector<std::uint8_t> bytes) {
  std::vector<TSimulatedKkm::TByte> out;
  for (auto byte : bytes) out.emplace_back(byte, TParity::Mark);
  return out;
}

inline std::vector<TSimulatedKkm::TByte> Space(std::vector<std::uint8_t> bytes) {
  std::vector<TSimulatedKkm::TByte> out;
  for (auto byte : bytes) out.emplace_back(byte, TParity::Space);
  return out;
}

inline std::vector<TSimulatedKkm::TByte> operator+(std::vector<TSimulatedKkm::TByte> a,
                                                   const std::vector<TSimulatedKkm::TByte>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// When the PC gets each of these answers: as it arrives, or as an adapter with that
// latency passes it on.
inline std::vector<TLineNs> DeliveryTimes(const std::vector<TLineNs>& arrivals, std::uint64_t latencyMs) {
  TAdapterBuffer adapter;
  adapter.SetLatencyMs(latencyMs);
  for (const TLineNs at : arrivals) adapter.Arrive(0x55, at);
  std::vector<TLineNs> delivered;
  while (adapter.NextDeliveryNs() != TAdapterBuffer::Never) {
    const TLineNs at = adapter.NextDeliveryNs();
    delivered.insert(delivered.end(), adapter.Take(at).size(), at);
  }
  return delivered;
}
