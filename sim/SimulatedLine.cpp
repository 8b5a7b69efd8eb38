#include "sim/SimulatedLine.h"

#include <algorithm>

TSimulatedLine::TSimulatedLine(TClock& clock, TSimulatedRegister& kkm, std::uint64_t latencyMs, bool latencyTold)
    : LineClock(clock), Kkm(kkm), LatencyTold(latencyTold) {
  Adapter.SetLatencyMs(latencyMs);
}

void TSimulatedLine::TakeArrived() {
  for (const std::uint8_t byte : Adapter.Take(NowNs())) Input.push_back(byte);
}

TTick TSimulatedLine::NextArrivalBy(TTick deadline) const {
  const TLineNs next = std::min(Adapter.NextDeliveryNs(), Kkm.UnpluggedNs());
  return next == TAdapterBuffer::Never ? deadline : std::min(deadline, LineTick(next));
}

std::size_t TSimulatedLine::InputQueued() {
  TakeArrived();
  return Input.size();
}

// The simulated line wakes exactly when a byte comes, so it needs no hint of how
// many are missing.
void TSimulatedLine::AwaitInput(TTick timeoutMs, std::size_t /*missing*/) {
  if (Removed()) return;
  const std::size_t queued = Input.size();
  TakeArrived();
  if (Input.size() > queued) return;
  LineClock.SleepUntil(NextArrivalBy(LineClock.Now() + timeoutMs));
}

bool TSimulatedLine::Drain(TTick timeoutMs) {
  const TTick deadline = LineClock.Now() + timeoutMs;
  const TTick left = LineTick(TransmitterFreeNs);
  LineClock.SleepUntil(std::min(deadline, left));
  return left <= deadline;
}

// Bytes still on the wire or in the adapter are not in any queue yet; they arrive
// after the purge.
void TSimulatedLine::Purge() {
  TakeArrived();
  Input.clear();
}

std::size_t TSimulatedLine::ReadBytes(std::uint8_t* buffer, std::size_t n) {
  if (Removed()) return 0;
  const TTick deadline = LineClock.Now() + ReadTimeLimit(n);
  std::size_t got = 0;
  for (;;) {
    TakeArrived();
    while (got < n && !Input.empty()) {
      buffer[got++] = Input.front();
      Input.pop_front();
    }
    if (got == n || LineClock.Now() >= deadline || Removed()) return got;
    LineClock.SleepUntil(NextArrivalBy(deadline));
  }
}

std::size_t TSimulatedLine::WriteBytes(const std::uint8_t* bytes, std::size_t n) {
  if (Removed()) return 0;
  TLineNs start = std::max(NowNs(), TransmitterFreeNs);
  for (std::size_t i = 0; i < n; ++i) {
    const TLineNs arrived = start + CharacterNs;
    for (const TLineRecord& answer : Kkm.Receive(bytes[i], Mark ? TParity::Mark : TParity::Space, arrived)) {
      Adapter.Arrive(answer.Byte, answer.ArrivedNs);
    }
    start = arrived;
  }
  // The register sends one character after another, so its answers reach the adapter
  // in order of time.
  TransmitterFreeNs = start;
  return n;
}

TPortOpener SimulatedPortOpener(TClock& clock, TSimulatedRegister& kkm, std::uint64_t latencyMs, bool latencyTold) {
  return [&clock, &kkm, latencyMs, latencyTold](const std::string&) -> TOpenedPort {
    // A pulled adapter's device is gone.
    if (kkm.UnpluggedNs() != TSimulatedRegister::NeverUnplugged) return TOpenedPort::Failed(TPortFault::Absent);
    return TOpenedPort::Opened(std::make_unique<TSimulatedLine>(clock, kkm, latencyMs, latencyTold));
  };
}
