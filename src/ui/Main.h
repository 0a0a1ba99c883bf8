#pragma once

#include "core/MainState.h"

#include <QFont>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <memory>

class QAction;
class QCloseEvent;
class QKeyEvent;
class QMenu;
class QPrinter;
class QShowEvent;
class QWidget;

namespace qv {

class JournalPage;
class MacroPage;
class ServerPage;
class SystemPage;
class TKVXButton;
class TKVXMainMenu;
class TKVXPageControl;
class TKVXPanel;
class TKVXStatusBar;

// The main window "Quorvel - Beta 6 (Final Beta)", the shell around the four pages (System Config,
// Macros, Journal, Server; each a widget class of its own that owns its controls): the menu, the
// page control, the button panel whose buttons follow the page, the status bar with the focused
// control's help line, start-up (FormCreate, FormShow), the save and exit sequences, and the key
// preview.
//
// The edited state lives in MainState: after core has read something the shell asks each page to
// fill itself from it (Push...Page), before core writes it asks each page to store its controls
// into it (Pull...Page). Pure UI state stays in the pages (the grid's sort, the panel's checked-out
// macro) and here (the printer font).
//
// The handlers keep the program's names: Main.cpp (window, menu, buttons, status bar),
// MainPrint.cpp (printing), MainSaveGuards.cpp (the questions before a save). Every handler bound
// to a control runs under the central error handler (ui::RunAction).
class TfrmMain : public QMainWindow {
  Q_OBJECT

public:
  // Runs FormCreate: StartUp, MakeFirstRunCopies and the application-wide handlers. An error in
  // them is shown by the central error handler and the window is still built.
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // The window's edited state (gameDir, the option values, macroLines, ...).
  const MainState& State() const { return state; }
  // The printer font: the Options dialog chooses it, and each printout sets its size (10 points
  // for the macro list, 8 for the journal), which it keeps afterwards.
  const QFont& PrintFont() const { return printFont; }

  // The loading window that FormShow closes and frees once the current set has been read.
  void setLoadingWindow(QWidget* window) { loadingWindow = window; }
  // True once the first show's reading of the current set ran to its end.
  bool FirstShowLoaded() const { return firstShowLoaded; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

private:
  void FormCreate();
  void FormShow();
  // Key preview: Page Down / Page Up change the page, whatever the modifiers, and are used up
  // (true) even when the page may not be left; in multi-line text they scroll the text.
  bool FormKeyDown(QKeyEvent* event);
  // Asks "Are you sure you want to exit?"; CanClose false keeps the window open.
  void FormCloseQuery(bool& CanClose);
  void pageDataChange();
  // Asked before the user changes the page; AllowChange false keeps the current one (the Macros
  // page while its macro cannot be stored).
  void pageDataChanging(bool& AllowChange);
  // The fields a save cannot write (an empty Cache Size, a journal name the options file cannot
  // hold): the first is named in an error, its page shown and the focus put on it; false then.
  bool CheckFieldsBeforeSave();
  void btnSaveClick();
  // Asked before a save (MainSaveGuards.cpp): while the game runs, and when another program
  // changed the files since this window read them. False when the user keeps the files as they are.
  bool ConfirmSaveGuards();
  // The Exit button and File > Exit.
  void btnExitClick();
  void ViewPatchlog1Click();
  void mnuUOXClick();
  void Options1Click();
  void Notes1Click();
  void About1Click();
  // Print on the Macros or the Journal page: the macro being edited is stored first.
  void btnPrintClick();
  // Printing of the macro list or the journal, after the print dialog (MainPrint.cpp).
  void PrintActivePage();
  // Application-wide handlers: a key press or release anywhere (lock-key panels), a hint change
  // or focus change (the help line), activation (lock-key panels).
  void AppMessage();
  void AppHint();
  void AppActivate();

  // LoadCurrentSet, then every page shows the state.
  void LoadPages();
  // Every page's controls into the state.
  void PullPages();

  void CreateShell();
  void CreateMenu();
  void ConnectPageHandlers();
  // Sizes the fixed window to its content.
  void FixWindowSize();
  void CenterOnScreen();
  // The hint refresh: the focused control's help line into the first two status panels.
  void RefreshHint();
  // Widths of the two help-line panels so that their texts are not cut.
  void FitHintPanels(const QString& first, const QString& second);
  // The focus to the first control of the active page that Tab reaches.
  void FocusFirstControl();
  // The visible button of the button panel whose Alt key this is, if any.
  TKVXButton* MnemonicButton(const QKeyEvent* event) const;
  // False when the application-wide filter sees a key again on its way up the parents.
  bool FirstKeyPass(const QKeyEvent* key, QWidget* widget);
  // The focus from the menu bar back to the control that had it, which ends its keyboard mode.
  void LeaveMenuBar();

  MainState state;
  // The print dialog shows the printer and settings chosen last time. Made at the first print,
  // so that start-up does not wait for the print system.
  std::unique_ptr<QPrinter> printer;
  QFont printFont;

  TKVXPanel* pnlData = nullptr;
  TKVXPageControl* pageData = nullptr;
  SystemPage* tabSys = nullptr;
  MacroPage* tabMacro = nullptr;
  JournalPage* tabJournal = nullptr;
  ServerPage* tabServer = nullptr;

  TKVXPanel* pnlBtn = nullptr;
  TKVXButton* btnAdd = nullptr;
  TKVXButton* btnDelete = nullptr;
  TKVXButton* btnFind = nullptr;
  TKVXButton* btnPrint = nullptr;
  TKVXButton* btnClear = nullptr;
  TKVXButton* btnSave = nullptr;
  TKVXButton* btnExit = nullptr;

  TKVXStatusBar* sbarHint = nullptr;

  TKVXMainMenu* menuMain = nullptr;
  QMenu* File1 = nullptr;
  QAction* ViewPatchlog1 = nullptr;
  QAction* Exit1 = nullptr;
  QMenu* Setup1 = nullptr;
  QAction* mnuUOX = nullptr;
  QAction* Options1 = nullptr;
  QMenu* Help1 = nullptr;
  QAction* Notes1 = nullptr;
  QAction* About1 = nullptr;

  QPointer<QWidget> loadingWindow;
  // The key event on its way up the parents and the widget it was last offered to; null
  // between deliveries.
  const QKeyEvent* keyInDelivery = nullptr;
  int keyInDeliveryType = 0;
  QPointer<QWidget> keyOfferedTo;
  // The control of this window that last had the focus, the menu bar aside.
  QPointer<QWidget> lastControl;
  bool shown = false;
  bool firstShowLoaded = false;
};

} // namespace qv
