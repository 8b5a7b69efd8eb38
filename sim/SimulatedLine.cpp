#include "sim/SimulatedLine.h"

#include <algorithm>

void TSimulatedLine::TakeArrived() {
  const TTick now = LineClock.Now();
  while (!OnTheWire.empty() && OnTheWire.front().Tick <= now) {
    Input.push_back(OnTheWire.front().Byte);
    OnTheWire.pop_front();
  }
}

std::size_t TSimulatedLine::InputQueued() {
  TakeArrived();
  return Input.size();
}

void TSimulatedLine::AwaitInput(TTick timeoutMs) {
  const std::size_t queued = Input.size();
  TakeArrived();
  if (Input.size() > queued) return;
  TTick until = LineClock.Now() + timeoutMs;
  if (!OnTheWire.empty()) until = std::min(until, OnTheWire.front().Tick);
  LineClock.SleepUntil(until);
}

// Bytes still on the wire are not in any queue yet; they arrive after the purge.
void TSimulatedLine::Purge() {
  TakeArrived();
  Input.clear();
}

std::size_t TSimulatedLine::ReadBytes(std::uint8_t* buffer, std::size_t n) {
  const TTick deadline = LineClock.Now() + ReadTimeLimit(n);
  std::size_t got = 0;
  for (;;) {
    TakeArrived();
    while (got < n && !Input.empty()) {
      buffer[got++] = Input.front();
      Input.pop_front();
    }
    if (got == n || LineClock.Now() >= deadline) return got;
    TTick until = deadline;
    if (!OnTheWire.empty()) until = std::min(until, OnTheWire.front().Tick);
    LineClock.SleepUntil(until);
  }
}

std::size_t TSimulatedLine::WriteBytes(const std::uint8_t* bytes, std::size_t n) {
  TLineNs start = std::max(NowNs(), TransmitterFreeNs);
  for (std::size_t i = 0; i < n; ++i) {
    const TLineNs arrived = start + CharacterNs;
    for (const TLineRecord& answer : Kkm.Receive(bytes[i], Mark ? TParity::Mark : TParity::Space, arrived)) {
      OnTheWire.push_back({answer.Byte, LineTick(answer.ArrivedNs)});
    }
    start = arrived;
  }
  // The register sends one character after another, so the wire stays in order of time.
  TransmitterFreeNs = start;
  return n;
}

TPortOpener SimulatedPortOpener(TClock& clock, TSimulatedRegister& kkm) {
  return [&clock, &kkm](int portNumber) -> std::unique_ptr<TSerialPort> {
    if (portNumber < FirstPortNumber || portNumber > LastPortNumber) return nullptr;
    return std::make_unique<TSimulatedLine>(clock, kkm);
  };
}
