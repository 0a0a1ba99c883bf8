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

int TKVXGridView::rowCount() const {
  return model() ? model()->rowCount() : 0;
}

int TKVXGridView::columnCount() const {
  return model() ? model()->columnCount() : 0;
}

int TKVXGridView::currentRow() const {
  return currentIndex().row();
}

QString TKVXGridView::Cells(int column, int row) const {
  if (!model())
    return {};
  return model()->index(row, column).data(Qt::DisplayRole).toString();
}

void TKVXGridView::setCurrentCell(int row, int column) {
  if (model())
    setCurrentIndex(model()->index(row, column));
}

} // namespace qv
