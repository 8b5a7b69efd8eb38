#include "link/KkmConnect.h"

#include <array>
#include <numeric>
#include <string>

#include "link/KkmFrames.h"

namespace {

constexpr TTick ProbeEchoMs = 10;
constexpr TTick AddressEchoPauseMs = 40;
constexpr TTick VersionReplyPauseMs = 400;
constexpr std::uint8_t VersionQueryAcknowledgement = 0xEA;
constexpr std::size_t VersionReplySize = 11;

std::uint8_t CandidateAddress(int number) {
  return static_cast<std::uint8_t>(0xFF - (16 * (number / 10) + number % 10));
}

std::uint8_t ReadOneByte(TKkmLink& link) {
  std::uint8_t byte = 0;
  link.ReadBytes(&byte, 1);
  return byte;
}

void SendByte(TKkmLink& link, std::uint8_t byte) { link.WriteBytes(&byte, 1); }

bool ReplyChecksumMatches(const std::array<std::uint8_t, VersionReplySize>& reply) {
  const unsigned sum = std::accumulate(reply.begin(), reply.end() - 1, 0u);
  return static_cast<std::uint8_t>(0xFF - sum) == reply.back();
}

void Warn(TConnectView& view, TMessageKind kind, const std::string& text) { view.Messages().Show(kind, text); }

}  // namespace

bool ProbeAddress(TKkmLink& link) {
  link.Purge();
  link.SetParity(true);
  for (int number = 0; number <= 99; ++number) {
    const std::uint8_t candidate = CandidateAddress(number);
    link.Purge();
    SendByte(link, candidate);
    if (!link.WaitForInput(1, ProbeEchoMs)) continue;
    if (ReadOneByte(link) != candidate) return false;
    link.KkmAddress = candidate;
    return true;
  }
  return false;
}

std::int32_t VersionFromBytes(std::uint8_t first, std::uint8_t second) {
  std::string digits;
  for (std::uint8_t byte : {first, second}) {
    digits += std::to_string(byte >> 4);
    digits += std::to_string(byte & 0x0F);
  }
  return static_cast<std::int32_t>(std::stol(digits));
}

bool QueryVersion(TKkmLink& link) {
  link.FullPurge();
  link.SetParity(true);
  SendByte(link, link.KkmAddress);
  link.Pause(AddressEchoPauseMs);
  if (ReadOneByte(link) != link.KkmAddress) return false;

  link.SetParity(false);
  link.WriteBytes(VersionQueryFrame.data(), VersionQueryFrame.size());
  link.Pause(VersionReplyPauseMs);
  if (ReadOneByte(link) != VersionQueryAcknowledgement) return false;

  std::array<std::uint8_t, VersionReplySize> reply{};
  reply[0] = ReadOneByte(link);
  link.ReadBytes(reply.data() + 1, reply.size() - 1);
  link.FirmwareVersion = ReplyChecksumMatches(reply) ? VersionFromBytes(reply[6], reply[7]) : 0;
  return true;
}

bool ConnectKkm(TKkmLink& link, int portNumber, TConnectView& view) {
  link.ClosePort();
  if (!link.OpenPort(portNumber)) {
    Warn(view, TMessageKind::Warning, "Выбранный COM-порт недоступен");
    return false;
  }
  if (!ProbeAddress(link) || !QueryVersion(link)) {
    Warn(view, TMessageKind::Error, "Нет связи с ККМ");
    return false;
  }
  if (link.FirmwareVersion == 0) {
    Warn(view, TMessageKind::Warning, "В ККМ необходимо установить ПО версии не ниже 1.0.4");
    return false;
  }
  if (!view.SelectRamMap(link.FirmwareVersion)) {
    Warn(view, TMessageKind::Warning, "Версия ПО ККМ не поддерживается: " + std::to_string(link.FirmwareVersion));
    return false;
  }
  view.CloseDialog();
  return true;
}
