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
static_assert(NOPARITY == 0 && MARKPARITY == 3 && SPACEPARITY == 4);

constexpr char XonCharacter = 0x11;
constexpr char XoffCharacter = 0x13;
// A parity no device control block holds: after a switch the driver refused, so that
// the next switch is made whichever parity it asks for.
constexpr BYTE UnknownParity = 0xFF;

// Whether the driver holds what was set, as far as its read-back tells. Wine on a
// pseudo-terminal (8.0 here) sets MARK and SPACE and says so, and the terminal keeps
// them as stick parity, but the terminal drops PARENB, and Wine's GetCommState then
// leaves Parity unset (8 was read back). So a read-back that names no parity at all
// tells nothing, and SetCommState's own result stands; one that names another parity
// (a driver that quietly fell back to none, say) refuses the setting.
bool DriverHolds(const TCommCalls& calls, HANDLE handle, const DCB& set) {
  DCB held{};
  held.DCBlength = sizeof held;
  if (!calls.GetCommState(handle, &held)) return false;
  const bool parityKept = held.Parity == set.Parity || held.Parity > SPACEPARITY;
  return held.BaudRate == set.BaudRate && held.ByteSize == set.ByteSize && held.StopBits == set.StopBits && parityKept;
}

bool Applied(const TCommCalls& calls, HANDLE handle, const DCB& dcb) {
  DCB copy = dcb;
  return calls.SetCommState(handle, &copy) && DriverHolds(calls, handle, dcb);
}

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
  dcb.XonChar = XonCharacter;
  dcb.XoffChar = XoffCharacter;
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

namespace {

// Only a removed device answers so.
constexpr DWORD SureRemoval[] = {ERROR_DEVICE_REMOVED, ERROR_BAD_COMMAND};
// A pulled adapter's driver may answer so too, but so may one that had a passing fault.
constexpr DWORD LikelyRemoval[] = {ERROR_GEN_FAILURE, ERROR_OPERATION_ABORTED, ERROR_ACCESS_DENIED};

bool IsIn(DWORD error, const auto& errors) {
  return std::find(std::begin(errors), std::end(errors), error) != std::end(errors);
}

}  // namespace

// ERROR_DEVICE_REMOVED, ERROR_BAD_COMMAND, ERROR_GEN_FAILURE, ERROR_OPERATION_ABORTED
// and ERROR_ACCESS_DENIED: each USB serial driver has its own way of saying it.
bool IsRemovalError(DWORD error) { return IsIn(error, SureRemoval) || IsIn(error, LikelyRemoval); }

// An error that may be a passing one counts only when the port's status cannot be had
// either, for the same reason.
void TWin32SerialPort::NoteFailure() {
  const DWORD error = GetLastError();
  if (Gone || !IsRemovalError(error)) return;
  DWORD errors = 0;
  COMSTAT status{};
  Gone =
      IsIn(error, SureRemoval) || (!Calls.ClearCommError(Handle, &errors, &status) && IsRemovalError(GetLastError()));
}

TOpenedPort TWin32SerialPort::Open(const std::string& device, const TCommCalls& calls) {
  const HANDLE handle = calls.CreateFileA(Win32DevicePath(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return TOpenedPort::Failed(OpenFault(GetLastError()));
  auto port = std::make_unique<TWin32SerialPort>(handle, calls);
  // The queue sizes are a recommendation; a driver that declines it works with queues
  // of its own size.
  calls.SetupComm(handle, QueueSize, QueueSize);
  if (const TPortFault fault = port->ApplyLineSettings(); fault != TPortFault::None) return TOpenedPort::Failed(fault);
  // Without its time-outs a read could wait for ever.
  port->Timeouts = RegisterTimeouts();
  if (!calls.SetCommTimeouts(handle, &port->Timeouts)) return TOpenedPort::Failed(TPortFault::Other);
  port->Purge();
  // The control block has DTR off already; Wine on a pseudo-terminal refuses this
  // call, which changes nothing there.
  calls.EscapeCommFunction(handle, CLRDTR);
  // Since Windows 10 2004 a program that does not ask for a finer timer gets the
  // default tick of 15.6 ms in its sleeps and time-outs, whatever other programs ask
  // for; the link waits in steps of a few milliseconds. Asked for only while a port is
  // open, since a finer tick costs the whole machine power.
  port->FineTimer = calls.TimeBeginPeriod(1) == TIMERR_NOERROR;
  return TOpenedPort::Opened(std::move(port));
}

TWin32SerialPort::~TWin32SerialPort() {
  FullPurge();
  Calls.CloseHandle(Handle);
  if (FineTimer) Calls.TimeEndPeriod(1);
}

// The line settings first without parity, so that a driver that refuses them is told
// from one that refuses only stick parity; then SPACE and MARK, each read back. The
// port is left with MARK.
TPortFault TWin32SerialPort::ApplyLineSettings() {
  DCB reported{};
  reported.DCBlength = sizeof reported;
  if (!Calls.GetCommState(Handle, &reported)) return TPortFault::Other;
  Dcb = RegisterLineSettings(reported);
  Dcb.Parity = NOPARITY;
  if (!Applied(Calls, Handle, Dcb)) return TPortFault::Other;
  for (const BYTE parity : {SPACEPARITY, MARKPARITY}) {
    Dcb.Parity = parity;
    if (!Applied(Calls, Handle, Dcb)) return TPortFault::NoStickParity;
  }
  return TPortFault::None;
}

// SetCommState reinitialises the whole device, on a USB adapter with several control
// transfers each time, so a switch changes the parity alone and only when it differs.
// Neither a GetCommState (the control block is kept here) nor a FlushFileBuffers
// before it is needed: the protocol switches only after an echo, an acknowledgement
// or a purge, and every send has drained its bytes, so no byte of the old parity is
// still under way.
void TWin32SerialPort::SetParity(bool mark) {
  const BYTE parity = mark ? MARKPARITY : SPACEPARITY;
  if (Dcb.Parity == parity) return;
  DCB next = Dcb;
  next.Parity = parity;
  const bool set = Calls.SetCommState(Handle, &next);
  if (!set) NoteFailure();
  Dcb.Parity = set ? parity : UnknownParity;
}

std::size_t TWin32SerialPort::InputQueued() {
  DWORD errors = 0;
  COMSTAT status{};
  // Also clears the line-error state, which would otherwise stop further input.
  if (!Calls.ClearCommError(Handle, &errors, &status)) {
    NoteFailure();
    return Queue.size();
  }
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
  if (!Calls.SetCommTimeouts(Handle, &wait)) {
    NoteFailure();
    if (!Gone) Sleep(1);
    return;
  }
  const ULONGLONG start = GetTickCount64();
  std::uint8_t byte = 0;
  DWORD got = 0;
  if (!Calls.ReadFile(Handle, &byte, 1, &got, nullptr)) NoteFailure();
  Calls.SetCommTimeouts(Handle, &Timeouts);
  if (got == 1) {
    Queue.push_back(byte);
  } else if (!Gone && GetTickCount64() - start < wait.ReadTotalTimeoutConstant) {
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
    if (!Calls.ClearCommError(Handle, &errors, &status)) {
      NoteFailure();
      return std::nullopt;
    }
    return status.cbOutQue;
  });
  if (!emptied) return false;
  Calls.FlushFileBuffers(Handle);  // some drivers report a failure for a flush they have done
  return true;
}

std::size_t TWin32SerialPort::TakeQueued(std::uint8_t* buffer, std::size_t n) {
  const std::size_t count = std::min(n, Queue.size());
  std::copy_n(Queue.begin(), count, buffer);
  Queue.erase(Queue.begin(), Queue.begin() + static_cast<std::ptrdiff_t>(count));
  return count;
}

void TWin32SerialPort::Purge() {
  Calls.PurgeComm(Handle, PURGE_TXCLEAR | PURGE_RXCLEAR);
  Queue.clear();
}

void TWin32SerialPort::FullPurge() {
  Calls.PurgeComm(Handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  Queue.clear();
}

std::size_t TWin32SerialPort::ReadBytes(std::uint8_t* buffer, std::size_t n) {
  std::size_t got = TakeQueued(buffer, n);
  if (got == n) return got;
  DWORD read = 0;
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(n - got, MAXDWORD));
  // A failed read may still have taken bytes.
  if (!Calls.ReadFile(Handle, buffer + got, wanted, &read, nullptr)) NoteFailure();
  return got + read;
}

std::size_t TWin32SerialPort::WriteBytes(const std::uint8_t* bytes, std::size_t n) {
  DWORD written = 0;
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(n, MAXDWORD));
  const auto start = std::chrono::steady_clock::now();
  if (!Calls.WriteFile(Handle, bytes, wanted, &written, nullptr)) NoteFailure();
  Transmitter.Written(written, start);
  return written;
}

std::string DefaultSerialDevice(int portNumber) { return "COM" + std::to_string(portNumber); }

TOpenedPort OpenSerialPort(const std::string& device) { return TWin32SerialPort::Open(device); }
