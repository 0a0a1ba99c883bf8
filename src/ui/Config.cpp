#include "ui/Config.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cmath>

#include "controls/KVXStCtl.h"
#include "settings/KVXFile.h"
#include "ui/Dialogs.h"

namespace qv::ui {

namespace {

const char* const kProgramKey = "\\SOFTWARE\\Quorvel\\";
const char* const kFontKey = "\\SOFTWARE\\Quorvel\\PrinterFont";

// The printer font's size in points, also for a font that was given in pixels.
int PointSize(const QFont& font, const QWidget* widget) {
  if (font.pointSize() > 0)
    return font.pointSize();
  if (font.pixelSize() > 0)
    return static_cast<int>(std::lround(font.pixelSize() * 72.0 / widget->logicalDpiY()));
  return static_cast<int>(std::lround(font.pointSizeF()));
}

} // namespace

TfrmConfig::TfrmConfig(QFont& printFont, QAction* mnuUOX, QWidget* parent)
    : QDialog(parent), printFont_(printFont), mnuUOX_(mnuUOX) {
  Q_ASSERT(mnuUOX_);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QStringLiteral("Quorvel - Setup"));

  auto* pnlData = new QWidget(this);
  lblFont = new TKVXLabel(QStringLiteral("Printer Font"), pnlData);
  lblFont->setObjectName(QStringLiteral("lblFont"));
  edFont = new TKVXEdit(pnlData);
  edFont->setObjectName(QStringLiteral("edFont"));
  edFont->setFind(true);
  edFont->setHint(QString::fromLatin1(kFindHintSuffix));
  lblFont->setBuddy(edFont->Edit());
  lblUOX = new TKVXLabel(QStringLiteral("UOX Support"), pnlData);
  lblUOX->setObjectName(QStringLiteral("lblUOX"));
  cboxUOX = new TKVXComboBox(pnlData);
  cboxUOX->setObjectName(QStringLiteral("cboxUOX"));
  cboxUOX->setBoxType(btYesNo);
  cboxUOX->setValueDefault(QStringLiteral("N"));
  lblUOX->setBuddy(cboxUOX);
  auto* grid = new QGridLayout(pnlData);
  grid->setContentsMargins(12, 12, 12, 8);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(8);
  grid->addWidget(lblFont, 0, 0);
  grid->addWidget(edFont, 0, 1);
  grid->addWidget(lblUOX, 1, 0);
  grid->addWidget(cboxUOX, 1, 1, Qt::AlignLeft);
  grid->setColumnStretch(1, 1);

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
    button->resize(button->sizeHint().expandedTo(QSize(75, 25)));
    button->move(0, 4);
  }
  pnlBtn->setFixedHeight(btnOK->height() + 8);
  pnlBtn->setMinimumWidth(btnOK->width() + btnCancel->width() + 8);
  pnlBtn->setButtonPanel(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(pnlData, 1);
  layout->addWidget(pnlBtn, 0);

  connect(edFont, &TKVXEdit::find, this, Guarded([this] { edFontFind(); }));
  connect(btnOK, &QAbstractButton::clicked, this, Guarded([this](bool) { btnOKClick(); }));
  connect(btnCancel, &QAbstractButton::clicked, this, Guarded([this](bool) { btnCancelClick(); }));

  setFixedSize(sizeHint().expandedTo(QSize(300, 0)));
  edFont->setFocus();
}

void TfrmConfig::FormShow() {
  edFont->setText(printFont_.family());
  cboxUOX->setValue(mnuUOX_->isEnabled() ? QStringLiteral("Y") : QStringLiteral("N"));
  // The face is changed only through the font dialog.
  edFont->setReadOnly(true);
}

void TfrmConfig::edFontFind() {
  const QFont current = printFont_;
  if (std::optional<QFont> chosen = Hooks().chooseFont(this, current)) {
    // The dialog offers no effects: underline and strike-out stay as they were.
    QFont font = *chosen;
    font.setUnderline(current.underline());
    font.setStrikeOut(current.strikeOut());
    printFont_ = font;
  }
  edFont->setText(printFont_.family());
}

void TfrmConfig::btnOKClick() {
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  mnuUOX_->setEnabled(cboxUOX->Value() == QStringLiteral("Y"));
  store.WriteFlag(kProgramKey, "UOXSupport", mnuUOX_->isEnabled());
  const QFont font = printFont_;
  store.WriteText(kFontKey, "Name", font.family().toStdString());
  store.WriteNumber(kFontKey, "Size", PointSize(font, this));
  store.WriteFlag(kFontKey, "Bold", font.bold());
  store.WriteFlag(kFontKey, "Italic", font.italic());
  store.WriteFlag(kFontKey, "Underline", font.underline());
  accept();
}

void TfrmConfig::btnCancelClick() {
  reject();
}

void TfrmConfig::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    RunAction([this] { FormShow(); });
}

} // namespace qv::ui
