#pragma once

#include <optional>
#include <string>
#include <vector>

// What the console program is asked to do, from its command line.
enum class TConsoleCommand { Ports, Find, Read, Write, Compare, Diagnostics, Sheet, Help, Version };

struct TConsoleOptions {
  TConsoleCommand Command = TConsoleCommand::Help;
  std::string CommandName;         // as typed: "write"
  std::vector<std::string> Ports;  // every --port in order; AutoPort searches
  std::string File;                // the settings file of write, compare and sheet
  std::string Output;              // -o: where read's settings, the diagnostics or the sheet go
  std::string Trace;               // --trace: the line trace goes there
  bool Bytewise = false;           // read and write a byte an exchange, not in 16-byte frames
  bool Repeat = false;             // write: register after register on one port
  bool AnyRegister = false;        // write: also into a register the file does not name
  bool Json = false;
};

inline constexpr const char* AutoPort = "auto";

// The options, or why the command line cannot be run (Russian, for the user).
struct TParsedOptions {
  std::optional<TConsoleOptions> Options;
  std::string Fault;
  bool Json = false;  // --json stood on the line, whatever else was wrong with it
};

// The arguments after the program's name.
TParsedOptions ParseConsoleOptions(const std::vector<std::string>& args);

// The --help text: every command, option and exit code.
std::string ConsoleUsage();
