#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <optional>
#include <thread>

#include "link/LinkTimes.h"

// When the bytes written so far can have left the wire at the earliest: the line
// carries one character after another from the moment they were handed over. A
// system that is done with the bytes before that (a UART's buffer, an adapter's own)
// leaves the rest of that time to be counted into the next answer window.
class TTransmitterTime {
 public:
  using TClock = std::chrono::steady_clock;

  // n bytes were handed over at start (taken before the write call, so that a write
  // that blocks while they are sent is not counted twice).
  void Written(std::size_t n, TClock::time_point start) {
    Free = std::max(start, Free) + std::chrono::nanoseconds(CharacterNs * n);
  }

  // Rounded up.
  TTick LeftMs() const {
    const auto left = Free - TClock::now();
    if (left <= left.zero()) return 0;
    return static_cast<TTick>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
  }

 private:
  TClock::time_point Free{};
};

// Waits until the driver's output queue is empty, sleeping for the line time of what
// it still holds, for at most timeoutMs. queued() gives the bytes in the queue, or
// nothing when the driver cannot be asked; both that and a queue that does not
// empty in time give false.
template <typename TQueued>
bool AwaitEmptyOutputQueue(TTick timeoutMs, TQueued queued) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const std::optional<std::size_t> left = queued();
    if (!left) return false;
    if (*left == 0) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_until(std::min(now + std::chrono::nanoseconds(CharacterNs * *left), deadline));
  }
}
