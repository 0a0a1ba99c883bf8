// The configuration sets dialog: the list of sets in the registry, Add, Delete, Set to Current.

#include <QListWidget>
#include <QTest>
#include <cstdlib>
#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "controls/KVXStCtl.h"
#include "core/MainState.h"
#include "platform/FileFaults.h"
#include "platform/Registry.h"
#include "settings/KVXFile.h"
#include "support/TempDir.h"
#include "support/WidgetChild.h"
#include "ui/Dialogs.h"
#include "ui/Ignore.h"
#include "ui/UOX.h"

namespace qv::ui {
namespace {

const std::string kSetsKey = "\\SOFTWARE\\Quorvel\\UOXConfigs";

class ConfigurationSets : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("QUORVEL_REGISTRY", registry.path().c_str(), 1);
    std::filesystem::create_directory(game.path() / "QRVDAT");
    for (const char* kind : {"UO.", "MACROS.", "LOGIN."})
      test::WriteBytes(game.path() / "QRVDAT" / (std::string(kind) + "001"),
                       std::string(kind) + "original\r\n");
    state.gameDir = game.dir();
    state.currentSetExt = "001";
    Hooks().message = [this](MessageKind kind, const QString&, const QString& text) {
      messages.push_back({kind, text});
      return true;
    };
    // The input dialog answers with the next queued name, or is cancelled.
    Hooks().execModal = [this](QDialog& modal) {
      auto* input = qobject_cast<TfrmIgnore*>(&modal);
      EXPECT_NE(input, nullptr);
      if (!input)
        return static_cast<int>(QDialog::Rejected);
      input->show();
      inputTitles.push_back(input->windowTitle());
      if (names.empty()) {
        test::Child<TKVXButton>(input, "btnCancel")->click();
      } else {
        test::Child<TKVXEdit>(input, "edIgnore")->setText(names.front());
        names.pop_front();
        test::Child<TKVXButton>(input, "btnOK")->click();
      }
      return input->result();
    };
  }
  void TearDown() override {
    dialog.reset();
    ResetDialogHooks();
    unsetenv("QUORVEL_REGISTRY");
  }

  TfrmUOX& Open() {
    dialog = std::make_unique<TfrmUOX>(state);
    dialog->show();
    return *dialog;
  }
  void AddSet(const QString& name) {
    names.push_back(name);
    test::Child<TKVXButton>(dialog.get(), "btnAdd")->click();
  }
  void Select(const QString& name) {
    auto* list = test::Child<TKVXListBox>(dialog.get(), "lboxUOX");
    const qsizetype row = dialog->SetNames().indexOf(name);
    ASSERT_GE(row, 0) << name.toStdString();
    list->setCurrentRow(int(row));
  }

  // Registry helpers, through the settings store.
  void WriteSet(const std::string& name, const std::string& ext) {
    TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).WriteText(kSetsKey + "\\" + name, "Ext", ext);
  }
  std::string ReadExt(const std::string& name) {
    return TKVXFile("HKEY_LOCAL_MACHINE", skRegistry)
        .ReadText(kSetsKey + "\\" + name, "Ext", "<none>");
  }
  int NextExt() {
    return TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).ReadNumber(kSetsKey, "NextExt", -1);
  }
  std::string Current() {
    return TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).ReadText(kSetsKey, "Current", "<none>");
  }
  std::vector<std::string> RegistrySets() {
    auto key = platform::OpenRegistry()->OpenKey(platform::RootKey::LocalMachine, kSetsKey,
                                                 platform::Registry::Access::Read);
    return key ? key->SubKeyNames() : std::vector<std::string>{};
  }
  std::string SetFile(const std::string& name) {
    const auto path = game.path() / "QRVDAT" / name;
    return std::filesystem::exists(path) ? test::ReadBytes(path) : "<missing>";
  }

  struct Message {
    MessageKind kind;
    QString text;
  };

  test::TempDir registry;
  test::TempDir game;
  MainState state;
  std::unique_ptr<TfrmUOX> dialog;
  std::vector<Message> messages;
  std::deque<QString> names;
  std::vector<QString> inputTitles;
};

TEST_F(ConfigurationSets, OpeningWithoutTheKeyCreatesItAndShowsTheOriginalSetAsCurrent) {
  ASSERT_FALSE(platform::OpenRegistry()->OpenKey(platform::RootKey::LocalMachine, kSetsKey,
                                                 platform::Registry::Access::Read));
  TfrmUOX& uox = Open();
  EXPECT_EQ(uox.windowTitle(), "UOX Multiple Configuration");
  EXPECT_EQ(test::Child<TKVXListBox>(&uox, "lboxUOX")->count(), 0);
  EXPECT_EQ(test::Child<TKVXEdit>(&uox, "edCName")->Text(), "Original Configuration");
  EXPECT_FALSE(test::Child<TKVXEdit>(&uox, "edCName")->Enabled());
  EXPECT_TRUE(platform::OpenRegistry()->OpenKey(platform::RootKey::LocalMachine, kSetsKey,
                                                platform::Registry::Access::Read));
  EXPECT_TRUE(messages.empty());
}

TEST_F(ConfigurationSets, ListsTheSetsAndSelectsTheFirst) {
  WriteSet("Original Configuration", "001");
  WriteSet("PvP", "002");
  TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).WriteText(kSetsKey, "Current", "PvP");
  TfrmUOX& uox = Open();
  EXPECT_EQ(uox.SetNames(), (QStringList{"Original Configuration", "PvP"}));
  EXPECT_EQ(uox.SelectedRow(), 0);
  EXPECT_EQ(test::Child<TKVXEdit>(&uox, "edCName")->Text(), "PvP");
}

TEST_F(ConfigurationSets, ShowsTheHelpTextAndTheButtonsInTheirOrder) {
  TfrmUOX& uox = Open();
  EXPECT_EQ(test::Child<TKVXMemo>(&uox, "memoHelp")->Lines(),
            (QStringList{"", "This function allows you to have multiple configurations ",
                         "for UO and UOX.  Each configuration consists of a ",
                         "MACRO.TXT, UO.CFG, and the LOGIN.CFG file.  ", "",
                         "Select the \"Set to Current\" button to use and edit the ",
                         "particular UO configuration selected."}));
  EXPECT_EQ(test::Child<QLabel>(&uox, "lblCName")->text(), "Current Configuration Name");
  const std::vector<TKVXButton*> buttons{
      test::Child<TKVXButton>(&uox, "btnAdd"), test::Child<TKVXButton>(&uox, "btnDelete"),
      test::Child<TKVXButton>(&uox, "btnConfig"), test::Child<TKVXButton>(&uox, "btnExit")};
  const QStringList captions{"&Add", "&Delete", "&Set to Current", "E&xit"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(buttons[i]->TabOrder(), i);
    EXPECT_EQ(buttons[i]->text(), captions[i]);
    if (i > 0) {
      EXPECT_LT(buttons[i - 1]->x(), buttons[i]->x());
    }
  }
}

TEST_F(ConfigurationSets, AddHandsOutExtensionsFromNextExtAndCopiesTheCurrentSet) {
  Open();
  AddSet("PvP");
  EXPECT_EQ(inputTitles, std::vector<QString>{"Multiple Configuration Add"});
  EXPECT_EQ(ReadExt("PvP"), "002");
  EXPECT_EQ(NextExt(), 3);
  EXPECT_EQ(SetFile("UO.002"), "UO.original\r\n");
  EXPECT_EQ(SetFile("MACROS.002"), "MACROS.original\r\n");
  EXPECT_EQ(SetFile("LOGIN.002"), "LOGIN.original\r\n");

  AddSet("Test shard");
  EXPECT_EQ(ReadExt("Test shard"), "003");
  EXPECT_EQ(NextExt(), 4);
  EXPECT_EQ(dialog->SetNames(), (QStringList{"PvP", "Test shard"}));

  // Numbers are never handed out twice, also after a delete.
  Select("Test shard");
  test::Child<TKVXButton>(dialog.get(), "btnDelete")->click();
  AddSet("Siege");
  EXPECT_EQ(ReadExt("Siege"), "004");
  EXPECT_EQ(NextExt(), 5);
  EXPECT_EQ(SetFile("UO.004"), "UO.original\r\n");
  // The current set stays current.
  EXPECT_EQ(state.currentSetExt, "001");
  EXPECT_EQ(test::Child<TKVXEdit>(dialog.get(), "edCName")->Text(), "Original Configuration");
  EXPECT_TRUE(messages.empty());
}

TEST_F(ConfigurationSets, AddCopiesTheCurrentSetsFilesNotTheOriginals) {
  for (const char* kind : {"UO.", "MACROS.", "LOGIN."})
    test::WriteBytes(game.path() / "QRVDAT" / (std::string(kind) + "007"), "seven\r\n");
  state.currentSetExt = "007";
  Open();
  AddSet("Copy of seven");
  EXPECT_EQ(SetFile("MACROS.002"), "seven\r\n");
}

TEST_F(ConfigurationSets, ExtensionsGrowPastThreeDigits) {
  TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).WriteNumber(kSetsKey, "NextExt", 1000);
  Open();
  AddSet("Many");
  EXPECT_EQ(ReadExt("Many"), "1000");
  EXPECT_EQ(SetFile("LOGIN.1000"), "LOGIN.original\r\n");
}

TEST_F(ConfigurationSets, AddKeepsTheNameAsTyped) {
  Open();
  AddSet("  Blank ends ");
  EXPECT_EQ(dialog->SetNames(), QStringList{"  Blank ends "});
  EXPECT_EQ(ReadExt("  Blank ends "), "002");
}

TEST_F(ConfigurationSets, ACancelledAddChangesNothing) {
  Open();
  test::Child<TKVXButton>(dialog.get(), "btnAdd")->click();
  EXPECT_EQ(test::Child<TKVXListBox>(dialog.get(), "lboxUOX")->count(), 0);
  EXPECT_EQ(NextExt(), -1);
  EXPECT_TRUE(messages.empty());
}

TEST_F(ConfigurationSets, DuplicatesAreRefusedWithoutRegardToBlanksAtTheEndsOrLetterCase) {
  WriteSet("PvP", "002");
  TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).WriteNumber(kSetsKey, "NextExt", 3);
  Open();
  for (const QString& name : {QStringLiteral(" PvP  "), QStringLiteral("pvp"),
                              QStringLiteral("PVP "), QStringLiteral("PvP")}) {
    messages.clear();
    AddSet(name);
    ASSERT_EQ(messages.size(), 1u) << name.toStdString();
    EXPECT_EQ(messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(messages[0].text, "Dupicate configuration names.");
  }
  // The existing set keeps its files' extension; nothing was handed out.
  EXPECT_EQ(ReadExt("PvP"), "002");
  EXPECT_EQ(NextExt(), 3);
  EXPECT_EQ(dialog->SetNames(), QStringList{"PvP"});
  EXPECT_EQ(SetFile("UO.003"), "<missing>");
}

TEST_F(ConfigurationSets, AddRegistersTheSetOnlyOnceItsFilesAreCompleteAndFoldsNamesAsTheRegistry) {
  Open();
  // At the moment the last copy lands, the set is not registered yet: a stop at any point
  // leaves either no set or a complete one.
  std::vector<std::string> setsWhileCopying;
  {
    platform::ScopedFileFaultHook watch([&](platform::FileStep step, const std::string& path) {
      if (step == platform::FileStep::Rename && path.ends_with("LOGIN.002"))
        setsWhileCopying = RegistrySets();
      return 0;
    });
    AddSet("ix");
  }
  EXPECT_TRUE(setsWhileCopying.empty());
  EXPECT_EQ(ReadExt("ix"), "002");
  EXPECT_EQ(SetFile("LOGIN.002"), "LOGIN.original\r\n");

  // Wine folds far beyond ASCII: "IX" and the Greek "\u038Fx" against "\u03CEx" are each the
  // same key, and must not take over another set's files.
  AddSet(QString::fromUtf8("\xCF\x8Ex"));
  messages.clear();
  AddSet(QString::fromUtf8("\xCE\x8Fx"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Dupicate configuration names.");
  messages.clear();
  AddSet(QStringLiteral("IX"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Dupicate configuration names.");
  EXPECT_EQ(ReadExt("ix"), "002");
  EXPECT_EQ(dialog->SetNames(), (QStringList{"ix", QString::fromUtf8("\xCF\x8Ex")}));
}

TEST_F(ConfigurationSets, NamesWithABackslashOrOverFiftyCharactersAreRefused) {
  Open();
  AddSet("UOX\\PvP");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, MessageKind::Warning);
  EXPECT_TRUE(messages[0].text.contains("backslash"));
  EXPECT_TRUE(RegistrySets().empty()) << "no nested keys";

  messages.clear();
  AddSet(QString(51, u'x'));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, MessageKind::Warning);
  EXPECT_TRUE(messages[0].text.contains("50"));
  EXPECT_EQ(test::Child<TKVXListBox>(dialog.get(), "lboxUOX")->count(), 0);
  EXPECT_EQ(NextExt(), -1);

  messages.clear();
  AddSet(QString(50, u'x'));
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(ReadExt(std::string(50, 'x')), "002");
}

TEST_F(ConfigurationSets, AFailedAddLeavesTheListAsItWas) {
  WriteSet("PvP", "002");
  Open();
  // From here on the registry cannot be written.
  test::WriteBytes(registry.file("file"), "not a directory");
  setenv("QUORVEL_REGISTRY", registry.file("file/home").c_str(), 1);
  AddSet("Siege");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, MessageKind::GeneralError);
  EXPECT_EQ(dialog->SetNames(), QStringList{"PvP"});
  EXPECT_EQ(SetFile("UO.002"), "<missing>");
}

TEST_F(ConfigurationSets, DeleteNeedsTwoSetsAndRemovesTheSelectedOnesKeyButNotItsFiles) {
  WriteSet("Original Configuration", "001");
  Open();
  test::Child<TKVXButton>(dialog.get(), "btnDelete")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, MessageKind::Warning);
  EXPECT_EQ(messages[0].text, "You need at least one configuration.");
  EXPECT_EQ(RegistrySets(), std::vector<std::string>{"Original Configuration"});

  messages.clear();
  AddSet("PvP");
  Select("PvP");
  test::Child<TKVXButton>(dialog.get(), "btnDelete")->click();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(dialog->SetNames(), QStringList{"Original Configuration"});
  EXPECT_EQ(RegistrySets(), std::vector<std::string>{"Original Configuration"});
  EXPECT_EQ(SetFile("UO.002"), "UO.original\r\n");
  EXPECT_EQ(dialog->SelectedRow(), -1);
}

TEST_F(ConfigurationSets, DeletingTheCurrentSetLeavesCurrentAndTheExtensionAlone) {
  WriteSet("Original Configuration", "001");
  WriteSet("PvP", "002");
  Open();
  Select("PvP");
  test::Child<TKVXButton>(dialog.get(), "btnConfig")->click();
  ASSERT_EQ(state.currentSetExt, "002");
  test::Child<TKVXButton>(dialog.get(), "btnDelete")->click();
  EXPECT_EQ(Current(), "PvP");
  EXPECT_EQ(state.currentSetExt, "002");
  EXPECT_EQ(test::Child<TKVXEdit>(dialog.get(), "edCName")->Text(), "PvP");
}

TEST_F(ConfigurationSets, DeleteAndSetToCurrentWithoutASelectionDoNothing) {
  WriteSet("Original Configuration", "001");
  WriteSet("PvP", "002");
  WriteSet("Siege", "003");
  Open();
  Select("PvP");
  test::Child<TKVXButton>(dialog.get(), "btnDelete")->click();
  ASSERT_EQ(dialog->SelectedRow(), -1);
  test::Child<TKVXButton>(dialog.get(), "btnDelete")->click();
  test::Child<TKVXButton>(dialog.get(), "btnConfig")->click();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(RegistrySets(), (std::vector<std::string>{"Original Configuration", "Siege"}));
  EXPECT_EQ(Current(), "<none>");
  EXPECT_EQ(state.currentSetExt, "001");
}

TEST_F(ConfigurationSets, SetToCurrentChangesCurrentAndTheExtensionOnly) {
  WriteSet("Original Configuration", "001");
  WriteSet("PvP", "002");
  Open();
  Select("PvP");
  test::Child<TKVXButton>(dialog.get(), "btnConfig")->click();
  EXPECT_EQ(Current(), "PvP");
  EXPECT_EQ(test::Child<TKVXEdit>(dialog.get(), "edCName")->Text(), "PvP");
  EXPECT_EQ(state.currentSetExt, "002");
  EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open";
  EXPECT_EQ(SetFile("UO.002"), "<missing>") << "nothing is copied";
}

TEST_F(ConfigurationSets, ADamagedSetIsMarkedAndCanOnlyBeDeleted) {
  // Neither a key without "Ext" nor one whose "Ext" is not a number has files of its own:
  // reading either as "001" made it share the original set's files.
  WriteSet("Original Configuration", "001");
  TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).WriteText(kSetsKey + "\\No ext", "Other", "x");
  WriteSet("Odd", "..\\..\\UO");
  state.currentSetExt = "005";
  Open();
  auto* list = test::Child<TKVXListBox>(dialog.get(), "lboxUOX");
  EXPECT_EQ(dialog->SetNames(), (QStringList{"No ext", "Odd", "Original Configuration"}));
  EXPECT_EQ(list->item(0)->text(), "No ext  (damaged)");
  for (const char* button : {"btnConfig", "btnDuplicate", "btnRename"}) {
    Select("Odd");
    messages.clear();
    names.push_back("Copy");
    test::Child<TKVXButton>(dialog.get(), button)->click();
    ASSERT_EQ(messages.size(), 1u) << button;
    EXPECT_NE(messages[0].text.indexOf("damaged"), -1) << messages[0].text.toStdString();
    names.clear();
  }
  EXPECT_EQ(state.currentSetExt, "005");
  EXPECT_EQ(Current(), "<none>");
  EXPECT_EQ(RegistrySets(), (std::vector<std::string>{"No ext", "Odd", "Original Configuration"}));

  Select("No ext");
  test::Child<TKVXButton>(dialog.get(), "btnDelete")->click();
  EXPECT_EQ(RegistrySets(), (std::vector<std::string>{"Odd", "Original Configuration"}));
}

TEST_F(ConfigurationSets, RenameChangesOnlyTheKeyAndTheCurrentSetStaysCurrent) {
  WriteSet("Original Configuration", "001");
  WriteSet("PvP", "002");
  WriteSet("Siege", "003");
  TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).WriteNumber(kSetsKey, "NextExt", 4);
  TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).WriteText(kSetsKey, "Current", "pvp");
  state.currentSetExt = "002";
  Open();
  Select("PvP");
  // The same rules as Add: taken names (the registry's folding), a backslash, over 50
  // characters; each refusal changes nothing.
  for (const QString& name :
       {QStringLiteral(" siege "), QStringLiteral("a\\b"), QString(51, u'x')}) {
    messages.clear();
    names.push_back(name);
    test::Child<TKVXButton>(dialog.get(), "btnRename")->click();
    ASSERT_EQ(messages.size(), 1u) << name.toStdString();
    EXPECT_EQ(messages[0].kind, MessageKind::Warning);
  }
  EXPECT_EQ(RegistrySets(), (std::vector<std::string>{"Original Configuration", "PvP", "Siege"}));

  messages.clear();
  names.push_back(QString::fromUtf8("Trinsic \xE2\x82\xAC"));
  test::Child<TKVXButton>(dialog.get(), "btnRename")->click();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(inputTitles.back(), "Multiple Configuration Rename");
  EXPECT_EQ(RegistrySets(),
            (std::vector<std::string>{"Original Configuration", "Siege", "Trinsic \xE2\x82\xAC"}));
  EXPECT_EQ(ReadExt("Trinsic \xE2\x82\xAC"), "002");
  EXPECT_EQ(Current(), "Trinsic \xE2\x82\xAC");
  EXPECT_EQ(test::Child<TKVXEdit>(dialog.get(), "edCName")->Text(),
            QString::fromUtf8("Trinsic \xE2\x82\xAC"));
  EXPECT_EQ(dialog->SetNames(), (QStringList{"Original Configuration",
                                             QString::fromUtf8("Trinsic \xE2\x82\xAC"), "Siege"}));
  EXPECT_EQ(state.currentSetExt, "002");
  EXPECT_EQ(NextExt(), 4) << "no number handed out";

  // Another set: Current stays where it is.
  Select("Siege");
  names.push_back("Siege shard");
  test::Child<TKVXButton>(dialog.get(), "btnRename")->click();
  EXPECT_EQ(ReadExt("Siege shard"), "003");
  EXPECT_EQ(Current(), "Trinsic \xE2\x82\xAC");

  // Its own name in other letters is the same key: the new spelling replaces the old, and
  // Current follows it.
  Select("Trinsic \xE2\x82\xAC");
  messages.clear();
  names.push_back(QString::fromUtf8("TRINSIC \xE2\x82\xAC"));
  test::Child<TKVXButton>(dialog.get(), "btnRename")->click();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(RegistrySets(), (std::vector<std::string>{"Original Configuration", "Siege shard",
                                                      "TRINSIC \xE2\x82\xAC"}));
  EXPECT_EQ(ReadExt("TRINSIC \xE2\x82\xAC"), "002");
  EXPECT_EQ(Current(), "TRINSIC \xE2\x82\xAC");
}

TEST_F(ConfigurationSets, DuplicateCopiesTheSelectedSetAsSavedNotTheCurrentOne) {
  WriteSet("Original Configuration", "001");
  WriteSet("PvP", "002");
  for (const char* kind : {"UO.", "MACROS.", "LOGIN."})
    test::WriteBytes(game.path() / "QRVDAT" / (std::string(kind) + "002"),
                     std::string(kind) + "pvp \x80\r\n");
  // A deleted set's files are still there under the next number: they are not written over.
  TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).WriteNumber(kSetsKey, "NextExt", 3);
  test::WriteBytes(game.path() / "QRVDAT" / "UO.003", "deleted\r\n");
  Open();
  Select("PvP");
  names.push_back("pvp"); // taken
  test::Child<TKVXButton>(dialog.get(), "btnDuplicate")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Dupicate configuration names.");
  EXPECT_EQ(NextExt(), 3);

  messages.clear();
  names.push_back("PvP 2");
  test::Child<TKVXButton>(dialog.get(), "btnDuplicate")->click();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(inputTitles.back(), "Multiple Configuration Duplicate");
  EXPECT_EQ(ReadExt("PvP 2"), "004");
  EXPECT_EQ(SetFile("UO.003"), "deleted\r\n");
  for (const char* kind : {"UO.", "MACROS.", "LOGIN."})
    EXPECT_EQ(SetFile(std::string(kind) + "004"), std::string(kind) + "pvp \x80\r\n");
  EXPECT_EQ(dialog->SetNames(), (QStringList{"Original Configuration", "PvP", "PvP 2"}));
  EXPECT_EQ(state.currentSetExt, "001");
  EXPECT_EQ(Current(), "<none>");

  // A copy that cannot be made is reported, and no set names the incomplete files.
  std::filesystem::remove(game.path() / "QRVDAT" / "LOGIN.002");
  Select("PvP");
  names.push_back("Broken");
  test::Child<TKVXButton>(dialog.get(), "btnDuplicate")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, MessageKind::GeneralError);
  EXPECT_TRUE(messages[0].text.startsWith("Cannot create file ")) << messages[0].text.toStdString();
  EXPECT_EQ(ReadExt("Broken"), "<none>");
  EXPECT_EQ(dialog->SetNames().size(), 3);
}

TEST_F(ConfigurationSets, RenameAndDuplicateHaveTheirOwnMnemonicsAndNeedASelection) {
  WriteSet("PvP", "002");
  TfrmUOX& uox = Open();
  QStringList mnemonics;
  for (TKVXButton* button :
       {test::Child<TKVXButton>(&uox, "btnAdd"), test::Child<TKVXButton>(&uox, "btnRename"),
        test::Child<TKVXButton>(&uox, "btnDuplicate"), test::Child<TKVXButton>(&uox, "btnDelete"),
        test::Child<TKVXButton>(&uox, "btnConfig"), test::Child<TKVXButton>(&uox, "btnExit")}) {
    const QKeySequence key = QKeySequence::mnemonic(button->text());
    EXPECT_FALSE(key.isEmpty()) << button->text().toStdString();
    EXPECT_FALSE(mnemonics.contains(key.toString())) << button->text().toStdString();
    mnemonics.append(key.toString());
    EXPECT_TRUE(uox.rect().contains(QRect(button->mapTo(&uox, QPoint(0, 0)), button->size())));
  }
  EXPECT_FALSE(test::Child<TKVXButton>(&uox, "btnRename")->Hint().isEmpty());
  EXPECT_FALSE(test::Child<TKVXButton>(&uox, "btnDuplicate")->Hint().isEmpty());

  // Rename offers the selected name in the field.
  QString offered;
  Hooks().execModal = [&](QDialog& modal) {
    auto* input = qobject_cast<TfrmIgnore*>(&modal);
    offered = input ? test::Child<TKVXEdit>(input, "edIgnore")->Text() : QString();
    return static_cast<int>(QDialog::Rejected);
  };
  test::Child<TKVXButton>(&uox, "btnRename")->click();
  EXPECT_EQ(offered, "PvP");

  test::Child<TKVXListBox>(&uox, "lboxUOX")->clearSelection();
  test::Child<TKVXListBox>(&uox, "lboxUOX")->setCurrentItem(nullptr);
  offered = "<not asked>";
  test::Child<TKVXButton>(&uox, "btnRename")->click();
  test::Child<TKVXButton>(&uox, "btnDuplicate")->click();
  EXPECT_EQ(offered, "<not asked>");
  EXPECT_TRUE(messages.empty());
}

TEST_F(ConfigurationSets, ExitAndEscCloseTheDialog) {
  Open();
  test::Child<TKVXButton>(dialog.get(), "btnExit")->click();
  EXPECT_FALSE(dialog->isVisible());
  Open();
  QTest::keyClick(test::Child<TKVXListBox>(dialog.get(), "lboxUOX"), Qt::Key_Escape);
  EXPECT_FALSE(dialog->isVisible());
}

} // namespace
} // namespace qv::ui
