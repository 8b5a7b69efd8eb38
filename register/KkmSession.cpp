#include "register/KkmSession.h"

#include <utility>

#include "register/TransferCommands.h"

// Passes everything on to the command's own view. A command tells that it has lost the
// link by turning read and write off (ButtonDisabled); the session is lost with the
// link's reason before the view hears of it, so that the view renders the new state.
class TKkmSession::TLossWatch final : public TWindowView {
 public:
  TLossWatch(TKkmSession& session, TWindowView& view) : Session(session), View(view) {}

  TUserMessages& Messages() override { return View.Messages(); }
  void SetStatus(const std::string& text) override { View.SetStatus(text); }
  void SetAll() override { View.SetAll(); }
  void ButtonEnabled() override { View.ButtonEnabled(); }
  void ButtonDisabled() override {
    Lost = Session.Now == TSessionState::Busy;
    if (Lost) Session.Enter(TSessionState::Lost, {}, Session.KkmLink.LastFailure().Reason);
    View.ButtonDisabled();
  }
  void DisableToolbarAndPages() override { View.DisableToolbarAndPages(); }
  void RepaintToolbar() override { View.RepaintToolbar(); }
  void ProcessMessages() override { View.ProcessMessages(); }
  void SetProgress(int done, int total) override { View.SetProgress(done, total); }
  void ShowGroupCell(int g, TGroupField field) override { View.ShowGroupCell(g, field); }
  void ShowComparison(const std::vector<std::string>& lines) override { View.ShowComparison(lines); }

  bool Lost = false;

 private:
  TKkmSession& Session;
  TWindowView& View;
};

TKkmSession::TKkmSession(TClock& clock, TPortOpener opener) : KkmLink(clock, std::move(opener)) {}

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

bool TKkmSession::Connect(const std::string& device, TConnectView& view) {
  Kkm = {};
  Enter(TSessionState::Busy, "connect");
  return Connected(::Connect(KkmLink, device, view));
}

bool TKkmSession::ConnectFound(TFoundKkm found, TConnectView& view) {
  Kkm = {};
  Enter(TSessionState::Busy, "connect");
  return Connected(::ConnectFound(KkmLink, std::move(found), view));
}

void TKkmSession::Forget() {
  KkmLink.ClosePort();
  KkmLink.KkmAddress = 0;
  KkmLink.FirmwareVersion = 0;
  Enter(TSessionState::NoRegister);
}

// A command without a register refuses as the commands do; one that loses the link
// leaves the session lost, and a port that went away during a command that was done
// all the same leaves it lost too.
template <typename TCommand>
bool TKkmSession::Run(const char* name, TWindowView& view, TCommand command) {
  const TKkmConnection connection = Kkm;
  const bool connected = Now == TSessionState::Connected;
  if (connected) Enter(TSessionState::Busy, name);
  TLossWatch watch(*this, view);
  const bool done = command(connection, watch);
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
    return ReadSettingsFromKkm(KkmLink, connection, settings, watch);
  });
}

bool TKkmSession::Write(TKkmSettings& settings, TWindowView& view, TRuleView& rules, TWriteBackup& backup) {
  return Run("write", view, [&](const TKkmConnection& connection, TWindowView& watch) {
    return WriteSettingsToKkm(KkmLink, connection, settings, watch, rules, backup);
  });
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
