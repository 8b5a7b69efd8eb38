#include "register/Firmware.h"

#include <array>

namespace {

// The three-tax layout of the early firmware: room for three kind bytes and three
// rates before the checksum.
constexpr TRamMap ThreeTaxColumn() {
  TRamMap map;
  map.PurchaseCounter = 0x1306;
  map.SurchargeTable = 0x1815;
  map.DiscountTable = 0x1835;
  map.GroupTable = 0x1855;
  map.TaxKindTable = 0x18C1;
  map.TaxRateTable = 0x18C4;
  map.SettingsChecksum = 0x18D0;
  map.SettingsChecksumCopy = 0x38D0;
  map.TaxNameTable = 0x18D6;
  return map;
}

// 104 and 105 differ only in tables that this program never touches.
constexpr TRamMap FourTaxColumn() {
  TRamMap map;
  map.PurchaseCounter = 0x1306;
  map.SurchargeTable = 0x182C;
  map.DiscountTable = 0x184C;
  map.GroupTable = 0x186C;
  map.TaxKindTable = 0x18D8;
  map.TaxRateTable = 0x18DC;
  map.SettingsChecksum = 0x18EC;
  map.SettingsChecksumCopy = 0x38D0;
  map.TaxNameTable = 0x2E23;
  return map;
}

constexpr std::array<TFirmware, 6> Rows = {{
    {100, ThreeTaxColumn(), 3, TBlockHandshake::OneEcho},
    {101, ThreeTaxColumn(), 3, TBlockHandshake::OneEcho},
    {102, ThreeTaxColumn(), 3, TBlockHandshake::OneEcho},
    {103, ThreeTaxColumn(), 3, TBlockHandshake::OneEcho},
    {104, FourTaxColumn(), 4, TBlockHandshake::OneEcho},
    {105, FourTaxColumn(), 4, TBlockHandshake::BusyAnswers},
}};

}  // namespace

std::span<const TFirmware> KnownFirmware() { return Rows; }

TKkmConnection ConnectionOf(const TKkmLink& link) {
  return {link.KkmAddress, link.FirmwareVersion, FindFirmware(link.FirmwareVersion)};
}

const TFirmware* FindFirmware(std::int32_t version) {
  for (const TFirmware& row : Rows) {
    if (row.Version == version) return &row;
  }
  return nullptr;
}
