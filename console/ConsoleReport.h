#pragma once

#include <string>
#include <vector>

#include "document/SettingsChanges.h"
#include "link/PortList.h"
#include "register/CommandEnd.h"

// The console program's exit codes; with several registers, the highest of theirs.
enum TExitCode : int {
  ExitDone = 0,
  ExitDifferences = 1,
  ExitUsage = 2,  // the command line, or a file that cannot be read or that the rules refuse
  ExitNoAnswer = 3,
  ExitPortUnavailable = 4,
  ExitNotConfirmed = 5,
  ExitBrokenWrite = 6,
  ExitPurchases = 7,
  ExitUnknownFirmware = 8,
};

// What became of one register: of one port, or of one register of a repeated write.
struct TRegisterOutcome {
  std::string Device;
  std::string Number;    // "37"; empty when no register answered
  std::string Firmware;  // "1.0.4"
  TCommandEnd End = TCommandEnd::NoAnswer;
  int Exit = ExitNoAnswer;
  std::string Message;             // a failure's box, or what was done
  std::vector<std::string> Notes;  // what the command told on its way
  std::string Backup;              // the settings the register held before a write
  std::vector<TSettingsChange> Differences;
};

// The whole run, as --json gives it.
struct TConsoleReport {
  std::string Command;
  std::string File;
  int Exit = ExitDone;
  std::string Message;  // a fault of the whole command (usage, the file), or --help, --version
  std::vector<TRegisterOutcome> Registers;
  std::vector<TSerialPortInfo> Ports;  // of the ports command
};

// The outcome's code: the end of its command, or 1 for a comparison that differs.
int ExitOf(TCommandEnd end, bool differs);
// "done", "no-answer", "differences"... for scripts.
const char* OutcomeWord(const TRegisterOutcome& outcome);

// The register for people: "COM7 · ККМ № 37 · ПО 1.0.4", or the device alone.
std::string RegisterTitle(const TRegisterOutcome& outcome);
// The lines for people, each with its end: the title and the message, then the notes,
// the backup, the differences, two blanks in.
std::string OutcomeText(const TRegisterOutcome& outcome);
// "Итого: ККМ — 4, выполнено — 3, не выполнено — 1. Код выхода 3."
std::string SummaryText(const std::vector<TRegisterOutcome>& outcomes, int exit);

std::string JsonReport(const TConsoleReport& report);
