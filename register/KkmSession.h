#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "document/RuleView.h"
#include "document/TKkmSettings.h"
#include "link/TKkmLink.h"
#include "register/Connect.h"
#include "register/Firmware.h"
#include "register/PortSearch.h"
#include "register/TransferCommands.h"
#include "register/WindowView.h"
#include "register/WriteBackup.h"

// Where the program stands with the register: none connected, one connected, a command
// under way with it, or the link to it lost (and why).
enum class TSessionState { NoRegister, Connected, Busy, Lost };

// What a broken write, repeated, waits with while it looks for its register: where to
// look, and a way for the user to give up.
class TRegisterWait {
 public:
  // The wait begins; text says for which register ("Ожидание ККМ № 37…").
  virtual void Begin(const std::string& text) = 0;
  // The devices to look on, asked anew at each round: a replugged adapter may come
  // back under another name.
  virtual std::vector<std::string> Devices() = 0;
  // Called at least every 100 ms while looking; true once the user has given up.
  virtual bool Cancelled() = 0;
  virtual void End() = 0;

 protected:
  ~TRegisterWait() = default;
};

// How long a broken write's repeat waits for its register to come back.
inline constexpr int RegisterWaitSeconds = 30;

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
  // A write that broke off after it changed the register offers, in its box, to write
  // again ("Повторить запись"): the register with the same number and firmware is
  // looked for on every port, waiting for it (TRegisterWait), connected to, and
  // written again without the question, the backup of the first attempt standing. A
  // register with another number or firmware is never written to.
  bool Write(TKkmSettings& settings, TWindowView& view, TRuleView& rules, TWriteBackup& backup);
  bool Compare(const TKkmSettings& settings, TWindowView& view, TRuleView& rules);

  // How the read and the write exchange the settings; fast unless asked otherwise.
  void SetTransferWay(TTransferWay way) { Way = way; }
  TTransferWay TransferWay() const { return Way; }

  // Where a repeated write waits; without one, a broken write's box offers no repeat.
  void SetRegisterWait(TRegisterWait* wait) { Wait = wait; }
  // How a search makes the link of each port it looks on.
  void SetSearchLinks(TPortSearch::TLinkMaker maker) { SearchLinks = std::move(maker); }

  // The link itself, for its pump, its trace and the tests; the connection is not
  // made or changed through it.
  TKkmLink& Link() { return KkmLink; }
  const TKkmLink& Link() const { return KkmLink; }

 private:
  class TLossWatch;

  void Enter(TSessionState state, std::string command = {}, TFailureReason reason = TFailureReason::None);
  bool Connected(const std::optional<TKkmConnection>& connection);
  void BeginTrace(const std::string& name, const std::string& device);
  template <typename TCommand>
  bool Run(const char* name, TWindowView& view, TCommand command);
  bool WriteOnce(TKkmSettings& settings, TWindowView& view, TRuleView& rules, TWriteBackup& backup,
                 const TRepeatedWrite* repeat);
  bool Repeat(const TKkmConnection& broken, const std::string& backupFile, TKkmSettings& settings, TWindowView& view,
              TRuleView& rules, TWriteBackup& backup);
  // The register found on some port, or nothing once the user gave up (cancelled) or
  // the time ran out.
  std::optional<TFoundKkm> AwaitRegister(bool& cancelled);

  TKkmLink KkmLink;
  TKkmConnection Kkm;
  TSessionState Now = TSessionState::NoRegister;
  std::string Command;
  TFailureReason Reason = TFailureReason::None;
  std::function<void()> Watcher;
  TRegisterWait* Wait = nullptr;
  TPortSearch::TLinkMaker SearchLinks;
  bool RetryAsked = false;  // by the last command's box
  TTransferWay Way = TTransferWay::Fast;
};

// The connection part of the status bar: "COM3 · ККМ № 37 · ПО 1.0.4" while a register
// is connected (or busy), empty otherwise; shortened, with the device's last path part
// alone ("ttyUSB0").
std::string SessionText(const TKkmSession& session, bool shortened = false);
