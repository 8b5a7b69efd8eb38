#include "register/Connect.h"

#include "link/KkmConnect.h"
#include "register/FailureBox.h"

namespace {

constexpr const char* PortUnavailable = "Выбранный COM-порт недоступен";
constexpr const char* OldFirmware = "В ККМ необходимо установить ПО версии не ниже 1.0.4";

void Tell(TConnectView& view, TMessageKind kind, const std::string& text) { view.Messages().Show(kind, text); }

std::string WithReason(const std::string& first, const std::string& reason) {
  return reason.empty() ? first : first + "\n" + reason;
}

}  // namespace

std::string DottedVersion(std::int32_t version) {
  std::string text;
  for (const char digit : std::to_string(version)) {
    if (!text.empty()) text += '.';
    text += digit;
  }
  return text;
}

std::string KkmNumberText(std::uint8_t address) {
  const int number = KkmNumberOf(address);
  return {static_cast<char>('0' + number / 10), static_cast<char>('0' + number % 10)};
}

std::string PortFaultText(TPortFault fault, const std::string& group) {
  switch (fault) {
    case TPortFault::Absent: return "Порт не найден в системе.";
    case TPortFault::Busy: return "Порт занят другой программой.";
    case TPortFault::NoPermission:
      return "Нет прав на порт: пользователь должен входить в группу " + (group.empty() ? "dialout" : group) + ".";
    case TPortFault::NoStickParity: return "Порт не поддерживает четность MARK и SPACE.";
    case TPortFault::None:
    case TPortFault::Other: break;
  }
  return {};
}

std::string ConnectionText(const TKkmConnection& connection) {
  if (connection.Firmware == nullptr) return {};
  return connection.Device + " · ККМ № " + KkmNumberText(connection.Address) + " · ПО " +
         DottedVersion(connection.Version);
}

namespace {

// The register forgotten, the device opened; false after telling the user why not.
bool OpenForConnect(TKkmLink& link, const std::string& device, TConnectView& view) {
  link.ClosePort();
  link.UseRegister(0, 0);
  if (link.OpenPort(device)) return true;
  Tell(view, TMessageKind::Warning, WithReason(PortUnavailable, PortFaultText(link.PortFault(), link.PortGroup())));
  view.Ended(TCommandEnd::PortUnavailable);
  return false;
}

// The version found is one the program has a firmware row for.
std::optional<TKkmConnection> WithFirmwareRow(TKkmLink& link, const std::string& device, TConnectView& view) {
  const TFirmware* firmware = FindFirmware(link.FirmwareVersion());
  if (firmware == nullptr) {
    Tell(view, TMessageKind::Warning,
         link.FirmwareVersion() == 0 ? OldFirmware
                                     : "Версия ПО ККМ не поддерживается: " + std::to_string(link.FirmwareVersion()));
    view.Ended(TCommandEnd::UnknownFirmware);
    return std::nullopt;
  }
  view.Ended(TCommandEnd::Done);
  return TKkmConnection{device, link.KkmAddress(), link.FirmwareVersion(), firmware};
}

}  // namespace

std::optional<TKkmConnection> Connect(TKkmLink& link, const std::string& device, TConnectView& view) {
  if (!OpenForConnect(link, device, view)) return std::nullopt;
  if (!ProbeAddress(link) || !QueryVersion(link)) {
    Tell(view, TMessageKind::Error, LinkFailureBox(NoConnectionText, link.LastFailure()));
    view.Ended(TCommandEnd::NoAnswer);
    return std::nullopt;
  }
  return WithFirmwareRow(link, device, view);
}

std::optional<TKkmConnection> ConnectFound(TKkmLink& link, TFoundKkm found, TConnectView& view) {
  if (found.Port) {
    link.AdoptPort(found.Device, std::move(found.Port));
  } else if (!OpenForConnect(link, found.Device, view)) {
    return std::nullopt;
  }
  link.UseRegister(found.Address, found.Version);
  return WithFirmwareRow(link, found.Device, view);
}
