#include "register/RamList.h"

#include "register/Firmware.h"

void TRamMap::SelectRamMap(std::uint8_t version) {
  const TFirmware* firmware = FindFirmware(version);
  if (firmware == nullptr) return;
  *this = firmware->Map;
  SelectedVersion = version;
}

bool TRamMap::IsSelectedFor(int firmwareVersion) const {
  return SelectedVersion != 0 && firmwareVersion == SelectedVersion;
}

bool TRamMap::SelectRamMapFor(std::int32_t firmwareVersion) {
  const TFirmware* firmware = FindFirmware(firmwareVersion);
  if (firmware == nullptr) return false;
  *this = firmware->Map;
  SelectedVersion = static_cast<std::uint8_t>(firmware->Version);
  return true;
}
