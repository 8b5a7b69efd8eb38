#include "ui/RatesPage.h"

#include <QApplication>
#include <QFrame>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

#include "document/SettingsRules.h"
#include "ui/PageParts.h"
#include "ui/StringGrid.h"

namespace {

constexpr int Columns = 2;
constexpr int Rows = RateCount + 1;

TStringGrid* AddGrid(QWidget* page, const char* name, int x) {
  auto* grid = new TStringGrid(name, Columns, Rows, 19, 64, page);
  grid->setGeometry(x, 16, 201, 185);
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  return grid;
}

bool IsIn(const QWidget* widget, const QWidget* grid) {
  return widget != nullptr && (widget == grid || grid->isAncestorOf(widget));
}

}  // namespace

TRatesPage::TRatesPage(TKkmSettings& settings, TRuleView& view, QWidget* parent)
    : QWidget(parent), Settings(settings), View(view) {
  setObjectName(QStringLiteral("TabSheet6"));
  QFrame* bevel = AddBevel(this, "Bevel3");
  StringGrid2 = AddGrid(this, "StringGrid2", 40);
  StringGrid3 = AddGrid(this, "StringGrid3", 272);
  Button11 = AddButton(this, "Button11", "Очистить", 272, 208, 97);
  Button12 = AddButton(this, "Button12", "По умолчанию", 376, 208, 99);
  setTabOrder(StringGrid2, StringGrid3);
  setTabOrder(StringGrid3, Button11);
  setTabOrder(Button11, Button12);
  Growth = TPageGrowth(*this);
  Growth.Set(bevel, TGrowth::Frame);
  for (QWidget* grid : {StringGrid2, StringGrid3}) Growth.Set(grid, TGrowth::Taller);
  for (QWidget* button : {Button11, Button12}) Growth.Set(button, TGrowth::FollowsGrids);
  for (TRateList list : {TRateList::Discounts, TRateList::Surcharges}) {
    connect(Grid(list), &TStringGrid::CellEdited, this,
            [this, list](int column, int row, const QString& text) { SetEditText(list, column, row, text); });
  }
  // The buttons take the focus when pressed, so a grid's rule runs before their action.
  connect(Button11, &QPushButton::clicked, this, &TRatesPage::Button11Click);
  connect(Button12, &QPushButton::clicked, this, &TRatesPage::Button12Click);
  FocusWatch = connect(qApp, &QApplication::focusChanged, this, &TRatesPage::FocusChanged);
}

TRatesPage::~TRatesPage() { disconnect(FocusWatch); }

std::string& TRatesPage::Rate(TRateList list, int n) {
  return list == TRateList::Discounts ? Settings.Discount(n) : Settings.Surcharge(n);
}

void TRatesPage::FillGrids() {
  for (TStringGrid* grid : {StringGrid2, StringGrid3}) {
    grid->SetHeading(0, QStringLiteral("№№"));
    grid->SetHeading(1, QStringLiteral("Ставка (%)"));
  }
  FillRows(TRateList::Discounts, "Скидка номер ");
  FillRows(TRateList::Surcharges, "Надбавка номер ");
  for (TStringGrid* grid : {StringGrid2, StringGrid3}) {
    grid->SetColumnWidth(0, 120);
    grid->SetColumnWidth(1, 70);
  }
}

void TRatesPage::FillRows(TRateList list, const char* heading) {
  for (int n = 1; n <= RateCount; ++n) {
    Grid(list)->SetRowHeading(n, QString::fromUtf8(heading) + QString::number(n));
    Grid(list)->SetCell(1, n, Text(Rate(list, n)));
  }
}

void TRatesPage::ShowRates(TRateList list, int index) {
  for (int n = 1; n <= RateCount; ++n) {
    if (index == 0 || index == n) Grid(list)->SetCell(1, n, Text(Rate(list, n)));
  }
}

void TRatesPage::MakeRowCurrent(TRateList list, int n) { Grid(list)->MakeRowCurrent(n); }

void TRatesPage::SetEditText(TRateList list, int column, int row, const QString& text) {
  if (column != 1 || row < 1 || row > RateCount) return;
  Rate(list, row) = text.toStdString();
  Grid(list)->SetCell(column, row, text);
}

// A grid is left when the focus moves to another control of this window. A message
// box or another window taking the focus is no leaving, and neither is the grid
// being hidden with its page: the check before writing still meets those rates.
void TRatesPage::FocusChanged(QWidget* old, QWidget* now) {
  if (now == nullptr || now->window() != window()) return;
  for (TStringGrid* grid : {StringGrid2, StringGrid3}) {
    if (!IsIn(old, grid) || IsIn(now, grid) || !grid->isVisible()) continue;
    if (!LeaveGrid(grid) && qobject_cast<QTabBar*>(now) != nullptr) {
      // The click that moved the focus to the tab bar is still to come; it must not
      // take the user away from the bad rate, to which the focus goes back. Kept for
      // this event only.
      RefusedTabClick = true;
      QTimer::singleShot(0, this, [this, grid] {
        RefusedTabClick = false;
        grid->setFocus(Qt::OtherFocusReason);
      });
    }
  }
}

// The keyboard's page switch hides the page before the focus moves, so the rule runs
// here first.
bool TRatesPage::LeaveForAnotherPage() {
  QWidget* focus = QApplication::focusWidget();
  for (TStringGrid* grid : {StringGrid2, StringGrid3}) {
    if (IsIn(focus, grid) && grid->isVisible()) return LeaveGrid(grid);
  }
  return true;
}

bool TRatesPage::LeaveGrid(TStringGrid* grid) { return grid == StringGrid2 ? StringGrid2Exit() : StringGrid3Exit(); }

bool TRatesPage::StringGrid2Exit() { return NormaliseRateList(Settings, View, TRateList::Discounts); }

bool TRatesPage::StringGrid3Exit() { return NormaliseRateList(Settings, View, TRateList::Surcharges); }

void TRatesPage::Button11Click() { ClearRates(Settings); }

void TRatesPage::Button12Click() { ResetRates(Settings); }
