#include <gtest/gtest.h>

#include <vector>

#include "link/KkmFrames.h"
#include "sim/AdapterBuffer.h"
#include "support/SimulatedKkm.h"

namespace {

constexpr TLineNs Ms = 1'000'000;

TEST(AdapterBuffer, PassesBytesOnInBurstsWhenItsTimerRunsOutOrItsBufferFills) {
  // Without latency every byte goes on as it comes.
  EXPECT_EQ(DeliveryTimes({1 * Ms, 3 * Ms}, 0), (std::vector<TLineNs>{1 * Ms, 3 * Ms}));
  // The first byte into the empty buffer starts the timer; what comes before it runs
  // out goes with it, what comes after starts the next burst.
  EXPECT_EQ(DeliveryTimes({1 * Ms, 5 * Ms, 16 * Ms, 17 * Ms, 40 * Ms}, 16),
            (std::vector<TLineNs>{17 * Ms, 17 * Ms, 17 * Ms, 33 * Ms, 56 * Ms}));
  // A full buffer of 62 bytes goes at once, with the byte that filled it, before a
  // long timer runs out.
  std::vector<TLineNs> stream;
  for (int i = 1; i <= 63; ++i) stream.push_back(i * CharacterNs);
  const auto delivered = DeliveryTimes(stream, 100);
  ASSERT_EQ(delivered.size(), 63u);
  EXPECT_EQ(delivered[0], 62 * CharacterNs);
  EXPECT_EQ(delivered[61], 62 * CharacterNs);
  EXPECT_EQ(delivered[62], 63 * CharacterNs + 100 * Ms);
}

// Behind a 16 ms adapter the PC sees the echo of an address 16 ms after it reached
// the adapter; a byte that the adapter holds survives a purge of the driver's queue.
TEST(AdapterBuffer, TheSimulatedLineHoldsAnswersForItsLatency) {
  TSimulatedKkm run(104, 16);
  const std::uint8_t address = run.Kkm.Address();
  run.Link.SetParity(true);
  ASSERT_TRUE(run.Link.Send(&address, 1));
  const TLineNs echoArrives = run.Records(TDirection::FromRegister).front().ArrivedNs;
  run.Clock.AdvanceTo(LineTick(echoArrives) + 5);  // in the adapter, not yet passed on
  run.Link.Purge();
  EXPECT_TRUE(run.Link.WaitForInput(1, 100));
  EXPECT_EQ(run.Clock.Now(), LineTick(echoArrives + 16 * Ms));
  std::uint8_t echo = 0;
  EXPECT_EQ(run.Link.ReadBytes(&echo, 1), 1u);
  EXPECT_EQ(echo, address);
}

}  // namespace
