#pragma once

#include <QWidget>

#include "document/RuleView.h"
#include "document/TKkmSettings.h"
#include "ui/PageParts.h"

class QPushButton;
class TStringGrid;

// The page "Товарные группы": the bindings of the 108 groups in StringGrid1.
class TGroupsPage : public QWidget {
  Q_OBJECT

 public:
  TGroupsPage(TKkmSettings& settings, TRuleView& view, QWidget* parent = nullptr);

  void FillGrid();             // headings, widths and group numbers, at start
  void ShowGroups(int index);  // group index from the document, 0 = all
  void MakeCellCurrent(int g, TGroupField field);
  // Places the page's controls for a window grown by width and height pixels.
  void Grow(int width, int height) { Growth.Grow(width, height); }

 private:
  void ShowGroup(int g);
  void StringGrid1SetEditText(int column, int row, const QString& text);
  void Button10Click();

  TKkmSettings& Settings;
  TRuleView& View;
  TStringGrid* StringGrid1 = nullptr;
  QPushButton* Button10 = nullptr;
  TPageGrowth Growth;
};
