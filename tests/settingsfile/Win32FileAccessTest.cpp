// A save through file calls that answer as Windows may: a file held by another program
// for a moment or for good, and a ReplaceFileW that stops half way as documented. The
// files are real; only the answers are made up.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "document/Cp1251.h"
#include "settingsfile/SettingsBackup.h"
#include "settingsfile/SettingsFile.h"
#include "settingsfile/Win32FileAccess.h"
#include "support/RecordingMessages.h"
#include "support/TemporaryFolder.h"

namespace {

namespace fs = std::filesystem;

enum class TCall { None, Check, Create, Replace, Move, MoveNew };  // Check: the target's own open
enum class TContent { Nothing, Old, New };
constexpr int Forever = 1 << 30;

struct TRow {
  bool Exists;         // a save over a file, or of a new one as every backup is
  DWORD ReplaceError;  // where ReplaceFileW stops half way
  TCall Held;          // refused with HeldWith so many times
  int Times;
  TContent Stands;  // at the file's name afterwards
  DWORD SleptMs;
  std::set<std::string> Names;  // in the folder afterwards
  DWORD HeldWith = ERROR_SHARING_VIOLATION;
  bool ReadOnly = false;  // the file is marked so
};

struct {
  TRow Row;
  fs::path Target;
  int Holds;
  DWORD SleptMs;
  int RemovedWhileNameEmpty;
} State;

bool Held(TCall call, const fs::path& source = {}) {
  const bool heldNew = State.Row.Held == TCall::MoveNew && call == TCall::Move && source.extension() == ".~0";
  if ((State.Row.Held != call && !heldNew) || State.Holds >= State.Row.Times) return false;
  ++State.Holds;
  SetLastError(State.Row.HeldWith);
  return true;
}

BOOL WINAPI HalfReplace(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID, LPVOID) {
  const DWORD error = State.Row.ReplaceError;
  if (Held(TCall::Replace)) return FALSE;
  if (error == 0) return ReplaceFileW(replaced, replacement, backup, flags, nullptr, nullptr);
  // Without a name for it, the old file is gone (1176) or under a name of the system's (1177).
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT && backup == nullptr) DeleteFileW(replaced);
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileW(replaced, backup ? backup : L"elsewhere");
  SetLastError(error);
  return FALSE;
}

TEST(Win32FileAccess, TheOldOrTheNewFileStandsWhateverWindowsAnswers) {
  using enum TCall;
  using enum TContent;
  constexpr DWORD Half = ERROR_UNABLE_TO_MOVE_REPLACEMENT, Half2 = ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
  const TRow rows[] = {
      {true, Half, None, 0, Old, 0, {"shop.dat"}},
      {true, Half2, None, 0, New, 0, {"shop.dat"}},
      {true, Half2, MoveNew, Forever, Old, 1000, {"shop.dat"}},  // the old file goes back
      {true, Half2, Move, Forever, Nothing, 2000, {"shop.dat.~0", "shop.dat.~1"}},
      {true, 0, Replace, 2, New, 30, {"shop.dat"}},
      {true, 0, Replace, 2, New, 30, {"shop.dat"}, ERROR_ACCESS_DENIED},
      {true, 0, Replace, 2, New, 30, {"shop.dat"}, ERROR_LOCK_VIOLATION},
      {true, 0, Replace, 2, New, 30, {"shop.dat"}, ERROR_UNABLE_TO_REMOVE_REPLACED},  // a scanner on the old file
      {true, 0, Replace, 2, Old, 0, {"shop.dat"}, ERROR_INVALID_PARAMETER},           // final at once
      {true, 0, Replace, Forever, Old, 1000, {"shop.dat"}},
      {true, 0, Check, 2, New, 30, {"shop.dat"}},
      {true, 0, None, 0, Old, 0, {"shop.dat"}, ERROR_SUCCESS, true},
      {false, 0, Create, 2, New, 30, {"shop.dat"}},
      {false, 0, Move, Forever, Nothing, 1000, {}},
  };
  const std::string old = Utf8ToCp1251("[Налоги]\r\nНалог1=1\r\n;прежний\r\n");
  TKkmSettings settings;
  settings.Tax(1) = {true, "20,00", "новый", "И"};
  TFileCalls& calls = FileCalls();
  calls.CreateFileW = [](LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                         DWORD flags, HANDLE model) WINAPI {
    const TCall call = fs::path(name) == State.Target ? Check : Create;
    return Held(call) ? INVALID_HANDLE_VALUE : CreateFileW(name, access, share, security, disposition, flags, model);
  };
  calls.ReplaceFileW = HalfReplace;
  calls.MoveFileExW = [](LPCWSTR source, LPCWSTR target, DWORD flags)
                          WINAPI -> BOOL { return !Held(Move, source) && MoveFileExW(source, target, flags); };
  calls.DeleteFileW = [](LPCWSTR name) WINAPI {
    State.RemovedWhileNameEmpty += State.Row.Exists && !fs::exists(State.Target);
    return DeleteFileW(name);
  };
  calls.Sleep = [](DWORD ms) WINAPI { State.SleptMs += ms; };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const TRow& row = rows[i];
    TTemporaryFolder folder;
    State = {row, folder.Path / "shop.dat", 0, 0, 0};
    if (row.Exists) std::ofstream(State.Target, std::ios::binary) << old;
    if (row.ReadOnly) SetFileAttributesW(State.Target.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string name = Utf8FromPath(State.Target);
    TRecordingMessages messages;
    EXPECT_EQ(SaveSettingsFile(name, settings, messages), row.Stands == New) << i;
    EXPECT_EQ(messages.Shown.size(), row.Stands == New ? 0u : 1u) << i;
    for (const auto& shown : messages.Shown) EXPECT_EQ(shown.Text, "Unable to write to " + name) << i;
    std::ifstream in(State.Target, std::ios::binary);
    const std::string stands((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(stands == old, row.Stands == Old) << i;
    EXPECT_EQ(stands.find(Utf8ToCp1251("Наимен1=новый")) != std::string::npos, row.Stands == New) << i;
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path)) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, row.Names) << i;
    EXPECT_EQ(State.SleptMs, row.SleptMs) << i;
    EXPECT_EQ(State.RemovedWhileNameEmpty, 0) << i;
    SetFileAttributesW(State.Target.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  calls = TFileCalls();
}

}  // namespace
