#pragma once

#include <QDialog>
#include <QFont>
#include <string>

class QShowEvent;

namespace qv {
class TKVXButton;
class TKVXMemo;
class TKVXPanel;
} // namespace qv

namespace qv::ui {

// The read-only text viewer: the client's patch log ("Patchlog" in the game directory) or, in
// notes mode, the program's notes ("Readme.txt" beside the executable, or in ../share/quorvel when
// installed). A file that cannot be read shows an empty viewer, without a message.
//
// Calling contract: create it with the main window's gameDir and programDir (both ending in a
// separator); for the notes set the caption "Quorvel Notes - README.TXT" and SetNotesMode(true);
// run it with ExecModal(). ShowPatchLog() and ShowNotes() do exactly that.
class TfrmLog : public QDialog {
  Q_OBJECT

public:
  TfrmLog(std::string gameDir, std::string programDir, QWidget* parent = nullptr);

  void SetNotesMode(bool on) { notesMode_ = on; }
  bool NotesMode() const { return notesMode_; }
  // The file the viewer shows in its current mode.
  std::string FileName() const;

  static void ShowPatchLog(QWidget* parent, const std::string& gameDir,
                           const std::string& programDir);
  static void ShowNotes(QWidget* parent, const std::string& gameDir, const std::string& programDir);

  // "Terminal" where the system has it, else the system's fixed-pitch font.
  static QFont FixedPitchFont();

  // Handlers.
  void FormCreate();
  void FormShow();
  void btnExitClick();

protected:
  void showEvent(QShowEvent* event) override;

private:
  TKVXPanel* pnlPatch = nullptr;
  TKVXMemo* memoPatch = nullptr;
  TKVXPanel* pnlBtn = nullptr;
  TKVXButton* btnExit = nullptr;

  std::string gameDir_;
  std::string programDir_;
  bool notesMode_ = false;
};

} // namespace qv::ui
