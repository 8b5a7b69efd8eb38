#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>

// A folder of the test's own under the system's temporary folder, empty at the start
// and removed at the end.
class TTemporaryFolder {
 public:
  TTemporaryFolder()
      : Path(std::filesystem::temp_directory_path() /
             ("orbi7-test-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~TTemporaryFolder() { std::filesystem::remove_all(Path); }
  TTemporaryFolder(const TTemporaryFolder&) = delete;
  TTemporaryFolder& operator=(const TTemporaryFolder&) = delete;

  const std::filesystem::path Path;
};

// A local time of 9 December 2026, as a clock of the backups would give it.
inline std::tm December9(int hour, int minute, int second) {
  std::tm time{};
  time.tm_year = 2026 - 1900;
  time.tm_mon = 11;
  time.tm_mday = 9;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}
