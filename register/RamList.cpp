#include "register/RamList.h"

namespace {

// The three-tax layout of the early firmware: room for three kind bytes and three
// rates before the checksum.
TRamMap ThreeTaxColumn() {
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
TRamMap FourTaxColumn() {
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

}  // namespace

void TRamMap::SelectRamMap(std::uint8_t version) {
  if (version >= 100 && version <= 103) {
    *this = ThreeTaxColumn();
  } else if (version == 104 || version == 105) {
    *this = FourTaxColumn();
  } else {
    return;
  }
  SelectedVersion = version;
}

bool TRamMap::IsSelectedFor(int firmwareVersion) const {
  return SelectedVersion != 0 && firmwareVersion == SelectedVersion;
}

bool TRamMap::SelectRamMapFor(std::int32_t firmwareVersion) {
  TRamMap candidate = *this;
  candidate.SelectRamMap(static_cast<std::uint8_t>(firmwareVersion & 0xFF));
  if (!candidate.IsSelectedFor(firmwareVersion)) return false;
  *this = candidate;
  return true;
}
