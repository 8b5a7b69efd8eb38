#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "link/Clock.h"
#include "link/SerialPort.h"
#include "link/TraceRing.h"

// The line trace for support: the link gives one line per event to the command's
// trace in memory (TTraceRing) and, with ORBI7_TRACE=FILE in the environment, appends
// it to FILE, each with the milliseconds since the port was opened: every byte sent
// (">", with the parity it went with) and received ("<", whose parity the PC is not
// told: "none"), bytes thrown away by a purge, each operation's start and result, and
// each failure's reason.
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

  // Time 0 now on the clock: a port has just been opened.
  void Start(TClock& clock);
  // Appends to the file from now on; false when it cannot be opened (then nothing goes
  // to a file).
  bool Open(const std::string& path);
  void Close();
  // The events from now on go to this command's trace in the ring too.
  void KeepIn(TTraceRing& ring, TTraceRing::TId id);
  // Whether the events go anywhere.
  bool IsOpen() const { return Clock != nullptr && (File != nullptr || Ring != nullptr); }

  void Event(const std::string& text);

 private:
  struct TCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  std::unique_ptr<std::FILE, TCloser> File;
  TClock* Clock = nullptr;
  std::uint64_t StartUs = 0;
  TTraceRing* Ring = nullptr;
  TTraceRing::TId RingId = 0;
};

// The file named by ORBI7_TRACE; empty when it is not set.
std::string TraceFileFromEnvironment();

// "FE", two hex digits.
std::string HexByte(std::uint8_t byte);

// A port that tells the trace of every byte that passes it.
std::unique_ptr<TSerialPort> TracedPort(std::unique_ptr<TSerialPort> port, TLineTrace& trace);
