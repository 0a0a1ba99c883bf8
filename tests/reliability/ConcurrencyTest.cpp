// Several writers at once: two processes changing one hive, a running wineserver, two program
// windows saving the same game.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "ReliabilitySupport.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/WineHive.h"
#include "settings/KVXFile.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// Processes made with fork, and the hive files and wineserver of the Wine registry.
#ifndef _WIN32
constexpr const char* kWritersKey = "\\SOFTWARE\\Quorvel\\Writers";

TEST(ConcurrentWriters, TwoProcessesWritingOneHiveLoseNothing) {
  Installation inst;
  inst.RegisterGame();
  // Each writes 500 times over 50 values of its own: at the end each value must hold the last
  // number written to it.
  constexpr int kWrites = 500;
  constexpr int kNames = 50;
  auto writer = [&](const std::string& who) {
    return [who](ChildProcess& self) {
      self.SignalReady();
      TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
      for (int i = 0; i < kWrites; ++i)
        store.WriteNumber(kWritersKey, who + std::to_string(i % kNames), i);
    };
  };
  ChildProcess first(writer("First"));
  ChildProcess second(writer("Second"));
  ASSERT_TRUE(first.WaitReady());
  ASSERT_TRUE(second.WaitReady());
  ASSERT_EQ(first.Wait(), 0);
  ASSERT_EQ(second.Wait(), 0);

  const std::string text = ReadBytes(inst.RegistryPath() / "system.reg");
  platform::WineHive hive(text, u"\\Registry\\Machine");
  ASSERT_TRUE(hive.IsValid());
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  for (const char* who : {"First", "Second"})
    for (int k = 0; k < kNames; ++k)
      EXPECT_EQ(store.ReadNumber(kWritersKey, who + std::to_string(k), -1), kWrites - kNames + k)
          << who << k;
  // And the game's entry is still there.
  EXPECT_EQ(store.ReadText(kGameKey, "ExePath", ""), inst.GameDir() + "client.exe");
}

// The lock a running wineserver holds: a write lock on byte 0 of the lock file in its server
// directory, named after the prefix's device and inode.
class Wineserver {
public:
  explicit Wineserver(const fs::path& prefix) {
    struct stat st;
    if (::stat(prefix.c_str(), &st) != 0)
      throw std::runtime_error("no prefix");
    char dir[160];
    std::snprintf(dir, sizeof dir, "/tmp/.wine-%u/server-%llx-%llx", unsigned(::getuid()),
                  static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    dir_ = dir;
    fs::create_directories(dir_);
    const fs::path lock = dir_ / "lock";
    server_ = std::make_unique<ChildProcess>([lock](ChildProcess& self) {
      int fd = ::open(lock.c_str(), O_RDWR | O_CREAT, 0600);
      struct flock region = {};
      region.l_type = F_WRLCK;
      region.l_whence = SEEK_SET;
      region.l_start = 0;
      region.l_len = 1;
      if (fd < 0 || ::fcntl(fd, F_SETLK, &region) != 0)
        throw std::runtime_error("cannot lock");
      self.SignalReady();
      for (;;)
        ::pause();
    });
    if (!server_->WaitReady())
      throw std::runtime_error("the server did not start");
  }
  ~Wineserver() {
    Stop();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  void Stop() {
    server_->Kill();
    server_->Wait();
  }

private:
  fs::path dir_;
  std::unique_ptr<ChildProcess> server_;
};

TEST(ConcurrentWriters, RunningWineserverRefusesChangesAndTheHiveStaysAsItWas) {
  Installation inst;
  inst.RegisterGame();
  const fs::path hive = inst.RegistryPath() / "system.reg";
  const std::string before = ReadBytes(hive);
  Wineserver server(inst.RegistryPath());
  {
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    try {
      store.WriteText(kConfigsKey, "Current", "Another Set");
      ADD_FAILURE() << "written while the wineserver runs";
    } catch (const Error& error) {
      const std::string text = error.what();
      EXPECT_EQ(text.substr(0, text.find('(')),
                "Failed to set data for 'Current'\nWine is running for the prefix " +
                    inst.RegistryPath().string() + " ");
    }
    // Reading goes on as usual.
    EXPECT_EQ(store.ReadText(kGameKey, "ExePath", ""), inst.GameDir() + "client.exe");
  }
  EXPECT_EQ(ReadBytes(hive), before);

  server.Stop();
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  store.WriteText(kConfigsKey, "Current", "Another Set");
  EXPECT_EQ(store.ReadText(kConfigsKey, "Current", ""), "Another Set");
}

#endif

// A second window on the same game: its save of the set files waits for the first one's.
#ifdef _WIN32
// Without fork the other window is a thread: the Win32 lock, a file opened without sharing, keeps
// out every other opener, in this process too.
class SetLockHolder {
public:
  SetLockHolder(const std::string& qrvdat, std::chrono::milliseconds hold)
      : thread_([this, qrvdat, hold] {
          platform::DirectoryLock lock;
          held_ = lock.Acquire(qrvdat, std::chrono::milliseconds(0));
          ready_.set_value(held_);
          std::unique_lock guard(mutex_);
          stopped_.wait_for(guard, hold, [this] { return stop_; });
        }) {}
  ~SetLockHolder() {
    {
      std::lock_guard guard(mutex_);
      stop_ = true;
    }
    stopped_.notify_all();
    if (thread_.joinable())
      thread_.join();
  }
  SetLockHolder(const SetLockHolder&) = delete;
  SetLockHolder& operator=(const SetLockHolder&) = delete;

  bool WaitReady() { return ready_.get_future().get(); }
  // 0 once the hold ended after the lock was held, as a child's exit status.
  int Wait() {
    thread_.join();
    return held_ ? 0 : 1;
  }

private:
  std::promise<bool> ready_;
  bool held_ = false;
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stop_ = false;
  std::thread thread_;
};

SetLockHolder HoldSetLock(const Installation& inst, std::chrono::milliseconds hold) {
  return SetLockHolder((inst.GamePath() / "QRVDAT").string(), hold);
}
#else
ChildProcess HoldSetLock(const Installation& inst, std::chrono::milliseconds hold) {
  const std::string qrvdat = (inst.GamePath() / "QRVDAT").string();
  return ChildProcess([qrvdat, hold](ChildProcess& self) {
    platform::DirectoryLock lock;
    if (!lock.Acquire(qrvdat, std::chrono::milliseconds(0)))
      throw std::runtime_error("locked");
    self.SignalReady();
    std::this_thread::sleep_for(hold);
  });
}
#endif

TEST(ConcurrentWriters, SecondWindowsSaveWaitsForTheFirstOne) {
  Installation inst;
  inst.RegisterGame();
  MainState state = inst.Start();
  state.soundVol = 42;
  auto other = HoldSetLock(inst, std::chrono::milliseconds(400));
  ASSERT_TRUE(other.WaitReady());
  EXPECT_TRUE(SaveCurrentSet(state));
  EXPECT_EQ(other.Wait(), 0);
  EXPECT_NE(inst.Get("UO.CFG").find("SoundVol=42\r\n"), std::string::npos);
}

TEST(ConcurrentWriters, SaveReportsCannotCreateFileWhileAnotherWindowHoldsTheSet) {
  Installation inst;
  inst.RegisterGame();
  MainState state = inst.Start();
  state.soundVol = 42;
  auto other = HoldSetLock(inst, std::chrono::seconds(30));
  ASSERT_TRUE(other.WaitReady());
  // After the other window took the lock: on Windows its lock is a file in QRVDAT.
  const auto before = SnapshotTree(inst.GamePath());
  try {
    SaveCurrentSet(state);
    ADD_FAILURE() << "saved while another window saves";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot create file " + inst.GameDir() + "QRVDAT/UO.001");
  }
  EXPECT_EQ(TreeChanges(before, SnapshotTree(inst.GamePath())), std::vector<std::string>{});
}

// Two saving processes.
#ifndef _WIN32
TEST(ConcurrentWriters, TwoWindowsSavingAtOnceNeverMixTheirSets) {
  Installation inst;
  inst.RegisterGame();
  const MainState start = inst.Start();
  auto window = [&](int soundVol, const std::string& server, const std::string& macroKey) {
    return [=](ChildProcess& self) {
      MainState mine = start;
      mine.soundVol = soundVol;
      mine.servers[0] = server;
      AppendMacro(mine, MacroPanel{macroKey, -1, false, false, false, {{"Bow", -1, "", -1}}, {}});
      self.SignalReady();
      for (int i = 0; i < 25; ++i) {
        MainState state = mine;
        if (!SaveCurrentSet(state))
          throw std::runtime_error("not installed");
      }
    };
  };
  ChildProcess first(window(11, "first.example.net", "F11"));
  ChildProcess second(window(22, "second.example.net", "F12"));
  ASSERT_TRUE(first.WaitReady());
  ASSERT_TRUE(second.WaitReady());

  // Looked at between two saves (holding the lock as a third window would), the six files always
  // belong to one window's save.
  auto consistent = [&] {
    const std::string files[] = {inst.Get("UO.CFG"),           inst.Get("LOGIN.CFG"),
                                 inst.Get("MACROS.TXT"),       inst.Get("QRVDAT/UO.001"),
                                 inst.Get("QRVDAT/LOGIN.001"), inst.Get("QRVDAT/MACROS.001")};
    int firsts = 0, seconds = 0;
    firsts += files[0].find("SoundVol=11\r\n") != std::string::npos;
    firsts += files[1].find("=first.example.net,") != std::string::npos;
    firsts += files[2].find("F11 0 0 0\r\n") != std::string::npos;
    firsts += files[3].find("SoundVol=11\r\n") != std::string::npos;
    firsts += files[4].find("=first.example.net,") != std::string::npos;
    firsts += files[5].find("F11 0 0 0\r\n") != std::string::npos;
    seconds += files[0].find("SoundVol=22\r\n") != std::string::npos;
    seconds += files[1].find("=second.example.net,") != std::string::npos;
    seconds += files[2].find("F12 0 0 0\r\n") != std::string::npos;
    seconds += files[3].find("SoundVol=22\r\n") != std::string::npos;
    seconds += files[4].find("=second.example.net,") != std::string::npos;
    seconds += files[5].find("F12 0 0 0\r\n") != std::string::npos;
    return firsts == 0 || seconds == 0;
  };
  const std::string qrvdat = (inst.GamePath() / "QRVDAT").string();
  for (int look = 0; look < 40; ++look) {
    {
      platform::DirectoryLock lock;
      ASSERT_TRUE(lock.Acquire(qrvdat, std::chrono::seconds(10)));
      ASSERT_TRUE(consistent()) << "look " << look;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(second.Wait(), 0);
  EXPECT_TRUE(consistent());
}
#endif

} // namespace
} // namespace qv::test
