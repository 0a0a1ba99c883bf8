#include "ui/UOX.h"

#include <QGridLayout>
#include <QLabel>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <vector>

#include "controls/KVXStCtl.h"
#include "core/MainProc.h"
#include "core/SetCatalog.h"
#include "platform/RegistryNames.h"
#include "settings/KVXFile.h"
#include "ui/Dialogs.h"
#include "ui/Ignore.h"

namespace qv::ui {

namespace {

const std::string kSetsKeyText(kSetsKey);

std::string SetKeyOf(const QString& name) {
  return SetKey(name.toStdString());
}

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
    names.append(lboxUOX->item(i)->text());
  return names;
}

void TfrmUOX::FormCreate() {
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  std::vector<std::string> names;
  store.ListSubKeys(kSetsKeyText, names);
  lboxUOX->clear();
  for (const std::string& name : names)
    lboxUOX->addItem(QString::fromStdString(name));
  edCName->setText(
      QString::fromStdString(store.ReadText(kSetsKeyText, "Current", "Original Configuration")));
  if (lboxUOX->count() > 0)
    lboxUOX->setCurrentRow(0);
}

void TfrmUOX::btnConfigClick() {
  const int row = SelectedRow();
  if (row < 0)
    return;
  const QString name = lboxUOX->item(row)->text();
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  store.WriteText(kSetsKeyText, "Current", name.toStdString());
  edCName->setText(name);
  // Only digits name files: anything else in "Ext" falls back to the original set.
  state_.currentSetExt = ValidSetExt(store.ReadText(SetKeyOf(name), "Ext", "001"));
}

QString TfrmUOX::AskNewName(const QString& title, const QString& text) {
  const QString name =
      title.isEmpty() ? TfrmIgnore::Ask(this, false) : TfrmIgnore::AskName(this, title, text);
  if (name.isEmpty())
    return {};
  // The registry does not tell letter case apart, so neither may the list; it folds case its own
  // way ("İx" is "ix"), which Qt's folding does not match.
  std::vector<std::string> existing;
  for (const QString& listed : SetNames())
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
  // The number is taken first and never given again, whatever happens below.
  const std::optional<std::string> ext = TakeSetExt();
  if (!ext) {
    ShowWarning(ui::FromUtf8(kNoMoreSetsText));
    return;
  }
  // The files before the registry entry: a set that exists is always complete, also when the
  // program is stopped in between.
  CopyCurrentSet(state_, *ext);
  {
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    store.WriteText(SetKeyOf(name), "Ext", *ext);
  }
  // Listed only once the registry holds it.
  lboxUOX->addItem(name);
}

void TfrmUOX::btnRenameClick() {
  const int row = SelectedRow();
  if (row < 0)
    return;
  const QString oldName = lboxUOX->item(row)->text();
  const QString name = AskNewName(QStringLiteral("Multiple Configuration Rename"), oldName);
  if (name.isEmpty())
    return;
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  // Only the key changes: the new one first, so that a stop in between leaves the set under one
  // name or both, never under none.
  store.WriteText(SetKeyOf(name), "Ext", store.ReadText(SetKeyOf(oldName), "Ext", "001"));
  const std::string current =
      store.ReadText(kSetsKeyText, "Current", std::string(kOriginalSetName));
  if (FindSet({oldName.toStdString()}, current)) {
    store.WriteText(kSetsKeyText, "Current", name.toStdString());
    edCName->setText(name);
  }
  store.RemoveKey(SetKeyOf(oldName));
  lboxUOX->item(row)->setText(name);
}

void TfrmUOX::btnDuplicateClick() {
  const int row = SelectedRow();
  if (row < 0)
    return;
  const std::string fromExt = SetExt(lboxUOX->item(row)->text().toStdString());
  const QString name = AskNewName(QStringLiteral("Multiple Configuration Duplicate"));
  if (name.isEmpty())
    return;
  // Numbers whose files are still in QRVDAT (a deleted set's) are passed over: a duplicate
  // never writes into another set's files.
  const std::optional<std::string> ext = TakeSetExt(&state_);
  if (!ext) {
    ShowWarning(ui::FromUtf8(kNoMoreSetsText));
    return;
  }
  // The files as last saved, before the registry entry; a copy that fails is reported and the
  // set not registered.
  CopySetFiles(state_, fromExt, *ext);
  {
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    store.WriteText(SetKeyOf(name), "Ext", *ext);
  }
  lboxUOX->addItem(name);
}

void TfrmUOX::btnDeleteClick() {
  if (lboxUOX->count() < 2) {
    ShowWarning(QStringLiteral("You need at least one configuration."));
    return;
  }
  const int row = SelectedRow();
  if (row < 0)
    return;
  {
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    store.RemoveKey(SetKeyOf(lboxUOX->item(row)->text()));
  }
  delete lboxUOX->takeItem(row);
  lboxUOX->clearSelection();
  lboxUOX->setCurrentItem(nullptr);
}

void TfrmUOX::btnExitClick() {
  reject();
}

} // namespace qv::ui
