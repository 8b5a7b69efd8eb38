#include <gtest/gtest.h>

#include "register/Firmware.h"
#include "register/RegisterRecords.h"

namespace {

// Each row says of itself what its map says: the tax count is the one its layout has
// room for, and the settings block ends at the map's checksum.
TEST(Firmware, EveryRowAgreesWithItsOwnMap) {
  ASSERT_EQ(KnownFirmware().size(), 6u);
  for (const TFirmware& row : KnownFirmware()) {
    EXPECT_EQ(FindFirmware(row.Version), &row);
    EXPECT_EQ(LayoutTaxCount(row.Map), row.TaxCount) << row.Version;
    EXPECT_EQ(row.Map.SettingsChecksum - row.Map.SurchargeTable, SettingsBlockSize(row.TaxCount)) << row.Version;
    EXPECT_EQ(row.Handshake, row.Version == 105 ? TBlockHandshake::BusyAnswers : TBlockHandshake::OneEcho);
  }
  for (const std::int32_t unknown : {0, 99, 106, 360, 11004}) EXPECT_EQ(FindFirmware(unknown), nullptr) << unknown;
}

}  // namespace
