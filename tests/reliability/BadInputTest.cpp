// Hostile input: binary garbage, huge lines, zero bytes as the game's files; broken hives; odd
// registry values and set names. The program must not crash, must say clearly what it cannot
// read, must lose nothing, and must write nowhere but the game directory and the registry home.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ReliabilitySupport.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/WineHive.h"
#include "settings/KVXFile.h"
#include "support/HangGuard.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

std::string Garbage(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes)
    c = static_cast<char>(random());
  return bytes;
}

// A line is an option line when it holds no zero byte and, trimmed and in capitals, begins with an
// option's name.
bool IsOptionLine(std::string line) {
  if (line.find('\0') != std::string::npos)
    return false;
  static const char* const kWords[] = {
      "CDROMDATAPATH", "CACHESIZE",  "JOURNALSAVEFILE", "SOUNDVOL",
      "MUSICVOL",      "SOUND",      "MUSIC",           "SHOWINTROANIM",
      "CHESTOPENING",  "FULLSCREEN", "NOTORIETYQUERY",  "USECIRCLETRANS",
      "PAGEFLIP",      "FOOTSTEPS",  "USE565",          "OBSCENITYFILTER"};
  auto notBlank = [](char c) { return static_cast<unsigned char>(c) > ' '; };
  line.erase(line.begin(), std::find_if(line.begin(), line.end(), notBlank));
  for (char& c : line)
    c = char(std::toupper(static_cast<unsigned char>(c)));
  return std::any_of(std::begin(kWords), std::end(kWords),
                     [&](const char* word) { return line.starts_with(word); });
}

// Changes below the installation outside the game directory and the registry home.
std::vector<std::string> ChangesOutside(const TreeSnapshot& before, const TreeSnapshot& after) {
  std::vector<std::string> outside;
  for (const std::string& path : TreeChanges(before, after))
    if (!path.starts_with("game") && !path.starts_with("registry"))
      outside.push_back(path);
  return outside;
}

// --- The three game files ---

struct HostileFile {
  const char* name;
  const char* file;
  std::function<std::string()> bytes;
};

std::string FiftyMegabyteLine(char first) {
  std::string line(50 * 1024 * 1024, 'x');
  line[0] = first;
  line[line.size() / 2] = '=';
  return line;
}

const HostileFile kHostileFiles[] = {
    {"OptionsBinaryGarbage", "UO.CFG", [] { return Garbage(65536, 1); }},
    {"OptionsFiftyMegabyteLine", "UO.CFG", [] { return FiftyMegabyteLine('W'); }},
    {"OptionsZeroBytes", "UO.CFG", [] { return std::string(); }},
    {"OptionsOnlyZeroBytes", "UO.CFG", [] { return std::string(4096, '\0'); }},
    {"OptionsAbsurdNumbers", "UO.CFG",
     [] {
       return std::string("CacheSize=1e308\r\nSoundVol=99999999999999999999\r\nMusicVol=-2147483649"
                          "\r\nCacheSize=-0\r\nSoundVol=0x7fffffff\r\n");
     }},
    {"MacrosBinaryGarbage", "MACROS.TXT", [] { return Garbage(65536, 2); }},
    {"MacrosFiftyMegabyteLine", "MACROS.TXT", [] { return FiftyMegabyteLine('F'); }},
    {"MacrosZeroBytes", "MACROS.TXT", [] { return std::string(); }},
    {"MacrosHundredThousandEndLines", "MACROS.TXT",
     [] {
       std::string text;
       for (int i = 0; i < 100000; ++i)
         text += "##\r\n";
       return text;
     }},
    {"LoginBinaryGarbage", "LOGIN.CFG", [] { return Garbage(65536, 3); }},
    {"LoginFiftyMegabyteLine", "LOGIN.CFG", [] { return FiftyMegabyteLine('L'); }},
    {"LoginZeroBytes", "LOGIN.CFG", [] { return std::string(); }},
};

class HostileGameFile : public ::testing::TestWithParam<HostileFile> {};

TEST_P(HostileGameFile, ReadClearlySavedWithoutLossNothingWrittenElsewhere) {
  const HostileFile& hostile = GetParam();
  Installation inst;
  inst.RegisterGame();
  const std::string original = hostile.bytes();
  inst.Put(hostile.file, original);
  const TreeSnapshot before = SnapshotTree(inst.Root());

  MainState state;
  StartUp(state);
  MakeFirstRunCopies(state);
  try {
    LoadCurrentSet(state);
  } catch (const Error& error) {
    // Only values that do not convert are reported; the set is read all the same.
    const std::string message = error.what();
    EXPECT_TRUE(message.find("is not a valid integer value (") != std::string::npos ||
                message.find("is not a valid floating point value (") != std::string::npos)
        << message;
  }
  try {
    EXPECT_TRUE(SaveCurrentSet(state));
  } catch (const Error& error) {
    // A cache size beyond the integer range cannot be written back; the game's files stay.
    EXPECT_TRUE(std::string(error.what()).ends_with("is not a valid integer value"))
        << error.what();
    state.cacheSize = "064";
    EXPECT_TRUE(SaveCurrentSet(state));
  }

  // The first-run backup keeps the file exactly as it was.
  const std::string backup =
      std::string(hostile.file).substr(0, std::string(hostile.file).find('.')) + ".OLD";
  EXPECT_TRUE(inst.Get(backup) == original) << backup;
  const auto lines = platform::SplitLines(original);
  const auto saved = platform::SplitLines(inst.Get(hostile.file));
  if (std::string(hostile.file) == "MACROS.TXT") {
    EXPECT_TRUE(saved == lines) << "macro lines changed";
  } else if (std::string(hostile.file) == "UO.CFG") {
    std::vector<std::string> unrecognised;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(unrecognised),
                 [](const std::string& line) { return !IsOptionLine(line); });
    ASSERT_GE(saved.size(), unrecognised.size());
    EXPECT_TRUE(std::equal(unrecognised.begin(), unrecognised.end(), saved.begin()))
        << "unrecognised lines changed";
  } else {
    MainState again = state;
    ReadLoginServers(again);
    EXPECT_EQ(again.servers, state.servers);
    EXPECT_EQ(again.ports, state.ports);
    EXPECT_EQ(again.extraLoginLines, state.extraLoginLines);
  }
  EXPECT_EQ(ChangesOutside(before, SnapshotTree(inst.Root())), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Table, HostileGameFile, ::testing::ValuesIn(kHostileFiles),
                         [](const auto& info) { return std::string(info.param.name); });

#ifndef _WIN32
// A FIFO as a game file would keep the program waiting for a writer for ever; a settings file of
// gigabytes would be read whole and copied. Both are refused at once and nothing is copied from
// them; the set already in QRVDAT is read, and a set file too large is named in its message.
TEST(HostileGameFiles, FifosAndHugeFilesAreRefusedAtOnceAndNothingIsCopiedFromThem) {
  Installation inst;
  inst.RegisterGame();
  inst.Put("QRVDAT/UO.001", SampleOptions());
  inst.Put("QRVDAT/MACROS.001", SampleMacros());
  for (const char* name : {"UO.CFG", "version.txt"}) {
    fs::remove(inst.GamePath() / name);
    ASSERT_EQ(0, ::mkfifo((inst.GamePath() / name).c_str(), 0666)) << name;
  }
  fs::resize_file(inst.GamePath() / "MACROS.TXT", platform::kMaxSettingsFileSize + 1);

  MainState state;
  {
    HangGuard guard(120);
    StartUp(state);
    // The files that are there but cannot be copied are named, with the reason.
    try {
      MakeFirstRunCopies(state);
      ADD_FAILURE() << "the copies that were refused went unreported";
    } catch (const Error& error) {
      EXPECT_EQ(error.what(), "Cannot copy file " + inst.GameDir() + "UO.CFG to " + inst.GameDir() +
                                  "UO.OLD\nNot a regular file\n" + "Cannot copy file " +
                                  inst.GameDir() + "MACROS.TXT to " + inst.GameDir() +
                                  "MACROS.OLD\nThe file is larger than 64 MiB");
    }
    LoadCurrentSet(state);
  }
  EXPECT_EQ(state.version, ""); // as for a missing version.txt
  EXPECT_EQ(platform::SplitLines(SampleMacros()), state.macroLines);
  EXPECT_FALSE(inst.Exists("UO.OLD"));
  EXPECT_FALSE(inst.Exists("MACROS.OLD"));
  EXPECT_TRUE(inst.Exists("LOGIN.OLD"));
  EXPECT_TRUE(inst.Exists("QRVDAT/LOGIN.001"));

  fs::resize_file(inst.GamePath() / "QRVDAT" / "MACROS.001", platform::kMaxSettingsFileSize + 1);
  try {
    LoadCurrentSet(state);
    ADD_FAILURE() << "a set file above the limit was read";
  } catch (const Error& error) {
    EXPECT_EQ(error.what(), "Cannot open file " + inst.GameDir() +
                                "QRVDAT/MACROS.001\nThe file is larger than 64 MiB");
  }
}
#endif

// --- Broken hives ---

// Hive files are the registry only where the Wine registry is built.
#ifndef _WIN32

std::string HiveWith(const std::string& body) {
  return "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n" + body;
}

std::string GameKeyLine() {
  return "[Software\\\\Wow6432Node\\\\Origin Worlds Online\\\\Ultima Online\\\\1.0] 1700000000\n";
}

struct HostileHive {
  const char* name;
  std::function<std::string(const Installation&)> text;
};

const HostileHive kHostileHives[] = {
    {"TruncatedLine",
     [](const Installation&) { return HiveWith(GameKeyLine() + "\"ExePath\"=\"C:\\\\Gam"); }},
    {"UnterminatedQuote",
     [](const Installation& inst) {
       return HiveWith(GameKeyLine() + "\"ExePath=\"" + inst.GameDir() + "client.exe\"\n");
     }},
    {"InvalidUtf8",
     [](const Installation& inst) {
       return HiveWith(GameKeyLine() + "\"ExePath\"=\"" + inst.GameDir() +
                       "\xff\xfe\xc3\x28\xed\xa0\x80.exe\"\n\"\xc0\xaf\"=\"\x80\"\n");
     }},
    {"KeyLineWithoutBracket",
     [](const Installation& inst) {
       return HiveWith("[Software\\\\Wow6432Node\\\\Origin Worlds Online\\\\Ultima Online\\\\1.0\n"
                       "\"ExePath\"=\"" +
                       inst.GameDir() + "client.exe\"\n");
     }},
    {"TenThousandNestedKeys",
     [](const Installation&) {
       std::string path = "Software\\\\Wow6432Node";
       for (int i = 0; i < 10000; ++i)
         path += "\\\\K" + std::to_string(i % 10);
       return HiveWith("[" + path + "] 1700000000\n\"Deep\"=dword:00000001\n");
     }},
    {"BinaryGarbage", [](const Installation&) { return Garbage(65536, 4); }},
    {"ZeroBytes", [](const Installation&) { return std::string(); }},
    {"ZeroBytesInValues",
     [](const Installation&) {
       using namespace std::string_literals;
       return HiveWith(GameKeyLine() + "\"ExePath\"=\"C:\\\\UO\0\\\\client.exe\"\n"s);
     }},
};

class BrokenHive : public ::testing::TestWithParam<HostileHive> {};

TEST_P(BrokenHive, StartsWithClearErrorsAndKeepsWhatTheHiveHeld) {
  Installation inst;
  const fs::path hive = inst.RegistryPath() / "system.reg";
  WriteBytes(hive, GetParam().text(inst));
  const std::string original = ReadBytes(hive);
  const bool valid = platform::WineHive(original, u"\\Registry\\Machine").IsValid();
  const auto contents = valid ? HiveContents(hive) : std::map<std::string, std::string>{};
  const TreeSnapshot before = SnapshotTree(inst.Root());

  // A value Wine would read as one without data is of the wrong type for the store; the message
  // says which line of which file is damaged (the value's, below the five lines of the header).
  MainState state;
  try {
    StartUp(state);
  } catch (const Error& error) {
    EXPECT_EQ(error.what(), "Invalid data type for 'ExePath'\nThe registry file " + hive.string() +
                                " cannot be read: line 7 is not a valid registry entry.");
  }
  try {
    MakeFirstRunCopies(state);
  } catch (const Error& error) {
    // A hive that Wine would not load is left alone: the write of the set's extension fails.
    EXPECT_EQ(error.what(),
              "Failed to set data for 'Ext'\nThe registry file " + hive.string() +
                  " cannot be read: line 1 is not the header of a Wine registry file.");
    EXPECT_FALSE(valid);
  }
  if (!valid) {
    EXPECT_EQ(ReadBytes(hive), original);
  } else {
    // Everything the hive held is still there, whatever the program added.
    const auto now = HiveContents(hive);
    for (const auto& [key, value] : contents) {
      auto found = now.find(key);
      ASSERT_NE(found, now.end()) << key.substr(0, 200);
      EXPECT_EQ(found->second, value) << key.substr(0, 200);
    }
  }
  EXPECT_EQ(ChangesOutside(before, SnapshotTree(inst.Root())), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Table, BrokenHive, ::testing::ValuesIn(kHostileHives),
                         [](const auto& info) { return std::string(info.param.name); });
#endif

// --- Registry values that name files ---

class HostileSetExt : public ::testing::TestWithParam<const char*> {};

TEST_P(HostileSetExt, FallsBackToTheOriginalSetAndCopiesNothingOutside) {
  Installation inst;
  inst.RegisterGame();
  inst.Start();
  {
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    store.WriteText(kConfigsKey, "Current", "Odd Set");
    store.WriteText(std::string(kConfigsKey) + "\\Odd Set", "Ext", GetParam());
  }
  const TreeSnapshot before = SnapshotTree(inst.Root());
  MainState state;
  StartUp(state);
  EXPECT_EQ(state.currentSetExt, "001");
  LoadCurrentSet(state);
  CopyCurrentSet(state, GetParam());
  EXPECT_EQ(TreeChanges(before, SnapshotTree(inst.Root())), std::vector<std::string>{});
  for (const char* kind : {"UO.", "MACROS.", "LOGIN."}) {
    EXPECT_FALSE(fs::exists(std::string("/etc/") + kind + "x"));
    EXPECT_FALSE(fs::exists(inst.Root() / (std::string(kind) + "x")));
  }
}

INSTANTIATE_TEST_SUITE_P(Table, HostileSetExt,
                         ::testing::Values("..\\..\\x", "/etc", "", "12a", "../../x", "1/../../x",
                                           "-1", "\t001"));

// --- Set names ---

class HostileSetName : public ::testing::TestWithParam<std::string> {};

TEST_P(HostileSetName, StoredListedAndChosenExactlyTheHiveStaysSound) {
  Installation inst;
  inst.RegisterGame();
  inst.Start();
#ifndef _WIN32
  const fs::path hive = inst.RegistryPath() / "system.reg";
  const auto contents = HiveContents(hive);
#endif
  const std::string name = GetParam();
#ifdef _WIN32
  // A Windows registry key's name has at most 255 characters: a longer set name is refused with
  // the store's error, and no set is left half made.
  if (name.size() > 255) {
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    try {
      store.WriteText(std::string(kConfigsKey) + "\\" + name, "Ext", "002");
      ADD_FAILURE() << "a key name of " << name.size() << " characters was stored";
    } catch (const Error& error) {
      // The store's text, and the system's reason on the next line.
      const std::string text = error.what();
      EXPECT_EQ(text.substr(0, text.find('\n')), "Failed to set data for 'Ext'");
      EXPECT_TRUE(text.substr(text.find('\n') + 1).starts_with("The registry refused the change: "))
          << text;
    }
    std::vector<std::string> sets;
    store.ListSubKeys(kConfigsKey, sets);
    EXPECT_EQ(sets, std::vector<std::string>{"Original Configuration"});
    return;
  }
#endif
  {
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    store.WriteText(std::string(kConfigsKey) + "\\" + name, "Ext", "002");
    store.WriteText(kConfigsKey, "Current", name);
    std::vector<std::string> sets;
    store.ListSubKeys(kConfigsKey, sets);
    EXPECT_NE(std::find(sets.begin(), sets.end(), name), sets.end());
    EXPECT_EQ(store.ReadText(kConfigsKey, "Current", ""), name);
  }
  MainState state;
  StartUp(state);
  EXPECT_EQ(state.currentSetExt, "002");
#ifndef _WIN32
  ASSERT_TRUE(platform::WineHive(ReadBytes(hive), u"\\Registry\\Machine").IsValid());
  const auto now = HiveContents(hive);
  for (const auto& [key, value] : contents) {
    if (!key.ends_with("\nCurrent")) {
      EXPECT_EQ(now.count(key), 1u) << key;
    }
  }
#endif

  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  store.RemoveKey(std::string(kConfigsKey) + "\\" + name);
  std::vector<std::string> sets;
  store.ListSubKeys(kConfigsKey, sets);
  EXPECT_EQ(std::find(sets.begin(), sets.end(), name), sets.end());
}

std::string SetNameCase(const ::testing::TestParamInfo<std::string>& info) {
  static const char* const kNames[] = {"ControlCharacters",    "LineBreaks",
                                       "QuotesAndBrackets",    "ThousandCharacters",
                                       "ThousandWithControls", "Unicode"};
  return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(Table, HostileSetName,
                         ::testing::Values(std::string("Set\x01\x02\x1f\x7f"),
                                           std::string("Tab\tLine\nFeed\rEnd"),
                                           std::string("Quote\" Bracket] [Hash# @=;"),
                                           std::string(1000, 'n'),
                                           std::string(500, '\x01') + std::string(500, 'e'),
                                           std::string("\xc3\xa9t\xc3\xa9 \xe2\x98\xba")),
                         SetNameCase);

// --- The game directory itself ---

// A child process made with fork, in a chroot or as another user.
#ifndef _WIN32

// The root of the file system as the game directory, inside a folder made the root for a child
// process (so that the test does not write into the real one).
TEST(HostileExePath, RootDirectoryGetsAClearErrorAndOnlyItsQrvdat) {
  Installation inst;
  const fs::path jail = inst.Root() / "jail";
  fs::create_directories(jail / "registry");
  ChildProcess child([&](ChildProcess& self) {
    if (::chroot(jail.c_str()) != 0 || ::chdir("/") != 0) {
      self.SignalReady();
      ::_exit(77);
    }
    ::setenv("QUORVEL_REGISTRY", "/registry", 1);
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    store.WriteText(kGameKey, "ExePath", "/");
    MainState state;
    StartUp(state);
    if (state.gameDir != "/")
      ::_exit(2);
    MakeFirstRunCopies(state);
    try {
      LoadCurrentSet(state);
      ::_exit(3);
    } catch (const Error& error) {
      if (!std::string(error.what())
               .starts_with("Cannot open file /QRVDAT/UO.001\nNo such file or directory"))
        ::_exit(4);
    }
  });
  const int status = child.Wait();
  if (status == 77)
    GTEST_SKIP() << "no chroot here";
  ASSERT_EQ(status, 0);
  std::vector<std::string> top;
  for (const auto& entry : fs::directory_iterator(jail))
    top.push_back(entry.path().filename().string());
  std::sort(top.begin(), top.end());
  EXPECT_EQ(top, (std::vector<std::string>{"QRVDAT", "registry"}));
  EXPECT_TRUE(fs::is_empty(jail / "QRVDAT"));
}

// A game directory the user may not enter: run as an ordinary user (the tests run as root).
TEST(HostileExePath, DirectoryWithoutPermissionGetsAClearErrorAndNothingIsWritten) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to become another user";
  Installation inst;
  const fs::path locked = inst.Root() / "locked";
  fs::create_directories(locked);
  WriteBytes(locked / "UO.CFG", SampleOptions());
  fs::permissions(locked, fs::perms::owner_all);
  fs::permissions(inst.RegistryPath(), fs::perms::all);
  inst.RegisterGame((locked / "client.exe").string());
  // The registry home stays the user's own.
  for (const auto& entry : fs::directory_iterator(inst.RegistryPath()))
    fs::permissions(entry.path(), fs::perms::all);
  const TreeSnapshot before = SnapshotTree(inst.Root());

  ChildProcess child([&](ChildProcess&) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0)
      ::_exit(77);
    MainState state;
    try {
      StartUp(state);
      MakeFirstRunCopies(state);
    } catch (const Error& error) {
      std::fprintf(stderr, "start-up: %s\n", error.what());
      ::_exit(5);
    }
    try {
      LoadCurrentSet(state);
      ::_exit(3);
    } catch (const Error& error) {
      if (!std::string(error.what())
               .starts_with("Cannot open file " + locked.string() +
                            "/QRVDAT/UO.001\nPermission denied"))
        ::_exit(4);
    }
  });
  const int status = child.Wait();
  if (status == 77)
    GTEST_SKIP() << "cannot become another user";
  ASSERT_EQ(status, 0);
  std::vector<std::string> changes;
  for (const auto& path : TreeChanges(before, SnapshotTree(inst.Root())))
    if (!path.starts_with("registry"))
      changes.push_back(path);
  EXPECT_EQ(changes, std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(locked / "QRVDAT"));
}
#endif

} // namespace
} // namespace qv::test
