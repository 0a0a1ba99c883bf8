#include "ui/UOX.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidgetItem>
#include <QPalette>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <vector>

#include "controls/KVXStCtl.h"
#include "core/MainProc.h"
#include "core/SetCatalog.h"
#include "ui/Dialogs.h"
#include "ui/Ignore.h"

namespace qv::ui {

namespace {

// The list shows a damaged set with a mark after its name; the item keeps the name itself.
constexpr int kNameRole = Qt::UserRole;

} // namespace

TfrmUOX::TfrmUOX(MainState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QStringLiteral("UOX Multiple Configuration"));

  auto* pnlData = new QWidget(this);
  lboxUOX = new TKVXListBox(pnlData);
  lboxUOX->setObjectName(QStringLiteral("lboxUOX"));
  lboxUOX->setSelectionMode(QAbstractItemView::SingleSelection);

  memoHelp = new TKVXMemo(pnlData);
  memoHelp->setObjectName(QStringLiteral("memoHelp"));
  memoHelp->setKVXEnabled(false);
  memoHelp->setFocusPolicy(Qt::NoFocus);
  memoHelp->setFrameShape(QFrame::NoFrame);
  memoHelp->setLineWrapMode(QPlainTextEdit::NoWrap);
  memoHelp->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memoHelp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memoHelp->setLines({QString(),
                      QStringLiteral("This function allows you to have multiple configurations "),
                      QStringLiteral("for UO and UOX.  Each configuration consists of a "),
                      QStringLiteral("MACRO.TXT, UO.CFG, and the LOGIN.CFG file.  "), QString(),
                      QStringLiteral("Select the \"Set to Current\" button to use and edit the "),
                      QStringLiteral("particular UO configuration selected.")});
  // Wide and tall enough for the seven lines in the dialog's font.
  const QFontMetrics metrics(memoHelp->font());
  int widest = 0;
  for (const QString& line : memoHelp->Lines())
    widest = std::max(widest, metrics.horizontalAdvance(line));
  const int frame = 2 * (static_cast<int>(memoHelp->document()->documentMargin()) + 2);
  memoHelp->setFixedSize(widest + frame, 7 * metrics.lineSpacing() + frame);

  lblCName = new TKVXLabel(QStringLiteral("Current Configuration Name"), pnlData);
  lblCName->setObjectName(QStringLiteral("lblCName"));
  edCName = new TKVXEdit(pnlData);
  edCName->setObjectName(QStringLiteral("edCName"));
  edCName->setKVXEnabled(false);
  lblCName->setBuddy(edCName->Edit());

  // Rename and Duplicate work on the selected set: beside the list, under the current name.
  btnRename = new TKVXButton(QStringLiteral("&Rename"), pnlData);
  btnRename->setObjectName(QStringLiteral("btnRename"));
  btnRename->setHint(QStringLiteral("Give the selected configuration a new name"));
  btnDuplicate = new TKVXButton(QStringLiteral("D&uplicate"), pnlData);
  btnDuplicate->setObjectName(QStringLiteral("btnDuplicate"));
  btnDuplicate->setHint(
      QStringLiteral("Add a configuration made from the selected one as it was last saved"));
  auto* setButtons = new QHBoxLayout;
  setButtons->setSpacing(6);
  setButtons->addStretch(1);
  for (TKVXButton* button : {btnRename, btnDuplicate}) {
    button->setMinimumSize(button->sizeHint().expandedTo(QSize(75, 25)));
    setButtons->addWidget(button);
  }

  auto* grid = new QGridLayout(pnlData);
  grid->setContentsMargins(8, 8, 8, 4);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(4);
  grid->addWidget(lboxUOX, 0, 0, 5, 1);
  grid->addWidget(memoHelp, 0, 1);
  grid->addWidget(lblCName, 1, 1);
  grid->addWidget(edCName, 2, 1);
  grid->addLayout(setButtons, 3, 1, Qt::AlignTop);
  grid->setRowStretch(4, 1);
  grid->setColumnStretch(0, 1);
  lboxUOX->setMinimumWidth(180);

  pnlBtn = new TKVXPanel(this);
  pnlBtn->setObjectName(QStringLiteral("pnlBtn"));
  pnlBtn->setBevelOuter(bvNone);
  btnAdd = new TKVXButton(QStringLiteral("&Add"), pnlBtn);
  btnAdd->setObjectName(QStringLiteral("btnAdd"));
  btnDelete = new TKVXButton(QStringLiteral("&Delete"), pnlBtn);
  btnDelete->setObjectName(QStringLiteral("btnDelete"));
  btnConfig = new TKVXButton(QStringLiteral("&Set to Current"), pnlBtn);
  btnConfig->setObjectName(QStringLiteral("btnConfig"));
  btnExit = new TKVXButton(QStringLiteral("E&xit"), pnlBtn);
  btnExit->setObjectName(QStringLiteral("btnExit"));
  btnExit->setCancel(true);
  int order = 0;
  int rowWidth = 8;
  for (TKVXButton* button : {btnAdd, btnDelete, btnConfig, btnExit}) {
    button->setKVXTabOrder(order++);
    button->resize(button->sizeHint().expandedTo(QSize(75, 25)));
    button->move(0, 4);
    rowWidth += button->width();
  }
  pnlBtn->setFixedHeight(btnAdd->height() + 8);
  pnlBtn->setMinimumWidth(rowWidth);
  pnlBtn->setButtonPanel(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(pnlData, 1);
  layout->addWidget(pnlBtn, 0);

  connect(btnAdd, &QAbstractButton::clicked, this, Guarded([this](bool) { btnAddClick(); }));
  connect(btnRename, &QAbstractButton::clicked, this, Guarded([this](bool) { btnRenameClick(); }));
  connect(btnDuplicate, &QAbstractButton::clicked, this,
          Guarded([this](bool) { btnDuplicateClick(); }));
  connect(btnDelete, &QAbstractButton::clicked, this, Guarded([this](bool) { btnDeleteClick(); }));
  connect(btnConfig, &QAbstractButton::clicked, this, Guarded([this](bool) { btnConfigClick(); }));
  connect(btnExit, &QAbstractButton::clicked, this, Guarded([this](bool) { btnExitClick(); }));

  setFixedSize(sizeHint());
  lboxUOX->setFocus();
  // As on creating any form: an error is reported, and the dialog still opens.
  RunAction([this] { FormCreate(); });
}

int TfrmUOX::SelectedRow() const {
  const QList<QListWidgetItem*> selected = lboxUOX->selectedItems();
  return selected.isEmpty() ? -1 : lboxUOX->row(selected.constFirst());
}

QStringList TfrmUOX::SetNames() const {
  QStringList names;
  for (int i = 0; i < lboxUOX->count(); ++i)
    names.append(NameAt(i));
  return names;
}

QString TfrmUOX::NameAt(int row) const {
  return lboxUOX->item(row)->data(kNameRole).toString();
}

void TfrmUOX::AddSetItem(const SetEntry& entry) {
  const QString name = QString::fromStdString(entry.name);
  auto* item = new QListWidgetItem(entry.Damaged() ? name + QStringLiteral("  (damaged)") : name);
  item->setData(kNameRole, name);
  if (entry.Damaged()) {
    item->setToolTip(QString::fromStdString(DamagedSetText(entry.name)));
    item->setForeground(lboxUOX->palette().brush(QPalette::Disabled, QPalette::Text));
  }
  lboxUOX->addItem(item);
}

// A damaged set can only be deleted: the warning says so.
bool TfrmUOX::RefuseDamaged(int row) {
  const std::string name = NameAt(row).toStdString();
  if (SetExt(name))
    return false;
  ShowWarning(QString::fromStdString(DamagedSetText(name)));
  return true;
}

void TfrmUOX::FormCreate() {
  CreateSetsKey();
  lboxUOX->clear();
  for (const SetEntry& entry : ListSetEntries())
    AddSetItem(entry);
  edCName->setText(QString::fromStdString(CurrentSetName()));
  if (lboxUOX->count() > 0)
    lboxUOX->setCurrentRow(0);
}

void TfrmUOX::btnConfigClick() {
  const int row = SelectedRow();
  if (row < 0 || RefuseDamaged(row))
    return;
  const QString name = NameAt(row);
  MakeSetCurrent(name.toStdString());
  edCName->setText(name);
  state_.currentSetExt = SetExt(name.toStdString()).value_or(state_.currentSetExt);
}

QString TfrmUOX::AskNewName(const QString& title, const QString& text, const QString& renamed) {
  const QString name =
      title.isEmpty() ? TfrmIgnore::Ask(this, false) : TfrmIgnore::AskName(this, title, text);
  if (name.isEmpty())
    return {};
  // The registry does not tell letter case apart, so neither may the list; it folds case its own
  // way ("İx" is "ix"), which Qt's folding does not match.
  // A rename may change the letter case of its own set's name: that is the same key.
  std::vector<std::string> existing;
  for (const QString& listed : SetNames())
    if (renamed.isNull() || listed != renamed)
      existing.push_back(listed.toStdString());
  if (const std::string refusal = SetNameRefusal(name.toStdString(), existing); !refusal.empty()) {
    ShowWarning(QString::fromStdString(refusal));
    return {};
  }
  return name;
}

void TfrmUOX::btnAddClick() {
  const QString name = AskNewName();
  if (name.isEmpty())
    return;
  const std::optional<std::string> ext = AddSet(state_, name.toStdString());
  if (!ext) {
    ShowWarning(ui::FromUtf8(kNoMoreSetsText));
    return;
  }
  // Listed only once the registry holds it.
  AddSetItem({name.toStdString(), *ext});
}

void TfrmUOX::btnRenameClick() {
  const int row = SelectedRow();
  if (row < 0 || RefuseDamaged(row))
    return;
  const QString oldName = NameAt(row);
  const QString name =
      AskNewName(QStringLiteral("Multiple Configuration Rename"), oldName, oldName);
  if (name.isEmpty())
    return;
  const bool wasCurrent = SameSetName(CurrentSetName(), oldName.toStdString());
  RenameSet(oldName.toStdString(), name.toStdString());
  if (wasCurrent)
    edCName->setText(name);
  lboxUOX->item(row)->setText(name);
  lboxUOX->item(row)->setData(kNameRole, name);
}

void TfrmUOX::btnDuplicateClick() {
  const int row = SelectedRow();
  if (row < 0 || RefuseDamaged(row))
    return;
  const QString from = NameAt(row);
  const QString name = AskNewName(QStringLiteral("Multiple Configuration Duplicate"));
  if (name.isEmpty())
    return;
  const std::optional<std::string> ext =
      DuplicateSet(state_, from.toStdString(), name.toStdString());
  if (!ext) {
    ShowWarning(ui::FromUtf8(kNoMoreSetsText));
    return;
  }
  AddSetItem({name.toStdString(), *ext});
}

void TfrmUOX::btnDeleteClick() {
  if (lboxUOX->count() < 2) {
    ShowWarning(QStringLiteral("You need at least one configuration."));
    return;
  }
  const int row = SelectedRow();
  if (row < 0)
    return;
  DeleteSet(NameAt(row).toStdString());
  delete lboxUOX->takeItem(row);
  lboxUOX->clearSelection();
  lboxUOX->setCurrentItem(nullptr);
}

void TfrmUOX::btnExitClick() {
  reject();
}

} // namespace qv::ui
