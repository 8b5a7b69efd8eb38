#pragma once

#include <cstdint>
#include <string>

#include "document/TKkmSettings.h"

// Where a write keeps the settings a register held before it changes them: a settings
// file of the program's own, so that loading it and writing it undoes the write. The
// window's program keeps them in a folder of the user's; tests keep them where they
// like.
class TWriteBackup {
 public:
  // The UTF-8 name of a file not there yet for the settings of register `kkmNumber`
  // (0 to 99) with firmware `version`, read now.
  virtual std::string NewFileName(int kkmNumber, std::int32_t version) = 0;
  // The folder the files go to, as a message names it.
  virtual std::string Folder() const = 0;
  // Writes the settings as a settings file of that name, making the folder first if
  // need be; false when the file could not be written whole.
  virtual bool Save(const std::string& fileName, const TKkmSettings& settings) = 0;

 protected:
  ~TWriteBackup() = default;
};

// A store of backups from a layer that does not know the write (a folder of settings
// files) serving as the write's backup.
template <typename TStore>
class TWriteBackupIn final : public TWriteBackup {
 public:
  explicit TWriteBackupIn(TStore& store) : Store(store) {}

  std::string NewFileName(int kkmNumber, std::int32_t version) override {
    return Store.NewFileName(kkmNumber, version);
  }
  std::string Folder() const override { return Store.Folder(); }
  bool Save(const std::string& fileName, const TKkmSettings& settings) override {
    return Store.Save(fileName, settings);
  }

 private:
  TStore& Store;
};

// Passes a backup on, and notes the file that the write kept.
class TKeptBackup final : public TWriteBackup {
 public:
  explicit TKeptBackup(TWriteBackup& backup) : Backup(backup) {}
  std::string NewFileName(int kkmNumber, std::int32_t version) override {
    return Backup.NewFileName(kkmNumber, version);
  }
  std::string Folder() const override { return Backup.Folder(); }
  bool Save(const std::string& fileName, const TKkmSettings& settings) override {
    const bool saved = Backup.Save(fileName, settings);
    if (saved) File = fileName;
    return saved;
  }

  std::string File;

 private:
  TWriteBackup& Backup;
};
