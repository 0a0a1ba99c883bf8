#include "ui/About.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "controls/KVXStCtl.h"
#include "ui/Dialogs.h"

namespace qv::ui {

namespace {

const char* const kCredits =
    "Quorvel changes the settings of the Ultima Online client while the game is not "
    "running: its options, its keyboard macros and its login servers, with as many "
    "configuration sets as you keep shards to play on.\n"
    "\n"
    "Written for players, and for everyone who runs a shard of their own with the UOX "
    "server emulator.\n"
    "\n"
    "Ultima Online is a trademark of its owners. Quorvel is not made, supported or endorsed "
    "by them.\n"
    "\n"
    "Free to use and to pass on. No warranty: keep the .OLD backups.";

QLabel* TitleLabel(const QString& text, int pixelSize, int height, QWidget* parent) {
  auto* label = new TKVXLabel(text, parent);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixelSize);
  font.setBold(true);
  label->setFont(font);
  label->setAlignment(Qt::AlignCenter);
  label->setFixedHeight(std::max(height, label->sizeHint().height()));
  return label;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  // A small tool-window title bar with no buttons: OK is the only way out.
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QStringLiteral("Quorvel Info"));

  lblTitle = TitleLabel(QStringLiteral("Quorvel "), 27, 33, this);
  lblTitle->setObjectName(QStringLiteral("lblTitle"));
  lblVersion = TitleLabel(QStringLiteral("Beta 6 - Final Beta"), 19, 32, this);
  lblVersion->setObjectName(QStringLiteral("lblVersion"));

  pnlCredits = new QWidget(this);
  pnlCredits->setObjectName(QStringLiteral("pnlCredits"));
  memoCredits = new TKVXMemo(pnlCredits);
  memoCredits->setObjectName(QStringLiteral("memoCredits"));
  memoCredits->setKVXEnabled(false);
  memoCredits->setFrameShape(QFrame::NoFrame);
  memoCredits->setFocusPolicy(Qt::NoFocus);
  memoCredits->setPlainText(QString::fromLatin1(kCredits));
  memoCredits->setMinimumHeight(196);

  pnlBtn = new QWidget(this);
  pnlBtn->setObjectName(QStringLiteral("pnlBtn"));
  btnOK = new TKVXButton(QStringLiteral("&OK"), pnlBtn);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setKVXDefault(true);
  btnOK->setMinimumSize(75, 25);
  auto* buttons = new QHBoxLayout(pnlBtn);
  buttons->setContentsMargins(8, 4, 8, 6);
  buttons->addStretch(1);
  buttons->addWidget(btnOK);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(lblTitle);
  layout->addWidget(lblVersion);
  auto* credits = new QHBoxLayout(pnlCredits);
  credits->setContentsMargins(12, 4, 12, 0);
  credits->addWidget(memoCredits);
  layout->addWidget(pnlCredits, 1);
  layout->addWidget(pnlBtn);

  connect(btnOK, &QAbstractButton::clicked, this, Guarded([this](bool) { btnOKClick(); }));

  setFixedSize(QSize(405, 295).expandedTo(sizeHint()));
  btnOK->setFocus();
}

void TfrmAbout::MakeLoadingWindow() {
  loading_ = true;
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QStringLiteral("Loading..."));
  pnlCredits->hide();
  pnlBtn->hide();
  setFixedSize(QSize(270, 65).expandedTo(
      QSize(lblTitle->sizeHint().width(), lblTitle->height() + lblVersion->height())));
  layout()->activate();
}

void TfrmAbout::ShowLoading() {
  MakeLoadingWindow();
  show();
  raise();
  layout()->activate();
  // Paint now: the message loop does not run until the main window has been set up.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmAbout::btnOKClick() {
  accept();
}

void TfrmAbout::keyPressEvent(QKeyEvent* event) {
  // The loading window has no way out; the main window closes it.
  if (loading_ && event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

} // namespace qv::ui
