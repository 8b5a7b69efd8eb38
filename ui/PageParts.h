#pragma once

#include <QString>
#include <string>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;

// Controls that every settings page uses, placed in page pixels.
QFrame* AddBevel(QWidget* page, const char* name);
QLabel* AddLabel(QWidget* page, const char* name, const char* text, int x, int y);
QPushButton* AddButton(QWidget* page, const char* name, const char* caption, int x, int y, int width);

inline QString Text(const std::string& text) { return QString::fromStdString(text); }
