#include <gtest/gtest.h>

#include "CoreTestSupport.h"
#include "platform/Error.h"
#include "text/Encoding.h"

namespace qv {
namespace {

using test::Crlf;

const std::string kOptions = Crlf({"; keep me \x93quoted\x94", "Sound=off", "SoundVol=120",
                                   "CacheSize=7", "JournalSaveFile=C:\\UO\\Journal.Log"});
const std::string kMacros =
    Crlf({"F1 0 0 0", "Say Hail", "########", "A 1 0 0", "UseSkill Hiding", "########"});
const std::string kLogin =
    Crlf({";Loginservers", "LoginServer=one.example.com,7775", "LoginServer=two.example.com,7776"});

// A game directory after the first run: the game's files, their backups and the set "001".
class ConfigSetsTest : public test::GameDirTest {
protected:
  void SetUp() override {
    GameDirTest::SetUp();
    for (const auto& [game, backup, copy, bytes] :
         {std::tuple{"UO.CFG", "UO.OLD", "QRVDAT/UO.001", kOptions},
          std::tuple{"MACROS.TXT", "MACROS.OLD", "QRVDAT/MACROS.001", kMacros},
          std::tuple{"LOGIN.CFG", "LOGIN.OLD", "QRVDAT/LOGIN.001", kLogin}}) {
      Put(game, bytes);
      Put(backup, bytes);
      Put(copy, bytes);
    }
    Put("version.txt", Crlf({"4.0.11c"}));
  }
  void ExpectGameFilesEqualSet(const std::string& ext) {
    EXPECT_EQ(Get("UO.CFG"), Get("QRVDAT/UO." + ext));
    EXPECT_EQ(Get("MACROS.TXT"), Get("QRVDAT/MACROS." + ext));
    EXPECT_EQ(Get("LOGIN.CFG"), Get("QRVDAT/LOGIN." + ext));
  }
  std::string ErrorOf(void (*operation)(MainState&, int)) {
    try {
      operation(state, 0);
    } catch (const Error& error) {
      return error.what();
    }
    return "(nothing thrown)";
  }
};

TEST_F(ConfigSetsTest, LoadEditSaveInstallsTheSetAndLeavesTheBackups) {
  LoadCurrentSet(state);
  EXPECT_EQ(state.version, "4.0.11c");
  EXPECT_FALSE(state.sound);
  EXPECT_EQ(state.cacheSize, "007");
  EXPECT_EQ(state.journalFile, "C:\\UO\\Journal.Log");
  EXPECT_EQ(state.servers[1], "two.example.com");
  EXPECT_EQ(state.macroGrid.size(), 2u);

  state.music = false;
  state.servers[2] = "three.example.com";
  state.ports[2] = "7777";
  MacroPanel panel = FillMacroPanel(state, "F1 ", false, false, false);
  RemoveMacro(state, "F1 ", false, false, false);
  panel.rows[0].parameter = "Well met";
  AppendMacro(state, panel);
  ASSERT_TRUE(SaveCurrentSet(state));

  ExpectGameFilesEqualSet("001");
  EXPECT_EQ(Get("UO.OLD"), kOptions);
  EXPECT_EQ(Get("MACROS.OLD"), kMacros);
  EXPECT_EQ(Get("LOGIN.OLD"), kLogin);
  const std::string uo = Get("UO.CFG");
  EXPECT_EQ(uo.rfind("; keep me \x93quoted\x94\r\nCacheSize=7\r\n", 0), 0u);
  EXPECT_NE(uo.find("\r\nMusic=off\r\n"), std::string::npos);
  EXPECT_NE(Get("LOGIN.CFG").find("LoginServer=three.example.com,7777"), std::string::npos);
  EXPECT_EQ(Get("MACROS.TXT"), Crlf({"A 1 0 0", "UseSkill Hiding", "########", "F1 0 0 0",
                                     "Say Well met", "########"}));

  // Loading what was saved gives the same state, and saving again the same files.
  MainState reloaded;
  reloaded.gameDir = state.gameDir;
  FillParameterLists(reloaded);
  LoadCurrentSet(reloaded);
  EXPECT_EQ(reloaded.optionLines, state.optionLines);
  EXPECT_EQ(reloaded.servers, state.servers);
  EXPECT_EQ(reloaded.macroLines, state.macroLines);
  const std::string before = Get("UO.CFG");
  ASSERT_TRUE(SaveCurrentSet(reloaded));
  EXPECT_EQ(Get("UO.CFG"), before);
}

TEST_F(ConfigSetsTest, ReadOnlyGameFileFailsTheInstallButNotTheOthers) {
  LoadCurrentSet(state);
  state.servers[0] = "new.example.com";
  state.fullScreen = false;
  MakeReadOnly("LOGIN.CFG");
  EXPECT_FALSE(SaveCurrentSet(state));
  EXPECT_EQ(Get("LOGIN.CFG"), kLogin);
  EXPECT_EQ(Get("UO.CFG"), Get("QRVDAT/UO.001"));
  EXPECT_EQ(Get("MACROS.TXT"), Get("QRVDAT/MACROS.001"));
  EXPECT_NE(Get("QRVDAT/LOGIN.001").find("LoginServer=new.example.com,7775"), std::string::npos);
  EXPECT_NE(Get("UO.CFG").find("FullScreen=off"), std::string::npos);
}

TEST_F(ConfigSetsTest, FailedStepStopsTheSaveAndLeavesTheRestAsItWas) {
  LoadCurrentSet(state);
  state.servers[0] = "changed.example.com";
  MakeReadOnly("QRVDAT/MACROS.001");
  EXPECT_THROW(SaveCurrentSet(state), Error);
  EXPECT_NE(Get("QRVDAT/LOGIN.001").find("changed.example.com"), std::string::npos);
  EXPECT_EQ(Get("QRVDAT/MACROS.001"), kMacros);
  EXPECT_EQ(Get("UO.CFG"), kOptions);
  EXPECT_EQ(Get("LOGIN.CFG"), kLogin);

  state.cacheSize = "abc";
  EXPECT_THROW(SaveCurrentSet(state), Error);
  EXPECT_EQ(Get("LOGIN.CFG"), kLogin);
}

TEST_F(ConfigSetsTest, CopyCurrentSetCopiesTheLastSavedContents) {
  LoadCurrentSet(state);
  state.servers[0] = "saved.example.com";
  ASSERT_TRUE(SaveCurrentSet(state));
  state.servers[0] = "unsaved.example.com";
  state.macroLines.clear();
  CopyCurrentSet(state, "002");
  EXPECT_EQ(Get("QRVDAT/UO.002"), Get("QRVDAT/UO.001"));
  EXPECT_EQ(Get("QRVDAT/MACROS.002"), kMacros);
  EXPECT_NE(Get("QRVDAT/LOGIN.002").find("saved.example.com"), std::string::npos);
  EXPECT_EQ(Get("QRVDAT/LOGIN.002").find("unsaved"), std::string::npos);

  // Making it current and loading shows its files.
  state.currentSetExt = "002";
  LoadCurrentSet(state);
  EXPECT_EQ(state.servers[0], "saved.example.com");
  EXPECT_EQ(state.macroGrid.size(), 2u);
}

TEST_F(ConfigSetsTest, ExtensionsThatAreNotDigitsNameNoFiles) {
  CopyCurrentSet(state, "..\\..\\x");
  CopyCurrentSet(state, "");
  CopyCurrentSet(state, "00a");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path() / "QRVDAT"),
                          std::filesystem::directory_iterator()),
            3);
  EXPECT_FALSE(Exists("x"));
  EXPECT_EQ(ValidSetExt("..\\..\\x"), "001");
  EXPECT_EQ(ValidSetExt(""), "001");
  EXPECT_EQ(ValidSetExt("0042"), "0042");
}

TEST_F(ConfigSetsTest, CopyThatCannotBeReadEmptiesOnlyItsPartAndIsNotSavedOverGoodFiles) {
  LoadCurrentSet(state);
  // Set 003 has no UO. copy and no LOGIN. copy: its macros load, nothing of set 001 stays.
  state.currentSetExt = "003";
  Put("QRVDAT/MACROS.003", Crlf({"F9 0 0 0", "Bow", "########"}));
  EXPECT_EQ(ErrorOf(LoadCurrentSet),
            "Cannot open file " + tmp.dir() + "QRVDAT/UO.003\nNo such file or directory\n" +
                "Cannot open file " + tmp.dir() + "QRVDAT/LOGIN.003\nNo such file or directory");
  EXPECT_TRUE(state.sound); // the defaults, not set 001's "off"
  EXPECT_TRUE(state.optionLines.empty());
  EXPECT_EQ(state.servers[0], "");
  EXPECT_EQ(state.macroLines.front(), "F9 0 0 0");

  // Save writes and installs the macros only, and says what it left.
  SaveReport report;
  EXPECT_FALSE(SaveCurrentSet(state, &report));
  EXPECT_EQ(report.notSaved, (std::vector<std::string>{tmp.dir() + "QRVDAT/UO.003",
                                                       tmp.dir() + "QRVDAT/LOGIN.003"}));
  EXPECT_TRUE(report.notInstalled.empty());
  EXPECT_EQ(Get("UO.CFG"), kOptions);
  EXPECT_EQ(Get("LOGIN.CFG"), kLogin);
  EXPECT_EQ(Get("MACROS.TXT"), Crlf({"F9 0 0 0", "Bow", "########"}));
  EXPECT_FALSE(Exists("QRVDAT/UO.003"));

  // A part the user fills in is saved after all.
  state.servers[0] = "new.example.com";
  EXPECT_FALSE(SaveCurrentSet(state, &report));
  EXPECT_EQ(report.notSaved, (std::vector<std::string>{tmp.dir() + "QRVDAT/UO.003"}));
  EXPECT_NE(Get("LOGIN.CFG").find("LoginServer=new.example.com,"), std::string::npos);
  EXPECT_EQ(Get("UO.CFG"), kOptions);

  // With every copy gone (QRVDAT deleted), a save writes nothing at all.
  std::filesystem::remove_all(tmp.path() / "QRVDAT");
  std::filesystem::create_directory(tmp.path() / "QRVDAT");
  EXPECT_THROW(LoadCurrentSet(state), Error);
  EXPECT_FALSE(SaveCurrentSet(state, &report));
  EXPECT_EQ(report.notSaved.size(), 3u);
  EXPECT_EQ(Get("UO.CFG"), kOptions);
  EXPECT_EQ(Get("MACROS.TXT"), Crlf({"F9 0 0 0", "Bow", "########"}));
  EXPECT_TRUE(std::filesystem::is_empty(tmp.path() / "QRVDAT"));
}

TEST_F(ConfigSetsTest, BadOptionValueDoesNotLeaveAnotherSetsServersAndMacros) {
  LoadCurrentSet(state);
  state.currentSetExt = "004";
  Put("QRVDAT/UO.004", Crlf({"CacheSize=12x", "SoundVol=loud", "Music=off"}));
  Put("QRVDAT/LOGIN.004", Crlf({"LoginServer=four.example.com,4"}));
  Put("QRVDAT/MACROS.004", Crlf({"F4 0 0 0", "Bow", "########"}));
  // One message names every bad value, its option and its file.
  const std::string copy = tmp.dir() + "QRVDAT/UO.004";
  EXPECT_EQ(ErrorOf(LoadCurrentSet),
            "'12x' is not a valid floating point value (CacheSize in " + copy +
                ")\n'loud' is not a valid integer value (SoundVol in " + copy + ")");
  EXPECT_FALSE(state.music);
  EXPECT_TRUE(state.optionLines.empty());
  EXPECT_EQ(state.servers[0], "four.example.com");
  EXPECT_EQ(state.macroLines.front(), "F4 0 0 0");
}

// A zero byte is one more byte of its line: the lines after it are read and saved like any other.
TEST_F(ConfigSetsTest, ZeroBytesLoseNothingOnSave) {
  const std::string macros =
      Crlf({"F1 0 0 0", std::string("Say a\0b", 7), "########", "F2 0 0 0", "Bow", "########"});
  const std::string optionWithZero("Music=\0off", 10);
  const std::string options = Crlf({"Sound=off", optionWithZero, "FullScreen=off"});
  const std::string login = Crlf(
      {"LoginServer=one.example.com,1", std::string(";\0", 2), "LoginServer=two.example.com,2"});
  Put("QRVDAT/MACROS.001", macros);
  Put("QRVDAT/UO.001", options);
  Put("QRVDAT/LOGIN.001", login);
  Put("version.txt", Crlf({"4.0.11c"}) + std::string(3, '\0')); // padding is no version
  LoadCurrentSet(state);
  EXPECT_EQ(state.version, "4.0.11c");
  EXPECT_EQ(state.macroGrid.size(), 2u);
  EXPECT_FALSE(state.sound);
  EXPECT_TRUE(state.music); // the line with the zero byte is not taken for an option
  EXPECT_FALSE(state.fullScreen);
  EXPECT_EQ(state.servers[1], "two.example.com");
  ASSERT_TRUE(SaveCurrentSet(state));

  EXPECT_EQ(Get("MACROS.TXT"), macros);
  const std::string uo = Get("UO.CFG");
  EXPECT_EQ(uo.rfind(Crlf({optionWithZero, "CacheSize=0"}), 0), 0u);
  EXPECT_NE(uo.find("\r\nFullScreen=off\r\n"), std::string::npos);
  EXPECT_NE(Get("LOGIN.CFG").find("LoginServer=two.example.com,2\r\n"), std::string::npos);
}

TEST(GamePathTest, PathsFollowTheGameDirectorysForm) {
  EXPECT_EQ(GameDirFromExePath("D:\\Games\\UO\\client.exe"), "D:\\Games\\UO\\");
  EXPECT_EQ(GameDirFromExePath(""), "C:\\ONLINE\\UO\\");
  EXPECT_EQ(GameDirFromExePath("   "), "C:\\ONLINE\\UO\\");
  EXPECT_EQ(GameDirFromExePath("CLIENT.EXE"), "CLIENT.EXE\\");
  EXPECT_EQ(GameDirFromExePath("AVERYLONGCLIENTNAME.EXE"), "AVERYLONGCLIE\\");
  EXPECT_EQ(GameDirFromExePath("/home/me/uo/client.exe"), "/home/me/uo/");
  EXPECT_EQ(GameDirFromExePath("C:\\Games/UO/client.exe"), "C:\\Games/UO/");

  MainState state;
  state.gameDir = "C:\\UO\\";
  EXPECT_EQ(SetFilePath(state, "MACROS.", "002"), "C:\\UO\\QRVDAT\\MACROS.002");
  state.gameDir = "/home/me/uo/";
  EXPECT_EQ(SetFilePath(state, "UO.", "001"), "/home/me/uo/QRVDAT/UO.001");
  EXPECT_EQ(GameFilePath(state, "version.txt"), "/home/me/uo/version.txt");
}

TEST(GamePathTest, JournalNamesConvertBetweenTheFilesCodePageAndPaths) {
  MainState state;
  state.gameDir = "C:\\Spiele\\Ultima Online \xC3\xA9\\"; // UTF-8 "é"
  EXPECT_EQ(DefaultJournalFile(state), "C:\\Spiele\\Ultima Online \xE9\\Journal.Log");
  state.journalFile = "C:\\J\x80\xE9.log";
  EXPECT_EQ(JournalFilePath(state), "C:\\J\xE2\x82\xAC\xC3\xA9.log");
  EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC \xE4\xB8\xAD \xFF"), "\x80 ? ?");
  std::string all;
  for (int byte = 0; byte < 256; ++byte)
    all += static_cast<char>(byte);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

} // namespace
} // namespace qv
