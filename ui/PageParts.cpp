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

TPageGrowth::TPageGrowth(QWidget& page) {
  for (QWidget* control : page.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    Controls.push_back({control, control->geometry(), TGrowth::Stays});
}

void TPageGrowth::Set(QWidget* control, TGrowth growth) {
  for (TControl& entry : Controls) {
    if (entry.Control == control) entry.Growth = growth;
  }
}

void TPageGrowth::Grow(int width, int height) {
  for (const TControl& entry : Controls) {
    const QRect& at = entry.Described;
    switch (entry.Growth) {
      // A check box's width follows its tax, so only its place is set.
      case TGrowth::Stays: entry.Control->move(at.x() + width / 2, at.y()); break;
      case TGrowth::Frame: entry.Control->setGeometry(at.adjusted(0, 0, width, height)); break;
      case TGrowth::Taller: entry.Control->setGeometry(at.translated(width / 2, 0).adjusted(0, 0, 0, height)); break;
      case TGrowth::FollowsGrids: entry.Control->move(at.x() + width / 2, at.y() + height); break;
    }
  }
}

QPushButton* AddButton(QWidget* page, const char* name, const char* caption, int x, int y, int width) {
  auto* button = new QPushButton(QString::fromUtf8(caption), page);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(x, y, width, ButtonHeight);
  return button;
}
