#pragma once

#include <cstdint>

// Where the connected register keeps the tables that reading and writing touch.
// The addresses depend on the firmware; one map lives for the whole run and is
// selected anew at each successful connection.
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

  // A version byte of a known firmware fills the nine entries; any other leaves the
  // map as it was.
  void SelectRamMap(std::uint8_t version);

  // True when the last selection that took effect was made for exactly this
  // firmware version, so that its addresses are those of the connected register.
  // An unknown version, or one whose low byte alone matched a selection, never has
  // a map.
  bool IsSelectedFor(int firmwareVersion) const;

  // Selects the map of exactly this firmware version and says whether there is one;
  // a version without a map of its own (106, or 360 whose low byte is 104) leaves
  // the map as it was.
  bool SelectRamMapFor(std::int32_t firmwareVersion);

 private:
  std::uint8_t SelectedVersion = 0;  // 0: nothing selected during this run
};
