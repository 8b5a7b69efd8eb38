#include "settingsfile/Journal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <system_error>
#include <utility>

#include "document/LocalTime.h"
#include "settingsfile/FileAccess.h"
#include "settingsfile/SettingsBackup.h"

namespace {

const char* const Separator = " · ";
const char* const ReasonLead = "Причина: ";
const char* const DayFileEnd = ".log";

std::chrono::sys_days DayOf(const std::tm& time) {
  return std::chrono::year{time.tm_year + 1900} / std::chrono::month{static_cast<unsigned>(time.tm_mon + 1)} /
         std::chrono::day{static_cast<unsigned>(time.tm_mday)};
}

std::string DayName(std::chrono::sys_days day) {
  const std::chrono::year_month_day date{day};
  char name[16];
  std::snprintf(name, sizeof name, "%04d-%02u-%02u", static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()));
  return name;
}

// The day a journal file's name gives, when it is one: "2026-12-10.log".
std::optional<std::chrono::sys_days> DayOfFile(const std::filesystem::path& file) {
  const std::string name = Utf8FromPath(file.filename());
  int year = 0;
  unsigned month = 0, day = 0;
  char end[8] = {};
  if (name.size() != 14 || std::sscanf(name.c_str(), "%4d-%2u-%2u%7s", &year, &month, &day, end) != 4 ||
      std::string(end) != DayFileEnd) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
  if (!date.ok()) return std::nullopt;
  return std::chrono::sys_days{date};
}

std::string OneLine(std::string text) {
  std::string line;
  for (const char c : text) {
    if (c == '\r') continue;
    line += c == '\n' || c == '\t' ? ' ' : c;
  }
  return line;
}

}  // namespace

void SetOutcome(TJournalEntry& entry, const std::string& message) {
  std::vector<std::string> lines(1);
  for (const char c : message) {
    if (c == '\n') {
      lines.emplace_back();
    } else if (c != '\r') {
      lines.back() += c;
    }
  }
  entry.Outcome = lines.front();
  const auto reason =
      std::find_if(lines.begin(), lines.end(), [](const std::string& line) { return line.starts_with(ReasonLead); });
  if (reason != lines.end()) entry.Reason = reason->substr(std::string(ReasonLead).size());
}

std::string JournalLine(const std::tm& time, const TJournalEntry& entry) {
  std::string line = TimeStampText(time);
  const auto add = [&line](const std::string& lead, const std::string& part) {
    if (!part.empty()) line += Separator + lead + OneLine(part);
  };
  add("", entry.Command);
  add("", entry.Port);
  add("ККМ № ", entry.Number);
  add("ПО ", entry.Firmware);
  add("", entry.Outcome);
  add(ReasonLead, entry.Reason);
  add("файл ", entry.File);
  return line;
}

TJournal::TJournal(std::filesystem::path folder, TLocalTime now) : Place(std::move(folder)), Now(std::move(now)) {}

bool TJournal::Add(const TJournalEntry& entry) {
  const std::tm now = Now();
  const std::string line = JournalLine(now, entry) + "\n";
  const std::lock_guard guard(Writing);
  bool written = false;
  if (!Place.empty()) {
    std::error_code error;
    std::filesystem::create_directories(Place, error);
    std::ofstream file(Place / PathFromUtf8(DayName(DayOf(now)) + DayFileEnd), std::ios::binary | std::ios::app);
    file << line;
    file.flush();
    written = file.good();
  }
  Failed = Failed || !written;
  return written;
}

bool TJournal::FirstFailure() {
  const std::lock_guard guard(Writing);
  if (!Failed || FailureTold) return false;
  FailureTold = true;
  return true;
}

std::vector<std::string> TJournal::LastLines(int days) const {
  std::vector<std::string> lines;
  const std::chrono::sys_days today = DayOf(Now());
  for (int back = 0; back < days; ++back) {
    std::ifstream file(Place / PathFromUtf8(DayName(today - std::chrono::days{back}) + DayFileEnd), std::ios::binary);
    std::vector<std::string> day;
    for (std::string line; std::getline(file, line);) day.push_back(line);
    lines.insert(lines.end(), day.rbegin(), day.rend());
  }
  return lines;
}

void TJournal::RemoveOlderThan(int days) const {
  const std::chrono::sys_days oldest = DayOf(Now()) - std::chrono::days{days};
  std::error_code error;
  for (std::filesystem::directory_iterator it(Place, error), end; !error && it != end; it.increment(error)) {
    const std::optional<std::chrono::sys_days> day = DayOfFile(it->path());
    std::error_code removal;
    if (day && *day < oldest) std::filesystem::remove(it->path(), removal);
  }
}

std::filesystem::path DefaultJournalFolder(bool demo) {
  const std::filesystem::path data = DefaultDataFolder();
  return data.empty() ? data : data / (demo ? "journal-demo" : "journal");
}
