#pragma once

#include <QDialog>
#include <QString>

class QKeyEvent;
class QLabel;
class QShowEvent;

namespace qv {
class TKVXButton;
class TKVXEdit;
class TKVXPanel;
} // namespace qv

namespace qv::ui {

// The one-line input dialog: asks for a configuration set's name or, in find mode, for the text
// to look for in the journal.
//
// Calling contract: create it; for a search call SetFindMode(true); run it with ExecModal(); read
// Answer(): empty means cancelled, anything else is the text exactly as typed (blanks at either
// end kept). Ask() does all of that in one call.
//
// Every way of closing passes FormCloseQuery: OK and Enter, Cancel and Esc, and the close box
// (which hands over the typed text, as OK does).
class TfrmIgnore : public QDialog {
  Q_OBJECT

public:
  // Cancel writes this into the field so that the closing check can tell a cancel from an entry.
  static inline const QString kCancelMarker = QStringLiteral("#$%^");

  explicit TfrmIgnore(QWidget* parent = nullptr);

  void SetFindMode(bool on) { findMode_ = on; }
  bool FindMode() const { return findMode_; }
  // The entered text after the dialog has closed; empty when it was cancelled.
  const QString& Answer() const { return answer_; }

  // Creates the dialog, runs it modally through ExecModal() and returns its answer.
  static QString Ask(QWidget* parent, bool findMode);
  // The same for a configuration name under a title of its own, the field starting with `text`.
  static QString AskName(QWidget* parent, const QString& title, const QString& text);

  // Handlers.
  void FormCreate();
  void FormShow();
  // True when the dialog may close.
  bool FormCloseQuery();
  void btnOKClick();
  void btnCancelClick();

public Q_SLOTS:
  void done(int result) override;

protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  TKVXPanel* pnlIgnore = nullptr;
  QLabel* lblIgnore = nullptr;
  TKVXEdit* edIgnore = nullptr;
  TKVXPanel* pnlBtn = nullptr;
  TKVXButton* btnOK = nullptr;
  TKVXButton* btnCancel = nullptr;

  bool findMode_ = false;
  QString answer_;
  QString nameTitle_; // AskName's title; empty: Add's
};

} // namespace qv::ui
