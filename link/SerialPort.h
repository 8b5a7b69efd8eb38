#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/Clock.h"

// One open serial line to the register, 9600 baud, 8 data bits, 1 stop bit, the
// parity bit used as a ninth data bit (MARK for the address byte, SPACE for frame
// bytes). An object exists only while its device is open; destroying it aborts the
// transfers under way, clears both queues and closes the device. The system backends
// and the simulated line both implement it.
class TSerialPort {
 public:
  virtual ~TSerialPort() = default;

  // MARK when mark is true, SPACE otherwise. Bytes already written still leave with
  // the parity they were written with.
  virtual void SetParity(bool mark) = 0;

  // Bytes received and not yet read.
  virtual std::size_t InputQueued() = 0;

  // Returns when input has arrived since the last look at the queue, or after
  // timeoutMs; it may return earlier, so callers look at the queue and the time
  // again. It never burns the processor.
  virtual void AwaitInput(TTick timeoutMs) = 0;

  // Clears both queues.
  virtual void Purge() = 0;
  // Also aborts the reads and writes under way, then clears both queues.
  virtual void FullPurge() = 0;

  // Read: returns when n bytes are there or the read time limit has passed; bytes
  // that did not come leave their part of buffer unchanged. Write: returns when the
  // bytes are handed to the driver or the write time limit has passed. Both return
  // the count done.
  virtual std::size_t ReadBytes(std::uint8_t* buffer, std::size_t n) = 0;
  virtual std::size_t WriteBytes(const std::uint8_t* bytes, std::size_t n) = 0;
};

// Opens port COMn (n from FirstPortNumber to LastPortNumber); nullptr when the device
// is absent, held by another program, or (where the system tells) cannot carry MARK
// and SPACE parity.
using TPortOpener = std::function<std::unique_ptr<TSerialPort>(int portNumber)>;

constexpr int FirstPortNumber = 1;
constexpr int LastPortNumber = 4;

// Time limits of reads and writes, in milliseconds: a constant plus so much per byte.
constexpr TTick ReadTimeoutConstant = 100;
constexpr TTick ReadTimeoutPerByte = 20;
constexpr TTick WriteTimeoutConstant = 100;
constexpr TTick WriteTimeoutPerByte = 1;
constexpr TTick ReadTimeLimit(std::size_t n) { return ReadTimeoutConstant + ReadTimeoutPerByte * n; }
constexpr TTick WriteTimeLimit(std::size_t n) { return WriteTimeoutConstant + WriteTimeoutPerByte * n; }

// The device behind COMn on this system: "COMn" on Windows; elsewhere the device
// named by the environment variable ORBI7_COMn, or else /dev/ttyS<n-1>.
std::string SerialDeviceName(int portNumber);

// The system backend: opens the device of COMn with the register's line settings.
std::unique_ptr<TSerialPort> OpenSerialPort(int portNumber);
