#ifndef _WIN32

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/KkmFrames.h"
#include "link/PosixSerialPort.h"
#include "link/TKkmLink.h"

namespace {

using std::chrono::steady_clock;

// Processor time of this process, to tell a wait from a busy loop.
TTick CpuMilliseconds() { return static_cast<TTick>(std::clock() * 1000.0 / CLOCKS_PER_SEC); }

TTick MillisecondsSince(steady_clock::time_point start) {
  return static_cast<TTick>(std::chrono::duration_cast<std::chrono::milliseconds>(steady_clock::now() - start).count());
}

// The port is the slave side of a pseudo-terminal; the test plays the register on the
// master side. The master's settings are only ever read: on Linux they are the
// slave's, so changing them would change the port under test.
class PosixSerialPort : public ::testing::Test {
 protected:
  void SetUp() override {
    std::array<char, 128> name{};
    ASSERT_EQ(openpty(&Master, &Slave, name.data(), nullptr, nullptr), 0);
    Device = name.data();
  }

  void TearDown() override {
    close(Slave);
    if (Master >= 0) close(Master);
  }

  void SendFromRegister(const std::vector<std::uint8_t>& bytes) const {
    ASSERT_EQ(write(Master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  std::vector<std::uint8_t> ReceiveAtRegister(std::size_t n) const {
    std::vector<std::uint8_t> got;
    const auto start = steady_clock::now();
    while (got.size() < n && MillisecondsSince(start) < 2000) {
      pollfd watch{Master, POLLIN, 0};
      if (poll(&watch, 1, 100) <= 0) continue;
      std::array<std::uint8_t, 512> chunk{};
      const ssize_t count = read(Master, chunk.data(), std::min(chunk.size(), n - got.size()));
      if (count > 0) got.insert(got.end(), chunk.begin(), chunk.begin() + count);
    }
    return got;
  }

  termios PortSettings() const {
    termios settings{};
    EXPECT_EQ(tcgetattr(Master, &settings), 0);
    return settings;
  }

  int Master = -1;
  int Slave = -1;
  std::string Device;
  TKkmLink Link;
};

TEST_F(PosixSerialPort, OpensComThreeWithTheRegistersLineSettings) {
  ASSERT_TRUE(Link.OpenPort(Device));
  const termios t = PortSettings();
  EXPECT_EQ(cfgetospeed(&t), B9600);
  EXPECT_EQ(cfgetispeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  const tcflag_t cflagOn = CMSPAR | PARODD | CREAD | CLOCAL;  // MARK; the pseudo-terminal drops PARENB itself
  EXPECT_EQ(t.c_cflag & cflagOn, cflagOn);
  EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_iflag & (INPCK | PARMRK | ISTRIP | IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | BRKINT), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
}

TEST_F(PosixSerialPort, SpaceParityChangesTheParityAndNothingElse) {
  ASSERT_TRUE(Link.OpenPort(Device));
  const termios before = PortSettings();
  Link.SetParity(false);
  const termios after = PortSettings();
  EXPECT_EQ(after.c_cflag, before.c_cflag & ~static_cast<tcflag_t>(PARODD));
  EXPECT_NE(after.c_cflag & CMSPAR, 0u);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
  for (std::size_t i = 0; i < NCCS; ++i) EXPECT_EQ(after.c_cc[i], before.c_cc[i]) << i;
  Link.SetParity(false);
  EXPECT_EQ(PortSettings().c_cflag, after.c_cflag);
  Link.SetParity(true);
  EXPECT_EQ(PortSettings().c_cflag, before.c_cflag);
}

TEST_F(PosixSerialPort, CarriesEveryByteValueBothWaysUnchanged) {
  ASSERT_TRUE(Link.OpenPort(Device));
  std::vector<std::uint8_t> all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
  EXPECT_EQ(Link.WriteBytes(all.data(), all.size()), all.size());
  EXPECT_EQ(ReceiveAtRegister(all.size()), all);
  SendFromRegister(all);
  ASSERT_TRUE(Link.WaitForInput(all.size(), 2000));
  EXPECT_EQ(Link.InputQueued(), all.size());
  std::vector<std::uint8_t> got(all.size());
  EXPECT_EQ(Link.ReadBytes(got.data(), got.size()), all.size());
  EXPECT_EQ(got, all);
  EXPECT_EQ(Link.InputQueued(), 0u);
}

TEST_F(PosixSerialPort, WaitsForEnoughBytesAndKeepsTooFewQueued) {
  ASSERT_TRUE(Link.OpenPort(Device));
  SendFromRegister({0x31, 0x32});
  EXPECT_TRUE(Link.WaitForInput(2, 2000));
  const auto start = steady_clock::now();
  const TTick cpuStart = CpuMilliseconds();
  EXPECT_FALSE(Link.WaitForInput(3, 300));
  EXPECT_GT(MillisecondsSince(start), 300u);
  EXPECT_LT(CpuMilliseconds() - cpuStart, 150u);  // blocked, not polling the two bytes
  EXPECT_EQ(Link.InputQueued(), 2u);
  std::array<std::uint8_t, 3> answer{0xEE, 0xEE, 0xEE};
  EXPECT_EQ(Link.ReadBytes(answer.data(), answer.size()), 2u);  // ends on its time limit
  EXPECT_EQ(answer, (std::array<std::uint8_t, 3>{0x31, 0x32, 0xEE}));
}

TEST_F(PosixSerialPort, AWaitEndsWhenTheByteArrivesNotAtTheLimit) {
  ASSERT_TRUE(Link.OpenPort(Device));
  std::thread late([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SendFromRegister({0x55});
  });
  const auto start = steady_clock::now();
  EXPECT_TRUE(Link.WaitForInput(1, 5000));
  EXPECT_LT(MillisecondsSince(start), 4000u);
  late.join();
  std::uint8_t answer = 0;
  EXPECT_EQ(Link.ReadBytes(&answer, 1), 1u);
  EXPECT_EQ(answer, 0x55);
}

// The far end of the pseudo-terminal closes in the middle of an exchange, as a USB
// adapter's device does when it is pulled out: the link says so well within a second,
// without polling, and lets the device go at once.
TEST_F(PosixSerialPort, AFarEndClosedMidExchangeIsAPulledPort) {
  ASSERT_TRUE(Link.OpenPort(Device));
  Link.UseRegister(0xFE, Link.FirmwareVersion());
  std::thread unplug([this] {
    ReceiveAtRegister(1);  // the address byte, never echoed
    close(Master);
    Master = -1;
  });
  const auto start = steady_clock::now();
  const TTick cpuStart = CpuMilliseconds();
  std::uint8_t value = 0;
  EXPECT_FALSE(ReadMemoryByte(Link, 0x1306, value));
  unplug.join();
  EXPECT_LT(MillisecondsSince(start), 1000u);
  EXPECT_LT(CpuMilliseconds() - cpuStart, 150u);
  EXPECT_EQ(Link.LastFailure().Reason, TFailureReason::PortRemoved);
  EXPECT_FALSE(Link.IsOpen());
  EXPECT_TRUE(Link.PortRemoved());
}

// A pseudo-terminal has no output queue and no adapter in front of it.
TEST_F(PosixSerialPort, APseudoTerminalDrainsAtOnceAndHoldsNothingBack) {
  auto port = TPosixSerialPort::Open(Device).Port;
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->InputLatencyMs(), 0u);
  const std::vector<std::uint8_t> frame(70, 0x5A);
  ASSERT_EQ(port->WriteBytes(frame.data(), frame.size()), frame.size());
  const auto start = steady_clock::now();
  EXPECT_TRUE(port->Drain(200));
  EXPECT_LT(MillisecondsSince(start), 50u);
}

// A wait for a reply that comes one character after another, which the port sleeps
// through for all but the last byte, still ends when the last byte is there.
TEST_F(PosixSerialPort, AWaitForAPacedReplyEndsWithItsLastByte) {
  ASSERT_TRUE(Link.OpenPort(Device));
  std::thread paced([this] {
    for (int i = 0; i < 18; ++i) {
      std::this_thread::sleep_for(std::chrono::nanoseconds(CharacterNs));
      SendFromRegister({static_cast<std::uint8_t>(i)});
    }
  });
  const auto start = steady_clock::now();
  const bool came = Link.WaitForInput(18, 700);
  const TTick took = MillisecondsSince(start);
  paced.join();
  EXPECT_TRUE(came);
  EXPECT_GE(took, 18u * CharacterNs / 1'000'000);
  EXPECT_LT(took, 18u * CharacterNs / 1'000'000 + 100);
}

TEST_F(PosixSerialPort, PurgeDropsWhatWasReceived) {
  ASSERT_TRUE(Link.OpenPort(Device));
  SendFromRegister({1, 2, 3});
  ASSERT_TRUE(Link.WaitForInput(1, 2000));
  SendFromRegister({4});
  Link.Pause(20);
  Link.Purge();
  EXPECT_EQ(Link.InputQueued(), 0u);
  SendFromRegister({5});
  ASSERT_TRUE(Link.WaitForInput(1, 2000));
  std::uint8_t answer = 0;
  Link.ReadBytes(&answer, 1);
  EXPECT_EQ(answer, 5);
}

// Each refusal says why.
TEST_F(PosixSerialPort, ARefusedDeviceSaysWhy) {
  ASSERT_TRUE(Link.OpenPort(Device));
  const std::pair<std::string, TPortFault> cases[] = {
      {"/dev/orbi7-no-such-port", TPortFault::Absent},
      {"/dev/null", TPortFault::Absent},  // not a terminal at all
      {Device, TPortFault::Busy},         // held by Link
  };
  // Root opens any device, so the errors that a user who may not open it gets are
  // checked against the table alone.
  for (const auto& [error, fault] : {std::pair{EACCES, TPortFault::NoPermission},
                                     {EPERM, TPortFault::NoPermission},
                                     {EBUSY, TPortFault::Busy},
                                     {ENXIO, TPortFault::Absent},
                                     {EIO, TPortFault::Other}}) {
    EXPECT_EQ(PosixOpenFault(error), fault) << error;
  }
  for (const auto& [device, fault] : cases) {
    TKkmLink other;
    EXPECT_FALSE(other.OpenPort(device)) << device;
    EXPECT_EQ(other.PortFault(), fault) << device;
    EXPECT_EQ(TPosixSerialPort::Open(device).Fault, fault) << device;
    EXPECT_FALSE(other.IsOpen());
    other.ClosePort();  // harmless
  }
}

TEST_F(PosixSerialPort, AHeldDeviceIsRefusedWithoutDisturbingItsHolder) {
  ASSERT_TRUE(Link.OpenPort(Device));
  SendFromRegister({0x42});
  Link.Pause(20);
  TKkmLink other;
  EXPECT_FALSE(other.OpenPort(Device));
  EXPECT_TRUE(Link.WaitForInput(1, 100));  // not flushed by the refused open
  EXPECT_NE(PortSettings().c_cflag & PARODD, 0u);
  Link.ClosePort();
  EXPECT_TRUE(other.OpenPort(Device));  // free again once closed
}

TEST_F(PosixSerialPort, ReopeningTheSamePortThroughTheLinkWorks) {
  ASSERT_TRUE(Link.OpenPort(Device));
  EXPECT_TRUE(Link.OpenPort(Device));
  SendFromRegister({0x10});
  EXPECT_TRUE(Link.WaitForInput(1, 2000));
}

TEST(SerialDeviceName, ComPortsAreTtySUnlessTheEnvironmentNamesAnother) {
  unsetenv("ORBI7_COM1");
  unsetenv("ORBI7_COM4");
  EXPECT_EQ(SerialDeviceName(1), "/dev/ttyS0");
  EXPECT_EQ(SerialDeviceName(4), "/dev/ttyS3");
  setenv("ORBI7_COM4", "/dev/ttyUSB0", 1);
  EXPECT_EQ(SerialDeviceName(4), "/dev/ttyUSB0");
  EXPECT_EQ(SerialDeviceName(1), "/dev/ttyS0");
  setenv("ORBI7_COM4", "", 1);
  EXPECT_EQ(SerialDeviceName(4), "/dev/ttyS3");
  unsetenv("ORBI7_COM4");
}

}  // namespace

#endif
