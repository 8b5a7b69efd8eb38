#include "link/TKkmLink.h"

#include <utility>

TKkmLink::TKkmLink(TClock& clock, TPortOpener opener) : LinkClock(clock), Opener(std::move(opener)) {}

bool TKkmLink::OpenPort(int portNumber) {
  Port.reset();
  Port = Opener(portNumber);
  return Port != nullptr;
}

void TKkmLink::ClosePort() { Port.reset(); }

void TKkmLink::SetParity(bool mark) {
  if (Port) Port->SetParity(mark);
}

std::size_t TKkmLink::InputQueued() { return Port ? Port->InputQueued() : 0; }

bool TKkmLink::WaitForInput(std::size_t count, TTick timeoutMs) {
  const TTick start = LinkClock.Now();
  for (;;) {
    const TTick elapsed = LinkClock.Now() - start;
    if (elapsed > timeoutMs) return false;
    if (InputQueued() >= count) return true;
    const TTick remaining = timeoutMs - elapsed + 1;
    if (Port) {
      Port->AwaitInput(remaining);
    } else {
      LinkClock.SleepUntil(start + timeoutMs + 1);
    }
  }
}

void TKkmLink::WaitMoreThan(TTick ms) {
  const TTick start = LinkClock.Now();
  while (LinkClock.Now() - start <= ms) LinkClock.SleepUntil(start + ms + 1);
}

void TKkmLink::Delay(TTick ms) { WaitMoreThan(ms + 1); }

void TKkmLink::Pause(TTick ms) { WaitMoreThan(ms); }

void TKkmLink::Purge() {
  if (Port) Port->Purge();
}

void TKkmLink::FullPurge() {
  if (Port) Port->FullPurge();
}

std::size_t TKkmLink::ReadBytes(std::uint8_t* buffer, std::size_t n) { return Port ? Port->ReadBytes(buffer, n) : 0; }

std::size_t TKkmLink::WriteBytes(const std::uint8_t* bytes, std::size_t n) {
  return Port ? Port->WriteBytes(bytes, n) : 0;
}
