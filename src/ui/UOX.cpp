#include "ui/UOX.h"

#include <QGridLayout>
#include <QLabel>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "controls/KVXStCtl.h"
#include "core/MainProc.h"
#include "platform/RegistryNames.h"
#include "settings/KVXFile.h"
#include "ui/Dialogs.h"
#include "ui/Ignore.h"

namespace qv::ui {

namespace {

const std::string kSetsKey = "\\SOFTWARE\\Quorvel\\UOXConfigs";

std::string SetKey(const QString& name) {
  return kSetsKey + "\\" + name.toStdString();
}

// The extension of a set numbered n: at least three digits, zeros in front.
std::string ExtensionOf(std::int32_t n) {
  std::string digits = std::to_string(n);
  if (digits.size() < 3)
    digits.insert(0, 3 - digits.size(), '0');
  return digits;
}

} // namespace

TfrmUOX::TfrmUOX(MainState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QStringLiteral("UOX Multiple Configuration"));

  auto* pnlData = new QWidget(this);
  lboxUOX = new TKVXListBox(pnlData);
  lboxUOX->setSelectionMode(QAbstractItemView::SingleSelection);

  memoHelp = new TKVXMemo(pnlData);
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
  edCName = new TKVXEdit(pnlData);
  edCName->setKVXEnabled(false);
  lblCName->setBuddy(edCName->Edit());

  auto* grid = new QGridLayout(pnlData);
  grid->setContentsMargins(8, 8, 8, 4);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(4);
  grid->addWidget(lboxUOX, 0, 0, 4, 1);
  grid->addWidget(memoHelp, 0, 1);
  grid->addWidget(lblCName, 1, 1);
  grid->addWidget(edCName, 2, 1);
  grid->setRowStretch(3, 1);
  grid->setColumnStretch(0, 1);
  lboxUOX->setMinimumWidth(180);

  pnlBtn = new TKVXPanel(this);
  pnlBtn->setBevelOuter(bvNone);
  btnAdd = new TKVXButton(QStringLiteral("&Add"), pnlBtn);
  btnDelete = new TKVXButton(QStringLiteral("&Delete"), pnlBtn);
  btnConfig = new TKVXButton(QStringLiteral("&Set to Current"), pnlBtn);
  btnExit = new TKVXButton(QStringLiteral("E&xit"), pnlBtn);
  btnExit->setCancel(true);
  int order = 0;
  int rowWidth = 8;
  for (TKVXButton* button : {btnAdd, btnDelete, btnConfig, btnExit}) {
    button->setTabOrder(order++);
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
  store.ListSubKeys(kSetsKey, names);
  lboxUOX->clear();
  for (const std::string& name : names)
    lboxUOX->addItem(QString::fromStdString(name));
  edCName->setText(
      QString::fromStdString(store.ReadText(kSetsKey, "Current", "Original Configuration")));
  if (lboxUOX->count() > 0)
    lboxUOX->setCurrentRow(0);
}

void TfrmUOX::btnConfigClick() {
  const int row = SelectedRow();
  if (row < 0)
    return;
  const QString name = lboxUOX->item(row)->text();
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  store.WriteText(kSetsKey, "Current", name.toStdString());
  edCName->setText(name);
  // Only digits name files: anything else in "Ext" falls back to the original set.
  state_.currentSetExt = ValidSetExt(store.ReadText(SetKey(name), "Ext", "001"));
}

void TfrmUOX::btnAddClick() {
  const QString name = TfrmIgnore::Ask(this, false);
  if (name.isEmpty())
    return;
  // The registry would take a backslash as a further key level.
  if (name.contains(u'\\')) {
    ShowWarning(QStringLiteral("A configuration name cannot contain a backslash (\\)."));
    return;
  }
  if (name.size() > kMaxNameLength) {
    ShowWarning(QStringLiteral("A configuration name can be at most %1 characters long.")
                    .arg(kMaxNameLength));
    return;
  }
  // The registry does not tell letter case apart, so neither may the list; it folds case its own
  // way ("İx" is "ix"), which Qt's folding does not match.
  const QString trimmed = TrimControls(name);
  const auto utf16 = [](const QString& text) {
    return std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                               static_cast<std::size_t>(text.size()));
  };
  for (const QString& existing : SetNames()) {
    const QString other = TrimControls(existing);
    if (platform::SameRegistryName(utf16(other), utf16(trimmed))) {
      ShowWarning(QStringLiteral("Dupicate configuration names."));
      return;
    }
  }

  std::string ext;
  {
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    // Numbers below 2 would share the original set's files.
    const std::int32_t n = std::max<std::int32_t>(store.ReadNumber(kSetsKey, "NextExt", 2), 2);
    // The registry's number holds no higher one: the next set would have no number of its own.
    if (n == std::numeric_limits<std::int32_t>::max()) {
      ShowWarning(QStringLiteral("No more configurations can be added: all configuration numbers "
                                 "are in use."));
      return;
    }
    // The number is taken first and never given again, whatever happens below.
    store.WriteNumber(kSetsKey, "NextExt", n + 1);
    ext = ExtensionOf(n);
  }
  // The files before the registry entry: a set that exists is always complete, also when the
  // program is stopped in between.
  CopyCurrentSet(state_, ext);
  {
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    store.WriteText(SetKey(name), "Ext", ext);
  }
  // Listed only once the registry holds it.
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
    store.RemoveKey(SetKey(lboxUOX->item(row)->text()));
  }
  delete lboxUOX->takeItem(row);
  lboxUOX->clearSelection();
  lboxUOX->setCurrentItem(nullptr);
}

void TfrmUOX::btnExitClick() {
  reject();
}

} // namespace qv::ui
