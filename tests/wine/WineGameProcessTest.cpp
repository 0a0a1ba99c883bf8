// Whether the game's client runs, asked of real Wine processes on the shared prefix
// (tests/wine/make-prefix): the command line and the environment as Debian's Wine gives them to a
// running Windows program and to the programs that program starts.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "WineSupport.h"
#include "platform/GameProcess.h"
#include "support/TempDir.h"

extern char** environ;

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// Wine starts slowly on a busy machine; this only bounds a wait that fails the test.
constexpr auto kWineStart = std::chrono::seconds(120);

// The test's environment; with a home given, without WINEPREFIX and with that HOME.
std::vector<std::string> Environment(const std::string& home = {}) {
  std::vector<std::string> env;
  for (char** var = environ; *var; ++var) {
    const std::string_view entry = *var;
    if (home.empty() || !(entry.starts_with("WINEPREFIX=") || entry.starts_with("HOME=")))
      env.emplace_back(entry);
  }
  if (!home.empty())
    env.push_back("HOME=" + home);
  return env;
}

// `wine <args>` as a user starts it in the directory, its input a pipe the test holds open (Wine's
// cmd.exe waits on it), its output dropped. Ended with its input closed, and killed.
class WineProgram {
public:
  WineProgram(std::vector<std::string> args, std::vector<std::string> env,
              const fs::path& dir = fs::current_path())
      : args_(std::move(args)), env_(std::move(env)) {
    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0)
      return;
    input_ = input[1];
    std::vector<char*> argv = {const_cast<char*>("wine")};
    for (std::string& arg : args_)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& var : env_)
      envp.push_back(var.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    ::posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    if (::posix_spawnp(&pid_, "wine", &actions, nullptr, argv.data(), envp.data()) != 0)
      pid_ = -1;
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
  }
  ~WineProgram() {
    if (input_ >= 0)
      ::close(input_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  WineProgram(const WineProgram&) = delete;
  WineProgram& operator=(const WineProgram&) = delete;

  // The process's name: Wine sets it to the program's file name when it has put the program's
  // command line in the place of its own.
  std::string Name() const {
    std::ifstream comm("/proc/" + std::to_string(pid_) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
  }
  bool Alive() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
  std::vector<std::string> args_;
  std::vector<std::string> env_;
  pid_t pid_ = -1;
  int input_ = -1;
};

template <typename Condition> bool WaitFor(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + kWineStart;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

class WineClient : public ::testing::Test {
protected:
  void SetUp() override {
    prefix = SuiteWinePrefix();
    if (prefix.empty())
      GTEST_SKIP() << kNoWinePrefix;
    // The program's registry home is the prefix, found as a user's would be.
    ::setenv("WINEPREFIX", prefix.c_str(), 1);
    ::setenv("WINEDEBUG", "-all", 1);
    ::unsetenv("QUORVEL_REGISTRY");
    StopWine();
    // A Windows console program in the client's place; it stays while its input stays open.
    game = prefix / "drive_c" / "Games" / "Ultima Online";
    fs::create_directories(game);
    fs::copy_file(prefix / "drive_c" / "windows" / "system32" / "cmd.exe", game / "client.exe",
                  fs::copy_options::overwrite_existing);
  }

  void TearDown() override {
    if (!prefix.empty()) {
      // Ends every process of the prefix, those that Wine started too.
      StopWine();
      fs::remove_all(prefix / "drive_c" / "Games");
    }
    ::unsetenv("WINEPREFIX");
  }

  static void StopWine() {
    const int stopped = std::system("wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1");
    static_cast<void>(stopped);
  }

  fs::path prefix;
  fs::path game;
};

TEST_F(WineClient, OnlyTheProgramThatRunsCountsWhetherWineFindsThePrefixByWineprefixOrByHome) {
  const std::string exePath = "C:\\Games\\Ultima Online\\client.exe";
  const std::string hostPath = (game / "client.exe").string();
  {
    // Another program of the prefix with the client's path as its data.
    WineProgram other({"C:\\windows\\system32\\cmd.exe", "/k", "echo", exePath}, Environment());
    ASSERT_TRUE(WaitFor([&] { return other.Name() == "cmd.exe"; })) << other.Name();
    EXPECT_FALSE(platform::HostIsGameRunning(exePath));
    EXPECT_FALSE(platform::HostIsGameRunning(hostPath));
    EXPECT_TRUE(other.Alive());
  }
  {
    // The client, spelled otherwise than the registry has it.
    WineProgram client({"c:\\GAMES\\ultima online\\CLIENT.EXE"}, Environment());
    EXPECT_TRUE(WaitFor([&] { return platform::HostIsGameRunning(exePath); }));
    EXPECT_TRUE(platform::HostIsGameRunning(hostPath));
  }
  {
    // Started from the game's directory by its file name alone: Wine leaves the name as it is.
    WineProgram client({"client.exe"}, Environment(), game);
    EXPECT_TRUE(WaitFor([&] { return platform::HostIsGameRunning(exePath); }));
  }
  StopWine();
  EXPECT_FALSE(platform::HostIsGameRunning(exePath));
  {
    // Started by another Windows program, as the game's launcher starts it, in a prefix that
    // Wine finds as ~/.wine: what it shows of the prefix is only the HOME it inherits.
    TempDir home;
    fs::create_directory_symlink(prefix, home.path() / ".wine");
    WineProgram launcher({"C:\\windows\\system32\\cmd.exe", "/c", exePath},
                         Environment(home.path().string()));
    EXPECT_TRUE(WaitFor([&] { return platform::HostIsGameRunning(exePath); }));
    StopWine();
  }
}

} // namespace
} // namespace qv::test
