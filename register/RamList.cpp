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
  if (FindFirmware(firmwareVersion) == nullptr) return false;
  SelectRamMap(static_cast<std::uint8_t>(firmwareVersion));
  return true;
}
