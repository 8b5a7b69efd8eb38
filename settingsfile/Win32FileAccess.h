#pragma once

// The Windows side of FileAccess: the system calls a save makes.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// Answered as Windows may answer them, a test can hold a file as a scanner does for a
// moment, or leave a ReplaceFileW half way. The pauses between attempts are part of
// it, so that such a test takes no real time.
struct TFileCalls {
  decltype(&::CreateFileW) CreateFileW = &::CreateFileW;
  decltype(&::ReplaceFileW) ReplaceFileW = &::ReplaceFileW;
  decltype(&::MoveFileExW) MoveFileExW = &::MoveFileExW;
  decltype(&::DeleteFileW) DeleteFileW = &::DeleteFileW;
  decltype(&::GetFileAttributesW) GetFileAttributesW = &::GetFileAttributesW;
  decltype(&::Sleep) Sleep = &::Sleep;
};

// The calls every save and backup makes; a test puts its own in and the real ones back.
TFileCalls& FileCalls();

// How long a save waits, in growing pauses, for a file that another program holds.
constexpr DWORD HeldFileWaitMs = 1000;
