#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "settingsfile/Journal.h"
#include "settingsfile/SettingsBackup.h"
#include "support/TemporaryFolder.h"

namespace {

std::tm Day(int year, int month, int day, int hour = 14, int minute = 3, int second = 5) {
  std::tm time{};
  time.tm_year = year - 1900;
  time.tm_mon = month - 1;
  time.tm_mday = day;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

TEST(Journal, LinesOfASuccessAndOfAFailure) {
  struct TRow {
    TJournalEntry Entry;
    const char* Message;
    const char* Line;
  };
  TJournalEntry written("запись", "COM7 — USB-SERIAL CH340 (USB 1A86:7523)");
  written.Number = "37";
  written.Firmware = "1.0.4";
  written.File = "kkm37-104-20261210-140305.dat";
  TJournalEntry loaded("загрузка файла");
  loaded.File = "C:\\Магазин\\shop.dat";
  const std::vector<TRow> rows = {
      {written, "Запись OK!",
       "2026-12-10 14:03:05 · запись · COM7 — USB-SERIAL CH340 (USB 1A86:7523) · ККМ № 37 · ПО 1.0.4 · Запись OK! · "
       "файл kkm37-104-20261210-140305.dat"},
      {TJournalEntry("чтение", "COM3"),
       "Нет связи с ККМ\r\nПричина: ККМ не ответила на свой адрес\r\nПроверьте кабель, питание ККМ и выбранный порт.",
       "2026-12-10 14:03:05 · чтение · COM3 · Нет связи с ККМ · Причина: ККМ не ответила на свой адрес"},
      {loaded, "Не удается прочитать файл\nshop.dat",
       "2026-12-10 14:03:05 · загрузка файла · Не удается прочитать файл · файл C:\\Магазин\\shop.dat"},
  };
  for (const TRow& row : rows) {
    TJournalEntry entry = row.Entry;
    SetOutcome(entry, row.Message);
    EXPECT_EQ(JournalLine(Day(2026, 12, 10), entry), row.Line);
  }
}

// Day files of more than 90 days go at start; today's, the 90th day back's and files
// that are no day file stay. The lines come back newest first.
TEST(Journal, KeepsNinetyDaysAndGivesTheNewestFirst) {
  TTemporaryFolder folder;
  for (const char* name :
       {"2026-09-10.log", "2026-09-11.log", "2025-12-31.log", "2026-02-30.log", "notes.txt", "2026-12-10.log.bak"}) {
    std::ofstream(folder.Path / name) << name << "\n";
  }
  TJournal journal(folder.Path, [] { return Day(2026, 12, 10); });
  journal.RemoveOlderThan(JournalKeptDays);
  std::set<std::string> left;
  for (const auto& file : std::filesystem::directory_iterator(folder.Path))
    left.insert(file.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"2026-09-11.log", "2026-02-30.log", "notes.txt", "2026-12-10.log.bak"}));

  TJournal yesterday(folder.Path, [] { return Day(2026, 12, 9, 23, 59, 59); });
  ASSERT_TRUE(yesterday.Add(TJournalEntry("поиск ККМ")));
  ASSERT_TRUE(journal.Add(TJournalEntry("чтение")));
  ASSERT_TRUE(journal.Add(TJournalEntry("запись")));
  const std::vector<std::string> lines = journal.LastLines(JournalShownDays);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "2026-12-10 14:03:05 · запись");
  EXPECT_EQ(lines[2], "2026-12-09 23:59:59 · поиск ККМ");
}

// A journal that cannot be written says so once, and only to the one who asks.
TEST(Journal, AFolderThatCannotBeWrittenIsToldOnce) {
  TTemporaryFolder folder;
  std::ofstream(folder.Path / "file") << "x";
  for (const std::filesystem::path& place : {folder.Path / "file" / "journal", std::filesystem::path()}) {
    TJournal journal(place, [] { return Day(2026, 12, 10); });
    EXPECT_FALSE(journal.Add(TJournalEntry("чтение")));
    EXPECT_FALSE(journal.Add(TJournalEntry("запись")));
    EXPECT_TRUE(journal.FirstFailure());
    EXPECT_FALSE(journal.FirstFailure());
  }
  EXPECT_FALSE(std::filesystem::exists(folder.Path / "2026-12-10.log"));
}

}  // namespace
