#include "register/Firmware.h"

#include <array>
#include <utility>

#include "register/RegisterRecords.h"

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

// The settings image is the block as the map lays it out, table for table.
constexpr bool ImageFollowsMap(const TRamMap& map, int taxes) {
  const auto offset = [&map](std::uint16_t table) { return static_cast<std::size_t>(table - map.SurchargeTable); };
  return offset(map.DiscountTable) == ImageDiscountOffset && offset(map.GroupTable) == ImageGroupOffset &&
         offset(map.TaxKindTable) == ImageTaxKindOffset && offset(map.TaxRateTable) == ImageTaxRateOffset(taxes) &&
         offset(map.SettingsChecksum) == SettingsBlockSize(taxes);
}
static_assert(ImageFollowsMap(ThreeTaxColumn(), 3) && ImageFollowsMap(FourTaxColumn(), 4));

constexpr std::array<TFirmware, 6> Rows = {{
    {100, ThreeTaxColumn(), TBlockHandshake::OneEcho},
    {101, ThreeTaxColumn(), TBlockHandshake::OneEcho},
    {102, ThreeTaxColumn(), TBlockHandshake::OneEcho},
    {103, ThreeTaxColumn(), TBlockHandshake::OneEcho},
    {104, FourTaxColumn(), TBlockHandshake::OneEcho},
    {105, FourTaxColumn(), TBlockHandshake::BusyAnswers},
}};

}  // namespace

std::span<const TFirmware> KnownFirmware() { return Rows; }

const TFirmware* FindFirmware(std::int32_t version) {
  for (const TFirmware& row : Rows) {
    if (row.Version == version) return &row;
  }
  return nullptr;
}
