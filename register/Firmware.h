#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "link/KkmFrames.h"
#include "link/TKkmLink.h"
#include "register/RamList.h"

// A firmware the program knows, one row each: where the register keeps the settings
// (its address map, which also tells how many taxes its settings block has room for)
// and how it takes the address byte of a block write. The only place that knows version numbers; a
// new firmware is one new row.
struct TFirmware {
  std::int32_t Version;  // 104 for 1.0.4
  TRamMap Map;
  TBlockHandshake Handshake;
};

std::span<const TFirmware> KnownFirmware();

// The register the program is connected to, as one value: the address byte and the
// firmware version that connecting found, and the firmware row that goes with them.
// Connecting makes it (Connect); the main window keeps it, and the commands work from
// it alone.
struct TKkmConnection {
  std::string Device;  // the port it was found on: "COM3", "/dev/ttyUSB0"
  std::uint8_t Address = 0;
  std::int32_t Version = 0;
  const TFirmware* Firmware = nullptr;  // none: not connected, or a firmware the program does not know
};

// The row of exactly this version; nullptr for one the program does not know (106,
// or 360 whose low byte alone would be 104).
const TFirmware* FindFirmware(std::int32_t version);
