#include "link/KkmFrames.h"

#include <numeric>

namespace {

constexpr std::uint8_t Low(std::uint16_t address) { return static_cast<std::uint8_t>(address & 0xFF); }
constexpr std::uint8_t High(std::uint16_t address) { return static_cast<std::uint8_t>(address >> 8); }

std::vector<std::uint8_t> Frame(std::uint8_t command, std::uint16_t address, std::uint8_t count,
                                const std::uint8_t* data, std::size_t n) {
  std::vector<std::uint8_t> frame;
  frame.reserve(6 + n);
  for (const std::uint8_t byte : {static_cast<std::uint8_t>(4 + n), command, Low(address), High(address), count}) {
    frame.push_back(byte);
  }
  for (std::size_t i = 0; i < n; ++i) frame.push_back(data[i]);
  frame.push_back(FrameChecksum(frame.data(), frame.size()));
  return frame;
}

// Reads the one answer byte that a wait has seen; 0 if it went missing.
std::uint8_t ReadAnswerByte(TKkmLink& link) {
  std::uint8_t answer = 0;
  link.ReadBytes(&answer, 1);
  return answer;
}

// One answer byte within the window: missing and wrong answers fail with their reasons.
bool AwaitAnswer(TKkmLink& link, std::uint8_t expected, TTick timeLimit, TFailureReason missing, TFailureReason wrong) {
  if (!link.WaitForAnswer(1, timeLimit)) return link.Fail(missing);
  return ReadAnswerByte(link) == expected || link.Fail(wrong);
}

bool AwaitEcho(TKkmLink& link, TTick timeLimit) {
  return AwaitAnswer(link, link.KkmAddress(), timeLimit, TFailureReason::NoEcho, TFailureReason::WrongEcho);
}

bool SendFrameForAcknowledgement(TKkmLink& link, const std::vector<std::uint8_t>& frame, TTick timeLimit) {
  ++link.FramesSent;
  return link.Send(frame.data(), frame.size()) &&
         AwaitAnswer(link, frame.back(), timeLimit, TFailureReason::NoAcknowledgement,
                     TFailureReason::WrongAcknowledgement);
}

bool SendAddress(TKkmLink& link) {
  const std::uint8_t address = link.KkmAddress();
  return link.Send(&address, 1);
}

// One address byte, a short wait.
bool SelectForBlock(TKkmLink& link) { return SendAddress(link) && AwaitEcho(link, BlockEchoTimeLimit); }

// The register may be busy with an earlier block and says so with 0x65; the address
// is sent again until it answers with its address.
bool SelectForBlockWhenBusy(TKkmLink& link) {
  const TTick start = link.Clock().Now();
  for (;;) {
    if (!SendAddress(link)) return false;
    if (!link.WaitForAnswer(1, BusyBlockEchoTimeLimit)) {
      if (!SendAddress(link)) return false;
      if (!link.WaitForAnswer(1, BlockEchoTimeLimit)) return link.Fail(TFailureReason::NoEcho);
    }
    const std::uint8_t answer = ReadOneByte(link).value_or(0);
    if (answer != KkmBusy) return answer == link.KkmAddress() || link.Fail(TFailureReason::WrongEcho);
    if (link.Clock().Now() - start >= BusyTimeLimit) return link.Fail(TFailureReason::BusyTooLong);
  }
}

}  // namespace

std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t n) {
  const unsigned sum = std::accumulate(bytes, bytes + n, 0u);
  return static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
}

std::vector<std::uint8_t> WriteFrame(std::uint8_t command, std::uint16_t address, const std::uint8_t* data,
                                     std::size_t n) {
  return Frame(command, address, static_cast<std::uint8_t>(n), data, n);
}

std::vector<std::uint8_t> ReadFrame(std::uint16_t address, std::uint8_t n) {
  return Frame(KkmCommand::ReadMemory, address, n, nullptr, 0);
}

std::optional<std::uint8_t> ReadOneByte(TKkmLink& link) {
  std::uint8_t byte = 0;
  if (link.ReadBytes(&byte, 1) != 1) return std::nullopt;
  return byte;
}

bool ReadExpectedByte(TKkmLink& link, std::uint8_t expected, TFailureReason missing, TFailureReason wrong) {
  const std::optional<std::uint8_t> byte = ReadOneByte(link);
  if (!byte) return link.Fail(missing);
  return *byte == expected || link.Fail(wrong);
}

bool SelectKkm(TKkmLink& link) {
  link.Purge();
  link.SetParity(true);
  if (!SendAddress(link) || !AwaitEcho(link, EchoTimeLimit)) return false;
  link.SetParity(false);
  return true;
}

bool ReadMemory(TKkmLink& link, std::uint16_t address, std::uint8_t n, std::uint8_t* destination) {
  TLinkOperation operation(link, {"ReadMemory", address, n});
  if (!SelectKkm(link)) return operation.Result(false);
  if (!SendFrameForAcknowledgement(link, ReadFrame(address, n), AcknowledgementTimeLimit))
    return operation.Result(false);
  if (!link.WaitForAnswer(std::size_t{n} + 2, ReplyTimeLimit))
    return operation.Result(link.Fail(TFailureReason::ShortReply));
  std::uint8_t leading = 0;
  std::uint8_t checksum = 0;
  link.ReadBytes(&leading, 1);
  link.ReadBytes(destination, n);
  link.ReadBytes(&checksum, 1);
  const unsigned sum = std::accumulate(destination, destination + n, unsigned{leading});
  const bool matches = checksum == static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
  return operation.Result(matches || link.Fail(TFailureReason::ReplyChecksum));
}

bool ReadMemoryByte(TKkmLink& link, std::uint16_t address, std::uint8_t& destination) {
  return ReadMemory(link, address, 1, &destination);
}

bool WriteMemory(TKkmLink& link, std::uint16_t address, const std::uint8_t* bytes, std::size_t n) {
  TLinkOperation operation(link, {"WriteMemory", address, static_cast<int>(n)});
  if (n > MaxWriteCount) return operation.Result(link.Fail(TFailureReason::Refused));
  return operation.Result(SelectKkm(link) &&
                          SendFrameForAcknowledgement(link, WriteFrame(KkmCommand::WriteMemory, address, bytes, n),
                                                      AcknowledgementTimeLimit));
}

bool WriteMemoryByte(TKkmLink& link, std::uint16_t address, std::uint8_t value) {
  return WriteMemory(link, address, &value, 1);
}

bool WriteMemoryBlock(TKkmLink& link, std::uint16_t address, const std::uint8_t* bytes, std::size_t n,
                      TBlockHandshake handshake) {
  TLinkOperation operation(link, {"WriteMemoryBlock", address, static_cast<int>(n)});
  if (address > LastBlockWriteAddress || n > MaxWriteCount) return operation.Result(link.Fail(TFailureReason::Refused));
  link.Purge();
  link.FullPurge();
  link.SetParity(true);
  const bool selected = handshake == TBlockHandshake::BusyAnswers ? SelectForBlockWhenBusy(link) : SelectForBlock(link);
  if (!selected) return operation.Result(false);
  link.SetParity(false);
  return operation.Result(SendFrameForAcknowledgement(link, WriteFrame(KkmCommand::WriteBlock, address, bytes, n),
                                                      BlockAcknowledgementTimeLimit));
}
