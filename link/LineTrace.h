#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "link/Clock.h"
#include "link/SerialPort.h"

// The line trace for support: with ORBI7_TRACE=FILE in the environment the link
// appends one line per event to FILE, each with the milliseconds since the port was
// opened: every byte sent (">", with the parity it went with) and received ("<",
// whose parity the PC is not told: "none"), bytes thrown away by a purge, each
// operation's start and result, and each failure's reason.
//
//       0.000 open COM1
//       0.004 begin ReadMemory 0x1A88 16
//       0.010 > FE MARK
//       2.812 < FE none
class TLineTrace {
 public:
  TLineTrace() = default;
  TLineTrace(const TLineTrace&) = delete;
  TLineTrace& operator=(const TLineTrace&) = delete;

  // Appends to the file from now on, with time 0 now on the clock; false when it
  // cannot be opened (then nothing is traced).
  bool Open(const std::string& path, TClock& clock);
  void Close();
  bool IsOpen() const { return File != nullptr; }

  void Event(const std::string& text);

 private:
  struct TCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  std::unique_ptr<std::FILE, TCloser> File;
  TClock* Clock = nullptr;
  std::uint64_t StartUs = 0;
};

// The file named by ORBI7_TRACE; empty when it is not set.
std::string TraceFileFromEnvironment();

// "FE", two hex digits.
std::string HexByte(std::uint8_t byte);

// A port that tells the trace of every byte that passes it.
std::unique_ptr<TSerialPort> TracedPort(std::unique_ptr<TSerialPort> port, TLineTrace& trace);
