#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

// The system calls the console program writes its text with, in one table, so that a
// test can make them fail as Windows may.
struct TConsoleCalls {
  HANDLE(WINAPI* GetStdHandle)(DWORD stream);
  BOOL(WINAPI* GetConsoleMode)(HANDLE handle, LPDWORD mode);
  BOOL(WINAPI* WriteConsoleW)(HANDLE handle, const VOID* text, DWORD count, LPDWORD written, LPVOID reserved);
  BOOL(WINAPI* WriteFile)(HANDLE handle, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED overlapped);
};

const TConsoleCalls& SystemConsoleCalls();

// Writes UTF-8 text to a standard stream (STD_OUTPUT_HANDLE, STD_ERROR_HANDLE): to a
// console as UTF-16 through WriteConsoleW, so that it reads right whatever the console's
// code page; to a file or a pipe as its UTF-8 bytes. False when not all of it could be
// written (no such stream, a pipe whose reader has gone).
bool WriteStandard(DWORD stream, const std::string& utf8, const TConsoleCalls& calls = SystemConsoleCalls());

// UTF-16 of UTF-8 text and back; empty when the system cannot convert it.
std::wstring Utf16(const std::string& utf8);
std::string Utf8(const wchar_t* text);

// The arguments after the program's name, as UTF-8, from the system's UTF-16 command
// line: the ANSI arguments of main would lose every character outside the code page.
std::vector<std::string> CommandLineArguments();

// Ctrl+C and Ctrl+Break set the flag; pressed again, they end the program as usual.
void CatchCtrlC(std::atomic<bool>& flag);
