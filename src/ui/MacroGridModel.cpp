#include "ui/MacroGridModel.h"

#include "ui/Dialogs.h"

namespace qv {

QString ShownGameText(const std::string& bytes) {
  if (bytes.size() <= kShownTextLength)
    return ui::FromGameText(bytes);
  return ui::FromGameText(bytes.substr(0, kShownTextLength));
}

MacroGridModel::MacroGridModel(const std::vector<MacroGridRow>& rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows) {}

int MacroGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int MacroGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 6;
}

QVariant MacroGridModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount() ||
      index.column() >= columnCount())
    return {};
  return ShownGameText(
      rows_[static_cast<std::size_t>(index.row())].cells[static_cast<std::size_t>(index.column())]);
}

Qt::ItemFlags MacroGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid())
    return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void MacroGridModel::Reset() {
  beginResetModel();
  endResetModel();
}

} // namespace qv
