#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link/KkmConnect.h"
#include "link/KkmFrames.h"
#include "support/ConnectBench.h"

namespace {

TEST(ProbeAddress, FindsNumber00AtTheFirstCandidate) {
  TConnectBench bench(0);
  bench.Link.OpenPort("COM1");
  ASSERT_TRUE(ProbeAddress(bench.Link));
  EXPECT_EQ(bench.Link.KkmAddress(), 0xFF);
  EXPECT_EQ(bench.Sent(), Mark({0xFF}));
}

TEST(ProbeAddress, FindsNumber99AfterNinetyNineSilentCandidates) {
  TConnectBench bench(99);
  bench.Link.OpenPort("COM1");
  const TTick start = bench.Clock.Now();
  ASSERT_TRUE(ProbeAddress(bench.Link));
  EXPECT_EQ(bench.Link.KkmAddress(), 0x66);
  EXPECT_EQ(bench.Sent(), Mark(Candidates(0, 99)));
  // Each silent candidate waits a little more than 10 ms for its echo.
  const TTick elapsed = bench.Clock.Now() - start;
  EXPECT_GE(elapsed, 99u * 11u);
  EXPECT_LE(elapsed, 99u * 14u);
}

TEST(ProbeAddress, AWrongByteEndsTheProbeAtOnce) {
  TConnectBench bench(10);
  bench.Kkm.Inject({TFaultKind::WrongByte, TAnswerKind::Echo});
  bench.Link.OpenPort("COM1");
  bench.Link.UseRegister(0x12, bench.Link.FirmwareVersion());
  EXPECT_FALSE(ProbeAddress(bench.Link));
  EXPECT_EQ(bench.Link.KkmAddress(), 0x12);
  EXPECT_EQ(bench.Sent(), Mark(Candidates(0, 10)));
}

// An echo that comes in the next candidate's window answers the candidate before;
// one later still is a wrong byte in the window after that.
TEST(ProbeAddress, ALateEchoCountsForTheCandidateBeforeOnly) {
  struct TCase {
    std::uint64_t LateMs;
    bool Found;
    std::vector<std::uint8_t> Sent;
  };
  const TCase cases[] = {{9, true, {0xFF}}, {15, true, {0xFF, 0xFE}}, {30, false, {0xFF, 0xFE, 0xFD}}};
  for (const TCase& c : cases) {
    TConnectBench bench(0);
    bench.Kkm.Inject({TFaultKind::Late, TAnswerKind::Echo, -1, 0, c.LateMs});
    bench.Link.OpenPort("COM1");
    EXPECT_EQ(ProbeAddress(bench.Link), c.Found) << c.LateMs;
    EXPECT_EQ(bench.Link.KkmAddress(), c.Found ? 0xFF : 0) << c.LateMs;
    EXPECT_EQ(bench.Sent(), Mark(c.Sent)) << c.LateMs;
  }
}

// Without latency the 100 candidates once took 1.1 s; an adapter's latency may add no
// more than 2 s to that.
TEST(ProbeAddress, NoRegisterOnTheLineIsToldWithinItsBound) {
  for (const std::uint64_t latency : {0u, 16u}) {
    TConnectBench bench(42, 104, latency);
    bench.Kkm.SetSilent(true);
    bench.Link.OpenPort("COM1");
    EXPECT_FALSE(ProbeAddress(bench.Link));
    EXPECT_EQ(bench.Sent(), Mark(Candidates(0, 99)));
    EXPECT_EQ(bench.Link.LastFailure().Reason, TFailureReason::NoEcho);
    EXPECT_LE(bench.Clock.Now(), 1100u + 2000u) << latency << " ms latency";
  }
}

// The window paints at least every 100 ms of a long wait, and that changes nothing on
// the line: a probe of a silent line, a version query without reply, and a block
// write that the register answers busy five times, a second late each.
TEST(LinkPump, WaitsLetTheWindowPaintAtLeastEvery100Ms) {
  struct TCase {
    const char* Name;
    std::function<void(TConnectBench&)> Spoil;
    std::function<void(TKkmLink&)> Operation;
  };
  const TCase cases[] = {
      {"silent probe", [](TConnectBench& b) { b.Kkm.SetSilent(true); },
       [](TKkmLink& link) { ProbeAddress(link) || QueryVersion(link); }},
      {"unanswered query",
       [](TConnectBench& b) {
         b.Kkm.Inject({TFaultKind::Silence, TAnswerKind::Reply});
       },
       [](TKkmLink& link) { ProbeAddress(link) && QueryVersion(link); }},
      {"busy block",
       [](TConnectBench& b) {
         b.Kkm.SetBusyAnswers(5);
         b.Kkm.Inject({.Kind = TFaultKind::Late, .Answer = TAnswerKind::Echo, .Times = -1, .LateMs = 1000});
       },
       [](TKkmLink& link) {
         const std::uint8_t byte = 0x5A;
         link.UseRegister(0xFE, link.FirmwareVersion());
         WriteMemoryBlock(link, 0x04FC, &byte, 1, TBlockHandshake::BusyAnswers);
       }},
  };
  for (const TCase& c : cases) {
    TConnectBench plain(1, 105);
    c.Spoil(plain);
    plain.Link.OpenPort("COM1");
    c.Operation(plain.Link);

    TConnectBench painted(1, 105);
    c.Spoil(painted);
    std::vector<TTick> paints = {painted.Clock.Now()};
    painted.Link.SetPump([&] { paints.push_back(painted.Clock.Now()); });
    painted.Link.OpenPort("COM1");
    c.Operation(painted.Link);
    paints.push_back(painted.Clock.Now());
    EXPECT_EQ(painted.Sent(), plain.Sent()) << c.Name;
    EXPECT_EQ(painted.Clock.Now(), plain.Clock.Now()) << c.Name;
    EXPECT_GT(paints.size(), 5u) << c.Name;
    for (std::size_t i = 1; i < paints.size(); ++i) EXPECT_LE(paints[i] - paints[i - 1], 100u) << c.Name << " " << i;
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
  EXPECT_EQ(bench.Link.FirmwareVersion(), 105);
  EXPECT_EQ(bench.Sent(), Mark({0xFE}) + Space({0x01, 0x14, 0xEA}));
}

TEST(QueryVersion, NoEchoOrNoAcknowledgementFails) {
  for (TAnswerKind spoiled : {TAnswerKind::Echo, TAnswerKind::Acknowledgement}) {
    TConnectBench bench(1);
    bench.Kkm.Inject({TFaultKind::WrongByte, spoiled});
    bench.Connect(77);
    EXPECT_FALSE(QueryVersion(bench.Link));
    EXPECT_EQ(bench.Link.FirmwareVersion(), 77);
  }
}

TEST(QueryVersion, AnAcknowledgedQueryWithoutReplyGivesVersion0) {
  for (TFaultKind fault : {TFaultKind::Silence, TFaultKind::CorruptChecksum}) {
    TConnectBench bench(1);
    bench.Kkm.Inject({fault, TAnswerKind::Reply});
    bench.Connect(104);
    EXPECT_TRUE(QueryVersion(bench.Link));
    EXPECT_EQ(bench.Link.FirmwareVersion(), 0);
  }
}

}  // namespace
