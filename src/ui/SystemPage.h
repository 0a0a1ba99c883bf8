#pragma once

#include <QWidget>

namespace qv {

struct MainState;
class TKVXCheckBox;
class TKVXComboBox;
class TKVXEdit;
class TKVXGroupBox;
class TKVXLabel;
class TKVXTrackBar;

// The System Config page (tab "tabSys"): the install directory and client version, shown only,
// and the client options of UO.CFG.
//
// The shell asks it to fill itself from the window's MainState (PushSystemPage) after core has
// read the options, and to store its controls back (PullSystemPage) before core writes them.
class SystemPage : public QWidget {
  Q_OBJECT

public:
  explicit SystemPage(MainState& state, QWidget* parent = nullptr);

  void PushSystemPage();
  void PullSystemPage();

  // Click and exit of chkSound and chkMusic: each volume bar is enabled with its box.
  void chkSoundExit();

  // The Cache Size a save can write: a whole number.
  bool CacheSizeIsWhole() const;
  void FocusCacheSize();

Q_SIGNALS:
  // The install directory's field grew to show the whole path: the window has to fit again.
  void installDirectoryWidened();

private:
  void FitInstallDirectory();

  MainState& state;

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
};

} // namespace qv
