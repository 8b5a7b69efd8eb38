#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link/KkmConnect.h"
#include "support/RecordingMessages.h"
#include "support/SimulatedKkm.h"

namespace {

// The connect sequence's surroundings: which maps exist is the test's to say.
class TRecordingConnectView : public TConnectView {
 public:
  TUserMessages& Messages() override { return Boxes; }
  bool SelectRamMap(std::int32_t version) override {
    Selected.push_back(version);
    HasMap = version >= 100 && version <= 105;
    return HasMap;
  }
  void ForgetRamMap() override { HasMap = false; }
  void CloseDialog() override { ++Closed; }

  TRecordingMessages Boxes;
  std::vector<std::int32_t> Selected;
  bool HasMap = false;
  int Closed = 0;
};

// A register on COM1 and COM3; COM2 and COM4 cannot be opened.
struct TConnectBench {
  explicit TConnectBench(int number, std::int32_t version = 104, std::uint64_t latencyMs = 0)
      : Kkm(number, version), Link(Clock, [this, latencyMs](int port) -> std::unique_ptr<TSerialPort> {
          if (port % 2 == 0) return nullptr;
          return SimulatedPortOpener(Clock, Kkm, latencyMs)(port);
        }) {}

  // The port open and the link pointed at the register, as after a probe.
  void Connect(std::int32_t knownVersion) {
    Link.OpenPort(1);
    Link.KkmAddress = Kkm.Address();
    Link.FirmwareVersion = knownVersion;
  }

  std::vector<TSimulatedKkm::TByte> Sent() const {
    std::vector<TSimulatedKkm::TByte> bytes;
    for (const auto& record : Kkm.Traffic()) {
      if (record.Direction == TDirection::ToRegister) bytes.emplace_back(record.Byte, record.Parity);
    }
    return bytes;
  }

  TVirtualClock Clock{0};
  TSimulatedRegister Kkm;
  TKkmLink Link;
};

std::vector<std::uint8_t> Candidates(int first, int last) {
  std::vector<std::uint8_t> bytes;
  for (int n = first; n <= last; ++n) bytes.push_back(static_cast<std::uint8_t>(0xFF - (16 * (n / 10) + n % 10)));
  return bytes;
}

TEST(ProbeAddress, FindsNumber00AtTheFirstCandidate) {
  TConnectBench bench(0);
  bench.Link.OpenPort(1);
  ASSERT_TRUE(ProbeAddress(bench.Link));
  EXPECT_EQ(bench.Link.KkmAddress, 0xFF);
  EXPECT_EQ(bench.Sent(), Mark({0xFF}));
}

TEST(ProbeAddress, FindsNumber99AfterNinetyNineSilentCandidates) {
  TConnectBench bench(99);
  bench.Link.OpenPort(1);
  const TTick start = bench.Clock.Now();
  ASSERT_TRUE(ProbeAddress(bench.Link));
  EXPECT_EQ(bench.Link.KkmAddress, 0x66);
  EXPECT_EQ(bench.Sent(), Mark(Candidates(0, 99)));
  // Each silent candidate waits a little more than 10 ms for its echo.
  const TTick elapsed = bench.Clock.Now() - start;
  EXPECT_GE(elapsed, 99u * 11u);
  EXPECT_LE(elapsed, 99u * 14u);
}

TEST(ProbeAddress, AWrongByteEndsTheProbeAtOnce) {
  TConnectBench bench(5);
  bench.Kkm.Inject({TFaultKind::WrongByte, TAnswerKind::Echo});
  bench.Link.OpenPort(1);
  bench.Link.KkmAddress = 0x12;
  EXPECT_FALSE(ProbeAddress(bench.Link));
  EXPECT_EQ(bench.Link.KkmAddress, 0x12);
  EXPECT_EQ(bench.Sent(), Mark(Candidates(0, 5)));
}

TEST(ProbeAddress, AnEchoLaterThan10MsIsNotFound) {
  TConnectBench bench(0);
  bench.Kkm.Inject({TFaultKind::Late, TAnswerKind::Echo, -1, 0, 15});
  bench.Link.OpenPort(1);
  EXPECT_FALSE(ProbeAddress(bench.Link));
  EXPECT_EQ(bench.Link.KkmAddress, 0);
}

// Without latency the 100 candidates once took 1.1 s; an adapter's latency may add no
// more than 2 s to that.
TEST(ProbeAddress, NoRegisterOnTheLineIsToldWithinItsBound) {
  for (const std::uint64_t latency : {0u, 16u}) {
    TConnectBench bench(42, 104, latency);
    bench.Kkm.SetSilent(true);
    bench.Link.OpenPort(1);
    EXPECT_FALSE(ProbeAddress(bench.Link));
    EXPECT_EQ(bench.Sent(), Mark(Candidates(0, 99)));
    EXPECT_EQ(bench.Link.LastFailure().Reason, TFailureReason::NoEcho);
    EXPECT_LE(bench.Clock.Now(), 1100u + 2000u) << latency << " ms latency";
  }
}

// Behind a USB adapter that passes answers on late, connecting finds the register
// with the same bytes on the line as without one.
TEST(ConnectKkm, BehindAnAdapterWithLatencyTheTrafficIsAsWithout) {
  for (const int number : {0, 37, 99}) {
    TConnectBench plain(number, 105);
    TRecordingConnectView plainView;
    ASSERT_TRUE(ConnectKkm(plain.Link, 1, plainView));
    for (const std::uint64_t latency : {1u, 4u, 16u}) {
      TConnectBench late(number, 105, latency);
      TRecordingConnectView view;
      EXPECT_TRUE(ConnectKkm(late.Link, 1, view)) << number << " behind " << latency << " ms";
      EXPECT_EQ(late.Link.KkmAddress, plain.Link.KkmAddress);
      EXPECT_EQ(late.Link.FirmwareVersion, 105);
      EXPECT_EQ(late.Sent(), plain.Sent()) << number << " behind " << latency << " ms";
    }
  }
}

TEST(VersionFromBytes, NibblesAreWrittenAsDecimalNumbers) {
  EXPECT_EQ(VersionFromBytes(0x01, 0x04), 104);
  EXPECT_EQ(VersionFromBytes(0x01, 0x05), 105);
  EXPECT_EQ(VersionFromBytes(0x00, 0x00), 0);
  EXPECT_EQ(VersionFromBytes(0x1A, 0x04), 11004);  // not 2004
  EXPECT_EQ(VersionFromBytes(0xFF, 0xFF), 15151515);
}

TEST(QueryVersion, AsksWithTheAddressThenTheQueryFrame) {
  TConnectBench bench(1, 105);
  bench.Connect(0);
  ASSERT_TRUE(QueryVersion(bench.Link));
  EXPECT_EQ(bench.Link.FirmwareVersion, 105);
  EXPECT_EQ(bench.Sent(), Mark({0xFE}) + Space({0x01, 0x14, 0xEA}));
}

TEST(QueryVersion, NoEchoOrNoAcknowledgementFails) {
  for (TAnswerKind spoiled : {TAnswerKind::Echo, TAnswerKind::Acknowledgement}) {
    TConnectBench bench(1);
    bench.Kkm.Inject({TFaultKind::WrongByte, spoiled});
    bench.Connect(77);
    EXPECT_FALSE(QueryVersion(bench.Link));
    EXPECT_EQ(bench.Link.FirmwareVersion, 77);
  }
}

TEST(QueryVersion, AnAcknowledgedQueryWithoutReplyGivesVersion0) {
  for (TFaultKind fault : {TFaultKind::Silence, TFaultKind::CorruptChecksum}) {
    TConnectBench bench(1);
    bench.Kkm.Inject({fault, TAnswerKind::Reply});
    bench.Connect(104);
    EXPECT_TRUE(QueryVersion(bench.Link));
    EXPECT_EQ(bench.Link.FirmwareVersion, 0);
  }
}

TEST(ConnectKkm, SuccessSelectsTheMapAndClosesTheDialog) {
  TConnectBench bench(0);
  TRecordingConnectView view;
  ASSERT_TRUE(ConnectKkm(bench.Link, 1, view));
  EXPECT_TRUE(view.Boxes.Shown.empty());
  EXPECT_EQ(view.Selected, std::vector<std::int32_t>{104});
  EXPECT_EQ(view.Closed, 1);
  EXPECT_EQ(bench.Link.KkmAddress, 0xFF);
  EXPECT_EQ(bench.Link.FirmwareVersion, 104);
  EXPECT_EQ(bench.Sent(), Mark({0xFF}) + Mark({0xFF}) + Space({0x01, 0x14, 0xEA}));
}

TEST(ConnectKkm, EachFailureHasItsMessageAndLeavesTheDialogOpen) {
  struct TCase {
    int Port;
    std::int32_t Version;
    bool Silent;
    TRecordingMessages::TShown Box;
  };
  const TCase cases[] = {
      {2, 104, false, {TMessageKind::Warning, "Выбранный COM-порт недоступен"}},
      {1, 104, true, {TMessageKind::Error, "Нет связи с ККМ"}},
      {1, 0, false, {TMessageKind::Warning, "В ККМ необходимо установить ПО версии не ниже 1.0.4"}},
      {1, 106, false, {TMessageKind::Warning, "Версия ПО ККМ не поддерживается: 106"}},
  };
  for (const auto& c : cases) {
    TConnectBench bench(3, c.Version);
    bench.Kkm.SetSilent(c.Silent);
    TRecordingConnectView view;
    EXPECT_FALSE(ConnectKkm(bench.Link, c.Port, view)) << c.Box.Text;
    EXPECT_EQ(view.Boxes.Shown, std::vector<TRecordingMessages::TShown>{c.Box});
    EXPECT_EQ(view.Closed, 0);
  }
}

// Mended: a failed attempt used to leave the earlier register's version and map with
// whatever address the new probe found.
TEST(ConnectKkm, AFailedAttemptForgetsTheRegisterConnectedBefore) {
  struct TCase {
    const char* Name;
    int Port;
    std::function<void(TSimulatedRegister&)> Spoil;
    std::uint8_t Address;  // what the link holds afterwards
  };
  const TCase cases[] = {
      {"port refused", 2, [](TSimulatedRegister&) {}, 0},
      {"silent line", 3, [](TSimulatedRegister& kkm) { kkm.SetSilent(true); }, 0},
      // The probe finds the register, but its version query is not acknowledged.
      {"query failed", 3,
       [](TSimulatedRegister& kkm) {
         kkm.Inject({.Kind = TFaultKind::Silence, .Answer = TAnswerKind::Acknowledgement, .Times = -1});
       },
       0xF8},
  };
  for (const TCase& c : cases) {
    TConnectBench bench(7, 105);
    TRecordingConnectView view;
    ASSERT_TRUE(ConnectKkm(bench.Link, 1, view));
    ASSERT_TRUE(view.HasMap);
    c.Spoil(bench.Kkm);
    EXPECT_FALSE(ConnectKkm(bench.Link, c.Port, view)) << c.Name;
    EXPECT_FALSE(view.HasMap) << c.Name;
    EXPECT_EQ(bench.Link.FirmwareVersion, 0) << c.Name;
    EXPECT_EQ(bench.Link.KkmAddress, c.Address) << c.Name;
  }
}

}  // namespace
