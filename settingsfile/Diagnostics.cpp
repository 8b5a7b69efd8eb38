#include "settingsfile/Diagnostics.h"

#include "document/LocalTime.h"
#include "settingsfile/Journal.h"

const char* ProgramVersionText() { return "orbi7prog " ORBI7_VERSION; }

namespace {

void AddPart(std::string& text, const char* heading, const std::vector<std::string>& lines, const char* none) {
  text += "\n== ";
  text += heading;
  text += " ==\n";
  if (lines.empty()) text += std::string(none) + "\n";
  for (const std::string& line : lines) {
    text += line;
    if (line.empty() || line.back() != '\n') text += '\n';
  }
}

}  // namespace

std::string DiagnosticsText(const TDiagnostics& facts, const std::tm& written) {
  std::string text = std::string(ProgramVersionText()) + "\n";
  text += "Диагностика записана " + TimeStampText(written) + " (" + facts.Writer + ")\n";
  text += "Система: " + facts.System + "\n";
  if (!facts.Toolkit.empty()) text += "Qt: " + facts.Toolkit + "\n";
  AddPart(text, "Порты", facts.Ports, "Портов не найдено.");
  std::vector<std::string> settings;
  for (const auto& [key, value] : facts.Settings) settings.push_back(key + "=" + value);
  AddPart(text, "Настройки программы", settings, "Настроек не сохранено.");
  const std::string journal = "Журнал работы за " + std::to_string(JournalShownDays) + " дней, новые строки сверху";
  AddPart(text, journal.c_str(), facts.Journal, "Записей нет.");
  AddPart(text, "Трассы последних команд", facts.Traces,
          facts.NoTraces.empty() ? "Трасс в памяти нет." : facts.NoTraces.c_str());
  return text;
}

std::string DiagnosticsFileName(const std::tm& day) {
  // The date part of the time stamp.
  return "orbi7prog-diagnostics-" + TimeStampText(day).substr(0, 10) + ".txt";
}
