#pragma once

#include <string>

// The bytes of a settings file as the profile reader takes them: Windows-1251. Files
// that other editors saved are taken as well:
// - a file that starts with the UTF-16LE mark (FF FE) is UTF-16, as the system's own
//   profile functions read it;
// - a file that starts with the UTF-8 mark (EF BB BF) is UTF-8;
// - a file without a mark is UTF-8 only when all its bytes are valid UTF-8, at least
//   one character lies beyond ASCII, and one of the three section headers of the
//   settings stands in it in UTF-8 but none in Windows-1251; every other file is
//   Windows-1251, as the program itself writes it.
// Characters that Windows-1251 cannot hold become '?'.
std::string SettingsFileText(std::string bytes);
