#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "console/SystemFacts.h"

// The system calls the diagnostics learn the system and the window's settings by, in
// one table, so that a test can make them fail as Windows may.
struct TFactCalls {
  // ntdll's RtlGetVersion, which tells the true version whatever the program's manifest
  // says (GetVersionEx does not); null where ntdll gives none.
  LONG(WINAPI* RtlGetVersion)(PRTL_OSVERSIONINFOW info);
  LSTATUS(WINAPI* RegGetValueW)
  (HKEY key, LPCWSTR subKey, LPCWSTR value, DWORD flags, LPDWORD type, PVOID data, LPDWORD size);
};

const TFactCalls& SystemFactCalls();

// "Windows 10.0.19045", with the service pack where there is one.
std::string WindowsVersionText(const TFactCalls& calls);

// The window's settings under HKEY_CURRENT_USER\Software\orbi7prog\orbi7prog, where its
// toolkit keeps them: a group is a subkey, a value a string.
TKeptSettings RegistrySettings(const TFactCalls& calls);
