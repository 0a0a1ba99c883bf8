// Printing from the main window: the print dialog, then the macro list or the journal by the
// active page.

#include <QApplication>
#include <QLabel>
#include <QPrinter>
#include <QProgressDialog>
#include <algorithm>

#include "controls/KvxWin95.h"
#include "print/Print.h"
#include "ui/Dialogs.h"
#include "ui/Main.h"

namespace qv {

namespace {

// The window's printer: the print dialog shows the printer and settings chosen last time.
class PrinterHolder : public QObject {
public:
  explicit PrinterHolder(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("printerHolder"));
  }
  QPrinter printer{QPrinter::HighResolution};
};

QPrinter& WindowPrinter(QWidget& window) {
  for (QObject* child : window.children())
    if (auto* holder = dynamic_cast<PrinterHolder*>(child))
      return holder->printer;
  return (new PrinterHolder(&window))->printer;
}

// Busy, but the progress window's Cancel can be clicked.
class BusyCursor {
public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

void TfrmMain::PrintActivePage() {
  const bool macros = pageData->currentWidget() == tabMacro;
  const bool journal = pageData->currentWidget() == tabJournal;
  if (!macros && !journal)
    return;
  QPrinter& printer = WindowPrinter(*this);
  // The printer and its settings stay from the last job, but not its pages: a range chosen then
  // could lie beyond this printout's end and leave nothing printed.
  printer.setPrintRange(QPrinter::AllPages);
  printer.setFromTo(0, 0);
  if (!ui::Hooks().printSetup(this, printer))
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

  BusyCursor busy;
  if (macros)
    PrintMacroList(printer, *lblPrint, state, progress);
  else
    PrintJournal(printer, *lblPrint, *memoJrnl, progress);
}

} // namespace qv
