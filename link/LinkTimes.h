#pragma once

#include <cstddef>
#include <cstdint>

#include "link/Clock.h"

// Every time limit and pause of the link, in milliseconds unless the name says
// otherwise, named for what it waits for. The answer windows start when the bytes
// they answer have left the PC (the output has drained), and each is lengthened by
// the time the port's device may hold a received byte before it hands it on (a USB
// adapter's latency timer; 0 for a plain serial port).

// One character on the line: start bit, 8 data bits, parity, stop bit, at 9600 baud,
// rounded up to the nanosecond.
constexpr std::uint64_t CharacterNs = (11ull * 1'000'000'000ull + 9599) / 9600;

// The port's own limits for a plain read or write of n bytes.
constexpr TTick ReadTimeoutConstant = 100;
constexpr TTick ReadTimeoutPerByte = 20;
constexpr TTick WriteTimeoutConstant = 100;
constexpr TTick WriteTimeoutPerByte = 1;
constexpr TTick ReadTimeLimit(std::size_t n) { return ReadTimeoutConstant + ReadTimeoutPerByte * n; }
constexpr TTick WriteTimeLimit(std::size_t n) { return WriteTimeoutConstant + WriteTimeoutPerByte * n; }

// How long n characters written may take to leave the PC before the output is taken
// as stuck: their time on the line and a margin for the driver.
constexpr TTick DrainMarginMs = 100;
constexpr TTick DrainTimeLimit(std::size_t n) {
  return static_cast<TTick>((CharacterNs * n + 999'999) / 1'000'000) + DrainMarginMs;
}

// The latency timer of the most common USB serial adapters as they come: the time
// allowed for a device that may be such an adapter but does not tell its own.
constexpr TTick UsbAdapterLatencyMs = 16;

// The longest the link waits without letting the window paint (TKkmLink::SetPump); well
// inside the 100 ms after which a window that paints nothing looks hung.
constexpr TTick PumpIntervalMs = 50;

// Reads and writes of memory.
constexpr TTick EchoTimeLimit = 500;             // the address echoed
constexpr TTick AcknowledgementTimeLimit = 700;  // a read or write frame acknowledged
constexpr TTick ReplyTimeLimit = 700;            // the whole read reply after its acknowledgement

// Block writes.
constexpr TTick BlockEchoTimeLimit = 20;              // the address echoed, versions 100 to 104
constexpr TTick BusyBlockEchoTimeLimit = 1650;        // version 105, then one resend under BlockEchoTimeLimit
constexpr TTick BlockAcknowledgementTimeLimit = 200;  // the block frame acknowledged
constexpr TTick BusyTimeLimit = 30000;                // busy answers for longer: the register is taken as lost

// Connecting.
constexpr TTick ProbeEchoTimeLimit = 10;    // a probe candidate echoed
constexpr TTick VersionEchoPauseMs = 40;    // then the echo of the address is read
constexpr TTick VersionReplyPauseMs = 400;  // then the acknowledgement and the reply are read
