#pragma once

#include <QString>
#include <QWidget>

#include "print/Print.h"

class QPrinter;

namespace qv {

struct MainState;
class TKVXButton;
class TKVXComboBox;
class TKVXEdit;
class TKVXJournalView;
class TKVXLabel;
class TKVXPageControl;
class TKVXPanel;

// The Journal page (tab "tabJournal"): the record flag and journal file of UO.CFG, and the
// journal itself, which can be searched, printed and emptied.
//
// The shell asks it to fill itself from MainState (PushJournalPage) after core has read the
// options, and to store the flag and the file name back (PullJournalPage) before core writes.
class JournalPage : public QWidget {
  Q_OBJECT

public:
  // btnFind, btnPrint, btnClear: the shell's buttons that serve this page, shown and enabled by
  // the record flag and by whether the journal file could be read.
  JournalPage(MainState& state, TKVXPageControl* pageData, TKVXButton* btnFind,
              TKVXButton* btnPrint, TKVXButton* btnClear, QWidget* parent = nullptr);

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
  // The journal name a save can write (Windows-1252 only).
  bool JournalNameIsGameText() const;
  void FocusJournalName();
  // Ctrl+F or double click in edJrnl: the open-file dialog.
  void edJrnlFind();
  void btnFindClick();
  void btnClearClick();
  // Reads the named journal file into the view; the only place that enables Find, Print, Clear,
  // and the one that marks a file outside the game directory.
  void RefreshJournal();
  // "&Find Again" while the Journal page shows the view scrolled away from its first line.
  void UpdateFindCaption();
  // The journal on the printer in the printer font (set to 8 points, where it stays).
  bool PrintJournal(QPrinter& printer, QFont& printFont, const PrintProgress& progress);

Q_SIGNALS:
  // A line for the status bar while a journal is read ("Reading journal... 42%") or after it
  // changed on disk; empty when there is nothing more to say.
  void statusChanged(const QString& text);

private:
  MainState& state;
  TKVXPageControl* pageData;
  TKVXButton* btnFind;
  TKVXButton* btnPrint;
  TKVXButton* btnClear;

  TKVXPanel* pnlJrnl = nullptr;
  TKVXLabel* lblJrnl = nullptr;
  TKVXComboBox* cboxJrnl = nullptr;
  TKVXLabel* lblJrnlFile = nullptr;
  TKVXEdit* edJrnl = nullptr;
  // Shown while edJrnl names a file outside the game directory (a set from someone else can).
  TKVXLabel* lblJrnlOutside = nullptr;
  TKVXLabel* lblJrnlContents = nullptr;
  TKVXJournalView* memoJrnl = nullptr;
  // What edJrnl held when the focus entered it.
  QString jrnlEnter;
};

} // namespace qv
