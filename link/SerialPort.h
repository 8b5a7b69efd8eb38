#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "link/Clock.h"
#include "link/LinkTimes.h"

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
  // again. It never burns the processor. missing: how many more bytes the caller
  // waits for; they come no faster than the line carries them, so the port may
  // sleep through the time of all but the last of them rather than wake for each.
  virtual void AwaitInput(TTick timeoutMs, std::size_t missing) = 0;

  // Returns true once the system has sent every byte written; false when that has
  // not happened within timeoutMs (a stuck driver or adapter). The system may be done
  // with the bytes before the last of them has left the wire (a UART's buffer, an
  // adapter's own); LineTimeLeftMs then tells how long they may still take at the
  // line's rate, and the link counts that into the answer window that follows.
  virtual bool Drain(TTick timeoutMs) = 0;
  virtual TTick LineTimeLeftMs() const = 0;

  // How long the device may hold a received byte before the PC sees it: a USB
  // adapter passes short answers on when its latency timer runs out. 0 for a serial
  // port on the board, a pseudo-terminal, and the simulated line without latency.
  virtual TTick InputLatencyMs() const = 0;

  // Clears both queues.
  virtual void Purge() = 0;
  // Also aborts the reads and writes under way, then clears both queues.
  virtual void FullPurge() = 0;

  // Read: returns when n bytes are there or the read time limit has passed; bytes
  // that did not come leave their part of buffer unchanged. Write: returns when the
  // bytes are handed to the driver or the write time limit has passed, which is
  // before they have left the PC (see Drain). Both return the count done.
  virtual std::size_t ReadBytes(std::uint8_t* buffer, std::size_t n) = 0;
  virtual std::size_t WriteBytes(const std::uint8_t* bytes, std::size_t n) = 0;

  // True once the system has said that the device is gone (a USB adapter pulled out,
  // the far end of a pseudo-terminal closed): nothing will pass any more. A wait for
  // input ends as soon as the system says so.
  virtual bool Removed() const { return false; }
};

// A port that passes every call on to another, for ports that watch what goes
// through (the line trace, the bench's counters).
class TForwardingPort : public TSerialPort {
 public:
  explicit TForwardingPort(std::unique_ptr<TSerialPort> port) : Port(std::move(port)) {}

  void SetParity(bool mark) override { Port->SetParity(mark); }
  std::size_t InputQueued() override { return Port->InputQueued(); }
  void AwaitInput(TTick timeoutMs, std::size_t missing) override { Port->AwaitInput(timeoutMs, missing); }
  bool Drain(TTick timeoutMs) override { return Port->Drain(timeoutMs); }
  TTick LineTimeLeftMs() const override { return Port->LineTimeLeftMs(); }
  TTick InputLatencyMs() const override { return Port->InputLatencyMs(); }
  void Purge() override { Port->Purge(); }
  void FullPurge() override { Port->FullPurge(); }
  std::size_t ReadBytes(std::uint8_t* buffer, std::size_t n) override { return Port->ReadBytes(buffer, n); }
  std::size_t WriteBytes(const std::uint8_t* bytes, std::size_t n) override { return Port->WriteBytes(bytes, n); }
  bool Removed() const override { return Port->Removed(); }

  // The port it passes calls on to, for a new owner; this one passes on nothing after.
  std::unique_ptr<TSerialPort> Release() { return std::move(Port); }

 protected:
  std::unique_ptr<TSerialPort> Port;
};

// Why a device could not be opened.
enum class TPortFault {
  None,
  Absent,         // the system has no such device
  Busy,           // another program holds it
  NoPermission,   // the user may not open it; Group names the group that may
  NoStickParity,  // its driver does not keep MARK and SPACE parity
  Other,          // any other refusal of the system
};

struct TOpenedPort {
  std::unique_ptr<TSerialPort> Port;  // nullptr when the device could not be opened
  TPortFault Fault = TPortFault::None;
  std::string Group;  // with NoPermission: the group that owns the device, where known

  static TOpenedPort Opened(std::unique_ptr<TSerialPort> port) { return {std::move(port), TPortFault::None, {}}; }
  static TOpenedPort Failed(TPortFault fault, std::string group = {}) { return {nullptr, fault, std::move(group)}; }
};

// Opens a device by its name ("COM7", "/dev/ttyUSB0", a pseudo-terminal's path) with
// the register's line settings, or says why it could not.
using TPortOpener = std::function<TOpenedPort(const std::string& device)>;

// The port dialog's four buttons, COM1 to COM4.
constexpr int FirstPortNumber = 1;
constexpr int LastPortNumber = 4;

// The device behind button COMn: the one named by the environment variable ORBI7_COMn
// (ORBI7_COM1=/dev/ttyUSB0, ORBI7_COM1=COM7), or else the system's own for that
// number (DefaultSerialDevice).
std::string SerialDeviceName(int portNumber);
// The device that ORBI7_COMn names; empty when the variable is unset or empty.
std::string EnvironmentSerialDevice(int portNumber);
// "COMn" on Windows, /dev/ttyS<n-1> elsewhere.
std::string DefaultSerialDevice(int portNumber);

// The system backend: opens the device with the register's line settings.
TOpenedPort OpenSerialPort(const std::string& device);
