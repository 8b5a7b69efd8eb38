#include <gtest/gtest.h>

#include "register/Firmware.h"
#include "register/RegisterRecords.h"

namespace {

// Each row's map has room for the taxes of its firmware, and its settings block ends
// at the map's checksum.
TEST(Firmware, EveryRowAgreesWithItsOwnMap) {
  ASSERT_EQ(KnownFirmware().size(), 6u);
  for (const TFirmware& row : KnownFirmware()) {
    EXPECT_EQ(FindFirmware(row.Version), &row);
    const int taxes = LayoutTaxCount(row.Map);
    EXPECT_EQ(taxes, row.Version >= 104 ? 4 : 3) << row.Version;
    EXPECT_EQ(row.Map.SettingsChecksum - row.Map.SurchargeTable, SettingsBlockSize(taxes)) << row.Version;
    // The tables of the block lie next to each other in the image's order, which the
    // image and the write's pre-read take for granted.
    EXPECT_EQ(row.Map.DiscountTable, row.Map.SurchargeTable + 4 * RateCount) << row.Version;
    EXPECT_EQ(row.Map.GroupTable, row.Map.DiscountTable + 4 * RateCount) << row.Version;
    EXPECT_EQ(row.Map.TaxKindTable, row.Map.GroupTable + GroupCount) << row.Version;
    EXPECT_EQ(row.Map.TaxRateTable, row.Map.TaxKindTable + taxes) << row.Version;
    EXPECT_EQ(row.Handshake, row.Version == 105 ? TBlockHandshake::BusyAnswers : TBlockHandshake::OneEcho);
  }
  for (const std::int32_t unknown : {0, 99, 106, 360, 11004}) EXPECT_EQ(FindFirmware(unknown), nullptr) << unknown;
}

}  // namespace
