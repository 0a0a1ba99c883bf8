#pragma once

// A main window over a game directory of its own, with a registry of its own, and message boxes
// answered by the test. Its controls are found by object name (Child, ChildNo), as the user finds
// them by what they show.

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "controls/JournalView.h"
#include "controls/KVXAdCtl.h"
#include "controls/KVXStCtl.h"
#include "controls/KvxWin95.h"
#include "settings/KVXFile.h"
#include "support/TempDir.h"
#include "support/WidgetChild.h"
#include "ui/Dialogs.h"
#include "ui/Ignore.h"
#include "ui/JournalPage.h"
#include "ui/MacroPage.h"
#include "ui/Main.h"

namespace qv::test {

struct ShownMessage {
  ui::MessageKind kind;
  QString caption;
  QString text;
};

class MainWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("QUORVEL_REGISTRY", registry.path().c_str(), 1);
    TKVXFile("HKEY_LOCAL_MACHINE", skRegistry)
        .WriteText("\\SOFTWARE\\Origin Worlds Online\\Ultima Online\\1.0", "ExePath",
                   game.dir() + "client.exe");
    PutGameFiles();
    ui::Hooks().message = [this](ui::MessageKind kind, const QString& caption,
                                 const QString& text) {
      messages.push_back({kind, caption, text});
      if (answers.empty())
        return false;
      const bool answer = answers.front();
      answers.pop_front();
      return answer;
    };
    ui::Hooks().execModal = [this](QDialog& dialog) {
      if (auto* find = qobject_cast<ui::TfrmIgnore*>(&dialog)) {
        if (findTexts.empty()) {
          find->btnCancelClick();
        } else {
          test::Child<TKVXEdit>(find, "edIgnore")->setText(findTexts.front());
          findTexts.pop_front();
          find->btnOKClick();
        }
        return find->result();
      }
      return static_cast<int>(QDialog::Rejected);
    };
  }

  void TearDown() override {
    window.reset();
    ui::ResetDialogHooks();
    unsetenv("QUORVEL_REGISTRY");
  }

  // The game's files; a test may overwrite any of them before Open().
  virtual void PutGameFiles() {
    Put("UO.CFG",
        Crlf({"; my own comment", "CacheSize=16", "CdRomDataPath=D:\\UO",
              "JournalSaveFile=" + game.dir() + "Journal.Log", "Sound=on", "Music=off",
              "ShowIntroAnim=off", "ChestOpening=on", "FullScreen=off", "NotorietyQuery=on",
              "UseCircleTrans=yes", "PageFlip=gdi", "Footsteps=on", "Use565=off",
              "ObscenityFilter=off", "SoundVol=200", "MusicVol=100", "UnknownKey=7"}));
    Put("MACROS.TXT", Crlf({"F1 0 0 0", "Say Hail", "########", "Q 0 1 0", "Bow ", "########"}));
    Put("LOGIN.CFG", Crlf({"; Login servers", "LoginServer=login.example.net,7775",
                           "LoginServer=127.0.0.1,2593"}));
    Put("version.txt", Crlf({"1.25.30", "1.26.4"}));
    Put("Journal.Log", Crlf({"first line of the journal", "second line", "third line"}));
  }

  // Creates the window, shows it (the first show reads the current set) and makes it active.
  void Open() {
    window = std::make_unique<TfrmMain>();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_TRUE(window->FirstShowLoaded());
  }

  void Put(const std::string& relative, const std::string& bytes) {
    WriteBytes(game.path() / relative, bytes);
  }
  std::string Get(const std::string& relative) { return ReadBytes(game.path() / relative); }

  // Every file below the game directory with its bytes.
  std::vector<std::pair<std::string, std::string>> Snapshot() {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(game.path())) {
      if (entry.is_regular_file())
        files.emplace_back(entry.path().string(), ReadBytes(entry.path()));
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  void Focus(QWidget* widget) {
    widget->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
  }
  // A key as the user presses it: to the focused control.
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    if (!target)
      target = window.get();
    QTest::keyClick(target, key, modifiers);
    QApplication::processEvents();
  }

  // A key as the window system hands it over: to an open pop-up (its focused widget), else to the
  // main window's focused control. Keys sent one after another this way are built where the
  // previous one was, as happens in the event loop.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::activePopupWidget();
    if (target && target->focusWidget())
      target = target->focusWidget();
    if (!target)
      target = window->focusWidget() ? window->focusWidget() : window.get();
    QTest::keyClick(target, key, modifiers);
    QApplication::processEvents();
  }

  // The window's control of that name and type (a QWidget unless told).
  template <class T = QWidget> T* Child(const char* name) const {
    return test::Child<T>(window.get(), QString::fromLatin1(name));
  }
  // A control of a numbered row: ChildNo<TKVXEdit>("edServ", 1) is edServ1.
  template <class T = QWidget> T* ChildNo(const char* prefix, int number) const {
    return test::ChildNo<T>(window.get(), prefix, number);
  }
  TKVXPageControl* Pages() const { return Child<TKVXPageControl>("pageData"); }
  MacroPage* Macros() const { return Child<MacroPage>("tabMacro"); }

  QString LastMessage() const { return messages.empty() ? QString() : messages.back().text; }

  TempDir registry;
  TempDir game;
  std::unique_ptr<TfrmMain> window;
  std::vector<ShownMessage> messages;
  std::deque<bool> answers;      // answers to the next message boxes; false when none is left
  std::deque<QString> findTexts; // entries of the next find dialogs; cancelled when none is left
};

} // namespace qv::test
