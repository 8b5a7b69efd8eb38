#pragma once

#include <QDialog>
#include <string>
#include <vector>

// The comparison of the document with the register: its lines in a list that scrolls,
// and OK.
class TComparisonDialog : public QDialog {
  Q_OBJECT

 public:
  TComparisonDialog(const std::vector<std::string>& lines, QWidget* parent = nullptr);
};
