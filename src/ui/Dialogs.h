#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QDialog;
class QMessageBox;
class QPrinter;
class QWidget;

// Every message box and common dialog of the program goes through these functions, so that
// tests answer them without a modal loop: a test replaces the matching member of Hooks().
namespace qv::ui {

// ConfirmationDefaultNo: a Yes / No question whose Yes cannot be undone, with No as the default.
enum class MessageKind {
  Information,
  Error,
  Warning,
  Confirmation,
  ConfirmationDefaultNo,
  GeneralError
};

struct OpenFileRequest {
  QString title;
  QString directory; // host path
  QString fileName;  // proposed file name
  QString defaultSuffix;
  QStringList filters; // "Log files (*.log)", ...
  bool mustExist = true;
};

struct DialogHooks {
  // Shows a message box; true for OK / Yes.
  std::function<bool(MessageKind kind, const QString& caption, const QString& text)> message;
  // Runs a modal form and returns its result code (QDialog::Accepted / Rejected).
  std::function<int(QDialog& dialog)> execModal;
  // The open-file dialog; the chosen host path, or nothing when cancelled.
  std::function<std::optional<QString>(QWidget* parent, const OpenFileRequest& request)> openFile;
  // The font dialog; the chosen font, or nothing when cancelled.
  std::function<std::optional<QFont>(QWidget* parent, const QFont& initial)> chooseFont;
  // The print dialog; true when the user chose to print (the printer is set up by the dialog).
  std::function<bool(QWidget* parent, QPrinter& printer)> printSetup;
};

// The hooks in force. Default members show the real dialogs; a test replaces members and calls
// ResetDialogHooks() when done.
DialogHooks& Hooks();
void ResetDialogHooks();

// Message boxes with the program's captions ("Information", "Error", "Warning", "Confirm").
void ShowInformation(const QString& text);
void ShowError(const QString& text);
void ShowWarning(const QString& text);
// Yes / No; true for Yes.
bool Confirm(const QString& text);
// The same with No as the default button: Enter right after the question changes nothing.
bool ConfirmDefaultNo(const QString& text);
// Gives the box's text the width of its longest line, up to three quarters of the screen: Qt
// would wrap a path at its dots ("...\QRVDAT\UO." / "001") in a box that has room for it.
void KeepMessageLinesWhole(QMessageBox& box);
// The general error box (caption "Quorvel") that reports an error ending a user action.
void ShowGeneralError(const QString& text);

// Runs a modal form through the hook.
int ExecModal(QDialog& dialog);

// The central error handler: runs one user action; an error it throws ends the action, shows
// the general error box with the error's own text, and the program goes on. True when the action
// ran to its end.
bool RunAction(const std::function<void()>& action);

// Wraps a handler for connect(): the slot runs under RunAction.
template <typename F> auto Guarded(F handler) {
  return [handler](auto&&... args) {
    RunAction([&] { handler(std::forward<decltype(args)>(args)...); });
  };
}

// Windows-1252 <-> QString, at the boundary between the game's files and the widgets.
QString FromGameText(const std::string& bytes);
// Characters Windows-1252 cannot hold become '?'.
std::string ToGameText(const QString& text);
// True when Windows-1252 holds every character of the text.
bool IsGameText(const QString& text);
// The program's own strings (host paths, registry texts, the fixed vocabularies) are UTF-8.
QString FromUtf8(std::string_view text);

// The given cursor over the whole application while a piece of work runs (restored also when it
// throws): the hourglass while a journal is read, the busy pointer while printing.
class OverrideCursor {
public:
  explicit OverrideCursor(Qt::CursorShape shape);
  ~OverrideCursor();
  OverrideCursor(const OverrideCursor&) = delete;
  OverrideCursor& operator=(const OverrideCursor&) = delete;
};

} // namespace qv::ui
