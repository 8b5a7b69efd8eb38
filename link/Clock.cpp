#include "link/Clock.h"

#include <chrono>
#include <thread>
#include <utility>

namespace {

using TSteadyMs = std::chrono::duration<TTick, std::milli>;

}  // namespace

TTick TSteadyClock::Now() {
  return std::chrono::duration_cast<TSteadyMs>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::uint64_t TSteadyClock::NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void TSteadyClock::SleepUntil(TTick deadline) {
  // The tick is the floor of the real time, so reaching the time point of the deadline
  // is reaching the tick. Some systems (Windows) wake a little before the time point
  // asked for; the sleep then goes on for the rest.
  while (Now() < deadline) std::this_thread::sleep_until(std::chrono::steady_clock::time_point(TSteadyMs(deadline)));
}

TClock& SteadyClock() {
  static TSteadyClock clock;
  return clock;
}

TVirtualClock::TVirtualClock(TTick start) : Start(start) {}

TTick TVirtualClock::Now() { return Start + Elapsed; }

bool TVirtualClock::RunFirstEventDueBy(TTick sinceStart) {
  if (Events.empty() || Events.begin()->first > sinceStart) return false;
  auto first = Events.begin();
  if (first->first > Elapsed) Elapsed = first->first;
  auto event = std::move(first->second);
  Events.erase(first);
  event();  // it may schedule further events
  return true;
}

void TVirtualClock::AdvanceTo(TTick deadline) {
  const TTick target = SinceStart(deadline);
  while (RunFirstEventDueBy(target)) {
  }
  if (target > Elapsed) Elapsed = target;
}

bool TVirtualClock::AdvanceToNextEvent(TTick deadline) {
  const TTick target = SinceStart(deadline);
  if (!RunFirstEventDueBy(target)) {
    if (target > Elapsed) Elapsed = target;
    return false;
  }
  while (RunFirstEventDueBy(Elapsed)) {
  }
  return true;
}

void TVirtualClock::At(TTick when, std::function<void()> event) {
  const TTick key = SinceStart(when) < Elapsed ? Elapsed : SinceStart(when);
  Events.emplace(key, std::move(event));
}
