// A write broken off half way and repeated on the register as it comes back.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "register/KkmSession.h"
#include "register/TransferFixture.h"
#include "sim/RegisterContents.h"

namespace {

struct TBoxes final : TConnectView {
  TUserMessages& Messages() override { return Told; }
  TRecordingMessages Told;
};

// A register on COM7 that may be pulled out at an acknowledgement and then comes back
// on COM8, or another register (number 05) that comes there instead. The session and
// the search share the virtual clock: while the search looks, the session's thread
// only waits.
struct TRetryBench : TSimulatedKkm, TRegisterWait {
  explicit TRetryBench(bool sameRegister = true, TTransferWay way = TTransferWay::Fast) : Same(sameRegister) {
    ProgramSettings(Kkm, InUseSettings());
    Kkm.SetPurchaseCounter(0);
    Session.SetTransferWay(way);
    Session.SetSearchLinks([this](const std::string&) { return std::make_unique<TKkmLink>(Clock, Opener()); });
    Session.SetRegisterWait(this);
    TBoxes boxes;
    EXPECT_TRUE(Session.Connect("COM7", boxes));
  }

  TPortOpener Opener() {
    return [this](const std::string& device) {
      if (device != Where) return TOpenedPort::Failed(TPortFault::Absent);
      return SimulatedPortOpener(Clock, Where == "COM7" || Same ? Kkm : Other)(device);
    };
  }

  // Writes the full settings, answering the question yes and each broken write's box
  // with `retry`.
  bool Write(TAnswer retry) {
    View.Answers() = {TAnswer::Yes, retry, retry};
    Settings = FullSettings();
    return Session.Write(Settings, View, Rules, Backup);
  }

  // TRegisterWait: the adapter is plugged in again on COM8 as the wait begins.
  void Begin(const std::string& text) override {
    Waited.push_back(text);
    Kkm.PlugIn();
    Kkm.ClearTraffic();
    Where = "COM8";
    if (PullAgainAt < 0) return;
    Kkm.Inject({.Kind = TFaultKind::Unplugged, .Answer = TAnswerKind::Acknowledgement, .Skip = PullAgainAt});
    PullAgainAt = -1;
  }
  std::vector<std::string> Devices() override { return {"COM7", "COM8"}; }
  bool Cancelled() override { return ++Looks > 5000; }
  void End() override {}

  TSimulatedRegister Other{5, 104};
  bool Same;
  std::string Where = "COM7";
  TKkmSession Session{Clock, Opener()};
  TKkmSettings Settings;
  TRecordingWindowView View;
  TRecordingRuleView Rules;
  TRecordingBackup Backup;
  std::vector<std::string> Waited;
  int Looks = 0;
  int PullAgainAt = -1;  // the repeat's acknowledgement at which the adapter is pulled again
};

// The register's memory without the display's lines, which a broken write leaves as
// they were when it broke.
std::vector<std::uint8_t> SettingsMemory(const TSimulatedRegister& kkm) {
  std::vector<std::uint8_t> memory(kkm.Memory().begin(), kkm.Memory().end());
  std::fill(memory.begin() + 0x1A88, memory.begin() + 0x1B6B, 0);
  return memory;
}

// The acknowledgements the register gave before the first exchange that `stops` says of.
template <typename TStops>
int ExchangesBefore(const TSimulatedKkm& run, TStops stops) {
  const std::vector<TExchange> exchanges = ExchangesOf(run);
  return static_cast<int>(std::find_if(exchanges.begin(), exchanges.end(), stops) - exchanges.begin());
}

// The version queries the register was asked: frames too short for a memory exchange.
int VersionQueries(const TSimulatedKkm& run) {
  const auto sent = run.Sent();
  int queries = 0;
  for (std::size_t i = 0; i + 1 < sent.size(); ++i) {
    if (sent[i].second != TParity::Mark || sent[i + 1].second != TParity::Space) continue;
    std::size_t length = 0;
    while (i + 1 + length < sent.size() && sent[i + 1 + length].second == TParity::Space) ++length;
    queries += length < 6 ? 1 : 0;
  }
  return queries;
}

// Pulled out again at each read of the repeat that `repeated` made before it wrote: the
// register still holds the first attempt's part, so the box is the broken write's again,
// and the repeat after it finishes the write.
void ExpectEveryEarlyBreakOfTheRepeatToBeABrokenWrite(const TRetryBench& repeated, const TRegisterFault& firstPull,
                                                      TTransferWay way, const TRetryBench& clean) {
  // The repeat's traffic: the connection's version queries, which the exchanges leave
  // out, its reads, then its writes.
  const int queries = VersionQueries(repeated);
  const int reads = ExchangesBefore(repeated, [](const TExchange& e) { return e.Command == WriteCommand; });
  ASSERT_GT(reads, 2);
  for (int at = queries; at < queries + reads; ++at) {
    TRetryBench bench(true, way);
    bench.Kkm.Inject(firstPull);
    bench.PullAgainAt = at;
    EXPECT_TRUE(bench.Write(TAnswer::Retry)) << at;
    ASSERT_EQ(bench.View.Shown().size(), 3u) << at;
    EXPECT_EQ(bench.View.Shown()[2].Kind, TMessageKind::BrokenWrite) << at;
    EXPECT_EQ(bench.Backup.Saved.size(), 1u) << at;
    EXPECT_EQ(SettingsMemory(bench.Kkm), SettingsMemory(clean.Kkm)) << at;
  }
}

// Pulled out at the second block write, the register comes back under another name:
// the repeat finds it there and leaves it as a clean write does (bytewise, with the
// writes the described write sends), and the backup of the first attempt is the only
// one; so does one pulled out again before the repeat writes. Another register found
// there is named with both numbers and is not written.
TEST(KkmSession, ABrokenWriteIsRepeatedOnTheSameRegisterOnly) {
  for (const TTransferWay way : {TTransferWay::Bytewise, TTransferWay::Fast}) {
    TRetryBench clean(true, way);
    ASSERT_TRUE(clean.Write(TAnswer::Ok));
    int blocks = 0;
    const TRegisterFault pull{
        .Kind = TFaultKind::Unplugged,
        .Answer = TAnswerKind::Acknowledgement,
        .Skip = ExchangesBefore(clean, [&](const TExchange& e) { return e.Command == BlockCommand && ++blocks == 2; })};

    for (const bool same : {true, false}) {
      TRetryBench bench(same, way);
      TKkmSettings held = FullSettings();  // as the write's pre-read brings the register's into the document
      ASSERT_TRUE(TRetryBench().Session.Read(held, bench.View));
      bench.View.Calls.clear();
      const auto other = bench.Other.Memory();
      bench.Kkm.Inject(pull);
      EXPECT_EQ(bench.Write(TAnswer::Retry), same) << same;
      ASSERT_GE(bench.View.Shown().size(), 2u) << same;
      EXPECT_EQ(bench.View.Shown()[1].Kind, TMessageKind::BrokenWrite) << same;
      EXPECT_EQ(bench.Waited, std::vector<std::string>{"Ожидание ККМ № 01…"}) << same;
      ASSERT_EQ(bench.Backup.Saved.size(), 1u) << same;
      EXPECT_EQ(bench.Backup.Saved[0].Settings, held) << same;
      if (same) {
        EXPECT_EQ(bench.Session.State(), TSessionState::Connected);
        EXPECT_EQ(bench.Session.Connection().Device, "COM8");
        if (way == TTransferWay::Bytewise) {
          EXPECT_EQ(SettingsWrites(bench), SettingsWrites(clean));
        }
        EXPECT_EQ(SettingsMemory(bench.Kkm), SettingsMemory(clean.Kkm));
        EXPECT_EQ(bench.View.Status, "Запись OK!");
        ExpectEveryEarlyBreakOfTheRepeatToBeABrokenWrite(bench, pull, way, clean);
      } else {
        EXPECT_NE(bench.Session.State(), TSessionState::Connected);
        EXPECT_EQ(bench.View.Shown().back().Text,
                  "На порту COM8 найдена ККМ № 05, а запись прервана в ККМ № 01. Запись не повторена.");
        EXPECT_TRUE(bench.Other.Memory() == other);
      }
    }
  }
}

}  // namespace
