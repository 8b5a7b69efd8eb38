#include "register/PreRead.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "register/RegisterRecords.h"

namespace {

// Reads `count` bytes from `address` on, MaxRangeRead at a time.
void PlanRanges(TTransferPlan& plan, std::uint16_t address, std::size_t count) {
  for (std::size_t done = 0; done < count;) {
    const auto n = static_cast<std::uint8_t>(std::min<std::size_t>(MaxRangeRead, count - done));
    plan.Pump();
    plan.ReadRange(static_cast<std::uint16_t>(address + done), n);
    done += n;
  }
}

// The settings block of the layout from its first table, the surcharges, to the last
// tax rate, without the checksum; the tables lie next to each other in every map (the
// firmware table's tests hold every row to that).
std::size_t BlockBytes(const TRamMap& map) {
  const int taxes = LayoutTaxCount(map);
  return static_cast<std::size_t>(TaxRateAddress(map, taxes) - map.SurchargeTable) + RateBytes;
}

bool ReadsAsOn(const TRegisterMemory& memory, const TRamMap& map, int t) {
  TTaxSetting tax;
  DecodeTaxKind(t, memory[TaxKindAddress(map, t)], tax);
  return tax.Enabled;
}

}  // namespace

TTransferPlan PreReadPlan(const TRamMap& map, const TKkmSettings& document, const char* status) {
  TTransferPlan plan;
  plan.Status(status);
  PlanRanges(plan, map.SurchargeTable, BlockBytes(map));
  for (int t = 1; t <= LayoutTaxCount(map); ++t) {
    const bool onInDocument = document.Tax(t).Enabled;
    plan.Pump();
    plan.ReadRangeIf(
        static_cast<std::uint16_t>(TaxNameAddress(map, t) + TaxNameRecord::NameOffset), TaxNameRecord::NameLength,
        [map, t, onInDocument](const TRegisterMemory& memory) { return onInDocument || ReadsAsOn(memory, map, t); });
  }
  return plan;
}
