#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <vector>

#include "sim/SimulatedRegister.h"

// The receiving side of a USB serial adapter as the common kinds work: bytes from
// the line gather in a buffer that is passed on to the PC when its latency timer,
// started by the first byte into the empty buffer, runs out, or at once when the
// buffer fills (62 bytes). Without latency every byte is passed on as it arrives.
class TAdapterBuffer {
 public:
  static constexpr std::size_t BurstSize = 62;
  static constexpr TLineNs Never = std::numeric_limits<TLineNs>::max();

  // Set before the first byte arrives.
  void SetLatencyMs(std::uint64_t ms) { LatencyNs = ms * 1'000'000; }
  std::uint64_t LatencyMs() const { return LatencyNs / 1'000'000; }

  // A byte's stop bit reached the adapter at arrivedNs; the arrivals come in order of
  // time.
  void Arrive(std::uint8_t byte, TLineNs arrivedNs);

  // When the PC gets its next byte; Never when nothing is on the way.
  TLineNs NextDeliveryNs() const { return Pending.empty() ? Never : Pending.front().DeliveredNs; }

  // The bytes passed on to the PC by nowNs, in order.
  std::vector<std::uint8_t> Take(TLineNs nowNs);

 private:
  struct TPendingByte {
    std::uint8_t Byte;
    TLineNs DeliveredNs;
  };

  TLineNs LatencyNs = 0;
  std::deque<TPendingByte> Pending;
  std::size_t BurstCount = 0;  // the bytes of the burst still gathering, at the back
  TLineNs BurstDueNs = 0;
  TLineNs LastArrivalNs = 0;
};
