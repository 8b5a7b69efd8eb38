// The Win32 backend's settings, and the port against drivers made of its system calls.
// The whole backend against a register runs in the end-to-end test of the Windows
// build.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

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
  reported.XonChar = 0;  // as some drivers report them
  reported.XoffChar = 0;
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
  EXPECT_EQ(dcb.XonChar, 0x11);
  EXPECT_EQ(dcb.XoffChar, 0x13);
  // What the register does not care about stays as the driver had it.
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

// A driver as a row of the table below makes it, answering as Windows documents:
// SetCommState refuses a block whose XON and XOFF characters are equal.
enum class TDriver { Keeps, RefusesMark, FallsBackToNone, ReportsNoParity, CannotReport, RefusesTimeouts };

struct TFakeDriver {
  TDriver Kind = TDriver::Keeps;
  DCB Held{};
  std::vector<DCB> Set;
  int Gets = 0, Flushes = 0, TimersBegun = 0, TimersEnded = 0, Closed = 0;
};
TFakeDriver Driver;

HANDLE WINAPI FakeCreateFile(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  return reinterpret_cast<HANDLE>(0x10);
}
BOOL WINAPI FakeGetCommState(HANDLE, LPDCB dcb) {
  ++Driver.Gets;
  if (Driver.Kind == TDriver::CannotReport) return SetLastError(ERROR_GEN_FAILURE), FALSE;
  *dcb = Driver.Held;
  return TRUE;
}
BOOL WINAPI FakeSetCommState(HANDLE, LPDCB dcb) {
  Driver.Set.push_back(*dcb);
  const bool stick = dcb->Parity == MARKPARITY || dcb->Parity == SPACEPARITY;
  if (dcb->XonChar == dcb->XoffChar || (Driver.Kind == TDriver::RefusesMark && dcb->Parity == MARKPARITY))
    return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  Driver.Held = *dcb;
  if (stick && Driver.Kind == TDriver::FallsBackToNone) Driver.Held.Parity = NOPARITY;
  if (stick && Driver.Kind == TDriver::ReportsNoParity) Driver.Held.Parity = 8;  // as Wine on a pseudo-terminal
  return TRUE;
}
BOOL WINAPI FakeSetCommTimeouts(HANDLE, LPCOMMTIMEOUTS) { return Driver.Kind != TDriver::RefusesTimeouts; }
BOOL WINAPI FakeFlush(HANDLE) { return ++Driver.Flushes, TRUE; }
BOOL WINAPI FakeClose(HANDLE) { return ++Driver.Closed, TRUE; }
MMRESULT WINAPI FakeTimeBegin(UINT) { return ++Driver.TimersBegun, TIMERR_NOERROR; }
MMRESULT WINAPI FakeTimeEnd(UINT) { return ++Driver.TimersEnded, TIMERR_NOERROR; }

TCommCalls FakeCalls() {
  TCommCalls calls;
  calls.CreateFileA = FakeCreateFile;
  calls.CloseHandle = FakeClose;
  calls.SetupComm = [](HANDLE, DWORD, DWORD) WINAPI -> BOOL { return TRUE; };
  calls.GetCommState = FakeGetCommState;
  calls.SetCommState = FakeSetCommState;
  calls.SetCommTimeouts = FakeSetCommTimeouts;
  calls.EscapeCommFunction = [](HANDLE, DWORD) WINAPI -> BOOL { return FALSE; };
  calls.PurgeComm = [](HANDLE, DWORD) WINAPI -> BOOL { return TRUE; };
  calls.FlushFileBuffers = FakeFlush;
  calls.TimeBeginPeriod = FakeTimeBegin;
  calls.TimeEndPeriod = FakeTimeEnd;
  return calls;
}

TEST(Win32SerialPort, TheDriverMustKeepTheLineSettingsAndASwitchChangesOnlyTheParity) {
  const std::pair<TDriver, TPortFault> rows[] = {
      {TDriver::Keeps, TPortFault::None},
      {TDriver::ReportsNoParity, TPortFault::None},
      {TDriver::RefusesMark, TPortFault::NoStickParity},
      {TDriver::FallsBackToNone, TPortFault::NoStickParity},
      {TDriver::CannotReport, TPortFault::Other},
      {TDriver::RefusesTimeouts, TPortFault::Other},
  };
  for (const auto& [kind, fault] : rows) {
    Driver = {};
    Driver.Kind = kind;
    Driver.Held.DCBlength = sizeof(DCB);
    Driver.Held.BaudRate = 38400;  // XON and XOFF both 0, as some drivers report them
    const int row = static_cast<int>(kind);
    {
      TOpenedPort opened = TWin32SerialPort::Open("COM1", FakeCalls());
      EXPECT_EQ(opened.Fault, fault) << row;
      for (const DCB& dcb : Driver.Set) EXPECT_NE(dcb.XonChar, dcb.XoffChar) << row;
      if (opened.Port) {
        EXPECT_EQ(Driver.Set.back().Parity, MARKPARITY) << row;
        const std::size_t setAtOpen = Driver.Set.size();
        const int gets = Driver.Gets;
        const int flushes = Driver.Flushes;
        const std::pair<bool, std::size_t> switches[] = {{true, 0}, {false, 1}, {false, 0}, {true, 1}};
        for (const auto& [mark, sets] : switches) {
          const std::size_t before = Driver.Set.size();
          opened.Port->SetParity(mark);
          ASSERT_EQ(Driver.Set.size(), before + sets) << row << " mark " << mark;
          if (sets == 0) continue;
          DCB expected = Driver.Set[before - 1];
          expected.Parity = mark ? MARKPARITY : SPACEPARITY;
          EXPECT_EQ(std::memcmp(&Driver.Set.back(), &expected, sizeof(DCB)), 0) << row;
        }
        EXPECT_EQ(Driver.Set.size(), setAtOpen + 2) << row;
        EXPECT_EQ(Driver.Gets, gets) << row;
        EXPECT_EQ(Driver.Flushes, flushes) << row;
      }
    }
    EXPECT_EQ(Driver.Closed, 1) << row;
    EXPECT_EQ(Driver.TimersBegun, fault == TPortFault::None ? 1 : 0) << row;
    EXPECT_EQ(Driver.TimersEnded, Driver.TimersBegun) << row;
  }
}

}  // namespace
