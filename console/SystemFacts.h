#pragma once

#include <string>
#include <utility>
#include <vector>

// The window's kept settings as the diagnostics show them: name and value.
using TKeptSettings = std::vector<std::pair<std::string, std::string>>;

// The system's name and version for the diagnostics: "Linux 6.1.0-18-amd64 x86_64
// (Debian GNU/Linux 12 (bookworm))", "Windows 10.0.19045".
std::string SystemVersionText();

// The window's settings that the diagnostics show, from where the window keeps them:
// its INI file under ~/.config, or the registry on Windows. Those never kept are left
// out; one that cannot be read says so as its value.
TKeptSettings KeptWindowSettings();

// The values of `keys` ("Port/LastDevice") in the text of an INI file as the window's
// toolkit writes it ([Port] with LastDevice=…), quotes and escapes undone.
TKeptSettings IniSettings(const std::string& text, const std::vector<std::string>& keys);
