#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "register/RamList.h"

namespace {

using TEntries = std::array<std::uint16_t, 9>;

TEntries Entries(const TRamMap& map) {
  return {map.PurchaseCounter, map.SurchargeTable, map.DiscountTable,    map.GroupTable,          map.TaxKindTable,
          map.TaxRateTable,    map.TaxNameTable,   map.SettingsChecksum, map.SettingsChecksumCopy};
}

// In the order of Entries().
constexpr TEntries ThreeTaxColumn = {0x1306, 0x1815, 0x1835, 0x1855, 0x18C1, 0x18C4, 0x18D6, 0x18D0, 0x38D0};
constexpr TEntries FourTaxColumn = {0x1306, 0x182C, 0x184C, 0x186C, 0x18D8, 0x18DC, 0x2E23, 0x18EC, 0x38D0};

TRamMap Selected(std::uint8_t version) {
  TRamMap map;
  map.SelectRamMap(version);
  return map;
}

TEST(RamMap, EveryEntryIsZeroBeforeAnySelection) {
  const TRamMap map;
  EXPECT_EQ(Entries(map), TEntries{});
  for (int version : {0, 100, 103, 104, 105}) EXPECT_FALSE(map.IsSelectedFor(version)) << version;
}

TEST(RamMap, EarlyFirmwareSelectsTheThreeTaxColumn) {
  for (std::uint8_t version : {100, 101, 102, 103}) EXPECT_EQ(Entries(Selected(version)), ThreeTaxColumn) << +version;
  EXPECT_EQ(Selected(103).TaxKindTable, 0x18C1);
  EXPECT_EQ(Selected(103).TaxRateTable, 0x18C4);
}

TEST(RamMap, VersionsOneHundredFourAndFiveShareTheirEntries) {
  EXPECT_EQ(Entries(Selected(104)), FourTaxColumn);
  EXPECT_EQ(Entries(Selected(105)), FourTaxColumn);
  EXPECT_EQ(Selected(105).TaxNameTable, 0x2E23);
}

TEST(RamMap, AnUnknownVersionLeavesTheMapAsItWas) {
  TRamMap map;
  map.SelectRamMap(99);
  EXPECT_EQ(Entries(map), TEntries{});
  map.SelectRamMap(105);
  map.SelectRamMap(106);
  EXPECT_EQ(Entries(map), FourTaxColumn);
  map.SelectRamMap(0);
  map.SelectRamMap(255);
  EXPECT_EQ(Entries(map), FourTaxColumn);
}

TEST(RamMap, ReselectionReplacesEveryEntry) {
  TRamMap map;
  map.SelectRamMap(104);
  map.SelectRamMap(100);
  EXPECT_EQ(Entries(map), ThreeTaxColumn);
  map.SelectRamMap(105);
  EXPECT_EQ(Entries(map), FourTaxColumn);
}

TEST(RamMap, IsSelectedOnlyForTheVersionOfTheLastSelectionThatTookEffect) {
  TRamMap map;
  map.SelectRamMap(105);
  EXPECT_TRUE(map.IsSelectedFor(105));
  EXPECT_FALSE(map.IsSelectedFor(104));

  // A register reporting 106 keeps the old addresses, which are not its own.
  map.SelectRamMap(106);
  EXPECT_FALSE(map.IsSelectedFor(106));

  map.SelectRamMap(102);
  EXPECT_TRUE(map.IsSelectedFor(102));
  EXPECT_FALSE(map.IsSelectedFor(105));
}

TEST(RamMap, AVersionWhoseLowByteMatchesIsNotSelected) {
  // The connect flow passes the low byte of the version; 360 would select 104.
  TRamMap map;
  map.SelectRamMap(static_cast<std::uint8_t>(360));
  EXPECT_EQ(Entries(map), FourTaxColumn);
  EXPECT_FALSE(map.IsSelectedFor(360));
}

// The settings block from SurchargeTable on, as the firmware lays it out.
TEST(RamMap, SelectingForAVersionTakesOnlyAVersionWithItsOwnMap) {
  TRamMap map;
  ASSERT_TRUE(map.SelectRamMapFor(103));
  const TRamMap early = map;
  for (std::int32_t refused : {0, 99, 106, 360, 11004}) {
    EXPECT_FALSE(map.SelectRamMapFor(refused)) << refused;
    EXPECT_EQ(map.TaxKindTable, early.TaxKindTable) << refused;
    EXPECT_TRUE(map.IsSelectedFor(103)) << refused;
  }
  ASSERT_TRUE(map.SelectRamMapFor(105));
  EXPECT_TRUE(map.IsSelectedFor(105));
  EXPECT_EQ(map.TaxNameTable, 0x2E23);
}

TEST(RamMapLayout, FourTaxFirmwareKeepsOneContiguousBlock) {
  for (std::uint8_t version : {104, 105}) {
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
