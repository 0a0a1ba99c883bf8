#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/FileFaults.h"
#include "platform/Registry.h"
#include "support/HangGuard.h"
#include "support/TempDir.h"

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using test::FileNames;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

unsigned Mode(const std::string& file) {
  struct stat st;
  EXPECT_EQ(0, ::stat(file.c_str(), &st));
  return st.st_mode & 07777;
}

template <typename F> std::string ErrorText(F&& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

#ifndef _WIN32
class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name))
      old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

private:
  const char* name_;
  std::optional<std::string> old_;
};
#endif

// ---- Lines ---------------------------------------------------------------------------------

TEST(FileLines, SplitsAtCrLfLfAndCr) {
  using L = std::vector<std::string>;
  EXPECT_EQ((L{"a", "b", "c", "d"}), SplitLines("a\r\nb\nc\rd"));
  EXPECT_EQ((L{"a", "", "b"}), SplitLines("a\r\r\nb"));
  EXPECT_EQ((L{"a", ""}), SplitLines("a\n\r"));
  EXPECT_EQ((L{"", ""}), SplitLines("\n\n"));
  EXPECT_EQ((L{"a"}), SplitLines("a\r\n"));
  EXPECT_EQ((L{" x \t"}), SplitLines(" x \t"));
  EXPECT_EQ(L{}, SplitLines(""));
}

TEST(FileLines, ZeroByteIsKeptInItsLine) {
  using L = std::vector<std::string>;
  EXPECT_EQ((L{"a", std::string("b\0c", 3), "d"}),
            SplitLines(std::string_view("a\r\nb\0c\r\nd", 9)));
  EXPECT_EQ(L{std::string("\0abc", 4)}, SplitLines(std::string_view("\0abc", 4)));
  EXPECT_EQ((L{"ab", std::string(1, '\0'), "cd"}), SplitLines(std::string_view("ab\r\0\ncd", 7)));
}

TEST(FileLines, WritesCrLfAfterEveryLineAndRoundTripsEveryByte) {
  TempDir dir;
  std::string high, low;
  for (int c = 0x80; c <= 0xFF; ++c)
    high.push_back(char(c));
  for (int c = 1; c < 0x80; ++c)
    if (c != '\r' && c != '\n')
      low.push_back(char(c));
  const std::vector<std::string> lines{high, "", low, " trailing blank "};
  WriteLines(dir.file("UO.CFG"), lines);
  EXPECT_EQ(high + "\r\n\r\n" + low + "\r\n trailing blank \r\n", ReadBytes(dir.file("UO.CFG")));
  EXPECT_EQ(lines, ReadLines(dir.file("UO.CFG")));

  WriteLines(dir.file("empty"), {});
  EXPECT_EQ("", ReadBytes(dir.file("empty")));
}

TEST(FileLines, ErrorsNameThePathAsGivenAndTheReasonBelowIt) {
  TempDir dir;
  const std::string missing = dir.dir() + "QRVDAT\\UO.001";
  EXPECT_EQ("Cannot open file " + missing + "\nNo such file or directory",
            ErrorText([&] { ReadLines(missing); }));
  EXPECT_EQ("Cannot create file " + missing + "\nNo such file or directory",
            ErrorText([&] { WriteLines(missing, {"x"}); }));
  EXPECT_TRUE(
      ErrorText([&] { ReadLines(dir.dir()); }).starts_with("Cannot open file " + dir.dir() + "\n"));
  EXPECT_TRUE(FileNames(dir.path()).empty());

#ifndef _WIN32
  EXPECT_EQ("Cannot open file " + dir.dir() + "\nIs a directory",
            ErrorText([&] { ReadLines(dir.dir()); }));
  // QRVDAT a file where the directory should be.
  WriteBytes(dir.file("QRVDAT"), "");
  EXPECT_FALSE(CreateDirectory(dir.dir() + "QRVDAT"));
  EXPECT_EQ("File exists", LastFileError());
  EXPECT_EQ("Cannot create file " + missing + "\nNot a directory",
            ErrorText([&] { WriteLines(missing, {"x"}); }));
  EXPECT_FALSE(CopyFileReplacing(dir.file("QRVDAT"), missing));
  EXPECT_EQ("Not a directory", LastFileError());
  // A success clears the reason of the failure before.
  EXPECT_TRUE(CopyFileReplacing(dir.file("QRVDAT"), dir.file("UO.OLD")));
  EXPECT_EQ("", LastFileError());
#endif
}

#ifndef _WIN32
// Opening a FIFO for reading waits for a writer, for ever when there is none.
TEST(FileLines, AFifoIsRefusedAtOnceAndNothingIsCopiedFromIt) {
  TempDir dir;
  const std::string fifo = dir.file("UO.CFG");
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0666));
  {
    test::HangGuard guard(60);
    EXPECT_EQ("Cannot open file " + fifo + "\nNot a regular file",
              ErrorText([&] { ReadLines(fifo); }));
    EXPECT_EQ("Cannot open file " + fifo + "\nNot a regular file",
              ErrorText([&] { ReadLines(fifo, kAnyFileSize); }));
    std::string bytes;
    EXPECT_FALSE(ReadFileBytes(fifo, bytes));
    EXPECT_FALSE(CopyFileReplacing(fifo, dir.file("UO.OLD")));
    EXPECT_EQ("Not a regular file", LastFileError());
  }
  // Nor is a FIFO replaced by a write.
  EXPECT_EQ("Cannot create file " + fifo + "\nNot a regular file",
            ErrorText([&] { WriteLines(fifo, {"x"}); }));
  EXPECT_EQ(std::set<std::string>{"UO.CFG"}, FileNames(dir.path()));
}
#endif

TEST(FileLines, ASettingsFileLargerThanTheLimitIsRefusedBeforeItIsReadOrCopied) {
  TempDir dir;
  const std::string big = dir.file("UO.CFG");
  WriteBytes(big, "Sound=on\r\n");
  fs::resize_file(big, kMaxSettingsFileSize); // the rest zero bytes, sparse
  const auto atTheLimit = ReadLines(big);
  ASSERT_EQ(atTheLimit.size(), 2u);
  EXPECT_EQ(atTheLimit[0], "Sound=on");
  fs::resize_file(big, kMaxSettingsFileSize + 1);
  EXPECT_EQ("Cannot open file " + big + "\nThe file is larger than 64 MiB",
            ErrorText([&] { ReadLines(big); }));
  EXPECT_FALSE(CopyFileReplacing(big, dir.file("UO.OLD")));
  EXPECT_EQ("The file is larger than 64 MiB", LastFileError());
  EXPECT_EQ(std::set<std::string>{"UO.CFG"}, FileNames(dir.path()));
  // Other texts (the patch log) are read whatever their size.
  EXPECT_EQ(ReadLines(big, kAnyFileSize).size(), 2u);
}

// ---- Atomic replacement --------------------------------------------------------------------

TEST(AtomicWrite, FailureAtAnyStepLeavesTheOldFileAndNoTemporaryFile) {
  TempDir dir;
  const std::string file = dir.file("UO.CFG");
  const std::string old = "Sound=on\r\n\xE9\r\n";
  for (FileStep step : {FileStep::Create, FileStep::Write, FileStep::Flush, FileStep::Rename}) {
    for (int error : {ENOSPC, EACCES, EROFS}) {
      SCOPED_TRACE(testing::Message() << "step " << int(step) << " errno " << error);
      WriteBytes(file, old);
      {
        ScopedFileFaultHook hook(
            [&](FileStep s, const std::string&) { return s == step ? error : 0; });
        EXPECT_EQ("Cannot create file " + file + "\n" + std::strerror(error),
                  ErrorText([&] { WriteLines(file, {"new"}); }));
        errno = 0;
        EXPECT_FALSE(WriteFileAtomically(file, "new"));
        EXPECT_EQ(error, errno);
        EXPECT_FALSE(CopyFileReplacing(dir.file("UO.CFG"), file));
        EXPECT_EQ(std::strerror(error), LastFileError());
      }
      EXPECT_EQ(old, ReadBytes(file));
      EXPECT_EQ(std::set<std::string>{"UO.CFG"}, FileNames(dir.path()));
    }
  }
  WriteLines(file, {"new"});
  EXPECT_EQ("new\r\n", ReadBytes(file));
}

TEST(AtomicWrite, CopyReplacesTheTargetAndFailsWithoutTouchingIt) {
  TempDir dir;
  WriteBytes(dir.file("UO.001"), "set\r\n");
  WriteBytes(dir.file("UO.CFG"), "game\r\n");
  EXPECT_TRUE(CopyFileReplacing(dir.file("UO.001"), dir.file("UO.CFG")));
  EXPECT_EQ("set\r\n", ReadBytes(dir.file("UO.CFG")));
  EXPECT_TRUE(CopyFileReplacing(dir.file("UO.001"), dir.file("UO.OLD")));
  EXPECT_EQ("set\r\n", ReadBytes(dir.file("UO.OLD")));

  EXPECT_FALSE(CopyFileReplacing(dir.file("MISSING"), dir.file("UO.CFG")));
  {
    ScopedFileFaultHook hook(
        [](FileStep s, const std::string&) { return s == FileStep::Open ? EIO : 0; });
    EXPECT_FALSE(CopyFileReplacing(dir.file("UO.001"), dir.file("UO.CFG")));
    EXPECT_EQ("Input/output error", LastFileError());
    EXPECT_EQ("Cannot open file " + dir.file("UO.001") + "\nInput/output error",
              ErrorText([&] { ReadLines(dir.file("UO.001")); }));
  }
  fs::create_directory(dir.path() / "sub");
  EXPECT_FALSE(CopyFileReplacing(dir.file("UO.001"), dir.file("sub")));
  EXPECT_EQ("set\r\n", ReadBytes(dir.file("UO.CFG")));
  EXPECT_EQ((std::set<std::string>{"UO.001", "UO.CFG", "UO.OLD", "sub"}), FileNames(dir.path()));
}

TEST(AtomicWrite, ReadOnlyTargetIsRefusedEvenForRoot) {
  TempDir dir;
  const std::string file = dir.file("UO.CFG");
  WriteBytes(file, "protected\r\n");
  WriteBytes(dir.file("UO.001"), "set\r\n");
  ::chmod(file.c_str(), 0444);
  EXPECT_EQ("Cannot create file " + file + "\nPermission denied",
            ErrorText([&] { WriteLines(file, {"x"}); }));
  EXPECT_FALSE(CopyFileReplacing(dir.file("UO.001"), file));
  EXPECT_EQ("protected\r\n", ReadBytes(file));
  EXPECT_EQ(0444u, Mode(file));
  EXPECT_EQ((std::set<std::string>{"UO.001", "UO.CFG"}), FileNames(dir.path()));
}

// Windows files have no permission bits (the read-only attribute is tried above), and symbolic
// links need a privilege there.
#ifndef _WIN32
TEST(AtomicWrite, ReplacedFileKeepsItsPermissionBits) {
  TempDir dir;
  const std::string file = dir.file("UO.CFG");
  for (unsigned mode : {0600u, 0640u, 0755u, 0664u}) {
    WriteBytes(file, "old");
    ::chmod(file.c_str(), mode);
    WriteLines(file, {"new"});
    EXPECT_EQ(mode, Mode(file));
    EXPECT_TRUE(CopyFileReplacing(file, file));
    EXPECT_EQ(mode, Mode(file));
    EXPECT_EQ("new\r\n", ReadBytes(file));
  }
}

TEST(AtomicWrite, ThroughASymbolicLinkTheLinkedFileIsReplaced) {
  TempDir dir;
  WriteBytes(dir.file("real.cfg"), "old");
  fs::create_symlink("real.cfg", dir.path() / "UO.CFG");
  WriteLines(dir.file("UO.CFG"), {"new"});
  EXPECT_TRUE(fs::is_symlink(dir.path() / "UO.CFG"));
  EXPECT_EQ("new\r\n", ReadBytes(dir.file("real.cfg")));
}
#endif

// ---- The lock on a set's directory ---------------------------------------------------------

TEST(DirectoryLock, AHeldLockKeepsOutEveryOtherHolderAndLeavesNothingBehind) {
  TempDir dir;
  auto first = std::make_unique<DirectoryLock>();
  ASSERT_TRUE(first->Acquire(dir.dir(), std::chrono::milliseconds(0)));
  auto second = std::make_unique<DirectoryLock>();
  EXPECT_FALSE(second->Acquire(dir.dir(), std::chrono::milliseconds(50)));
  first.reset();
  EXPECT_TRUE(second->Acquire(dir.dir(), std::chrono::milliseconds(0)));
  EXPECT_FALSE(DirectoryLock().Acquire(dir.dir(), std::chrono::milliseconds(0)));
  second.reset();
  EXPECT_TRUE(DirectoryLock().Acquire(dir.dir(), std::chrono::milliseconds(0)));
  // Whatever the lock is made of goes with it.
  EXPECT_TRUE(FileNames(dir.path()).empty());
  // A directory that is not there has nothing to protect.
  EXPECT_TRUE(DirectoryLock().Acquire(dir.dir() + "QRVDAT", std::chrono::milliseconds(0)));
}

// ---- Names without regard to case ----------------------------------------------------------

TEST(FileCase, ComponentsAreFoundInAnyCase) {
  TempDir dir;
  fs::create_directories(dir.path() / "Ultima Online" / "qrvdat");
  WriteBytes(dir.path() / "Ultima Online" / "uo.cfg", "a\r\n");
  const std::string game = dir.dir() + "ULTIMA ONLINE\\";
  EXPECT_TRUE(FileExists(game + "UO.CFG"));
  EXPECT_FALSE(FileExists(game + "QRVDAT"));
  EXPECT_TRUE(IsExistingDirectory(game + "QRVDAT\\"));
  EXPECT_FALSE(IsExistingDirectory(game + "UO.CFG"));
  EXPECT_EQ(std::vector<std::string>{"a"}, ReadLines(game + "uo.CFG"));
#ifdef _WIN32
  // The file system itself finds names in any case: paths stay as written.
  EXPECT_EQ(game + "QRVDAT\\UO.001", ToHostPath(game + "QRVDAT\\UO.001"));
#else
  EXPECT_EQ(dir.dir() + "Ultima Online/qrvdat/UO.001", ToHostPath(game + "QRVDAT\\UO.001"));
  EXPECT_EQ(dir.dir() + "Ultima Online/", ToHostPath(game));
#endif
  EXPECT_FALSE(CreateDirectory(game + "QRVDAT"));
  EXPECT_EQ(std::set<std::string>{"Ultima Online"}, FileNames(dir.path()));
}

TEST(FileCase, WritingANameThatExistsInAnotherCaseReplacesThatFile) {
  TempDir dir;
  fs::create_directory(dir.path() / "qrvdat");
  WriteBytes(dir.path() / "qrvdat" / "uo.001", "old\r\n");
  WriteBytes(dir.file("Macros.txt"), "m\r\n");
  WriteLines(dir.dir() + "QRVDAT/UO.001", {"new"});
  EXPECT_EQ(std::set<std::string>{"uo.001"}, FileNames(dir.path() / "qrvdat"));
  EXPECT_EQ("new\r\n", ReadBytes(dir.path() / "qrvdat" / "uo.001"));
  EXPECT_TRUE(CopyFileReplacing(dir.dir() + "QRVDAT\\UO.001", dir.dir() + "MACROS.TXT"));
  EXPECT_EQ((std::set<std::string>{"Macros.txt", "qrvdat"}), FileNames(dir.path()));
  EXPECT_EQ("new\r\n", ReadBytes(dir.file("Macros.txt")));
}

// Windows cannot hold two names that differ only in case.
#ifndef _WIN32
TEST(FileCase, TheExactNameWinsAndAmbiguityIsResolvedTheSameWayEachTime) {
  TempDir dir;
  WriteBytes(dir.file("uo.cfg"), "lower");
  WriteBytes(dir.file("UO.CFG"), "upper");
  WriteBytes(dir.file("Uo.cfg"), "mixed");
  EXPECT_EQ(std::vector<std::string>{"lower"}, ReadLines(dir.file("uo.cfg")));
  EXPECT_EQ(std::vector<std::string>{"mixed"}, ReadLines(dir.file("Uo.cfg")));
  EXPECT_EQ(std::vector<std::string>{"upper"}, ReadLines(dir.file("uO.cFg")));
}
#endif

TEST(FileCase, RelativePathsStartAtTheCurrentDirectory) {
  TempDir dir;
  fs::create_directory(dir.path() / "client.exe");
  WriteBytes(dir.path() / "client.exe" / "uo.cfg", "rel");
  const auto previous = fs::current_path();
  fs::current_path(dir.path());
  EXPECT_TRUE(FileExists("CLIENT.EXE\\UO.CFG"));
  const auto lines = ReadLines("CLIENT.EXE\\UO.CFG");
  const auto windows = ToWindowsPath("client.exe/uo.cfg");
  fs::current_path(previous);
  EXPECT_EQ(std::vector<std::string>{"rel"}, lines);
  EXPECT_EQ(ToWindowsPath(dir.dir() + "client.exe/uo.cfg"), windows);
}

TEST(FileSystem, ExecutableDirHoldsTheRunningProgram) {
  const std::string dir = ExecutableDir();
  ASSERT_FALSE(dir.empty());
#ifdef _WIN32
  EXPECT_EQ('\\', dir.back());
  EXPECT_TRUE(FileExists(dir + "quorvel_tests_platform.exe"));
#else
  EXPECT_EQ('/', dir.back());
  EXPECT_TRUE(FileExists(dir + "quorvel_tests_platform"));
#endif
}

// ---- Windows paths through the registry home's drives --------------------------------------

// On Windows the drives are the system's own.
#ifndef _WIN32

class DrivePaths : public testing::Test {
protected:
  TempDir home;
  TempDir outside;
  ScopedEnv env{"QUORVEL_REGISTRY", home.path().string()};
  const std::string h = home.path().string();

  void SetUp() override {
    ASSERT_EQ(h, RegistryHome()) << "the registry home follows QUORVEL_REGISTRY";
  }

  void MakeGame() {
    fs::create_directories(home.path() / "drive_c" / "ONLINE" / "UO");
    WriteBytes(home.path() / "drive_c" / "ONLINE" / "UO" / "uo.cfg", "game\r\n");
  }
  void MakeDosdevices() {
    fs::create_directory(home.path() / "dosdevices");
    fs::create_directory_symlink("../drive_c", home.path() / "dosdevices" / "c:");
    fs::create_directory_symlink("/", home.path() / "dosdevices" / "z:");
  }
};

TEST_F(DrivePaths, ThroughDosdevices) {
  MakeGame();
  MakeDosdevices();
  fs::create_directory_symlink(outside.path(), home.path() / "dosdevices" / "d:");
  WriteBytes(outside.path() / "Journal.Log", "j\r\n");

  EXPECT_EQ(h + "/dosdevices/c:/ONLINE/UO/uo.cfg", ToHostPath("C:\\ONLINE\\UO\\UO.CFG"));
  EXPECT_EQ(std::vector<std::string>{"game"}, ReadLines("c:\\online\\uo\\UO.CFG"));
  EXPECT_EQ(std::vector<std::string>{"j"}, ReadLines("D:/journal.log"));
  EXPECT_FALSE(FileExists("E:\\ONLINE\\UO\\UO.CFG"));
  WriteLines("C:\\ONLINE\\UO\\UO.CFG", {"saved"});
  EXPECT_EQ("saved\r\n", ReadBytes(home.path() / "drive_c" / "ONLINE" / "UO" / "uo.cfg"));

  EXPECT_EQ("C:\\ONLINE\\UO\\Journal.Log", ToWindowsPath(h + "/drive_c/ONLINE/UO/Journal.Log"));
  EXPECT_EQ("C:\\ONLINE\\UO\\", ToWindowsPath(h + "/dosdevices/c:/ONLINE/UO/"));
  EXPECT_EQ("C:\\", ToWindowsPath(h + "/drive_c"));
  EXPECT_EQ("D:\\Journal.Log", ToWindowsPath(outside.dir() + "Journal.Log"));
  EXPECT_EQ("D:\\new\\name.log", ToWindowsPath(outside.dir() + "new/name.log"));
  EXPECT_EQ("Z:\\etc\\hosts", ToWindowsPath("/etc/hosts"));
  EXPECT_EQ("C:\\ONLINE\\x.log", ToWindowsPath(h + "/drive_c/ONLINE/UO/../x.log"));
}

TEST_F(DrivePaths, ThroughDriveCWhereThereIsNoDosdevices) {
  MakeGame();
  EXPECT_EQ(h + "/drive_c/ONLINE/UO/uo.cfg", ToHostPath("C:\\ONLINE\\UO\\UO.CFG"));
  EXPECT_EQ(std::vector<std::string>{"game"}, ReadLines("C:\\ONLINE\\UO\\UO.CFG"));
  EXPECT_EQ("C:\\ONLINE\\UO\\UO.CFG", ToWindowsPath(h + "/drive_c/ONLINE/UO/UO.CFG"));
  EXPECT_FALSE(FileExists("D:\\ONLINE\\UO\\UO.CFG"));
}

TEST_F(DrivePaths, EverythingElseIsOnDriveZ) {
  WriteBytes(outside.path() / "Journal.Log", "j\r\n");
  const std::string windows = ToWindowsPath(outside.dir() + "Journal.Log");
  std::string expected = "Z:" + outside.dir() + "Journal.Log";
  std::replace(expected.begin(), expected.end(), '/', '\\');
  EXPECT_EQ(expected, windows);
  EXPECT_EQ(outside.dir() + "Journal.Log", ToHostPath(windows));
  EXPECT_EQ(std::vector<std::string>{"j"}, ReadLines(windows));
  EXPECT_EQ("Z:\\", ToWindowsPath("/"));

  // With a dosdevices that has no z: link, paths outside still come out as Z:.
  MakeGame();
  fs::create_directory(home.path() / "dosdevices");
  fs::create_directory_symlink("../drive_c", home.path() / "dosdevices" / "c:");
  EXPECT_EQ(expected, ToWindowsPath(outside.dir() + "Journal.Log"));
  EXPECT_EQ("C:\\ONLINE\\", ToWindowsPath(h + "/drive_c/ONLINE/"));
}
#endif

TEST(PathForm, WindowsFormIsADriveLetterAndAColon) {
  EXPECT_TRUE(IsWindowsPath("C:\\ONLINE\\UO\\"));
  EXPECT_TRUE(IsWindowsPath("d:/games"));
  EXPECT_FALSE(IsWindowsPath("/home/me/uo/"));
  EXPECT_FALSE(IsWindowsPath("CLIENT.EXE\\"));
  EXPECT_FALSE(IsWindowsPath("1:\\"));
  EXPECT_EQ("C:\\ONLINE\\UO\\", ToWindowsPath("C:/ONLINE/UO/"));
}

} // namespace
} // namespace qv::platform
