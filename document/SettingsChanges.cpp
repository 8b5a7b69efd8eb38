#include "document/SettingsChanges.h"

#include <array>

#include "document/Counted.h"

namespace {

const char* const Arrow = " → ";
const char* const Nothing = "—";  // an empty field, or one of a tax that is off

std::string Shown(const std::string& text) { return text.empty() ? Nothing : text; }

std::string Quoted(const std::string& name) { return "«" + name + "»"; }

// Every field that differs.
class TChangeList {
 public:
  void Add(const std::string& item, const std::string& field, const std::string& from, const std::string& to) {
    if (from != to) Changes.push_back({item, field, from, to});
  }
  std::vector<TSettingsChange> Changes;
};

void TaxChanges(TChangeList& list, int t, const TTaxSetting& before, const TTaxSetting& after) {
  const std::string item = "Налог " + std::to_string(t);
  auto onOff = [](bool enabled) { return enabled ? "включен" : "выключен"; };
  list.Add(item, "", onOff(before.Enabled), onOff(after.Enabled));
  if (!after.Enabled) return;
  // What a tax that was off held is not a setting: it shows as nothing.
  auto field = [&before](const std::string& value) { return before.Enabled ? value : std::string(Nothing); };
  list.Add(item, "ставка", field(Shown(before.Rate)), Shown(after.Rate));
  list.Add(item, "наименование", field(Quoted(before.Name)), Quoted(after.Name));
  if (t < TaxCount) list.Add(item, "вид", field(Shown(before.Kind)), Shown(after.Kind));
}

void RateChanges(TChangeList& list, const char* item, const std::array<std::string, RateCount>& before,
                 const std::array<std::string, RateCount>& after) {
  for (int n = 1; n <= RateCount; ++n)
    list.Add(item + std::to_string(n), "", Shown(before[n - 1]), Shown(after[n - 1]));
}

void GroupChanges(TChangeList& list, int g, const TGroupBinding& before, const TGroupBinding& after) {
  const std::string item = "Группа " + std::to_string(g);
  list.Add(item, "налог", Shown(before.Tax), Shown(after.Tax));
  list.Add(item, "скидка", Shown(before.Discount), Shown(after.Discount));
  list.Add(item, "надбавка", Shown(before.Surcharge), Shown(after.Surcharge));
}

std::string Changes(std::size_t n) { return Counted(n, "изменение", "изменения", "изменений"); }

}  // namespace

std::string TSettingsChange::Name() const { return Field.empty() ? Item : Item + ": " + Field; }

std::string TSettingsChange::Line() const {
  return Item + ": " + (Field.empty() ? "" : Field + " ") + Before + Arrow + After;
}

std::vector<TSettingsChange> SettingsDifferences(const TKkmSettings& before, const TKkmSettings& after) {
  TChangeList list;
  for (int t = 1; t <= TaxCount; ++t) TaxChanges(list, t, before.Tax(t), after.Tax(t));
  RateChanges(list, "Скидка ", before.Discounts, after.Discounts);
  RateChanges(list, "Надбавка ", before.Surcharges, after.Surcharges);
  for (int g = 1; g <= GroupCount; ++g) GroupChanges(list, g, before.Group(g), after.Group(g));
  return list.Changes;
}

std::vector<std::string> SettingsChanges(const TKkmSettings& before, const TKkmSettings& after) {
  std::vector<std::string> lines;
  for (const TSettingsChange& change : SettingsDifferences(before, after)) lines.push_back(change.Line());
  return lines;
}

// A write the register did not keep: "Налог 1: ставка — записано 20,00, в ККМ 18,00".
std::vector<std::string> WriteMismatches(const TKkmSettings& written, const TKkmSettings& held) {
  std::vector<std::string> lines;
  for (const TSettingsChange& change : SettingsDifferences(held, written))
    lines.push_back(change.Name() + " — записано " + change.After + ", в ККМ " + change.Before);
  return lines;
}

namespace {

// A comparison's lines: `same` alone, or the lead with the number of fields and every
// field after it.
std::vector<std::string> HeadedLines(const std::vector<std::string>& fields, const char* same, const char* lead) {
  if (fields.empty()) return {same};
  std::vector<std::string> lines = {lead + Counted(fields.size(), "поле", "поля", "полей")};
  lines.insert(lines.end(), fields.begin(), fields.end());
  return lines;
}

}  // namespace

std::vector<std::string> ComparisonLines(const std::vector<std::string>& changes) {
  return HeadedLines(changes, "Установки в ККМ совпадают с документом.", "Запись этого документа изменит в ККМ: ");
}

std::vector<std::string> FileComparisonLines(const std::vector<std::string>& differences) {
  return HeadedLines(differences, "Файл совпадает с документом.", "Файл отличается от документа: ");
}

std::string ChangeListText(const std::vector<std::string>& changes) {
  if (changes.empty()) return "Установки в ККМ не изменятся.";
  std::string text;
  for (std::size_t i = 0; i < changes.size() && i < MaxListedChanges; ++i) {
    if (i > 0) text += "\r\n";
    text += changes[i];
  }
  if (changes.size() > MaxListedChanges) text += "\r\n… и ещё " + Changes(changes.size() - MaxListedChanges);
  return text;
}
