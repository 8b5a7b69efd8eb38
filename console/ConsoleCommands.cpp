#include "console/ConsoleCommands.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "console/ConsoleOptions.h"
#include "console/ConsoleReport.h"
#include "document/SettingsRules.h"
#include "link/KkmConnect.h"
#include "link/TraceRing.h"
#include "register/DocumentOrigin.h"
#include "register/KkmSession.h"
#include "register/PortSearch.h"
#include "settingsfile/Diagnostics.h"
#include "settingsfile/FileAccess.h"
#include "settingsfile/SettingsFile.h"
#include "settingsfile/SettingsSheet.h"
#include "ui/SheetFile.h"

namespace {

const char* const ProgramVersion = "orbi7cli " ORBI7_VERSION;
const char* const Waiting = "Ожидание ККМ на порту ";
const char* const WaitingEnd = "… (Ctrl+C — завершить)\n";

// The window's side as the console plays it: every box is told, the question is
// answered yes (the command is the consent), and the end of the command is kept.
class TConsoleView final : public TWindowView, public TUserMessages, public TRuleView, public TConnectView {
 public:
  TUserMessages& Messages() override { return *this; }
  TAnswer Show(TMessageKind kind, const std::string& text) override {
    if (kind == TMessageKind::Confirmation) return TAnswer::Yes;
    Told.push_back(text);
    return TAnswer::Ok;
  }
  void Ended(TCommandEnd end) override { End = end; }
  void SetStatus(const std::string& text) override {
    if (!text.empty()) Status = text;
  }
  void ShowDifferences(const std::vector<TSettingsChange>& changes) override { Differences = changes; }

  void SetAll() override {}
  void ButtonEnabled() override {}
  void ButtonDisabled() override {}
  void DisableToolbarAndPages() override {}
  void RepaintToolbar() override {}
  void ProcessMessages() override {}
  void ShowPage(TSettingsPage) override {}
  void FocusTaxRate(int) override {}
  void MakeRateRowCurrent(TRateList, int) override {}

  std::vector<std::string> Told;
  std::string Status;
  TCommandEnd End = TCommandEnd::NoAnswer;
  std::vector<TSettingsChange> Differences;
};

// What every register of the run gets: the command, its document, where things go.
struct TRun {
  const TConsoleOptions& Options;
  TConsoleSystem& System;
  TKkmSettings Document;
  TBackupFolder Backups;
  TDocumentOrigin Origin{};  // the register the file names
  bool ManyLinks = false;    // several links trace at once, each to a file of its own
};

// The trace file of a device's link: the one named, or, while several links work at
// once, one per device beside it ("trace-COM7.log").
std::string TraceFile(const TRun& run, const std::string& device) {
  if (run.Options.Trace.empty() || !run.ManyLinks) return run.Options.Trace;
  const std::filesystem::path named = PathFromUtf8(run.Options.Trace);
  const std::string port = device.substr(device.find_last_of("/\\") + 1);
  const std::filesystem::path own =
      named.parent_path() / PathFromUtf8(Utf8FromPath(named.stem()) + "-" + port + Utf8FromPath(named.extension()));
  return Utf8FromPath(own);
}

std::unique_ptr<TKkmLink> MakeLink(const TRun& run, const std::string& device) {
  auto link = std::make_unique<TKkmLink>(run.System.ClockFor(device), run.System.Ports.Open);
  link->SetTraceFile(TraceFile(run, device));
  return link;
}

// The register's number and firmware as far as connecting has learnt them.
void NoteRegister(const TKkmLink& link, TRegisterOutcome& outcome) {
  if (link.KkmAddress() == 0 && link.FirmwareVersion() == 0) return;
  outcome.Number = KkmNumberText(link.KkmAddress());
  outcome.Firmware = DottedVersion(link.FirmwareVersion());
}

// The message: a failure's box (the last one told), or what the command did; whatever
// else was told stays as notes.
void Conclude(TConsoleView& view, TRegisterOutcome& outcome, bool fileFault = false) {
  outcome.End = view.End;
  outcome.Differences = view.Differences;
  outcome.Exit = fileFault ? ExitUsage : ExitOf(view.End, !view.Differences.empty());
  const bool failed = outcome.Exit > ExitDifferences;
  if (failed && !view.Told.empty()) {
    outcome.Message = view.Told.back();
    view.Told.pop_back();
  } else {
    outcome.Message = view.Status;
  }
  outcome.Notes = view.Told;
}

void RunCommand(TRun& run, TKkmSession& session, TConsoleView& view, TRegisterOutcome& outcome) {
  switch (run.Options.Command) {
    case TConsoleCommand::Read: {
      TKkmSettings settings;
      if (!session.Read(settings, view)) return Conclude(view, outcome);
      const TDocumentOrigin origin = RegisterOriginOf(session.Connection(), LocalTimeNow());
      const bool saved = SaveSettingsFile(run.Options.Output, settings, view, origin);
      if (saved) view.Status += " Установки сохранены в файл " + run.Options.Output;
      return Conclude(view, outcome, !saved);
    }
    case TConsoleCommand::Write: {
      if (!run.Options.AnyRegister && NamesOtherRegister(run.Origin, session.Connection())) {
        view.Told.push_back(OtherRegisterText(*run.Origin, session.Connection()) +
                            " Установки не записаны; записать их в другую ККМ: --any-register.");
        view.End = TCommandEnd::Declined;
        return Conclude(view, outcome);
      }
      TKkmSettings settings = run.Document;
      TWriteBackupIn<TBackupFolder> folder(run.Backups);
      TKeptBackup backup(folder);
      session.Write(settings, view, view, backup);
      outcome.Backup = backup.File;
      return Conclude(view, outcome);
    }
    case TConsoleCommand::Compare: {
      session.Compare(run.Document, view, view);
      std::vector<std::string> lines;
      for (const TSettingsChange& change : view.Differences) lines.push_back(change.Line());
      view.Status = ComparisonLines(lines).front();
      Conclude(view, outcome);
      outcome.Notes.clear();  // the differences say it all
      return;
    }
    default: return Conclude(view, outcome);
  }
}

// One register from connect to the command's end, on the port named or on the one a
// search or a wait for the next register has left open. The port is handed back
// where asked for, for the wait for the next register.
TRegisterOutcome WorkOnRegister(TRun& run, const std::string& device, std::optional<TFoundKkm> found,
                                std::unique_ptr<TSerialPort>* portBack = nullptr) {
  TRegisterOutcome outcome;
  outcome.Device = device;
  TKkmSession session(run.System.ClockFor(device), run.System.Ports.Open);
  session.Link().SetTraceFile(TraceFile(run, device));
  session.SetTransferWay(run.Options.Bytewise ? TTransferWay::Bytewise : TTransferWay::Fast);
  TConsoleView view;
  const bool connected = found ? session.ConnectFound(std::move(*found), view) : session.Connect(device, view);
  NoteRegister(session.Link(), outcome);
  if (!connected || run.Options.Command == TConsoleCommand::Find) {
    if (connected) view.Status = "ККМ найдена";
    Conclude(view, outcome);
  } else {
    RunCommand(run, session, view, outcome);
  }
  if (portBack != nullptr) *portBack = session.Link().ReleasePort();
  return outcome;
}

// The command as the journal names it.
std::string JournalCommand(TConsoleCommand command) {
  switch (command) {
    case TConsoleCommand::Find: return "поиск ККМ";
    case TConsoleCommand::Read: return "чтение";
    case TConsoleCommand::Write: return "запись";
    case TConsoleCommand::Compare: return "сравнение";
    default: return {};
  }
}

// Lines for people as each register ends, or the one JSON document at the end; a
// line in the journal for each register and for a fault of the whole command.
class TPrinter {
 public:
  TPrinter(const TConsoleOptions& options, TConsoleSystem& system)
      : Options(options), System(system), Journal(system.JournalFolder, LocalTimeNow) {
    Report.Command = options.CommandName;
    Report.File = options.Output.empty() ? options.File : options.Output;
  }

  // Before the registers: the journal's old files go, and the ports are listed for its
  // lines.
  void BeginRegisters() {
    Journal.RemoveOlderThan(JournalKeptDays);
    Listed = System.Ports.List();
  }

  void Register(const TRegisterOutcome& outcome) {
    const std::lock_guard<std::mutex> lock(Lock);
    Report.Registers.push_back(outcome);
    Report.Exit = std::max(Report.Exit, outcome.Exit);
    TJournalEntry entry;
    entry.Command = JournalCommand(Options.Command);
    entry.Port = ListedPortText(Listed, outcome.Device);
    entry.Number = outcome.Number;
    entry.Firmware = outcome.Firmware;
    SetOutcome(entry, outcome.Message);
    entry.File = outcome.Backup.empty() ? Report.File : outcome.Backup;
    AddToJournal(entry);
    if (Options.Json) return;
    (outcome.Exit > ExitDifferences ? System.Err : System.Out)(OutcomeText(outcome));
  }
  // A fault of the whole command, told on standard error.
  int Fault(const std::string& message, int exit) {
    Report.Message = message;
    Report.Exit = std::max(Report.Exit, exit);
    TJournalEntry entry;
    entry.Command = JournalCommand(Options.Command);
    SetOutcome(entry, message);
    entry.File = Report.File;
    AddToJournal(entry);
    if (!Options.Json) System.Err(message + "\n");
    return Report.Exit;
  }
  // A note for the person at the console, never in the JSON document.
  void Note(const std::string& text) {
    if (!Options.Json) System.Err(text);
  }
  // A result for people, which the JSON document gives in its own way.
  void Text(const std::string& text) {
    if (!Options.Json) System.Out(text);
  }
  int End(bool summary) {
    if (Options.Json) {
      System.Out(JsonReport(Report));
    } else if (summary) {
      System.Out(SummaryText(Report.Registers, Report.Exit));
    }
    return Report.Exit;
  }

  TConsoleReport Report;

 private:
  // The journal never fails a command; that it could not be written is told once.
  void AddToJournal(const TJournalEntry& entry) {
    if (entry.Command.empty()) return;
    Journal.Add(entry);
    if (Journal.FirstFailure()) Note("Журнал работы не записан в папку " + Utf8FromPath(Journal.Folder()) + "\n");
  }

  const TConsoleOptions& Options;
  TConsoleSystem& System;
  TJournal Journal;
  std::vector<TSerialPortInfo> Listed;
  std::mutex Lock;
};

bool Interrupted(const TConsoleSystem& system) { return system.Interrupted != nullptr && system.Interrupted->load(); }

// The port dialog's search over every port; the register of the first port in order.
std::optional<TFoundKkm> Search(TRun& run) {
  run.ManyLinks = true;
  TPortSearch search(SearchDevices(run.System.Ports, {}),
                     [&run](const std::string& device) { return MakeLink(run, device); });
  while (!search.Done()) {
    if (Interrupted(run.System)) search.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  run.ManyLinks = false;
  return search.TakeFound();
}

// The document of write and compare, as the window loads it and as its write would
// check it; false, with the fault told, when the file cannot be read or is refused.
bool LoadDocument(TRun& run, TPrinter& printer) {
  TConsoleView view;
  const bool loaded = LoadSettingsFile(run.Options.File, run.Document, view, &run.Origin);
  if (loaded && view.Told.empty() && Error_Proc(run.Document, view)) return true;
  printer.Fault(view.Told.empty() ? "Файл " + run.Options.File + " не принят" : view.Told.back(), ExitUsage);
  return false;
}

// Each port on its own thread with its own link, all at once; a line as each ends.
void WorkOnPorts(TRun& run, TPrinter& printer) {
  run.ManyLinks = run.Options.Ports.size() > 1;
  std::vector<std::thread> threads;
  for (const std::string& device : run.Options.Ports)
    threads.emplace_back([&run, &printer, device] { printer.Register(WorkOnRegister(run, device, std::nullopt)); });
  for (std::thread& thread : threads) thread.join();
  // The document lists them in the order of the command line, whichever ended first.
  std::vector<TRegisterOutcome>& registers = printer.Report.Registers;
  const std::vector<std::string>& ports = run.Options.Ports;
  std::stable_sort(registers.begin(), registers.end(), [&ports](const auto& a, const auto& b) {
    return std::find(ports.begin(), ports.end(), a.Device) < std::find(ports.begin(), ports.end(), b.Device);
  });
}

// The next register on the port: one that answers after the last one went silent, or
// one with another number. Nothing once Ctrl+C is pressed.
std::optional<TFoundKkm> AwaitNextRegister(TRun& run, TKkmLink& poll, const std::string& device,
                                           std::optional<std::uint8_t> last) {
  bool silentSeen = !last.has_value();
  while (!Interrupted(run.System)) {
    // A pulled adapter is waited for until it is back.
    const bool open = (poll.IsOpen() && !poll.PortRemoved()) || poll.OpenPort(device);
    poll.UseRegister(0, 0);
    if (open && ProbeAddress(poll) && QueryVersion(poll) && (silentSeen || poll.KkmAddress() != *last))
      return TFoundKkm{device, poll.KkmAddress(), poll.FirmwareVersion(), poll.ReleasePort()};
    silentSeen = silentSeen || !open || poll.LastFailure().Reason != TFailureReason::None;
    poll.Pause(open ? 300 : 1000);
  }
  return std::nullopt;
}

void RepeatOnPort(TRun& run, TPrinter& printer) {
  const std::string& device = run.Options.Ports.front();
  const std::unique_ptr<TKkmLink> poll = MakeLink(run, device);
  poll->SetStopFlag(run.System.Interrupted);
  std::optional<std::uint8_t> last;
  while (true) {
    printer.Note(Waiting + device + WaitingEnd);
    std::optional<TFoundKkm> found = AwaitNextRegister(run, *poll, device, last);
    if (!found) return;
    last = found->Address;
    std::unique_ptr<TSerialPort> port;
    printer.Register(WorkOnRegister(run, device, std::move(found), &port));
    if (port) poll->AdoptPort(device, std::move(port));
  }
}

int ListPorts(TConsoleSystem& system, TPrinter& printer) {
  printer.Report.Ports = system.Ports.List();
  if (printer.Report.Ports.empty()) printer.Note("Последовательные порты не найдены.\n");
  for (const TSerialPortInfo& port : printer.Report.Ports) printer.Text(PortText(port) + "\n");
  return printer.End(false);
}

// The diagnostics file from what the console can learn. Its traces in memory are its
// own run's, which has none: a command's trace is what --trace wrote.
int WriteDiagnostics(TConsoleSystem& system, TPrinter& printer) {
  TDiagnostics facts;
  facts.Writer = "orbi7cli";
  facts.System = system.SystemVersion();
  for (const TSerialPortInfo& port : system.Ports.List()) facts.Ports.push_back(PortText(port));
  facts.Settings = system.WindowSettings();
  facts.Journal = TJournal(system.JournalFolder, LocalTimeNow).LastLines(JournalShownDays);
  facts.Traces = ProgramTraces().Traces();
  facts.NoTraces = "Трасс в памяти нет: orbi7cli хранит их только до своего конца, трассу команды пишет --trace FILE.";
  const std::string& file = printer.Report.File;
  if (!ReplaceFileBytes(PathFromUtf8(file), DiagnosticsText(facts, LocalTimeNow())))
    return printer.Fault("Не удалось записать файл диагностики " + file, ExitUsage);
  printer.Report.Message = "Диагностика записана в файл " + file;
  printer.Text(printer.Report.Message + "\n");
  return printer.End(false);
}

// The customer's sheet of a settings file, as a PDF.
int WriteSheet(const TConsoleOptions& options, TPrinter& printer) {
  TConsoleView view;
  TKkmSettings settings;
  TDocumentOrigin origin;  // the register the file names, for the sheet's title
  std::string error;
  if (!LoadSettingsFile(options.File, settings, view, &origin) || !view.Told.empty()) {
    printer.Fault(view.Told.empty() ? "Файл " + options.File + " не принят" : view.Told.back(), ExitUsage);
  } else if (!WriteSheetPdf(SettingsSheet(settings, origin), options.Output, error)) {
    printer.Fault(error, ExitUsage);
  } else {
    printer.Report.Message = "Лист установок записан в файл " + options.Output;
    printer.Text(printer.Report.Message + "\n");
  }
  return printer.End(false);
}

int RunRegisters(TRun& run, TPrinter& printer) {
  const TConsoleOptions& options = run.Options;
  printer.BeginRegisters();
  if ((options.Command == TConsoleCommand::Write || options.Command == TConsoleCommand::Compare) &&
      !LoadDocument(run, printer))
    return printer.End(false);
  if (options.Repeat) {
    RepeatOnPort(run, printer);
    return printer.End(true);
  }
  if (options.Command == TConsoleCommand::Find || options.Ports.front() == AutoPort) {
    std::optional<TFoundKkm> found = Search(run);
    if (!found) {
      printer.Fault(NoRegisterFound, ExitNoAnswer);
      return printer.End(false);
    }
    const std::string device = found->Device;
    printer.Register(WorkOnRegister(run, device, std::move(found)));
    return printer.End(false);
  }
  WorkOnPorts(run, printer);
  return printer.End(options.Ports.size() > 1);
}

}  // namespace

int RunConsole(const std::vector<std::string>& args, TConsoleSystem& system) {
  const TParsedOptions parsed = ParseConsoleOptions(args);
  if (!parsed.Options) {
    TConsoleOptions failed;
    failed.Json = parsed.Json;
    TPrinter printer(failed, system);
    printer.Fault(parsed.Fault, ExitUsage);
    return printer.End(false);
  }
  const TConsoleOptions& options = *parsed.Options;
  TPrinter printer(options, system);
  switch (options.Command) {
    case TConsoleCommand::Help:
    case TConsoleCommand::Version: {
      printer.Report.Message = options.Command == TConsoleCommand::Help ? ConsoleUsage() : ProgramVersion;
      printer.Text(printer.Report.Message + (options.Command == TConsoleCommand::Help ? "" : "\n"));
      return printer.End(false);
    }
    case TConsoleCommand::Ports: return ListPorts(system, printer);
    case TConsoleCommand::Diagnostics: return WriteDiagnostics(system, printer);
    case TConsoleCommand::Sheet: return WriteSheet(options, printer);
    default: break;
  }
  TRun run{options, system, {}, TBackupFolder(system.BackupFolder)};
  return RunRegisters(run, printer);
}
