#include "sim/RegisterContents.h"

#include <algorithm>

#include "register/RamList.h"
#include "register/RegisterRecords.h"

void ProgramSettings(TSimulatedRegister& kkm, const TKkmSettings& settings) {
  TRamMap map;
  if (!map.SelectRamMapFor(kkm.FirmwareVersion())) return;
  const auto image = BuildSettingsImage(settings, LayoutTaxCount(map));
  if (!image) return;
  auto& memory = kkm.Memory();
  std::copy(image->begin(), image->end(), memory.begin() + map.SurchargeTable);
  memory[map.SettingsChecksumCopy] = image->back();
  for (int t = 1; t <= LayoutTaxCount(map); ++t) {
    const TaxNameBytes name = EncodeTaxName(settings.Tax(t).Name);
    const std::uint16_t record = TaxNameAddress(map, t);
    memory[record] = TaxNameRecord::Marker;
    std::copy(name.begin(), name.end(), memory.begin() + record + TaxNameRecord::NameOffset);
  }
}

TKkmSettings InUseSettings() {
  TKkmSettings settings;
  settings.Tax(1) = {true, "20,00", "НДС", "И"};
  settings.Tax(2) = {true, "05,00", "Налог с продаж", "Н"};
  settings.Discount(1) = "05,00";
  settings.Discount(2) = "10,00";
  settings.Surcharge(1) = "03,50";
  settings.Group(1) = {"1", "1", ""};
  settings.Group(2) = {"1", "", "1"};
  settings.Group(3) = {"2", "2", ""};
  settings.Group(101) = {"1", "", ""};
  return settings;
}
