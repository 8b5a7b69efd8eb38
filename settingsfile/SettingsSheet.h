#pragma once

#include <string>
#include <vector>

#include "document/RegisterOrigin.h"
#include "document/TKkmSettings.h"

// The sheet of the settings that the technician leaves with the customer: its texts
// as they stand on paper, in UTF-8. Laying them out on pages is the painter's business
// (ui/SheetPdf).

// A table under its heading, with lines under it: a legend, or what the rows leave out.
// A table without rows shows its heading and notes alone.
struct TSheetTable {
  std::string Heading;
  std::vector<std::string> Columns;
  std::vector<std::vector<std::string>> Rows;  // each as many cells as Columns
  std::vector<std::string> Notes;
};

struct TSettingsSheet {
  std::string Title;
  std::string Register;             // "ККМ № 37 · ПО 1.0.4 · порт COM7 · 2026-12-10 14:03"
  std::vector<TSheetTable> Tables;  // the taxes, the discounts and surcharges, the groups
};

inline constexpr const char* SheetTitle = "Лист установок ККМ";
inline constexpr const char* SheetWithoutRegister = "Установки не прочитаны из ККМ";

TSettingsSheet SettingsSheet(const TKkmSettings& settings, const TDocumentOrigin& origin);

// The row heading of a group: "12", or "101 (отдел 1)" for a department.
std::string GroupHeading(int g);
