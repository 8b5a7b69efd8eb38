#ifndef _WIN32

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "link/DisplayExchange.h"
#include "link/KkmFrames.h"
#include "link/PosixSerialPort.h"
#include "link/TKkmLink.h"
#include "sim/PtyRegisterServer.h"

namespace {

// The real serial code on COM2 against the simulated register on a pseudo-terminal,
// in real time.
class PtyRegister : public ::testing::Test {
 protected:
  void SetUp() override {
    Kkm.Memory()[0x0440] = 0x37;
    ASSERT_TRUE(Server.Open());
    Serving = std::thread([this] { Server.Serve(Stop); });
    ASSERT_TRUE(Link.OpenPort(Server.DeviceName()));
    Link.UseRegister(Kkm.Address(), Link.FirmwareVersion());
  }

  void TearDown() override {
    Link.ClosePort();
    Stop.store(true);
    if (Serving.joinable()) Serving.join();
  }

  TSimulatedRegister Kkm{42, 105};
  TPtyRegisterServer Server{Kkm};
  std::atomic<bool> Stop{false};
  std::thread Serving;
  TKkmLink Link;
};

TEST_F(PtyRegister, ReadsAndWritesThroughThePosixBackend) {
  std::uint8_t value = 0;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(ReadMemoryByte(Link, 0x0440, value));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(value, 0x37);
  // Twelve characters at 9600 baud go by before the reply is complete.
  EXPECT_GE(took, std::chrono::microseconds(12 * CharacterNs / 1000));

  ASSERT_TRUE(WriteMemoryByte(Link, 0x0441, 0xC4));
  const std::uint8_t block[2] = {0x01, 0x02};
  ASSERT_TRUE(WriteMemoryBlock(Link, 0x04FC, block, 2, TBlockHandshake::BusyAnswers));
  std::string line1 = "Запись";
  std::string line2 = "налогов";
  ASSERT_TRUE(DisplayExchange(Link, line1, line2));

  Link.ClosePort();
  Stop.store(true);
  Serving.join();
  EXPECT_EQ(Kkm.Memory()[0x0441], 0xC4);
  EXPECT_EQ(Kkm.Memory()[0x04FD], 0x02);
  EXPECT_EQ(Kkm.DisplayLine(2)[0], 0xED);  // "н"
  EXPECT_EQ(Kkm.DisplayUpdates(), 2);

  // The register saw the ninth bit the backend set: MARK on the address bytes it
  // echoed, SPACE on every frame byte.
  std::size_t marks = 0;
  bool afterEcho = false;
  for (const TLineRecord& record : Kkm.Traffic()) {
    if (record.Direction == TDirection::FromRegister) {
      afterEcho = true;
      continue;
    }
    ASSERT_NE(record.Parity, TParity::Unknown);
    if (record.Parity == TParity::Mark) {
      EXPECT_EQ(record.Byte, Kkm.Address());
      ++marks;
    }
  }
  EXPECT_TRUE(afterEcho);
  EXPECT_EQ(marks, 3u + 6u);  // read, byte write, block write, the display's six
}

TEST_F(PtyRegister, AnotherNumberIsNotAnswered) {
  Link.UseRegister(static_cast<std::uint8_t>(Kkm.Address() + 1), Link.FirmwareVersion());
  std::uint8_t value = 0;
  EXPECT_FALSE(ReadMemoryByte(Link, 0x0440, value));
  Link.UseRegister(Kkm.Address(), Link.FirmwareVersion());
  EXPECT_TRUE(ReadMemoryByte(Link, 0x0440, value));
}

}  // namespace

#endif
