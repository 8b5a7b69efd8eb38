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

// A COM port through the Win32 communications calls, synchronous I/O. To wait for
// input without polling, the port switches for that wait to time-outs under which
// ReadFile returns with the first byte to arrive; the bytes it takes so are kept in
// a queue of our own until read.
class TWin32SerialPort final : public TSerialPort {
 public:
  // Opens the device exclusively and applies the register's line settings; nullptr
  // when the device is absent or held by another program.
  static std::unique_ptr<TSerialPort> Open(const std::string& device);

  explicit TWin32SerialPort(HANDLE handle) : Handle(handle) {}
  TWin32SerialPort(const TWin32SerialPort&) = delete;
  TWin32SerialPort& operator=(const TWin32SerialPort&) = delete;
  ~TWin32SerialPort() override;

  void SetParity(bool mark) override;
  std::size_t InputQueued() override;
  void AwaitInput(TTick timeoutMs) override;
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
  std::vector<std::uint8_t> Queue;
};
