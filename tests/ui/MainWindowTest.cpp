#include "MainWindowSupport.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include "core/MainProc.h"
#include "core/SaveGuards.h"
#include "platform/GameProcess.h"
#include "platform/Keyboard.h"
#include "ui/Log.h"
#include <QTabBar>
#include <algorithm>
#include <filesystem>
#include <tuple>

namespace qv {
namespace {

using test::MainWindowTest;

class FakeKeyboard : public platform::KeyboardState {
public:
  platform::KeyToggles toggles;
  platform::KeyToggles Toggles() override { return toggles; }
};

struct PageButtons {
  QWidget* page;
  bool addDelete;
  bool print;
  bool find;
  bool clear;
};

TEST_F(MainWindowTest, FrameMenuAndButtonsAsTheUserFindsThem) {
  Open();
  EXPECT_EQ(window->windowTitle(), "Quorvel - Beta 6 (Final Beta)");
  // Fixed size: the user cannot resize the window.
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_GE(window->width(), 521);
  EXPECT_EQ(Pages()->currentWidget(), Child("tabSys"));
  EXPECT_EQ(Pages()->count(), 4);
  EXPECT_EQ(Pages()->tabText(3), "Server");

  EXPECT_EQ(Child<QAction>("ViewPatchlog1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
  EXPECT_EQ(Child<QAction>("mnuUOX")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
  EXPECT_FALSE(Child<QAction>("mnuUOX")->isEnabled()); // no UOX support in the registry
  const QList<QAction*> file = Child<QMenu>("File1")->actions();
  ASSERT_EQ(file.size(), 3);
  EXPECT_TRUE(file[1]->isSeparator());
  EXPECT_EQ(file[2]->text(), "E&xit");

  // The buttons in their tab order; Save is the default button, Exit the cancel button.
  const QList<TKVXButton*> order = {Child<TKVXButton>("btnAdd"),   Child<TKVXButton>("btnDelete"),
                                    Child<TKVXButton>("btnFind"),  Child<TKVXButton>("btnPrint"),
                                    Child<TKVXButton>("btnClear"), Child<TKVXButton>("btnSave"),
                                    Child<TKVXButton>("btnExit")};
  for (int i = 1; i < order.size(); ++i)
    EXPECT_LT(order[i - 1]->TabOrder(), order[i]->TabOrder()) << i;
  EXPECT_TRUE(Child<TKVXButton>("btnSave")->Default());
  EXPECT_TRUE(Child<TKVXButton>("btnExit")->Cancel());
  EXPECT_EQ(Child<TKVXButton>("btnSave")->Hint(), "Save all the changes to Ulitma Online");
  EXPECT_EQ(Child<TKVXStatusBar>("sbarHint")->PanelCount(), 5);
}

TEST_F(MainWindowTest, UoxSupportEnablesMultipleConfigurations) {
  TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).WriteFlag("\\SOFTWARE\\Quorvel\\", "UOXSupport", true);
  Open();
  EXPECT_TRUE(Child<QAction>("mnuUOX")->isEnabled());
}

TEST_F(MainWindowTest, MenuCommandsOpenTheirDialogsAndTheSetsDialogRereadsTheSet) {
  TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).WriteFlag("\\SOFTWARE\\Quorvel\\", "UOXSupport", true);
  Open();
  QStringList opened;
  ui::Hooks().execModal = [&opened](QDialog& dialog) {
    QString name = QString::fromLatin1(dialog.metaObject()->className());
    if (qobject_cast<ui::TfrmLog*>(&dialog))
      name += " " + dialog.windowTitle();
    opened << name;
    return static_cast<int>(QDialog::Rejected);
  };
  Child<TKVXEdit>("edDPath")->setText("E:\\Unsaved");
  for (QAction* item : {Child<QAction>("ViewPatchlog1"), Child<QAction>("Notes1"),
                        Child<QAction>("About1"), Child<QAction>("Options1")})
    item->trigger();
  EXPECT_EQ(Child<TKVXEdit>("edDPath")->Text(), "E:\\Unsaved"); // nothing re-read after these
  Child<QAction>("mnuUOX")->trigger();
  EXPECT_EQ(opened,
            (QStringList{"qv::ui::TfrmLog Patch Log", "qv::ui::TfrmLog Quorvel Notes - README.TXT",
                         "qv::ui::TfrmAbout", "qv::ui::TfrmConfig", "qv::ui::TfrmUOX"}));
  // However the sets dialog closed, the pages show the current set as stored.
  EXPECT_EQ(Child<TKVXEdit>("edDPath")->Text(), "D:\\UO");
  EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowTest, PageKeysCycleThePagesAndTheButtonsFollow) {
  Open();
  Focus(Child<TKVXCheckBox>("chkNot"));
  const std::vector<PageButtons> table = {
      {Child("tabMacro"), true, true, false, false},
      {Child("tabJournal"), false, true, true, true}, // the sample journal is recorded
      {Child("tabServer"), false, false, false, false},
      {Child("tabSys"), false, false, false, false},
  };
  for (const PageButtons& row : table) {
    if (!QApplication::focusWidget())
      Focus(window.get());
    Press(Qt::Key_PageDown);
    SCOPED_TRACE(row.page->objectName().toStdString());
    EXPECT_EQ(Pages()->currentWidget(), row.page);
    EXPECT_EQ(Child<TKVXButton>("btnAdd")->isVisible(), row.addDelete);
    EXPECT_EQ(Child<TKVXButton>("btnDelete")->isVisible(), row.addDelete);
    EXPECT_EQ(Child<TKVXButton>("btnPrint")->isVisible(), row.print);
    EXPECT_EQ(Child<TKVXButton>("btnFind")->isVisible(), row.find);
    EXPECT_EQ(Child<TKVXButton>("btnClear")->isVisible(), row.clear);
    EXPECT_TRUE(Child<TKVXButton>("btnSave")->isVisible());
    EXPECT_TRUE(Child<TKVXButton>("btnExit")->isVisible());
  }

  // Page Up goes the other way round, from the first page to the last.
  Focus(Child<TKVXCheckBox>("chkNot"));
  Press(Qt::Key_PageUp);
  EXPECT_EQ(Pages()->currentWidget(), Child("tabServer"));
  Press(Qt::Key_PageUp, Qt::ControlModifier); // modifiers are not looked at
  EXPECT_EQ(Pages()->currentWidget(), Child("tabJournal"));
}

TEST_F(MainWindowTest, PageKeysInMultiLineTextScrollTheText) {
  Open();
  Pages()->setCurrentWidget(Child("tabJournal"));
  Focus(Child<TKVXJournalView>("memoJrnl"));
  Press(Qt::Key_PageDown);
  EXPECT_EQ(Pages()->currentWidget(), Child("tabJournal"));

  Pages()->setCurrentWidget(Child("tabServer"));
  Focus(Child<TKVXMemo>("memoNote"));
  Press(Qt::Key_PageUp);
  EXPECT_EQ(Pages()->currentWidget(), Child("tabServer"));
}

TEST_F(MainWindowTest, PageDownDoesNotChangeTheControlOfThePageLeft) {
  Open();
  Focus(Child<TKVXComboBox>("cboxPage"));
  ASSERT_EQ(Child<TKVXComboBox>("cboxPage")->Value(), "G");
  Press(Qt::Key_PageDown);
  EXPECT_EQ(Pages()->currentWidget(), Child("tabMacro"));
  EXPECT_EQ(Child<TKVXComboBox>("cboxPage")->Value(), "G");
}

TEST_F(MainWindowTest, PageKeysRightAfterADropDownListClosedChangeThePageNotTheList) {
  Open();
  struct Case {
    QWidget* page;
    TKVXComboBox* box;
  };
  const std::vector<Case> lists = {{Child("tabSys"), Child<TKVXComboBox>("cboxPage")},
                                   {Child("tabJournal"), Child<TKVXComboBox>("cboxJrnl")},
                                   {Child("tabMacro"), Child<TKVXComboBox>("cboxKey")}};
  for (const Qt::Key close : {Qt::Key_Escape, Qt::Key_Return}) {
    for (const Case& list : lists) {
      SCOPED_TRACE(list.box->objectName().toStdString() +
                   (close == Qt::Key_Escape ? " Esc" : " Enter"));
      Pages()->setCurrentWidget(list.page);
      Focus(list.box);
      const QString before = list.box->currentText();
      list.box->showPopup();
      ASSERT_TRUE(QApplication::activePopupWidget());
      // The closing key ends its way at the pop-up, whose parent is the box: the next key, sent
      // to the box, must not pass for the closing key going on up.
      Key(close);
      ASSERT_FALSE(QApplication::activePopupWidget());
      Key(Qt::Key_PageUp);
      EXPECT_NE(Pages()->currentWidget(), list.page);
      EXPECT_EQ(list.box->currentText(), before);
    }
  }
  EXPECT_TRUE(messages.empty());
  Child<TKVXButton>("btnSave")->click();
  const std::string options = Get("UO.CFG");
  EXPECT_NE(options.find("PageFlip=gdi\r\n"), std::string::npos) << options;
}

TEST_F(MainWindowTest, EveryWayOfClosingAsksAndNoKeepsTheEdits) {
  Open();
  const auto before = Snapshot();
  Child<TKVXEdit>("edDPath")->setText("E:\\Edited");
  const std::vector<std::pair<const char*, std::function<void()>>> routes = {
      {"Exit button", [&] { Child<TKVXButton>("btnExit")->click(); }},
      {"Esc",
       [&] {
         Focus(Child<TKVXEdit>("edDPath"));
         Press(Qt::Key_Escape);
       }},
      {"File menu", [&] { Child<QAction>("Exit1")->trigger(); }},
      {"close box", [&] { window->close(); }},
  };
  for (const auto& [name, route] : routes) {
    SCOPED_TRACE(name);
    messages.clear();
    answers = {false};
    route();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, ui::MessageKind::Confirmation);
    EXPECT_EQ(messages[0].caption, "Confirm");
    EXPECT_EQ(messages[0].text, "Are you sure you want to exit?");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Child<TKVXEdit>("edDPath")->Text(), "E:\\Edited");
  }

  messages.clear();
  answers = {true};
  window->close();
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(Snapshot(), before); // closing writes nothing
}

TEST_F(MainWindowTest, StatusBarShowsTheFocusedControlsHelpLine) {
  Open();
  // A hint without "|": all of it in the first panel.
  Focus(Child<TKVXCheckBox>("chkNot"));
  EXPECT_EQ(Child<TKVXStatusBar>("sbarHint")->PanelText(0),
            "Ask before negatively effecting notoriety");
  EXPECT_EQ(Child<TKVXStatusBar>("sbarHint")->PanelText(1), "");

  // A control without a hint empties both panels.
  Focus(Child<TKVXEdit>("edCache"));
  EXPECT_EQ(Child<TKVXStatusBar>("sbarHint")->PanelText(0), "");
  EXPECT_EQ(Child<TKVXStatusBar>("sbarHint")->PanelText(1), "");

  // A hint with "|": the long part first, the short part (with its trailing blank) second.
  Pages()->setCurrentWidget(Child("tabJournal"));
  Focus(Child<TKVXEdit>("edJrnl"));
  EXPECT_EQ(Child<TKVXStatusBar>("sbarHint")->PanelText(0), "CTRL-F or Double Click for find");
  EXPECT_EQ(Child<TKVXStatusBar>("sbarHint")->PanelText(1),
            "File for saving your journal entries ");

  // A new hint on the focused control shows at once.
  Focus(Child<TKVXComboBox>("cboxJrnl"));
  Child<TKVXComboBox>("cboxJrnl")->setHint("Short|Long");
  EXPECT_EQ(Child<TKVXStatusBar>("sbarHint")->PanelText(0), "Long");
  EXPECT_EQ(Child<TKVXStatusBar>("sbarHint")->PanelText(1), "Short");
}

TEST_F(MainWindowTest, EveryKeyPressAndReleaseRefreshesTheLockKeyPanelsOnce) {
  FakeKeyboard keyboard;
  platform::SetKeyboardState(&keyboard);
  struct Restore {
    ~Restore() { platform::SetKeyboardState(nullptr); }
  } restore;
  Open();
  int refreshed = 0;
  QObject::connect(Child<TKVXStatusBar>("sbarHint"), &TKVXStatusBar::resized,
                   [&refreshed] { ++refreshed; });
  Focus(Child<TKVXEdit>("edDPath"));
  // F5 is used by no control: it travels up to the window, and still counts once each way.
  Press(Qt::Key_F5);
  EXPECT_EQ(refreshed, 2);

  // Caps Lock and Num Lock on. X switches a lock off when its key comes up: the panel follows
  // without another key.
  keyboard.toggles = {true, true, false};
  Press(Qt::Key_F5);
  for (const auto& [lock, panel, text] :
       {std::tuple{Qt::Key_CapsLock, 2, "CAP"}, std::tuple{Qt::Key_NumLock, 3, "NUM"}}) {
    SCOPED_TRACE(text);
    QTest::keyPress(Child<TKVXEdit>("edDPath"), lock);
    EXPECT_EQ(Child<TKVXStatusBar>("sbarHint")->PanelText(panel), text);
    (lock == Qt::Key_CapsLock ? keyboard.toggles.capsLock : keyboard.toggles.numLock) = false;
    QTest::keyRelease(Child<TKVXEdit>("edDPath"), lock);
    EXPECT_EQ(Child<TKVXStatusBar>("sbarHint")->PanelText(panel), "");
  }
}

TEST_F(MainWindowTest, EscAsksToExitAlsoRightAfterAMenu) {
  Open();
  Focus(Child<TKVXCheckBox>("chkNot"));
  // The menu closed with Esc leaves the menu bar with the focus; the next Esc asks all the same.
  Key(Qt::Key_F, Qt::AltModifier);
  ASSERT_EQ(QApplication::activePopupWidget(), Child<QMenu>("File1"));
  Key(Qt::Key_Escape);
  ASSERT_FALSE(QApplication::activePopupWidget());
  Key(Qt::Key_Escape);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Are you sure you want to exit?");
  EXPECT_EQ(QApplication::focusWidget(), Child<TKVXCheckBox>("chkNot"));

  // A menu command (the notes, shown and closed): every Esc after it asks.
  Key(Qt::Key_H, Qt::AltModifier);
  ASSERT_EQ(QApplication::activePopupWidget(), Child<QMenu>("Help1"));
  Key(Qt::Key_N);
  ASSERT_FALSE(QApplication::activePopupWidget());
  Key(Qt::Key_Escape);
  Key(Qt::Key_Escape);
  EXPECT_EQ(messages.size(), 3u);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, ARefusedPageChangeLeavesTheTabOnTheMacrosPage) {
  Open();
  Pages()->setCurrentWidget(Child("tabMacro"));
  Child<TKVXButton>("btnAdd")->click();
  ASSERT_TRUE(Macros()->MacroCheckedOut());
  QTabBar* tabs = Pages()->tabBar();
  const int macros = Pages()->indexOf(Child("tabMacro"));
  // The tab selected while the leave step's error is on the screen.
  std::vector<int> tabBehindError;
  ui::Hooks().message = [&](ui::MessageKind kind, const QString& caption, const QString& text) {
    messages.push_back({kind, caption, text});
    tabBehindError.push_back(tabs->currentIndex());
    return false;
  };

  // The empty new macro has neither key nor modifier: Page Down and a click on the next tab are
  // both refused, and the Key list does not take Page Down instead.
  const QString key = Child<TKVXComboBox>("cboxKey")->currentText();
  Key(Qt::Key_PageDown);
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(macros + 1).center());
  QApplication::processEvents();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].text, "Must select Alt, Ctrl, or Shift!");
  EXPECT_EQ(messages[1].text, messages[0].text);
  EXPECT_EQ(tabBehindError, (std::vector<int>{macros, macros}));
  EXPECT_EQ(tabs->currentIndex(), macros);
  EXPECT_EQ(Pages()->currentWidget(), Child("tabMacro"));
  EXPECT_TRUE(Macros()->MacroCheckedOut());
  EXPECT_TRUE(Child<TKVXPanel>("pnlMacro")->isAncestorOf(QApplication::focusWidget()));
  EXPECT_EQ(Child<TKVXComboBox>("cboxKey")->currentText(), key);

  // Once the macro can be stored, Page Down stores it and changes the page.
  Child<TKVXComboBox>("cboxKey")->setCurrentIndex(Child<TKVXComboBox>("cboxKey")->findText("W"));
  Child<TKVXCheckBox>("chkAlt")->setChecked(true);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(Pages()->currentWidget(), Child("tabJournal"));
  EXPECT_FALSE(Macros()->MacroCheckedOut());
  EXPECT_NE(
      std::find(window->State().macroLines.begin(), window->State().macroLines.end(), "W 0 1 0"),
      window->State().macroLines.end());
  EXPECT_EQ(messages.size(), 2u) << LastMessage().toStdString();
}

TEST_F(MainWindowTest, SaveReportsSuccessAndWritesTheGameFiles) {
  Open();
  Child<TKVXEdit>("edDPath")->setText("E:\\Saved");
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Information);
  EXPECT_EQ(messages[0].caption, "Information");
  EXPECT_EQ(messages[0].text, "Ultima Online has been configured successfully off-line.");
  EXPECT_NE(Get("UO.CFG").find("CdRomDataPath=E:\\Saved\r\n"), std::string::npos);
  EXPECT_EQ(Get("UO.CFG").rfind("; my own comment\r\n", 0), 0u);

  // Enter in a field that does not use it is Save as well.
  messages.clear();
  Focus(Child<TKVXEdit>("edDPath"));
  Press(Qt::Key_Return);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Information);
}

TEST_F(MainWindowTest, SaveReportsFailureWhenAGameFileIsReadOnly) {
  Open();
  std::filesystem::permissions(game.path() / "LOGIN.CFG", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  const std::string login = Get("LOGIN.CFG");
  ChildNo<TKVXEdit>("edServ", 1)->setText("changed.example.net");
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Error);
  EXPECT_EQ(messages[0].caption, "Error");
  // The fixed text, and under it which file and why.
  EXPECT_EQ(messages[0].text.toStdString(),
            "Configuring Ultima Online FAILED!  Please make sure you are not currently running "
            "Ultima Online.\n" +
                game.dir() + "LOGIN.CFG: Permission denied");
  EXPECT_EQ(Get("LOGIN.CFG"), login);
}

TEST_F(MainWindowTest, FirstStartWithoutLoginCfgSavesWhatLoadedAndSaysWhatItLeft) {
  std::filesystem::remove(game.path() / "LOGIN.CFG");
  Open();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.startsWith(
      QString::fromStdString("Cannot open file " + game.dir() + "QRVDAT/LOGIN.001")));
  EXPECT_EQ(ChildNo<TKVXEdit>("edServ", 1)->Text(), "");
  const std::string macros = Get("MACROS.TXT");

  messages.clear();
  Child<TKVXCheckBox>("chkFoot")->setChecked(false);
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Warning);
  EXPECT_TRUE(messages[0].text.endsWith(QString::fromStdString(game.dir() + "QRVDAT/LOGIN.001")));
  // The macros that loaded are saved as they were, the options with the change; no login file
  // is made up from empty fields.
  EXPECT_EQ(Get("MACROS.TXT"), macros);
  EXPECT_NE(Get("UO.CFG").find("Footsteps=off"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(game.path() / "LOGIN.CFG"));
  EXPECT_FALSE(std::filesystem::exists(game.path() / "QRVDAT/LOGIN.001"));
}

TEST_F(MainWindowTest, ABadPrinterFontValueKeepsTheSettingsReadBeforeIt) {
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  store.WriteFlag("\\SOFTWARE\\Quorvel\\", "UOXSupport", true);
  store.WriteText("\\SOFTWARE\\Quorvel\\PrinterFont", "Name", "Courier New");
  store.WriteText("\\SOFTWARE\\Quorvel\\PrinterFont", "Size", "large");
  Open();
  ASSERT_FALSE(messages.empty());
  EXPECT_TRUE(messages[0].text.startsWith("Failed to get data for 'Size'"))
      << messages[0].text.toStdString();
  EXPECT_TRUE(Child<QAction>("mnuUOX")->isEnabled());
  EXPECT_EQ(window->PrintFont().family(), "Courier New");
}

TEST_F(MainWindowTest, SaveWhileTheGameRunsAsksAndNoWritesNothing) {
  std::vector<std::string> probed;
  platform::SetGameRunningProbe([&probed](const std::string& exePath) {
    probed.push_back(exePath);
    return true;
  });
  struct ProbeReset {
    ~ProbeReset() { platform::SetGameRunningProbe({}); }
  } probeReset;
  Open();
  Child<TKVXCheckBox>("chkNot")->setChecked(false);
  const auto before = Snapshot();
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::ConfirmationDefaultNo);
  EXPECT_EQ(messages[0].text, "Ultima Online is running and will overwrite these settings when it "
                              "closes. Save anyway?");
  EXPECT_EQ(Snapshot(), before);
  // The client the registry names, in this game directory.
  ASSERT_FALSE(probed.empty());
  EXPECT_EQ(probed.back(), game.dir() + "client.exe");

  answers = {true};
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[2].text, "Ultima Online has been configured successfully off-line.");
  EXPECT_NE(Get("UO.CFG").find("NotorietyQuery=off\r\n"), std::string::npos);
}

// Two windows on one game, both opened before either saved: the second one's save would put back
// what the first one's save changed, and an editor's change is as easily lost.
TEST_F(MainWindowTest, ASaveAsksBeforeOverwritingFilesChangedSinceTheWindowReadThem) {
  Open();
  auto other = std::make_unique<TfrmMain>();
  other->show();
  ASSERT_TRUE(other->FirstShowLoaded());

  Child<TKVXCheckBox>("chkNot")->setChecked(false);
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Information);
  ASSERT_NE(Get("UO.CFG").find("NotorietyQuery=off\r\n"), std::string::npos);
  const auto saved = Snapshot();

  test::Child<TKVXButton>(other.get(), "btnSave")->click();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].kind, ui::MessageKind::ConfirmationDefaultNo);
  const QString question = messages[1].text;
  EXPECT_TRUE(question.startsWith(
      "These files were changed by another program since Quorvel read them:\n"));
  EXPECT_TRUE(question.endsWith("\nOverwrite them?"));
  for (const std::string& changed : {game.dir() + "QRVDAT/UO.001", game.dir() + "UO.CFG"})
    EXPECT_TRUE(question.contains(QString::fromStdString(changed + "\n"))) << changed;
  EXPECT_EQ(Snapshot(), saved);

  // The first window knows what it wrote itself: no question. An editor's change right after,
  // within the same second and of the same size, is seen all the same.
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[2].kind, ui::MessageKind::Information);
  std::string edited = Get("UO.CFG");
  ASSERT_EQ(edited.rfind("; my own comment", 0), 0u);
  edited[2] = 'M';
  Put("UO.CFG", edited);
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[3].text, QString::fromStdString(ChangedFilesText({game.dir() + "UO.CFG"})));
  EXPECT_EQ(Get("UO.CFG"), edited);

  // Yes overwrites, as the user chose.
  answers = {true};
  test::Child<TKVXButton>(other.get(), "btnSave")->click();
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages[5].kind, ui::MessageKind::Information);
  EXPECT_NE(Get("UO.CFG").find("NotorietyQuery=on\r\n"), std::string::npos);
  other.reset();
}

// A save killed after it had written the set's copies and before it installed LOGIN.CFG.
TEST_F(MainWindowTest, ASaveCutShortIsToldOnceTheWindowShowsAndTheNextSaveEndsIt) {
  std::filesystem::create_directory(game.path() / "QRVDAT");
  Put("QRVDAT/UO.001", Get("UO.CFG"));
  Put("QRVDAT/MACROS.001", Get("MACROS.TXT"));
  Put("QRVDAT/LOGIN.001", test::Crlf({"LoginServer=new.example.net,7775"}));
  Put("QRVDAT/" + std::string(kSaveMarkName), test::Crlf({"001"}));
  bool shownOnReadyWindow = false;
  auto record = ui::Hooks().message;
  ui::Hooks().message = [&](ui::MessageKind kind, const QString& caption, const QString& text) {
    shownOnReadyWindow = window && window->isVisible() && window->FirstShowLoaded();
    return record(kind, caption, text);
  };
  Open();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(shownOnReadyWindow);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Warning);
  EXPECT_EQ(messages[0].text.toStdString(),
            "The last Save did not finish. These files may differ from the configuration's "
            "copies:\n" +
                game.dir() + "LOGIN.CFG\nSave installs them again.");
  EXPECT_EQ(ChildNo<TKVXEdit>("edServ", 1)->Text(), "new.example.net");

  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].kind, ui::MessageKind::Information);
  EXPECT_EQ(Get("LOGIN.CFG"), Get("QRVDAT/LOGIN.001"));
  window.reset();
  Open();
  EXPECT_EQ(messages.size(), 2u) << LastMessage().toStdString();
}

TEST_F(MainWindowTest, AnUnreadableSetShowsTheErrorOnAReadyWindow) {
  std::filesystem::create_directory(game.path() / "QRVDAT");
  Put("QRVDAT/UO.001", "CacheSize=abc\r\n");
  window = std::make_unique<TfrmMain>();
  QPointer<QWidget> loading = new QWidget(window.get(), Qt::Dialog);
  loading->show();
  window->setLoadingWindow(loading);
  window->show();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::GeneralError);
  EXPECT_EQ(messages[0].caption, "Quorvel");
  EXPECT_EQ(messages[0].text.toStdString(),
            "'abc' is not a valid floating point value (CacheSize in " + game.dir() +
                "QRVDAT/UO.001)");
  // The Loading window is gone and the focus is on the first field, not on Save, where the
  // next Enter would write the defaults over the value that could not be read.
  EXPECT_TRUE(loading.isNull());
  EXPECT_NE(window->focusWidget(), Child<TKVXButton>("btnSave"));
  EXPECT_TRUE(Child("tabSys")->isAncestorOf(window->focusWidget()));
  // What was read is shown all the same.
  EXPECT_EQ(ChildNo<TKVXEdit>("edServ", 1)->Text(), "login.example.net");
}

} // namespace
} // namespace qv
