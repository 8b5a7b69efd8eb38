#pragma once

#include <QWidget>
#include <array>

#include "document/TKkmSettings.h"
#include "ui/PageParts.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TBoxValidator;

// The page "Налоги": one row of controls per tax, shown while the tax is enabled.
class TTaxesPage : public QWidget {
  Q_OBJECT

 public:
  explicit TTaxesPage(TKkmSettings& settings, QWidget* parent = nullptr);

  void ShowTaxes(int index);  // tax index from the document, 0 = all
  void FocusRate(int t);
  // Places the page's controls for a window grown by width and height pixels.
  void Grow(int width, int height) { Growth.Grow(width, height); }

 private:
  struct TTaxRow {
    QCheckBox* CheckBox = nullptr;
    QLabel* RateLabel = nullptr;
    QLineEdit* Rate = nullptr;
    QLabel* PercentLabel = nullptr;
    QLabel* NameLabel = nullptr;
    QLineEdit* Name = nullptr;
    QComboBox* Kind = nullptr;
    TBoxValidator* RateLimit = nullptr;
    TBoxValidator* NameLimit = nullptr;
  };

  void BuildRow(int t);
  void BuildKindBox(int t);
  void SetTabOrder();
  void ShowTax(int t);
  void ShowRowState(int t);  // caption, width and visibility from the check box
  void SetRowVisible(int t, bool visible);
  void CheckBoxClick(int t);
  void KindChange(int t, const QString& text);
  void Button8Click();
  void Button7Click();
  TTaxRow& Row(int t) { return Rows.at(t - 1); }

  TKkmSettings& Settings;
  std::array<TTaxRow, TaxCount> Rows;
  QPushButton* Button7 = nullptr;
  QPushButton* Button8 = nullptr;
  bool Showing = false;  // the controls are being set from the document
  TPageGrowth Growth;
};
