#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <set>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SampleHive.h"
#include "platform/FileFaults.h"
#include "support/TempDir.h"

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using test::kSampleSystemReg;
using test::ReadBytes;
using test::WriteBytes;

constexpr const char* kGameKey = "\\SOFTWARE\\Origin Worlds Online\\Ultima Online\\1.0";

// Sets (or removes) an environment variable for the length of a test.
class ScopedEnv {
public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name))
      old_ = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  const char* name_;
  std::optional<std::string> old_;
};

std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  return names;
}

class RegistryWine : public ::testing::Test {
protected:
  test::TempDir tmp;
  fs::path home = tmp.path() / "prefix";
  ScopedEnv env{"QUORVEL_REGISTRY", home.string()};
  std::unique_ptr<Registry> registry = OpenRegistry();

  fs::path System() const { return home / "system.reg"; }
  void InstallSample() {
    fs::create_directories(home);
    WriteBytes(System(), kSampleSystemReg);
  }
  std::string ReadText(RootKey root, const std::string& path, const std::string& name) {
    auto key = registry->OpenKey(root, path, Registry::Access::Read);
    if (!key)
      return "<no key>";
    auto value = key->QueryValue(name);
    if (!value)
      return "<no value>";
    return DecodeRegString(value->data);
  }
};

TEST_F(RegistryWine, ReadsTheGameEntryWhereTheInstallerPutIt) {
  InstallSample();
  auto key = registry->OpenKey(RootKey::LocalMachine, kGameKey, Registry::Access::Read);
  ASSERT_TRUE(key);
  auto exe = key->QueryValue("exepath");
  ASSERT_TRUE(exe);
  EXPECT_EQ(exe->type, kRegSz);
  EXPECT_EQ(DecodeRegString(exe->data), "C:\\Program Files (x86)\\Ultima Online\\client.exe");
  EXPECT_EQ(ReadText(RootKey::LocalMachine, "software\\origin worlds online\\ULTIMA ONLINE\\1.0",
                     "Upgraded"),
            "Yes");
  EXPECT_FALSE(key->QueryValue("Missing"));
  EXPECT_EQ(ReadText(RootKey::ClassesRoot, "CLSID\\{0000002F-0000-0000-C000-000000000046}", ""),
            "CLSID_RecordInfo");
  auto fonts = registry->OpenKey(RootKey::CurrentConfig, "Software\\Fonts", Registry::Access::Read);
  ASSERT_TRUE(fonts);
  EXPECT_EQ(fonts->QueryValue("LogPixels")->data, RegValue::Dword(96).data);
}

TEST_F(RegistryWine, WriteChangesNothingElse) {
  InstallSample();
  auto key = registry->CreateKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs");
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->SetValue("Current", RegValue::Text("Original Configuration")));

  std::string text = ReadBytes(System());
  std::regex added("\n\\[Software\\\\\\\\Wow6432Node\\\\\\\\Quorvel\\\\\\\\UOXConfigs\\] [0-9]+\n"
                   "#time=[0-9a-f]+\n\"Current\"=\"Original Configuration\"\n");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(text, match, added)) << text;
  EXPECT_EQ(text.substr(0, std::size_t(match.position(0))) + match.suffix().str(),
            kSampleSystemReg);
  EXPECT_EQ(
      ReadText(RootKey::LocalMachine, "\\Software\\Wow6432Node\\Quorvel\\UOXConfigs", "CURRENT"),
      "Original Configuration");
}

TEST_F(RegistryWine, MissingKeyGivesNothingAndCreatesNothing) {
  EXPECT_FALSE(registry->OpenKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs",
                                 Registry::Access::Full));
  EXPECT_FALSE(registry->DeleteKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs"));
  EXPECT_FALSE(fs::exists(home));

  InstallSample();
  auto before = Listing(home);
  EXPECT_FALSE(
      registry->OpenKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel", Registry::Access::Read));
  EXPECT_FALSE(registry->DeleteKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs"));
  EXPECT_EQ(Listing(home), before);
  EXPECT_EQ(ReadBytes(System()), kSampleSystemReg);
}

TEST_F(RegistryWine, FirstWriteCreatesHomeHiveAndWholePath) {
  auto key = registry->CreateKey(RootKey::LocalMachine,
                                 "\\SOFTWARE\\Quorvel\\UOXConfigs\\Original Configuration");
  ASSERT_TRUE(key);
  std::string text = ReadBytes(System());
  EXPECT_EQ(text.rfind("WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
                       "#arch=win64\n\n[SOFTWARE\\\\Quorvel\\\\UOXConfigs\\\\Original "
                       "Configuration] ",
                       0),
            0u)
      << text;
  for (const char* path : {"\\SOFTWARE", "\\SOFTWARE\\Quorvel", "\\SOFTWARE\\Quorvel\\UOXConfigs"})
    EXPECT_TRUE(registry->OpenKey(RootKey::LocalMachine, path, Registry::Access::Read)) << path;
  auto configs = registry->OpenKey(RootKey::LocalMachine, "\\SOFTWARE\\QUORVEL\\UOXCONFIGS",
                                   Registry::Access::Full);
  ASSERT_TRUE(configs);
  EXPECT_EQ(configs->SubKeyNames(), std::vector<std::string>{"Original Configuration"});
  EXPECT_TRUE(key->SubKeyNames().empty());
  // Creating it again changes nothing.
  EXPECT_TRUE(registry->CreateKey(RootKey::LocalMachine,
                                  "\\SOFTWARE\\Quorvel\\UOXConfigs\\Original Configuration"));
  EXPECT_EQ(ReadBytes(System()), text);
}

TEST_F(RegistryWine, ValueTypesRoundTrip) {
  InstallSample();
  std::vector<RegValue> values = {
      RegValue::Text("C:\\Program Files (x86)\\Ultima Online\\"),
      RegValue::Text("%ProgramFiles%\\Caf\u00e9", kRegExpandSz),
      RegValue::Dword(0xFFFFFFFE),
      RegValue{kRegBinary, {0, 1, 2, 0xFF}},
      RegValue{kRegMultiSz, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
      RegValue{11, {1, 2, 3, 4, 5, 6, 7, 8}},
      RegValue{kRegNone, {}},
  };
  {
    auto key = registry->CreateKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel");
    ASSERT_TRUE(key);
    for (std::size_t i = 0; i < values.size(); ++i)
      ASSERT_TRUE(key->SetValue("V" + std::to_string(i), values[i]));
  }
  auto key =
      OpenRegistry()->OpenKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel", Registry::Access::Read);
  ASSERT_TRUE(key);
  for (std::size_t i = 0; i < values.size(); ++i) {
    auto value = key->QueryValue("v" + std::to_string(i));
    ASSERT_TRUE(value) << i;
    EXPECT_EQ(value->type, values[i].type) << i;
    EXPECT_EQ(value->data, values[i].data) << i;
  }
  EXPECT_EQ(DecodeRegString(key->QueryValue("V1")->data), "%ProgramFiles%\\Caf\u00e9");
}

TEST_F(RegistryWine, ReadAccessRefusesWrites) {
  InstallSample();
  auto key = registry->OpenKey(RootKey::LocalMachine, kGameKey, Registry::Access::Read);
  ASSERT_TRUE(key);
  EXPECT_FALSE(key->SetValue("ExePath", RegValue::Text("x")));
  EXPECT_EQ(ReadBytes(System()), kSampleSystemReg);
}

TEST_F(RegistryWine, DeleteRemovesOnlyLeafKeys) {
  InstallSample();
  ASSERT_TRUE(registry->CreateKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs\\Set"));
  EXPECT_FALSE(registry->DeleteKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs"));
  EXPECT_TRUE(registry->DeleteKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs\\Set"));
  EXPECT_FALSE(registry->DeleteKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs\\Set"));
  auto configs = registry->OpenKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs",
                                   Registry::Access::Read);
  ASSERT_TRUE(configs); // stays, empty
  EXPECT_TRUE(configs->SubKeyNames().empty());
  EXPECT_TRUE(registry->DeleteKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs"));
  EXPECT_TRUE(registry->DeleteKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel"));
  EXPECT_EQ(ReadBytes(System()), kSampleSystemReg);
  EXPECT_FALSE(registry->DeleteKey(RootKey::LocalMachine, ""));
}

TEST_F(RegistryWine, OtherRootsAndTheirFiles) {
  InstallSample();
  ASSERT_TRUE(registry->CreateKey(RootKey::CurrentUser, "Software\\Quorvel")
                  ->SetValue("Font", RegValue::Text("Courier New")));
  EXPECT_EQ(ReadBytes(home / "user.reg")
                .rfind("WINE REGISTRY Version 2\n;; All keys relative to "
                       "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n",
                       0),
            0u);
  auto users = registry->OpenKey(RootKey::Users, "", Registry::Access::Read);
  ASSERT_TRUE(users);
  EXPECT_EQ(users->SubKeyNames(), (std::vector<std::string>{".Default", "S-1-5-21-0-0-0-1000"}));
  EXPECT_EQ(ReadText(RootKey::Users, "S-1-5-21-0-0-0-1000\\Software\\Quorvel", "Font"),
            "Courier New");

  ASSERT_TRUE(registry->CreateKey(RootKey::Users, ".DEFAULT\\Software\\Quorvel")
                  ->SetValue("Font", RegValue::Text("Arial")));
  EXPECT_EQ(ReadText(RootKey::Users, ".Default\\Software\\Quorvel", "Font"), "Arial");
  EXPECT_NE(ReadBytes(home / "userdef.reg").find("REGISTRY\\\\User\\\\.Default"),
            std::string::npos);
  EXPECT_FALSE(registry->CreateKey(RootKey::Users, "S-1-5-18\\Software"));

  ASSERT_TRUE(registry->CreateKey(RootKey::ClassesRoot, "quorvelfile")
                  ->SetValue("", RegValue::Text("Quorvel set")));
  EXPECT_NE(ReadBytes(System()).find("[Software\\\\Classes\\\\Wow6432Node\\\\quorvelfile]"),
            std::string::npos);

  auto before = Listing(home);
  EXPECT_FALSE(registry->OpenKey(RootKey::DynData, "", Registry::Access::Read));
  EXPECT_FALSE(registry->CreateKey(RootKey::DynData, "PerfStats"));
  EXPECT_EQ(Listing(home), before);
}

TEST_F(RegistryWine, ForeignFileIsNeitherReadNorWritten) {
  fs::create_directories(home);
  const std::string regedit = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel]\n\"A\"=\"1\"\n";
  WriteBytes(System(), regedit);
  EXPECT_FALSE(
      registry->OpenKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel", Registry::Access::Read));
  EXPECT_FALSE(registry->CreateKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel"));
  EXPECT_EQ(ReadBytes(System()), regedit);
}

TEST_F(RegistryWine, FailedWriteLeavesTheHiveAsItWas) {
  InstallSample();
  auto key = registry->CreateKey(RootKey::LocalMachine, kGameKey);
  ASSERT_TRUE(key);
  auto before = Listing(home);
  {
    ScopedFileFaultHook fault(
        [](FileStep step, const std::string&) { return step == FileStep::Write ? ENOSPC : 0; });
    EXPECT_FALSE(key->SetValue("Upgraded", RegValue::Text("No")));
    EXPECT_FALSE(registry->CreateKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel"));
  }
  {
    // A hive that cannot be read is never replaced by what little is known of it.
    ScopedFileFaultHook fault(
        [](FileStep step, const std::string&) { return step == FileStep::Open ? EACCES : 0; });
    EXPECT_FALSE(registry->CreateKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel"));
    EXPECT_FALSE(registry->OpenKey(RootKey::LocalMachine, kGameKey, Registry::Access::Read));
  }
  EXPECT_EQ(ReadBytes(System()), kSampleSystemReg);
  auto after = Listing(home);
  after.erase(".system.reg.lock");
  before.erase(".system.reg.lock");
  EXPECT_EQ(after, before);
}

// A writer that holds the hive's lock is waited for, and its change is kept.
TEST_F(RegistryWine, WritesWaitForTheLockAndReRead) {
  InstallSample();
  auto key = registry->CreateKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel");
  ASSERT_TRUE(key);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int fd = ::open((home / ".system.reg.lock").c_str(), O_RDWR | O_CREAT, 0644);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
      ::_exit(1);
    // Another program's read-modify-write of the hive, slower than ours.
    std::string text = ReadBytes(System());
    (void)!::write(ready[1], "x", 1);
    ::usleep(300 * 1000);
    text += "\n[Software\\\\Wow6432Node\\\\Other] 1796762388\n\"Writer\"=\"other\"\n";
    FILE* hive = std::fopen(System().c_str(), "w");
    if (!hive)
      ::_exit(1);
    std::fputs(text.c_str(), hive);
    std::fclose(hive);
    ::_exit(0);
  }
  char byte;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  EXPECT_TRUE(key->SetValue("UOXSupport", RegValue::Dword(1)));
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadText(RootKey::LocalMachine, "\\Software\\Other", "Writer"), "other");
  auto quorvel =
      registry->OpenKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel", Registry::Access::Read);
  ASSERT_TRUE(quorvel);
  EXPECT_TRUE(quorvel->QueryValue("UOXSupport"));
}

// A wineserver for the prefix, simulated: a process holding the write lock on byte 0 of the lock
// file in the server directory Wine derives from the prefix's device and inode.
class FakeWineserver {
public:
  explicit FakeWineserver(const fs::path& prefix) {
    struct stat st;
    if (::stat(prefix.c_str(), &st) != 0)
      return;
    base_ = "/tmp/.wine-" + std::to_string(::getuid());
    createdBase_ = ::mkdir(base_.c_str(), 0700) == 0;
    char name[64];
    std::snprintf(name, sizeof name, "/server-%llx-%llx",
                  static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    server_ = base_ + name;
    ::mkdir(server_.c_str(), 0700);
  }
  ~FakeWineserver() {
    Stop();
    std::error_code error;
    fs::remove_all(server_, error);
    if (createdBase_)
      ::rmdir(base_.c_str());
  }

  bool Start() {
    int ready[2];
    if (::pipe(ready) != 0 || ::pipe(stop_) != 0)
      return false;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(stop_[1]);
      int fd = ::open((server_ + "/lock").c_str(), O_RDWR | O_CREAT, 0600);
      struct flock lock = {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      lock.l_start = 0;
      lock.l_len = 1;
      if (fd < 0 || ::fcntl(fd, F_SETLK, &lock) != 0)
        ::_exit(1);
      (void)!::write(ready[1], "x", 1);
      char byte;
      (void)!::read(stop_[0], &byte, 1); // until the test closes its end
      ::_exit(0);
    }
    ::close(stop_[0]);
    ::close(ready[1]);
    char byte;
    bool started = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    return started;
  }

  void Stop() {
    if (pid_ <= 0)
      return;
    ::close(stop_[1]);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

private:
  std::string base_;
  std::string server_;
  bool createdBase_ = false;
  pid_t pid_ = -1;
  int stop_[2] = {-1, -1};
};

TEST_F(RegistryWine, RunningWineserverRefusesWritesButNotReads) {
  InstallSample();
  ASSERT_TRUE(registry->CreateKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\Empty"));
  std::string hive = ReadBytes(System());
  auto key = registry->OpenKey(RootKey::LocalMachine, kGameKey, Registry::Access::Full);
  ASSERT_TRUE(key);

  FakeWineserver wineserver(home);
  ASSERT_TRUE(wineserver.Start());
  EXPECT_EQ(ReadText(RootKey::LocalMachine, kGameKey, "Upgraded"), "Yes");
  EXPECT_FALSE(key->SetValue("Upgraded", RegValue::Text("No")));
  EXPECT_FALSE(registry->CreateKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\New"));
  EXPECT_FALSE(registry->DeleteKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\Empty"));
  EXPECT_EQ(ReadBytes(System()), hive);

  // Its lock file left behind after it ended proves nothing.
  wineserver.Stop();
  EXPECT_TRUE(key->SetValue("Upgraded", RegValue::Text("No")));
  EXPECT_EQ(ReadText(RootKey::LocalMachine, kGameKey, "Upgraded"), "No");
}

TEST(RegistryHome, ChoiceOfDirectory) {
  test::TempDir tmp;
  fs::path prefix = tmp.path() / "wine";
  fs::path user = tmp.path() / "user";
  fs::create_directories(prefix);
  fs::create_directories(user / ".wine");
  ScopedEnv home("HOME", user.string());
  ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
  {
    ScopedEnv explicitHome("QUORVEL_REGISTRY", (tmp.path() / "mine/").string());
    ScopedEnv wineprefix("WINEPREFIX", prefix.string());
    EXPECT_EQ(RegistryHome(), (tmp.path() / "mine").string());
  }
  ScopedEnv noExplicit("QUORVEL_REGISTRY", std::nullopt);
  {
    ScopedEnv wineprefix("WINEPREFIX", prefix.string() + "/");
    EXPECT_EQ(RegistryHome(), (user / ".config/quorvel").string()); // no system.reg yet
    WriteBytes(prefix / "system.reg", "WINE REGISTRY Version 2\n");
    EXPECT_EQ(RegistryHome(), prefix.string());
    ScopedEnv config("XDG_CONFIG_HOME", (tmp.path() / "config").string());
    fs::remove(prefix / "system.reg");
    EXPECT_EQ(RegistryHome(), (tmp.path() / "config/quorvel").string());
  }
  ScopedEnv noPrefix("WINEPREFIX", std::nullopt);
  EXPECT_EQ(RegistryHome(), (user / ".config/quorvel").string());
  WriteBytes(user / ".wine/system.reg", "WINE REGISTRY Version 2\n");
  EXPECT_EQ(RegistryHome(), (user / ".wine").string());
}

} // namespace
} // namespace qv::platform
