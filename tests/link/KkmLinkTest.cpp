#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>

#include "link/TKkmLink.h"

namespace {

// A port whose bytes arrive at given ticks of a virtual clock. It counts its waits,
// so that a link that polled instead of waiting would show.
class TScheduledPort final : public TSerialPort {
 public:
  TScheduledPort(TVirtualClock& clock, bool& closed) : Clock(clock), Closed(closed) { Closed = false; }
  ~TScheduledPort() override { Closed = true; }

  void Arrive(TTick at, std::vector<std::uint8_t> bytes) {
    Clock.At(at, [this, bytes] { Queue.insert(Queue.end(), bytes.begin(), bytes.end()); });
  }

  void SetParity(bool) override {}
  std::size_t InputQueued() override { return Queue.size(); }
  void AwaitInput(TTick timeoutMs, std::size_t) override {
    ++Waits;
    Clock.AdvanceToNextEvent(Clock.Now() + timeoutMs);
  }
  bool Drain(TTick) override { return true; }
  TTick LineTimeLeftMs() const override { return 0; }
  TTick InputLatencyMs() const override { return 0; }
  void Purge() override { Queue.clear(); }
  void FullPurge() override { Queue.clear(); }
  std::size_t ReadBytes(std::uint8_t*, std::size_t) override { return 0; }
  std::size_t WriteBytes(const std::uint8_t*, std::size_t n) override { return n; }

  std::vector<std::uint8_t> Queue;
  int Waits = 0;

 private:
  TVirtualClock& Clock;
  bool& Closed;
};

class KkmLinkTiming : public ::testing::Test {
 protected:
  explicit KkmLinkTiming(TTick start = 5000)
      : Clock(start), Link(Clock, [this](const std::string& device) { return Open(device); }) {}

  TOpenedPort Open(const std::string& device) {
    OpenedPorts.push_back(device);
    ClosedBeforeReopen = PortClosed;
    if (device == "COM2") return TOpenedPort::Failed(TPortFault::Absent);
    auto port = std::make_unique<TScheduledPort>(Clock, PortClosed);
    Port = port.get();
    return TOpenedPort::Opened(std::move(port));
  }

  TTick Elapsed() { return Clock.Now() - Start; }

  TVirtualClock Clock;
  TKkmLink Link;
  TScheduledPort* Port = nullptr;
  bool PortClosed = true;
  bool ClosedBeforeReopen = true;
  std::vector<std::string> OpenedPorts;
  TTick Start = Clock.Now();
};

TEST_F(KkmLinkTiming, StartsWithNothingKnown) {
  EXPECT_FALSE(Link.IsOpen());
  EXPECT_EQ(Link.KkmAddress(), 0);
  EXPECT_EQ(Link.FirmwareVersion(), 0);
}

TEST_F(KkmLinkTiming, BytesAlreadyQueuedEndTheWaitAtOnce) {
  ASSERT_TRUE(Link.OpenPort("COM1"));
  Port->Queue = {1, 2, 3};
  EXPECT_TRUE(Link.WaitForInput(3, 1650));
  EXPECT_EQ(Elapsed(), 0u);
  EXPECT_EQ(Port->Waits, 0);
  EXPECT_EQ(Link.InputQueued(), 3u);
}

TEST_F(KkmLinkTiming, TooFewBytesEndTheWaitJustAfterTheLimitAndStayQueued) {
  ASSERT_TRUE(Link.OpenPort("COM1"));
  Port->Arrive(Start + 10, {0x41});
  Port->Arrive(Start + 20, {0x42});
  EXPECT_FALSE(Link.WaitForInput(3, 100));
  EXPECT_EQ(Elapsed(), 101u);
  EXPECT_EQ(Link.InputQueued(), 2u);
  EXPECT_LE(Port->Waits, 3);  // woken by each byte and the deadline, never polled
}

TEST_F(KkmLinkTiming, AnElapsedTimeEqualToTheLimitStillWaits) {
  ASSERT_TRUE(Link.OpenPort("COM1"));
  Port->Arrive(Start + 100, {7});
  EXPECT_TRUE(Link.WaitForInput(1, 100));
  EXPECT_EQ(Elapsed(), 100u);
}

TEST_F(KkmLinkTiming, AByteOneMillisecondAfterTheLimitComesTooLate) {
  ASSERT_TRUE(Link.OpenPort("COM1"));
  Port->Arrive(Start + 101, {7});
  EXPECT_FALSE(Link.WaitForInput(1, 100));
  EXPECT_EQ(Elapsed(), 101u);
  EXPECT_EQ(Link.InputQueued(), 1u);  // late, but not lost
}

// The window paints for 150 ms once the answer is in, past the end of the window:
// the answer came in time all the same.
TEST_F(KkmLinkTiming, AnAnswerInTimeCountsWhenPaintingRunsPastTheWindow) {
  ASSERT_TRUE(Link.OpenPort("COM1"));
  Port->Arrive(Start + 30, {7});
  Link.SetPump([this] { Clock.Advance(150); });
  EXPECT_TRUE(Link.WaitForInput(1, 100));
  EXPECT_EQ(Elapsed(), 180u);
}

TEST_F(KkmLinkTiming, ALongWaitEndsOnlyWhenTheLastByteIsThere) {
  ASSERT_TRUE(Link.OpenPort("COM1"));
  for (TTick at : {500u, 1000u, 1500u}) Port->Arrive(Start + at, {0});
  EXPECT_TRUE(Link.WaitForInput(3, 1650));
  EXPECT_EQ(Elapsed(), 1500u);
  EXPECT_LE(Port->Waits, 3);
}

TEST_F(KkmLinkTiming, DelayWaitsOneMillisecondMoreThanPause) {
  Link.Delay(600);
  EXPECT_EQ(Elapsed(), 602u);  // more than 601
  const TTick afterDelay = Clock.Now();
  Link.Pause(40);
  EXPECT_EQ(Clock.Now() - afterDelay, 41u);  // more than 40
  const TTick afterPause = Clock.Now();
  Link.Delay(0);
  Link.Pause(0);
  EXPECT_EQ(Clock.Now() - afterPause, 3u);
}

TEST_F(KkmLinkTiming, BytesArrivingDuringAPauseAreQueued) {
  ASSERT_TRUE(Link.OpenPort("COM1"));
  Port->Arrive(Start + 200, {9, 9});
  Link.Pause(400);
  EXPECT_EQ(Link.InputQueued(), 2u);
  EXPECT_TRUE(Link.WaitForInput(2, 0));
}

class KkmLinkAcrossAWrap : public KkmLinkTiming {
 protected:
  KkmLinkAcrossAWrap() : KkmLinkTiming(std::numeric_limits<TTick>::max() - 50) {}
};

TEST_F(KkmLinkAcrossAWrap, WaitsAndPausesNeitherEndEarlyNorHang) {
  ASSERT_TRUE(Link.OpenPort("COM1"));
  Link.Pause(400);
  EXPECT_EQ(Elapsed(), 401u);
  Port->Arrive(Clock.Now() + 1000, {1});
  EXPECT_TRUE(Link.WaitForInput(1, 1650));
  EXPECT_EQ(Elapsed(), 1401u);
  EXPECT_FALSE(Link.WaitForInput(2, 1650));
  EXPECT_EQ(Elapsed(), 1401u + 1651u);
}

TEST_F(KkmLinkTiming, WithoutAPortNothingHappensButTimePasses) {
  EXPECT_FALSE(Link.OpenPort("COM2"));
  EXPECT_EQ(OpenedPorts, std::vector<std::string>{"COM2"});
  EXPECT_EQ(Link.PortFault(), TPortFault::Absent);
  EXPECT_FALSE(Link.IsOpen());
  Link.ClosePort();
  Link.SetParity(false);
  Link.Purge();
  Link.FullPurge();
  std::array<std::uint8_t, 2> answer{0xEE, 0xEE};
  EXPECT_EQ(Link.ReadBytes(answer.data(), answer.size()), 0u);
  EXPECT_EQ(answer, (std::array<std::uint8_t, 2>{0xEE, 0xEE}));
  EXPECT_EQ(Link.WriteBytes(answer.data(), answer.size()), 0u);
  EXPECT_EQ(Link.InputQueued(), 0u);
  EXPECT_FALSE(Link.WaitForInput(1, 1650));
  EXPECT_EQ(Elapsed(), 1651u);
}

TEST_F(KkmLinkTiming, OpeningClosesThePortHeldSoFarFirst) {
  ASSERT_TRUE(Link.OpenPort("COM3"));
  EXPECT_FALSE(PortClosed);
  ASSERT_TRUE(Link.OpenPort("COM4"));
  EXPECT_TRUE(ClosedBeforeReopen);  // else a device held by ourselves would be refused
  EXPECT_EQ(OpenedPorts, (std::vector<std::string>{"COM3", "COM4"}));
  Link.ClosePort();
  EXPECT_TRUE(PortClosed);
  EXPECT_FALSE(Link.IsOpen());
}

}  // namespace
