#pragma once

// The library's advanced controls: the string grid.

#include "controls/KVXCommon.h"

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

} // namespace qv
