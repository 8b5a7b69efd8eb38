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
// XON and XOFF limits of 1, XON and XOFF characters 0x11 and 0x13 (SetCommState
// refuses a block in which they are equal, and some drivers report both as 0). Every
// other field keeps its value.
DCB RegisterLineSettings(DCB current);

// The system calls the port makes, so that a test can answer them as a driver would
// and the bench can count them.
struct TCommCalls {
  decltype(&::CreateFileA) CreateFileA = &::CreateFileA;
  decltype(&::CloseHandle) CloseHandle = &::CloseHandle;
  decltype(&::SetupComm) SetupComm = &::SetupComm;
  decltype(&::GetCommState) GetCommState = &::GetCommState;
  decltype(&::SetCommState) SetCommState = &::SetCommState;
  decltype(&::SetCommTimeouts) SetCommTimeouts = &::SetCommTimeouts;
  decltype(&::EscapeCommFunction) EscapeCommFunction = &::EscapeCommFunction;
  decltype(&::PurgeComm) PurgeComm = &::PurgeComm;
  decltype(&::ClearCommError) ClearCommError = &::ClearCommError;
  decltype(&::FlushFileBuffers) FlushFileBuffers = &::FlushFileBuffers;
  decltype(&::ReadFile) ReadFile = &::ReadFile;
  decltype(&::WriteFile) WriteFile = &::WriteFile;
  decltype(&::timeBeginPeriod) TimeBeginPeriod = &::timeBeginPeriod;
  decltype(&::timeEndPeriod) TimeEndPeriod = &::timeEndPeriod;
};

// The time-outs of reads and writes: 1 ms between bytes, 100 ms plus 20 ms a byte
// for a read, 100 ms plus 1 ms a byte for a write.
COMMTIMEOUTS RegisterTimeouts();

// Why CreateFileA could not open a device, from its last error.
TPortFault OpenFault(DWORD error);

// Whether a call on a handle that worked failed because the device is gone: what
// drivers of USB adapters answer once the adapter is pulled out.
bool IsRemovalError(DWORD error);

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
  // or says why not: absent, held by another program, a driver that refuses the line
  // settings (Other) or does not keep MARK and SPACE parity (NoStickParity).
  static TOpenedPort Open(const std::string& device, const TCommCalls& calls = TCommCalls());

  TWin32SerialPort(HANDLE handle, const TCommCalls& calls) : Calls(calls), Handle(handle) {}
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
  bool Removed() const override { return Gone; }

 private:
  TPortFault ApplyLineSettings();
  // After a call that failed: whether its last error says the device is gone.
  void NoteFailure();
  std::size_t TakeQueued(std::uint8_t* buffer, std::size_t n);

  const TCommCalls Calls;
  HANDLE Handle;
  // The device control block the driver holds, so that a parity switch changes that
  // one field and nothing else.
  DCB Dcb{};
  COMMTIMEOUTS Timeouts{};
  bool FineTimer = false;  // timeBeginPeriod(1) granted, to be ended at close
  TTransmitterTime Transmitter;
  std::vector<std::uint8_t> Queue;
  bool Gone = false;
};
