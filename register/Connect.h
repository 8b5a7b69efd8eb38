#pragma once

#include <optional>
#include <string>

#include "document/UserMessages.h"
#include "link/TKkmLink.h"
#include "register/Firmware.h"

// What connecting needs from its surroundings: somewhere to tell the user why not.
class TConnectView {
 public:
  virtual TUserMessages& Messages() = 0;

 protected:
  ~TConnectView() = default;
};

// The port dialog's connect: opens the device, finds the register's address, asks its
// firmware version and picks the firmware row. The register connected before is
// forgotten first, so that an attempt that fails half way never leaves a new address
// with an old register's version. Returns the connection, or nothing after telling
// the user why.
std::optional<TKkmConnection> Connect(TKkmLink& link, const std::string& device, TConnectView& view);

// The second line of "Выбранный COM-порт недоступен": why the system refused the port;
// empty when it did not say.
std::string PortFaultText(TPortFault fault, const std::string& group);

// "COM3 · ККМ № 37 · ПО 1.0.4", for the status bar.
std::string ConnectionText(const TKkmConnection& connection);
