// Saves killed at random moments: every game file, set copy and the hive is afterwards either
// the old or the new version, never a mixture, never empty; the temporary files a killed save
// leaves are removed at the next start, and only those; and the next start names every game file
// a killed save left different from the set's copy.
#include <cctype>
#include <chrono>
#include <map>
#include <random>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "ReliabilitySupport.h"
#include "platform/Error.h"
#include "settings/KVXFile.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// Saves killed at random moments need fork and kill.
#ifndef _WIN32
constexpr const char* kRoundKey = "\\SOFTWARE\\Quorvel\\Rounds";
constexpr const char* kFiles[] = {"UO.CFG",        "MACROS.TXT",        "LOGIN.CFG",
                                  "QRVDAT/UO.001", "QRVDAT/MACROS.001", "QRVDAT/LOGIN.001"};

// Removes the value the saves write from a hive's contents; the number of such values removed.
std::size_t WithoutRounds(std::map<std::string, std::string>& contents) {
  return std::erase_if(contents, [](const auto& entry) {
    std::string name = entry.first;
    for (char& c : name)
      c = char(std::tolower(static_cast<unsigned char>(c)));
    return name.ends_with("\\quorvel\\rounds\nlast");
  });
}

// The game files whose bytes differ from the set's copies, as the program names them.
std::vector<std::string> GameFilesUnlikeTheSet(const Installation& inst) {
  std::vector<std::string> unlike;
  for (std::size_t k = 0; k < 3; ++k) {
    if (inst.Get(kFiles[k]) != inst.Get(kFiles[k + 3]))
      unlike.push_back(inst.GameDir() + kFiles[k]);
  }
  return unlike;
}

std::map<std::string, std::string> FilesOf(const Installation& inst) {
  std::map<std::string, std::string> files;
  for (const char* file : kFiles)
    files[file] = inst.Get(file);
  return files;
}

TEST(KilledSave, EveryFileIsTheOldOrTheNewVersionAndTheNextStartCleansUpAndTells) {
  Installation inst;
  inst.RegisterGame();
  const MainState first = inst.Start();
  MainState second = first;
  second.soundVol = 99;
  second.music = !second.music;
  second.servers[1] = "other.example.org";
  AppendMacro(second, MacroPanel{"F12", -1, true, false, true, {{"Bow", -1, "", -1}}, {}});

  // The two versions of every file.
  MainState save = second;
  ASSERT_TRUE(SaveCurrentSet(save));
  const auto secondFiles = FilesOf(inst);
  save = first;
  ASSERT_TRUE(SaveCurrentSet(save));
  const auto firstFiles = FilesOf(inst);
  for (const char* file : kFiles)
    ASSERT_NE(firstFiles.at(file), secondFiles.at(file)) << file;
  {
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    store.WriteText(kRoundKey, "Last", "first");
  }
  const fs::path hive = inst.RegistryPath() / "system.reg";
  auto hiveBefore = HiveContents(hive);

  std::mt19937 random(20240611);
  int killedMidWrite = 0;
  int leftUnlikeTheSet = 0;
  constexpr int kKills = 300;
  for (int kill = 0; kill < kKills; ++kill) {
    ChildProcess saver([&](ChildProcess& self) {
      self.SignalReady();
      for (bool useSecond = kill % 2 == 1;; useSecond = !useSecond) {
        MainState state = useSecond ? second : first;
        try {
          SaveCurrentSet(state);
          TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
          store.WriteText(kRoundKey, "Last", useSecond ? "second" : "first");
        } catch (const Error&) {
        }
      }
    });
    ASSERT_TRUE(saver.WaitReady());
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
    saver.Kill();
    saver.Wait();

    const bool leftTempFiles = !TempFilesBelow(inst.Root()).empty();
    if (leftTempFiles)
      ++killedMidWrite;
    for (const char* file : kFiles) {
      const std::string bytes = inst.Get(file);
      ASSERT_TRUE(bytes == firstFiles.at(file) || bytes == secondFiles.at(file))
          << file << " after kill " << kill << ":\n"
          << bytes;
    }
    // The hive: a file Wine loads, with every key and value as before but the one written.
    auto now = HiveContents(hive);
    ASSERT_EQ(WithoutRounds(now), 1u) << "after kill " << kill;
    auto expected = hiveBefore;
    WithoutRounds(expected);
    ASSERT_EQ(now, expected) << "after kill " << kill;

    // The next start removes what the killed save left, and names each game file that is not
    // what the set holds: none goes unmentioned.
    const std::vector<std::string> unlike = GameFilesUnlikeTheSet(inst);
    if (!unlike.empty())
      ++leftUnlikeTheSet;
    MainState state;
    StartUp(state);
    ASSERT_EQ(TempFilesBelow(inst.Root()), std::vector<std::string>{}) << "after kill " << kill;
    ASSERT_EQ(state.unfinishedSaveFiles, unlike) << "after kill " << kill;
    ASSERT_EQ(UnfinishedSaveText(state).empty(), unlike.empty()) << "after kill " << kill;
  }
  RecordProperty("KillsThatLeftATemporaryFile", killedMidWrite);
  RecordProperty("KillsThatLeftGameFilesUnlikeTheSet", leftUnlikeTheSet);
  std::printf("%d of %d kills left a temporary file behind, %d left game files unlike the set\n",
              killedMidWrite, kKills, leftUnlikeTheSet);
}

#endif

// A file held by a write that still runs, the way the program's writes hold theirs.
#ifdef _WIN32
// Open without sharing, in this process: nobody else can delete it meanwhile.
class HeldFile {
public:
  explicit HeldFile(const fs::path& path)
      : handle_(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~HeldFile() { Release(); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (Held())
      CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

private:
  HANDLE handle_;
};
#else
// Locked by a child process.
class HeldFile {
public:
  explicit HeldFile(const fs::path& path)
      : child_([path](ChildProcess& self) {
          int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
          if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
            throw std::runtime_error("cannot hold the file");
          self.SignalReady();
          for (;;)
            ::pause();
        }),
        held_(child_.WaitReady()) {}
  bool Held() const { return held_; }
  void Release() {
    child_.Kill();
    child_.Wait();
  }

private:
  ChildProcess child_;
  bool held_;
};

#endif

TEST(KilledSave, OnlyTheProgramsOwnUnheldTemporaryFilesAreRemoved) {
  Installation inst;
  inst.RegisterGame();
  const fs::path game = inst.GamePath();
  std::vector<fs::path> stale = {game / ".UO.CFG.0badcafe.tmp",
                                 game / "QRVDAT" / ".UO.001.12345678.tmp"};
#ifndef _WIN32
  // The registry's hive files are written the same way.
  stale.push_back(inst.RegistryPath() / ".system.reg.abcdef01.tmp");
#endif
  const fs::path kept[] = {game / "notes.tmp",
                           game / ".UO.CFG.tmp",
                           game / ".UO.CFG.ABCDEF01.tmp",
                           game / "UO.CFG.12345678.tmp",
                           game / ".UO.CFG.1234567.tmp",
                           inst.OutsidePath() / ".keep.txt.12345678.tmp"};
  for (const auto& file : stale)
    WriteBytes(file, "half a file");
  for (const auto& file : kept)
    WriteBytes(file, "someone else's");
  fs::create_directory(game / ".dir.12345678.tmp");
  const fs::path held = game / ".MACROS.TXT.0000abcd.tmp";
  HeldFile writer(held);
  ASSERT_TRUE(writer.Held());

  MainState state;
  StartUp(state);
  for (const auto& file : stale)
    EXPECT_FALSE(fs::exists(file)) << file;
  for (const auto& file : kept)
    EXPECT_EQ(ReadBytes(file), "someone else's") << file;
  EXPECT_TRUE(fs::is_directory(game / ".dir.12345678.tmp"));
  EXPECT_TRUE(fs::exists(held)) << "a running write's file was removed";

  writer.Release();
  StartUp(state);
  EXPECT_FALSE(fs::exists(held));
}

} // namespace
} // namespace qv::test
