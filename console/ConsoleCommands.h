#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "console/SystemFacts.h"
#include "link/Clock.h"
#include "link/PortSystem.h"
#include "settingsfile/Journal.h"
#include "settingsfile/SettingsBackup.h"

// What the console program reaches: the ports, the clock each port's link runs on, the
// folders of the write's backups and of the journal, where its text goes, and the flag that Ctrl+C sets.
struct TConsoleSystem {
  TPortSystem Ports;
  std::function<TClock&(const std::string& device)> ClockFor = [](const std::string&) -> TClock& {
    return SteadyClock();
  };
  std::filesystem::path BackupFolder = DefaultBackupFolder();
  // The journal of the work, which the window keeps too.
  std::filesystem::path JournalFolder = DefaultJournalFolder(false);
  // What the diagnostics tell of the system and of the window's kept settings.
  std::function<std::string()> SystemVersion = SystemVersionText;
  std::function<TKeptSettings()> WindowSettings = KeptWindowSettings;
  // Standard output and standard error: whole lines, each with its end.
  std::function<void(const std::string&)> Out;
  std::function<void(const std::string&)> Err;
  // Set once the user has pressed Ctrl+C: a repeated write ends after the register it
  // is writing, and nothing else is begun.
  const std::atomic<bool>* Interrupted = nullptr;
};

// Runs the command line (the arguments after the program's name) and returns the exit
// code. Every exchange with a register is the window's own: the session's connect,
// read, write and comparison, with their plans, checks and backups.
int RunConsole(const std::vector<std::string>& args, TConsoleSystem& system);
