#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "link/Clock.h"

namespace {

TEST(VirtualClock, RunsEventsInOrderOfTimeAndStandsAtTheDeadline) {
  TVirtualClock clock(1000);
  std::vector<TTick> seen;
  clock.At(1030, [&] { seen.push_back(clock.Now()); });
  clock.At(1010, [&] { seen.push_back(clock.Now()); });
  clock.At(1010, [&] { seen.push_back(clock.Now() + 1); });  // same tick: in the order scheduled
  clock.At(1100, [&] { seen.push_back(clock.Now()); });
  clock.AdvanceTo(1050);
  EXPECT_EQ(seen, (std::vector<TTick>{1010, 1011, 1030}));
  EXPECT_EQ(clock.Now(), 1050u);
  EXPECT_EQ(clock.PendingEvents(), 1u);
}

TEST(VirtualClock, StopsAtTheNextEventOrElseAtTheDeadline) {
  TVirtualClock clock;
  int ran = 0;
  clock.At(40, [&] { ++ran; });
  clock.At(40, [&] { ++ran; });
  clock.At(70, [&] { ++ran; });
  EXPECT_TRUE(clock.AdvanceToNextEvent(100));
  EXPECT_EQ(clock.Now(), 40u);
  EXPECT_EQ(ran, 2);
  EXPECT_FALSE(clock.AdvanceToNextEvent(60));
  EXPECT_EQ(clock.Now(), 60u);
  EXPECT_TRUE(clock.AdvanceToNextEvent(70));  // an event at the deadline itself counts
  EXPECT_EQ(ran, 3);
}

TEST(VirtualClock, EventsMayScheduleEventsAndThePastRunsNow) {
  TVirtualClock clock;
  std::vector<TTick> seen;
  clock.At(10, [&] {
    clock.At(15, [&] { seen.push_back(clock.Now()); });
    clock.At(5, [&] { seen.push_back(clock.Now()); });  // already past: at once
  });
  clock.SleepUntil(20);
  EXPECT_EQ(seen, (std::vector<TTick>{10, 15}));
  clock.Advance(5);
  EXPECT_EQ(clock.Now(), 25u);
  clock.AdvanceTo(3);  // time never goes back
  EXPECT_EQ(clock.Now(), 25u);
}

TEST(VirtualClock, KeepsTheOrderOfEventsAcrossAWrapOfTheTick) {
  constexpr TTick nearTop = std::numeric_limits<TTick>::max() - 5;
  TVirtualClock clock(nearTop);
  std::vector<int> order;
  clock.At(nearTop + 10, [&] { order.push_back(2); });  // wraps to 4
  clock.At(nearTop + 3, [&] { order.push_back(1); });
  clock.AdvanceTo(nearTop + 20);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(clock.Now(), 14u);
}

TEST(SteadyClock, SleepsUntilTheTick) {
  TClock& clock = SteadyClock();
  const TTick start = clock.Now();
  clock.SleepUntil(start + 20);
  EXPECT_GE(clock.Now() - start, 20u);
}

}  // namespace
