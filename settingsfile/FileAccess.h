#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Whole-file access for the settings file, which is opened by name for each load
// or save and kept open no longer.

// A path from a UTF-8 file name, as the window's file dialogs give it.
std::filesystem::path PathFromUtf8(std::string_view fileName);

// The bytes of a regular file; nothing when it does not exist, is no regular file
// or cannot be read to the end.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

// Replaces the file's content as a whole or not at all: the bytes go to a new file
// beside it, which is then renamed over it, so that a failure at any point leaves
// the old file as it was. A link is followed and its target replaced; an existing
// file keeps its permissions, and one that may not be written is refused.
bool ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes);
