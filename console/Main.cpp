// orbi7cli: the register's settings from a command line.
#include <atomic>
#include <string>
#include <vector>

#include "console/ConsoleCommands.h"

#ifdef _WIN32
#include "console/Win32Console.h"
#else
#include <csignal>
#include <cstdio>
#endif

namespace {

std::atomic<bool> Interrupted{false};

#ifdef _WIN32
void PrepareSystem(TConsoleSystem& system, std::vector<std::string>& args, int, char**) {
  args = CommandLineArguments();
  CatchCtrlC(Interrupted);
  system.Out = [](const std::string& text) { WriteStandard(STD_OUTPUT_HANDLE, text); };
  system.Err = [](const std::string& text) { WriteStandard(STD_ERROR_HANDLE, text); };
}
#else
void Write(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

extern "C" void OnInterrupt(int) { Interrupted = true; }

void PrepareSystem(TConsoleSystem& system, std::vector<std::string>& args, int argc, char** argv) {
  args.assign(argv + 1, argv + argc);
  // The first Ctrl+C lets the register under way be finished; a second one ends the
  // program at once.
  struct sigaction interrupt {};
  interrupt.sa_handler = OnInterrupt;
  interrupt.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &interrupt, nullptr);
  // A reader of the output that has gone (| head) ends the writing, not the program.
  std::signal(SIGPIPE, SIG_IGN);
  system.Out = [](const std::string& text) { Write(stdout, text); };
  system.Err = [](const std::string& text) { Write(stderr, text); };
}
#endif

}  // namespace

int main(int argc, char** argv) {
  static_assert(std::atomic<bool>::is_always_lock_free, "the interrupt flag is set from a signal handler");
  TConsoleSystem system;
  std::vector<std::string> args;
  PrepareSystem(system, args, argc, argv);
  system.Interrupted = &Interrupted;
  return RunConsole(args, system);
}
