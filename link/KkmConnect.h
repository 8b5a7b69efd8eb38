#pragma once

#include <cstdint>

#include "link/TKkmLink.h"

// Finding the register on the line and learning its firmware version.

// What the port dialog, the status line and the transfer commands say when the
// register does not answer.
inline constexpr const char* NoConnectionText = "Нет связи с ККМ";

// The register number 00 to 99 that answers to an address byte: 0xFF minus its BCD
// form, so that 0xC8 is number 37.
int KkmNumberOf(std::uint8_t address);

// Tries the address bytes of the numbers 00 to 99 (0xFF first, 0x66 last) and keeps
// the first one the register echoes in KkmAddress; an echo of the candidate before,
// late behind a device that holds it back, counts for that one. Any other byte coming
// back ends the probe at once, and so does a stop (TKkmLink::SetStopFlag). Leaves the
// parity at MARK.
bool ProbeAddress(TKkmLink& link);

// Asks the register at KkmAddress for its version. False when the address is not
// echoed or the query not acknowledged; otherwise true with FirmwareVersion set (0
// when the reply's checksum is wrong).
bool QueryVersion(TKkmLink& link);

// The four nibbles of the two version bytes, each written as its decimal number, read
// as one decimal number: 0x01 0x04 gives 104, 0x1A 0x04 gives 11004.
std::int32_t VersionFromBytes(std::uint8_t first, std::uint8_t second);
