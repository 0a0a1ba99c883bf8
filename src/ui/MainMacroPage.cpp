// The Macros page of the main window: the grid, its header buttons and the macro detail panel.

#include "ui/Main.h"

namespace qv {

void TfrmMain::CreateMacroPage(QWidget* /*tab*/) {}

void TfrmMain::ShowMacroGrid() {}

bool TfrmMain::StoreCheckedOutMacro() {
  return true;
}

void TfrmMain::grdMacroClick() {}

void TfrmMain::pnlMacroEnter() {}

bool TfrmMain::pnlMacroExit() {
  return true;
}

void TfrmMain::cboxMacro1Change(QObject* /*Sender*/) {}

void TfrmMain::btnAddClick() {}

void TfrmMain::btnDeleteClick() {}

void TfrmMain::btnS0Click(QObject* /*Sender*/) {}

void TfrmMain::SortMacroGrid() {}

} // namespace qv
