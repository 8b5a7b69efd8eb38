#include "settingsfile/FileAccess.h"

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
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

// Created exclusively, so that a stray file of the same name is never overwritten,
// through the system's own call: the C runtime that programs built with MinGW use on
// Windows refuses fopen's "x", which Wine accepts.
TFile CreateNewFile(const std::filesystem::path& path) {
#ifdef _WIN32
  const HANDLE handle =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  TFile file(_fdopen(fd, "wb"));
  if (!file) _close(fd);
  return file;
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  TFile file(fdopen(fd, "wb"));
  if (!file) ::close(fd);
  return file;
#endif
}

// Puts the finished temporary file in the target's place. On Windows an existing file
// is replaced with ReplaceFileW, which keeps its owner, permissions and attributes.
bool PutInPlace(const std::filesystem::path& temporary, const std::filesystem::path& target, bool exists) {
#ifdef _WIN32
  if (exists) {
    return ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr) != 0;
  }
#else
  (void)exists;
#endif
  std::error_code error;
  std::filesystem::rename(temporary, target, error);
  return !error;
}

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

bool ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path target = path;
  if (fs::is_symlink(target, error)) {
    target = fs::canonical(path, error);
    if (error) return false;
  }
  const fs::file_status status = fs::status(target, error);
  const bool exists = fs::exists(status);
  if (exists) {
    if (!fs::is_regular_file(status)) return false;
    // Renaming over a file needs no right to write it; a read-only file stays so.
    if (!std::ofstream(target, std::ios::binary | std::ios::app)) return false;
  }

  fs::path temporary;
  TFile file;
  for (int attempt = 0; attempt < 100 && !file; ++attempt) {
    temporary = target;
    temporary += ".~" + std::to_string(attempt);
    file = CreateNewFile(temporary);
  }
  if (!file) return false;
  bool done = WriteAndClose(std::move(file), bytes);
  if (done && exists) fs::permissions(temporary, status.permissions(), error);
  done = done && PutInPlace(temporary, target, exists);
  if (!done) fs::remove(temporary, error);
  return done;
}
