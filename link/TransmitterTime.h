#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>

#include "link/LinkTimes.h"

// When the bytes written so far can have left the PC at the earliest: a driver or
// adapter takes them at once, but the line carries one character after another from
// the moment they were written. A drain waits at least that long, so that an answer
// window never starts while the frame it answers is still on its way.
class TTransmitterTime {
 public:
  using TTimePoint = std::chrono::steady_clock::time_point;

  void Written(std::size_t n) {
    Free = std::max(std::chrono::steady_clock::now(), Free) + std::chrono::nanoseconds(CharacterNs * n);
  }

  TTimePoint FreeAt() const { return Free; }

 private:
  TTimePoint Free{};
};
