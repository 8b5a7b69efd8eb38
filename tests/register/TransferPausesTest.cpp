// The pauses the read and the write make, each by its value and its place: the quiet
// time on the line before an exchange, from the last byte of the one before.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "register/TransferCommands.h"
#include "register/TransferFixture.h"
#include "sim/RegisterContents.h"

namespace {

struct TPause {
  TTick Ms;
  std::uint8_t Command;   // of the exchange that follows it
  std::uint16_t Address;  // likewise
  bool operator==(const TPause&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TPause& p) {
  return out << p.Ms << " ms before cmd " << int{p.Command} << " at 0x" << std::hex << p.Address << std::dec;
}

// Every quiet time longer than 20 ms between two exchanges, rounded down to the
// millisecond, with the exchange it comes before. A pause of ms waits more than ms,
// a Delay of ms more than ms + 1, on a clock of whole milliseconds: up to 3 ms more.
std::vector<TPause> Pauses(const TSimulatedKkm& run) {
  std::vector<TPause> pauses;
  const auto& traffic = run.Kkm.Traffic();
  const std::vector<TExchange> exchanges = ExchangesOf(run);
  std::size_t exchange = 0;
  TLineNs lastEnd = 0;
  for (std::size_t i = 0; i < traffic.size(); ++i) {
    const TLineRecord& record = traffic[i];
    if (record.Direction == TDirection::ToRegister && record.Parity == TParity::Mark) {
      const TTick quietMs = (record.SentNs - lastEnd) / 1'000'000;
      if (lastEnd != 0 && quietMs > 20 && exchange < exchanges.size()) {
        pauses.push_back({quietMs, exchanges[exchange].Command, exchanges[exchange].Address});
      }
      ++exchange;
    }
    lastEnd = std::max(lastEnd, record.ArrivedNs);
  }
  return pauses;
}

// The measured pauses with each rounded to the value asked for, when it lies within
// the 3 ms that waiting on a millisecond clock may add.
std::vector<TPause> Asked(std::vector<TPause> pauses, const std::vector<TTick>& values) {
  for (TPause& pause : pauses) {
    for (const TTick value : values) {
      if (pause.Ms >= value && pause.Ms <= value + 3) pause.Ms = value;
    }
  }
  return pauses;
}

class TransferPauses : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(TransferPauses, ComeAtTheirPlacesWithTheirValues) {
  const std::int32_t version = GetParam();
  TSimulatedKkm run(version);
  TRamMap map;
  map = FindFirmware(version)->Map;
  ProgramSettings(run.Kkm, InUseSettings());
  TRecordingWindowView view;
  TRecordingRuleView rules;
  TRecordingBackup backup;
  TKkmSettings settings;
  // The read waits 150 ms before its first display exchange (the first exchange of
  // all, so not measured here), 50 ms before "Чтение OK!" and 600 ms before the
  // display is restored.
  ASSERT_TRUE(ReadSettingsFromKkm(run.Link, ConnectionOf(run.Link), settings, view, TTransferWay::Bytewise));
  const std::vector<TPause> read = {{50, ReadCommand, 0x1A88}, {600, ReadCommand, 0x1A88}};
  EXPECT_EQ(Asked(Pauses(run), {50, 150, 200, 600}), read);
  EXPECT_GE(run.Records(TDirection::ToRegister).front().SentNs, 151'000'000u);

  run.Kkm.ClearTraffic();
  view.Answers().push_back(TAnswer::Yes);
  settings = FullSettings();
  ASSERT_TRUE(
      WriteSettingsToKkm(run.Link, ConnectionOf(run.Link), settings, view, rules, backup, TTransferWay::Bytewise));
  const bool fourTaxes = LayoutTaxCount(map) == 4;
  std::vector<TPause> write = {{150, ReadCommand, 0x1A88},  // after the purchase counter
                               {150, ReadCommand, 0x1A88},  // before the groups
                               {50, WriteCommand, map.SettingsChecksum},
                               {50, WriteCommand, map.SettingsChecksumCopy},
                               {200, BlockCommand, 0x047C},
                               {200, BlockCommand, 0x04BC}};
  if (fourTaxes) write.push_back({200, BlockCommand, 0x04FC});
  write.push_back({600, ReadCommand, 0x1A88});  // "Запись OK!" shown, then the display restored
  EXPECT_EQ(Asked(Pauses(run), {50, 150, 200, 600}), write);
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, TransferPauses, ::testing::Values(103, 104, 105));

}  // namespace
