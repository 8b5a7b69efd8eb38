#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "link/Clock.h"
#include "link/SerialPort.h"

// The one serial link of the program, shared by everything that talks to the
// register. It owns the open port, if any, and knows nothing of the protocol: the
// frame, probe and version code build every exchange from these operations.
class TKkmLink {
 public:
  explicit TKkmLink(TClock& clock = SteadyClock(), TPortOpener opener = OpenSerialPort);
  TKkmLink(const TKkmLink&) = delete;
  TKkmLink& operator=(const TKkmLink&) = delete;
  ~TKkmLink() = default;  // the port closes with it

  // Opens COMn with the register's line settings, MARK parity, DTR cleared. The port
  // held so far is closed first, so that reopening the same device is not refused
  // as held. Returns false when the device could not be opened.
  bool OpenPort(int portNumber);
  // Harmless when no port is open.
  void ClosePort();
  bool IsOpen() const { return Port != nullptr; }

  void SetParity(bool mark);

  // True as soon as count bytes wait in the input queue; false once more than
  // timeoutMs milliseconds have passed first (exactly timeoutMs still waits). The
  // bytes stay queued.
  bool WaitForInput(std::size_t count, TTick timeoutMs);
  std::size_t InputQueued();

  // Delay returns once more than ms + 1 milliseconds have passed, Pause once more
  // than ms.
  void Delay(TTick ms);
  void Pause(TTick ms);

  void Purge();
  void FullPurge();

  // Plain reads and writes under the port's time limits; callers may ignore the
  // counts. Without a port nothing is read or written.
  std::size_t ReadBytes(std::uint8_t* buffer, std::size_t n);
  std::size_t WriteBytes(const std::uint8_t* bytes, std::size_t n);

  TClock& Clock() { return LinkClock; }

  // Found by the connect sequence; 0 until then. FirmwareVersion is 104 for 1.0.4.
  std::uint8_t KkmAddress = 0;
  std::int32_t FirmwareVersion = 0;

 private:
  void WaitMoreThan(TTick ms);

  TClock& LinkClock;
  TPortOpener Opener;
  std::unique_ptr<TSerialPort> Port;
};
