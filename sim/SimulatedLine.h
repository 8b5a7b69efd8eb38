#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

#include "link/Clock.h"
#include "link/SerialPort.h"
#include "sim/AdapterBuffer.h"
#include "sim/SimulatedRegister.h"

// A serial port whose other end is a simulated register. Each byte travels at 9600
// baud, 11 bits a character, with its parity bit, on the clock it is given: a virtual
// clock in tests, the steady clock in the demo. A write returns at once, as a driver
// takes the bytes, and they leave one after another; a drain waits until the last has
// left. Answers pass through the receiving side of a USB adapter, with a latency timer
// of its own (0: none). Waits sleep on the clock until the next byte is due, so no
// time is burnt and, on the virtual clock, none is spent. Line time is the clock's
// tick in nanoseconds (so ticks stay below 1.8e13, some 580 years of a steady clock);
// the register must outlive the line. A line whose latency is untold holds answers
// back as much but tells the link 0, as a network or Bluetooth port does.
class TSimulatedLine final : public TSerialPort {
 public:
  TSimulatedLine(TClock& clock, TSimulatedRegister& kkm, std::uint64_t latencyMs = 0, bool latencyTold = true);

  void SetParity(bool mark) override { Mark = mark; }
  std::size_t InputQueued() override;
  void AwaitInput(TTick timeoutMs, std::size_t missing) override;
  bool Drain(TTick timeoutMs) override;
  // The drain waits for the last stop bit itself.
  TTick LineTimeLeftMs() const override { return 0; }
  TTick InputLatencyMs() const override { return LatencyTold ? Adapter.LatencyMs() : 0; }
  void Purge() override;
  void FullPurge() override { Purge(); }
  std::size_t ReadBytes(std::uint8_t* buffer, std::size_t n) override;
  std::size_t WriteBytes(const std::uint8_t* bytes, std::size_t n) override;
  // Once the register's Unplugged fault has pulled the adapter out: nothing is taken
  // or given any more, and a wait for input ends then, as the system's poll would.
  bool Removed() const override { return LineClock.Now() * 1'000'000 >= Kkm.UnpluggedNs(); }

  bool ParityMark() const { return Mark; }

 private:
  TLineNs NowNs() { return LineClock.Now() * 1'000'000; }
  void TakeArrived();
  // The tick by which the next byte has come, or deadline if that is sooner.
  TTick NextArrivalBy(TTick deadline) const;

  TClock& LineClock;
  TSimulatedRegister& Kkm;
  bool Mark = true;
  TLineNs TransmitterFreeNs = 0;
  TAdapterBuffer Adapter;
  bool LatencyTold;
  std::deque<std::uint8_t> Input;
};

// A tick on the line's time base: the first one at or after ns.
constexpr TTick LineTick(TLineNs ns) { return (ns + 999'999) / 1'000'000; }

// Opens every device name onto the one register, through an adapter of that latency.
TPortOpener SimulatedPortOpener(TClock& clock, TSimulatedRegister& kkm, std::uint64_t latencyMs = 0,
                                bool latencyTold = true);
