#pragma once

#include <QRect>
#include <QString>
#include <string>
#include <vector>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;

// Controls that every settings page uses, placed in page pixels.
QFrame* AddBevel(QWidget* page, const char* name);
QLabel* AddLabel(QWidget* page, const char* name, const char* text, int x, int y);
QPushButton* AddButton(QWidget* page, const char* name, const char* caption, int x, int y, int width);

// How a control of a page follows the window as it grows past its described size. The
// page's contents stay centred across it; the frame takes the whole page.
enum class TGrowth {
  Stays,         // keeps its place in the contents, and its size
  Frame,         // the bevel: wider and taller by all of the growth
  Taller,        // a grid: taller by all of it, so that it shows more rows
  FollowsGrids,  // a button under the grids: lower by all of it
};

class TPageGrowth {
 public:
  TPageGrowth() = default;
  // Every control the page holds now, at its described place, as Stays.
  explicit TPageGrowth(QWidget& page);
  void Set(QWidget* control, TGrowth growth);
  // Places the controls for a window grown by width and height pixels.
  void Grow(int width, int height);

 private:
  struct TControl {
    QWidget* Control;
    QRect Described;
    TGrowth Growth;
  };
  std::vector<TControl> Controls;
};

inline QString Text(const std::string& text) { return QString::fromStdString(text); }
