#pragma once

#include <functional>
#include <string>

#include "document/RuleView.h"
#include "document/TKkmSettings.h"
#include "link/TKkmLink.h"
#include "register/Connect.h"
#include "register/Firmware.h"
#include "register/WindowView.h"
#include "register/WriteBackup.h"

// Where the program stands with the register: none connected, one connected, a command
// under way with it, or the link to it lost (and why).
enum class TSessionState { NoRegister, Connected, Busy, Lost };

// The register session: the one link of the program, the register it is connected to,
// and the one state of that connection, which the window and the console both render.
// Connecting, the search's outcome, reading, writing and comparing all go through it;
// nothing else changes the connection.
class TKkmSession {
 public:
  explicit TKkmSession(TClock& clock = SteadyClock(), TPortOpener opener = OpenSerialPort);
  TKkmSession(const TKkmSession&) = delete;
  TKkmSession& operator=(const TKkmSession&) = delete;

  TSessionState State() const { return Now; }
  // The register connected; the one a command is busy with; none otherwise.
  const TKkmConnection& Connection() const { return Kkm; }
  // Why the link was lost, in state Lost.
  TFailureReason LostReason() const { return Reason; }
  // The command under way, in state Busy: "connect", "read", "write", "compare".
  const std::string& BusyWith() const { return Command; }
  // Whether the commands that need a register may run.
  bool HasRegister() const { return Now == TSessionState::Connected; }

  // Called after every change of state, for a view that renders it.
  void SetWatcher(std::function<void()> watcher) { Watcher = std::move(watcher); }

  // The port dialog's connect: the register connected before is forgotten first.
  bool Connect(const std::string& device, TConnectView& view);
  // Connects to a register that a search has found, without asking it again.
  bool ConnectFound(TFoundKkm found, TConnectView& view);
  // Forgets the register and closes its port, so that a search can open it.
  void Forget();

  bool Read(TKkmSettings& settings, TWindowView& view);
  bool Write(TKkmSettings& settings, TWindowView& view, TRuleView& rules, TWriteBackup& backup);
  bool Compare(const TKkmSettings& settings, TWindowView& view, TRuleView& rules);

  // The link itself, for its pump, its trace and the tests; the connection is not
  // made or changed through it.
  TKkmLink& Link() { return KkmLink; }
  const TKkmLink& Link() const { return KkmLink; }

 private:
  class TLossWatch;

  void Enter(TSessionState state, std::string command = {}, TFailureReason reason = TFailureReason::None);
  bool Connected(const std::optional<TKkmConnection>& connection);
  template <typename TCommand>
  bool Run(const char* name, TWindowView& view, TCommand command);

  TKkmLink KkmLink;
  TKkmConnection Kkm;
  TSessionState Now = TSessionState::NoRegister;
  std::string Command;
  TFailureReason Reason = TFailureReason::None;
  std::function<void()> Watcher;
};

// The connection part of the status bar: "COM3 · ККМ № 37 · ПО 1.0.4" while a register
// is connected (or busy), empty otherwise; shortened, with the device's last path part
// alone ("ttyUSB0").
std::string SessionText(const TKkmSession& session, bool shortened = false);
