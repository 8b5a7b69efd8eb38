#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "link/LineTrace.h"
#include "link/SerialPort.h"

// Why a link operation failed: for the trace, and for the second line of the box that
// tells the user the link was lost.
enum class TFailureReason {
  None,
  NoPort,                // no port open, or it could not be opened
  Refused,               // nothing sent: the request has no frame (too long, above the block limit)
  OutputStuck,           // the bytes were not all taken, or did not leave the PC in time
  NoEcho,                // the address (or probe candidate) was not echoed in time
  WrongEcho,             // another byte came back instead
  NoAcknowledgement,     // the frame's checksum did not come back in time
  WrongAcknowledgement,  // another byte came back instead
  BusyTooLong,           // the register kept answering busy before a block write
  ShortReply,            // fewer reply bytes than asked for came in time
  ReplyChecksum,         // the reply came whole but its checksum is wrong
  PortRemoved,           // the port that was working is gone (a USB adapter pulled out)
};

// "no echo", "wrong acknowledgement"..., for the trace.
const char* FailureReasonText(TFailureReason reason);
// The same in plain Russian, as the user is told it: "ККМ не ответила на свой адрес"...;
// empty for None.
const char* FailureReasonWords(TFailureReason reason);

struct TLinkFailure {
  TFailureReason Reason = TFailureReason::None;
  std::string Exchange;  // the operation it happened in: "WriteMemory 0x0402 1"
};

// An operation of the link as the trace and the failure record name it: the name and,
// where it has them, the address and count ("ReadMemory 0x1A88 16").
struct TOperationName {
  const char* Name;
  int Address = -1;
  int Count = -1;

  std::string Text() const;
};

// The one serial link of the program, shared by everything that talks to the
// register. It owns the open port, if any, the failure record and the line trace;
// the frame, probe and version code build every exchange from these operations.
class TKkmLink {
 public:
  explicit TKkmLink(TClock& clock = SteadyClock(), TPortOpener opener = OpenSerialPort);
  TKkmLink(const TKkmLink&) = delete;
  TKkmLink& operator=(const TKkmLink&) = delete;
  ~TKkmLink() = default;  // the port closes with it

  // Opens the device ("COM7", "/dev/ttyUSB0") with the register's line settings, MARK
  // parity, DTR cleared. The port held so far is closed first, so that reopening the
  // same device is not refused as held. Returns false when the device could not be
  // opened; PortFault then says why. With ORBI7_TRACE set, the trace of this port
  // starts here.
  bool OpenPort(const std::string& device);
  // Takes over a port that another link opened on the device (a search's), as an
  // OpenPort that succeeded: no close and reopen, which a Windows driver may refuse.
  void AdoptPort(const std::string& device, std::unique_ptr<TSerialPort> port);
  // Gives up the open port to another link; this one is left without a port.
  std::unique_ptr<TSerialPort> ReleasePort();
  TPortFault PortFault() const { return OpenFault.Fault; }
  const std::string& PortGroup() const { return OpenFault.Group; }
  // Harmless when no port is open.
  void ClosePort();
  bool IsOpen() const { return Port != nullptr; }
  // The port reported its device gone and was closed at once, so that the system can
  // give a replugged adapter its name back; every failure since is PortRemoved, until
  // the next OpenPort or ClosePort.
  bool PortRemoved() const { return Removed; }

  void SetParity(bool mark);

  // True as soon as count bytes wait in the input queue; false once more than
  // timeoutMs milliseconds have passed first (exactly timeoutMs still waits). The
  // bytes stay queued.
  bool WaitForInput(std::size_t count, TTick timeoutMs);
  // The same over an answer window: the register's limit plus what the last Send
  // may still have on the wire plus the time the port's device may hold the answer
  // before the PC sees it.
  bool WaitForAnswer(std::size_t count, TTick limitMs);
  std::size_t InputQueued();

  // Delay returns once more than ms + 1 milliseconds have passed, Pause once more
  // than ms.
  void Delay(TTick ms);
  void Pause(TTick ms);

  void Purge();
  void FullPurge();

  // Plain reads and writes under the port's time limits; callers may ignore the
  // counts. Without a port nothing is read or written.
  std::size_t ReadBytes(std::uint8_t* buffer, std::size_t n);
  std::size_t WriteBytes(const std::uint8_t* bytes, std::size_t n);
  // Writes the bytes and waits until they have left the PC, so that the answer window
  // that follows (WaitForAnswer) starts at the end of what it answers. False, recorded
  // as a failure, without a port, when not all were taken, or when they did not leave
  // in time.
  bool Send(const std::uint8_t* bytes, std::size_t n);

  // Records the reason with the operation under way, traces it, and returns false,
  // so that a failing step can end with `return link.Fail(...)`.
  bool Fail(TFailureReason reason);
  // The last failure since the outermost operation under way began (or the last one
  // ended); Reason None when there was none.
  const TLinkFailure& LastFailure() const { return Failure; }

  // Called at least every PumpIntervalMs while the link waits (for input, in a pause,
  // for a port to open), so that a window can paint meanwhile. Never inside a call
  // that the system may hold longer than that.
  void SetPump(std::function<void()> pump) { Pump = std::move(pump); }

  // A search that no longer needs this link sets the flag; every wait then ends at
  // once, and the probe tries no further candidate.
  void SetStopFlag(const std::atomic<bool>* stop) { Stop = stop; }
  bool Stopped() const { return Stop != nullptr && Stop->load(); }

  // Where the trace of each port opened from now on goes, instead of the file that
  // ORBI7_TRACE names.
  void SetTraceFile(std::string path) { TraceFile = std::move(path); }

  // The link's events from now on go to the command's trace in the ring too, with the
  // bytes of every port it opens from now on.
  void TraceCommand(TTraceRing& ring, TTraceRing::TId id) { LineTrace.KeepIn(ring, id); }

  // A line for the trace; nothing without one.
  void Trace(const std::string& event) { LineTrace.Event(event); }

  TClock& Clock() { return LinkClock; }

  // The register the frames go to: the address byte the probe found and the version
  // the query gave (104 for 1.0.4); 0 until then. Only connecting sets them: the probe
  // and the query themselves, or a connect to a register that a search has found.
  std::uint8_t KkmAddress() const { return Address; }
  std::int32_t FirmwareVersion() const { return Version; }
  void UseRegister(std::uint8_t address, std::int32_t version) {
    Address = address;
    Version = version;
  }

  // Request frames that began to leave the PC, counted by the frame code: whatever a
  // write's frame carried may have reached the register once its count has moved.
  std::uint64_t FramesSent = 0;

 private:
  friend class TLinkOperation;
  friend bool ProbeAddress(TKkmLink& link);
  friend bool QueryVersion(TKkmLink& link);
  void Begin(const TOperationName& name);
  bool End(bool ok);
  std::string OperationsUnderWay() const;
  void WaitMoreThan(TTick ms);
  bool PumpIfDue();
  TTick Slice(TTick rest) const;
  TOpenedPort OpenPumping(const std::string& device);
  TSerialPort* LivePort();
  void Install(const std::string& device, TOpenedPort opened);

  TClock& LinkClock;
  TPortOpener Opener;
  TLineTrace LineTrace;
  std::unique_ptr<TSerialPort> Port;
  TOpenedPort OpenFault;  // of the last OpenPort, without its port
  std::vector<TOperationName> Operations;
  TLinkFailure Failure;
  TTick LineTimeLeftMs = 0;  // of the last Send, for the answer window after it
  std::function<void()> Pump;
  TTick LastPump = 0;
  const std::atomic<bool>* Stop = nullptr;
  std::uint8_t Address = 0;
  std::int32_t Version = 0;
  bool Removed = false;
  bool Traced = false;  // the port is the trace's watching port around the device's
  std::string TraceFile;
};

// One operation on the link, from its start to its result: the trace gets both, and
// a failure inside names it (nested in whatever operation called it).
class TLinkOperation {
 public:
  TLinkOperation(TKkmLink& link, const TOperationName& name) : Link(link) { Link.Begin(name); }
  TLinkOperation(const TLinkOperation&) = delete;
  TLinkOperation& operator=(const TLinkOperation&) = delete;
  ~TLinkOperation() {
    if (!Ended) Link.End(false);
  }

  // Ends it with that result, which it returns.
  bool Result(bool ok) {
    Ended = true;
    return Link.End(ok);
  }

 private:
  TKkmLink& Link;
  bool Ended = false;
};
