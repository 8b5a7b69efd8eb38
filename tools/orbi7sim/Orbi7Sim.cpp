// orbi7sim: a simulated register on a pseudo-terminal. Prints the device to open,
// then serves until interrupted.
//
//   orbi7sim [--number NN] [--version VVV] [--purchases N] [--memory FILE] [--latency MS]
//
// Without --memory the settings tables hold what a register in use holds. --latency
// puts a USB adapter with that latency timer between the register and the PC.

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/PtyRegisterServer.h"
#include "sim/RegisterContents.h"
#include "sim/SimulatedRegister.h"

namespace {

std::atomic<bool> Stop{false};

void OnSignal(int) { Stop.store(true); }

int Usage() {
  std::cerr << "usage: orbi7sim [--number 0-99] [--version 100-105] [--purchases 0-65535] [--memory FILE]"
               " [--latency 0-255]\n";
  return 2;
}

bool ParseNumber(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && value >= low && value <= high;
}

// What the pseudo-terminal told of the ninth bit of the bytes received: whoever
// started the simulator learns whether the serial code set MARK and SPACE.
void ReportParity(const TSimulatedRegister& kkm) {
  std::size_t counts[3] = {0, 0, 0};
  for (const TLineRecord& record : kkm.Traffic()) {
    if (record.Direction == TDirection::ToRegister) ++counts[static_cast<int>(record.Parity)];
  }
  std::cerr << "orbi7sim: received " << counts[0] + counts[1] + counts[2] << " bytes: " << counts[0] << " MARK, "
            << counts[1] << " SPACE, " << counts[2] << " without parity\n";
}

}  // namespace

int main(int argc, char** argv) {
  long number = 1;
  long version = 104;
  long purchases = 0;
  long latency = 0;
  std::string memoryFile;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) return Usage();
    const char* value = argv[++i];
    bool good = true;
    if (option == "--number") {
      good = ParseNumber(value, 0, 99, number);
    } else if (option == "--version") {
      good = ParseNumber(value, 0, 9999, version);
    } else if (option == "--purchases") {
      good = ParseNumber(value, 0, 65535, purchases);
    } else if (option == "--latency") {
      good = ParseNumber(value, 0, 255, latency);
    } else if (option == "--memory") {
      memoryFile = value;
    } else {
      good = false;
    }
    if (!good) return Usage();
  }

  TSimulatedRegister kkm(static_cast<int>(number), static_cast<std::int32_t>(version));
  if (!memoryFile.empty()) {
    std::ifstream in(memoryFile, std::ios::binary);
    if (!in) {
      std::cerr << "orbi7sim: cannot read " << memoryFile << "\n";
      return 1;
    }
    const std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (image.size() > kkm.Memory().size()) {
      std::cerr << "orbi7sim: " << memoryFile << " is larger than the register's 64 KiB\n";
      return 1;
    }
    std::memcpy(kkm.Memory().data(), image.data(), image.size());
  } else {
    ProgramSettings(kkm, InUseSettings());
  }
  // The counter is set after the image, so that the option wins.
  if (memoryFile.empty() || purchases != 0) kkm.SetPurchaseCounter(static_cast<std::uint16_t>(purchases));

    // The server sleeps until each byte is due; the default slack of 50 µs a sleep
    // would add up to a tenth of a second over a settings transfer.
#ifdef __linux__
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
  TPtyRegisterServer server(kkm);
  server.SetLatencyMs(static_cast<std::uint64_t>(latency));
  if (!server.Open()) {
    std::cerr << "orbi7sim: no pseudo-terminal\n";
    return 1;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::cout << server.DeviceName() << std::endl;
  server.Serve(Stop);
  ReportParity(kkm);
  return 0;
}
