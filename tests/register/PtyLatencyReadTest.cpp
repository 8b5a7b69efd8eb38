#ifndef _WIN32

// The real serial code against a simulated register on a pseudo-terminal behind a
// USB adapter with the common 16 ms latency timer, in real time.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "register/TransferCommands.h"
#include "register/TransferFixture.h"
#include "sim/PtyRegisterServer.h"
#include "sim/RegisterContents.h"

namespace {

// A register served as COM3 for as long as the object lives.
class TServedAsCom3 {
 public:
  TServedAsCom3(TSimulatedRegister& kkm, std::uint64_t latencyMs) : Server(kkm) { Server.SetLatencyMs(latencyMs); }
  TServedAsCom3(const TServedAsCom3&) = delete;
  TServedAsCom3& operator=(const TServedAsCom3&) = delete;
  ~TServedAsCom3() {
    Stop.store(true);
    if (Serving.joinable()) Serving.join();
    unsetenv("ORBI7_COM3");
  }

  bool Start() {
    if (!Server.Open()) return false;
    setenv("ORBI7_COM3", Server.DeviceName().c_str(), 1);
    Serving = std::thread([this] { Server.Serve(Stop); });
    return true;
  }

 private:
  TPtyRegisterServer Server;
  std::atomic<bool> Stop{false};
  std::thread Serving;
};

TEST(PtyLatencyRead, AFullReadThroughA16msAdapterGivesWhatTheRegisterHolds) {
  TSimulatedRegister kkm(37, 105);
  ProgramSettings(kkm, InUseSettings());
  TServedAsCom3 served(kkm, 16);
  ASSERT_TRUE(served.Start());
  TKkmLink link;
  ASSERT_TRUE(link.OpenPort(SerialDeviceName(3)));
  link.UseRegister(kkm.Address(), 105);
  TRecordingWindowView view;
  TKkmSettings settings;
  ASSERT_TRUE(ReadSettingsFromKkm(link, ConnectionOf(link), settings, view, TTransferWay::Bytewise)) << view.Status;

  // The same register read on a line without latency, on the virtual clock.
  TSimulatedKkm plain(105);
  ProgramSettings(plain.Kkm, InUseSettings());
  TRecordingWindowView plainView;
  TKkmSettings expected;
  ASSERT_TRUE(ReadSettingsFromKkm(plain.Link, ConnectionOf(plain.Link), expected, plainView, TTransferWay::Bytewise));
  EXPECT_TRUE(settings == expected);
  EXPECT_EQ(settings.Tax(2).Name, "Налог с продаж");
  EXPECT_EQ(settings.Group(3).Discount, "2");
}

}  // namespace

#endif
