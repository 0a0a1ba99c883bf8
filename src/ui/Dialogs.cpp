#include "ui/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <algorithm>
#include <exception>

#include "platform/Error.h"
#include "text/Encoding.h"
#include "text/LineIndex.h"

namespace qv::ui {

namespace {

QWidget* ActiveParent() {
  if (QWidget* modal = QApplication::activeModalWidget())
    return modal;
  return QApplication::activeWindow();
}

bool ShowRealMessage(MessageKind kind, const QString& caption, const QString& text) {
  QMessageBox box(ActiveParent());
  box.setWindowTitle(caption);
  box.setText(text);
  KeepMessageLinesWhole(box);
  switch (kind) {
  case MessageKind::Information:
    box.setIcon(QMessageBox::Information);
    break;
  case MessageKind::Warning:
    box.setIcon(QMessageBox::Warning);
    break;
  case MessageKind::Confirmation:
  case MessageKind::ConfirmationDefaultNo:
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(kind == MessageKind::Confirmation ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
  case MessageKind::Error:
  case MessageKind::GeneralError:
    box.setIcon(QMessageBox::Critical);
    break;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return true;
}

std::optional<QString> RealOpenFile(QWidget* parent, const OpenFileRequest& request) {
  QFileDialog dialog(parent, request.title, request.directory);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilters(request.filters);
  dialog.setDefaultSuffix(request.defaultSuffix);
  dialog.selectFile(request.fileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

std::optional<QFont> RealChooseFont(QWidget* parent, const QFont& initial) {
  QFontDialog dialog(initial, parent);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  // The printer font has no effects to choose (underline, strike-out): hide Qt's group for them.
  // The sample beside it keeps the height the group had.
  const QList<QGroupBox*> groups = dialog.findChildren<QGroupBox*>();
  for (QGroupBox* effects : groups) {
    if (effects->findChildren<QCheckBox*>().isEmpty())
      continue;
    for (QGroupBox* other : groups) {
      if (other != effects)
        other->setMinimumHeight(std::max(other->minimumHeight(), effects->sizeHint().height()));
    }
    effects->hide();
  }
  if (dialog.exec() != QDialog::Accepted)
    return std::nullopt;
  return dialog.selectedFont();
}

bool RealPrintSetup(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  return dialog.exec() == QDialog::Accepted;
}

DialogHooks DefaultHooks() {
  DialogHooks hooks;
  hooks.message = ShowRealMessage;
  hooks.execModal = [](QDialog& dialog) { return dialog.exec(); };
  hooks.openFile = RealOpenFile;
  hooks.chooseFont = RealChooseFont;
  hooks.printSetup = RealPrintSetup;
  return hooks;
}

DialogHooks g_hooks = DefaultHooks();

} // namespace

void KeepMessageLinesWhole(QMessageBox& box) {
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (!label)
    return;
  const QFontMetrics metrics(label->font());
  int widest = 0;
  for (const QString& line : box.text().split(QLatin1Char('\n')))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  const QScreen* screen = box.screen();
  const int screenWidth = screen ? screen->availableGeometry().width() : 1024;
  // QMessageBox itself grows no wider than the screen less 480 pixels; beyond what is left of
  // that beside the icon, a longer line wraps rather than being cut off at the box's edge.
  const int room = std::min(screenWidth * 3 / 4, screenWidth - 480 - 100);
  label->setWordWrap(true);
  label->setMinimumWidth(std::max(0, std::min(widest + 2, room)));
}

DialogHooks& Hooks() {
  return g_hooks;
}

void ResetDialogHooks() {
  g_hooks = DefaultHooks();
}

void ShowInformation(const QString& text) {
  g_hooks.message(MessageKind::Information, QStringLiteral("Information"), text);
}

void ShowError(const QString& text) {
  g_hooks.message(MessageKind::Error, QStringLiteral("Error"), text);
}

void ShowWarning(const QString& text) {
  g_hooks.message(MessageKind::Warning, QStringLiteral("Warning"), text);
}

bool Confirm(const QString& text) {
  return g_hooks.message(MessageKind::Confirmation, QStringLiteral("Confirm"), text);
}

bool ConfirmDefaultNo(const QString& text) {
  return g_hooks.message(MessageKind::ConfirmationDefaultNo, QStringLiteral("Confirm"), text);
}

void ShowGeneralError(const QString& text) {
  g_hooks.message(MessageKind::GeneralError, QStringLiteral("Quorvel"), text);
}

int ExecModal(QDialog& dialog) {
  return g_hooks.execModal(dialog);
}

bool RunAction(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const qv::Error& e) {
    ShowGeneralError(QString::fromUtf8(e.what()));
  } catch (const std::bad_alloc&) {
    ShowGeneralError(QStringLiteral("Out of memory"));
  } catch (const std::exception& e) {
    ShowGeneralError(QString::fromUtf8(e.what()));
  }
  return false;
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

OverrideCursor::OverrideCursor(Qt::CursorShape shape) {
  QApplication::setOverrideCursor(shape);
}

OverrideCursor::~OverrideCursor() {
  QApplication::restoreOverrideCursor();
}

QString FromGameText(const std::string& bytes) {
  // One character per byte: written in place, not appended one at a time.
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (unsigned char c : bytes)
    *out++ = QChar(Cp1252ToUnicode(c));
  return text;
}

std::string ToGameText(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (QChar ch : text) {
    const int byte = UnicodeToCp1252(ch.unicode());
    bytes.push_back(byte < 0 ? '?' : static_cast<char>(byte));
  }
  return bytes;
}

bool IsGameText(const QString& text) {
  return std::all_of(text.cbegin(), text.cend(),
                     [](QChar ch) { return UnicodeToCp1252(ch.unicode()) >= 0; });
}

} // namespace qv::ui
