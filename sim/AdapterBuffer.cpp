#include "sim/AdapterBuffer.h"

#include <algorithm>
#include <cassert>

void TAdapterBuffer::Arrive(std::uint8_t byte, TLineNs arrivedNs) {
  assert(Pending.empty() || arrivedNs >= LastArrivalNs);
  LastArrivalNs = arrivedNs;
  if (LatencyNs == 0) {
    Pending.push_back({byte, arrivedNs});
    return;
  }
  if (BurstCount == 0 || arrivedNs >= BurstDueNs) {
    BurstCount = 0;
    BurstDueNs = arrivedNs + LatencyNs;
  }
  Pending.push_back({byte, BurstDueNs});
  if (++BurstCount < BurstSize) return;
  // A full buffer goes at once, with the byte that filled it.
  const std::size_t burst = std::min(BurstCount, Pending.size());
  for (std::size_t i = Pending.size() - burst; i < Pending.size(); ++i) Pending[i].DeliveredNs = arrivedNs;
  BurstCount = 0;
}

std::vector<std::uint8_t> TAdapterBuffer::Take(TLineNs nowNs) {
  std::vector<std::uint8_t> taken;
  while (!Pending.empty() && Pending.front().DeliveredNs <= nowNs) {
    taken.push_back(Pending.front().Byte);
    Pending.pop_front();
  }
  return taken;
}
