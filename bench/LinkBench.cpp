// Settings traffic through the termios backend to orbi7sim on a pseudo-terminal,
// against the time the same traffic takes on the line at 9600 baud:
//
//   bench bytes: wall_ms=… model_ms=… ratio=… cpu_share=… wakeups=…   (256 reads, 6 display exchanges)
//   bench preread: …                    (what a write reads before its confirmation)
//   bench write: …                      (the toolbar's whole write)
//   bench read:  …                      (the toolbar's whole read)
//   bench compare: …                    (the comparison of that document with the register)
//   bench read-latency16: …             (the same read behind a USB adapter with a 16 ms timer)
//   bench write-fast: … described=…     (the write in 16-byte frames, the default; described: its
//   bench read-fast: … described=…       wall time over the model of the bytewise command's traffic)
//   bench read-fast-latency16: … described=…
//   bench write-fast-changed: … described=…  (the same write of orbi7sim's own settings, which
//                                        changes every table; write-fast writes a document the
//                                        register already holds, as after a few edits)
//   bench probe: wall_ms=…              (connecting to a register at number 99)
//   bench search: wall_ms=… ratio=…     (the search over three silent ports and that register,
//                                        connected; ratio: over the probe's time)
//
// The model counts every character on the line, one register turnaround each time
// the line changes direction towards the PC (and behind an adapter its latency with
// it), and the pauses the commands make. wakeups counts the times this process went
// to sleep and was woken.

#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "console/ConsoleCommands.h"
#include "document/SettingsRules.h"
#include "document/TKkmSettings.h"
#include "link/DisplayExchange.h"
#include "link/KkmFrames.h"
#include "link/PosixSerialPort.h"
#include "link/TKkmLink.h"
#include "register/Connect.h"
#include "register/PortSearch.h"
#include "register/TransferCommands.h"
#include "settingsfile/SettingsFile.h"
#include "sim/RegisterContents.h"
#include "sim/SimulatedLine.h"
#include "sim/SimulatedRegister.h"

namespace {

constexpr std::int32_t FirmwareVersion = 104;

// What the model needs to know of the traffic.
struct TLineCounts {
  std::size_t Bytes = 0;        // both ways
  std::size_t Turnarounds = 0;  // the register starting to answer after the PC sent
  TTick PausedMs = 0;           // asked for by the commands, not waits for an answer
};

// Counts what goes over the line.
class TCountingPort final : public TForwardingPort {
 public:
  TCountingPort(std::unique_ptr<TSerialPort> port, TLineCounts& counts)
      : TForwardingPort(std::move(port)), Counts(counts) {}

  std::size_t ReadBytes(std::uint8_t* buffer, std::size_t n) override {
    const std::size_t got = Port->ReadBytes(buffer, n);
    if (got > 0 && Sending) ++Counts.Turnarounds;
    if (got > 0) Sending = false;
    Counts.Bytes += got;
    return got;
  }
  std::size_t WriteBytes(const std::uint8_t* bytes, std::size_t n) override {
    const std::size_t done = Port->WriteBytes(bytes, n);
    if (done > 0) Sending = true;
    Counts.Bytes += done;
    return done;
  }

 private:
  TLineCounts& Counts;
  bool Sending = false;
};

// Real time; the link sleeps on its clock only for the pauses of the commands
// (waits for an answer sleep in the port), so whatever it sleeps here is pause time.
class TPauseCountingClock final : public TClock {
 public:
  explicit TPauseCountingClock(TLineCounts& counts) : Counts(counts) {}
  TTick Now() override { return SteadyClock().Now(); }
  std::uint64_t NowUs() override { return SteadyClock().NowUs(); }
  void SleepUntil(TTick deadline) override {
    const TTick now = Now();
    if (deadline > now) Counts.PausedMs += deadline - now;
    SteadyClock().SleepUntil(deadline);
  }

 private:
  TLineCounts& Counts;
};

// The window as the commands see it: it answers the write's question as told and
// keeps the last box shown, and it keeps the backups of a write in memory.
class TBenchView final : public TWindowView, public TRuleView, public TUserMessages, public TWriteBackup {
 public:
  TUserMessages& Messages() override { return *this; }
  TAnswer Show(TMessageKind kind, const std::string& text) override {
    LastBox = text;
    if (kind == TMessageKind::Confirmation) return Confirms ? TAnswer::Yes : TAnswer::No;
    return TAnswer::Ok;
  }
  std::string NewFileName(int, std::int32_t) override { return "backup"; }
  std::string Folder() const override { return "."; }
  bool Save(const std::string&, const TKkmSettings& settings) override {
    Kept = settings;
    return true;
  }
  void SetStatus(const std::string&) override {}
  void SetAll() override {}
  void ButtonEnabled() override {}
  void ButtonDisabled() override {}
  void DisableToolbarAndPages() override {}
  void RepaintToolbar() override {}
  void ProcessMessages() override {}
  void ShowPage(TSettingsPage) override {}
  void FocusTaxRate(int) override {}
  void MakeRateRowCurrent(TRateList, int) override {}

  std::string LastBox;
  bool Confirms = true;
  TKkmSettings Kept;
};

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

long Wakeups() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_nvcsw;
}

struct TSimulator {
  pid_t Pid = -1;
  std::string Device;

  bool Start(unsigned latencyMs, int number = 1) {
    int out[2];
    if (pipe(out) != 0) return false;
    Pid = fork();
    if (Pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      const std::string version = std::to_string(FirmwareVersion);
      const std::string latency = std::to_string(latencyMs);
      const std::string kkmNumber = std::to_string(number);
      execl(ORBI7SIM_PATH, ORBI7SIM_PATH, "--number", kkmNumber.c_str(), "--version", version.c_str(), "--latency",
            latency.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n') Device += c;
    close(out[0]);
    return Pid > 0 && !Device.empty();
  }

  ~TSimulator() {
    if (Pid <= 0) return;
    kill(Pid, SIGTERM);
    waitpid(Pid, nullptr, 0);
  }
};

// An orbi7sim behind an adapter of that latency, and a link to it through the termios
// backend that counts the traffic.
struct TBenchLine {
  explicit TBenchLine(unsigned latencyMs) : LatencyMs(latencyMs) {}

  bool Start() {
    if (!Simulator.Start(LatencyMs)) {
      std::fprintf(stderr, "bench: cannot start %s\n", ORBI7SIM_PATH);
      return false;
    }
    if (!Link.OpenPort(Simulator.Device)) {
      std::fprintf(stderr, "bench: cannot open %s\n", Simulator.Device.c_str());
      return false;
    }
    Link.UseRegister(TSimulatedRegister(1).Address(), FirmwareVersion);
    return true;
  }

  const unsigned LatencyMs;
  TLineCounts Counts;
  TPauseCountingClock Clock{Counts};
  TSimulator Simulator;
  TKkmLink Link{Clock, [this](const std::string& device) {
                  TOpenedPort opened = TPosixSerialPort::Open(device);
                  if (opened.Port) opened.Port = std::make_unique<TCountingPort>(std::move(opened.Port), Counts);
                  return opened;
                }};
};

// Runs one piece of traffic and prints its line; false when it failed. The model of its
// traffic goes to `model`; with the model of the bytewise command's (`described`), the
// line also tells the wall time over that.
bool Measure(const char* name, TBenchLine& line, const std::function<bool()>& traffic, double* model = nullptr,
             double described = 0) {
  TLineCounts& counts = line.Counts;
  counts = {};
  const double cpuStart = CpuMs();
  const long wakeupsStart = Wakeups();
  const auto wallStart = std::chrono::steady_clock::now();
  const bool good = traffic();
  const double wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
  const double cpuMs = CpuMs() - cpuStart;
  const long wakeups = Wakeups() - wakeupsStart;
  if (!good) {
    std::fprintf(stderr, "bench %s: the traffic failed\n", name);
    return false;
  }
  const double turnaroundMs =
      static_cast<double>(TSimulatedRegister::DefaultTurnaroundNs) / 1e6 + static_cast<double>(line.LatencyMs);
  const double modelMs = static_cast<double>(counts.Bytes) * static_cast<double>(CharacterNs) / 1e6 +
                         static_cast<double>(counts.Turnarounds) * turnaroundMs + static_cast<double>(counts.PausedMs);
  std::printf("bench %s: wall_ms=%.1f model_ms=%.1f ratio=%.3f cpu_share=%.3f wakeups=%ld", name, wallMs, modelMs,
              wallMs / modelMs, cpuMs / wallMs, wakeups);
  if (described > 0) std::printf(" described=%.3f", wallMs / described);
  std::printf("\n");
  if (model != nullptr) *model = modelMs;
  std::fflush(stdout);
  return true;
}

bool ReadAndDisplay(TKkmLink& link) {
  bool good = true;
  for (int i = 0; i < 256; ++i) {
    std::uint8_t value = 0;
    good = ReadMemoryByte(link, static_cast<std::uint16_t>(0x0400 + i), value) && good;
  }
  const char* const texts[6][2] = {{"Чтение", "налогов"},        {"Чтение", "скидок"}, {"Чтение", "надбавок"},
                                   {"Чтение", "товарных групп"}, {"Чтение OK!", ""},   {"", ""}};
  for (const auto& pair : texts) {
    std::string line1 = pair[0];
    std::string line2 = pair[1];
    good = DisplayExchange(link, line1, line2) && good;
  }
  return good;
}

// What a register holding orbi7sim's own settings gives to a read, as read on the
// virtual clock.
TKkmSettings SimulatorSettings() {
  TVirtualClock clock;
  TSimulatedRegister kkm(1, FirmwareVersion);
  ProgramSettings(kkm, InUseSettings());
  TKkmLink link(clock, SimulatedPortOpener(clock, kkm));
  link.OpenPort("COM1");
  link.UseRegister(kkm.Address(), FirmwareVersion);
  TBenchView view;
  TKkmSettings settings;
  ReadSettingsFromKkm(link, ConnectionOf(link), settings, view, TTransferWay::Bytewise);
  return settings;
}

struct TQuietView final : TConnectView {
  TUserMessages& Messages() override { return View; }
  TBenchView View;
};

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A pseudo-terminal that nobody answers on: a port without a register.
struct TSilentLine {
  TSilentLine() {
    char name[128] = {};
    if (openpty(&Master, &Slave, name, nullptr, nullptr) == 0) Device = name;
  }
  ~TSilentLine() {
    if (Master >= 0) close(Master);
    if (Slave >= 0) close(Slave);
  }
  int Master = -1;
  int Slave = -1;
  std::string Device;
};

// Connecting to a register at number 99 on one port, then finding it by the search
// over that port and three silent ones; false when either failed.
bool MeasureConnecting() {
  TSimulator simulator;
  if (!simulator.Start(0, 99)) return false;
  TQuietView view;
  TKkmLink link;
  auto start = std::chrono::steady_clock::now();
  if (!Connect(link, simulator.Device, view)) return false;
  const double probeMs = MsSince(start);
  link.ClosePort();
  std::printf("bench probe: wall_ms=%.1f\n", probeMs);

  const TSilentLine silent[3];
  std::vector<std::string> devices;
  for (const TSilentLine& line : silent) devices.push_back(line.Device);
  devices.push_back(simulator.Device);
  start = std::chrono::steady_clock::now();
  std::optional<TFoundKkm> found;
  {
    TPortSearch search(devices, [](const std::string&) { return std::make_unique<TKkmLink>(); });
    while (!search.Done()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    found = search.TakeFound();
  }
  if (!found || !ConnectFound(link, std::move(*found), view)) return false;
  const double searchMs = MsSince(start);
  std::printf("bench search: wall_ms=%.1f ratio=%.3f\n", searchMs, searchMs / probeMs);
  std::fflush(stdout);
  return true;
}

// The console's write of one file to one orbi7sim, then to four at once, each on its
// own pseudo-terminal; the ratio is the four's time over the one's.
bool MeasureConsoleParallel() {
  TSimulator simulators[4];
  for (int i = 0; i < 4; ++i) {
    if (!simulators[i].Start(0, 10 + i)) return false;
  }
  char folder[] = "/tmp/orbi7bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return false;
  const std::string file = std::string(folder) + "/shop.dat";
  TQuietView quiet;
  if (!SaveSettingsFile(file, FullSettings(), quiet.View)) return false;
  TConsoleSystem system;
  system.BackupFolder = std::string(folder) + "/backups";
  std::string told;
  system.Out = [](const std::string&) {};
  system.Err = [&told](const std::string& text) { told += text; };
  auto write = [&](int ports) {
    std::vector<std::string> args = {"write"};
    for (int i = 0; i < ports; ++i) args.insert(args.end(), {"--port", simulators[i].Device});
    args.push_back(file);
    const auto start = std::chrono::steady_clock::now();
    const int exit = RunConsole(args, system);
    return exit == 0 ? MsSince(start) : -1.0;
  };
  const double oneMs = write(1);
  const double fourMs = oneMs < 0 ? -1.0 : write(4);
  std::filesystem::remove_all(folder);
  if (fourMs < 0) {
    std::fprintf(stderr, "bench cli-parallel: %s", told.c_str());
    return false;
  }
  std::printf("bench cli-parallel: one_ms=%.1f four_ms=%.1f ratio=%.3f\n", oneMs, fourMs, fourMs / oneMs);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main() {
  TBenchView view;
  TBenchLine line(0);
  if (!line.Start()) return 1;
  TKkmSettings written = FullSettings();
  TKkmSettings other = SimulatorSettings();
  const auto writeOf = [&](TKkmLink& link, TKkmSettings& settings, TTransferWay way) {
    return WriteSettingsToKkm(link, ConnectionOf(link), settings, view, view, view, way);
  };
  const auto write = [&](TKkmLink& link, TTransferWay way) { return writeOf(link, written, way); };
  const auto read = [&](TKkmLink& link, TKkmSettings& settings, TTransferWay way) {
    return ReadSettingsFromKkm(link, ConnectionOf(link), settings, view, way);
  };
  // The pre-read alone: the write's question answered no, after the changes were listed.
  auto preRead = [&] {
    view.Confirms = false;
    view.LastBox.clear();
    const bool wrote = write(line.Link, TTransferWay::Bytewise);
    view.Confirms = true;
    return !wrote && view.LastBox.find("Прежние установки") != std::string::npos;
  };
  TKkmSettings readBytewise;
  TKkmSettings readFast;
  double writeModel = 0;
  double readModel = 0;
  bool good =
      Measure("bytes", line, [&] { return ReadAndDisplay(line.Link); }) && Measure("preread", line, preRead) &&
      Measure(
          "write", line, [&] { return write(line.Link, TTransferWay::Bytewise); }, &writeModel) &&
      Measure(
          "read", line, [&] { return read(line.Link, readBytewise, TTransferWay::Bytewise); }, &readModel) &&
      Measure("compare", line,
              [&] { return CompareWithKkm(line.Link, ConnectionOf(line.Link), written, view, view); }) &&
      Measure(
          "write-fast", line, [&] { return write(line.Link, TTransferWay::Fast); }, nullptr, writeModel) &&
      Measure(
          "read-fast", line, [&] { return read(line.Link, readFast, TTransferWay::Fast); }, nullptr, readModel) &&
      Measure(
          "write-fast-changed", line, [&] { return writeOf(line.Link, other, TTransferWay::Fast); }, nullptr,
          writeModel);
  if (good && !(readBytewise == written && readFast == written)) {
    std::fprintf(stderr, "bench: the settings read back differ from those written\n");
    return 1;
  }
  TBenchLine adapter(16);
  TKkmSettings behindAdapter;
  TKkmSettings fastBehindAdapter;
  double adapterModel = 0;
  good = good && adapter.Start() &&
         Measure(
             "read-latency16", adapter, [&] { return read(adapter.Link, behindAdapter, TTransferWay::Bytewise); },
             &adapterModel) &&
         Measure(
             "read-fast-latency16", adapter, [&] { return read(adapter.Link, fastBehindAdapter, TTransferWay::Fast); },
             nullptr, adapterModel);
  if (!good) {
    if (!view.LastBox.empty()) std::fprintf(stderr, "bench: the register said: %s\n", view.LastBox.c_str());
    return 1;
  }
  if (!(behindAdapter == SimulatorSettings() && fastBehindAdapter == behindAdapter)) {
    std::fprintf(stderr, "bench: the settings read behind the adapter differ from the register's\n");
    return 1;
  }
  if (!MeasureConnecting()) {
    std::fprintf(stderr, "bench: connecting to the register at number 99 failed\n");
    return 1;
  }
  if (!MeasureConsoleParallel()) return 1;
  return 0;
}
