#pragma once

#include <QMetaObject>
#include <QWidget>

#include "document/RuleView.h"
#include "document/TKkmSettings.h"

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

 private:
  TStringGrid* Grid(TRateList list) const { return list == TRateList::Discounts ? StringGrid2 : StringGrid3; }
  std::string& Rate(TRateList list, int n);
  void FillRows(TRateList list, const char* heading);
  void SetEditText(TRateList list, int column, int row, const QString& text);
  void FocusChanged(QWidget* old, QWidget* now);
  void StringGrid2Exit();
  void StringGrid3Exit();
  void Button11Click();
  void Button12Click();

  TKkmSettings& Settings;
  TRuleView& View;
  TStringGrid* StringGrid2 = nullptr;
  TStringGrid* StringGrid3 = nullptr;
  QPushButton* Button11 = nullptr;
  QPushButton* Button12 = nullptr;
  QMetaObject::Connection FocusWatch;
};
