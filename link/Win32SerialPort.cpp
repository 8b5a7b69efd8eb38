#include "link/Win32SerialPort.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr DWORD QueueSize = 1024;
// The flags word of the device control block: binary mode, transmit continues
// after XOFF, RTS handshake; parity checking, CTS and DSR flow, DSR sensitivity,
// XON/XOFF, error character, null stripping and abort on error all off, DTR disabled.
constexpr DWORD ControlFlags = 0x2081;

// The flags are bit fields; they are set one by one so that the word comes out as
// ControlFlags whatever the compiler makes of the layout.
void SetControlFlags(DCB& dcb) {
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  dcb.fAbortOnError = FALSE;
  dcb.fDummy2 = 0;
}

static_assert(ControlFlags == (0x0001 | 0x0080 | (RTS_CONTROL_HANDSHAKE << 12)));
static_assert(MARKPARITY == 3 && SPACEPARITY == 4);

DWORD WaitTimeout(TTick ms) { return static_cast<DWORD>(std::min<TTick>(ms, MAXDWORD - 1)); }

}  // namespace

DCB RegisterLineSettings(DCB dcb) {
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.StopBits = ONESTOPBIT;
  dcb.Parity = MARKPARITY;
  SetControlFlags(dcb);
  dcb.XonLim = 1;
  dcb.XoffLim = 1;
  return dcb;
}

COMMTIMEOUTS RegisterTimeouts() {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = 1;
  timeouts.ReadTotalTimeoutMultiplier = static_cast<DWORD>(ReadTimeoutPerByte);
  timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(ReadTimeoutConstant);
  timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(WriteTimeoutPerByte);
  timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(WriteTimeoutConstant);
  return timeouts;
}

std::string Win32DevicePath(const std::string& device) {
  const std::string prefix = "\\\\.\\";
  return device.compare(0, prefix.size(), prefix) == 0 ? device : prefix + device;
}

// A COM port that another program holds answers ERROR_ACCESS_DENIED (it is opened
// without sharing), not ERROR_SHARING_VIOLATION.
TPortFault OpenFault(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: return TPortFault::Absent;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY: return TPortFault::Busy;
    default: return TPortFault::Other;
  }
}

TOpenedPort TWin32SerialPort::Open(const std::string& device) {
  const HANDLE handle =
      CreateFileA(Win32DevicePath(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return TOpenedPort::Failed(OpenFault(GetLastError()));
  auto port = std::make_unique<TWin32SerialPort>(handle);
  SetupComm(handle, QueueSize, QueueSize);
  port->ApplyLineSettings();
  port->ApplyTimeouts();
  port->Purge();
  EscapeCommFunction(handle, CLRDTR);
  return TOpenedPort::Opened(std::move(port));
}

TWin32SerialPort::~TWin32SerialPort() {
  FullPurge();
  CloseHandle(Handle);
}

// The results are not looked at: a driver that cannot take a setting shows it as a
// missing or wrong answer of the register.
void TWin32SerialPort::ApplyLineSettings() {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  GetCommState(Handle, &dcb);
  dcb = RegisterLineSettings(dcb);
  SetCommState(Handle, &dcb);
}

void TWin32SerialPort::ApplyTimeouts() {
  GetCommTimeouts(Handle, &Timeouts);
  Timeouts = RegisterTimeouts();
  SetCommTimeouts(Handle, &Timeouts);
}

void TWin32SerialPort::SetParity(bool mark) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(Handle, &dcb)) return;
  // SetCommState does not wait for the output queue; the bytes already written must
  // leave with the old parity.
  FlushFileBuffers(Handle);
  dcb.Parity = mark ? MARKPARITY : SPACEPARITY;
  SetCommState(Handle, &dcb);
}

std::size_t TWin32SerialPort::InputQueued() {
  DWORD errors = 0;
  COMSTAT status{};
  // Also clears the line-error state, which would otherwise stop further input.
  if (!ClearCommError(Handle, &errors, &status)) return Queue.size();
  return Queue.size() + status.cbInQue;
}

// A read of one byte under a total time-out alone blocks until a byte is there or
// the time is up. (The documented form that returns with the first of many bytes,
// both interval and multiplier MAXDWORD, is not honoured by every driver: under Wine
// it waits the whole constant.)
void TWin32SerialPort::AwaitInput(TTick timeoutMs, std::size_t /*missing*/) {
  COMMTIMEOUTS wait = Timeouts;
  wait.ReadIntervalTimeout = 0;
  wait.ReadTotalTimeoutMultiplier = 0;
  wait.ReadTotalTimeoutConstant = std::max<DWORD>(WaitTimeout(timeoutMs), 1);  // 0 would mean none at all
  if (!SetCommTimeouts(Handle, &wait)) {
    Sleep(1);
    return;
  }
  const ULONGLONG start = GetTickCount64();
  std::uint8_t byte = 0;
  DWORD got = 0;
  ReadFile(Handle, &byte, 1, &got, nullptr);
  SetCommTimeouts(Handle, &Timeouts);
  if (got == 1) {
    Queue.push_back(byte);
  } else if (GetTickCount64() - start < wait.ReadTotalTimeoutConstant) {
    // A device that fails at once (unplugged, say) would otherwise have the caller
    // ask again and again until its time limit.
    Sleep(1);
  }
}

// WriteFile returns once the driver has taken the bytes; FlushFileBuffers, after the
// driver's output queue has emptied (bounded), has at most the transmitter's last
// characters to wait for. What a UART's or an adapter's own buffer may still be
// sending is left to LineTimeLeftMs, so that no sleep of a millisecond (which Windows
// may stretch to its timer tick) is added to every exchange.
bool TWin32SerialPort::Drain(TTick timeoutMs) {
  const bool emptied = AwaitEmptyOutputQueue(timeoutMs, [this]() -> std::optional<std::size_t> {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(Handle, &errors, &status)) return std::nullopt;
    return status.cbOutQue;
  });
  if (!emptied) return false;
  FlushFileBuffers(Handle);  // some drivers report a failure for a flush they have done
  return true;
}

std::size_t TWin32SerialPort::TakeQueued(std::uint8_t* buffer, std::size_t n) {
  const std::size_t count = std::min(n, Queue.size());
  std::copy_n(Queue.begin(), count, buffer);
  Queue.erase(Queue.begin(), Queue.begin() + static_cast<std::ptrdiff_t>(count));
  return count;
}

void TWin32SerialPort::Purge() {
  PurgeComm(Handle, PURGE_TXCLEAR | PURGE_RXCLEAR);
  Queue.clear();
}

void TWin32SerialPort::FullPurge() {
  PurgeComm(Handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  Queue.clear();
}

std::size_t TWin32SerialPort::ReadBytes(std::uint8_t* buffer, std::size_t n) {
  std::size_t got = TakeQueued(buffer, n);
  if (got == n) return got;
  DWORD read = 0;
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(n - got, MAXDWORD));
  ReadFile(Handle, buffer + got, wanted, &read, nullptr);  // a failed read may still have taken bytes
  return got + read;
}

std::size_t TWin32SerialPort::WriteBytes(const std::uint8_t* bytes, std::size_t n) {
  DWORD written = 0;
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(n, MAXDWORD));
  const auto start = std::chrono::steady_clock::now();
  WriteFile(Handle, bytes, wanted, &written, nullptr);
  Transmitter.Written(written, start);
  return written;
}

std::string DefaultSerialDevice(int portNumber) { return "COM" + std::to_string(portNumber); }

TOpenedPort OpenSerialPort(const std::string& device) { return TWin32SerialPort::Open(device); }
