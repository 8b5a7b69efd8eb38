// The console's text through fake system calls that fail as Windows documents they may.

#include <gtest/gtest.h>

#include <string>

#include "console/Win32Console.h"

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

}  // namespace
