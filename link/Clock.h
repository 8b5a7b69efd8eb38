#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>

// Milliseconds on a clock that only moves forward. Differences are taken unsigned,
// so a clock that starts near the top of the range and wraps still measures right.
using TTick = std::uint64_t;

// The time source of the link: a millisecond tick and a way to wait for a tick.
class TClock {
 public:
  virtual ~TClock() = default;

  virtual TTick Now() = 0;
  // The same time to the microsecond where the clock has it, for the line trace.
  virtual std::uint64_t NowUs() { return Now() * 1000; }

  // Returns once Now() has reached deadline; at once when it already has.
  virtual void SleepUntil(TTick deadline) = 0;
};

// Real time, from the monotonic clock of the system.
class TSteadyClock final : public TClock {
 public:
  TTick Now() override;
  std::uint64_t NowUs() override;
  void SleepUntil(TTick deadline) override;
};

// The one steady clock of the program.
TClock& SteadyClock();

// Time that moves only when told to, so that waits of seconds cost nothing and every
// timing rule can be checked to the millisecond. Events scheduled on it stand for
// whatever happens on a simulated line (a byte arriving, a register answering); they
// run, in order of time, when the clock passes their tick.
class TVirtualClock final : public TClock {
 public:
  explicit TVirtualClock(TTick start = 0);

  TTick Now() override;
  void SleepUntil(TTick deadline) override { AdvanceTo(deadline); }

  void Advance(TTick ms) { AdvanceTo(Now() + ms); }

  // Runs every event due up to deadline, then stands at deadline.
  void AdvanceTo(TTick deadline);

  // Moves to the first event due by deadline and runs it, together with every other
  // event of the same tick; without one, moves to deadline. Returns whether an event
  // ran. This is how a simulated port wakes a wait as soon as something happens.
  bool AdvanceToNextEvent(TTick deadline);

  // An event for a tick already past runs at the next advance, at the current tick.
  void At(TTick when, std::function<void()> event);

  std::size_t PendingEvents() const { return Events.size(); }

 private:
  // Ticks are kept as the time since the start, so that the order of events does
  // not break when the tick wraps.
  TTick SinceStart(TTick tick) const { return tick - Start; }
  bool RunFirstEventDueBy(TTick sinceStart);

  TTick Start;
  TTick Elapsed = 0;
  std::multimap<TTick, std::function<void()>> Events;
};
