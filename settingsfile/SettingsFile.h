#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "document/TKkmSettings.h"
#include "document/UserMessages.h"
#include "settingsfile/ProfileFile.h"

// The settings file: the whole document as a Windows-1251 profile file with the
// sections "Налоги", "Скидки/Надбавки" and "ТовГр".

inline constexpr const char* TaxSection = "Налоги";
inline constexpr const char* RateSection = "Скидки/Надбавки";
inline constexpr const char* GroupSection = "ТовГр";

// Every key of the document in the order it is written, names and values in
// Windows-1251: 15 tax keys, 16 rate keys, 324 group keys.
std::vector<TProfileEntry> SettingsFileEntries(const TKkmSettings& settings);

// Takes every key from the file, the default where a key is missing, and tells the
// window that every section changed. No validation: values go in as they are.
void ReadSettings(const TProfileFile& file, TKkmSettings& settings);

// An enable flag: a whole number, decimal or hexadecimal with 0x or 0X, that is not
// zero. Any other text is not a number and leaves the tax disabled.
bool IsEnabledFlag(std::string_view text);

// The load command for the chosen file name (UTF-8). A file that does not exist or
// cannot be read changes nothing and says so; returns whether the document was loaded.
// Files in UTF-16 or UTF-8 load as well (SettingsFileText); one in which none of the
// three sections stands loads as defaults and says "В файле <name> нет установок ККМ.".
bool LoadSettingsFile(const std::string& fileName, TKkmSettings& settings, TUserMessages& messages);

// The save command for the chosen file name (UTF-8). The document's keys are written
// into the file's existing content, which keeps its other sections, keys and
// comments; the file is replaced as a whole or, on failure, left as it was and the
// failure reported. Returns whether the file was written.
bool SaveSettingsFile(const std::string& fileName, const TKkmSettings& settings, TUserMessages& messages);
