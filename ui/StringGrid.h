#pragma once

#include <QTableWidget>

class TCellEditDelegate;

// A grid of texts with a fixed heading row and heading column. Cells are addressed
// as (column, row) counted from 0 with both headings included, as the pages name
// them. The heading row is the horizontal header, so that it stays in place while
// the rows scroll; the heading column is column 0 of the table.
//
// The cells show what the settings document holds: the grid reports every change
// of a cell editor's text (each keystroke, paste or deletion) through CellEdited,
// and its owner writes the document and puts the result back with SetCell. The
// editor never writes the cell on its own.
class TStringGrid : public QTableWidget {
  Q_OBJECT

 public:
  // Row heights and column widths are given without the grid line between cells.
  TStringGrid(const char* name, int columns, int rows, int rowHeight, int columnWidth, QWidget* parent);

  void SetHeading(int column, const QString& text);  // row 0
  void SetRowHeading(int row, const QString& text);  // column 0
  void SetColumnWidth(int column, int width);
  int ColumnWidth(int column) const;
  QString Cell(int column, int row) const;
  void SetCell(int column, int row, const QString& text);  // leaves an editor's cursor alone when unchanged
  void MakeRowCurrent(int row);                            // keeps column and focus as they are
  void MakeCellCurrent(int column, int row);
  int CurrentRow() const;  // 0 when no cell is current

 signals:
  void CellEdited(int column, int row, const QString& text);

 protected:
  // The heading column is fixed: it never becomes the current cell, by a click or by
  // an arrow key.
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  // F2 edits the current cell, as in every grid, before the window's key for the port
  // dialog can take it.
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QTableWidgetItem* ItemAt(int column, int row);

  TCellEditDelegate* Delegate = nullptr;
};
