#include "ui/PageParts.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int ButtonHeight = 25;

}  // namespace

QFrame* AddBevel(QWidget* page, const char* name) {
  auto* bevel = new QFrame(page);
  bevel->setObjectName(QString::fromLatin1(name));
  bevel->setFrameShape(QFrame::Box);
  bevel->setFrameShadow(QFrame::Sunken);
  bevel->setGeometry(8, 8, 497, 233);
  return bevel;
}

QLabel* AddLabel(QWidget* page, const char* name, const char* text, int x, int y) {
  auto* label = new QLabel(QString::fromUtf8(text), page);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);  // keeps runs of blanks as they are
  label->move(x, y);
  label->adjustSize();
  return label;
}

QPushButton* AddButton(QWidget* page, const char* name, const char* caption, int x, int y, int width) {
  auto* button = new QPushButton(QString::fromUtf8(caption), page);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(x, y, width, ButtonHeight);
  return button;
}
