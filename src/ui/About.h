#pragma once

#include <QDialog>

class QKeyEvent;
class QLabel;

namespace qv {
class TKVXButton;
class TKVXMemo;
} // namespace qv

namespace qv::ui {

// The about box, "Quorvel Info": the program's name, the version line, a short credits text and
// OK. At program start the same box, shrunk by MakeLoadingWindow(), is the "Loading..." window
// that shows only the two top lines.
//
// Calling contract: About: create it, run it with ExecModal(). Loading window: create it, call
// ShowLoading() just after the main window has been created, and delete it once the current set
// has been read.
class TfrmAbout : public QDialog {
  Q_OBJECT

public:
  explicit TfrmAbout(QWidget* parent = nullptr);

  // Caption "Loading...", client area 270 x 65, no close box, only the two top lines in view.
  void MakeLoadingWindow();
  bool IsLoadingWindow() const { return loading_; }
  // MakeLoadingWindow(), then shows the window modeless and paints it at once.
  void ShowLoading();

  // Handlers.
  void btnOKClick();

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  QLabel* lblTitle = nullptr;
  QLabel* lblVersion = nullptr;
  QWidget* pnlCredits = nullptr;
  TKVXMemo* memoCredits = nullptr;
  QWidget* pnlBtn = nullptr;
  TKVXButton* btnOK = nullptr;

  bool loading_ = false;
};

} // namespace qv::ui
