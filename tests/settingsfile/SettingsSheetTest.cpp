#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "settingsfile/SettingsSheet.h"

namespace {

using TRows = std::vector<std::vector<std::string>>;

const TRegisterOrigin Origin{"37", "1.0.4", "2026-12-10 14:03", "COM7"};

TKkmSettings Filled() {
  TKkmSettings settings;
  settings.Tax(1) = {true, "20,00", "НДС", "И"};
  settings.Tax(2) = {false, "10,00", "Налог с продаж", "Н"};
  settings.Tax(3) = {true, "05,50", "", "Н"};
  settings.Tax(4) = {true, "01,25", "Сбор 4", "Н"};
  for (int n = 1; n <= RateCount; ++n) {
    settings.Discount(n) = "0" + std::to_string(n) + ",00";
    settings.Surcharge(n) = std::to_string(n) + "2,50";
  }
  settings.Surcharge(8).clear();
  settings.Group(1) = {"1", "1", ""};
  settings.Group(2) = {"0", "", "3"};
  settings.Group(3) = {"0", "0", "0"};  // zeros bind nothing
  settings.Group(45) = {"x", "", ""};   // a text no register takes is shown as it is
  settings.Group(101) = {"03", "", ""};
  return settings;
}

// Every tax, rate and bound group of a filled document, and the register's line with
// every part of its origin, some, or none.
TEST(SettingsSheet, EveryTaxRateAndBoundGroupOfAFilledDocument) {
  const TSettingsSheet sheet = SettingsSheet(Filled(), Origin);
  EXPECT_EQ(sheet.Title, "Лист установок ККМ");
  EXPECT_EQ(sheet.Register, "ККМ № 37 · ПО 1.0.4 · порт COM7 · 2026-12-10 14:03");
  EXPECT_EQ(SettingsSheet(Filled(), std::nullopt).Register, "Установки не прочитаны из ККМ");
  EXPECT_EQ(SettingsSheet(Filled(), TRegisterOrigin{"05", "", "", "/dev/ttyUSB0"}).Register,
            "ККМ № 05 · порт /dev/ttyUSB0");
  ASSERT_EQ(sheet.Tables.size(), 3u);

  const TSheetTable& taxes = sheet.Tables[0];
  EXPECT_EQ(taxes.Columns, (std::vector<std::string>{"Налог", "Включен", "Ставка, %", "Название", "Тип"}));
  // A tax that is off shows nothing of what the register does not use.
  EXPECT_EQ(taxes.Rows, (TRows{{"1", "да", "20,00", "НДС", "И"},
                               {"2", "нет", "—", "—", "—"},
                               {"3", "да", "05,50", "—", "Н"},
                               {"4", "да", "01,25", "Сбор 4", "Н"}}));
  EXPECT_EQ(taxes.Notes, (std::vector<std::string>{"Тип: И - Исчисляемый, Н - Начисляемый"}));

  const TSheetTable& rates = sheet.Tables[1];
  ASSERT_EQ(rates.Rows.size(), static_cast<std::size_t>(RateCount));
  EXPECT_EQ(rates.Rows[2], (std::vector<std::string>{"3", "03,00", "32,50"}));
  EXPECT_EQ(rates.Rows[7], (std::vector<std::string>{"8", "08,00", "—"}));

  const TSheetTable& groups = sheet.Tables[2];
  EXPECT_EQ(groups.Columns, (std::vector<std::string>{"Группа", "Налог", "Скидка", "Надбавка"}));
  EXPECT_EQ(
      groups.Rows,
      (TRows{{"1", "1", "1", "—"}, {"2", "—", "—", "3"}, {"45", "x", "—", "—"}, {"101 (отдел 1)", "3", "—", "—"}}));
  EXPECT_EQ(groups.Notes, (std::vector<std::string>{"Остальные 104 группы ничего не привязывают."}));
}

// The unbound groups counted in the form their number asks for; none left, no line.
TEST(SettingsSheet, UnboundGroupsInTheirPluralForms) {
  const std::vector<std::pair<int, std::string>> rows = {
      {107, "Остальная 1 группа ничего не привязывает."}, {106, "Остальные 2 группы ничего не привязывают."},
      {97, "Остальные 11 групп ничего не привязывают."},  {87, "Остальная 21 группа ничего не привязывает."},
      {0, "Ни одна из 108 групп ничего не привязывает."}, {108, ""},
  };
  for (const auto& [bound, note] : rows) {
    SCOPED_TRACE(bound);
    TKkmSettings settings;
    for (int g = 1; g <= bound; ++g) settings.Group(g).Surcharge = "1";
    const TSheetTable groups = SettingsSheet(settings, Origin).Tables.at(2);
    EXPECT_EQ(groups.Rows.size(), static_cast<std::size_t>(bound));
    EXPECT_EQ(groups.Notes, note.empty() ? std::vector<std::string>{} : std::vector<std::string>{note});
  }
}

}  // namespace
