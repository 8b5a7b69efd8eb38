#pragma once

#include <cstdint>
#include <span>

#include "link/KkmFrames.h"
#include "link/TKkmLink.h"
#include "register/RamList.h"

// A firmware the program knows, one row each: where the register keeps the settings
// (its address map), how many taxes its settings block has room for, and how it takes
// the address byte of a block write. The only place that knows version numbers; a
// new firmware is one new row.
struct TFirmware {
  std::int32_t Version;  // 104 for 1.0.4
  TRamMap Map;
  int TaxCount;
  TBlockHandshake Handshake;
};

std::span<const TFirmware> KnownFirmware();

// The register the program is connected to, as one value: the address byte and the
// firmware version that connecting found, and the firmware row that goes with them.
// The commands work from it alone, and run only while the link is still on it.
struct TKkmConnection {
  std::uint8_t Address = 0;
  std::int32_t Version = 0;
  const TFirmware* Firmware = nullptr;  // none: not connected, or a firmware the program does not know

  bool IsOn(const TKkmLink& link) const {
    return Firmware != nullptr && link.KkmAddress == Address && link.FirmwareVersion == Version;
  }
};

// The connection the link is on now, with its firmware's row.
TKkmConnection ConnectionOf(const TKkmLink& link);

// The row of exactly this version; nullptr for one the program does not know (106,
// or 360 whose low byte alone would be 104).
const TFirmware* FindFirmware(std::int32_t version);
