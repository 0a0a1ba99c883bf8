#pragma once

// The macro grid's table model: the rows of MainState::macroGrid, read where they lie.

#include <QAbstractTableModel>

#include <string>
#include <vector>

#include "core/MainState.h"

namespace qv {

// The most characters the Macros page shows of a text from the file (a key or action name in the
// grid or a list). A longer name stays whole in the file and in the checked-out macro; only its
// shown text is cut, so that a key line of many megabytes is as quick to show as any other.
inline constexpr std::size_t kShownTextLength = 255;

// The text of a file's bytes as the page shows them: cut to kShownTextLength characters.
QString ShownGameText(const std::string& bytes);

// Six columns (Key, Alt, Ctrl, Shift, Macro, Parameters), one row per entry of the vector, whose
// cells are converted when the view asks for them. Reset() after the vector changed.
class MacroGridModel : public QAbstractTableModel {
  Q_OBJECT
public:
  MacroGridModel(const std::vector<MacroGridRow>& rows, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Tells the views that every row may have changed.
  void Reset();

private:
  const std::vector<MacroGridRow>& rows_;
};

} // namespace qv
