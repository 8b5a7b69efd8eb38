#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/LinkTimes.h"
#include "link/TKkmLink.h"

// The register's frame protocol: the address byte alone with MARK parity, echoed by
// the register; then a request frame with SPACE parity, ending in a checksum that
// the register sends back as its acknowledgement; for a read, a reply frame after it.

namespace KkmCommand {
constexpr std::uint8_t WriteMemory = 0x05;
constexpr std::uint8_t ReadMemory = 0x06;
constexpr std::uint8_t VersionQuery = 0x14;
constexpr std::uint8_t WriteBlock = 0x17;
}  // namespace KkmCommand

// What the register answers instead of its address while it cannot take a block write.
constexpr std::uint8_t KkmBusy = 0x65;

// Block writes start no higher than this address.
constexpr std::uint16_t LastBlockWriteAddress = 0x0A80;

// The length and count bytes are single bytes: 4 + N must fit in one.
constexpr std::size_t MaxWriteCount = 251;

// 0xFF minus the sum of the bytes, modulo 256.
std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t n);

// Whole request frames, checksum included: length, command, address low and high,
// count, then for a write (command 5 or 23) the n data bytes (n at most MaxWriteCount).
std::vector<std::uint8_t> WriteFrame(std::uint8_t command, std::uint16_t address, const std::uint8_t* data,
                                     std::size_t n);
std::vector<std::uint8_t> ReadFrame(std::uint16_t address, std::uint8_t n);

// The firmware version query: length 1, command 20, checksum.
constexpr std::array<std::uint8_t, 3> VersionQueryFrame{0x01, KkmCommand::VersionQuery, 0xEA};

// One byte under the port's read limit; nothing when none came.
std::optional<std::uint8_t> ReadOneByte(TKkmLink& link);
// The same, which must be the byte expected: none at all fails with the reason
// missing, another byte with the reason wrong.
bool ReadExpectedByte(TKkmLink& link, std::uint8_t expected, TFailureReason missing, TFailureReason wrong);

// The address phase of reads and writes: true when the register echoed KkmAddress.
// Leaves SPACE parity set on success. Every operation here records why it failed in
// the link (TKkmLink::LastFailure).
bool SelectKkm(TKkmLink& link);

// n bytes at address into destination. When the reply checksum is wrong the
// destination holds the bytes as received and the result is false; on any other
// failure it is untouched.
bool ReadMemory(TKkmLink& link, std::uint16_t address, std::uint8_t n, std::uint8_t* destination);
bool ReadMemoryByte(TKkmLink& link, std::uint16_t address, std::uint8_t& destination);

// Command 5; true when acknowledged. More than MaxWriteCount bytes fail at once.
bool WriteMemory(TKkmLink& link, std::uint16_t address, const std::uint8_t* bytes, std::size_t n);
bool WriteMemoryByte(TKkmLink& link, std::uint16_t address, std::uint8_t value);

// How a firmware takes the address byte of a block write.
enum class TBlockHandshake {
  OneEcho,      // the address echoed within BlockEchoTimeLimit
  BusyAnswers,  // busy (0x65) until it can take the block: BusyBlockEchoTimeLimit, then one resend
};

// Command 23, for the settings copy area, with the address phase of the connected
// firmware. Fails without touching the line above LastBlockWriteAddress and for more
// than MaxWriteCount bytes. A register that keeps answering busy fails the write once
// BusyTimeLimit has passed.
bool WriteMemoryBlock(TKkmLink& link, std::uint16_t address, const std::uint8_t* bytes, std::size_t n,
                      TBlockHandshake handshake);
