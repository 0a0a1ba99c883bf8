#include "ui/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <array>
#include <exception>

#include "platform/Error.h"

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
  switch (kind) {
  case MessageKind::Information:
    box.setIcon(QMessageBox::Information);
    break;
  case MessageKind::Warning:
    box.setIcon(QMessageBox::Warning);
    break;
  case MessageKind::Confirmation:
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
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

// The upper half of Windows-1252; the five codes it leaves undefined map to the C1 controls, as
// Windows' own conversion does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

DialogHooks& Hooks() { return g_hooks; }

void ResetDialogHooks() { g_hooks = DefaultHooks(); }

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

void ShowGeneralError(const QString& text) {
  g_hooks.message(MessageKind::GeneralError, QStringLiteral("Quorvel"), text);
}

int ExecModal(QDialog& dialog) { return g_hooks.execModal(dialog); }

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

QString FromGameText(const std::string& bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (unsigned char c : bytes) {
    if (c >= 0x80 && c < 0xA0)
      text.append(QChar(kCp1252High[c - 0x80]));
    else
      text.append(QChar(c));
  }
  return text;
}

std::string ToGameText(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (QChar ch : text) {
    const char16_t u = ch.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      bytes.push_back(static_cast<char>(u));
      continue;
    }
    char mapped = '?';
    for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
      if (kCp1252High[i] == u) {
        mapped = static_cast<char>(0x80 + i);
        break;
      }
    }
    bytes.push_back(mapped);
  }
  return bytes;
}

} // namespace qv::ui
