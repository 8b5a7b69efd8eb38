// The traffic of a settings transfer through the termios backend to orbi7sim on a
// pseudo-terminal, against the time the same bytes take on the line at 9600 baud.
//
//   bench bytes: wall_ms=… model_ms=… ratio=… cpu_share=…

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "link/DisplayExchange.h"
#include "link/KkmFrames.h"
#include "link/PosixSerialPort.h"
#include "link/SimulatedRegister.h"
#include "link/TKkmLink.h"

namespace {

// Counts what goes over the line, for the model.
class TCountingPort final : public TSerialPort {
 public:
  explicit TCountingPort(std::unique_ptr<TSerialPort> port) : Port(std::move(port)) {}

  void SetParity(bool mark) override {
    if (mark) ++Exchanges;
    Port->SetParity(mark);
  }
  std::size_t InputQueued() override { return Port->InputQueued(); }
  void AwaitInput(TTick timeoutMs) override { Port->AwaitInput(timeoutMs); }
  void Purge() override { Port->Purge(); }
  void FullPurge() override { Port->FullPurge(); }
  std::size_t ReadBytes(std::uint8_t* buffer, std::size_t n) override {
    const std::size_t got = Port->ReadBytes(buffer, n);
    Bytes += got;
    return got;
  }
  std::size_t WriteBytes(const std::uint8_t* bytes, std::size_t n) override {
    const std::size_t done = Port->WriteBytes(bytes, n);
    Bytes += done;
    return done;
  }

  std::size_t Bytes = 0;
  std::size_t Exchanges = 0;

 private:
  std::unique_ptr<TSerialPort> Port;
};

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct TSimulator {
  pid_t Pid = -1;
  std::string Device;

  bool Start() {
    int out[2];
    if (pipe(out) != 0) return false;
    Pid = fork();
    if (Pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      execl(ORBI7SIM_PATH, ORBI7SIM_PATH, "--number", "1", "--version", "104", static_cast<char*>(nullptr));
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

}  // namespace

int main() {
  TSimulator simulator;
  if (!simulator.Start()) {
    std::fprintf(stderr, "bench: cannot start %s\n", ORBI7SIM_PATH);
    return 1;
  }
  TCountingPort* counting = nullptr;
  TKkmLink link(SteadyClock(), [&](int) -> std::unique_ptr<TSerialPort> {
    auto port = TPosixSerialPort::Open(simulator.Device);
    if (!port) return nullptr;
    auto wrapped = std::make_unique<TCountingPort>(std::move(port));
    counting = wrapped.get();
    return wrapped;
  });
  if (!link.OpenPort(1)) {
    std::fprintf(stderr, "bench: cannot open %s\n", simulator.Device.c_str());
    return 1;
  }
  link.KkmAddress = TSimulatedRegister(1).Address();

  const double cpuStart = CpuMs();
  const auto wallStart = std::chrono::steady_clock::now();
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
  const double wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
  const double cpuMs = CpuMs() - cpuStart;
  if (!good) {
    std::fprintf(stderr, "bench: an exchange failed\n");
    return 1;
  }
  // Every byte of this half-duplex traffic lies on the critical path, and the register
  // turns the line round twice an exchange: for the echo and for the acknowledgement.
  const double modelMs =
      static_cast<double>(counting->Bytes) * static_cast<double>(CharacterNs) / 1e6 +
      static_cast<double>(counting->Exchanges * 2) * static_cast<double>(TSimulatedRegister::DefaultTurnaroundNs) / 1e6;
  std::printf("bench bytes: wall_ms=%.1f model_ms=%.1f ratio=%.3f cpu_share=%.3f\n", wallMs, modelMs, wallMs / modelMs,
              cpuMs / wallMs);
  return 0;
}
