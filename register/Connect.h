#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "document/UserMessages.h"
#include "link/TKkmLink.h"
#include "register/CommandEnd.h"
#include "register/Firmware.h"

// What connecting needs from its surroundings: somewhere to tell the user why not.
class TConnectView {
 public:
  virtual TUserMessages& Messages() = 0;
  // How the connect ended, told once as it ends.
  virtual void Ended(TCommandEnd /*end*/) {}

 protected:
  ~TConnectView() = default;
};

// The port dialog's connect: opens the device, finds the register's address, asks its
// firmware version and picks the firmware row. The register connected before is
// forgotten first, so that an attempt that fails half way never leaves a new address
// with an old register's version. Returns the connection, or nothing after telling
// the user why.
std::optional<TKkmConnection> Connect(TKkmLink& link, const std::string& device, TConnectView& view);

// A register that a search has found (probed and asked its version), with the port it
// was found on, still open, where the search hands it over.
struct TFoundKkm {
  std::string Device;
  std::uint8_t Address = 0;
  std::int32_t Version = 0;
  std::unique_ptr<TSerialPort> Port;  // taken by the link that connects; none: open anew
};

// Connects to it as Connect would have, without asking the register again, on the port
// the search left open where it has one.
std::optional<TKkmConnection> ConnectFound(TKkmLink& link, TFoundKkm found, TConnectView& view);

// The second line of "Выбранный COM-порт недоступен": why the system refused the port;
// empty when it did not say.
std::string PortFaultText(TPortFault fault, const std::string& group);

// 104 as "1.0.4": the version's digits with points between them.
std::string DottedVersion(std::int32_t version);
// The register's number as it calls itself, two digits: "37", "05".
std::string KkmNumberText(std::uint8_t address);

// "COM3 · ККМ № 37 · ПО 1.0.4", for the status bar.
std::string ConnectionText(const TKkmConnection& connection);
