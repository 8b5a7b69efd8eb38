// Behind a USB adapter that passes answers on late, every command works as it does
// on a plain serial port, with the same bytes on the line; so it does behind a device
// that does not tell its latency.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "register/TransferCommands.h"
#include "register/TransferFixture.h"
#include "sim/RegisterContents.h"

namespace {

// One register of that version behind an adapter of that latency, with the window
// recorded.
struct TRig : TSimulatedKkm {
  TRig(std::int32_t version, std::uint64_t latencyMs, bool told = true) : TSimulatedKkm(version, latencyMs, told) {
    Map = FindFirmware(version)->Map;
    ProgramSettings(Kkm, InUseSettings());
    View.Answers().push_back(TAnswer::Yes);
  }

  TRamMap Map;
  TRecordingWindowView View;
  TRecordingRuleView Rules;
  TRecordingBackup Backup;
};

class LatencyTransfer : public ::testing::TestWithParam<std::tuple<std::int32_t, std::uint64_t, bool>> {};

TEST_P(LatencyTransfer, AFullReadAndAFullWriteSendWhatTheySendWithoutLatency) {
  const auto [version, latency, told] = GetParam();
  TRig plain(version, 0);
  TRig late(version, latency, told);

  TKkmSettings readPlain;
  TKkmSettings readLate;
  ASSERT_TRUE(ReadSettingsFromKkm(plain.Link, ConnectionOf(plain.Link), readPlain, plain.View, TTransferWay::Bytewise));
  ASSERT_TRUE(ReadSettingsFromKkm(late.Link, ConnectionOf(late.Link), readLate, late.View, TTransferWay::Bytewise))
      << late.View.Status;
  EXPECT_TRUE(readLate == readPlain);
  EXPECT_EQ(late.Sent(), plain.Sent());
  EXPECT_EQ(late.Answered(), plain.Answered());

  TKkmSettings writePlain = FullSettings();
  TKkmSettings writeLate = FullSettings();
  ASSERT_TRUE(WriteSettingsToKkm(plain.Link, ConnectionOf(plain.Link), writePlain, plain.View, plain.Rules,
                                 plain.Backup, TTransferWay::Bytewise));
  ASSERT_TRUE(WriteSettingsToKkm(late.Link, ConnectionOf(late.Link), writeLate, late.View, late.Rules, late.Backup,
                                 TTransferWay::Bytewise))
      << late.View.Status;
  EXPECT_EQ(late.Sent(), plain.Sent());
  EXPECT_TRUE(late.Kkm.Memory() == plain.Kkm.Memory());
}

INSTANTIATE_TEST_SUITE_P(EveryLayoutAndAdapter, LatencyTransfer,
                         ::testing::Combine(::testing::Values(103, 104, 105), ::testing::Values(1u, 4u, 16u),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return "version" + std::to_string(std::get<0>(info.param)) + "_latency" +
                                  std::to_string(std::get<1>(info.param)) + (std::get<2>(info.param) ? "" : "_untold");
                         });

}  // namespace
