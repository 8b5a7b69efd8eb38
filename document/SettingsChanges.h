#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "document/TKkmSettings.h"

// What a write changes in the register, one line per field, worded as the pages
// caption their fields: "Налог 1: ставка 18,00 → 20,00", "Налог 2: выключен → включен",
// "Скидка 3: 00,00 → 05,00", "Группа 12: налог — → 1". Both documents are the settings
// as the register reads them before and after the write, so that only what a read
// would show counts: a tax that is off has nothing but its switch.

// One field that differs: "Налог 1" and "ставка" (no field for a switch or a rate of a
// list), as the register holds it and as it will hold it, both as the pages show them.
struct TSettingsChange {
  std::string Item;
  std::string Field;
  std::string Before;
  std::string After;

  // "Налог 1: ставка", the field as a script is told it.
  std::string Name() const;
  // "Налог 1: ставка 18,00 → 20,00".
  std::string Line() const;
};

// In the order of the taxes, the discounts, the surcharges and the groups, as the write
// takes them; within a tax its switch, rate, name and kind, as its row shows them, and
// within a group its tax, discount and surcharge, as its columns.
std::vector<TSettingsChange> SettingsDifferences(const TKkmSettings& before, const TKkmSettings& after);
// The same as lines.
std::vector<std::string> SettingsChanges(const TKkmSettings& before, const TKkmSettings& after);

// What the register holds where it did not keep what was written, one line per field,
// named as above: "Скидка 3 — записано 05,00, в ККМ 00,00". Both documents are as a
// read brings them; none when they agree.
std::vector<std::string> WriteMismatches(const TKkmSettings& written, const TKkmSettings& held);

// The comparison of a document with the register: "Запись этого документа изменит в
// ККМ: N полей" and every change, or "Установки в ККМ совпадают с документом." alone.
std::vector<std::string> ComparisonLines(const std::vector<std::string>& changes);

// The comparison of the document with a settings file, the document's fields before the
// file's: "Файл отличается от документа: N полей" and every difference, or "Файл
// совпадает с документом." alone.
std::vector<std::string> FileComparisonLines(const std::vector<std::string>& differences);

inline constexpr std::size_t MaxListedChanges = 20;

// The lines as a message shows them: at most MaxListedChanges, then
// "… и ещё N изменений" for the rest, or "Установки в ККМ не изменятся." when there
// are none. Lines are separated by "\r\n".
std::string ChangeListText(const std::vector<std::string>& changes);
