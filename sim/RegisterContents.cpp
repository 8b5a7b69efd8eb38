#include "sim/RegisterContents.h"

#include <algorithm>
#include <string>

#include "register/Firmware.h"
#include "register/RegisterForm.h"

void ProgramSettings(TSimulatedRegister& kkm, const TKkmSettings& settings) {
  const TFirmware* firmware = FindFirmware(kkm.FirmwareVersion());
  if (firmware == nullptr) return;
  const TRamMap& map = firmware->Map;
  const auto form = ConvertForRegister(settings, LayoutTaxCount(map)).Form;
  if (!form) return;
  auto& memory = kkm.Memory();
  std::copy(form->Image.begin(), form->Image.end(), memory.begin() + map.SurchargeTable);
  memory[map.SettingsChecksumCopy] = form->Image.back();
  for (int t = 1; t <= LayoutTaxCount(map); ++t) {
    const TaxNameBytes name = EncodeTaxName(settings.Tax(t).Name);
    const std::uint16_t record = TaxNameAddress(map, t);
    memory[record] = TaxNameRecord::Marker;
    std::copy(name.begin(), name.end(), memory.begin() + record + TaxNameRecord::NameOffset);
  }
}

TKkmSettings FullSettings() {
  TKkmSettings settings;
  settings.Tax(1) = {true, "18,00", "НДС", "И"};
  settings.Tax(2) = {true, "10,00", "Налог с продаж", "Н"};
  settings.Tax(3) = {true, "05,50", "Сбор 3", "И"};
  settings.Tax(4) = {true, "01,25", "Сбор 4", "Н"};
  for (int n = 1; n <= RateCount; ++n) {
    settings.Discount(n) = "0" + std::to_string(n) + ",00";
    settings.Surcharge(n) = std::to_string(n) + "2,50";
  }
  for (int g = 1; g <= GroupCount; ++g) {
    const int rate = g % 9;
    settings.Group(g) = {g % 4 == 0 ? "" : std::to_string(g % 4), g % 2 && rate ? std::to_string(rate) : "",
                         g % 2 == 0 && rate ? std::to_string(rate) : ""};
  }
  return settings;
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

TKkmConnection ConnectionOf(const TKkmLink& link, std::string device) {
  return {std::move(device), link.KkmAddress(), link.FirmwareVersion(), FindFirmware(link.FirmwareVersion())};
}
