#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/SerialPort.h"
#include "link/TransmitterTime.h"

// The register's line settings applied to the device control block the driver
// reported: 9600 baud, 8 data bits, 1 stop bit, MARK parity, the flags word 0x2081,
// XON and XOFF limits of 1. Every other field keeps its value.
DCB RegisterLineSettings(DCB current);

// The time-outs of reads and writes: 1 ms between bytes, 100 ms plus 20 ms a byte
// for a read, 100 ms plus 1 ms a byte for a write.
COMMTIMEOUTS RegisterTimeouts();

// Why CreateFileA could not open a device, from its last error.
TPortFault OpenFault(DWORD error);

// The name CreateFileA opens a device by: "\\.\COM3" for "COM3". Only that form
// reaches COM10 and above.
std::string Win32DevicePath(const std::string& device);

// A COM port through the Win32 communications calls, synchronous I/O. To wait for
// input without polling, the port switches for that wait to a time-out under which
// ReadFile returns with the first byte to arrive; the bytes taken so are kept in a
// queue of our own until read.
class TWin32SerialPort final : public TSerialPort {
 public:
  // Opens the device ("COM3") exclusively and applies the register's line settings,
  // or says why not (absent, held by another program). Whether the driver
  // took the settings is not asked: some report a failure for stick parity that they
  // carry out all the same (Wine on a pseudo-terminal), and a driver that really
  // cannot send MARK and SPACE shows as a register that does not answer.
  static TOpenedPort Open(const std::string& device);

  explicit TWin32SerialPort(HANDLE handle) : Handle(handle) {}
  TWin32SerialPort(const TWin32SerialPort&) = delete;
  TWin32SerialPort& operator=(const TWin32SerialPort&) = delete;
  ~TWin32SerialPort() override;

  void SetParity(bool mark) override;
  std::size_t InputQueued() override;
  void AwaitInput(TTick timeoutMs, std::size_t missing) override;
  bool Drain(TTick timeoutMs) override;
  TTick LineTimeLeftMs() const override { return Transmitter.LeftMs(); }
  // Windows does not tell a program an adapter's latency timer; the most common one
  // is allowed for.
  TTick InputLatencyMs() const override { return UsbAdapterLatencyMs; }
  void Purge() override;
  void FullPurge() override;
  std::size_t ReadBytes(std::uint8_t* buffer, std::size_t n) override;
  std::size_t WriteBytes(const std::uint8_t* bytes, std::size_t n) override;

 private:
  void ApplyLineSettings();
  void ApplyTimeouts();
  std::size_t TakeQueued(std::uint8_t* buffer, std::size_t n);

  HANDLE Handle;
  COMMTIMEOUTS Timeouts{};
  TTransmitterTime Transmitter;
  std::vector<std::uint8_t> Queue;
};
