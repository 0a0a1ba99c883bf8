#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "platform/Error.h"
#include "platform/FileFaults.h"
#include "settings/KVXFile.h"
#include "settings/KVXIniFile.h"
#include "support/TempDir.h"

namespace qv {
namespace {

using test::ReadBytes;
using test::WriteBytes;

std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

// ---- The profile-file rules on the text itself ----

TEST(IniText, NamesMatchWithoutCaseOrSurroundingBlanks) {
  IniText ini("[ Game ]\r\n  Path = C:\\UO  \r\n");
  EXPECT_EQ(ini.Value("game", "PATH"), "C:\\UO");
  EXPECT_EQ(ini.Value(" GAME ", " path "), "C:\\UO");
  EXPECT_EQ(ini.Value("Game", "Pat"), std::nullopt);
  EXPECT_EQ(ini.Value("Gam", "Path"), std::nullopt);
}

TEST(IniText, OnePairOfEnclosingQuotesIsDropped) {
  IniText ini("[S]\na=\"two words\"\nb='single'\nc=\"open\nd=\"\"\ne=\"x\" and \"y\"\nf=\"'\n");
  EXPECT_EQ(ini.Value("S", "a"), "two words");
  EXPECT_EQ(ini.Value("S", "b"), "single");
  EXPECT_EQ(ini.Value("S", "c"), "\"open");
  EXPECT_EQ(ini.Value("S", "d"), "");
  EXPECT_EQ(ini.Value("S", "e"), "x\" and \"y");
  EXPECT_EQ(ini.Value("S", "f"), "\"'");
}

TEST(IniText, CommentsBareWordsAndBrokenHeadersHoldNoEntries) {
  IniText ini("[S]\n;Path=C:\\old\n  ; Sound=1\nMusic\n[Broken\nVolume=3\nEmpty=\n=nameless\n");
  EXPECT_EQ(ini.Value("S", "Path"), std::nullopt);
  EXPECT_EQ(ini.Value("S", ";Path"), std::nullopt);
  EXPECT_EQ(ini.Value("S", "Sound"), std::nullopt);
  EXPECT_EQ(ini.Value("S", "Music"), std::nullopt);
  // A '[' line without ']' is no header: the entries after it stay in the section.
  EXPECT_EQ(ini.Value("S", "Volume"), "3");
  EXPECT_EQ(ini.Value("Broken", "Volume"), std::nullopt);
  EXPECT_EQ(ini.Value("S", "Empty"), "");
  EXPECT_EQ(ini.Value("S", ""), "nameless");
}

TEST(IniText, EntriesBeforeTheFirstHeaderBelongToNoSection) {
  IniText ini("x=1\n[]\ny=2\n[S]\nz=3");
  EXPECT_EQ(ini.Value("S", "x"), std::nullopt);
  EXPECT_EQ(ini.Value("", "y"), "2");
  EXPECT_EQ(ini.Value("S", "z"), "3"); // the last line has no line end
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"S"}));
}

TEST(IniText, TheFirstSectionAndEntryOfANameWin) {
  IniText ini("[Net]\nHost=one\nHost=two\n[Other]\nPort=1\n[NET]\nHost=three\nPort=2\n");
  EXPECT_EQ(ini.Value("net", "host"), "one");
  // Not looked for in the repeated section.
  EXPECT_EQ(ini.Value("net", "port"), std::nullopt);
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Net", "Other", "NET"}));

  ASSERT_TRUE(ini.SetValue("NET", "HOST", "four"));
  ASSERT_TRUE(ini.SetValue("net", "Port", "9"));
  EXPECT_EQ(ini.Bytes(),
            "[Net]\nHost=four\nHost=two\nPort=9\n[Other]\nPort=1\n[NET]\nHost=three\nPort=2\n");

  ini.EraseSection("nEt");
  EXPECT_EQ(ini.Bytes(), "[Other]\nPort=1\n");
}

TEST(IniText, AChangeTouchesOnlyItsOwnLine) {
  const std::string before = "; Quorvel test file\r\n"
                             "\r\n"
                             "[Window]\r\n"
                             "Left = 10\r\n"
                             "Top=20\n"
                             "  ; position kept by hand\r\n"
                             "\r\n"
                             "[Fonts]\r\n"
                             "Printer=\"Courier New\"\r";
  IniText ini(before);
  EXPECT_EQ(ini.Bytes(), before);
  ASSERT_TRUE(ini.SetValue("window", "TOP", "25"));
  std::string expected = before;
  expected.replace(expected.find("Top=20"), 6, "Top=25");
  EXPECT_EQ(ini.Bytes(), expected);

  // Writing the value that is there already leaves the line as it was formatted.
  ASSERT_TRUE(ini.SetValue("Window", "left", "10"));
  EXPECT_EQ(ini.Bytes(), expected);
  // Another value rewrites the line in the profile form, keeping the entry's spelling.
  ASSERT_TRUE(ini.SetValue("Window", "left", "11"));
  expected.replace(expected.find("Left = 10"), 9, "Left=11");
  EXPECT_EQ(ini.Bytes(), expected);
}

TEST(IniText, NewEntriesGoAfterTheSectionsLastEntry) {
  IniText ini("[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\ny=2\r\n");
  ASSERT_TRUE(ini.SetValue("A", "z", "3"));
  EXPECT_EQ(ini.Bytes(), "[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\n");
  ASSERT_TRUE(ini.SetValue("B", "w", "4"));
  EXPECT_EQ(ini.Bytes(), "[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\nw=4\r\n");
}

TEST(IniText, NewSectionsAreAppendedInTheFilesLineEnds) {
  IniText empty;
  ASSERT_TRUE(empty.SetValue(" Options ", " Sound ", "1"));
  EXPECT_EQ(empty.Bytes(), "[Options]\r\nSound=1\r\n");

  IniText unix("[A]\nx=1"); // no line end after the last line
  ASSERT_TRUE(unix.SetValue("B", "y", "2"));
  EXPECT_EQ(unix.Bytes(), "[A]\nx=1\n\n[B]\ny=2\n");

  IniText header("[A]");
  ASSERT_TRUE(header.SetValue("a", "x", "1"));
  EXPECT_EQ(header.Bytes(), "[A]\r\nx=1\r\n");
}

TEST(IniText, EraseSectionKeepsTheNeighbours) {
  const std::string text = "top=1\n\n[A]\nx=1\n\n; about B\n[B]\ny=2\n\n[C]\nz=3\n";
  IniText middle(text);
  middle.EraseSection("b");
  EXPECT_EQ(middle.Bytes(), "top=1\n\n[A]\nx=1\n\n; about B\n[C]\nz=3\n");

  IniText first(text);
  first.EraseSection("A");
  EXPECT_EQ(first.Bytes(), "top=1\n\n; about B\n[B]\ny=2\n\n[C]\nz=3\n");

  IniText last(text);
  last.EraseSection("C");
  EXPECT_EQ(last.Bytes(), "top=1\n\n[A]\nx=1\n\n; about B\n[B]\ny=2\n");

  IniText missing(text);
  missing.EraseSection("D");
  EXPECT_EQ(missing.Bytes(), text);
}

TEST(IniText, RefusesWhatWouldNotReadBack) {
  IniText ini("[S]\nx=1\n");
  EXPECT_FALSE(ini.SetValue("S", "a=b", "1"));
  EXPECT_FALSE(ini.SetValue("S", ";a", "1"));
  EXPECT_FALSE(ini.SetValue("S", "[a]", "1"));
  EXPECT_FALSE(ini.SetValue("S", "a", "two\r\nlines"));
  EXPECT_FALSE(ini.SetValue("S\n[T]", "a", "1"));
  EXPECT_EQ(ini.Bytes(), "[S]\nx=1\n");
}

TEST(IniText, ByteOrderMarkIsKeptAndSkipped) {
  IniText ini("\xEF\xBB\xBF[S]\nx=1\n");
  EXPECT_EQ(ini.Value("S", "x"), "1");
  ASSERT_TRUE(ini.SetValue("S", "x", "2"));
  EXPECT_EQ(ini.Bytes(), "\xEF\xBB\xBF[S]\nx=2\n");
}

TEST(IniText, Numbers) {
  EXPECT_EQ(ParseIniNumber("42"), 42);
  EXPECT_EQ(ParseIniNumber("-7"), -7);
  EXPECT_EQ(ParseIniNumber("+7"), 7);
  EXPECT_EQ(ParseIniNumber("007"), 7);
  EXPECT_EQ(ParseIniNumber("0x1F"), 31);
  EXPECT_EQ(ParseIniNumber("0X1f"), 31);
  EXPECT_EQ(ParseIniNumber("0x0000000010"), 16);
  EXPECT_EQ(ParseIniNumber("0xFFFFFFFF"), -1);
  EXPECT_EQ(ParseIniNumber("2147483647"), 2147483647);
  EXPECT_EQ(ParseIniNumber("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", "0x", "-", "0x100000000", "2147483648", "-2147483649", "12abc", "$1F",
                          "0x-5", "1 2", "99999999999999999999"})
    EXPECT_EQ(ParseIniNumber(bad), std::nullopt) << bad;
}

// ---- The store over an INI file ----

class IniStore : public ::testing::Test {
protected:
  test::TempDir dir;
  std::string Name(const std::string& file) const { return dir.file(file); }
};

TEST_F(IniStore, DotIniIsAddedUnlessAKnownExtensionAppearsAnywhere) {
  EXPECT_EQ(TKVXFile("settings", skIniFile).Name(), "settings.ini");
  EXPECT_EQ(TKVXFile("notes.txt", skIniFile).Name(), "notes.txt.ini");
  EXPECT_EQ(TKVXFile("", skIniFile).Name(), ".ini");
  for (const char* kept : {"quorvel.ini", "QUORVEL.INI", "game.Pro", "data.bin", "old.ini.bak",
                           "C:\\conf.pro\\file", "x.INIT"})
    EXPECT_EQ(TKVXFile(kept, skIniFile).Name(), kept);
}

TEST_F(IniStore, ReadsGiveDefaultsAndCreateNothing) {
  TKVXFile store(Name("q"), skIniFile);
  EXPECT_EQ(store.ReadText("Options", "Path", "none"), "none");
  EXPECT_EQ(store.ReadNumber("Options", "Size", 5), 5);
  EXPECT_TRUE(store.ReadFlag("Options", "On", true));
  std::vector<std::string> list{"stale"};
  store.ListSubKeys("Options", list);
  EXPECT_TRUE(list.empty());
  store.RemoveKey("Options");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "q.ini"));
}

TEST_F(IniStore, TypedValuesRoundTrip) {
  TKVXFile store(Name("q.ini"), skIniFile);
  store.WriteText("Options", "Path", "C:\\UO");
  store.WriteNumber("Options", "Size", -12);
  store.WriteFlag("Options", "On", true);
  store.WriteFlag("Options", "Off", false);
  EXPECT_EQ(ReadBytes(dir.path() / "q.ini"),
            "[Options]\r\nPath=C:\\UO\r\nSize=-12\r\nOn=1\r\nOff=0\r\n");
  EXPECT_EQ(store.ReadText("OPTIONS", "path", ""), "C:\\UO");
  EXPECT_EQ(store.ReadNumber("Options", "Size", 0), -12);
  EXPECT_TRUE(store.ReadFlag("Options", "On", false));
  EXPECT_FALSE(store.ReadFlag("Options", "Off", true));
}

TEST_F(IniStore, NumbersAndFlagsFromHandWrittenText) {
  WriteBytes(dir.path() / "q.ini", "[N]\nhex=0x10\nbad=ten\nspaced = 7 \nquoted=\"3\"\nfive=5\n"
                                   "zero=0\nempty=\nneg=-1\n");
  TKVXFile store(Name("q.ini"), skIniFile);
  EXPECT_EQ(store.ReadNumber("N", "hex", 0), 16);
  EXPECT_EQ(store.ReadNumber("N", "bad", 99), 99);
  EXPECT_EQ(store.ReadNumber("N", "spaced", 0), 7);
  EXPECT_EQ(store.ReadNumber("N", "quoted", 0), 3);
  EXPECT_EQ(store.ReadNumber("N", "empty", 4), 4);
  EXPECT_TRUE(store.ReadFlag("N", "five", false));
  EXPECT_TRUE(store.ReadFlag("N", "neg", false));
  EXPECT_FALSE(store.ReadFlag("N", "zero", true));
  EXPECT_TRUE(store.ReadFlag("N", "bad", true));
  EXPECT_FALSE(store.ReadFlag("N", "bad", false));
  EXPECT_EQ(store.ReadText("N", "bad", ""), "ten");
}

TEST_F(IniStore, EmptyKeyPathReadsTheDefaultAtOnce) {
  WriteBytes(dir.path() / "q.ini", "[]\nx=stored\n");
  TKVXFile store(Name("q.ini"), skIniFile);
  EXPECT_EQ(store.ReadText("", "x", "default"), "default");
}

TEST_F(IniStore, ListSubKeysListsEverySectionAndRemoveKeyErasesOne) {
  WriteBytes(dir.path() / "q.ini", "[One]\na=1\n[Two]\n[Three]\nb=2\n");
  TKVXFile store(Name("q.ini"), skIniFile);
  std::vector<std::string> list{"stale"};
  store.ListSubKeys("whatever", list);
  EXPECT_EQ(list, (std::vector<std::string>{"One", "Two", "Three"}));
  store.RemoveKey("two");
  store.ListSubKeys("", list);
  EXPECT_EQ(list, (std::vector<std::string>{"One", "Three"}));
  EXPECT_EQ(store.ReadText("Three", "b", ""), "2");
}

TEST_F(IniStore, UnwritableFilesFailWithTheFileName) {
  std::string name = Name("missing-dir/q.ini");
  TKVXFile store(name, skIniFile);
  EXPECT_EQ(ErrorText([&] { store.WriteText("S", "x", "1"); }), "Unable to write to " + name);

  // A name the profile form cannot hold.
  TKVXFile good(Name("q.ini"), skIniFile);
  EXPECT_EQ(ErrorText([&] { good.WriteText("S", "a=b", "1"); }),
            "Unable to write to " + Name("q.ini"));
  // A directory in the file's place.
  std::filesystem::create_directory(dir.path() / "d.ini");
  TKVXFile onDir(Name("d.ini"), skIniFile);
  EXPECT_EQ(ErrorText([&] { onDir.WriteNumber("S", "x", 1); }),
            "Unable to write to " + Name("d.ini"));
}

TEST_F(IniStore, AFailedWriteLeavesTheOldFile) {
  const std::string old = "[S]\r\nx=1\r\n";
  WriteBytes(dir.path() / "q.ini", old);
  TKVXFile store(Name("q.ini"), skIniFile);
  {
    platform::ScopedFileFaultHook fault([](platform::FileStep step, const std::string&) {
      return step == platform::FileStep::Write ? ENOSPC : 0;
    });
    EXPECT_EQ(ErrorText([&] { store.WriteText("S", "x", "2"); }),
              "Unable to write to " + Name("q.ini"));
    EXPECT_EQ(ErrorText([&] { store.RemoveKey("S"); }), "Unable to write to " + Name("q.ini"));
  }
  EXPECT_EQ(ReadBytes(dir.path() / "q.ini"), old);
  std::vector<std::string> left;
  for (auto& entry : std::filesystem::directory_iterator(dir.path()))
    left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"q.ini"});

  // A read-only file is not replaced.
  std::filesystem::permissions(dir.path() / "q.ini", std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::group_read |
                                                         std::filesystem::perms::others_read);
  EXPECT_EQ(ErrorText([&] { store.WriteFlag("S", "x", false); }),
            "Unable to write to " + Name("q.ini"));
  EXPECT_EQ(ReadBytes(dir.path() / "q.ini"), old);
  // Reading still works.
  EXPECT_EQ(store.ReadNumber("S", "x", 0), 1);
}

} // namespace
} // namespace qv
