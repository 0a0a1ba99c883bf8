#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;

namespace qv {
class TKVXButton;
class TKVXEdit;
class TKVXListBox;
class TKVXMemo;
class TKVXPanel;
struct MainState;
struct SetEntry;
} // namespace qv

namespace qv::ui {

// The configuration sets, "UOX Multiple Configuration": lists the sets (SetCatalog; a damaged
// set is marked and can only be deleted), adds one as a copy of the current set, renames one,
// duplicates one (a new set from its copies as last saved), deletes one, and makes one current. New
// names follow one set of rules (SetNameRefusal), shared with the command line.
//
// state: the main window's edited state. "Set to Current" replaces its currentSetExt; Add copies
// the current set's files (CopyCurrentSet, from gameDir and currentSetExt). The dialog reads no
// set's files itself: after it has closed, however it closed, the main window runs
// LoadCurrentSet.
//
// Calling contract: create it (the constructor runs FormCreate, which reads the list; an error
// there is reported and the dialog opens all the same), run it with
// ExecModal(), then LoadCurrentSet.
class TfrmUOX : public QDialog {
  Q_OBJECT

public:
  static constexpr int kMaxNameLength = 50;

  explicit TfrmUOX(MainState& state, QWidget* parent = nullptr);

  // Handlers.
  void FormCreate();
  void btnAddClick();
  void btnRenameClick();
  void btnDuplicateClick();
  void btnDeleteClick();
  void btnConfigClick();
  void btnExitClick();

  // The names in the list, in its order.
  QStringList SetNames() const;
  // The selected entry's row; -1 when none is selected.
  int SelectedRow() const;

private:
  TKVXListBox* lboxUOX = nullptr;
  TKVXMemo* memoHelp = nullptr;
  QLabel* lblCName = nullptr;
  TKVXEdit* edCName = nullptr;
  TKVXPanel* pnlBtn = nullptr;
  TKVXButton* btnAdd = nullptr;
  TKVXButton* btnRename = nullptr;
  TKVXButton* btnDuplicate = nullptr;
  TKVXButton* btnDelete = nullptr;
  TKVXButton* btnConfig = nullptr;
  TKVXButton* btnExit = nullptr;

  // The name the user enters for a new or renamed set (Add when title is empty), checked against
  // the listed sets; empty when cancelled or refused (the warning shown).
  // A rename names the set it renames: the new name may then differ from it in letter case only.
  QString AskNewName(const QString& title = {}, const QString& text = {},
                     const QString& renamed = {});
  QString NameAt(int row) const;
  void AddSetItem(const SetEntry& entry);
  bool RefuseDamaged(int row);

  MainState& state_;
};

} // namespace qv::ui
