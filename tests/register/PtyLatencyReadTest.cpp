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

TEST(PtyLatencyRead, AFullReadThroughA16msAdapterGivesWhatTheRegisterHolds) {
  TSimulatedRegister kkm(37, 105);
  ProgramSettings(kkm, InUseSettings());
  TPtyRegisterServer server(kkm);
  server.SetLatencyMs(16);
  ASSERT_TRUE(server.Open());
  setenv("ORBI7_COM3", server.DeviceName().c_str(), 1);
  std::atomic<bool> stop{false};
  std::thread serving([&] { server.Serve(stop); });

  TKkmLink link;
  ASSERT_TRUE(link.OpenPort(3));
  link.KkmAddress = kkm.Address();
  link.FirmwareVersion = 105;
  TRamMap map;
  map.SelectRamMap(105);
  TRecordingWindowView view;
  TKkmSettings settings;
  const bool read = ReadSettingsFromKkm(link, map, settings, view);

  link.ClosePort();
  stop.store(true);
  serving.join();
  unsetenv("ORBI7_COM3");
  ASSERT_TRUE(read) << view.Status;

  // The same register read on a line without latency, on the virtual clock.
  TSimulatedKkm plain(105);
  ProgramSettings(plain.Kkm, InUseSettings());
  TRecordingWindowView plainView;
  TKkmSettings expected;
  ASSERT_TRUE(ReadSettingsFromKkm(plain.Link, map, expected, plainView));
  EXPECT_TRUE(settings == expected);
  EXPECT_EQ(settings.Tax(2).Name, "Налог с продаж");
  EXPECT_EQ(settings.Group(3).Discount, "2");
}

}  // namespace

#endif
