#pragma once

#include "core/MainState.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>

class QAction;
class QCloseEvent;
class QKeyEvent;
class QLabel;
class QMenu;
class QScrollArea;
class QShowEvent;
class QWidget;

namespace qv {

class TKVXButton;
class TKVXCheckBox;
class TKVXComboBox;
class TKVXEdit;
class TKVXGridView;
class MacroGridModel;
class TKVXGroupBox;
class TKVXJournalView;
class TKVXLabel;
class TKVXMainMenu;
class TKVXMemo;
class TKVXPageControl;
class TKVXPanel;
class TKVXStatusBar;
class TKVXTrackBar;

// The main window "Quorvel - Beta 6 (Final Beta)": four pages (System Config, Macros, Journal,
// Server), the button panel whose buttons follow the page, the status bar with the focused
// control's help line, and the menu.
//
// The edited state lives in `state`: after core has read something the window pushes it into the
// controls (Push...), before core writes the window pulls the controls back (Pull...).
//
// The handlers keep the program's names; each page's definitions live in their own file:
// Main.cpp (window, menu, buttons, status bar), MainSystemPage.cpp, MainMacroPage.cpp,
// MainJournalPage.cpp, MainServerPage.cpp. Every handler bound to a control runs under the
// central error handler (ui::RunAction).
class TfrmMain : public QMainWindow {
  Q_OBJECT

public:
  // Runs FormCreate: StartUp, MakeFirstRunCopies and the application-wide handlers. An error in
  // them is shown by the central error handler and the window is still built.
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // The window's edited state (gameDir, the option values, macroLines, ...).
  MainState state;

  // The loading window that FormShow closes and frees once the current set has been read.
  void setLoadingWindow(QWidget* window) { loadingWindow = window; }
  // True once the first show's reading of the current set ran to its end.
  bool FirstShowLoaded() const { return firstShowLoaded; }

  // Stores the macro checked out in the macro panel (the panel's leave step) before an action
  // that reads or replaces macroLines. False when the leave step refused (its error was shown and
  // the focus stays in the panel): the action must not run. True when nothing was checked out.
  bool StoreCheckedOutMacro();

  // ---------------------------------------------------------------------------------------------
  // Shell (Main.cpp)

  void FormCreate();
  void FormShow();
  // Key preview: Page Down / Page Up change the page, whatever the modifiers, and are used up
  // (true) even when the page may not be left; in multi-line text they scroll the text.
  bool FormKeyDown(QKeyEvent* event);
  // Asks "Are you sure you want to exit?"; CanClose false keeps the window open.
  void FormCloseQuery(bool& CanClose);
  void FormDestroy();
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
  void btnExitClick();
  void ViewPatchlog1Click();
  void Exit1Click();
  void mnuUOXClick();
  void Options1Click();
  void Notes1Click();
  void About1Click();
  // Application-wide handlers: a key press or release anywhere (lock-key panels), a hint change
  // or focus change (the help line), activation (lock-key panels).
  void AppMessage(QKeyEvent* event);
  void AppHint();
  void AppActivate();

  // LoadCurrentSet, then every page shows the state.
  void LoadPages();
  // Every page's controls into the state.
  void PullPages();

  TKVXPanel* pnlData = nullptr;
  TKVXPageControl* pageData = nullptr;
  QWidget* tabSys = nullptr;
  QWidget* tabMacro = nullptr;
  QWidget* tabJournal = nullptr;
  QWidget* tabServer = nullptr;

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

  // ---------------------------------------------------------------------------------------------
  // System Config page (MainSystemPage.cpp)

  void CreateSystemPage(QWidget* tab);
  void PushSystemPage();
  void FitInstallDirectory();
  void PullSystemPage();
  // Click and exit of chkSound and chkMusic: each volume bar is enabled with its box.
  void chkSoundExit();

  TKVXLabel* lblUOIns = nullptr;
  TKVXEdit* edUOIns = nullptr;
  TKVXLabel* lblVer = nullptr;
  TKVXEdit* edVer = nullptr;
  TKVXGroupBox* gboxMisc = nullptr;
  TKVXCheckBox* chkNot = nullptr;
  TKVXCheckBox* chkFilter = nullptr;
  TKVXCheckBox* chkTrans = nullptr;
  TKVXCheckBox* chkIntro = nullptr;
  TKVXCheckBox* chkOpen = nullptr;
  TKVXCheckBox* chkFull = nullptr;
  TKVXGroupBox* gboxSound = nullptr;
  TKVXCheckBox* chkFoot = nullptr;
  TKVXCheckBox* chkSound = nullptr;
  TKVXLabel* lblSound = nullptr;
  TKVXTrackBar* slideSound = nullptr;
  TKVXCheckBox* chkMusic = nullptr;
  TKVXLabel* lblMusic = nullptr;
  TKVXTrackBar* slideMusic = nullptr;
  TKVXGroupBox* gboxSys = nullptr;
  TKVXLabel* lblDPath = nullptr;
  TKVXEdit* edDPath = nullptr;
  TKVXLabel* lblCache = nullptr;
  TKVXEdit* edCache = nullptr;
  TKVXLabel* lblPage = nullptr;
  TKVXComboBox* cboxPage = nullptr;
  TKVXCheckBox* chk565 = nullptr;
  // Never shown: its font is the printer font.
  QLabel* lblPrint = nullptr;

  // ---------------------------------------------------------------------------------------------
  // Macros page (MainMacroPage.cpp)

  void CreateMacroPage(QWidget* tab);
  // Rebuilds grdMacro from state.macroGrid after core has read the macros; unless a macro is
  // checked out, the panel then shows the selected row's macro.
  void ShowMacroGrid();
  // Click, double click and focus-enter of grdMacro.
  void grdMacroClick();
  // The focus entered / left the detail panel as a whole. pnlMacroExit: false when it refused.
  void pnlMacroEnter();
  bool pnlMacroExit();
  // The change event of cboxMacro1 to cboxMacro10; Sender tells the row.
  void cboxMacro1Change(QObject* Sender);
  void btnAddClick();
  void btnDeleteClick();
  // All six header buttons; Sender tells the column.
  void btnS0Click(QObject* Sender);
  void SortMacroGrid();

  // Resets the panel: no key or modifier, row 1 without an action, rows 2 to 10 hidden.
  void ClearMacroPanel();
  // Shows a macro read by core's FillMacroPanel in the action rows.
  void ShowMacroPanel(const MacroPanel& panel);
  // The macro the panel shows, in the form core's AppendMacro stores.
  MacroPanel PanelMacro() const;
  // Enters or leaves the panel when the application's focus moved into or out of it.
  void MacroFocusChanged(QWidget* now);

  QWidget* pnlMacroHeader = nullptr;
  TKVXButton* btnS0 = nullptr; // "Key"
  TKVXButton* btnS1 = nullptr; // "Alt"
  TKVXButton* btnS2 = nullptr; // "Ctrl"
  TKVXButton* btnS3 = nullptr; // "Shift"
  TKVXButton* btnS4 = nullptr; // "Macro"
  TKVXButton* btnS5 = nullptr; // "Parameters"
  TKVXGridView* grdMacro = nullptr;
  // grdMacro's model over state.macroGrid.
  MacroGridModel* macroGridModel = nullptr;
  TKVXPanel* pnlMacro = nullptr;
  QScrollArea* sclData = nullptr;
  TKVXLabel* lblKey = nullptr;
  TKVXComboBox* cboxKey = nullptr;
  TKVXCheckBox* chkAlt = nullptr;
  TKVXCheckBox* chkCtrl = nullptr;
  TKVXCheckBox* chkShift = nullptr;
  // Rows 1 to 10 at indices 0 to 9: cboxMacro1..10, lblMacro1..10 (row 1's label reads "Macro"),
  // edParm1..10, cboxParm1..10, lblParm1..10.
  std::array<TKVXComboBox*, 10> cboxMacro{};
  std::array<TKVXLabel*, 10> lblMacro{};
  std::array<TKVXEdit*, 10> edParm{};
  std::array<TKVXComboBox*, 10> cboxParm{};
  std::array<TKVXLabel*, 10> lblParm{};

  // The grid's sort state (pure UI state).
  int sortCol = 0;
  TKVXButton* sortBtn = nullptr;
  bool gridBusy = false;

  // True from entering the panel until it is left with valid content: the panel's macro is then
  // checked out, absent from macroLines.
  bool macroCheckedOut = false;
  // Set while the leave step runs, so that the focus moves it makes are not taken for entering.
  bool macroLeaving = false;
  // Set from a refused leave step during a page switch until the focus is back in the panel.
  bool macroReturning = false;
  // Action lines after the tenth of the macro in the panel: stored again after its rows.
  std::vector<std::string> macroExtraActionLines;

  // ---------------------------------------------------------------------------------------------
  // Journal page (MainJournalPage.cpp)

  void CreateJournalPage(QWidget* tab);
  void PushJournalPage();
  void PullJournalPage();
  // The record flag step: the file field editable and Clear/Print/Find shown exactly when "Y";
  // an empty file name becomes gameDir + "Journal.Log".
  void cboxJrnlChange();
  // Change and exit of edJrnl.
  void edJrnlExit();
  // A journal name the options file cannot hold (only Windows-1252) is refused with a message and
  // the name the field had on entering comes back; false then.
  bool AcceptJournalName();
  // Ctrl+F or double click in edJrnl: the open-file dialog.
  void edJrnlFind();
  void btnFindClick();
  void btnClearClick();
  void btnPrintClick();
  // Reads the named journal file into the view; the only place that enables Find, Print, Clear.
  void RefreshJournal();
  // "&Find Again" while the Journal page shows the view scrolled away from its first line.
  void UpdateFindCaption();
  // Printing of the macro list or the journal, after the print dialog.
  void PrintActivePage();

  TKVXPanel* pnlJrnl = nullptr;
  TKVXLabel* lblJrnl = nullptr;
  TKVXComboBox* cboxJrnl = nullptr;
  TKVXLabel* lblJrnlFile = nullptr;
  TKVXEdit* edJrnl = nullptr;
  TKVXLabel* lblJrnlContents = nullptr;
  TKVXJournalView* memoJrnl = nullptr;

  // ---------------------------------------------------------------------------------------------
  // Server page (MainServerPage.cpp)

  void CreateServerPage(QWidget* tab);
  void PushServerPage();
  void PullServerPage();
  // Focus enter / leave of edServ1..4 and edPort1..4; Sender is the field.
  void edServ1Enter(QObject* Sender);
  void edServ1Exit(QObject* Sender);
  void edPort1Enter(QObject* Sender);
  void edPort1Exit(QObject* Sender);

  TKVXMemo* memoNote = nullptr;
  // Index 0 is #1.
  std::array<TKVXLabel*, 4> lblServ{};
  std::array<TKVXEdit*, 4> edServ{};
  std::array<TKVXLabel*, 4> lblPort{};
  std::array<TKVXEdit*, 4> edPort{};
  QString servEnter;
  QString jrnlEnter;
  QString portEnter;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

private:
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

// The one main window.
extern TfrmMain* frmMain;

} // namespace qv
