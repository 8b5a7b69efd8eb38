#pragma once

#include <QDialog>
#include <string>
#include <vector>

// A comparison of the document, with the register or with a file: its lines in a list
// that scrolls, and OK.
class TComparisonDialog : public QDialog {
  Q_OBJECT

 public:
  TComparisonDialog(const std::vector<std::string>& lines, const QString& title, QWidget* parent = nullptr);
};
