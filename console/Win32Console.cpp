#include "console/Win32Console.h"

#include <shellapi.h>

#include <algorithm>

namespace {

// WriteConsoleW takes its text through a heap of 64 KB shared by the process, and fails
// with ERROR_NOT_ENOUGH_MEMORY beyond what is free of it: pieces of at most this many
// characters, smaller after such a failure.
constexpr DWORD ConsolePiece = 8192;
constexpr DWORD SmallestPiece = 128;

// A piece never ends between the two halves of a surrogate pair.
DWORD PieceLength(const std::wstring& text, std::size_t from, DWORD most) {
  const std::size_t rest = text.size() - from;
  if (rest <= most) return static_cast<DWORD>(rest);
  DWORD length = most;
  if (IS_HIGH_SURROGATE(text[from + length - 1])) --length;
  return length;
}

bool WriteToConsole(HANDLE console, const std::wstring& text, const TConsoleCalls& calls) {
  DWORD piece = ConsolePiece;
  std::size_t done = 0;
  while (done < text.size()) {
    const DWORD length = PieceLength(text, done, piece);
    DWORD written = 0;
    if (!calls.WriteConsoleW(console, text.data() + done, length, &written, nullptr)) {
      if (GetLastError() != ERROR_NOT_ENOUGH_MEMORY || piece <= SmallestPiece) return false;
      piece /= 2;
      continue;
    }
    if (written == 0) return false;
    done += written;
  }
  return true;
}

// A pipe may take less than it was given at a time; a closed one fails
// (ERROR_NO_DATA, ERROR_BROKEN_PIPE), and the rest is then dropped.
bool WriteBytes(HANDLE handle, const std::string& bytes, const TConsoleCalls& calls) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD length = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    DWORD written = 0;
    if (!calls.WriteFile(handle, bytes.data() + done, length, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

std::atomic<bool>* CtrlCFlag = nullptr;

BOOL WINAPI OnCtrlC(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // The first press is taken; the second ends the program by the system's default.
  return CtrlCFlag->exchange(true) ? FALSE : TRUE;
}

}  // namespace

std::wstring Utf16(const std::string& utf8) {
  if (utf8.empty()) return {};
  // Without MB_ERR_INVALID_CHARS a byte that is no UTF-8 becomes U+FFFD instead of failing.
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
  utf8.pop_back();  // the terminating zero
  return utf8;
}

const TConsoleCalls& SystemConsoleCalls() {
  static const TConsoleCalls calls{::GetStdHandle, ::GetConsoleMode, ::WriteConsoleW, ::WriteFile};
  return calls;
}

bool WriteStandard(DWORD stream, const std::string& utf8, const TConsoleCalls& calls) {
  const HANDLE handle = calls.GetStdHandle(stream);
  // A program started without standard handles (from a window program) has none.
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return false;
  DWORD mode = 0;
  // GetConsoleMode fails on anything but a console: the stream goes to a file or pipe.
  if (calls.GetConsoleMode(handle, &mode)) {
    const std::wstring text = Utf16(utf8);
    if (text.empty() != utf8.empty()) return false;
    return WriteToConsole(handle, text, calls);
  }
  return WriteBytes(handle, utf8, calls);
}

std::vector<std::string> CommandLineArguments() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> utf8;
  if (arguments == nullptr) return utf8;
  for (int i = 1; i < count; ++i) utf8.push_back(Utf8(arguments[i]));
  LocalFree(arguments);
  return utf8;
}

void CatchCtrlC(std::atomic<bool>& flag) {
  CtrlCFlag = &flag;
  SetConsoleCtrlHandler(OnCtrlC, TRUE);
}
