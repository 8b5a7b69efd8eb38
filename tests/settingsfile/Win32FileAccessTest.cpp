// A save on Windows through calls that answer as Windows may: a file held for a moment
// or for good by another program, and a ReplaceFileW that stops half way, as its
// documentation describes. The files are real; only the answers are made up.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "document/Cp1251.h"
#include "settingsfile/SettingsBackup.h"
#include "settingsfile/SettingsFile.h"
#include "settingsfile/Win32FileAccess.h"
#include "support/RecordingMessages.h"
#include "support/TemporaryFolder.h"

namespace {

namespace fs = std::filesystem;

enum class TCall { None, Create, Replace, Move, MoveNew };
enum class TContent { Nothing, Old, New };
constexpr int Forever = 1 << 30;

struct TRow {
  const char* Name;
  bool Exists;         // a save over a file, or of a new one (as every backup is)
  DWORD ReplaceError;  // ReplaceFileW stops half way with it, as documented
  TCall Held;          // refused with a sharing violation...
  int Times;           // ...so many times
  TContent Stands;     // at the target afterwards
  DWORD SleptMs;
  std::set<std::string> Names;  // in the folder afterwards
};

struct TState {
  TRow Row;
  fs::path Target, FirstTemporary;
  int Holds = 0;
  DWORD SleptMs = 0;
  int RemovedWhileTargetEmpty = 0;
};
TState State;

bool Held(TCall call, LPCWSTR source = nullptr) {
  const bool applies = State.Row.Held == call || (State.Row.Held == TCall::MoveNew && call == TCall::Move &&
                                                  fs::path(source) == State.FirstTemporary);
  if (!applies || State.Holds >= State.Row.Times) return false;
  ++State.Holds;
  SetLastError(ERROR_SHARING_VIOLATION);
  return true;
}

HANDLE WINAPI HeldCreate(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                         DWORD flags, HANDLE model) {
  if (Held(TCall::Create)) return INVALID_HANDLE_VALUE;
  return CreateFileW(name, access, share, security, disposition, flags, model);
}

BOOL WINAPI HalfReplace(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID, LPVOID) {
  if (Held(TCall::Replace)) return FALSE;
  const DWORD error = State.Row.ReplaceError;
  if (error == 0) return ReplaceFileW(replaced, replacement, backup, flags, nullptr, nullptr);
  // Without a name for it, the old file is gone (1176) or under a name of the system's (1177).
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT && backup == nullptr) DeleteFileW(replaced);
  if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
    MoveFileW(replaced, backup != nullptr ? backup : (fs::path(replaced) += L".replaced").c_str());
  SetLastError(error);
  return FALSE;
}

BOOL WINAPI HeldMove(LPCWSTR source, LPCWSTR target, DWORD flags) {
  if (Held(TCall::Move, source)) return FALSE;
  return MoveFileExW(source, target, flags);
}

BOOL WINAPI WatchedDelete(LPCWSTR name) {
  if (State.Row.Exists && GetFileAttributesW(State.Target.c_str()) == INVALID_FILE_ATTRIBUTES)
    ++State.RemovedWhileTargetEmpty;
  return DeleteFileW(name);
}

void WINAPI CountedSleep(DWORD ms) { State.SleptMs += ms; }

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Win32FileAccess, TheOldOrTheNewFileStandsWhateverWindowsAnswers) {
  constexpr DWORD Moved = ERROR_UNABLE_TO_MOVE_REPLACEMENT, MovedHalf = ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
  const TRow rows[] = {
      {"1176: both keep their names", true, Moved, TCall::None, 0, TContent::Old, 0, {"shop.dat"}},
      {"1177: the new file is moved in", true, MovedHalf, TCall::None, 0, TContent::New, 0, {"shop.dat"}},
      {"1177, the new file held: the old one goes back",
       true,
       MovedHalf,
       TCall::MoveNew,
       Forever,
       TContent::Old,
       1000,
       {"shop.dat"}},
      {"1177, every move held: both kept",
       true,
       MovedHalf,
       TCall::Move,
       Forever,
       TContent::Nothing,
       2000,
       {"shop.dat.~0", "shop.dat.~1"}},
      {"replace held twice", true, 0, TCall::Replace, 2, TContent::New, 30, {"shop.dat"}},
      {"replace held for good", true, 0, TCall::Replace, Forever, TContent::Old, 1000, {"shop.dat"}},
      {"new file, create held twice", false, 0, TCall::Create, 2, TContent::New, 30, {"shop.dat"}},
      {"new file, move held twice", false, 0, TCall::Move, 2, TContent::New, 30, {"shop.dat"}},
      {"new file, move held for good", false, 0, TCall::Move, Forever, TContent::Nothing, 1000, {}},
  };
  const std::string old = Utf8ToCp1251("[Налоги]\r\nНалог1=1\r\n;прежний\r\n");
  TKkmSettings settings;
  settings.Tax(1) = {true, "20,00", "новый", "И"};
  TFileCalls& calls = FileCalls();
  calls.CreateFileW = HeldCreate;
  calls.ReplaceFileW = HalfReplace;
  calls.MoveFileExW = HeldMove;
  calls.DeleteFileW = WatchedDelete;
  calls.Sleep = CountedSleep;
  for (const TRow& row : rows) {
    TTemporaryFolder folder;
    State = {row, folder.Path / "shop.dat", folder.Path / "shop.dat.~0"};
    if (row.Exists) std::ofstream(State.Target, std::ios::binary) << old;
    const std::string name = Utf8FromPath(State.Target);
    TRecordingMessages messages;
    const bool saved = SaveSettingsFile(name, settings, messages);

    const bool isNew = row.Stands == TContent::New;
    EXPECT_EQ(saved, isNew) << row.Name;
    EXPECT_EQ(messages.Shown,
              (isNew ? std::vector<TRecordingMessages::TShown>{}
                     : std::vector<TRecordingMessages::TShown>{{TMessageKind::Error, "Unable to write to " + name}}))
        << row.Name;
    EXPECT_EQ(fs::exists(State.Target), row.Stands != TContent::Nothing) << row.Name;
    const std::string stands = Bytes(State.Target);
    if (row.Stands == TContent::Old) {
      EXPECT_EQ(stands, old) << row.Name;
    }
    const bool holdsNew = stands.find(Utf8ToCp1251("Наимен1=новый")) != std::string::npos;
    EXPECT_EQ(holdsNew, isNew) << row.Name;
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path)) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, row.Names) << row.Name;
    EXPECT_EQ(State.SleptMs, row.SleptMs) << row.Name;
    EXPECT_EQ(State.RemovedWhileTargetEmpty, 0) << row.Name;
  }
  calls = TFileCalls();
}

}  // namespace
