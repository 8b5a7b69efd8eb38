#pragma once

#include <cstdint>

#include "document/UserMessages.h"
#include "link/TKkmLink.h"

// Finding the register on the line and learning its firmware version.

// What the port dialog, the status line and the transfer commands say when the
// register does not answer.
inline constexpr const char* NoConnectionText = "Нет связи с ККМ";

// The register number 00 to 99 that answers to an address byte: 0xFF minus its BCD
// form, so that 0xC8 is number 37.
int KkmNumberOf(std::uint8_t address);

// Tries the address bytes of the numbers 00 to 99 (0xFF first, 0x66 last) and keeps
// the first one the register echoes in KkmAddress. A different byte coming back ends
// the probe at once. Leaves the parity at MARK.
bool ProbeAddress(TKkmLink& link);

// Asks the register at KkmAddress for its version. False when the address is not
// echoed or the query not acknowledged; otherwise true with FirmwareVersion set (0
// when the reply's checksum is wrong).
bool QueryVersion(TKkmLink& link);

// The four nibbles of the two version bytes, each written as its decimal number, read
// as one decimal number: 0x01 0x04 gives 104, 0x1A 0x04 gives 11004.
std::int32_t VersionFromBytes(std::uint8_t first, std::uint8_t second);

// What the connect sequence needs from its surroundings.
class TConnectView {
 public:
  virtual TUserMessages& Messages() = 0;
  // Selects the register address map for exactly this version; false, with nothing
  // changed, when there is none.
  virtual bool SelectRamMap(std::int32_t firmwareVersion) = 0;
  // Drops the map of the register connected before, so that no command can use it
  // with the link of another.
  virtual void ForgetRamMap() = 0;
  virtual void CloseDialog() = 0;

 protected:
  ~TConnectView() = default;
};

// The port dialog's connect button: open COMn, probe, query the version, select the
// address map. Returns the new connected state; on success the dialog is closed.
// The register connected before is forgotten first (address, version and map), so
// that an attempt that fails half way never leaves a new address with an old
// register's version and map.
bool ConnectKkm(TKkmLink& link, int portNumber, TConnectView& view);
