#include "ui/TaxesPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <initializer_list>
#include <vector>

#include "document/SettingsRules.h"
#include "ui/BoxValidator.h"
#include "ui/PageParts.h"

namespace {

constexpr int BoxHeight = 21;
constexpr int CheckBoxHeight = 17;
constexpr int CheckedWidth = 70;
constexpr int UncheckedWidth = 137;
constexpr int FirstTax4Width = 129;  // until its first change
constexpr int RateLimit = 5;
constexpr int NameLimit = 16;
constexpr int BoxesAboveLabels = 8;

// The names of the controls of each row, taxes 1 to 4.
struct TRowNames {
  const char* CheckBox;
  const char* RateLabel;
  const char* Rate;
  const char* PercentLabel;
  const char* NameLabel;
  const char* Name;
  const char* Kind;
  int Y;
};

constexpr std::array<TRowNames, TaxCount> RowNames = {{
    {"CheckBox41", "Label40", "Edit28", "Label64", "Label41", "Edit29", "ComboBox1", 40},
    {"CheckBox42", "Label42", "Edit30", "Label65", "Label43", "Edit31", "ComboBox2", 80},
    {"CheckBox43", "Label44", "Edit32", "Label66", "Label45", "Edit33", "ComboBox3", 120},
    {"CheckBox45", "Label8", "Edit34", "Label70", "Label71", "Edit35", "ComboBox4", 160},
}};

QString Caption(int t, bool enabled) {
  return enabled ? QStringLiteral("Налог %1").arg(t) : QStringLiteral("Налог %1 выключен").arg(t);
}

QLineEdit* AddBox(QWidget* page, const char* name, int x, int y, int width) {
  auto* box = new QLineEdit(page);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(x, y, width, BoxHeight);
  return box;
}

// Sets a box from the document; an unchanged text keeps the user's cursor.
void SetBoxText(QLineEdit* box, TBoxValidator* limit, const std::string& text) {
  const QString shown = Text(text);
  if (box->text() == shown) return;
  limit->Allow(shown);
  box->setText(shown);
}

}  // namespace

TTaxesPage::TTaxesPage(TKkmSettings& settings, QWidget* parent) : QWidget(parent), Settings(settings) {
  setObjectName(QStringLiteral("TabSheet4"));
  QFrame* bevel = AddBevel(this, "Bevel2");
  for (int t = 1; t <= TaxCount; ++t) BuildRow(t);
  Button8 = AddButton(this, "Button8", "Очистить", 272, 200, 99);
  Button7 = AddButton(this, "Button7", "По умолчанию", 384, 200, 99);
  connect(Button8, &QPushButton::clicked, this, &TTaxesPage::Button8Click);
  connect(Button7, &QPushButton::clicked, this, &TTaxesPage::Button7Click);
  SetTabOrder();
  for (int t = 1; t <= TaxCount; ++t) ShowTax(t);
  Growth = TPageGrowth(*this);
  Growth.Set(bevel, TGrowth::Frame);
}

void TTaxesPage::BuildRow(int t) {
  const TRowNames& names = RowNames.at(t - 1);
  const bool limited = t < TaxCount;
  const int y = names.Y;
  const int boxY = y - BoxesAboveLabels;
  TTaxRow& row = Row(t);
  row.CheckBox = new QCheckBox(Caption(t, false), this);
  row.CheckBox->setObjectName(QString::fromLatin1(names.CheckBox));
  row.CheckBox->setGeometry(32, y, limited ? UncheckedWidth : FirstTax4Width, CheckBoxHeight);
  row.RateLabel = AddLabel(this, names.RateLabel, "Ставка ......", 120, y);
  row.Rate = AddBox(this, names.Rate, 176, boxY, 41);
  row.PercentLabel = AddLabel(this, names.PercentLabel, "%", 220, y);
  row.NameLabel = AddLabel(this, names.NameLabel, "Наименование ..", 240, y);
  row.Name = AddBox(this, names.Name, 336, boxY, 120);
  row.RateLimit = new TBoxValidator(limited ? RateLimit : 0, false, row.Rate);
  row.NameLimit = new TBoxValidator(limited ? NameLimit : 0, true, row.Name);
  row.Rate->setValidator(row.RateLimit);
  row.Name->setValidator(row.NameLimit);
  BuildKindBox(t);
  SetRowVisible(t, false);
  connect(row.CheckBox, &QCheckBox::clicked, this, [this, t] { CheckBoxClick(t); });
  connect(row.Rate, &QLineEdit::textEdited, this,
          [this, t](const QString& text) { Settings.Tax(t).Rate = text.toStdString(); });
  connect(row.Name, &QLineEdit::textEdited, this,
          [this, t](const QString& text) { Settings.Tax(t).Name = text.toStdString(); });
}

void TTaxesPage::BuildKindBox(int t) {
  TTaxRow& row = Row(t);
  row.Kind = new QComboBox(this);
  row.Kind->setObjectName(QString::fromLatin1(RowNames.at(t - 1).Kind));
  row.Kind->setEditable(true);
  row.Kind->setInsertPolicy(QComboBox::NoInsert);
  row.Kind->setGeometry(464, RowNames.at(t - 1).Y - BoxesAboveLabels, 33, BoxHeight);
  if (t == TaxCount) {
    row.Kind->setEditText(QString::fromUtf8(FixedTax4Kind));
    row.Kind->setEnabled(false);
    return;
  }
  row.Kind->addItems({QStringLiteral("И"), QStringLiteral("Н")});
  row.Kind->setToolTip(QString::fromUtf8(TaxKindHint));
  connect(row.Kind, &QComboBox::editTextChanged, this, [this, t](const QString& text) { KindChange(t, text); });
}

void TTaxesPage::SetTabOrder() {
  std::vector<QWidget*> order = {Row(1).CheckBox, Row(2).CheckBox, Row(3).CheckBox};
  for (int t = 1; t < TaxCount; ++t) order.insert(order.end(), {Row(t).Rate, Row(t).Name});
  order.insert(order.end(), {Button7, Button8, Row(4).CheckBox, Row(4).Rate, Row(4).Name});
  for (int t = 1; t <= TaxCount; ++t) order.push_back(Row(t).Kind);
  for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

// A change of the document (a file loaded, a register read) leaves each check box as
// a click would, its width included.
void TTaxesPage::ShowTaxes(int index) {
  for (int t = 1; t <= TaxCount; ++t) {
    if (index != 0 && index != t) continue;
    ShowTax(t);
    ShowRowState(t);
  }
}

void TTaxesPage::ShowTax(int t) {
  const TTaxSetting& tax = Settings.Tax(t);
  TTaxRow& row = Row(t);
  Showing = true;
  if (row.CheckBox->isChecked() != tax.Enabled) {
    row.CheckBox->setChecked(tax.Enabled);
    ShowRowState(t);
  }
  SetBoxText(row.Rate, row.RateLimit, tax.Rate);
  SetBoxText(row.Name, row.NameLimit, tax.Name);
  if (row.Kind->currentText() != Text(tax.Kind)) row.Kind->setEditText(Text(tax.Kind));
  Showing = false;
}

void TTaxesPage::ShowRowState(int t) {
  TTaxRow& row = Row(t);
  const bool enabled = row.CheckBox->isChecked();
  row.CheckBox->setText(Caption(t, enabled));
  row.CheckBox->resize(enabled ? CheckedWidth : UncheckedWidth, CheckBoxHeight);
  SetRowVisible(t, enabled);
}

void TTaxesPage::SetRowVisible(int t, bool visible) {
  const TTaxRow& row = Row(t);
  for (QWidget* control :
       std::initializer_list<QWidget*>{row.RateLabel, row.Rate, row.PercentLabel, row.NameLabel, row.Name, row.Kind}) {
    control->setVisible(visible);
  }
}

void TTaxesPage::CheckBoxClick(int t) {
  Settings.Tax(t).Enabled = Row(t).CheckBox->isChecked();
  ShowRowState(t);
}

void TTaxesPage::Button8Click() { ClearTaxes(Settings); }

void TTaxesPage::Button7Click() { ResetTaxes(Settings); }

void TTaxesPage::KindChange(int t, const QString& text) {
  if (Showing) return;
  NormaliseKind(Settings, t, text.toStdString());
}

void TTaxesPage::FocusRate(int t) { Row(t).Rate->setFocus(Qt::OtherFocusReason); }
