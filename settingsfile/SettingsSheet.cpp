#include "settingsfile/SettingsSheet.h"

#include <optional>

#include "document/Counted.h"
#include "document/RateText.h"
#include "document/SettingsRules.h"

namespace {

const char* const Nothing = "—";  // an empty field, or one that binds nothing
const char* const Separator = " · ";

std::string Shown(const std::string& text) { return text.empty() ? Nothing : text; }

std::string RegisterLine(const TDocumentOrigin& origin) {
  if (!origin) return SheetWithoutRegister;
  std::string line = "ККМ № " + Shown(origin->Number);
  if (!origin->Firmware.empty()) line += Separator + std::string("ПО ") + origin->Firmware;
  if (!origin->Port.empty()) line += Separator + std::string("порт ") + origin->Port;
  if (!origin->Date.empty()) line += Separator + origin->Date;
  return line;
}

// What a tax that is off holds is no setting of the register: it shows as nothing.
std::vector<std::string> TaxRow(int t, const TTaxSetting& tax) {
  if (!tax.Enabled) return {std::to_string(t), "нет", Nothing, Nothing, Nothing};
  return {std::to_string(t), "да", Shown(tax.Rate), Shown(tax.Name), Shown(tax.Kind)};
}

TSheetTable TaxTable(const TKkmSettings& settings) {
  TSheetTable table{"Налоги", {"Налог", "Включен", "Ставка, %", "Название", "Тип"}, {}, {}};
  for (int t = 1; t <= TaxCount; ++t) table.Rows.push_back(TaxRow(t, settings.Tax(t)));
  table.Notes.push_back(std::string("Тип: ") + TaxKindHint);
  return table;
}

TSheetTable RateTable(const TKkmSettings& settings) {
  TSheetTable table{"Скидки и надбавки", {"Номер", "Скидка, %", "Надбавка, %"}, {}, {}};
  for (int n = 1; n <= RateCount; ++n)
    table.Rows.push_back({std::to_string(n), Shown(settings.Discount(n)), Shown(settings.Surcharge(n))});
  return table;
}

// A field binds when it names a number above zero; a text that is no number at all is
// shown as it stands, so that the sheet hides nothing the register would be told.
std::optional<std::string> Binding(const TGroupBinding& group, TGroupField field) {
  const std::string& text = group.Field(field);
  const std::optional<int> number = GroupFieldNumber(text, GroupFieldLimit(field));
  if (!number) return text;
  if (*number == 0) return std::nullopt;
  return std::to_string(*number);
}

std::string UnboundGroups(std::size_t unbound) {
  if (unbound == GroupCount) return "Ни одна из " + std::to_string(GroupCount) + " групп ничего не привязывает.";
  const bool one = CountForm(unbound) == TCountForm::One;
  return std::string(one ? "Остальная " : "Остальные ") + Counted(unbound, "группа", "группы", "групп") +
         (one ? " ничего не привязывает." : " ничего не привязывают.");
}

TSheetTable GroupTable(const TKkmSettings& settings) {
  TSheetTable table{"Товарные группы", {"Группа", "Налог", "Скидка", "Надбавка"}, {}, {}};
  for (int g = 1; g <= GroupCount; ++g) {
    std::vector<std::string> row = {GroupHeading(g)};
    bool binds = false;
    for (TGroupField field : {TGroupField::Tax, TGroupField::Discount, TGroupField::Surcharge}) {
      const std::optional<std::string> bound = Binding(settings.Group(g), field);
      binds = binds || bound.has_value();
      row.push_back(bound.value_or(Nothing));
    }
    if (binds) table.Rows.push_back(row);
  }
  const std::size_t unbound = GroupCount - table.Rows.size();
  if (unbound > 0) table.Notes.push_back(UnboundGroups(unbound));
  return table;
}

}  // namespace

std::string GroupHeading(int g) {
  if (g < FirstDepartmentGroup) return std::to_string(g);
  return std::to_string(g) + " (отдел " + std::to_string(g - FirstDepartmentGroup + 1) + ")";
}

TSettingsSheet SettingsSheet(const TKkmSettings& settings, const TDocumentOrigin& origin) {
  return {SheetTitle, RegisterLine(origin), {TaxTable(settings), RateTable(settings), GroupTable(settings)}};
}
