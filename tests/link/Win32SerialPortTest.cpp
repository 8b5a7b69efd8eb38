// The Win32 backend's settings, without a device. The whole backend against a
// register runs in the end-to-end test of the Windows build.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "link/Win32SerialPort.h"

namespace {

DWORD FlagsWord(const DCB& dcb) {
  DWORD flags = 0;
  std::memcpy(&flags, reinterpret_cast<const char*>(&dcb) + 2 * sizeof(DWORD), sizeof flags);
  return flags;
}

TEST(Win32SerialPort, LineSettingsWhateverTheDriverReported) {
  DCB reported;
  std::memset(&reported, 0xFF, sizeof reported);
  reported.XonChar = 0x11;
  reported.XoffChar = 0x13;
  reported.EofChar = 0x1A;
  const DCB dcb = RegisterLineSettings(reported);
  EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
  EXPECT_EQ(FlagsWord(dcb), 0x2081u);
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_EQ(dcb.Parity, 3);  // MARK
  EXPECT_EQ(dcb.XonLim, 1);
  EXPECT_EQ(dcb.XoffLim, 1);
  // What the register does not care about stays as the driver had it.
  EXPECT_EQ(dcb.XonChar, 0x11);
  EXPECT_EQ(dcb.XoffChar, 0x13);
  EXPECT_EQ(dcb.EofChar, 0x1A);
  EXPECT_EQ(dcb.wReserved, 0xFFFF);

  DCB cleared{};
  EXPECT_EQ(FlagsWord(RegisterLineSettings(cleared)), 0x2081u);
}

TEST(Win32SerialPort, TimeoutsOfReadsAndWrites) {
  const COMMTIMEOUTS timeouts = RegisterTimeouts();
  EXPECT_EQ(timeouts.ReadIntervalTimeout, 1u);
  EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 20u);
  EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 100u);
  EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 1u);
  EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 100u);
}

TEST(Win32SerialPort, DevicesAreOpenedThroughTheDeviceNamespace) {
  EXPECT_EQ(SerialDeviceName(3), "COM3");
  // A USB adapter on COM7 stands in for COM1.
  _putenv_s("ORBI7_COM1", "COM7");
  EXPECT_EQ(SerialDeviceName(1), "COM7");
  _putenv_s("ORBI7_COM1", "");
  EXPECT_EQ(SerialDeviceName(1), "COM1");
  EXPECT_EQ(Win32DevicePath("COM3"), "\\\\.\\COM3");
  EXPECT_EQ(Win32DevicePath("COM10"), "\\\\.\\COM10");
  EXPECT_EQ(Win32DevicePath("\\\\.\\COM12"), "\\\\.\\COM12");
}

TEST(Win32SerialPort, ARefusedDeviceSaysWhy) {
  EXPECT_EQ(OpenSerialPort("COM199").Fault, TPortFault::Absent);
  const std::pair<DWORD, TPortFault> errors[] = {
      {ERROR_FILE_NOT_FOUND, TPortFault::Absent},
      {ERROR_ACCESS_DENIED, TPortFault::Busy},
      {ERROR_SHARING_VIOLATION, TPortFault::Busy},
      {ERROR_GEN_FAILURE, TPortFault::Other},
  };
  for (const auto& [error, fault] : errors) EXPECT_EQ(OpenFault(error), fault) << error;
}

}  // namespace
