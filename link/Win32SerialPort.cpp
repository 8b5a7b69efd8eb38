#include "link/Win32SerialPort.h"

#include <algorithm>
#include <climits>

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
}

static_assert(ControlFlags == (0x0001 | 0x0080 | (RTS_CONTROL_HANDSHAKE << 12)));
static_assert(MARKPARITY == 3 && SPACEPARITY == 4);

DWORD WaitTimeout(TTick ms) { return static_cast<DWORD>(std::min<TTick>(ms, MAXDWORD - 1)); }

}  // namespace

std::unique_ptr<TSerialPort> TWin32SerialPort::Open(const std::string& device) {
  const HANDLE handle =
      CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  auto port = std::make_unique<TWin32SerialPort>(handle);
  SetupComm(handle, QueueSize, QueueSize);
  port->ApplyLineSettings();
  port->ApplyTimeouts();
  port->Purge();
  EscapeCommFunction(handle, CLRDTR);
  return port;
}

TWin32SerialPort::~TWin32SerialPort() {
  FullPurge();
  CloseHandle(Handle);
}

void TWin32SerialPort::ApplyLineSettings() {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  GetCommState(Handle, &dcb);
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.StopBits = ONESTOPBIT;
  dcb.Parity = MARKPARITY;
  SetControlFlags(dcb);
  dcb.XonLim = 1;
  dcb.XoffLim = 1;
  SetCommState(Handle, &dcb);
}

void TWin32SerialPort::ApplyTimeouts() {
  GetCommTimeouts(Handle, &Timeouts);
  Timeouts.ReadIntervalTimeout = 1;
  Timeouts.ReadTotalTimeoutMultiplier = static_cast<DWORD>(ReadTimeoutPerByte);
  Timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(ReadTimeoutConstant);
  Timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(WriteTimeoutPerByte);
  Timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(WriteTimeoutConstant);
  SetCommTimeouts(Handle, &Timeouts);
}

void TWin32SerialPort::SetParity(bool mark) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(Handle, &dcb)) return;
  const BYTE wanted = mark ? MARKPARITY : SPACEPARITY;
  if (dcb.Parity == wanted) return;
  // SetCommState does not wait for the output queue; the bytes already written must
  // leave with the old parity.
  FlushFileBuffers(Handle);
  dcb.Parity = wanted;
  SetCommState(Handle, &dcb);
}

std::size_t TWin32SerialPort::InputQueued() {
  DWORD errors = 0;
  COMSTAT status{};
  // Also clears the line-error state, which would otherwise stop further input.
  if (!ClearCommError(Handle, &errors, &status)) return Queue.size();
  return Queue.size() + status.cbInQue;
}

// Under these time-outs ReadFile returns at once with what is queued, or with the
// first byte to arrive, or empty after the constant.
void TWin32SerialPort::AwaitInput(TTick timeoutMs) {
  COMMTIMEOUTS wait = Timeouts;
  wait.ReadIntervalTimeout = MAXDWORD;
  wait.ReadTotalTimeoutMultiplier = MAXDWORD;
  wait.ReadTotalTimeoutConstant = WaitTimeout(timeoutMs);
  if (!SetCommTimeouts(Handle, &wait)) {
    Sleep(1);
    return;
  }
  std::uint8_t chunk[QueueSize];
  DWORD got = 0;
  if (ReadFile(Handle, chunk, sizeof chunk, &got, nullptr) && got > 0) Queue.insert(Queue.end(), chunk, chunk + got);
  SetCommTimeouts(Handle, &Timeouts);
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
  if (ReadFile(Handle, buffer + got, wanted, &read, nullptr)) got += read;
  return got;
}

std::size_t TWin32SerialPort::WriteBytes(const std::uint8_t* bytes, std::size_t n) {
  DWORD written = 0;
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(n, MAXDWORD));
  WriteFile(Handle, bytes, wanted, &written, nullptr);
  return written;
}

std::string SerialDeviceName(int portNumber) { return "COM" + std::to_string(portNumber); }

std::unique_ptr<TSerialPort> OpenSerialPort(int portNumber) {
  if (portNumber < FirstPortNumber || portNumber > LastPortNumber) return nullptr;
  return TWin32SerialPort::Open(SerialDeviceName(portNumber));
}
