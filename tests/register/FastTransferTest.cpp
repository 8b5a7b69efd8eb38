// The fast read and write against the bytewise ones, on every firmware layout: the same
// document, the same status texts in order, the same register memory after a write;
// and all of it again from a register that takes its settings' memory a byte at a time.
// A register's tax that is off keeps its last rate's digits, which the write clears.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "register/TransferCommands.h"
#include "register/TransferFixture.h"
#include "sim/RegisterContents.h"

namespace {

// A register of that firmware holding `held`, that answers the write's question yes;
// one that takes the settings a byte at a time refuses longer reads of its tables and
// names, and acknowledges longer writes there without storing them.
struct TRig : TSimulatedKkm {
  TRig(const TFirmware& firmware, const TKkmSettings& held, TTransferWay way, bool byteAtATime)
      : TSimulatedKkm(firmware.Version), Way(way) {
    ProgramSettings(Kkm, held);
    // A tax that is off keeps the digits of its last rate, which no field shows.
    if (!held.Tax(3).Enabled) std::fill_n(Kkm.Memory().begin() + TaxRateAddress(firmware.Map, 3), RateBytes, '1');
    Kkm.SetPurchaseCounter(0);
    View.Answers().push_back(TAnswer::Yes);
    if (!byteAtATime) return;
    const TRamMap& map = firmware.Map;
    const auto taxes = static_cast<std::size_t>(LayoutTaxCount(map));
    for (const auto& [first, count] : {std::pair{map.SurchargeTable, SettingsImageSize(static_cast<int>(taxes))},
                                       std::pair{TaxNameAddress(map, 1), std::size_t{TaxNameRecord::Size} * taxes}}) {
      Kkm.RefuseLongReads(first, count);
      Kkm.IgnoreLongWrites(first, count);
    }
  }

  bool Read(TKkmSettings& settings) { return ReadSettingsFromKkm(Link, ConnectionOf(Link), settings, View, Way); }
  bool Write(TKkmSettings settings) {
    return WriteSettingsToKkm(Link, ConnectionOf(Link), settings, View, Rules, Backup, Way);
  }
  std::vector<std::string> Statuses() const {
    std::vector<std::string> statuses;
    for (const std::string& call : View.Calls) {
      if (call.starts_with("status ")) statuses.push_back(call);
    }
    return statuses;
  }

  TTransferWay Way;
  TRecordingWindowView View;
  TRecordingRuleView Rules;
  TRecordingBackup Backup;
};

TEST(FastTransfer, TheSameDocumentAndMemoryAsBytewiseOnEveryLayout) {
  const std::vector<std::pair<TKkmSettings, TKkmSettings>> contents = {
      {InUseSettings(), FullSettings()}, {FullSettings(), InUseSettings()}, {InUseSettings(), InUseSettings()}};
  for (const TFirmware& firmware : KnownFirmware()) {
    for (const auto& [held, written] : contents) {
      for (const bool byteAtATime : {false, true}) {
        SCOPED_TRACE(std::to_string(firmware.Version) + (byteAtATime ? " byte at a time" : ""));
        TRig bytewise(firmware, held, TTransferWay::Bytewise, false);
        TRig fast(firmware, held, TTransferWay::Fast, byteAtATime);
        TKkmSettings described;
        TKkmSettings read;
        ASSERT_TRUE(bytewise.Read(described));
        ASSERT_TRUE(fast.Read(read)) << fast.View.Status;
        EXPECT_EQ(read, described);
        EXPECT_EQ(fast.Statuses(), bytewise.Statuses());
        // Three display exchanges of six memory exchanges, and the tables in 13 to 21 frames.
        if (!byteAtATime) {
          EXPECT_LE(ExchangesOf(fast).size(), 3 * 6 + 21u);
        }

        TRig writtenBytewise(firmware, held, TTransferWay::Bytewise, false);
        TRig writtenFast(firmware, held, TTransferWay::Fast, byteAtATime);
        ASSERT_TRUE(writtenBytewise.Write(written));
        ASSERT_TRUE(writtenFast.Write(written)) << writtenFast.View.Status;
        EXPECT_EQ(writtenFast.View.Status, "Запись OK!");
        EXPECT_TRUE(writtenFast.Kkm.Memory() == writtenBytewise.Kkm.Memory());
        // Only a register that did not store the frames gets the tables again, a byte at a time.
        const std::vector<std::string> statuses = writtenFast.Statuses();
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "status Запись налогов. Налог - 1"),
                  byteAtATime ? 2 : 1);
      }
    }
  }
}

}  // namespace
