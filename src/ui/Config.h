#pragma once

#include <QDialog>

class QAction;
class QFont;
class QLabel;
class QShowEvent;

namespace qv {
class TKVXButton;
class TKVXComboBox;
class TKVXEdit;
class TKVXPanel;
} // namespace qv

namespace qv::ui {

// The program options, "Quorvel - Setup": the printer font and UOX support.
//
// While the program runs both options live in the main window, which hands them in:
// - printFont: the printer font. A font chosen in the font dialog is put into it at once, and
//   stays for the rest of the run even when the dialog is cancelled.
// - mnuUOX: the "&Multiple Configurations" menu action, enabled exactly while UOX support is on.
//   OK sets it from the choice; Cancel leaves it alone.
// OK writes all six registry values below "\SOFTWARE\Quorvel\", changed or not. A registry error
// is reported by the central error handler and the dialog stays open.
//
// Calling contract: create it, run it with ExecModal(); nothing needs re-reading afterwards.
class TfrmConfig : public QDialog {
  Q_OBJECT

public:
  TfrmConfig(QFont& printFont, QAction* mnuUOX, QWidget* parent = nullptr);

  // Handlers.
  void FormShow();
  void edFontFind();
  void btnOKClick();
  void btnCancelClick();

protected:
  void showEvent(QShowEvent* event) override;

private:
  QLabel* lblFont = nullptr;
  TKVXEdit* edFont = nullptr;
  QLabel* lblUOX = nullptr;
  TKVXComboBox* cboxUOX = nullptr;
  TKVXPanel* pnlBtn = nullptr;
  TKVXButton* btnOK = nullptr;
  TKVXButton* btnCancel = nullptr;

  QFont& printFont_;
  QAction* mnuUOX_;
};

} // namespace qv::ui
