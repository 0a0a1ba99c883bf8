#include "platform/GameProcess.h"

#include <gtest/gtest.h>

#ifndef _WIN32

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A process running `file` with the given arguments (argv[0] first), killed when the object goes.
class Running {
public:
  Running(const fs::path& file, std::vector<std::string> argv) : argv_(std::move(argv)) {
    std::vector<char*> args;
    for (std::string& arg : argv_)
      args.push_back(arg.data());
    args.push_back(nullptr);
    if (::posix_spawn(&pid_, file.c_str(), nullptr, nullptr, args.data(), environ) != 0)
      pid_ = -1;
    struct stat wanted;
    if (::stat(file.c_str(), &wanted) != 0)
      return;
    // Its command line and executable are final once it runs the file and shows its arguments:
    // the kernel sets the executable a moment before the command line.
    const std::string proc = "/proc/" + std::to_string(pid_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
      struct stat now;
      std::ifstream cmdline(proc + "/cmdline");
      std::string first;
      std::getline(cmdline, first, '\0');
      if (::stat((proc + "/exe").c_str(), &now) == 0 && now.st_dev == wanted.st_dev &&
          now.st_ino == wanted.st_ino && first == argv_.front()) {
        started_ = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~Running() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

  bool started() const { return started_; }

private:
  std::vector<std::string> argv_;
  pid_t pid_ = -1;
  bool started_ = false;
};

TEST(GameProcessTest, TheClientOfThisGameDirectoryIsFoundAsWineOrNativeAndOneElsewhereIsNot) {
  TempDir prefix;
  ::setenv("QUORVEL_REGISTRY", prefix.path().c_str(), 1);
  const fs::path game = prefix.path() / "drive_c" / "Games" / "Ultima Online";
  const fs::path other = prefix.path() / "drive_c" / "Other";
  const fs::path sleep = fs::canonical("/bin/sleep");
  for (const fs::path& dir : {game, other}) {
    fs::create_directories(dir);
    fs::copy_file(sleep, dir / "client.exe");
  }
  // The registry's value in either form.
  const std::vector<std::string> exePaths = {"C:\\Games\\Ultima Online\\client.exe",
                                             (game / "client.exe").string()};
  {
    // The same name in another directory: its path on the command line and as its executable.
    Running elsewhere(other / "client.exe", {(other / "client.exe").string(), "30"});
    ASSERT_TRUE(elsewhere.started());
    for (const std::string& exePath : exePaths)
      EXPECT_FALSE(HostIsGameRunning(exePath)) << exePath;
  }
  {
    // Under Wine the command line holds the Windows path, spelled as the user typed it.
    Running wine(sleep, {"C:\\GAMES\\ultima online\\CLIENT.EXE", "30"});
    ASSERT_TRUE(wine.started());
    for (const std::string& exePath : exePaths)
      EXPECT_TRUE(HostIsGameRunning(exePath)) << exePath;
  }
  {
    // Natively only the executable tells.
    Running native(game / "client.exe", {"uo", "30"});
    ASSERT_TRUE(native.started());
    for (const std::string& exePath : exePaths)
      EXPECT_TRUE(HostIsGameRunning(exePath)) << exePath;
  }
  EXPECT_FALSE(HostIsGameRunning(exePaths[0]));
  ::unsetenv("QUORVEL_REGISTRY");
}

} // namespace
} // namespace qv::platform

#endif // !_WIN32
