#include "controls/KVXAdCtl.h"

namespace qv {

QString TKVXGrid::Cells(int column, int row) const {
  const QTableWidgetItem* cell = item(row, column);
  return cell ? cell->text() : QString();
}

void TKVXGrid::setCells(int column, int row, const QString& text) {
  if (column < 0 || row < 0 || column >= columnCount() || row >= rowCount())
    return;
  if (QTableWidgetItem* cell = item(row, column)) {
    cell->setText(text);
    return;
  }
  auto* cell = new QTableWidgetItem(text);
  cell->setFlags(cell->flags() & ~Qt::ItemIsEditable);
  setItem(row, column, cell);
}

} // namespace qv
