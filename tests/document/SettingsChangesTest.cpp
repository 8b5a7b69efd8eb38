#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/SettingsChanges.h"

namespace {

TKkmSettings Register() {
  TKkmSettings settings;
  settings.Tax(1) = {true, "18,00", "НДС", "И"};
  settings.Tax(2) = {false, "", "", "Н"};
  settings.Tax(3) = {true, "05,00", "Сбор", "Н"};
  settings.Tax(4) = {true, "01,00", "", "Н"};
  settings.Group(12) = {"", "2", ""};
  return settings;
}

TEST(SettingsChanges, OneLinePerChangedFieldInTheOrderOfTheWrite) {
  const TKkmSettings before = Register();
  TKkmSettings after = before;
  after.Tax(1).Rate = "20,00";
  after.Tax(2) = {true, "10,00", "Налог с продаж", "Н"};
  after.Tax(3).Enabled = false;
  after.Tax(4).Name = "Сбор 4";
  after.Discount(3) = "05,00";
  after.Surcharge(8) = "12,50";
  after.Group(12) = {"1", "", "3"};
  EXPECT_EQ(SettingsChanges(before, after), (std::vector<std::string>{
                                                "Налог 1: ставка 18,00 → 20,00",
                                                "Налог 2: выключен → включен",
                                                "Налог 2: ставка — → 10,00",
                                                "Налог 2: наименование — → «Налог с продаж»",
                                                "Налог 2: вид — → Н",
                                                "Налог 3: включен → выключен",
                                                "Налог 4: наименование «» → «Сбор 4»",
                                                "Скидка 3: 00,00 → 05,00",
                                                "Надбавка 8: 00,00 → 12,50",
                                                "Группа 12: налог — → 1",
                                                "Группа 12: скидка 2 → —",
                                                "Группа 12: надбавка — → 3",
                                            }));
  EXPECT_EQ(ComparisonLines(SettingsChanges(before, after)).front(), "Запись этого документа изменит в ККМ: 12 полей");
  // A register that kept the old values, as the write's check words it.
  const std::vector<std::string> kept = WriteMismatches(after, before);
  EXPECT_EQ(kept.at(0), "Налог 1: ставка — записано 20,00, в ККМ 18,00");
  EXPECT_EQ(kept.at(7), "Скидка 3 — записано 05,00, в ККМ 00,00");
  EXPECT_EQ(kept.back(), "Группа 12: надбавка — записано 3, в ККМ —");
  TKkmSettings kind = before;
  kind.Tax(1).Kind = "Н";
  EXPECT_EQ(SettingsChanges(before, kind), (std::vector<std::string>{"Налог 1: вид И → Н"}));
  EXPECT_EQ(ComparisonLines(SettingsChanges(before, kind)),
            (std::vector<std::string>{"Запись этого документа изменит в ККМ: 1 поле", "Налог 1: вид И → Н"}));
  EXPECT_EQ(ComparisonLines({}), std::vector<std::string>{"Установки в ККМ совпадают с документом."});
}

TEST(SettingsChanges, WhatATaxThatStaysOffHoldsIsNoChange) {
  const TKkmSettings before = Register();
  TKkmSettings after = before;
  after.Tax(2).Kind = "И";
  after.Tax(2).Rate = "99,00";
  EXPECT_TRUE(SettingsChanges(before, after).empty());
  EXPECT_EQ(ChangeListText({}), "Установки в ККМ не изменятся.");
}

TEST(SettingsChanges, ListShowsTwentyLinesAndCountsTheRest) {
  struct TCase {
    int Groups;  // changed, one line each
    std::string Last;
    std::string Fields;  // as the comparison counts them
  };
  const TCase cases[] = {
      {20, "Группа 20: налог — → 1", "20 полей"},
      {21, "… и ещё 1 изменение", "21 поле"},
      {22, "… и ещё 2 изменения", "22 поля"},
      {25, "… и ещё 5 изменений", "25 полей"},
      {31, "… и ещё 11 изменений", "31 поле"},
      {41, "… и ещё 21 изменение", "41 поле"},
      {GroupCount, "… и ещё 88 изменений", "108 полей"},
  };
  const TKkmSettings before;
  for (const TCase& c : cases) {
    TKkmSettings after;
    for (int g = 1; g <= c.Groups; ++g) after.Group(g).Tax = "1";
    const std::vector<std::string> changes = SettingsChanges(before, after);
    ASSERT_EQ(changes.size(), static_cast<std::size_t>(c.Groups));
    const std::string text = ChangeListText(changes);
    EXPECT_TRUE(text.starts_with("Группа 1: налог — → 1\r\nГруппа 2: налог — → 1\r\n")) << c.Groups;
    const std::size_t lastBreak = text.rfind("\r\n");
    EXPECT_EQ(text.substr(lastBreak + 2), c.Last) << c.Groups;
    std::size_t lines = 1;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, c.Groups > 20 ? 21u : 20u) << c.Groups;
    const std::vector<std::string> compared = ComparisonLines(changes);
    EXPECT_EQ(compared.size(), changes.size() + 1);  // the comparison lists them all
    EXPECT_EQ(compared.front(), "Запись этого документа изменит в ККМ: " + c.Fields);
  }
}

}  // namespace
