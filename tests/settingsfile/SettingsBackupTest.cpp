#include <gtest/gtest.h>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "settingsfile/FileAccess.h"
#include "settingsfile/SettingsBackup.h"
#include "settingsfile/SettingsFile.h"
#include "support/RecordingMessages.h"
#include "support/TemporaryFolder.h"

namespace {

namespace fs = std::filesystem;

class SettingsBackupTest : public ::testing::Test {
 protected:
  TTemporaryFolder Folder;
  const fs::path& Root = Folder.Path;
};

TEST_F(SettingsBackupTest, NamedByRegisterFirmwareAndLocalTimeNeverTakingAnExistingName) {
  TBackupFolder backup(Root / "в папке", [] { return December9(14, 32, 5); });
  const std::string first = backup.NewFileName(37, 105);
  EXPECT_EQ(PathFromUtf8(first), Root / "в папке" / "kkm37-105-20261209-143205.dat");
  EXPECT_EQ(PathFromUtf8(backup.NewFileName(5, 103)).filename(), "kkm05-103-20261209-143205.dat");

  TKkmSettings settings;
  settings.Tax(1) = {true, "20,00", "НДС", "И"};
  settings.Group(7) = {"1", "", "2"};
  ASSERT_TRUE(backup.Save(first, settings));  // the folder is made on the way
  EXPECT_EQ(PathFromUtf8(backup.NewFileName(37, 105)).filename(), "kkm37-105-20261209-143205-2.dat");

  TKkmSettings loaded;
  TRecordingMessages messages;
  ASSERT_TRUE(LoadSettingsFile(first, loaded, messages));
  EXPECT_EQ(loaded, settings);
  EXPECT_TRUE(messages.Shown.empty());
}

// What a register can hold comes back from its backup as it was: names with blanks at
// either end or in quotes of their own. A line break, which no settings file can hold,
// comes back as a blank.
TEST_F(SettingsBackupTest, ValuesComeBackAsTheyWereKept) {
  TBackupFolder backup(Root, [] { return December9(9, 0, 0); });
  TKkmSettings settings;
  settings.Tax(1) = {true, "20,00", " НДС            ", "И"};
  settings.Tax(2) = {true, "10,00", "\"Сбор\"", "Н"};
  settings.Tax(3) = {true, "05,00", "'x'  ", "Н"};
  settings.Tax(4) = {true, "01,00", "\tНП", "Н"};
  settings.Discount(2) = "0\n,12";
  const std::string file = backup.NewFileName(1, 104);
  ASSERT_TRUE(backup.Save(file, settings));
  TKkmSettings loaded;
  TRecordingMessages messages;
  ASSERT_TRUE(LoadSettingsFile(file, loaded, messages));
  TKkmSettings expected = settings;
  expected.Discount(2) = "0 ,12";
  EXPECT_EQ(loaded, expected);
  // Mended: the backup opened and saved again lost the blanks and quotes.
  ASSERT_TRUE(SaveSettingsFile(file, loaded, messages));
  ASSERT_TRUE(LoadSettingsFile(file, loaded, messages));
  EXPECT_EQ(loaded, expected);
}

TEST_F(SettingsBackupTest, FolderThatCannotBeMadeRefusesTheSaveAndLeavesNothing) {
  std::ofstream(Root / "file") << "in the way";
  TBackupFolder blocked(Root / "file" / "backups", [] { return December9(0, 0, 0); });
  EXPECT_FALSE(blocked.Save(blocked.NewFileName(1, 104), TKkmSettings{}));
  EXPECT_EQ(blocked.Folder(), Utf8FromPath(Root / "file" / "backups"));
  EXPECT_EQ(std::distance(fs::directory_iterator(Root), fs::directory_iterator()), 1);
  EXPECT_FALSE(TBackupFolder(fs::path()).Save("kkm01.dat", TKkmSettings{}));
  EXPECT_FALSE(fs::exists("kkm01.dat"));
}

#ifndef _WIN32
TEST(DefaultBackupFolder, FollowsTheUsersDataFolder) {
  const char* home = std::getenv("HOME");
  const char* data = std::getenv("XDG_DATA_HOME");
  const std::optional<std::string> oldHome = home ? std::optional<std::string>(home) : std::nullopt;
  const std::optional<std::string> oldData = data ? std::optional<std::string>(data) : std::nullopt;

  setenv("HOME", "/home/техник", 1);
  setenv("XDG_DATA_HOME", "/srv/data", 1);
  EXPECT_EQ(DefaultBackupFolder(), fs::path("/srv/data/orbi7prog/backups"));
  setenv("XDG_DATA_HOME", "relative/data", 1);  // not absolute: not to be used
  EXPECT_EQ(DefaultBackupFolder(), fs::path("/home/техник/.local/share/orbi7prog/backups"));
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(DefaultBackupFolder(), fs::path("/home/техник/.local/share/orbi7prog/backups"));
  unsetenv("HOME");  // then the user's home as the system knows it
  const passwd* user = getpwuid(getuid());
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(DefaultBackupFolder(), fs::path(user->pw_dir) / ".local/share/orbi7prog/backups");

  if (oldHome) setenv("HOME", oldHome->c_str(), 1);
  if (oldData) setenv("XDG_DATA_HOME", oldData->c_str(), 1);
}
#else
TEST(DefaultBackupFolder, IsInTheRoamingApplicationData) {
  const std::string folder = Utf8FromPath(DefaultBackupFolder());
  EXPECT_NE(folder.find("\\AppData\\Roaming\\orbi7prog\\backups"), std::string::npos) << folder;
}
#endif

}  // namespace
