#pragma once

#include <array>

// The names under which the window keeps its own settings between runs, in the
// system's place for them (the registry on Windows, ~/.config elsewhere). The console
// program reads the ones that tell support something for its diagnostics.
inline constexpr const char* LastPortKey = "Port/LastDevice";
inline constexpr const char* LastFolderKey = "Files/LastFolder";
inline constexpr const char* WindowSizeKey = "Window/Geometry";
// "true" when the read and the write exchange a byte at a time ("Побайтный обмен").
inline constexpr const char* BytewiseKey = "transfer/bytewise";

// The kept settings that the diagnostics show; the window's size is not among them.
inline constexpr std::array<const char*, 3> DiagnosedSettingKeys = {LastPortKey, LastFolderKey, BytewiseKey};
