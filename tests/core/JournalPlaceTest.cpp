#include "core/JournalPlace.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "core/MainProc.h"
#include "core/MainState.h"
#include "support/TempDir.h"
#include "support/TestRegistry.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

// Names below the game directory, in host form, and names that leave it through "..".
TEST(JournalPlaceTest, DotDotThatLeavesTheGameDirIsOutside) {
  test::TempDir game;
  fs::create_directory(game.path() / "logs");
  const std::string dir = game.dir();
  EXPECT_FALSE(LiesOutsideDirectory(dir + "Journal.Log", dir));
  EXPECT_FALSE(LiesOutsideDirectory(dir + "logs/../Journal.Log", dir));
  EXPECT_FALSE(LiesOutsideDirectory(dir + "new/deeper/Journal.Log", dir));
  EXPECT_TRUE(LiesOutsideDirectory(dir + "../Journal.Log", dir));
  EXPECT_TRUE(LiesOutsideDirectory(dir + "logs/../../Journal.Log", dir));
  EXPECT_TRUE(LiesOutsideDirectory(dir, dir)); // the directory is not a file below it
  // A sibling whose name begins with the game directory's.
  const std::string sibling = dir.substr(0, dir.size() - 1) + "X/Journal.Log";
  EXPECT_TRUE(LiesOutsideDirectory(sibling, dir));
}

#ifndef _WIN32

// A Wine prefix as the game sees it: C: through dosdevices, the game in C:\Games\UO, the user's
// Documents a link to a home outside the prefix, Z: the root.
class JournalPlacePrefixTest : public ::testing::Test {
protected:
  void SetUp() override {
    const fs::path prefix = registry.Home();
    fs::create_directories(prefix / "drive_c/Games/UO/logs");
    fs::create_directories(prefix / "drive_c/Games/UOX");
    fs::create_directories(prefix / "drive_c/users/me");
    fs::create_directories(prefix / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices/c:");
    fs::create_directory_symlink("/", prefix / "dosdevices/z:");
    fs::create_directory_symlink(home.path(), prefix / "drive_c/users/me/Documents");
    test::WriteBytes(home.path() / "thesis.txt", "three years of work\r\n");
    game = prefix / "drive_c/Games/UO";
    test::WriteBytes(game / "Journal.Log", "journal\r\n");
    state.gameDir = "C:\\Games\\UO\\";
  }

  bool Outside(const std::string& journal) {
    state.journalFile = journal;
    return JournalOutsideGameDir(state);
  }

  test::TestRegistry registry;
  test::TempDir home;
  test::TempDir elsewhere;
  fs::path game;
  MainState state;
};

TEST_F(JournalPlacePrefixTest, NamesThatStayBelowTheGameDirAreInside) {
  EXPECT_FALSE(Outside(DefaultJournalFile(state)));
  EXPECT_FALSE(Outside("c:\\GAMES\\uo\\journal.log"));
  EXPECT_FALSE(Outside("C:\\Games\\UO\\logs\\..\\Journal.Log"));
  EXPECT_FALSE(Outside("C:\\Games\\UO\\new\\Journal.Log"));
  EXPECT_FALSE(Outside("Z:" + (game / "logs/today.log").string()));
  EXPECT_FALSE(Outside((game / "Journal.Log").string()));
  fs::create_directory_symlink("logs", game / "here");
  EXPECT_FALSE(Outside("C:\\Games\\UO\\here\\Journal.Log"));
  EXPECT_FALSE(Outside(""));
}

TEST_F(JournalPlacePrefixTest, NamesThatReachOutOfTheGameDirAreOutside) {
  EXPECT_TRUE(Outside("C:\\users\\me\\Documents\\thesis.txt"));
  EXPECT_TRUE(Outside("C:\\Games\\UOX\\Journal.Log"));
  EXPECT_TRUE(Outside("C:\\Games\\UO\\..\\Journal.Log"));
  // Above C:\ as the host path goes: into the prefix's folder and on to /tmp.
  EXPECT_TRUE(Outside("C:\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\tmp\\Journal.Log"));
  EXPECT_TRUE(Outside("Z:\\tmp\\Journal.Log"));
  EXPECT_TRUE(Outside("/tmp/Journal.Log"));

  // Links inside the game directory that point out of it: a folder, a file, a file not there yet.
  fs::create_directory_symlink(elsewhere.path(), game / "out");
  fs::create_symlink("../../users/me/Documents/thesis.txt", game / "Thesis.Log");
  fs::create_symlink(elsewhere.path() / "later.txt", game / "Later.Log");
  EXPECT_TRUE(Outside("C:\\Games\\UO\\out\\Journal.Log"));
  EXPECT_TRUE(Outside("C:\\Games\\UO\\Thesis.Log"));
  EXPECT_TRUE(Outside("C:\\Games\\UO\\Later.Log"));
  // ".." after a link leaves the link's target, not the link.
  fs::create_directories(elsewhere.path() / "a/b");
  fs::create_directory_symlink(elsewhere.path() / "a/b", game / "deep");
  EXPECT_TRUE(Outside("C:\\Games\\UO\\deep\\..\\Journal.Log"));

  // The game directory reached through a link of its own is still the game directory.
  fs::create_directory_symlink(game, elsewhere.path() / "uo");
  EXPECT_FALSE(Outside((elsewhere.path() / "uo/Journal.Log").string()));
}

TEST_F(JournalPlacePrefixTest, TheWarningNamesTheFileAndWhereItReallyIs) {
  state.journalFile = "C:\\users\\me\\Documents\\thesis.txt";
  EXPECT_EQ(JournalOutsideWarning(state),
            "The journal file of this configuration lies outside the game directory: "
            "C:\\users\\me\\Documents\\thesis.txt (" +
                fs::canonical(home.path() / "thesis.txt").string() + ")");
  state.journalFile = "/tmp/Journal.Log";
  EXPECT_EQ(JournalOutsideWarning(state),
            "The journal file of this configuration lies outside the game directory: "
            "/tmp/Journal.Log");
  state.journalFile = DefaultJournalFile(state);
  EXPECT_EQ(JournalOutsideWarning(state), "");
}

#endif // !_WIN32

} // namespace
} // namespace qv
