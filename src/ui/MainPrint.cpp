// Printing from the main window: the print dialog, then the macro list or the journal by the
// active page.

#include <QPrinter>
#include <QProgressDialog>
#include <algorithm>

#include "controls/KvxWin95.h"
#include "print/Print.h"
#include "ui/Dialogs.h"
#include "ui/JournalPage.h"
#include "ui/MacroPage.h"
#include "ui/Main.h"

namespace qv {

void TfrmMain::btnPrintClick() {
  // Printing reads macroLines: the macro being edited must be in it.
  if (!tabMacro->StoreCheckedOutMacro())
    return;
  PrintActivePage();
}

void TfrmMain::PrintActivePage() {
  const bool macros = pageData->currentWidget() == tabMacro;
  const bool journal = pageData->currentWidget() == tabJournal;
  if (!macros && !journal)
    return;
  if (!printer)
    printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  // The printer and its settings stay from the last job, but not its pages: a range chosen then
  // could lie beyond this printout's end and leave nothing printed.
  printer->setPrintRange(QPrinter::AllPages);
  printer->setFromTo(0, 0);
  if (!ui::Hooks().printSetup(this, *printer))
    return;

  // A long journal takes a while: after a moment a progress window offers to cancel the job.
  QProgressDialog progressWindow(QStringLiteral("Printing..."), QStringLiteral("Cancel"), 0, 1,
                                 this);
  progressWindow.setWindowTitle(QStringLiteral("Print"));
  progressWindow.setWindowModality(Qt::WindowModal);
  progressWindow.setAutoReset(false);
  progressWindow.setAutoClose(false);
  const PrintProgress progress = [&progressWindow](int done, int total) {
    progressWindow.setMaximum(std::max(total, 1));
    progressWindow.setValue(std::min(done, total));
    return !progressWindow.wasCanceled();
  };

  // Busy, but the progress window's Cancel can be clicked.
  const ui::OverrideCursor busy(Qt::BusyCursor);
  if (macros)
    PrintMacroList(*printer, printFont, state.macroGrid, state.macroLines, progress);
  else
    tabJournal->PrintJournal(*printer, printFont, progress);
}

} // namespace qv
