#include "link/TKkmLink.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstdio>
#include <future>
#include <utility>

namespace {

struct TReasonTexts {
  const char* Trace;
  const char* Words;
};

const char* const WrongAnswer = "ККМ ответила неверно";

TReasonTexts TextsOf(TFailureReason reason) {
  switch (reason) {
    case TFailureReason::None: return {"none", ""};
    case TFailureReason::NoPort: return {"no port", "порт не открыт"};
    case TFailureReason::Refused: return {"refused", "команда не может быть передана"};
    case TFailureReason::OutputStuck: return {"output stuck", "порт перестал передавать"};
    case TFailureReason::NoEcho: return {"no echo", "ККМ не ответила на свой адрес"};
    case TFailureReason::WrongEcho: return {"wrong echo", WrongAnswer};
    case TFailureReason::NoAcknowledgement: return {"no acknowledgement", "ККМ не подтвердила прием"};
    case TFailureReason::WrongAcknowledgement: return {"wrong acknowledgement", WrongAnswer};
    case TFailureReason::BusyTooLong: return {"busy too long", "ККМ занята слишком долго"};
    case TFailureReason::ShortReply: return {"short reply", "ответ ККМ неполный"};
    case TFailureReason::ReplyChecksum: return {"reply checksum", "ответ ККМ искажен"};
    case TFailureReason::PortRemoved: return {"port removed", "порт отключен от компьютера"};
  }
  return {"unknown", ""};
}

}  // namespace

const char* FailureReasonText(TFailureReason reason) { return TextsOf(reason).Trace; }

const char* FailureReasonWords(TFailureReason reason) { return TextsOf(reason).Words; }

std::string TOperationName::Text() const {
  std::string text = Name;
  char number[16];
  if (Address >= 0) {
    std::snprintf(number, sizeof number, " 0x%04X", static_cast<unsigned>(Address));
    text += number;
  }
  if (Count >= 0) text += " " + std::to_string(Count);
  return text;
}

TKkmLink::TKkmLink(TClock& clock, TPortOpener opener) : LinkClock(clock), Opener(std::move(opener)) {}

// Opening some ports (a Bluetooth one on Windows) can take seconds; the window paints
// meanwhile. The opener then runs on a thread of its own and shares nothing else.
TOpenedPort TKkmLink::OpenPumping(const std::string& device) {
  if (!Pump) return Opener(device);
  auto opening = std::async(std::launch::async, Opener, device);
  while (opening.wait_for(std::chrono::milliseconds(PumpIntervalMs)) != std::future_status::ready) Pump();
  return opening.get();
}

bool TKkmLink::OpenPort(const std::string& device) {
  ClosePort();
  Install(device, OpenPumping(device));
  return Port != nullptr;
}

void TKkmLink::AdoptPort(const std::string& device, std::unique_ptr<TSerialPort> port) {
  ClosePort();
  Install(device, TOpenedPort::Opened(std::move(port)));
}

// The trace's watching port, where there is one, stays with this link and its trace.
std::unique_ptr<TSerialPort> TKkmLink::ReleasePort() {
  std::unique_ptr<TSerialPort> port = std::move(Port);
  if (port && Traced) port = static_cast<TForwardingPort&>(*port).Release();
  ClosePort();
  return port;
}

void TKkmLink::Install(const std::string& device, TOpenedPort opened) {
  Removed = false;
  Traced = false;
  Port = std::move(opened.Port);
  const TPortFault fault = opened.Fault == TPortFault::None ? TPortFault::Other : opened.Fault;
  OpenFault = TOpenedPort::Failed(Port ? TPortFault::None : fault, std::move(opened.Group));
  const std::string traceFile = TraceFile.empty() ? TraceFileFromEnvironment() : TraceFile;
  LineTrace.Start(LinkClock);
  if (!traceFile.empty()) LineTrace.Open(traceFile);
  if (LineTrace.IsOpen()) {
    Trace("open " + device + (Port ? "" : ": cannot be opened"));
    if (Port) Port = TracedPort(std::move(Port), LineTrace);
    Traced = Port != nullptr;
  }
  if (!Port) Failure = {TFailureReason::NoPort, "OpenPort " + device};
}

void TKkmLink::ClosePort() {
  if (Port) Trace("close");
  Port.reset();
  Removed = false;
  LineTrace.Close();
}

// The port, unless it has none or it has just said its device is gone; then it is
// closed here and now, and the trace stays open for the failure that follows.
TSerialPort* TKkmLink::LivePort() {
  if (Port && Port->Removed()) {
    Trace("removed");
    Port.reset();
    Removed = true;
  }
  return Port.get();
}

void TKkmLink::SetParity(bool mark) {
  if (TSerialPort* port = LivePort()) port->SetParity(mark);
}

std::size_t TKkmLink::InputQueued() {
  TSerialPort* port = LivePort();
  return port ? port->InputQueued() : 0;
}

// With a pump, the wait is cut into slices of at most PumpIntervalMs, with the pump
// between them.
// Where painting has run past the end of the window, the queue is looked at once more
// before the window is declared over: time spent painting never turns an answer that
// came in time into a missing one.
bool TKkmLink::WaitForInput(std::size_t count, TTick timeoutMs) {
  const TTick start = LinkClock.Now();
  bool painted = false;
  for (;;) {
    const TTick elapsed = LinkClock.Now() - start;
    if (elapsed > timeoutMs) return painted && InputQueued() >= count;
    const std::size_t queued = InputQueued();
    if (queued >= count) return true;
    if (Stopped() || Removed) return false;
    const TTick slice = Slice(timeoutMs - elapsed + 1);
    if (TSerialPort* port = LivePort()) {
      port->AwaitInput(slice, count - queued);
    } else {
      LinkClock.SleepUntil(LinkClock.Now() + slice);
    }
    painted = PumpIfDue();
  }
}

// Without a pump a wait is not cut at all.
TTick TKkmLink::Slice(TTick rest) const { return Pump ? std::min(rest, PumpIntervalMs) : rest; }

bool TKkmLink::PumpIfDue() {
  if (!Pump || LinkClock.Now() - LastPump < PumpIntervalMs) return false;
  Pump();
  LastPump = LinkClock.Now();
  return true;
}

bool TKkmLink::WaitForAnswer(std::size_t count, TTick limitMs) {
  const TTick stillSending = std::exchange(LineTimeLeftMs, 0);
  TSerialPort* port = LivePort();
  return WaitForInput(count, limitMs + stillSending + (port ? port->InputLatencyMs() : 0));
}

void TKkmLink::WaitMoreThan(TTick ms) {
  const TTick start = LinkClock.Now();
  while (LinkClock.Now() - start <= ms) {
    LinkClock.SleepUntil(LinkClock.Now() + Slice(start + ms + 1 - LinkClock.Now()));
    PumpIfDue();
  }
}

void TKkmLink::Delay(TTick ms) { WaitMoreThan(ms + 1); }

void TKkmLink::Pause(TTick ms) { WaitMoreThan(ms); }

void TKkmLink::Purge() {
  if (TSerialPort* port = LivePort()) port->Purge();
}

void TKkmLink::FullPurge() {
  if (TSerialPort* port = LivePort()) port->FullPurge();
}

// The port's own read may block for its whole time limit; with a pump the bytes are
// waited for here, in slices, under the same limit, and then only what came is read.
std::size_t TKkmLink::ReadBytes(std::uint8_t* buffer, std::size_t n) {
  if (!LivePort()) return 0;
  if (!Pump) return Port->ReadBytes(buffer, n);
  WaitForInput(n, ReadTimeLimit(n) - 1);  // over once the limit has passed, as the port's own read
  const std::size_t queued = std::min(n, InputQueued());
  return queued == 0 || !LivePort() ? 0 : Port->ReadBytes(buffer, queued);
}

std::size_t TKkmLink::WriteBytes(const std::uint8_t* bytes, std::size_t n) {
  TSerialPort* port = LivePort();
  return port ? port->WriteBytes(bytes, n) : 0;
}

bool TKkmLink::Send(const std::uint8_t* bytes, std::size_t n) {
  if (!LivePort()) return Fail(TFailureReason::NoPort);
  // A port gone meanwhile turns the failure into PortRemoved (Fail).
  if (WriteBytes(bytes, n) != n || !LivePort() || !Port->Drain(DrainTimeLimit(n)) || !LivePort())
    return Fail(TFailureReason::OutputStuck);
  LineTimeLeftMs = Port->LineTimeLeftMs();
  return true;
}

std::string TKkmLink::OperationsUnderWay() const {
  std::string text;
  for (const TOperationName& operation : Operations) {
    if (!text.empty()) text += " / ";
    text += operation.Text();
  }
  return text;
}

bool TKkmLink::Fail(TFailureReason reason) {
  // Whatever went wrong after the device went away went wrong because of it.
  if (LivePort() == nullptr && Removed) reason = TFailureReason::PortRemoved;
  Failure = {reason, OperationsUnderWay()};
  if (LineTrace.IsOpen()) Trace(std::string("failure: ") + FailureReasonText(reason) + " in " + Failure.Exchange);
  return false;
}

void TKkmLink::Begin(const TOperationName& name) {
  if (Operations.empty()) Failure = {};
  Operations.push_back(name);
  if (LineTrace.IsOpen()) Trace("begin " + name.Text());
}

bool TKkmLink::End(bool ok) {
  assert(!Operations.empty());
  if (LineTrace.IsOpen()) Trace("end " + Operations.back().Text() + (ok ? ": ok" : ": failed"));
  Operations.pop_back();
  return ok;
}
