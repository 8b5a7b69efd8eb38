#include "settingsfile/FileAccess.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "settingsfile/Win32FileAccess.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

#ifdef _WIN32
using TSystem = TFileCalls;

const TSystem& System() { return FileCalls(); }

// Virus scanners, the search indexer and synchronising clients open a file that has
// just been closed, some of them without sharing it, and ReplaceFileW opens the new
// file without sharing: such a hold lasts moments, so the call is made again after
// growing pauses, for about a second in all. ReplaceFileW says such a hold on the old
// file as ERROR_UNABLE_TO_REMOVE_REPLACED, with both files still in place. Any other
// failure is final at once.
bool BrieflyHeld(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

template <typename TCall>
bool Persistently(const TSystem& calls, TCall call) {
  DWORD waited = 0;
  DWORD pause = 10;
  while (!call()) {
    const DWORD error = GetLastError();
    if (!BrieflyHeld(error) || waited >= HeldFileWaitMs) {
      SetLastError(error);
      return false;
    }
    const DWORD now = std::min(pause, HeldFileWaitMs - waited);
    calls.Sleep(now);
    waited += now;
    pause *= 2;
  }
  return true;
}

bool Stands(const TSystem& calls, const std::filesystem::path& path) {
  return calls.GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Remove(const TSystem& calls, const std::filesystem::path& path) {
  Persistently(calls, [&] { return calls.DeleteFileW(path.c_str()) != 0; });
}

// A name beside the target under which nothing stands, of the temporary files' kind.
std::filesystem::path FreeName(const TSystem& calls, const std::filesystem::path& target) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path name = target;
    name += ".~" + std::to_string(attempt);
    if (calls.GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND)
      return name;
  }
  return {};
}

// Whether the save may replace the file: not one marked read-only (which stays so), and
// one this user may write, waited for while another program holds it, as ReplaceFileW
// would be. Replacing needs no right to write the file itself, so the save asks for it.
bool MayReplace(const TSystem& calls, const std::filesystem::path& target) {
  const DWORD attributes = calls.GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (!Persistently(calls, [&] {
        handle =
            calls.CreateFileW(target.c_str(), FILE_WRITE_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle != INVALID_HANDLE_VALUE;
      }))
    return false;
  CloseHandle(handle);
  return true;
}

// Created exclusively, so that a stray file of the same name is never overwritten,
// through the system's own call: the C runtime that programs built with MinGW use on
// Windows refuses fopen's "x", which Wine accepts. Only a name already taken is worth
// trying another for.
TFile CreateNewFile(const TSystem& calls, const std::filesystem::path& path, bool& tryAnotherName) {
  HANDLE handle = INVALID_HANDLE_VALUE;
  const bool created = Persistently(calls, [&] {
    handle = calls.CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle != INVALID_HANDLE_VALUE;
  });
  if (!created) {
    const DWORD error = GetLastError();
    tryAnotherName = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  TFile file(_fdopen(fd, "wb"));
  if (!file) _close(fd);
  return file;
}

// An existing file is replaced with ReplaceFileW, which keeps its owner, permissions
// and attributes. It is given a name to keep the old file under, so that each outcome
// it documents leaves every file under a name known here: success; the old file
// still in place (ERROR_UNABLE_TO_REMOVE_REPLACED, ERROR_UNABLE_TO_MOVE_REPLACEMENT,
// any other error); or the target's name empty, the old file under the name given
// and the new one under its own (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, and what
// ERROR_UNABLE_TO_MOVE_REPLACEMENT means without that name). What stands at the
// target decides, not the error: an empty name gets the new file, or else the old one
// back. A file is removed only while the old or the new content stands at the target;
// keepTemporary says when the new one must stay where it is.
bool PutInPlace(const TSystem& calls, const std::filesystem::path& temporary, const std::filesystem::path& target,
                bool exists, bool& keepTemporary) {
  if (!exists) {
    // A file that has appeared under the name since is not written over.
    return Persistently(calls,
                        [&] { return calls.MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH); });
  }
  const std::filesystem::path old = FreeName(calls, target);
  if (old.empty()) return false;
  const bool replaced = Persistently(calls, [&] {
    return calls.ReplaceFileW(target.c_str(), temporary.c_str(), old.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                              nullptr);
  });
  if (!replaced && Stands(calls, target)) return false;
  if (!replaced) {
    const bool moved = Persistently(calls, [&] {
      return calls.MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    });
    if (!moved) {
      keepTemporary =
          !Persistently(calls, [&] { return calls.MoveFileExW(old.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH); });
      return false;
    }
  }
  Remove(calls, old);
  return true;
}

void RemoveTemporary(const TSystem& calls, const std::filesystem::path& temporary) { Remove(calls, temporary); }
#else
struct TSystem {};  // the POSIX calls are made as they are

const TSystem& System() {
  static const TSystem system;
  return system;
}

// Renaming over a file needs no right to write it, so the save asks for it; a read-only
// file stays so.
bool MayReplace(const TSystem&, const std::filesystem::path& target) {
  return static_cast<bool>(std::ofstream(target, std::ios::binary | std::ios::app));
}

TFile CreateNewFile(const TSystem&, const std::filesystem::path& path, bool& tryAnotherName) {
  tryAnotherName = true;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  TFile file(fdopen(fd, "wb"));
  if (!file) ::close(fd);
  return file;
}

bool PutInPlace(const TSystem&, const std::filesystem::path& temporary, const std::filesystem::path& target, bool,
                bool&) {
  std::error_code error;
  std::filesystem::rename(temporary, target, error);
  return !error;
}

void RemoveTemporary(const TSystem&, const std::filesystem::path& temporary) {
  std::error_code error;
  std::filesystem::remove(temporary, error);
}
#endif

bool WriteAndClose(TFile file, std::string_view bytes) {
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  written = std::fflush(file.get()) == 0 && written;
  // The rename must not reach the disk before the content does.
#ifdef _WIN32
  written = _commit(_fileno(file.get())) == 0 && written;
#else
  written = fsync(fileno(file.get())) == 0 && written;
#endif
  return std::fclose(file.release()) == 0 && written;
}

}  // namespace

std::filesystem::path PathFromUtf8(std::string_view fileName) {
  return std::filesystem::path(std::u8string(fileName.begin(), fileName.end()));
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

#ifdef _WIN32
TFileCalls& FileCalls() {
  static TFileCalls calls;
  return calls;
}
#endif

bool ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  namespace fs = std::filesystem;
  const TSystem& system = System();
  std::error_code error;
  fs::path target = path;
  if (fs::is_symlink(target, error)) {
    target = fs::canonical(path, error);
    if (error) return false;
  }
  const fs::file_status status = fs::status(target, error);
  const bool exists = fs::exists(status);
  if (exists) {
    if (!fs::is_regular_file(status) || !MayReplace(system, target)) return false;
  }

  fs::path temporary;
  TFile file;
  bool tryAnotherName = true;
  for (int attempt = 0; attempt < 100 && !file && tryAnotherName; ++attempt) {
    temporary = target;
    temporary += ".~" + std::to_string(attempt);
    file = CreateNewFile(system, temporary, tryAnotherName);
  }
  if (!file) return false;
  bool done = WriteAndClose(std::move(file), bytes);
  if (done && exists) fs::permissions(temporary, status.permissions(), error);
  bool keepTemporary = false;
  done = done && PutInPlace(system, temporary, target, exists, keepTemporary);
  if (!done && !keepTemporary) RemoveTemporary(system, temporary);
  return done;
}
