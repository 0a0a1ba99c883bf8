// The registry as hive files in Wine's text format, in the registry home (see Registry.h).
//
// Roots: HKEY_LOCAL_MACHINE is system.reg, HKEY_CURRENT_USER user.reg; HKEY_CLASSES_ROOT and
// HKEY_CURRENT_CONFIG are their places in system.reg, as in Wine. HKEY_USERS holds ".Default"
// (userdef.reg) and the current user's SID (user.reg, the SID its header names). HKEY_DYN_DATA
// has no keys.
//
// Every call reads the hive file afresh; only the index of the last reading serves again, and only
// while the bytes are the same. A change takes an exclusive lock (flock) on the lock file beside
// the hive (".system.reg.lock"), re-reads the hive, changes it and replaces it atomically. While a
// wineserver runs for the prefix, changes are refused: it would overwrite them with its own copy.
#include "platform/Registry.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/AtomicFile.h"
#include "platform/FileFaults.h"
#include "platform/WineHive.h"
#include "text/Ascii.h"
#include "text/Encoding.h"

namespace qv::platform {

namespace {

using Path = WineHive::Path;

constexpr std::u16string_view kDefaultUserSid = u"S-1-5-21-0-0-0-1000";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

std::string UserHome() {
  std::string home = Env("HOME");
  if (home.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
      home = pw->pw_dir;
  }
  return WithoutTrailingSlashes(home);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

Path SplitKeyPath(const std::string& utf8) {
  Path path;
  std::u16string all = Utf8ToUtf16(utf8);
  std::size_t start = 0;
  while (start <= all.size()) {
    std::size_t end = all.find(u'\\', start);
    if (end == std::u16string::npos)
      end = all.size();
    if (end > start)
      path.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return path;
}

enum class HiveKind { System, User, UserDefault };

struct HiveFile {
  std::string path;
  std::u16string rootName; // the hive's place in Wine's registry
};

HiveFile FileOf(const std::string& home, HiveKind kind) {
  switch (kind) {
  case HiveKind::System:
    return {home + "/system.reg", u"\\Registry\\Machine"};
  case HiveKind::User:
    return {home + "/user.reg", u"\\Registry\\User\\" + std::u16string(kDefaultUserSid)};
  case HiveKind::UserDefault:
    break;
  }
  return {home + "/userdef.reg", u"\\Registry\\User\\.Default"};
}

// Reads a whole hive into the buffer, reusing its memory: a hive is megabytes, and fresh memory
// for every reading costs more than the reading. False with errno set when it cannot be read.
bool ReadHiveBytes(const std::string& path, std::string& buffer) {
  if (int error = InjectedFileFault(FileStep::Open, path)) {
    errno = error;
    return false;
  }
  // Without waiting: a FIFO in the hive's place would wait for a writer.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0)
    return false;
  struct stat st;
  int error = ::fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EISDIR;
  if (error) {
    ::close(fd);
    errno = error;
    return false;
  }
  buffer.resize(std::size_t(st.st_size) + 1); // one more: the end shows at once
  std::size_t size = 0;
  for (;;) {
    if (size == buffer.size())
      buffer.resize(buffer.size() * 2);
    ssize_t n = ::read(fd, buffer.data() + size, buffer.size() - size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      error = errno;
      ::close(fd);
      errno = error;
      return false;
    }
    if (n == 0)
      break;
    size += std::size_t(n);
  }
  ::close(fd);
  buffer.resize(size);
  return true;
}

// Every call reads the hive file afresh. While the bytes are those of the last reading, that
// reading's index serves again instead of being built anew; what the file holds always decides.
class HiveReader {
public:
  // The hive as the file holds it now (a missing file is an empty hive); nullptr when it exists
  // but cannot be read.
  std::shared_ptr<WineHive> Read(const HiveFile& file) {
    if (!ReadHiveBytes(file.path, buffer_)) {
      if (errno != ENOENT && errno != ENOTDIR)
        return nullptr;
      buffer_.assign(WineHive::EmptyHiveText(file.rootName));
    }
    if (last_.size() > 8)
      last_.clear();
    auto& last = last_[file.path];
    if (!last || last->Text() != buffer_)
      last = std::make_shared<WineHive>(buffer_, file.rootName);
    return last;
  }

private:
  std::string buffer_;
  std::map<std::string, std::shared_ptr<WineHive>> last_;
};

std::shared_ptr<WineHive> LoadHive(const HiveFile& file) {
  static thread_local HiveReader reader;
  return reader.Read(file);
}

// The SID under which user.reg appears in HKEY_USERS: the one its header names.
std::u16string CurrentUserSid(const std::string& home) {
  if (auto hive = LoadHive(FileOf(home, HiveKind::User))) {
    const Path& root = hive->RootName();
    if (root.size() == 3 && EqualsFoldedAscii(root[1], u"User"))
      return root[2];
  }
  return std::u16string(kDefaultUserSid);
}

// Whether a wineserver runs for the prefix. It holds a write lock on byte 0 of the file "lock" in
// its server directory, which Wine names after the prefix's device and inode. Upstream Wine keeps
// that directory in /tmp/.wine-<uid>; Debian's Wine in a private directory below /tmp whose name
// it writes into the prefix's file "wineserver". Both places are probed.
struct WineserverProbe {
  enum State { NotRunning, Running, Unknown } state = NotRunning;
  std::string reason; // for the user, when not NotRunning
};

std::string ErrorText(int error) {
  return std::strerror(error);
}

// Why a hive that Wine would not load (wholly or in the line) cannot be used.
std::string UnreadableHiveText(const std::string& path, std::size_t line, const char* what) {
  return "The registry file " + path + " cannot be read: line " + std::to_string(line) + " is " +
         what + ".";
}

std::string WineRunningText(const std::string& prefix, long pid) {
  std::string text = "Wine is running for the prefix " + prefix;
  if (pid > 0)
    text += " (wineserver, process " + std::to_string(pid) + ")";
  return text + ": close the game and Wine first (wineserver -k ends Wine), then try again.";
}

std::string CannotTellText(const std::string& prefix, const std::string& why) {
  return "Cannot tell whether Wine is running for the prefix " + prefix + " (" + why +
         "): close the game and Wine first, then try again.";
}

// Probes one server directory's lock file.
WineserverProbe ProbeLock(const std::string& prefix, const std::string& lockPath) {
  short probe = F_WRLCK;
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0 && errno == EACCES) {
    probe = F_RDLCK; // conflicts with a write lock just the same
    fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  }
  if (fd < 0) {
    // No server directory, or no lock in it: no server has run there, or it has ended.
    if (errno == ENOENT || errno == ENOTDIR)
      return {};
    return {WineserverProbe::Unknown, CannotTellText(prefix, lockPath + ": " + ErrorText(errno))};
  }
  struct flock lock = {};
  lock.l_type = probe;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 1;
  int result = ::fcntl(fd, F_GETLK, &lock);
  int error = errno;
  ::close(fd);
  if (result != 0)
    return {WineserverProbe::Unknown, CannotTellText(prefix, lockPath + ": " + ErrorText(error))};
  if (lock.l_type == F_WRLCK)
    return {WineserverProbe::Running, WineRunningText(prefix, long(lock.l_pid))};
  return {};
}

// The name of Debian's private server directory from the prefix's "wineserver" file. nullopt when
// the file is absent, or when it cannot be read (then `why` says why). Never blocks: the file is
// opened without waiting and must be a regular file.
std::optional<std::string> PrivateServerDirName(const std::string& prefix, std::string& why) {
  std::string path = prefix + "/wineserver";
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT)
      return std::nullopt;
    why = path + ": " + ErrorText(errno);
    return std::nullopt;
  }
  struct stat st;
  char text[256];
  ssize_t n = -1;
  if (::fstat(fd, &st) != 0)
    why = path + ": " + ErrorText(errno);
  else if (!S_ISREG(st.st_mode))
    why = path + ": not a regular file";
  else if ((n = ::read(fd, text, sizeof text)) < 0)
    why = path + ": " + ErrorText(errno);
  ::close(fd);
  if (n < 0)
    return std::nullopt;
  std::string name(text, std::size_t(n));
  while (!name.empty() && static_cast<unsigned char>(name.back()) <= ' ')
    name.pop_back();
  // One directory name, nothing that could lead elsewhere.
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
    why = path + ": not the name of a server directory";
    return std::nullopt;
  }
  return name;
}

WineserverProbe ProbeWineserver(const std::string& prefix) {
  struct stat st;
  if (::stat(prefix.c_str(), &st) != 0)
    return {};
  char serverName[64];
  std::snprintf(serverName, sizeof serverName, "/server-%llx-%llx/lock",
                static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  WineserverProbe upstream =
      ProbeLock(prefix, "/tmp/.wine-" + std::to_string(::getuid()) + serverName);
  if (upstream.state == WineserverProbe::Running)
    return upstream;
  std::string why;
  auto privateDir = PrivateServerDirName(prefix, why);
  if (!why.empty())
    return {WineserverProbe::Unknown, CannotTellText(prefix, why)};
  if (privateDir) {
    WineserverProbe debian = ProbeLock(prefix, "/tmp/" + *privateDir + serverName);
    if (debian.state != WineserverProbe::NotRunning)
      return debian;
  }
  return upstream;
}

// The exclusive lock on the file beside a hive that orders the changes of several programs.
class HiveLock {
public:
  explicit HiveLock(const std::string& hivePath) {
    auto slash = hivePath.find_last_of('/');
    path_ = hivePath.substr(0, slash + 1) + "." + hivePath.substr(slash + 1) + ".lock";
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
      error_ = ErrorText(errno);
  }
  ~HiveLock() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  HiveLock(const HiveLock&) = delete;
  HiveLock& operator=(const HiveLock&) = delete;

  // Waits a while for another writer to finish; false when the lock cannot be had, and then
  // Failure() says why.
  bool Acquire() {
    if (fd_ < 0)
      return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
        return true;
      if (errno != EWOULDBLOCK && errno != EINTR) {
        error_ = ErrorText(errno);
        return false;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        error_.clear();
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  std::string Failure() const {
    if (error_.empty())
      return "The registry file is in use by another program (" + path_ +
             " stays locked); try again when it has finished.";
    return "Cannot lock the registry file (" + path_ + "): " + error_;
  }

private:
  std::string path_;
  std::string error_;
  int fd_ = -1;
};

enum class Change { Failed, Unchanged, Changed };

// One change of a hive, made safely (see the top of this file). False when it cannot be made.
template <class ChangeFn>
bool ModifyHive(const std::string& home, const HiveFile& file, ChangeFn&& change) {
  std::error_code error;
  std::filesystem::create_directories(home, error);
  HiveLock lock(file.path);
  if (!lock.Acquire()) {
    SetLastRegistryError(lock.Failure());
    return false;
  }
  if (WineserverProbe wine = ProbeWineserver(home); wine.state != WineserverProbe::NotRunning) {
    SetLastRegistryError(wine.reason);
    return false;
  }
  // Read again under the lock: another writer may have come first.
  auto hive = LoadHive(file);
  if (!hive) {
    SetLastRegistryError("Cannot read the registry file " + file.path + ": " + ErrorText(errno));
    return false;
  }
  if (!hive->IsValid()) {
    // Not a hive Wine would load: leave it alone.
    SetLastRegistryError(
        UnreadableHiveText(file.path, 1, "not the header of a Wine registry file"));
    return false;
  }
  switch (change(*hive)) {
  case Change::Failed:
    return false;
  case Change::Unchanged:
    return true;
  case Change::Changed:
    break;
  }
  if (!WriteFileAtomically(file.path, hive->Text())) {
    SetLastRegistryError("Cannot write the registry file " + file.path + ": " + ErrorText(errno));
    return false;
  }
  return true;
}

// Where a key path of a root lives.
struct Location {
  HiveKind hive;
  Path path; // from the hive's root
};

std::optional<Location> Locate(const std::string& home, RootKey root, const Path& path) {
  auto below = [&](std::initializer_list<std::u16string_view> place) {
    Path full(place.begin(), place.end());
    full.insert(full.end(), path.begin(), path.end());
    return full;
  };
  switch (root) {
  case RootKey::LocalMachine:
    return Location{HiveKind::System, path};
  case RootKey::ClassesRoot:
    return Location{HiveKind::System, below({u"Software", u"Classes"})};
  case RootKey::CurrentConfig:
    return Location{HiveKind::System,
                    below({u"System", u"CurrentControlSet", u"Hardware Profiles", u"Current"})};
  case RootKey::CurrentUser:
    return Location{HiveKind::User, path};
  case RootKey::Users: {
    if (path.empty())
      return std::nullopt;
    Path rest(path.begin() + 1, path.end());
    if (EqualsFoldedAscii(path.front(), u".Default"))
      return Location{HiveKind::UserDefault, rest};
    if (EqualsFoldedAscii(path.front(), CurrentUserSid(home)))
      return Location{HiveKind::User, rest};
    return std::nullopt;
  }
  case RootKey::DynData:
    break;
  }
  return std::nullopt;
}

class HiveKey : public RegistryKey {
public:
  HiveKey(std::string home, HiveKind hive, Path path, bool writable)
      : home_(std::move(home)), hive_(hive), path_(std::move(path)), writable_(writable) {}

  std::optional<RegValue> QueryValue(const std::string& name) override {
    auto hive = Load();
    if (!hive)
      return std::nullopt;
    std::u16string name16 = Utf8ToUtf16(name);
    auto value = hive->Value(path_, name16);
    // A line Wine cannot read gives a value without data, which no reader expects: the reason
    // says where the file is damaged.
    if (value && value->type == kRegNone && value->data.empty()) {
      if (std::size_t line = hive->MalformedValueLine(path_, name16))
        SetLastRegistryError(
            UnreadableHiveText(FileOf(home_, hive_).path, line, "not a valid registry entry"));
    }
    return value;
  }

  bool SetValue(const std::string& name, const RegValue& value) override {
    SetLastRegistryError({});
    if (!writable_)
      return false;
    std::u16string name16 = Utf8ToUtf16(name);
    // Writing what is stored already changes nothing: no lock, no wineserver check, no write.
    if (auto hive = Load()) {
      auto stored = hive->Value(path_, name16);
      if (stored && stored->type == value.type && stored->data == value.data)
        return true;
    }
    return ModifyHive(home_, FileOf(home_, hive_), [&](WineHive& hive) {
      return hive.SetValue(path_, name16, value, FileTimeNow()) ? Change::Changed
                                                                : Change::Unchanged;
    });
  }

  std::vector<std::string> SubKeyNames() override {
    std::vector<std::string> names;
    if (auto hive = Load())
      for (const auto& name : hive->SubKeys(path_))
        names.push_back(Utf16ToUtf8(name));
    return names;
  }

private:
  std::shared_ptr<WineHive> Load() { return LoadHive(FileOf(home_, hive_)); }

  std::string home_;
  HiveKind hive_;
  Path path_; // the key itself, after redirection and links
  bool writable_;
};

// HKEY_USERS itself: the two users, no values.
class UsersKey : public RegistryKey {
public:
  explicit UsersKey(std::string home) : home_(std::move(home)) {}
  std::optional<RegValue> QueryValue(const std::string&) override { return std::nullopt; }
  bool SetValue(const std::string&, const RegValue&) override { return false; }
  std::vector<std::string> SubKeyNames() override {
    return {".Default", Utf16ToUtf8(CurrentUserSid(home_))};
  }

private:
  std::string home_;
};

class WineRegistry : public Registry {
public:
  std::unique_ptr<RegistryKey> OpenKey(RootKey root, const std::string& path,
                                       Access access) override {
    std::string home = RegistryHome();
    Path elements = SplitKeyPath(path);
    if (root == RootKey::Users && elements.empty())
      return std::make_unique<UsersKey>(home);
    auto location = Locate(home, root, elements);
    if (!location)
      return nullptr;
    auto hive = LoadHive(FileOf(home, location->hive));
    if (!hive)
      return nullptr;
    auto resolved = hive->Resolve(location->path, false);
    if (!resolved)
      return nullptr;
    return std::make_unique<HiveKey>(home, location->hive, std::move(*resolved),
                                     access == Access::Full);
  }

  std::unique_ptr<RegistryKey> CreateKey(RootKey root, const std::string& path) override {
    SetLastRegistryError({});
    std::string home = RegistryHome();
    Path elements = SplitKeyPath(path);
    if (root == RootKey::Users && elements.empty())
      return std::make_unique<UsersKey>(home);
    auto location = Locate(home, root, elements);
    if (!location)
      return nullptr;
    HiveFile file = FileOf(home, location->hive);
    // An existing key needs no change of the file.
    if (auto hive = LoadHive(file)) {
      if (auto resolved = hive->Resolve(location->path, false))
        return std::make_unique<HiveKey>(home, location->hive, std::move(*resolved), true);
    }
    std::optional<Path> created;
    bool done = ModifyHive(home, file, [&](WineHive& hive) {
      created = hive.Resolve(location->path, true);
      if (!created)
        return Change::Failed;
      return hive.CreateKey(*created, FileTimeNow()) ? Change::Changed : Change::Unchanged;
    });
    if (!done || !created)
      return nullptr;
    return std::make_unique<HiveKey>(home, location->hive, std::move(*created), true);
  }

  bool DeleteKey(RootKey root, const std::string& path) override {
    SetLastRegistryError({});
    std::string home = RegistryHome();
    Path elements = SplitKeyPath(path);
    if (elements.empty())
      return false; // a root is never removed
    auto location = Locate(home, root, elements);
    if (!location || location->path.empty())
      return false;
    HiveFile file = FileOf(home, location->hive);
    // A missing key: nothing to do, and no file is touched.
    auto current = LoadHive(file);
    if (!current || !current->Resolve(location->path, false))
      return false;
    bool removed = false;
    bool done = ModifyHive(home, file, [&](WineHive& hive) {
      auto resolved = hive.Resolve(location->path, false);
      if (!resolved || !hive.DeleteKey(*resolved, FileTimeNow()))
        return Change::Unchanged;
      removed = true;
      return Change::Changed;
    });
    return done && removed;
  }

  bool Apply(RootKey root, const std::vector<RegistryEdit>& edits) override {
    SetLastRegistryError({});
    if (edits.empty())
      return true;
    std::string home = RegistryHome();
    std::vector<std::pair<Location, const RegistryEdit*>> located;
    for (const RegistryEdit& edit : edits) {
      auto location = Locate(home, root, SplitKeyPath(edit.path));
      if (!location || location->path.empty() ||
          (!located.empty() && location->hive != located.front().first.hive))
        return false;
      located.emplace_back(std::move(*location), &edit);
    }
    return ModifyHive(home, FileOf(home, located.front().first.hive), [&](WineHive& hive) {
      const std::uint64_t now = FileTimeNow();
      bool changed = false;
      for (const auto& [location, edit] : located) {
        if (edit->kind == RegistryEdit::Kind::DeleteKey) {
          if (auto resolved = hive.Resolve(location.path, false))
            changed |= hive.DeleteKey(*resolved, now);
          continue;
        }
        auto resolved = hive.Resolve(location.path, true);
        if (!resolved)
          return Change::Failed;
        changed |= hive.SetValue(*resolved, Utf8ToUtf16(edit->name), edit->value, now);
      }
      return changed ? Change::Changed : Change::Unchanged;
    });
  }
};

} // namespace

std::string RegistryChangeRefusal() {
  const WineserverProbe wine = ProbeWineserver(RegistryHome());
  return wine.state == WineserverProbe::NotRunning ? std::string() : wine.reason;
}

std::string RegistryHome() {
  std::string home = Env("QUORVEL_REGISTRY");
  if (!home.empty())
    return WithoutTrailingSlashes(home);
  std::string prefix = Env("WINEPREFIX");
  if (prefix.empty())
    prefix = UserHome() + "/.wine";
  prefix = WithoutTrailingSlashes(prefix);
  if (IsRegularFile(prefix + "/system.reg"))
    return prefix;
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty() || config.front() != '/')
    config = UserHome() + "/.config";
  return WithoutTrailingSlashes(config) + "/quorvel";
}

std::unique_ptr<Registry> OpenRegistry() {
  return std::make_unique<WineRegistry>();
}

} // namespace qv::platform
