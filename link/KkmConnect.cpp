#include "link/KkmConnect.h"

#include <array>
#include <numeric>
#include <optional>
#include <string>

#include "link/KkmFrames.h"
#include "link/LinkTimes.h"

namespace {

constexpr std::uint8_t VersionQueryAcknowledgement = 0xEA;
constexpr std::size_t VersionReplySize = 11;
constexpr int LastKkmNumber = 99;
constexpr int NoCandidate = -1;  // the window after the last candidate: nothing sent

std::uint8_t CandidateAddress(int number) {
  return static_cast<std::uint8_t>(0xFF - (16 * (number / 10) + number % 10));
}

bool SendByte(TKkmLink& link, std::uint8_t byte) { return link.Send(&byte, 1); }

bool ReplyChecksumMatches(const std::array<std::uint8_t, VersionReplySize>& reply) {
  const unsigned sum = std::accumulate(reply.begin(), reply.end() - 1, 0u);
  return static_cast<std::uint8_t>(0xFF - sum) == reply.back();
}

}  // namespace

int KkmNumberOf(std::uint8_t address) {
  const int bcd = 0xFF - address;
  return 10 * (bcd >> 4) + (bcd & 0x0F);
}

// A port whose device holds answers back without saying so (a network serial port, a
// Bluetooth link) lets an echo arrive in the window of the next candidate. An echo of
// the candidate before is that candidate's answer: no other register sends it. So
// after the last candidate one more window is waited, with nothing sent.
bool ProbeAddress(TKkmLink& link) {
  TLinkOperation operation(link, {"ProbeAddress"});
  link.Purge();
  link.SetParity(true);
  int previous = NoCandidate;
  for (int number = 0; number <= LastKkmNumber + 1 && !link.Stopped(); ++number) {
    const int candidate = number <= LastKkmNumber ? CandidateAddress(number) : NoCandidate;
    if (candidate != NoCandidate) {
      link.Purge();
      if (!SendByte(link, static_cast<std::uint8_t>(candidate))) return operation.Result(false);
    }
    if (link.WaitForAnswer(1, ProbeEchoTimeLimit)) {
      const std::optional<std::uint8_t> echo = ReadOneByte(link);
      if (!echo) return operation.Result(link.Fail(TFailureReason::NoEcho));
      if (*echo != candidate && *echo != previous) return operation.Result(link.Fail(TFailureReason::WrongEcho));
      link.Address = *echo;
      return operation.Result(true);
    }
    previous = candidate;
  }
  return operation.Result(link.Fail(TFailureReason::NoEcho));
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
  TLinkOperation operation(link, {"QueryVersion"});
  link.FullPurge();
  link.SetParity(true);
  if (!SendByte(link, link.KkmAddress())) return operation.Result(false);
  link.Pause(VersionEchoPauseMs);
  if (!ReadExpectedByte(link, link.KkmAddress(), TFailureReason::NoEcho, TFailureReason::WrongEcho))
    return operation.Result(false);

  link.SetParity(false);
  if (!link.Send(VersionQueryFrame.data(), VersionQueryFrame.size())) return operation.Result(false);
  link.Pause(VersionReplyPauseMs);
  if (!ReadExpectedByte(link, VersionQueryAcknowledgement, TFailureReason::NoAcknowledgement,
                        TFailureReason::WrongAcknowledgement))
    return operation.Result(false);

  std::array<std::uint8_t, VersionReplySize> reply{};
  reply[0] = ReadOneByte(link).value_or(0);
  link.ReadBytes(reply.data() + 1, reply.size() - 1);
  const bool trusted = ReplyChecksumMatches(reply);
  // Not a failure of the link: such a register is taken for an older firmware.
  if (!trusted) link.Trace("version reply checksum wrong: version 0");
  link.Version = trusted ? VersionFromBytes(reply[6], reply[7]) : 0;
  return operation.Result(true);
}
