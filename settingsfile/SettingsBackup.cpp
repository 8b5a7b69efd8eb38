#include "settingsfile/SettingsBackup.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "settingsfile/FileAccess.h"
#include "settingsfile/ProfileFile.h"
#include "settingsfile/SettingsFile.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs; it declares the known folders too.
#include <shlobj.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

const char* const ProgramFolder = "orbi7prog";
const char* const BackupsFolder = "backups";

#ifdef _WIN32
// The roaming application data folder, from the system itself rather than from the
// environment, which a Cyrillic user name would reach only through the ANSI code page.
std::filesystem::path ApplicationDataFolder() {
  PWSTR folder = nullptr;
  std::filesystem::path path;
  if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder) == S_OK) path = folder;
  CoTaskMemFree(folder);
  return path;
}
#else
std::filesystem::path ApplicationDataFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && std::filesystem::path(data).is_absolute()) return data;
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    const passwd* user = getpwuid(getuid());
    home = user != nullptr ? user->pw_dir : nullptr;
  }
  if (home == nullptr || *home == '\0') return {};
  return std::filesystem::path(home) / ".local" / "share";
}
#endif

std::string TwoDigits(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

std::string BaseName(int kkmNumber, std::int32_t version, const std::tm& time) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", time.tm_year + 1900, time.tm_mon + 1, time.tm_mday,
                time.tm_hour, time.tm_min, time.tm_sec);
  return "kkm" + TwoDigits(kkmNumber) + "-" + std::to_string(version) + "-" + stamp;
}

}  // namespace

std::filesystem::path DefaultDataFolder() {
  const std::filesystem::path data = ApplicationDataFolder();
  if (data.empty()) return {};
  return data / ProgramFolder;
}

std::filesystem::path DefaultBackupFolder() {
  const std::filesystem::path data = DefaultDataFolder();
  return data.empty() ? data : data / BackupsFolder;
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

TBackupFolder::TBackupFolder(std::filesystem::path folder, TLocalTime now)
    : Place(std::move(folder)), Now(std::move(now)) {}

std::string TBackupFolder::NewFileName(int kkmNumber, std::int32_t version) {
  const std::string base = BaseName(kkmNumber, version, Now());
  std::filesystem::path path = Place / PathFromUtf8(base + ".dat");
  const std::lock_guard<std::mutex> lock(Naming);
  std::error_code error;
  for (int n = 2; std::filesystem::exists(path, error) || Given.contains(Utf8FromPath(path)); ++n)
    path = Place / PathFromUtf8(base + "-" + std::to_string(n) + ".dat");
  return *Given.insert(Utf8FromPath(path)).first;
}

bool TBackupFolder::Save(const std::string& fileName, const TKkmSettings& settings) {
  if (Place.empty()) return false;
  TProfileFile file;
  if (!file.WriteStrings(SettingsFileEntries(settings))) return false;
  std::error_code error;
  std::filesystem::create_directories(Place, error);
  if (error) return false;
  return ReplaceFileBytes(PathFromUtf8(fileName), file.Bytes());
}
