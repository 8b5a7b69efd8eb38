#include "ui/GroupsPage.h"

#include <QFrame>
#include <QPushButton>
#include <array>

#include "document/SettingsRules.h"
#include "ui/PageParts.h"
#include "ui/StringGrid.h"

namespace {

constexpr int Columns = 4;
constexpr int Rows = GroupCount + 1;
constexpr std::array<TGroupField, Columns - 1> FieldOfColumn = {TGroupField::Tax, TGroupField::Discount,
                                                                TGroupField::Surcharge};

struct TExplanation {
  const char* Name;
  const char* Text;
  int Y;
};

// The blanks are part of the texts: they spread the words over the lines.
constexpr std::array<TExplanation, 10> Explanations = {{
    {"Label20", "Количество товарных  групп - 108.", 24},
    {"Label21", "Группы с 101 по  108 относятся к", 40},
    {"Label22", "отделам соответственно с 1 по 8.", 56},
    {"Label23", "Количество налогов - 3, скидок и", 72},
    {"Label24", "надбавок - 8.", 88},
    {"Label25", "К товарной группе могут  быть  привя-", 112},
    {"Label26", "заны   налог  и  скидка   или   налог и", 128},
    {"Label27", "надбавка. Скидка и надбавка не могут", 144},
    {"Label28", "быть  привязаны  к  одной    товарной ", 160},
    {"Label29", "группе одновременно.", 176},
}};

}  // namespace

TGroupsPage::TGroupsPage(TKkmSettings& settings, TRuleView& view, QWidget* parent)
    : QWidget(parent), Settings(settings), View(view) {
  setObjectName(QStringLiteral("TabSheet5"));
  QFrame* bevel = AddBevel(this, "Bevel1");
  StringGrid1 = new TStringGrid("StringGrid1", Columns, Rows, 15, 50, this);
  StringGrid1->setGeometry(16, 16, 217, 217);
  QFont regular;  // only the weight is set: the rest comes from the page
  regular.setBold(false);
  StringGrid1->setFont(regular);
  for (const auto& line : Explanations) AddLabel(this, line.Name, line.Text, 248, line.Y);
  Button10 = AddButton(this, "Button10", "Очистить", 376, 208, 121);
  setTabOrder(StringGrid1, Button10);
  Growth = TPageGrowth(*this);
  Growth.Set(bevel, TGrowth::Frame);
  Growth.Set(StringGrid1, TGrowth::Taller);
  Growth.Set(Button10, TGrowth::FollowsGrids);
  connect(StringGrid1, &TStringGrid::CellEdited, this, &TGroupsPage::StringGrid1SetEditText);
  connect(Button10, &QPushButton::clicked, this, &TGroupsPage::Button10Click);
}

void TGroupsPage::FillGrid() {
  StringGrid1->SetHeading(0, QStringLiteral("№№"));
  StringGrid1->SetHeading(1, QStringLiteral("Налог"));
  StringGrid1->SetHeading(2, QStringLiteral("Скидка"));
  StringGrid1->SetHeading(3, QStringLiteral("Надбавка"));
  StringGrid1->SetColumnWidth(0, 35);
  StringGrid1->SetColumnWidth(3, 55);
  for (int g = 1; g <= GroupCount; ++g) StringGrid1->SetRowHeading(g, QString::number(g));
  ShowGroups(0);
}

void TGroupsPage::ShowGroups(int index) {
  if (index != 0) return ShowGroup(index);
  for (int g = 1; g <= GroupCount; ++g) ShowGroup(g);
}

void TGroupsPage::ShowGroup(int g) {
  for (int column = 1; column < Columns; ++column) {
    StringGrid1->SetCell(column, g, Text(Settings.Group(g).Field(FieldOfColumn[column - 1])));
  }
}

void TGroupsPage::StringGrid1SetEditText(int column, int row, const QString& text) {
  if (column < 1 || row < 1 || row > GroupCount) return;
  ValidateGroupEntry(Settings, View, row, FieldOfColumn[column - 1], text.toStdString());
  ShowGroup(row);
}

void TGroupsPage::Button10Click() {
  if (View.Messages().Confirm("Вы уверены ?")) ClearGroups(Settings);
}

void TGroupsPage::MakeCellCurrent(int g, TGroupField field) {
  StringGrid1->MakeCellCurrent(1 + static_cast<int>(field), g);
}
