// The System Config page: install directory and version, and the client options of UO.CFG.

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "controls/KVXStCtl.h"
#include "controls/KvxWin95.h"
#include "core/MainProc.h"
#include "core/MainState.h"
#include "ui/Dialogs.h"
#include "ui/SystemPage.h"

namespace qv {

using ui::FromGameText;
using ui::Guarded;
using ui::ToGameText;

namespace {

TKVXCheckBox* MakeCheck(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint) {
  auto* check = new TKVXCheckBox(caption, parent);
  check->setObjectName(QString::fromLatin1(name));
  check->setHint(hint);
  return check;
}

TKVXLabel* MakeLabel(QWidget* parent, const QString& caption, QWidget* buddy) {
  auto* label = new TKVXLabel(caption, parent);
  label->setBuddy(buddy);
  return label;
}

TKVXTrackBar* MakeVolumeBar(QWidget* parent, const char* name) {
  auto* bar = new TKVXTrackBar(parent);
  bar->setObjectName(QString::fromLatin1(name));
  bar->setRange(1, 255);
  bar->setValue(255);
  bar->setTickInterval(5);
  bar->setPageStep(5);
  bar->setHint(QStringLiteral("Move the slidebar to adjust the volume"));
  bar->setEnabled(false);
  return bar;
}

} // namespace

SystemPage::SystemPage(MainState& mainState, QWidget* parent) : QWidget(parent), state(mainState) {
  setObjectName(QStringLiteral("tabSys"));
  QWidget* tab = this;
  auto* page = new QVBoxLayout(tab);
  page->setContentsMargins(6, 6, 6, 6);
  page->setSpacing(4);

  // Where the game is and which client it is: shown, never edited.
  auto* top = new QHBoxLayout;
  edUOIns = new TKVXEdit(tab);
  edUOIns->setObjectName(QStringLiteral("edUOIns"));
  edUOIns->setKVXEnabled(false);
  edUOIns->setHint(QStringLiteral("This is where UO was installed"));
  lblUOIns = MakeLabel(tab, QStringLiteral("UO Install Directory"), edUOIns);
  lblUOIns->setObjectName(QStringLiteral("lblUOIns"));
  edVer = new TKVXEdit(tab);
  edVer->setObjectName(QStringLiteral("edVer"));
  edVer->setKVXEnabled(false);
  edVer->setHint(QStringLiteral("Current UO Version"));
  edVer->setFixedWidth(100);
  lblVer = MakeLabel(tab, QStringLiteral("UO Version"), edVer);
  lblVer->setObjectName(QStringLiteral("lblVer"));
  top->addWidget(lblUOIns);
  top->addWidget(edUOIns, 1);
  top->addSpacing(6);
  top->addWidget(lblVer);
  top->addWidget(edVer);
  page->addLayout(top);
  page->addStretch(1);

  gboxMisc = new TKVXGroupBox(QStringLiteral("Miscellaneous Options"), tab);
  gboxMisc->setObjectName(QStringLiteral("gboxMisc"));
  chkNot = MakeCheck(gboxMisc, "chkNot", QStringLiteral("Notoriety Query"),
                     QStringLiteral("Ask before negatively effecting notoriety"));
  chkFilter = MakeCheck(gboxMisc, "chkFilter", QStringLiteral("Obscenity Filter"),
                        QStringLiteral("Displays garble instead of obscene words"));
  chkTrans = MakeCheck(gboxMisc, "chkTrans", QStringLiteral("Transparency Circle"),
                       QStringLiteral("Shows yourself behind large obscuring objects"));
  chkIntro = MakeCheck(gboxMisc, "chkIntro", QStringLiteral("Show Intro Animation"),
                       QStringLiteral("Display the opening scene of UO"));
  chkOpen = MakeCheck(gboxMisc, "chkOpen", QStringLiteral("Show Chest Opening"),
                      QStringLiteral("Animate the chest opening"));
  chkFull = MakeCheck(gboxMisc, "chkFull", QStringLiteral("Start Full Screen"),
                      QStringLiteral("Display UO using the full screen"));
  auto* misc = new QGridLayout(gboxMisc);
  misc->setContentsMargins(8, 2, 8, 4);
  misc->setHorizontalSpacing(40);
  misc->setVerticalSpacing(0);
  misc->addWidget(chkNot, 0, 0);
  misc->addWidget(chkFilter, 1, 0);
  misc->addWidget(chkTrans, 2, 0);
  misc->addWidget(chkIntro, 0, 1);
  misc->addWidget(chkOpen, 1, 1);
  misc->addWidget(chkFull, 2, 1);
  misc->setColumnStretch(0, 1);
  misc->setColumnStretch(1, 1);
  page->addWidget(gboxMisc);

  gboxSound = new TKVXGroupBox(QStringLiteral("Sound/Music Options"), tab);
  gboxSound->setObjectName(QStringLiteral("gboxSound"));
  chkFoot = MakeCheck(gboxSound, "chkFoot", QStringLiteral("Footsteps"),
                      QStringLiteral("Listen to idle character footsteps"));
  chkSound = MakeCheck(gboxSound, "chkSound", QStringLiteral("Enable Sound"),
                       QStringLiteral("Listen to sounds in UO"));
  slideSound = MakeVolumeBar(gboxSound, "slideSound");
  lblSound = MakeLabel(gboxSound, QStringLiteral("Sound Volume"), slideSound);
  chkMusic = MakeCheck(gboxSound, "chkMusic", QStringLiteral("Play Music"),
                       QStringLiteral("Want to hear music in UO"));
  slideMusic = MakeVolumeBar(gboxSound, "slideMusic");
  lblMusic = MakeLabel(gboxSound, QStringLiteral("Music Volume"), slideMusic);
  auto* sound = new QGridLayout(gboxSound);
  sound->setContentsMargins(8, 2, 8, 4);
  sound->setHorizontalSpacing(12);
  sound->setVerticalSpacing(0);
  sound->addWidget(chkFoot, 0, 0);
  sound->addWidget(chkSound, 0, 1);
  sound->addWidget(lblSound, 0, 2);
  sound->addWidget(slideSound, 0, 3);
  sound->addWidget(chkMusic, 1, 1);
  sound->addWidget(lblMusic, 1, 2);
  sound->addWidget(slideMusic, 1, 3);
  sound->setColumnStretch(3, 1);
  page->addWidget(gboxSound);

  gboxSys = new TKVXGroupBox(QStringLiteral("System Options"), tab);
  gboxSys->setObjectName(QStringLiteral("gboxSys"));
  edDPath = new TKVXEdit(gboxSys);
  edDPath->setObjectName(QStringLiteral("edDPath"));
  edDPath->setHint(QStringLiteral("Location of CD ROM data"));
  lblDPath = MakeLabel(gboxSys, QStringLiteral("CD ROM Datapath"), edDPath);
  edCache = new TKVXEdit(gboxSys);
  edCache->setObjectName(QStringLiteral("edCache"));
  // A whole number, signed as a file may hold it: a mask of three places cut "1234" to "123".
  // Fifteen digits hold every size the options file can give.
  edCache->Edit()->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("-?[0-9]{1,15}")), edCache->Edit()));
  edCache->setFixedWidth(48);
  lblCache = MakeLabel(gboxSys, QStringLiteral("Cache Size (in MB)"), edCache);
  cboxPage = new TKVXComboBox(gboxSys);
  cboxPage->setObjectName(QStringLiteral("cboxPage"));
  for (std::string_view item : kPageFlipItems)
    cboxPage->addItem(QString::fromLatin1(item.data(), static_cast<qsizetype>(item.size())));
  cboxPage->setValueDefault(QStringLiteral("Y"));
  cboxPage->setHint(QStringLiteral("UO video card display mode"));
  lblPage = MakeLabel(gboxSys, QStringLiteral("Page Flipping"), cboxPage);
  chk565 = MakeCheck(gboxSys, "chk565", QStringLiteral("Use 565 (NT Only)"),
                     QStringLiteral("Fixes some problems on NT"));
  auto* sys = new QGridLayout(gboxSys);
  sys->setContentsMargins(8, 2, 8, 6);
  sys->setHorizontalSpacing(6);
  sys->setVerticalSpacing(4);
  sys->addWidget(lblDPath, 0, 0);
  sys->addWidget(edDPath, 0, 1);
  sys->addWidget(lblCache, 0, 3);
  sys->addWidget(edCache, 0, 4, Qt::AlignLeft);
  sys->addWidget(lblPage, 1, 0);
  sys->addWidget(cboxPage, 1, 1, Qt::AlignLeft);
  sys->addWidget(chk565, 1, 3, 1, 2, Qt::AlignLeft);
  sys->setColumnStretch(1, 1);
  sys->setColumnMinimumWidth(2, 12);
  page->addWidget(gboxSys);

  // The volume bars follow their boxes at once, and again when a box is left.
  connect(chkSound, &QCheckBox::toggled, this, Guarded([this](bool) { chkSoundExit(); }));
  connect(chkMusic, &QCheckBox::toggled, this, Guarded([this](bool) { chkSoundExit(); }));
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget*) {
    if (old && (old == chkSound || old == chkMusic))
      ui::RunAction([this] { chkSoundExit(); });
  });
}

// The install directory is shown whole: its field grows to the path (up to two thirds of the
// screen's width), and the window with it.
void SystemPage::FitInstallDirectory() {
  const QLineEdit* field = edUOIns->Edit();
  // The frame, the text margins and the few pixels QLineEdit keeps on either side of the text.
  const QMargins margins = field->textMargins();
  const int padding =
      2 * field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, field) +
      margins.left() + margins.right() + 8;
  int need = field->fontMetrics().horizontalAdvance(edUOIns->Text()) + padding;
  if (const QScreen* screen = this->screen())
    need = std::min(need, screen->availableGeometry().width() * 2 / 3);
  if (need <= field->width() || need <= edUOIns->minimumWidth())
    return;
  edUOIns->setMinimumWidth(need);
  // The page's layout first, so that the window's size hint knows the page's new width.
  if (QLayout* page = edUOIns->parentWidget()->layout())
    page->activate();
  Q_EMIT installDirectoryWidened();
}

void SystemPage::chkSoundExit() {
  slideSound->setEnabled(chkSound->isChecked());
  slideMusic->setEnabled(chkMusic->isChecked());
}

void SystemPage::PushSystemPage() {
  edUOIns->setText(ui::FromUtf8(state.installDir));
  FitInstallDirectory();
  edVer->setText(FromGameText(state.version));
  edDPath->setText(FromGameText(state.cdRomDataPath));
  edCache->setText(FromGameText(state.cacheSize));
  cboxPage->setValue(FromGameText(state.pageFlip));
  chkSound->setChecked(state.sound);
  chkNot->setChecked(state.notorietyQuery);
  chkMusic->setChecked(state.music);
  chkIntro->setChecked(state.showIntroAnim);
  chkOpen->setChecked(state.chestOpening);
  chkFull->setChecked(state.fullScreen);
  chkTrans->setChecked(state.useCircleTrans);
  chkFilter->setChecked(state.obscenityFilter);
  chkFoot->setChecked(state.footsteps);
  chk565->setChecked(state.use565);
  slideSound->setValue(state.soundVol);
  slideMusic->setValue(state.musicVol);
  chkSoundExit();
}

void SystemPage::PullSystemPage() {
  state.cdRomDataPath = ToGameText(edDPath->Text());
  state.cacheSize = ToGameText(edCache->Text());
  state.pageFlip = ToGameText(cboxPage->Value());
  state.sound = chkSound->isChecked();
  state.notorietyQuery = chkNot->isChecked();
  state.music = chkMusic->isChecked();
  state.showIntroAnim = chkIntro->isChecked();
  state.chestOpening = chkOpen->isChecked();
  state.fullScreen = chkFull->isChecked();
  state.useCircleTrans = chkTrans->isChecked();
  state.obscenityFilter = chkFilter->isChecked();
  state.footsteps = chkFoot->isChecked();
  state.use565 = chk565->isChecked();
  state.soundVol = slideSound->value();
  state.musicVol = slideMusic->value();
}

bool SystemPage::CacheSizeIsWhole() const {
  bool whole = false;
  edCache->Text().trimmed().toLongLong(&whole);
  return whole;
}

void SystemPage::FocusCacheSize() {
  edCache->setFocus(Qt::OtherFocusReason);
}

} // namespace qv
