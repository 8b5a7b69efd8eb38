#include "ui/ComparisonDialog.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

TComparisonDialog::TComparisonDialog(const std::vector<std::string>& lines, const QString& title, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("ComparisonDialog"));
  setWindowTitle(title);
  auto* list = new QListWidget(this);
  list->setObjectName(QStringLiteral("ComparisonList"));
  for (const std::string& line : lines) list->addItem(QString::fromStdString(line));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list);
  layout->addWidget(buttons);
  resize(480, 360);
}
