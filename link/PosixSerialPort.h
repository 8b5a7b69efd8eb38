#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/SerialPort.h"
#include "link/TransmitterTime.h"

// A serial device through termios. The descriptor stays non-blocking: every wait
// is a poll() against a monotonic deadline. Bytes are taken from the driver into a
// queue of our own as soon as they are looked at, so that a wait for more bytes than
// are there blocks in poll() instead of seeing the same bytes ready again and again.
class TPosixSerialPort final : public TSerialPort {
 public:
  // Opens the device exclusively and applies the register's line settings, or says
  // why not: absent, held by another program, not ours to open, or dropping the MARK
  // and SPACE parity setting.
  static TOpenedPort Open(const std::string& device);

  explicit TPosixSerialPort(int fd) : Fd(fd) {}
  TPosixSerialPort(const TPosixSerialPort&) = delete;
  TPosixSerialPort& operator=(const TPosixSerialPort&) = delete;
  ~TPosixSerialPort() override;

  void SetParity(bool mark) override;
  std::size_t InputQueued() override;
  void AwaitInput(TTick timeoutMs, std::size_t missing) override;
  bool Drain(TTick timeoutMs) override;
  TTick LineTimeLeftMs() const override { return Transmitter.LeftMs(); }
  TTick InputLatencyMs() const override { return LatencyMs; }
  void Purge() override;
  void FullPurge() override;
  std::size_t ReadBytes(std::uint8_t* buffer, std::size_t n) override;
  std::size_t WriteBytes(const std::uint8_t* bytes, std::size_t n) override;
  bool Removed() const override { return Gone; }

 private:
  TPortFault ApplyLineSettings();
  void SetModemLines();
  std::size_t TakeFromDriver();
  bool AwaitReadable(TTick timeoutMs);
  std::size_t TakeQueued(std::uint8_t* buffer, std::size_t n);
  // Notes a failed call's errno or a poll's events that mean the device is gone.
  void NoteError(int error);
  void NoteEvents(short events);

  int Fd;
  std::vector<std::uint8_t> Queue;
  TTransmitterTime Transmitter;
  TTick LatencyMs = 0;
  // The parity bits that the driver keeps once set; a pseudo-terminal, for one,
  // always clears PARENB but keeps CMSPAR and PARODD.
  unsigned KeptParityBits = 0;
  bool Gone = false;
};

// Why open() refused a device, from its errno.
TPortFault PosixOpenFault(int error);
// Whether a call on a device that was open failed because the device is gone.
bool IsRemovalError(int error);
