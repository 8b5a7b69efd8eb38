#pragma once

#include <QMetaObject>
#include <QWidget>
#include <utility>

#include "document/RuleView.h"
#include "document/TKkmSettings.h"
#include "ui/PageParts.h"

class QPushButton;
class TStringGrid;

// The page "Скидки / Надбавки": the eight discount rates in StringGrid2 and the
// eight surcharge rates in StringGrid3. Leaving a grid brings its rates to form.
class TRatesPage : public QWidget {
  Q_OBJECT

 public:
  TRatesPage(TKkmSettings& settings, TRuleView& view, QWidget* parent = nullptr);
  ~TRatesPage() override;

  void FillGrids();                           // headings, start rates and widths, at start
  void ShowRates(TRateList list, int index);  // rate index from the document, 0 = all
  void MakeRowCurrent(TRateList list, int n);
  // Places the page's controls for a window grown by width and height pixels.
  void Grow(int width, int height) { Growth.Grow(width, height); }

  // Runs the leave rule of the grid that holds the focus, before the page control
  // switches to another page; false when the rule kept the user on a bad rate, and
  // the switch is not to happen.
  bool LeaveForAnotherPage();
  // Whether a click on the tab bar has just made a grid's rule keep the user on a bad
  // rate (the focus moves before the click is handled); asking clears it.
  bool TakeRefusedTabClick() { return std::exchange(RefusedTabClick, false); }

 private:
  TStringGrid* Grid(TRateList list) const { return list == TRateList::Discounts ? StringGrid2 : StringGrid3; }
  std::string& Rate(TRateList list, int n);
  void FillRows(TRateList list, const char* heading);
  void SetEditText(TRateList list, int column, int row, const QString& text);
  void FocusChanged(QWidget* old, QWidget* now);
  bool LeaveGrid(TStringGrid* grid);
  bool StringGrid2Exit();
  bool StringGrid3Exit();
  void Button11Click();
  void Button12Click();

  TKkmSettings& Settings;
  TRuleView& View;
  TStringGrid* StringGrid2 = nullptr;
  TStringGrid* StringGrid3 = nullptr;
  QPushButton* Button11 = nullptr;
  QPushButton* Button12 = nullptr;
  QMetaObject::Connection FocusWatch;
  bool RefusedTabClick = false;
  TPageGrowth Growth;
};
