#include "ui/Log.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QShowEvent>
#include <QStringList>
#include <QVBoxLayout>
#include <exception>
#include <utility>

#include "controls/KVXStCtl.h"
#include "platform/FileSystem.h"
#include "ui/Dialogs.h"

namespace qv::ui {

namespace {

// By the glyphs, not the font's own flag, which some fixed-pitch fonts do not carry.
bool IsFixedPitch(const QFont& font) {
  const QFontMetricsF metrics(font);
  return metrics.horizontalAdvance(u'i') == metrics.horizontalAdvance(u'W');
}

} // namespace

TfrmLog::TfrmLog(std::string gameDir, std::string programDir, QWidget* parent)
    : QDialog(parent), gameDir_(std::move(gameDir)), programDir_(std::move(programDir)) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QStringLiteral("Patch Log"));

  pnlPatch = new TKVXPanel(this);
  pnlPatch->setObjectName(QStringLiteral("pnlPatch"));
  pnlPatch->setBevelOuter(bvNone);
  pnlPatch->setBevelInner(bvRaised);
  pnlPatch->setBorderWidth(5);
  memoPatch = new TKVXMemo(pnlPatch);
  memoPatch->setObjectName(QStringLiteral("memoPatch"));
  memoPatch->setKVXEnabled(false);
  memoPatch->setLineWrapMode(QPlainTextEdit::NoWrap);
  memoPatch->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memoPatch->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memoPatch->setFont(FixedPitchFont());
  memoPatch->setHint(QStringLiteral("These are all the patches applied to UO"));
  auto* inner = new QVBoxLayout(pnlPatch);
  inner->setContentsMargins(0, 0, 0, 0);
  inner->addWidget(memoPatch);

  pnlBtn = new TKVXPanel(this);
  pnlBtn->setObjectName(QStringLiteral("pnlBtn"));
  pnlBtn->setBevelOuter(bvNone);
  btnExit = new TKVXButton(QStringLiteral("&OK"), pnlBtn);
  btnExit->setObjectName(QStringLiteral("btnExit"));
  btnExit->setKVXDefault(true);
  btnExit->resize(btnExit->sizeHint().expandedTo(QSize(75, 25)));
  btnExit->move(0, 4);
  pnlBtn->setFixedHeight(btnExit->height() + 8);
  pnlBtn->setButtonPanel(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(pnlPatch, 1);
  layout->addWidget(pnlBtn, 0);

  connect(btnExit, &QAbstractButton::clicked, this, Guarded([this](bool) { btnExitClick(); }));

  setFixedSize(QSize(522, 359).expandedTo(minimumSizeHint()));
  btnExit->setFocus();
  FormCreate();
}

QFont TfrmLog::FixedPitchFont() {
  static const QString kTerminal = QStringLiteral("Terminal");
  if (QFontDatabase::families().contains(kTerminal, Qt::CaseInsensitive)) {
    QFont font(kTerminal);
    font.setPixelSize(11);
    return font;
  }
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  if (!IsFixedPitch(font)) {
    // Some platforms name no fixed font of their own; let the font matcher pick one.
    font = QFont(QStringLiteral("monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
  }
  return font;
}

std::string TfrmLog::FileName() const {
  if (!notesMode_)
    return gameDir_ + "Patchlog";
  // The build tree and Windows keep the notes beside the executable; an installed program has
  // them in <prefix>/share/quorvel, the executable being in <prefix>/bin.
  const std::string beside = programDir_ + "Readme.txt";
  const std::string installed = programDir_ + "../share/quorvel/Readme.txt";
  if (!platform::FileExists(beside) && platform::FileExists(installed))
    return installed;
  return beside;
}

void TfrmLog::ShowPatchLog(QWidget* parent, const std::string& gameDir,
                           const std::string& programDir) {
  TfrmLog viewer(gameDir, programDir, parent);
  ExecModal(viewer);
}

void TfrmLog::ShowNotes(QWidget* parent, const std::string& gameDir,
                        const std::string& programDir) {
  TfrmLog viewer(gameDir, programDir, parent);
  viewer.setWindowTitle(QStringLiteral("Quorvel Notes - README.TXT"));
  viewer.SetNotesMode(true);
  ExecModal(viewer);
}

void TfrmLog::FormCreate() {
  notesMode_ = false;
}

void TfrmLog::FormShow() {
  QStringList lines;
  try {
    // Not a settings file: no size limit. Anything but a regular file (a FIFO) is refused
    // without waiting for it, as an unreadable file.
    for (const std::string& line : platform::ReadLines(FileName(), platform::kAnyFileSize))
      lines.append(FromGameText(line));
  } catch (const std::exception&) {
    // A missing or unreadable file shows an empty viewer; there is nothing to report.
    lines.clear();
  }
  memoPatch->setLines(lines);
}

void TfrmLog::btnExitClick() {
  accept();
}

void TfrmLog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    RunAction([this] { FormShow(); });
}

} // namespace qv::ui
