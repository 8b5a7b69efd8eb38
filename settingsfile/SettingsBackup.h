#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "document/LocalTime.h"
#include "document/TKkmSettings.h"

// The user's folder for the settings a write replaces: %APPDATA%\orbi7prog\backups
// on Windows, $XDG_DATA_HOME/orbi7prog/backups elsewhere, or
// ~/.local/share/orbi7prog/backups when XDG_DATA_HOME is not an absolute path. Empty
// when the system names no such place.
std::filesystem::path DefaultBackupFolder();
// The program's own data folder, which holds the backups and the journal.
std::filesystem::path DefaultDataFolder();

// The name of a path as UTF-8, as messages show it.
std::string Utf8FromPath(const std::filesystem::path& path);

// Backups as settings files in one folder, named by register number, firmware version
// and local time: "kkm37-105-20261209-143205.dat". A name already taken gets "-2",
// "-3" and so on before ".dat", and so does a name handed out before: writes on several
// ports at once share one folder.
class TBackupFolder {
 public:
  using TLocalTime = std::function<std::tm()>;

  explicit TBackupFolder(std::filesystem::path folder, TLocalTime now = LocalTimeNow);

  // The UTF-8 name of a file not there yet for register `kkmNumber` with firmware
  // `version`, read now.
  std::string NewFileName(int kkmNumber, std::int32_t version);
  std::string Folder() const { return Utf8FromPath(Place); }
  // Makes the folder if need be; false when the file could not be written whole.
  bool Save(const std::string& fileName, const TKkmSettings& settings);

 private:
  std::filesystem::path Place;
  TLocalTime Now;
  std::mutex Naming;
  std::set<std::string> Given;
};
