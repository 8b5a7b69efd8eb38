#pragma once

#include <cstdint>

// Where the connected register keeps the tables that reading and writing touch.
// The addresses depend on the firmware: each row of the firmware table has its map.
class TRamMap {
 public:
  std::uint16_t PurchaseCounter = 0;       // 2 bytes: high, then low
  std::uint16_t SurchargeTable = 0;        // 8 rates of 4 bytes; first byte of the settings block
  std::uint16_t DiscountTable = 0;         // 8 rates of 4 bytes
  std::uint16_t GroupTable = 0;            // 108 group bytes
  std::uint16_t TaxKindTable = 0;          // a kind byte per tax
  std::uint16_t TaxRateTable = 0;          // a rate of 4 bytes per tax
  std::uint16_t TaxNameTable = 0;          // an 18-byte name record per tax
  std::uint16_t SettingsChecksum = 0;      // checksum byte of the settings block
  std::uint16_t SettingsChecksumCopy = 0;  // its second copy
};
