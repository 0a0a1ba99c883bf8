#pragma once

#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "core/MainState.h"

class QScrollArea;

namespace qv {

class MacroGridModel;
class TKVXButton;
class TKVXCheckBox;
class TKVXComboBox;
class TKVXEdit;
class TKVXGridView;
class TKVXLabel;
class TKVXPageControl;
class TKVXPanel;

// The Macros page (tab "tabMacro"): the grid of MainState::macroGrid, its six header buttons
// that sort it, and the detail panel that edits one macro.
//
// A macro is checked out of macroLines while the focus is in the panel: entering the panel
// removes the selected row's block, leaving it with valid content (the leave step, pnlMacroExit)
// appends the panel's macro again. The shell asks for that leave step (StoreCheckedOutMacro)
// before anything that reads or replaces macroLines: Save, Print, the sets dialog, a page change.
// After core has read the macros, the shell has the grid rebuilt (ShowMacroGrid).
class MacroPage : public QWidget {
  Q_OBJECT

public:
  MacroPage(MainState& state, TKVXPageControl* pageData, QWidget* parent = nullptr);

  // Rebuilds grdMacro from state.macroGrid after core has read the macros; unless a macro is
  // checked out, the panel then shows the selected row's macro.
  void ShowMacroGrid();
  // Stores the macro checked out in the panel (the leave step) before an action that reads or
  // replaces macroLines. False when the leave step refused (its error was shown and the focus
  // stays in the panel): the action must not run. True when nothing was checked out.
  bool StoreCheckedOutMacro();
  void btnAddClick();
  void btnDeleteClick();

  // The grid's sort column (0 Key to 5 Parameters), which core's FillMacroGrid sorts by.
  int SortColumn() const { return sortCol; }
  // True while the panel holds the only copy of a macro (checked out of macroLines).
  bool MacroCheckedOut() const { return macroCheckedOut; }

private:
  class MacroPageWatcher;
  class MacroClickGuard;

  // Click, double click and focus-enter of grdMacro.
  void grdMacroClick();
  // The focus entered / left the detail panel as a whole. pnlMacroExit: false when it refused.
  void pnlMacroEnter();
  bool pnlMacroExit();
  // The change event of cboxMacro1 to cboxMacro10; row 0 is cboxMacro1.
  void cboxMacro1Change(int row);
  // All six header buttons; column 0 is btnS0 ("Key").
  void btnS0Click(int column);
  void SortMacroGrid();

  // Resets the panel: no key or modifier, row 1 without an action, rows 2 to 10 hidden.
  void ClearMacroPanel();
  // Shows a macro read by core's FillMacroPanel in the action rows.
  void ShowMacroPanel(const MacroPanel& panel);
  // The macro the panel shows, in the form core's AppendMacro stores.
  MacroPanel PanelMacro() const;
  // Enters or leaves the panel when the application's focus moved into or out of it.
  void MacroFocusChanged(QWidget* now);

  // Lays out the panel's controls for the scroll box's width and sizes its contents to the
  // lowest visible row, so that the scroll range grows with the rows shown.
  void LayoutMacroPanel();
  // Lays the six header buttons over the grid's columns; the last one reaches the right edge.
  void LayoutMacroHeader();
  // The grid shows state.macroGrid; `row` becomes the selected row (kept within the grid).
  void ShowGridRows(int row);
  int CurrentGridRow() const;
  MacroGridRow SelectedGridRow() const;
  // The grid row of a macro, or -1.
  int GridRowOf(const MacroPanel& macro) const;
  // A grid row's key and modifiers into cboxKey, chkAlt, chkCtrl and chkShift.
  void TakeMacroKey(const MacroGridRow& row);
  void ScrollPanelToTop();
  bool IsUnknownAction(int row) const;
  // Row `row` (0 to 9) shows the parameter control its action takes.
  void ActionChanged(std::size_t row);
  // After a refused leave step: the focus back to the offending control, the page back too.
  void FocusMacroControl(QWidget* target);
  bool Refuse(QWidget* target, const char* text);
  // The leave step for a macro that is checked out; true when the macro was stored.
  bool LeaveMacroPanel();

  MainState& state;
  TKVXPageControl* pageData;

  QWidget* pnlMacroHeader = nullptr;
  // The header buttons "Key", "Alt", "Ctrl", "Shift", "Macro", "Parameters": btnS0 to btnS5.
  std::array<TKVXButton*, 6> btnS{};
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

  // The grid's sort column (pure UI state); its header button btnS[sortCol] shows the mark.
  int sortCol = 0;
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
};

} // namespace qv
