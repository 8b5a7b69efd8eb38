#pragma once

#include <ctime>
#include <string>
#include <utility>
#include <vector>

// "orbi7prog 1.1.0": the program's name and version, as support asks for them.
const char* ProgramVersionText();

// What the diagnostics file tells support. The window and the console gather it each
// from what it has; nothing of it leaves the PC unless the user sends the file.
struct TDiagnostics {
  std::string Writer;                                         // "окно программы", "orbi7cli"
  std::string System;                                         // the system's name and version
  std::string Toolkit;                                        // "Qt 6.4.2"; empty for the console, which has none
  std::vector<std::string> Ports;                             // as the port list tells them
  std::vector<std::pair<std::string, std::string>> Settings;  // the program's kept settings
  std::vector<std::string> Journal;                           // the last days' lines, newest first
  std::vector<std::string> Traces;                            // the traces kept in memory, oldest first
  std::string NoTraces;                                       // said instead when there are none
};

// The file's text, UTF-8 with LF line ends, headed by the version and `written`.
std::string DiagnosticsText(const TDiagnostics& facts, const std::tm& written);

// "orbi7prog-diagnostics-2026-12-10.txt".
std::string DiagnosticsFileName(const std::tm& day);
