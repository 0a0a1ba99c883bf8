#include "platform/GameProcess.h"

#include <gtest/gtest.h>

#ifndef _WIN32

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
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
using test::WriteBytes;

// A process running `file` with the given arguments (argv[0] first) in the given environment
// (the test's own when none), its output dropped; killed when the object goes.
class Running {
public:
  Running(const fs::path& file, std::vector<std::string> argv,
          std::optional<std::vector<std::string>> env = std::nullopt)
      : argv_(std::move(argv)) {
    std::vector<char*> args;
    for (std::string& arg : argv_)
      args.push_back(arg.data());
    args.push_back(nullptr);
    std::vector<char*> vars;
    if (env) {
      env_ = std::move(*env);
      for (std::string& var : env_)
        vars.push_back(var.data());
      vars.push_back(nullptr);
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (::posix_spawn(&pid_, file.c_str(), &actions, nullptr, args.data(),
                      env ? vars.data() : environ) != 0)
      pid_ = -1;
    ::posix_spawn_file_actions_destroy(&actions);
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
  // Not ended yet: a process that is gone is no evidence of what was not counted.
  bool alive() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
  std::vector<std::string> argv_;
  std::vector<std::string> env_;
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
    // Under Wine argv[0] holds the Windows path, spelled as the user typed it.
    Running wine(sleep, {"C:\\GAMES\\ultima online\\CLIENT.EXE", "30"},
                 {{"WINEPREFIX=" + prefix.path().string()}});
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

TEST(GameProcessTest, AWineProgramCountsOnlyInThisPrefixAndOnlyAsTheProgramItRuns) {
  // This prefix and another with the same game directory: the same Windows path names a client
  // in each.
  TempDir prefix;
  TempDir other;
  ::setenv("QUORVEL_REGISTRY", prefix.path().c_str(), 1);
  for (const TempDir* dir : {&prefix, &other}) {
    const fs::path game = dir->path() / "drive_c" / "Games" / "Ultima Online";
    fs::create_directories(game);
    WriteBytes(game / "client.exe", "MZ");
  }
  // Homes whose ~/.wine is the one prefix or the other, for a process without WINEPREFIX.
  TempDir homes;
  fs::create_directories(homes.path() / "this");
  fs::create_directories(homes.path() / "other");
  fs::create_directory_symlink(prefix.path(), homes.path() / "this" / ".wine");
  fs::create_directory_symlink(other.path(), homes.path() / "other" / ".wine");
  const std::string thisHome = "HOME=" + (homes.path() / "this").string();
  const std::string exePath = "C:\\Games\\Ultima Online\\client.exe";
  const fs::path sleep = fs::canonical("/bin/sleep");
  {
    // The client of the other prefix; WINEPREFIX decides before HOME, as for Wine.
    Running namesake(sleep, {exePath, "30"}, {{"WINEPREFIX=" + other.path().string(), thisHome}});
    ASSERT_TRUE(namesake.started());
    EXPECT_FALSE(HostIsGameRunning(exePath));
  }
  {
    Running ours(sleep, {exePath, "30"}, {{"WINEPREFIX=" + prefix.path().string() + "/"}});
    ASSERT_TRUE(ours.started());
    EXPECT_TRUE(HostIsGameRunning(exePath));
  }
  {
    // Without WINEPREFIX, Wine uses ~/.wine of the process's own HOME, not of ours.
    Running byHome(sleep, {exePath, "30"}, {{thisHome}});
    ASSERT_TRUE(byHome.started());
    EXPECT_TRUE(HostIsGameRunning(exePath));
  }
  {
    Running byOtherHome(sleep, {exePath, "30"}, {{"HOME=" + (homes.path() / "other").string()}});
    ASSERT_TRUE(byOtherHome.started());
    EXPECT_FALSE(HostIsGameRunning(exePath));
  }
  {
    // Another program of this prefix with the path as its data, as `wine reg add ... /d <path>`
    // shows it.
    Running reg(fs::canonical("/usr/bin/tail"),
                {"C:\\windows\\system32\\reg.exe", "-f", "/dev/null", "-s", "30", exePath},
                {{"WINEPREFIX=" + prefix.path().string()}});
    ASSERT_TRUE(reg.started());
    EXPECT_FALSE(HostIsGameRunning(exePath));
    EXPECT_TRUE(reg.alive());
  }
  ::unsetenv("QUORVEL_REGISTRY");
}

} // namespace
} // namespace qv::platform

#endif // !_WIN32
