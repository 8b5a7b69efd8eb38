#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "register/WriteBackup.h"

// Backups kept in memory: every name asked for and every save, in order; told to, it
// refuses to save.
class TRecordingBackup : public TWriteBackup {
 public:
  struct TSaved {
    std::string FileName;
    TKkmSettings Settings;
  };

  std::string NewFileName(int kkmNumber, std::int32_t version) override {
    Names.push_back("backups/kkm" + std::to_string(kkmNumber) + "-" + std::to_string(version) + ".dat");
    return Names.back();
  }
  std::string Folder() const override { return "backups"; }
  bool Save(const std::string& fileName, const TKkmSettings& settings) override {
    if (Refuse) return false;
    Saved.push_back({fileName, settings});
    return true;
  }

  std::vector<std::string> Names;
  std::vector<TSaved> Saved;
  bool Refuse = false;
};
