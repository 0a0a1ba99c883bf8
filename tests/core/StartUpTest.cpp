#include <gtest/gtest.h>

#include <cstdlib>

#include "CoreTestSupport.h"
#include "platform/Error.h"
#include "settings/KVXFile.h"
#include "support/TestRegistry.h"

namespace qv {
namespace {

using test::Crlf;

const char* const kGameKey = "\\SOFTWARE\\Origin Worlds Online\\Ultima Online\\1.0";
const char* const kConfigsKey = "\\SOFTWARE\\Quorvel\\UOXConfigs";
const char* const kFontKey = "\\SOFTWARE\\Quorvel\\PrinterFont";

// A registry of its own and a game directory.
class StartUpTest : public ::testing::Test {
protected:
  TKVXFile Store() { return TKVXFile("HKEY_LOCAL_MACHINE", skRegistry); }
  void InstallGame() { Store().WriteText(kGameKey, "ExePath", game.dir() + "client.exe"); }
  void PutGameFiles(const std::string& tag) {
    test::WriteBytes(game.path() / "UO.CFG", Crlf({"Sound=on", "; " + tag}));
    test::WriteBytes(game.path() / "MACROS.TXT", Crlf({"F1 0 0 0", "Say " + tag, "########"}));
    test::WriteBytes(game.path() / "LOGIN.CFG", Crlf({"LoginServer=" + tag + ",7775"}));
  }
  std::string Game(const std::string& relative) { return test::ReadBytes(game.path() / relative); }

  test::TestRegistry registry;
  test::TempDir game;
  MainState state;
};

TEST_F(StartUpTest, EmptyRegistryGivesTheDefaults) {
  StartUp(state);
  EXPECT_EQ(state.gameDir, "C:\\ONLINE\\UO\\");
  EXPECT_EQ(state.currentSetExt, "001");
  EXPECT_FALSE(state.uoxSupport);
  EXPECT_EQ(state.printerFont, PrinterFont{});
  EXPECT_EQ(state.spellNames.size(), 64u);
  ASSERT_FALSE(state.programDir.empty());
#ifdef _WIN32
  EXPECT_EQ(state.programDir.back(), '\\');
#else
  EXPECT_EQ(state.programDir.back(), '/');
#endif
}

TEST_F(StartUpTest, ReadsTheGameTheCurrentSetAndTheProgramsOptions) {
  InstallGame();
  auto store = Store();
  store.WriteText(kConfigsKey, "Current", "Shard");
  store.WriteText(std::string(kConfigsKey) + "\\Shard", "Ext", "003");
  store.WriteFlag("\\SOFTWARE\\Quorvel\\", "UOXSupport", true);
  store.WriteText(kFontKey, "Name", "Courier New");
  store.WriteNumber(kFontKey, "Size", 12);
  store.WriteFlag(kFontKey, "Bold", true);
  store.WriteFlag(kFontKey, "Italic", false);
  store.WriteFlag(kFontKey, "Underline", true);

  StartUp(state);
  EXPECT_EQ(state.gameDir, game.dir());
  EXPECT_EQ(state.currentSetExt, "003");
  EXPECT_TRUE(state.uoxSupport);
  EXPECT_EQ(state.printerFont, (PrinterFont{"Courier New", 12, true, false, true}));
  EXPECT_TRUE(std::filesystem::is_directory(game.path() / "QRVDAT"));
}

TEST_F(StartUpTest, UnusableRegistryTextsCountAsMissing) {
  auto store = Store();
  store.WriteText(kGameKey, "ExePath", "");
  store.WriteText(kConfigsKey, "Current", "Sneaky");
  store.WriteText(std::string(kConfigsKey) + "\\Sneaky", "Ext", "..\\..\\x");
  StartUp(state);
  EXPECT_EQ(state.gameDir, "C:\\ONLINE\\UO\\");
  EXPECT_EQ(state.currentSetExt, "001");

  store.WriteText(std::string(kConfigsKey) + "\\Sneaky", "Ext", "");
  StartUp(state);
  EXPECT_EQ(state.currentSetExt, "001");

  store.WriteText(kConfigsKey, "Current", "No Such Set");
  StartUp(state);
  EXPECT_EQ(state.currentSetExt, "001");

  store.WriteText(kGameKey, "ExePath", "D:\\Games\\UO\\client.exe");
  StartUp(state);
  EXPECT_EQ(state.gameDir, "D:\\Games\\UO\\");
}

TEST_F(StartUpTest, WrongValueTypeStillDerivesTheGameDirectory) {
  InstallGame();
  Store().WriteText(kFontKey, "Size", "large");
  EXPECT_THROW(StartUp(state), Error);
  EXPECT_EQ(state.gameDir, game.dir());
  EXPECT_FALSE(std::filesystem::exists(game.path() / "QRVDAT"));
}

TEST_F(StartUpTest, FirstRunMakesSixCopiesAndLaterRunsNone) {
  InstallGame();
  PutGameFiles("first");
  StartUp(state);
  MakeFirstRunCopies(state);
  for (const char* copy : {"UO.OLD", "MACROS.OLD", "LOGIN.OLD"})
    EXPECT_TRUE(std::filesystem::exists(game.path() / copy)) << copy;
  EXPECT_EQ(Game("QRVDAT/UO.001"), Game("UO.CFG"));
  EXPECT_EQ(Game("QRVDAT/MACROS.001"), Game("MACROS.TXT"));
  EXPECT_EQ(Game("QRVDAT/LOGIN.001"), Game("LOGIN.CFG"));
  EXPECT_EQ(Store().ReadText(std::string(kConfigsKey) + "\\Original Configuration", "Ext", ""),
            "001");

  const std::string firstOptions = Game("UO.CFG");
  PutGameFiles("second");
  test::WriteBytes(game.path() / "QRVDAT" / "notes.txt", "mine");
  MainState again;
  StartUp(again);
  MakeFirstRunCopies(again);
  EXPECT_EQ(Game("UO.OLD"), firstOptions);
  EXPECT_EQ(Game("QRVDAT/UO.001"), firstOptions);
  EXPECT_NE(Game("QRVDAT/MACROS.001").find("first"), std::string::npos);
  EXPECT_NE(Game("LOGIN.OLD").find("first"), std::string::npos);
  EXPECT_EQ(Game("QRVDAT/notes.txt"), "mine");

  LoadCurrentSet(again);
  EXPECT_EQ(again.optionLines, std::vector<std::string>{"; first"});
}

// A save killed while it installed MACROS.TXT, the only part it changed: its mark and the
// temporary file of that install are left, the set's copy is new and the game's file old.
TEST_F(StartUpTest, ASaveCutShortIsReportedAtEveryStartUntilASaveInstallsTheSet) {
  InstallGame();
  PutGameFiles("old");
  StartUp(state);
  MakeFirstRunCopies(state);
  LoadCurrentSet(state);
  EXPECT_EQ(UnfinishedSaveText(state), "");

  test::WriteBytes(game.path() / "QRVDAT" / "MACROS.001", Crlf({"F2 0 0 0", "Bow", "########"}));
  test::WriteBytes(game.path() / "QRVDAT" / std::string(kSaveMarkName), Crlf({"001"}));
  const auto temp = game.path() / ".MACROS.TXT.0badcafe.tmp";
  test::WriteBytes(temp, "F2 0 0");
  const std::string report = "The last Save did not finish. These files may differ from the "
                             "configuration's copies:\n" +
                             game.dir() + "MACROS.TXT\nSave installs them again.";
  for (int start = 0; start < 2; ++start) {
    MainState next;
    StartUp(next);
    EXPECT_TRUE(next.lastSaveUnfinished);
    EXPECT_EQ(next.unfinishedSaveFiles, std::vector<std::string>{game.dir() + "MACROS.TXT"});
    EXPECT_EQ(UnfinishedSaveText(next), report) << "start " << start;
    EXPECT_FALSE(std::filesystem::exists(temp));
  }

  MainState saving;
  StartUp(saving);
  LoadCurrentSet(saving);
  ASSERT_TRUE(SaveCurrentSet(saving));
  EXPECT_FALSE(saving.lastSaveUnfinished);
  EXPECT_EQ(Game("MACROS.TXT"), Game("QRVDAT/MACROS.001"));
  EXPECT_FALSE(std::filesystem::exists(game.path() / "QRVDAT" / std::string(kSaveMarkName)));
  MainState after;
  StartUp(after);
  EXPECT_FALSE(after.lastSaveUnfinished);
  EXPECT_EQ(UnfinishedSaveText(after), "");

  // The game writes its own UO.CFG, and copying a set to a new one writes no game file: neither
  // that difference nor a cut copy of another set is taken for a cut save.
  test::WriteBytes(game.path() / "UO.CFG", Crlf({"Sound=off"}));
  test::WriteBytes(game.path() / "QRVDAT" / ".UO.002.12345678.tmp", "Sound");
  StartUp(after);
  EXPECT_EQ(UnfinishedSaveText(after), "");
}

} // namespace
} // namespace qv
