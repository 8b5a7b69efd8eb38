#include "ui/StringGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QStyledItemDelegate>

namespace {

constexpr int GridLineWidth = 1;

}  // namespace

// Cell editors that report each change of their text and leave the model alone.
class TCellEditDelegate : public QStyledItemDelegate {
 public:
  explicit TCellEditDelegate(TStringGrid* grid) : QStyledItemDelegate(grid), Grid(grid) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      line->setObjectName(QStringLiteral("CellEditor"));
      Editor = line;
      EditedCell = index;
      const QPersistentModelIndex cell(index);
      connect(line, &QLineEdit::textEdited, Grid, [grid = Grid, cell](const QString& text) {
        if (cell.isValid()) emit grid->CellEdited(cell.column(), cell.row() + 1, text);
      });
    }
    return editor;
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    if (line != nullptr && line->text() != text) line->setText(text);
  }

  // The cell may already show the text that a rule put back, so the editor is told too.
  void ShowInEditor(const QModelIndex& index, const QString& text) const {
    if (Editor != nullptr && EditedCell == index && Editor->text() != text) Editor->setText(text);
  }

  // The document already holds every keystroke, and the cell shows it.
  void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

 protected:
  // Tab leaves the grid, also from a cell being edited, instead of moving to the next cell.
  // Another window taking the focus, such as the message box of a rule that runs while
  // the user types, leaves the editor open: closing it would delete the editor in the
  // middle of its own key press.
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::FocusOut &&
        static_cast<const QFocusEvent*>(event)->reason() == Qt::ActiveWindowFocusReason) {
      return false;
    }
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
        emit closeEditor(static_cast<QWidget*>(object), NoHint);
        QKeyEvent copy(QEvent::KeyPress, key->key(), key->modifiers());
        QApplication::sendEvent(Grid, &copy);
        return true;
      }
    }
    return QStyledItemDelegate::eventFilter(object, event);
  }

 private:
  TStringGrid* Grid;
  mutable QPointer<QLineEdit> Editor;
  mutable QPersistentModelIndex EditedCell;
};

TStringGrid::TStringGrid(const char* name, int columns, int rows, int rowHeight, int columnWidth, QWidget* parent)
    : QTableWidget(rows - 1, columns, parent) {
  setObjectName(QString::fromLatin1(name));
  Delegate = new TCellEditDelegate(this);
  setItemDelegate(Delegate);
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(rowHeight + GridLineWidth);
  QHeaderView* headings = horizontalHeader();
  headings->setMinimumSectionSize(1);
  headings->setSectionResizeMode(QHeaderView::Fixed);
  headings->setDefaultSectionSize(columnWidth + GridLineWidth);
  headings->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  headings->setHighlightSections(false);
  headings->setSectionsClickable(false);  // a click on the heading row selects no column
  headings->setFixedHeight(rowHeight + GridLineWidth);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                  QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  setTabKeyNavigation(false);
  setWordWrap(false);
  for (int row = 1; row < rows; ++row) {
    for (int column = 1; column < columns; ++column) ItemAt(column, row);
  }
}

QModelIndex TStringGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
  if (next.isValid() && next.column() == 0)
    return currentIndex().isValid() ? currentIndex() : model()->index(next.row(), 1);
  return next;
}

bool TStringGrid::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier) {
      event->accept();
      return true;
    }
  }
  return QTableWidget::event(event);
}

void TStringGrid::mousePressEvent(QMouseEvent* event) {
  const QModelIndex at = indexAt(event->position().toPoint());
  if (at.isValid() && at.column() == 0) {
    setFocus(Qt::MouseFocusReason);
    return;
  }
  QTableWidget::mousePressEvent(event);
}

void TStringGrid::mouseMoveEvent(QMouseEvent* event) {
  const QModelIndex at = indexAt(event->position().toPoint());
  if (at.isValid() && at.column() == 0) return;
  QTableWidget::mouseMoveEvent(event);
}

QTableWidgetItem* TStringGrid::ItemAt(int column, int row) {
  QTableWidgetItem* cell = item(row - 1, column);
  if (cell != nullptr) return cell;
  cell = new QTableWidgetItem;
  if (column == 0) {
    cell->setFlags(Qt::ItemIsEnabled);
    cell->setBackground(palette().button());
  }
  setItem(row - 1, column, cell);
  return cell;
}

void TStringGrid::SetHeading(int column, const QString& text) {
  auto* heading = horizontalHeaderItem(column);
  if (heading == nullptr) {
    heading = new QTableWidgetItem;
    setHorizontalHeaderItem(column, heading);
  }
  heading->setText(text);
}

void TStringGrid::SetRowHeading(int row, const QString& text) { ItemAt(0, row)->setText(text); }

void TStringGrid::SetColumnWidth(int column, int width) { setColumnWidth(column, width + GridLineWidth); }

int TStringGrid::ColumnWidth(int column) const { return columnWidth(column) - GridLineWidth; }

QString TStringGrid::Cell(int column, int row) const {
  if (row == 0) {
    const auto* heading = horizontalHeaderItem(column);
    return heading == nullptr ? QString() : heading->text();
  }
  const auto* cell = item(row - 1, column);
  return cell == nullptr ? QString() : cell->text();
}

void TStringGrid::SetCell(int column, int row, const QString& text) {
  QTableWidgetItem* cell = ItemAt(column, row);
  if (cell->text() != text) cell->setText(text);
  Delegate->ShowInEditor(indexFromItem(cell), text);
}

void TStringGrid::MakeRowCurrent(int row) {
  const int column = currentColumn() > 0 ? currentColumn() : 1;
  setCurrentCell(row - 1, column);
}

void TStringGrid::MakeCellCurrent(int column, int row) { setCurrentCell(row - 1, column); }

int TStringGrid::CurrentRow() const { return currentRow() + 1; }
