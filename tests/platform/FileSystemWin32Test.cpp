// What the Win32 file API adds to the atomic writes: attributes to keep, and other programs
// holding the files open.
#include "platform/FileSystem.h"

#include <set>

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/Error.h"
#include "support/TempDir.h"

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using test::FileNames;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

bool UnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Another program's handle on a file, opened with the sharing it allows others.
class OpenedElsewhere {
public:
  OpenedElsewhere(const fs::path& file, DWORD share)
      : handle_(CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~OpenedElsewhere() {
    if (handle_ != INVALID_HANDLE_VALUE)
      CloseHandle(handle_);
  }
  OpenedElsewhere(const OpenedElsewhere&) = delete;
  OpenedElsewhere& operator=(const OpenedElsewhere&) = delete;
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
  HANDLE handle_;
};

TEST(AtomicWriteWin32, ReplacedFileKeepsItsAttributes) {
  TempDir dir;
  const std::string file = dir.file("UO.CFG");
  WriteBytes(file, "old");
  const std::wstring wide = fs::path(file).wstring();
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  WriteLines(file, {"new"});
  EXPECT_TRUE(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(CopyFileReplacing(file, file));
  EXPECT_TRUE(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ("new\r\n", ReadBytes(file));
  EXPECT_EQ(std::set<std::string>{"UO.CFG"}, FileNames(dir.path()));
}

// The game, while it runs, may hold its files open: the write fails cleanly and the next one,
// once the file is free, goes through.
TEST(AtomicWriteWin32, TargetOpenWithoutSharingIsLeftAsItWasWithNoTemporaryFile) {
  TempDir dir;
  const std::string file = dir.file("UO.CFG");
  WriteBytes(file, "old\r\n");
  WriteBytes(dir.file("UO.001"), "set\r\n");
  {
    OpenedElsewhere game(file, 0);
    ASSERT_TRUE(game.IsOpen());
    EXPECT_THROW(WriteLines(file, {"new"}), Error);
    EXPECT_FALSE(CopyFileReplacing(dir.file("UO.001"), file));
  }
  EXPECT_EQ("old\r\n", ReadBytes(file));
  std::set<std::string> names = FileNames(dir.path());
  if (UnderWine()) {
    // Wine's ReplaceFileW first makes an empty "rf<hex>.tmp" (GetTempFileName) to move the
    // target aside to, and leaves it when the target cannot be moved; Windows makes no such file.
    std::erase_if(names, [](const std::string& name) {
      return name.size() > 6 && name.starts_with("rf") && name.ends_with(".tmp") &&
             name.find_first_not_of("0123456789abcdefABCDEF", 2) == name.size() - 4;
    });
  }
  EXPECT_EQ((std::set<std::string>{"UO.001", "UO.CFG"}), names);
  WriteLines(file, {"new"});
  EXPECT_EQ("new\r\n", ReadBytes(file));
}

} // namespace
} // namespace qv::platform
