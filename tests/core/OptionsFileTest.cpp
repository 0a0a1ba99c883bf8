#include <gtest/gtest.h>

#include "CoreTestSupport.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace qv {
namespace {

using test::Crlf;

class OptionsFileTest : public test::GameDirTest {
protected:
  void Read(std::vector<std::string> lines) {
    state.optionLines = std::move(lines);
    ReadOptions(state);
  }
  std::string ThrownBy(std::vector<std::string> lines) {
    try {
      Read(std::move(lines));
    } catch (const Error& error) {
      return error.what();
    }
    return "(nothing thrown)";
  }
  std::string UoCopy() { return Get("QRVDAT/UO.001"); }
};

TEST_F(OptionsFileTest, KeysMatchInAnyCaseAndValuesAreComparedUpperCased) {
  Read({"sound=ON", "MUSIC=On", "chestopening=off", "NotorietyQuery=on", "Footsteps=1",
        "Use565=true", "UseCircleTrans=Yes", "ObscenityFilter=yes", "ShowIntroAnim=ON"});
  EXPECT_TRUE(state.sound);
  EXPECT_TRUE(state.music);
  EXPECT_FALSE(state.chestOpening);
  EXPECT_TRUE(state.notorietyQuery);
  EXPECT_FALSE(state.footsteps);
  EXPECT_FALSE(state.use565);
  EXPECT_TRUE(state.useCircleTrans);
  EXPECT_FALSE(state.obscenityFilter); // only "on" checks it
  EXPECT_TRUE(state.showIntroAnim);
  EXPECT_TRUE(state.optionLines.empty());
}

TEST_F(OptionsFileTest, ExactlyOneCharacterIsSkippedAfterTheKey) {
  Read({"Sound = on"}); // the blank is skipped, the value is "= on"
  EXPECT_FALSE(state.sound);
  Read({"MusicBox=on"}); // taken for Music with the value "ox=on", and dropped
  EXPECT_FALSE(state.music);
  EXPECT_TRUE(state.optionLines.empty());
  Read({"SoundVol=200"}); // never taken for Sound
  EXPECT_TRUE(state.sound);
  EXPECT_EQ(state.soundVol, 200);
}

TEST_F(OptionsFileTest, PageFlipCodes) {
  Read({"PageFlip=GDI"});
  EXPECT_EQ(state.pageFlip, "G");
  Read({"PageFlip=off"});
  EXPECT_EQ(state.pageFlip, "N");
  Read({"PageFlip=sometimes"});
  EXPECT_EQ(state.pageFlip, "Y");
}

TEST_F(OptionsFileTest, UnknownLinesSurviveInOrderByteForByte) {
  const std::string high = "; \x80\x81\x9F\xA0\xE9\xFF end";
  Read({"; my settings", "Sound=off", high, "  WindowMode=3  ", "CacheSize=10", "", "[section]"});
  EXPECT_EQ(state.optionLines,
            (std::vector<std::string>{"; my settings", high, "  WindowMode=3  ", "", "[section]"}));
  WriteOptions(state);
  const std::string file = UoCopy();
  EXPECT_EQ(
      file.rfind(Crlf({"; my settings", high, "  WindowMode=3  ", "", "[section]", "CacheSize=10"}),
                 0),
      0u);
}

TEST_F(OptionsFileTest, TopmostDuplicateWinsAndEveryOccurrenceGoes) {
  Read({"FullScreen=off", "x=1", "FullScreen=on"});
  EXPECT_FALSE(state.fullScreen);
  EXPECT_EQ(state.optionLines, std::vector<std::string>{"x=1"});
  WriteOptions(state);
  const std::string file = UoCopy();
  EXPECT_EQ(file.find("FullScreen="), file.rfind("FullScreen="));
  EXPECT_NE(file.find("FullScreen=off\r\n"), std::string::npos);
}

TEST_F(OptionsFileTest, CacheSizeShowsThreeDigitsAndIsWrittenWithout) {
  Read({"CacheSize=7"});
  EXPECT_EQ(state.cacheSize, "007");
  EXPECT_EQ(OptionFileLines(state).front(), "CacheSize=7");
  Read({"CacheSize=12.5"});
  EXPECT_EQ(state.cacheSize, "013");
  Read({"CacheSize=1234"});
  EXPECT_EQ(state.cacheSize, "1234");
  Read({"CacheSize="});
  EXPECT_EQ(state.cacheSize, "000");
  EXPECT_EQ(ThrownBy({"CacheSize=lots"}), "'lots' is not a valid floating point value (CacheSize)");
  EXPECT_EQ(ThrownBy({"CacheSize=1e400"}),
            "'1e400' is not a valid floating point value (CacheSize)");
}

// The field shows a rounded whole number; a save that did not change it must not change the file.
TEST_F(OptionsFileTest, AnUnchangedCacheSizeIsWrittenAsTheFileHadIt) {
  for (const auto& [value, shown] : {std::pair<std::string, std::string>{"1234", "1234"},
                                     {"999.7", "1000"},
                                     {"-5", "-005"},
                                     {" 16", "016"}}) {
    SCOPED_TRACE(value);
    Read({"; top", "CacheSize=" + value});
    EXPECT_EQ(state.cacheSize, shown);
    WriteOptions(state);
    EXPECT_EQ(UoCopy().rfind(Crlf({"; top", "CacheSize=" + value}), 0), 0u);
    EXPECT_EQ(state.cacheSize, shown);
  }
  // An edited field writes its whole number, also when it is edited back to what it showed.
  Read({"CacheSize=999.7"});
  state.cacheSize = "0999";
  EXPECT_EQ(OptionFileLines(state).front(), "CacheSize=999");
  state.cacheSize = "1000";
  EXPECT_EQ(OptionFileLines(state).front(), "CacheSize=999.7");
  Read({"CacheSize="});
  EXPECT_EQ(OptionFileLines(state).front(), "CacheSize=0");
}

// A file saved by an editor that puts a UTF-8 byte-order mark in front of the first line.
TEST_F(OptionsFileTest, AByteOrderMarkHidesNoOptionAndStaysAtTheStart) {
  const std::string bom = "\xEF\xBB\xBF";
  Read({bom + "CacheSize=32", "; mine"});
  EXPECT_EQ(state.cacheSize, "032");
  WriteOptions(state);
  const std::string file = UoCopy();
  EXPECT_EQ(file.rfind(bom + Crlf({"; mine", "CacheSize=32"}), 0), 0u);
  EXPECT_EQ(file.find("CacheSize="), file.rfind("CacheSize="));
  // Read and written again: the same bytes.
  Read(platform::SplitLines(file));
  EXPECT_EQ(state.cacheSize, "032");
  WriteOptions(state);
  EXPECT_EQ(UoCopy(), file);

  // Only option lines: the mark goes in front of the first of them.
  Read({bom + "Sound=off"});
  EXPECT_FALSE(state.sound);
  WriteOptions(state);
  EXPECT_EQ(UoCopy().rfind(bom + "CacheSize=0\r\n", 0), 0u);
  EXPECT_FALSE(state.sound);

  // Only the very start of the file counts. A line beginning with the mark's bytes that becomes
  // the first one keeps them, behind a mark.
  Read({"Music=off", bom + "Sound=off"});
  EXPECT_TRUE(state.sound);
  EXPECT_EQ(state.optionLines, std::vector<std::string>{bom + "Sound=off"});
  WriteOptions(state);
  EXPECT_EQ(UoCopy().rfind(bom + bom + "Sound=off\r\nCacheSize=0\r\n", 0), 0u);
  EXPECT_TRUE(state.sound);
  EXPECT_FALSE(state.music);
  EXPECT_EQ(state.optionLines, std::vector<std::string>{bom + "Sound=off"});
}

TEST_F(OptionsFileTest, ValuesAreCutAt99Characters) {
  const std::string path = "D:\\" + std::string(117, 'p');
  ASSERT_EQ(path.size(), 120u);
  Read({"CdRomDataPath=" + path});
  EXPECT_EQ(state.cdRomDataPath, path.substr(0, 99));
}

TEST_F(OptionsFileTest, JournalLineWithEmptyValueTurnsTheJournalOff) {
  state.journalRecord = "Y";
  state.journalFile = "C:\\UO\\old.log";
  Read({"JournalSaveFile="});
  EXPECT_EQ(state.journalRecord, "N");
  EXPECT_EQ(state.journalFile, "C:\\UO\\old.log"); // the field keeps its text
  EXPECT_FALSE(state.journalFileRead);
  for (const auto& line : OptionFileLines(state))
    EXPECT_EQ(line.find("JournalSaveFile"), std::string::npos);

  Read({"JournalSaveFile=C:\\UO\\Journal.Log"});
  EXPECT_EQ(state.journalRecord, "Y");
  EXPECT_EQ(state.journalFile, "C:\\UO\\Journal.Log");
  EXPECT_TRUE(state.journalFileRead);

  // Switched on with an empty name: written as an empty line, read back as off.
  state.journalFile.clear();
  WriteOptions(state);
  EXPECT_NE(UoCopy().find("\r\nJournalSaveFile=\r\n"), std::string::npos);
  EXPECT_EQ(state.journalRecord, "N");
}

TEST_F(OptionsFileTest, VolumesAreNotResetAndKeepTheSliderRange) {
  state.soundVol = 100;
  Read({"MusicVol=300"});
  EXPECT_EQ(state.soundVol, 100);
  EXPECT_EQ(state.musicVol, 255);
  Read({"SoundVol=0"});
  EXPECT_EQ(state.soundVol, 1);
}

TEST_F(OptionsFileTest, VersionIsTheLastLineAndMayBeMissing) {
  Put("version.txt", Crlf({"Client", "2.0.3"}));
  Read({"Sound=off"});
  EXPECT_EQ(state.version, "2.0.3");
  EXPECT_EQ(state.installDir, tmp.path().string());

  Put("version.txt", "");
  Read({"Sound=off", "CacheSize=20"});
  EXPECT_EQ(state.version, "");
  EXPECT_FALSE(state.sound);
  EXPECT_EQ(state.cacheSize, "020");

  std::filesystem::remove(tmp.path() / "version.txt");
  Read({"Music=off"});
  EXPECT_EQ(state.version, "");
  EXPECT_FALSE(state.music);
  EXPECT_TRUE(state.optionLines.empty());
}

TEST_F(OptionsFileTest, BadValueStillRemovesEveryOptionLineAndAppliesTheGoodOnes) {
  // Every bad value is named, in the file's order.
  EXPECT_EQ(ThrownBy({"Keep=1", "SoundVol=loud", "Sound=off", "MusicVol=", "MusicVol=7"}),
            "'loud' is not a valid integer value (SoundVol)\n"
            "'' is not a valid integer value (MusicVol)");
  EXPECT_EQ(state.optionLines, std::vector<std::string>{"Keep=1"});
  EXPECT_FALSE(state.sound);
  EXPECT_EQ(state.musicVol, 7);
  WriteOptions(state);
  const std::string file = UoCopy();
  EXPECT_EQ(file.find("SoundVol="), file.rfind("SoundVol="));
  EXPECT_EQ(file.find("MusicVol="), file.rfind("MusicVol="));
}

TEST_F(OptionsFileTest, WritesTheOptionLinesInTheirFixedOrder) {
  Read({"; top"});
  state.sound = true;
  state.soundVol = 200;
  state.music = false;
  state.musicVol = 255;
  state.cacheSize = "010";
  state.pageFlip = "G";
  state.fullScreen = true;
  WriteOptions(state);
  EXPECT_EQ(UoCopy(),
            Crlf({"; top", "CacheSize=10", "CdRomDataPath=", "Sound=on", "Music=off",
                  "ShowIntroAnim=on", "ChestOpening=on", "FullScreen=on", "NotorietyQuery=off",
                  "UseCircleTrans=no", "PageFlip=gdi", "Footsteps=off", "Use565=off",
                  "ObscenityFilter=on", "SoundVol=200", "MusicVol=255"}));
  EXPECT_EQ(state.optionLines, std::vector<std::string>{"; top"});
  EXPECT_EQ(state.cacheSize, "010");

  state.journalRecord = "Y";
  state.journalFile = "C:\\UO\\J\xE9.log";
  const auto lines = OptionFileLines(state);
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[2], "JournalSaveFile=C:\\UO\\J\xE9.log");
}

TEST_F(OptionsFileTest, FailedWriteLeavesFileAndLinesAsTheyWere) {
  Put("QRVDAT/UO.001", Crlf({"old"}));
  Read({"; mine", "Sound=off"});

  state.cacheSize = "1x";
  try {
    WriteOptions(state);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "'1x' is not a valid integer value");
  }
  EXPECT_EQ(state.optionLines, std::vector<std::string>{"; mine"});
  EXPECT_EQ(UoCopy(), Crlf({"old"}));

  state.cacheSize = "100";
  MakeReadOnly("QRVDAT/UO.001");
  try {
    WriteOptions(state);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot create file " + tmp.dir() + "QRVDAT/UO.001\nPermission denied");
  }
  EXPECT_EQ(state.optionLines, std::vector<std::string>{"; mine"});
  EXPECT_EQ(UoCopy(), Crlf({"old"}));
}

} // namespace
} // namespace qv
