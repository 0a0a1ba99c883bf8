#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/MainProc.h"
#include "support/TempDir.h"
#include "support/TestRegistry.h"

// A whole installation in a temporary folder: a game directory with its three files and QRVDAT,
// a registry home that names the game, a home directory and a folder that no operation may touch.
// The environment points the program at them for the test's lifetime. On Windows the registry is
// the system's, redirected to empty keys of the test's own (TestRegistry), and the registry home
// stays empty.
namespace qv::test {

inline constexpr const char* kGameKey = "\\SOFTWARE\\Origin Worlds Online\\Ultima Online\\1.0";
inline constexpr const char* kConfigsKey = "\\SOFTWARE\\Quorvel\\UOXConfigs";

#ifndef _WIN32
// Sets an environment variable for a scope and puts the old value back.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};
#endif

class Installation {
public:
  Installation();

  const std::filesystem::path& Root() const { return tmp_.path(); }
  std::filesystem::path GamePath() const { return Root() / "game"; }
  std::filesystem::path RegistryPath() const { return Root() / "registry"; }
  std::filesystem::path OutsidePath() const { return Root() / "outside"; }
  // The game directory as the program keeps it: host form, ending in '/'.
  std::string GameDir() const { return GamePath().string() + "/"; }

  // Files below the game directory ("UO.CFG", "QRVDAT/UO.001").
  void Put(const std::string& relative, const std::string& bytes) const;
  std::string Get(const std::string& relative) const;
  bool Exists(const std::string& relative) const;

  // The registry entry through which StartUp finds the game.
  void RegisterGame(const std::string& exePath) const;
  void RegisterGame() const { RegisterGame(GameDir() + "client.exe"); }

  // A state as after start-up: StartUp, the first-run copies and the set read.
  MainState Start() const;

private:
  TempDir tmp_;
#ifdef _WIN32
  TestRegistry registry_;
#else
  ScopedEnv registry_;
  ScopedEnv home_;
  ScopedEnv config_;
  ScopedEnv prefix_;
#endif
};

// The game's three files with some content of each kind.
std::string SampleOptions();
std::string SampleMacros();
std::string SampleLogin();

// Every entry below the directory: relative path -> type, mode, size and a hash of the bytes.
using TreeSnapshot = std::map<std::string, std::string>;
TreeSnapshot SnapshotTree(const std::filesystem::path& root);
// The paths that were added, removed or changed.
std::vector<std::string> TreeChanges(const TreeSnapshot& before, const TreeSnapshot& after);

// Temporary files of atomic writes (".<name>.<8 hex>.tmp") below the directory.
std::vector<std::string> TempFilesBelow(const std::filesystem::path& root);

// The values of every key of a hive file, for comparing a hive before and after a change.
std::map<std::string, std::string> HiveContents(const std::filesystem::path& hiveFile);

// fork has no counterpart on Windows.
#ifndef _WIN32
// A child process running a function: it ends with status 0 when the function returns, 1 when it
// throws. The parent can wait for a signal the child gives (Ready) and end it (Kill, Wait).
class ChildProcess {
public:
  explicit ChildProcess(const std::function<void(ChildProcess& self)>& body);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // In the child: tells the parent that it is ready.
  void SignalReady();
  // In the parent: waits until the child signalled (true) or ended (false).
  bool WaitReady();
  void Kill();
  // The exit status, or -1 when the child was killed.
  int Wait();

private:
  int pid_ = -1;
  int ready_[2] = {-1, -1};
  bool waited_ = false;
  int status_ = -1;
};
#endif

} // namespace qv::test
