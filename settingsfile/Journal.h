#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// What one command did, as the journal of the work keeps it.
struct TJournalEntry {
  explicit TJournalEntry(std::string command = {}, std::string port = {})
      : Command(std::move(command)), Port(std::move(port)) {}

  std::string Command;   // "чтение", "запись", "сравнение"...
  std::string Port;      // "COM7 — USB-SERIAL CH340 (USB 1A86:7523)", as the port list tells it
  std::string Number;    // the register's number, "37"
  std::string Firmware;  // "1.0.4"
  std::string Outcome;   // the status text, or a failure's first line
  std::string Reason;    // a failure's reason, without "Причина: "
  std::string File;      // the settings file or the backup involved
};

// The outcome and reason of an entry from a box's text or a status text: its first
// line, and the words of its "Причина: " line.
void SetOutcome(TJournalEntry& entry, const std::string& message);

// One line of the journal: "2026-12-10 14:03:05 · запись · COM7 — … · ККМ № 37 · ПО 1.0.4 ·
// Запись OK! · файл kkm37-104-….dat", the parts that are empty left out, line breaks
// inside a part made spaces.
std::string JournalLine(const std::tm& time, const TJournalEntry& entry);

// The journal of the work: one UTF-8 file per day, "2026-12-10.log", in one folder.
// Several commands may add to it at once.
class TJournal {
 public:
  using TLocalTime = std::function<std::tm()>;

  TJournal(std::filesystem::path folder, TLocalTime now);

  // Appends the entry's line to today's file, making the folder if need be. False when
  // it could not be written; the command it tells of goes on regardless.
  bool Add(const TJournalEntry& entry);
  // True once, for the first entry that could not be written: the caller tells it then.
  bool FirstFailure();
  // The lines of the last `days` days up to today, newest first.
  std::vector<std::string> LastLines(int days) const;
  // Removes the day files older than `days` days; other files stay.
  void RemoveOlderThan(int days) const;

  const std::filesystem::path& Folder() const { return Place; }

 private:
  const std::filesystem::path Place;
  const TLocalTime Now;
  std::mutex Writing;
  bool Failed = false;
  bool FailureTold = false;
};

// How long the journal's files are kept, and how far back the diagnostics look.
inline constexpr int JournalKeptDays = 90;
inline constexpr int JournalShownDays = 7;

// The journal's folder in the program's data folder: "journal", or "journal-demo" for
// the demo, whose runs never mix with real work. Empty when the system names no data
// folder.
std::filesystem::path DefaultJournalFolder(bool demo);
