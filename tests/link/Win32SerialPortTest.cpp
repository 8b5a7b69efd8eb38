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

// A driver made of the port's calls, as a row makes it; SetCommState refuses equal XON
// and XOFF characters, as Windows documents.
enum class TDriver { Keeps, ReportsNoParity, RefusesMark, FallsBackToNone, CannotReport, RefusesTimeouts };
struct {
  TDriver Kind;
  DCB Held;
  std::vector<DCB> Set;
  int Gets, Flushes, Timers, Closed;
  DWORD FailWith;  // the last error of every read, write and status call; 0: they work
} Driver;

BOOL Fails() {
  SetLastError(Driver.FailWith);
  return Driver.FailWith == 0;
}

BOOL WINAPI FakeSetCommState(HANDLE, LPDCB dcb) {
  Driver.Set.push_back(*dcb);
  if (dcb->XonChar == dcb->XoffChar || (Driver.Kind == TDriver::RefusesMark && dcb->Parity == MARKPARITY)) return FALSE;
  Driver.Held = *dcb;
  if (dcb->Parity == MARKPARITY || dcb->Parity == SPACEPARITY) {
    if (Driver.Kind == TDriver::FallsBackToNone) Driver.Held.Parity = NOPARITY;
    if (Driver.Kind == TDriver::ReportsNoParity) Driver.Held.Parity = 8;  // Wine on a pseudo-terminal
  }
  return TRUE;
}

TCommCalls FakeCalls() {
  TCommCalls calls;
  calls.CreateFileA = [](LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
                          WINAPI { return reinterpret_cast<HANDLE>(0x10); };
  calls.CloseHandle = [](HANDLE) WINAPI -> BOOL { return ++Driver.Closed; };
  calls.SetupComm = [](HANDLE, DWORD, DWORD) WINAPI -> BOOL { return FALSE; };
  calls.GetCommState = [](HANDLE, LPDCB dcb) WINAPI -> BOOL {
    *dcb = Driver.Held;
    return ++Driver.Gets, Driver.Kind != TDriver::CannotReport;
  };
  calls.SetCommState = FakeSetCommState;
  calls.SetCommTimeouts = [](HANDLE, LPCOMMTIMEOUTS) WINAPI -> BOOL { return Driver.Kind != TDriver::RefusesTimeouts; };
  calls.EscapeCommFunction = [](HANDLE, DWORD) WINAPI -> BOOL { return FALSE; };
  calls.PurgeComm = [](HANDLE, DWORD) WINAPI -> BOOL { return TRUE; };
  calls.ReadFile = [](HANDLE, LPVOID, DWORD, LPDWORD read, LPOVERLAPPED) WINAPI -> BOOL { return *read = 0, Fails(); };
  calls.WriteFile = [](HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED)
                        WINAPI -> BOOL { return *written = 0, Fails(); };
  calls.ClearCommError = [](HANDLE, LPDWORD, LPCOMSTAT status) WINAPI -> BOOL { return *status = {}, Fails(); };
  calls.FlushFileBuffers = [](HANDLE) WINAPI -> BOOL { return ++Driver.Flushes; };
  calls.TimeBeginPeriod = [](UINT) WINAPI -> MMRESULT { return ++Driver.Timers, TIMERR_NOERROR; };
  calls.TimeEndPeriod = [](UINT) WINAPI -> MMRESULT { return --Driver.Timers, TIMERR_NOERROR; };
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
    Driver = {kind, {}, {}, 0, 0, 0, 0, 0};  // XON and XOFF both 0, as some drivers report them
    const int row = static_cast<int>(kind);
    TOpenedPort opened = TWin32SerialPort::Open("COM1", FakeCalls());
    EXPECT_EQ(opened.Fault, fault) << row;
    for (const DCB& dcb : Driver.Set) EXPECT_NE(dcb.XonChar, dcb.XoffChar) << row;
    const auto [gets, flushes] = std::pair(Driver.Gets, Driver.Flushes);
    // Opened with MARK: none, one, none, one SetCommState, each changing the parity alone.
    for (const auto& [mark, sets] : {std::pair(true, 0u), {false, 1u}, {false, 0u}, {true, 1u}}) {
      if (!opened.Port) break;
      const std::vector<DCB> before = Driver.Set;
      opened.Port->SetParity(mark);
      ASSERT_EQ(Driver.Set.size(), before.size() + sets) << row;
      DCB expected = before.back();
      expected.Parity = mark ? MARKPARITY : SPACEPARITY;
      EXPECT_EQ(std::memcmp(&Driver.Set.back(), &expected, sizeof(DCB)), 0) << row;
    }
    EXPECT_EQ(std::pair(Driver.Gets, Driver.Flushes), std::pair(gets, flushes)) << row;
    EXPECT_EQ(Driver.Timers, opened.Port ? 1 : 0) << row;
    opened.Port.reset();
    EXPECT_EQ(Driver.Closed, 1) << row;
    EXPECT_EQ(Driver.Timers, 0) << row;
  }
}

// The errors with which drivers of USB adapters answer once the adapter is pulled out,
// from each call that meets them; any other failure leaves the port as it was.
TEST(Win32SerialPort, APulledAdapterIsToldByEachCallThatMeetsIt) {
  static std::uint8_t byte = 0;
  using TCall = void (*)(TSerialPort&);
  const TCall calls[] = {
      [](TSerialPort& port) { port.InputQueued(); },
      [](TSerialPort& port) { port.AwaitInput(5, 1); },
      [](TSerialPort& port) { port.ReadBytes(&byte, 1); },
      [](TSerialPort& port) { port.WriteBytes(&byte, 1); },
      [](TSerialPort& port) { port.Drain(5); },
  };
  const std::pair<DWORD, bool> errors[] = {{ERROR_DEVICE_REMOVED, true}, {ERROR_BAD_COMMAND, true},
                                           {ERROR_GEN_FAILURE, true},    {ERROR_OPERATION_ABORTED, true},
                                           {ERROR_ACCESS_DENIED, true},  {ERROR_INVALID_PARAMETER, false},
                                           {ERROR_INVALID_HANDLE, false}};
  for (const auto& [error, removal] : errors) {
    for (std::size_t call = 0; call < std::size(calls); ++call) {
      Driver = {TDriver::Keeps, {}, {}, 0, 0, 0, 0, 0};
      TOpenedPort opened = TWin32SerialPort::Open("COM1", FakeCalls());
      ASSERT_TRUE(opened.Port && !opened.Port->Removed());
      Driver.FailWith = error;
      calls[call](*opened.Port);
      EXPECT_EQ(opened.Port->Removed(), removal) << error << " call " << call;
    }
  }
}

}  // namespace
