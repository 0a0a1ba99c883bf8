// The Journal page: the record flag and journal file of UO.CFG, and the journal itself, which can
// be searched, printed and emptied.

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QVBoxLayout>

#include "controls/JournalView.h"
#include "controls/KVXStCtl.h"
#include "controls/KvxWin95.h"
#include "core/JournalPlace.h"
#include "core/MainProc.h"
#include "core/MainState.h"
#include "platform/FileSystem.h"
#include "text/Encoding.h"
#include "ui/Dialogs.h"
#include "ui/Ignore.h"
#include "ui/JournalPage.h"

namespace qv {

using ui::FromGameText;
using ui::Guarded;
using ui::ToGameText;

namespace {

// The journal file named by the field's text, as a program path (UTF-8).
std::string JournalPathOf(const QString& text) {
  return Cp1252ToUtf8(ToGameText(text));
}

} // namespace

JournalPage::JournalPage(MainState& mainState, TKVXPageControl* pageData, TKVXButton* btnFind,
                         TKVXButton* btnPrint, TKVXButton* btnClear, QWidget* parent)
    : QWidget(parent), state(mainState), pageData(pageData), btnFind(btnFind), btnPrint(btnPrint),
      btnClear(btnClear) {
  setObjectName(QStringLiteral("tabJournal"));
  QWidget* tab = this;
  auto* page = new QVBoxLayout(tab);
  page->setContentsMargins(0, 0, 0, 0);
  page->setSpacing(0);

  pnlJrnl = new TKVXPanel(tab);
  pnlJrnl->setObjectName(QStringLiteral("pnlJrnl"));
  pnlJrnl->setBevelOuter(bvNone);
  cboxJrnl = new TKVXComboBox(pnlJrnl);
  cboxJrnl->setObjectName(QStringLiteral("cboxJrnl"));
  cboxJrnl->setBoxType(btYesNo);
  cboxJrnl->setValueDefault(QStringLiteral("N"));
  cboxJrnl->setValue(QStringLiteral("N"));
  cboxJrnl->setHint(QStringLiteral("Records the contents of your UO sessions"));
  lblJrnl = new TKVXLabel(QStringLiteral("Record Journal"), pnlJrnl);
  lblJrnl->setBuddy(cboxJrnl);
  edJrnl = new TKVXEdit(pnlJrnl);
  edJrnl->setObjectName(QStringLiteral("edJrnl"));
  edJrnl->setFind(true);
  edJrnl->setHint(QStringLiteral("File for saving your journal entries"));
  edJrnl->setKVXEnabled(false);
  lblJrnlFile = new TKVXLabel(QStringLiteral("Journal File"), pnlJrnl);
  lblJrnlFile->setBuddy(edJrnl);
  lblJrnlOutside = new TKVXLabel(QStringLiteral("Outside the game directory"), pnlJrnl);
  lblJrnlOutside->setObjectName(QStringLiteral("lblJrnlOutside"));
  QFont outsideFont = lblJrnlOutside->font();
  outsideFont.setBold(true);
  lblJrnlOutside->setFont(outsideFont);
  lblJrnlOutside->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblJrnlOutside->setVisible(false);
  auto* strip = new QGridLayout(pnlJrnl);
  strip->setContentsMargins(6, 4, 6, 4);
  strip->setHorizontalSpacing(10);
  strip->setVerticalSpacing(2);
  strip->addWidget(lblJrnl, 0, 0);
  strip->addWidget(cboxJrnl, 1, 0);
  strip->addWidget(lblJrnlFile, 0, 1);
  // On the caption's line, so that the strip keeps its height whether it shows or not.
  strip->addWidget(lblJrnlOutside, 0, 2);
  strip->addWidget(edJrnl, 1, 1, 1, 2);
  strip->setColumnStretch(1, 1);
  page->addWidget(pnlJrnl);

  auto* contents = new QVBoxLayout;
  contents->setContentsMargins(6, 2, 6, 6);
  contents->setSpacing(2);
  memoJrnl = new TKVXJournalView(tab);
  memoJrnl->setObjectName(QStringLiteral("memoJrnl"));
  memoJrnl->setHint(QStringLiteral("This is the complete journal"));
  lblJrnlContents = new TKVXLabel(QStringLiteral("Journal Contents"), tab);
  lblJrnlContents->setBuddy(memoJrnl);
  contents->addWidget(lblJrnlContents);
  contents->addWidget(memoJrnl, 1);
  page->addLayout(contents, 1);

  connect(cboxJrnl, &TKVXComboBox::changed, this, Guarded([this] { cboxJrnlChange(); }));
  connect(edJrnl, &TKVXEdit::changed, this, Guarded([this] { edJrnlExit(); }));
  connect(edJrnl, &TKVXEdit::entered, this, [this] { jrnlEnter = edJrnl->Text(); });
  connect(edJrnl, &TKVXEdit::exited, this, Guarded([this] {
            if (AcceptJournalName())
              edJrnlExit();
          }));
  connect(edJrnl, &TKVXEdit::find, this, Guarded([this] { edJrnlFind(); }));
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget*) {
    if (old && old == cboxJrnl)
      ui::RunAction([this] { cboxJrnlChange(); });
  });
  connect(memoJrnl, &TKVXJournalView::firstVisibleLineChanged, this,
          [this](int) { UpdateFindCaption(); });
  // A big journal is indexed while the page is in use: its progress goes to the status bar.
  connect(memoJrnl, &TKVXJournalView::indexingProgress, this, [this](qint64 done, qint64 total) {
    const qint64 percent = total > 0 ? done * 100 / total : 100;
    Q_EMIT statusChanged(QStringLiteral("Reading journal... %1%").arg(percent));
  });
  connect(memoJrnl, &TKVXJournalView::indexingFinished, this,
          [this] { Q_EMIT statusChanged(QString()); });
  connect(memoJrnl, &TKVXJournalView::indexingFailed, this,
          Guarded([](const QString& message) { ui::ShowError(message); }));
  connect(memoJrnl, &TKVXJournalView::fileChanged, this,
          [this] { Q_EMIT statusChanged(QStringLiteral("Journal file changed: read again")); });
}

void JournalPage::PushJournalPage() {
  cboxJrnl->setValue(FromGameText(state.journalRecord));
  const QString file = FromGameText(state.journalFile);
  if (edJrnl->Text() != file)
    edJrnl->setText(file); // its change event refreshes the view
  else if (state.journalFileRead)
    RefreshJournal();
  state.journalFileRead = false;
}

void JournalPage::PullJournalPage() {
  const QString flag = cboxJrnl->Value();
  state.journalRecord = flag.isEmpty() ? std::string("N") : ToGameText(flag);
  state.journalFile = ToGameText(edJrnl->Text());
}

void JournalPage::cboxJrnlChange() {
  const bool on = cboxJrnl->Value() == QLatin1String("Y");
  edJrnl->setKVXEnabled(on);
  btnClear->setVisible(on);
  btnPrint->setVisible(on);
  btnFind->setVisible(on);
  if (edJrnl->Text().trimmed().isEmpty())
    edJrnl->setText(FromGameText(DefaultJournalFile(state)));
}

void JournalPage::edJrnlExit() {
  RefreshJournal();
}

namespace {
QString JournalNameRefusal(const QString& name) {
  return QStringLiteral("The journal file name %1 cannot be used: the game's options file holds "
                        "only Western European (Windows-1252) characters. The previous name is "
                        "kept.")
      .arg(name);
}
} // namespace

bool JournalPage::AcceptJournalName() {
  const QString name = edJrnl->Text();
  if (ui::IsGameText(name))
    return true;
  edJrnl->setText(jrnlEnter);
  ui::ShowError(JournalNameRefusal(name));
  return false;
}

bool JournalPage::JournalNameIsGameText() const {
  return ui::IsGameText(edJrnl->Text());
}

void JournalPage::FocusJournalName() {
  edJrnl->setFocus(Qt::OtherFocusReason);
}

void JournalPage::RefreshJournal() {
  const std::string path = JournalPathOf(edJrnl->Text());
  const bool outside = LiesOutsideDirectory(path, state.gameDir);
  lblJrnlOutside->setVisible(outside);
  lblJrnlOutside->setToolTip(outside ? ui::FromUtf8(RealLocation(path)) : QString());
  if (!path.empty() && platform::FileExists(path)) {
    const ui::OverrideCursor wait(Qt::WaitCursor);
    if (memoJrnl->loadFile(ui::FromUtf8(platform::ToHostPath(path)))) {
      btnClear->setEnabled(true);
      btnPrint->setEnabled(true);
      btnFind->setEnabled(true);
    }
  } else {
    btnClear->setEnabled(false);
    btnPrint->setEnabled(false);
    btnFind->setEnabled(false);
    memoJrnl->clear();
  }
  UpdateFindCaption();
}

void JournalPage::edJrnlFind() {
  ui::OpenFileRequest request;
  request.title = QStringLiteral("Journal Log File");
  request.fileName = QStringLiteral("Journal.Log");
  request.defaultSuffix = QStringLiteral("log");
  request.filters = {QStringLiteral("Log files (*.log)"), QStringLiteral("All files (*.*)")};
  // The game creates the journal; a name that does not exist yet is fine, its folder is not.
  request.mustExist = false;
  const QString current = ui::FromUtf8(platform::ToHostPath(JournalPathOf(edJrnl->Text())));
  const QString currentDir = QFileInfo(current).absolutePath();
  request.directory = !edJrnl->Text().trimmed().isEmpty() && QDir(currentDir).exists()
                          ? currentDir
                          : ui::FromUtf8(platform::ToHostPath(state.gameDir));

  std::optional<QString> chosen;
  for (;;) {
    chosen = ui::Hooks().openFile(window(), request);
    if (!chosen)
      return;
    const QString folder = QFileInfo(*chosen).absolutePath();
    if (QDir(folder).exists())
      break;
    ui::ShowWarning(QStringLiteral("The folder ") + QDir::toNativeSeparators(folder) +
                    QStringLiteral(" does not exist."));
  }
  std::string name = chosen->toStdString();
  // The game reads the name: in Windows form when the game itself is known in that form.
  if (platform::IsWindowsPath(state.gameDir))
    name = platform::ToWindowsPath(name);
  const QString shown = ui::FromUtf8(name);
  if (!ui::IsGameText(shown)) {
    ui::ShowError(JournalNameRefusal(shown));
    return;
  }
  edJrnl->setText(shown);
}

void JournalPage::btnFindClick() {
  const QString text = ui::TfrmIgnore::Ask(window(), true);
  if (text.isEmpty())
    return;
  memoJrnl->reloadIfChanged(); // search what the file holds now
  // The line at the top has been seen (or was the last find): the search starts below it.
  const int start = memoJrnl->firstVisibleLine() + 1;
  const int found = memoJrnl->find(text, start);
  if (found >= 0)
    memoJrnl->setFirstVisibleLine(found);
  else
    ui::ShowWarning(QStringLiteral("Could not find \"") + text + QStringLiteral("\""));
  UpdateFindCaption();
}

void JournalPage::btnClearClick() {
  // The file's lines are gone for good: a quick Alt+C, Enter must not empty it. The name comes
  // from UO.CFG, which a set from someone else brings: the question says which file it is, where
  // it really is, and whether it lies outside the game directory.
  const std::string path = JournalPathOf(edJrnl->Text());
  QString question = QStringLiteral("Are you sure you want to clear you journal?\n") +
                     ui::FromUtf8(RealLocation(path));
  if (LiesOutsideDirectory(path, state.gameDir))
    question += QStringLiteral("\nThis file lies outside the game directory.");
  if (!ui::ConfirmDefaultNo(question))
    return;
  memoJrnl->clear();
  UpdateFindCaption();
  platform::WriteLines(path, {});
}

void JournalPage::UpdateFindCaption() {
  const bool again = pageData->currentWidget() == this && memoJrnl->firstVisibleLine() > 0;
  const QString caption = again ? QStringLiteral("&Find Again") : QStringLiteral("&Find");
  if (btnFind->text() != caption)
    btnFind->setText(caption);
}

bool JournalPage::PrintJournal(QPrinter& printer, QFont& printFont, const PrintProgress& progress) {
  // Every line, not just those indexed so far; indexing is quick next to printing.
  memoJrnl->waitForIndex();
  return qv::PrintJournal(
      printer, printFont, memoJrnl->lineCount(), [this](int i) { return memoJrnl->lineBytes(i); },
      progress);
}

} // namespace qv
