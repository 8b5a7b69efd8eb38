// The console's text through fake system calls that fail as Windows documents they may.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "console/Win32Console.h"
#include "console/Win32Facts.h"

namespace {

// What the fake system is and what it was given.
struct TFakeConsole {
  HANDLE Handle = reinterpret_cast<HANDLE>(7);
  bool Console = true;       // GetConsoleMode succeeds
  DWORD HeapChars = 100000;  // WriteConsoleW fails with ERROR_NOT_ENOUGH_MEMORY above it
  DWORD MostTaken = 100000;  // each call takes at most this much
  int FailAfterCalls = -1;   // the nth call on fails with ERROR_NO_DATA (a closed pipe)
  int Calls = 0;
  std::wstring Shown;
  std::string Bytes;
} Fake;

HANDLE WINAPI FakeStdHandle(DWORD) { return Fake.Handle; }
BOOL WINAPI FakeConsoleMode(HANDLE, LPDWORD mode) {
  *mode = 3;
  return Fake.Console;
}
bool Fails() { return Fake.FailAfterCalls >= 0 && Fake.Calls++ >= Fake.FailAfterCalls; }
BOOL WINAPI FakeWriteConsole(HANDLE, const VOID* text, DWORD count, LPDWORD written, LPVOID) {
  if (count > Fake.HeapChars || Fails()) {
    SetLastError(count > Fake.HeapChars ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *written = std::min(count, Fake.MostTaken);
  Fake.Shown.append(static_cast<const wchar_t*>(text), *written);
  return TRUE;
}
BOOL WINAPI FakeWriteFile(HANDLE, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED) {
  if (Fails()) {
    SetLastError(ERROR_NO_DATA);
    return FALSE;
  }
  *written = std::min(count, Fake.MostTaken);
  Fake.Bytes.append(static_cast<const char*>(bytes), *written);
  return TRUE;
}

const TConsoleCalls Calls{FakeStdHandle, FakeConsoleMode, FakeWriteConsole, FakeWriteFile};

struct TRow {
  const char* Name;
  TFakeConsole Setup;
  bool Written;
  bool ToConsole;
};

TEST(Win32Console, EveryWayOfWriting) {
  // 3000 lines of Cyrillic and one character beyond the 16 bits: more than the console's
  // heap takes at once.
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "ККМ № 37: Запись OK!\n";
  text += "\xF0\x9F\x93\x84\n";
  TFakeConsole redirected;
  redirected.Console = false;
  TFakeConsole smallHeap;
  smallHeap.HeapChars = 1000;
  TFakeConsole dribbling = redirected;
  dribbling.MostTaken = 999;
  TFakeConsole closedPipe = redirected;
  closedPipe.MostTaken = 100;
  closedPipe.FailAfterCalls = 3;
  TFakeConsole noHandle;
  noHandle.Handle = INVALID_HANDLE_VALUE;
  TFakeConsole noStream;
  noStream.Handle = nullptr;
  TFakeConsole heapGone;
  heapGone.HeapChars = 10;
  const TRow rows[] = {
      {"console", TFakeConsole{}, true, true},
      {"console, small heap", smallHeap, true, true},
      {"console, no heap at all", heapGone, false, true},
      {"file", redirected, true, false},
      {"pipe taking a little at a time", dribbling, true, false},
      {"pipe closed by its reader", closedPipe, false, false},
      {"no standard handle", noHandle, false, false},
      {"started without a console", noStream, false, false},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    Fake = row.Setup;
    EXPECT_EQ(WriteStandard(STD_OUTPUT_HANDLE, text, Calls), row.Written);
    if (!row.Written) continue;
    if (row.ToConsole) {
      // UTF-16, the pair of the last character kept together.
      EXPECT_EQ(Fake.Shown.size(), 3000 * 21 + 3u);
      EXPECT_EQ(Fake.Shown.substr(0, 3), L"ККМ");
      EXPECT_EQ(Fake.Shown.substr(Fake.Shown.size() - 3), L"\U0001F4C4\n");
    } else {
      EXPECT_EQ(Fake.Bytes, text);
    }
  }
}

// The diagnostics' system facts through calls that fail as Windows documents: a value
// never kept, one that grew between the calls, one that may not be read; no
// RtlGetVersion, and one that tells the version.
struct TFakeRegistry {
  LSTATUS Status = ERROR_SUCCESS;
  int GrownCalls = 0;  // the first calls answer ERROR_MORE_DATA
  std::wstring Value = L"COM7 — Ж";
  bool Version = true;
} Registry;

LSTATUS WINAPI FakeRegGetValue(HKEY, LPCWSTR, LPCWSTR, DWORD, LPDWORD, PVOID data, LPDWORD size) {
  const DWORD needed = static_cast<DWORD>((Registry.Value.size() + 1) * sizeof(wchar_t));
  if (Registry.Status != ERROR_SUCCESS) return Registry.Status;
  if (Registry.GrownCalls-- > 0 || *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  std::copy_n(Registry.Value.c_str(), Registry.Value.size() + 1, static_cast<wchar_t*>(data));
  *size = needed;
  return ERROR_SUCCESS;
}
LONG WINAPI FakeRtlGetVersion(PRTL_OSVERSIONINFOW info) {
  info->dwMajorVersion = 10;
  info->dwMinorVersion = 0;
  info->dwBuildNumber = 22631;
  return 0;
}

TEST(Win32Facts, EveryDocumentedFailure) {
  struct TFactRow {
    TFakeRegistry Setup;
    std::vector<std::string> Values;  // of the kept settings that the diagnostics show
    const char* Version;
  };
  std::string grown;  // 300 × "я", more than the first buffer takes
  for (int i = 0; i < 300; ++i) grown += "я";
  const TFactRow rows[] = {
      {{}, {"COM7 — Ж", "COM7 — Ж", "COM7 — Ж"}, "Windows 10.0.22631"},
      {{ERROR_FILE_NOT_FOUND, 0, L"", true}, {}, "Windows 10.0.22631"},
      {{ERROR_SUCCESS, 1, std::wstring(300, L'я'), false}, {grown, grown, grown}, "Windows (версия не определена)"},
      {{ERROR_ACCESS_DENIED, 0, L"", true},
       std::vector<std::string>(3, "(не прочитано, ошибка 5)"),
       "Windows 10.0.22631"},
  };
  for (const TFactRow& row : rows) {
    Registry = row.Setup;
    const TFactCalls calls{row.Setup.Version ? FakeRtlGetVersion : nullptr, FakeRegGetValue};
    std::vector<std::string> values;
    for (const auto& [key, value] : RegistrySettings(calls)) values.push_back(value);
    EXPECT_EQ(values, row.Values);
    EXPECT_EQ(WindowsVersionText(calls), row.Version);
  }
}

}  // namespace
