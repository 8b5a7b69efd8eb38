#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/RegisterOrigin.h"
#include "document/TKkmSettings.h"
#include "document/UserMessages.h"
#include "settingsfile/ProfileFile.h"

// The settings file: the whole document as a Windows-1251 profile file with the
// sections "Налоги", "Скидки/Надбавки" and "ТовГр".

inline constexpr const char* TaxSection = "Налоги";
inline constexpr const char* RateSection = "Скидки/Надбавки";
inline constexpr const char* GroupSection = "ТовГр";

// The register the document came from, at the file's end: "Номер", "ПО", "Дата" and
// "Порт". A file without it is one whose document never met a register.
inline constexpr const char* RegisterSection = "ККМ";

// The register section of a file as the profile reader takes it (Windows-1251); none
// when the file has no such section.
TDocumentOrigin ReadRegisterOrigin(const TProfileFile& file);

// Every key of the document in the order it is written, names and values in
// Windows-1251 as they stand in a file: 15 tax keys, 16 rate keys, 324 group keys. A
// value with blanks or quotes at either end is quoted, so that a read gives it back
// as it is; a line break becomes a blank.
std::vector<TProfileEntry> SettingsFileEntries(const TKkmSettings& settings);

// Takes every key from the file, the default where a key is missing, and tells the
// window that every section changed. No validation: values go in as they are.
void ReadSettings(const TProfileFile& file, TKkmSettings& settings);

// An enable flag: a whole number, decimal or hexadecimal with 0x or 0X, that is not
// zero. Any other text is not a number and leaves the tax disabled.
bool IsEnabledFlag(std::string_view text);

// Reads the document from a file's bytes in any of its encodings (SettingsFileText);
// returns whether one of the three sections stands in the file. The file's register
// section goes to `origin` where one is given.
bool ReadSettingsFileBytes(std::string bytes, TKkmSettings& settings, TDocumentOrigin* origin = nullptr);

// The bytes of the file `old` (empty for a new one) with the document's keys written
// into it: its other sections, keys and comments kept, and its encoding too (a file in
// UTF-16 or UTF-8 stays so, with its mark if it had one). The register section
// follows the origin: left as it stands when it names the same, written anew at the
// end with the file's own line ends when it does not, and taken out for a document
// without one. Nothing when a value holds a line break, which would end it.
std::optional<std::string> SettingsFileBytes(std::string old, const TKkmSettings& settings,
                                             const TDocumentOrigin& origin = std::nullopt);

// The load command for the chosen file name (UTF-8). A file that does not exist or
// cannot be read changes nothing and says so; returns whether the document was loaded.
// A file in which none of the three sections stands loads as defaults and says
// "В файле <name> нет установок ККМ.". The file's register section goes to `origin`
// where one is given.
bool LoadSettingsFile(const std::string& fileName, TKkmSettings& settings, TUserMessages& messages,
                      TDocumentOrigin* origin = nullptr);

// The save command for the chosen file name (UTF-8): SettingsFileBytes over the
// file's existing content; the file is replaced as a whole or, on failure, left as it
// was and the failure reported. Returns whether the file was written.
bool SaveSettingsFile(const std::string& fileName, const TKkmSettings& settings, TUserMessages& messages,
                      const TDocumentOrigin& origin = std::nullopt);
