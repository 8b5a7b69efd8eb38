// Behind a USB adapter that passes answers on late, every command works as it does
// on a plain serial port, with the same bytes on the line.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "register/TransferCommands.h"
#include "register/TransferFixture.h"
#include "sim/RegisterContents.h"

namespace {

// Every field filled, all four taxes on.
TKkmSettings FullDocument() {
  TKkmSettings settings;
  settings.Tax(1) = {true, "18,00", "НДС", "И"};
  settings.Tax(2) = {true, "10,00", "Налог с продаж", "Н"};
  settings.Tax(3) = {true, "05,50", "Сбор 3", "И"};
  settings.Tax(4) = {true, "01,25", "Сбор 4", "Н"};
  for (int n = 1; n <= RateCount; ++n) {
    settings.Discount(n) = "0" + std::to_string(n) + ",00";
    settings.Surcharge(n) = std::to_string(n) + "2,50";
  }
  for (int g = 1; g <= GroupCount; ++g) {
    const int rate = g % 9;
    settings.Group(g) = {g % 4 == 0 ? "" : std::to_string(g % 4), g % 2 && rate ? std::to_string(rate) : "",
                         g % 2 == 0 && rate ? std::to_string(rate) : ""};
  }
  return settings;
}

// One register of that version behind an adapter of that latency, with the window
// recorded.
struct TRig : TSimulatedKkm {
  TRig(std::int32_t version, std::uint64_t latencyMs) : TSimulatedKkm(version, latencyMs) {
    Map.SelectRamMap(static_cast<std::uint8_t>(version));
    ProgramSettings(Kkm, InUseSettings());
    View.Answers().push_back(TAnswer::Yes);
  }

  TRamMap Map;
  TRecordingWindowView View;
  TRecordingRuleView Rules;
};

class LatencyTransfer : public ::testing::TestWithParam<std::tuple<std::int32_t, std::uint64_t>> {};

TEST_P(LatencyTransfer, AFullReadAndAFullWriteSendWhatTheySendWithoutLatency) {
  const auto [version, latency] = GetParam();
  TRig plain(version, 0);
  TRig late(version, latency);

  TKkmSettings readPlain;
  TKkmSettings readLate;
  ASSERT_TRUE(ReadSettingsFromKkm(plain.Link, plain.Map, readPlain, plain.View));
  ASSERT_TRUE(ReadSettingsFromKkm(late.Link, late.Map, readLate, late.View)) << late.View.Status;
  EXPECT_TRUE(readLate == readPlain);
  EXPECT_EQ(late.Sent(), plain.Sent());
  EXPECT_EQ(late.Answered(), plain.Answered());

  TKkmSettings writePlain = FullDocument();
  TKkmSettings writeLate = FullDocument();
  ASSERT_TRUE(WriteSettingsToKkm(plain.Link, plain.Map, writePlain, plain.View, plain.Rules));
  ASSERT_TRUE(WriteSettingsToKkm(late.Link, late.Map, writeLate, late.View, late.Rules)) << late.View.Status;
  EXPECT_EQ(late.Sent(), plain.Sent());
  EXPECT_TRUE(late.Kkm.Memory() == plain.Kkm.Memory());
}

INSTANTIATE_TEST_SUITE_P(EveryLayoutAndAdapter, LatencyTransfer,
                         ::testing::Combine(::testing::Values(103, 104, 105), ::testing::Values(1u, 4u, 16u)),
                         [](const auto& info) {
                           return "version" + std::to_string(std::get<0>(info.param)) + "_latency" +
                                  std::to_string(std::get<1>(info.param));
                         });

}  // namespace
