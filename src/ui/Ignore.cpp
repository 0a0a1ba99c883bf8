#include "ui/Ignore.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "controls/KVXStCtl.h"
#include "ui/Dialogs.h"

namespace qv::ui {

TfrmIgnore::TfrmIgnore(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QStringLiteral("Multiple Configuration Add"));

  // The label and the field sit in a panel with a raised inner bevel and a 5-pixel border.
  pnlIgnore = new TKVXPanel(this);
  pnlIgnore->setObjectName(QStringLiteral("pnlIgnore"));
  pnlIgnore->setBevelOuter(bvNone);
  pnlIgnore->setBevelInner(bvRaised);
  pnlIgnore->setBorderWidth(5);
  lblIgnore = new TKVXLabel(QStringLiteral("Config Name"), pnlIgnore);
  lblIgnore->setObjectName(QStringLiteral("lblIgnore"));
  edIgnore = new TKVXEdit(pnlIgnore);
  edIgnore->setObjectName(QStringLiteral("edIgnore"));
  edIgnore->setFixedWidth(185);
  lblIgnore->setBuddy(edIgnore->Edit());
  auto* row = new QHBoxLayout(pnlIgnore);
  row->setContentsMargins(4, 4, 4, 4);
  row->setSpacing(8);
  row->addWidget(lblIgnore, 1);
  row->addWidget(edIgnore, 0);

  pnlBtn = new TKVXPanel(this);
  pnlBtn->setObjectName(QStringLiteral("pnlBtn"));
  pnlBtn->setBevelOuter(bvNone);
  btnOK = new TKVXButton(QStringLiteral("&OK"), pnlBtn);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setKVXDefault(true);
  btnCancel = new TKVXButton(QStringLiteral("&Cancel"), pnlBtn);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setCancel(true);
  for (TKVXButton* button : {btnOK, btnCancel}) {
    button->setMinimumWidth(75);
    button->resize(button->sizeHint().expandedTo(QSize(75, 25)));
    button->move(0, 4);
  }
  pnlBtn->setFixedHeight(btnOK->height() + 8);
  pnlBtn->setButtonPanel(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(pnlIgnore, 1);
  layout->addWidget(pnlBtn, 0);

  connect(btnOK, &QAbstractButton::clicked, this, Guarded([this](bool) { btnOKClick(); }));
  connect(btnCancel, &QAbstractButton::clicked, this, Guarded([this](bool) { btnCancelClick(); }));

  // Client area 299 x 78 where the fonts allow, never smaller than the content.
  setFixedSize(sizeHint().expandedTo(QSize(299, 78)));
  edIgnore->setFocus();
  FormCreate();
}

QString TfrmIgnore::Ask(QWidget* parent, bool findMode) {
  TfrmIgnore dialog(parent);
  dialog.SetFindMode(findMode);
  ExecModal(dialog);
  return dialog.Answer();
}

QString TfrmIgnore::AskName(QWidget* parent, const QString& title, const QString& text) {
  TfrmIgnore dialog(parent);
  dialog.nameTitle_ = title;
  dialog.edIgnore->setText(text);
  ExecModal(dialog);
  return dialog.Answer();
}

void TfrmIgnore::FormCreate() {
  findMode_ = false;
  answer_.clear();
}

void TfrmIgnore::FormShow() {
  lblIgnore->setText(QStringLiteral("Config Name"));
  setWindowTitle(nameTitle_.isEmpty() ? QStringLiteral("Multiple Configuration Add") : nameTitle_);
  if (findMode_) {
    lblIgnore->setText(QStringLiteral("Find"));
    setWindowTitle(QStringLiteral("Journal Find"));
  }
}

bool TfrmIgnore::FormCloseQuery() {
  const QString trimmed = TrimControls(edIgnore->Text());
  if (trimmed.isEmpty()) {
    ShowError(QStringLiteral("You must enter a value."));
    edIgnore->setFocus();
    return false;
  }
  if (trimmed != kCancelMarker)
    answer_ = edIgnore->Text();
  return true;
}

void TfrmIgnore::btnOKClick() {
  done(QDialog::Accepted);
}

void TfrmIgnore::btnCancelClick() {
  edIgnore->setText(kCancelMarker);
  done(QDialog::Rejected);
}

// Every way of closing ends here: the buttons, Enter, Esc, and the close box (through reject()).
void TfrmIgnore::done(int result) {
  bool mayClose = false;
  RunAction([&] { mayClose = FormCloseQuery(); });
  if (mayClose)
    QDialog::done(result);
}

void TfrmIgnore::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    RunAction([this] { FormShow(); });
}

void TfrmIgnore::keyPressEvent(QKeyEvent* event) {
  // Esc is the Cancel button, not the close box: it must not hand over the typed text.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    btnCancel->click();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

} // namespace qv::ui
