#include "register/KkmSession.h"

#include <chrono>
#include <thread>
#include <utility>

#include "link/KkmConnect.h"

namespace {

const char* const NotRepeated = " Запись не повторена.";

// The boxes' answers pass through; a broken write's "Повторить запись" is noted.
class TAnswerWatch final : public TUserMessages {
 public:
  explicit TAnswerWatch(TUserMessages& messages) : Messages(messages) {}
  TAnswer Show(TMessageKind kind, const std::string& text) override {
    const TAnswer answer = Messages.Show(kind, text);
    Retry = Retry || answer == TAnswer::Retry;
    return answer;
  }

  bool Retry = false;

 private:
  TUserMessages& Messages;
};

struct TBoxesOnly final : TConnectView {
  explicit TBoxesOnly(TWindowView& view) : View(view) {}
  TUserMessages& Messages() override { return View.Messages(); }
  void Ended(TCommandEnd end) override {
    if (end != TCommandEnd::Done) View.Ended(end);
  }
  TWindowView& View;
};

// "ККМ № 37", with " с ПО 1.0.4" where the firmware tells two registers apart.
std::string RegisterWords(const TKkmConnection& connection, bool withFirmware) {
  const std::string words = "ККМ № " + KkmNumberText(connection.Address);
  return withFirmware ? words + " с ПО " + DottedVersion(connection.Version) : words;
}

}  // namespace

// Passes everything on to the command's own view. When a command has lost the link,
// the session is lost with the link's reason before the view turns read and write
// off, so that the view renders the new state.
class TKkmSession::TLossWatch final : public TWindowView {
 public:
  TLossWatch(TKkmSession& session, TWindowView& view) : Answers(view.Messages()), Session(session), View(view) {}

  TUserMessages& Messages() override { return Answers; }
  void SetStatus(const std::string& text) override { View.SetStatus(text); }
  void SetAll() override { View.SetAll(); }
  void ButtonEnabled() override { View.ButtonEnabled(); }
  void ButtonDisabled() override { View.ButtonDisabled(); }
  void LinkLost() override {
    Lost = true;
    Session.Enter(TSessionState::Lost, {}, Session.KkmLink.LastFailure().Reason);
    View.LinkLost();
  }
  void DisableToolbarAndPages() override { View.DisableToolbarAndPages(); }
  void RepaintToolbar() override { View.RepaintToolbar(); }
  void ProcessMessages() override { View.ProcessMessages(); }
  void SetProgress(int done, int total) override { View.SetProgress(done, total); }
  void ShowGroupCell(int g, TGroupField field) override { View.ShowGroupCell(g, field); }
  void ShowComparison(const std::vector<std::string>& lines) override { View.ShowComparison(lines); }
  void ShowDifferences(const std::vector<TSettingsChange>& changes) override { View.ShowDifferences(changes); }
  void Ended(TCommandEnd end) override { View.Ended(end); }

  bool Lost = false;
  TAnswerWatch Answers;

 private:
  TKkmSession& Session;
  TWindowView& View;
};

TKkmSession::TKkmSession(TClock& clock, TPortOpener opener)
    : KkmLink(clock, opener),
      SearchLinks([&clock, opener](const std::string&) { return std::make_unique<TKkmLink>(clock, opener); }) {}

void TKkmSession::Enter(TSessionState state, std::string command, TFailureReason reason) {
  Now = state;
  Command = std::move(command);
  Reason = reason;
  if (state == TSessionState::NoRegister || state == TSessionState::Lost) Kkm = {};
  if (Watcher) Watcher();
}

bool TKkmSession::Connected(const std::optional<TKkmConnection>& connection) {
  if (connection) Kkm = *connection;
  Enter(connection ? TSessionState::Connected : TSessionState::NoRegister);
  return connection.has_value();
}

// Each command's line trace is kept in the program's ring, under its name and port.
void TKkmSession::BeginTrace(const std::string& name, const std::string& device) {
  KkmLink.TraceCommand(ProgramTraces(), ProgramTraces().Begin(name + " " + device));
}

bool TKkmSession::Connect(const std::string& device, TConnectView& view) {
  Kkm = {};
  BeginTrace("connect", device);
  Enter(TSessionState::Busy, "connect");
  return Connected(::Connect(KkmLink, device, view));
}

bool TKkmSession::ConnectFound(TFoundKkm found, TConnectView& view) {
  Kkm = {};
  BeginTrace("connect", found.Device);
  Enter(TSessionState::Busy, "connect");
  return Connected(::ConnectFound(KkmLink, std::move(found), view));
}

void TKkmSession::Forget() {
  KkmLink.ClosePort();
  KkmLink.UseRegister(0, 0);
  Enter(TSessionState::NoRegister);
}

// A command without a register refuses as the commands do; one that loses the link
// leaves the session lost, and a port that went away during a command that was done
// all the same leaves it lost too.
template <typename TCommand>
bool TKkmSession::Run(const char* name, TWindowView& view, TCommand command) {
  const TKkmConnection connection = Kkm;
  const bool connected = Now == TSessionState::Connected;
  if (connected) {
    BeginTrace(name, connection.Device);
    Enter(TSessionState::Busy, name);
  }
  TLossWatch watch(*this, view);
  const bool done = command(connection, watch);
  RetryAsked = watch.Answers.Retry;
  if (watch.Lost || !connected) return done;
  if (KkmLink.PortRemoved()) {
    Enter(TSessionState::Lost, {}, TFailureReason::PortRemoved);
  } else {
    Enter(TSessionState::Connected);
  }
  return done;
}

bool TKkmSession::Read(TKkmSettings& settings, TWindowView& view) {
  return Run("read", view, [&](const TKkmConnection& connection, TWindowView& watch) {
    return ReadSettingsFromKkm(KkmLink, connection, settings, watch, Way);
  });
}

bool TKkmSession::WriteOnce(TKkmSettings& settings, TWindowView& view, TRuleView& rules, TWriteBackup& backup,
                            const TRepeatedWrite* repeat) {
  return Run("write", view, [&](const TKkmConnection& connection, TWindowView& watch) {
    return WriteSettingsToKkm(KkmLink, connection, settings, watch, rules, backup, Way, repeat);
  });
}

bool TKkmSession::Write(TKkmSettings& settings, TWindowView& view, TRuleView& rules, TWriteBackup& backup) {
  const TKkmConnection connection = Kkm;
  TKeptBackup kept(backup);
  const bool done = WriteOnce(settings, view, rules, kept, nullptr);
  if (done || !RetryAsked || Wait == nullptr || kept.File.empty()) return done;
  return Repeat(connection, kept.File, settings, view, rules, backup);
}

// Until the register is written, the user gives up, or it cannot be: each attempt
// that breaks off again may be repeated again, the first backup standing.
bool TKkmSession::Repeat(const TKkmConnection& broken, const std::string& backupFile, TKkmSettings& settings,
                         TWindowView& view, TRuleView& rules, TWriteBackup& backup) {
  const TRepeatedWrite repeat{backupFile};
  do {
    KkmLink.ClosePort();  // the search may find the register on the same device
    const std::string waiting = "Ожидание " + RegisterWords(broken, false) + "…";
    Enter(TSessionState::Busy, "wait");
    view.SetStatus(waiting);
    Wait->Begin(waiting);
    bool cancelled = false;
    std::optional<TFoundKkm> found = AwaitRegister(cancelled);
    Wait->End();
    Enter(TSessionState::NoRegister);
    view.SetStatus(NoConnectionText);
    if (!found) {
      if (!cancelled) {
        view.Messages().Show(TMessageKind::Information, RegisterWords(broken, false) + " не найдена за " +
                                                            std::to_string(RegisterWaitSeconds) + " с." + NotRepeated);
      }
      return false;
    }
    const TKkmConnection other{found->Device, found->Address, found->Version, nullptr};
    if (found->Address != broken.Address || found->Version != broken.Version) {
      const bool firmware = found->Address == broken.Address;
      view.Messages().Show(TMessageKind::Warning, "На порту " + found->Device + " найдена " +
                                                      RegisterWords(other, firmware) + ", а запись прервана в " +
                                                      RegisterWords(broken, firmware) + "." + NotRepeated);
      return false;
    }
    TBoxesOnly boxes(view);
    if (!ConnectFound(std::move(*found), boxes)) return false;
    view.SetStatus("Установлен интерфейс с ККМ");
    if (WriteOnce(settings, view, rules, backup, &repeat)) return true;
  } while (RetryAsked);
  return false;
}

std::optional<TFoundKkm> TKkmSession::AwaitRegister(bool& cancelled) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(RegisterWaitSeconds);
  while (std::chrono::steady_clock::now() < end) {
    TPortSearch search(Wait->Devices(), SearchLinks);
    while (!search.Done()) {
      cancelled = Wait->Cancelled();
      if (cancelled) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (std::optional<TFoundKkm> found = search.TakeFound()) return found;
    // A register that is not there yet: the adapter is still being plugged in.
    for (int pause = 0; pause < 10; ++pause) {
      cancelled = Wait->Cancelled();
      if (cancelled) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  return std::nullopt;
}

bool TKkmSession::Compare(const TKkmSettings& settings, TWindowView& view, TRuleView& rules) {
  return Run("compare", view, [&](const TKkmConnection& connection, TWindowView& watch) {
    return CompareWithKkm(KkmLink, connection, settings, watch, rules);
  });
}

std::string SessionText(const TKkmSession& session, bool shortened) {
  const TSessionState state = session.State();
  if (state != TSessionState::Connected && state != TSessionState::Busy) return {};
  TKkmConnection connection = session.Connection();
  if (shortened) connection.Device = connection.Device.substr(connection.Device.find_last_of("/\\") + 1);
  return ConnectionText(connection);
}
