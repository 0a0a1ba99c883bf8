#pragma once

// The library's advanced controls: the string grid, and the grid over a table model.

#include "controls/KVXCommon.h"

#include <QTableView>
#include <QTableWidget>

namespace qv {

// The macro list's grid: a QTableWidget with cell access by column and row, as the toolkit's
// string grid has it.
class TKVXGrid : public QTableWidget, public TKVXHintHolder {
  Q_OBJECT
  Q_PROPERTY(QString Hint READ Hint WRITE setHint)
public:
  using QTableWidget::QTableWidget;
  void setHint(const QString& hint) { StoreHint(this, hint); }

  // The text of a cell; empty for a cell without an item or outside the grid.
  QString Cells(int column, int row) const;
  // Sets a cell's text, creating its item (not editable) if needed; outside the grid: ignored.
  void setCells(int column, int row, const QString& text);
};

// A grid that shows a table model: the cells are the model's, read when painted, so that a long
// list costs nothing until it is seen. Cell access by column and row as TKVXGrid has it.
class TKVXGridView : public QTableView, public TKVXHintHolder {
  Q_OBJECT
  Q_PROPERTY(QString Hint READ Hint WRITE setHint)
public:
  using QTableView::QTableView;
  void setHint(const QString& hint) { StoreHint(this, hint); }

  // The model's rows and columns; 0 without a model.
  int rowCount() const;
  int columnCount() const;
  // The row of the current cell, -1 when there is none.
  int currentRow() const;
  // The shown text of a cell; empty outside the grid.
  QString Cells(int column, int row) const;
  // Makes a cell current (and, with whole-row selection, its row the selected one).
  void setCurrentCell(int row, int column);
};

} // namespace qv
