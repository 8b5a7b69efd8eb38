#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "register/Firmware.h"

namespace {

using TEntries = std::array<std::uint16_t, 9>;

TEntries Entries(const TRamMap& map) {
  return {map.PurchaseCounter, map.SurchargeTable, map.DiscountTable,    map.GroupTable,          map.TaxKindTable,
          map.TaxRateTable,    map.TaxNameTable,   map.SettingsChecksum, map.SettingsChecksumCopy};
}

// In the order of Entries().
constexpr TEntries ThreeTaxColumn = {0x1306, 0x1815, 0x1835, 0x1855, 0x18C1, 0x18C4, 0x18D6, 0x18D0, 0x38D0};
constexpr TEntries FourTaxColumn = {0x1306, 0x182C, 0x184C, 0x186C, 0x18D8, 0x18DC, 0x2E23, 0x18EC, 0x38D0};

TRamMap Selected(std::int32_t version) { return FindFirmware(version)->Map; }

TEST(RamMap, EveryEntryIsZeroWithoutAFirmware) { EXPECT_EQ(Entries(TRamMap{}), TEntries{}); }

TEST(RamMap, EachFirmwareHasItsColumn) {
  for (std::int32_t version : {100, 101, 102, 103}) EXPECT_EQ(Entries(Selected(version)), ThreeTaxColumn) << version;
  for (std::int32_t version : {104, 105}) EXPECT_EQ(Entries(Selected(version)), FourTaxColumn) << version;
}

// The settings block from SurchargeTable on, as the firmware lays it out.
TEST(RamMapLayout, FourTaxFirmwareKeepsOneContiguousBlock) {
  for (std::int32_t version : {104, 105}) {
    const TRamMap map = Selected(version);
    EXPECT_EQ(map.DiscountTable, map.SurchargeTable + 0x20);
    EXPECT_EQ(map.GroupTable, map.SurchargeTable + 0x40);
    EXPECT_EQ(map.TaxKindTable, map.SurchargeTable + 0xAC);
    EXPECT_EQ(map.TaxRateTable, map.SurchargeTable + 0xB0);
    EXPECT_EQ(map.SettingsChecksum, map.SurchargeTable + 0xC0);
  }
}

TEST(RamMapLayout, EarlyFirmwareHasRoomForThreeTaxes) {
  const TRamMap map = Selected(100);
  EXPECT_EQ(map.DiscountTable, map.SurchargeTable + 0x20);
  EXPECT_EQ(map.GroupTable, map.SurchargeTable + 0x40);
  EXPECT_EQ(map.TaxKindTable, map.SurchargeTable + 0xAC);
  EXPECT_EQ(map.TaxRateTable, map.SurchargeTable + 0xAF);
  EXPECT_EQ(map.SettingsChecksum, map.SurchargeTable + 0xBB);
  // A fourth kind byte would be tax 1's first rate digit, a fourth rate the checksum.
  EXPECT_EQ(map.TaxKindTable + 3, map.TaxRateTable);
  EXPECT_EQ(map.TaxRateTable + 12, map.SettingsChecksum);
  EXPECT_EQ(map.TaxNameTable, map.SettingsChecksum + 6);
}

}  // namespace
