#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/FileFaults.h"
#include "platform/FileSystem.h"

namespace qv::platform {

namespace {

thread_local std::string lastFileError;

// ".xxxxxxxx.tmp" after ".<name>": the end of the temporary files AtomicWriter makes.
constexpr std::size_t kTempSuffixSize = 13;

// The name of the file a temporary file (one IsTempName accepts) was written for.
std::string TempFileTarget(std::string_view tempName) {
  return std::string(tempName.substr(1, tempName.size() - 1 - kTempSuffixSize));
}

// Our own reasons where the system's error code would mislead ("Invalid argument").
constexpr const char* kNotRegularFile = "Not a regular file";

std::string TooLargeText(std::uint64_t maxSize) {
  return "The file is larger than " + std::to_string(maxSize >> 20) + " MiB";
}

// Fails with errno and a reason of our own.
bool Refuse(int error, std::string reason) {
  lastFileError = std::move(reason);
  errno = error;
  return false;
}

// Runs one file operation. LastFileError() is cleared first; after a failure it holds the
// operation's own reason, else the system's for errno.
template <class Operation> bool Reported(Operation&& operation) {
  lastFileError.clear();
  if (operation())
    return true;
  const int error = errno != 0 ? errno : EIO;
  if (lastFileError.empty())
    lastFileError = std::strerror(error);
  errno = error;
  return false;
}

} // namespace

std::string LastFileError() {
  return lastFileError;
}

void SetLastFileError(std::string reason) {
  lastFileError = std::move(reason);
}

} // namespace qv::platform

#ifndef _WIN32

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qv::platform {

namespace {

// Keeps errno across the clean-up calls made after a failure.
class ErrnoKeeper {
public:
  ErrnoKeeper() : saved_(errno) {}
  ~ErrnoKeeper() { errno = saved_; }

private:
  int saved_;
};

bool Inject(FileStep step, const std::string& hostPath) {
  if (int error = InjectedFileFault(step, hostPath)) {
    errno = error;
    return true;
  }
  return false;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// ".<name>.<8 hex digits>.tmp": the temporary files AtomicWriter makes.
bool IsTempName(std::string_view name) {
  if (name.size() < 2 + kTempSuffixSize || name[0] != '.')
    return false;
  std::string_view suffix = name.substr(name.size() - kTempSuffixSize);
  if (suffix[0] != '.' || suffix.substr(9) != ".tmp")
    return false;
  for (char c : suffix.substr(1, 8))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
      return false;
  return true;
}

// Locks a new temporary file for as long as its write runs, so that RemoveStaleTempFiles leaves
// it alone. False when the clean-up removed it in the moment before the lock.
bool HoldTempFile(int fd, const std::string& path) {
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR)
      return true; // no locks on this file system: nothing is removed there either
  }
  struct stat opened, named;
  return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// A symbolic link as target: the file it points to is replaced, not the link.
std::string ResolveTarget(const std::string& hostPath) {
  struct stat st;
  if (::lstat(hostPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(hostPath.c_str(), nullptr)) {
      std::string resolved = real;
      std::free(real);
      return resolved;
    }
  }
  return hostPath;
}

// One replacement of a file: Begin, Append..., Commit. Anything short of a successful Commit
// removes the temporary file and leaves the target alone.
class AtomicWriter {
public:
  explicit AtomicWriter(const std::string& hostPath)
      : target_(ResolveTarget(hostPath)), hookPath_(hostPath) {}
  ~AtomicWriter() { Discard(); }
  AtomicWriter(const AtomicWriter&) = delete;
  AtomicWriter& operator=(const AtomicWriter&) = delete;

  bool Begin() {
    struct stat st;
    bool exists = false;
    if (::stat(target_.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
      }
      if (!S_ISREG(st.st_mode))
        return Refuse(EINVAL, kNotRegularFile);
      // The owner's write bit decides, as the read-only attribute does on Windows; root would
      // otherwise replace a file the user has protected.
      if ((st.st_mode & S_IWUSR) == 0) {
        errno = EACCES;
        return false;
      }
      // Nor is a file this user may not write, though its directory would allow the rename.
      if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
        return false;
      exists = true;
    } else if (errno != ENOENT) {
      return false;
    }

    if (Inject(FileStep::Create, hookPath_))
      return false;
    std::string dir, name;
    auto slash = target_.find_last_of('/');
    if (slash == std::string::npos) {
      dir = ".";
      name = target_;
    } else {
      dir = slash == 0 ? "/" : target_.substr(0, slash);
      name = target_.substr(slash + 1);
    }
    dir_ = dir;
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
      std::string temp = (dir == "/" ? "" : dir) + "/." + name + "." + suffix + ".tmp";
      // 0666 lets the umask decide the bits of a new file, as for any file the user creates.
      fd_ = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0) {
        if (HoldTempFile(fd_, temp)) {
          temp_ = temp;
          break;
        }
        ::close(fd_);
        fd_ = -1;
        continue;
      }
      if (errno != EEXIST)
        return false;
    }
    if (fd_ < 0)
      return false;
    if (exists) {
      // Best effort: some file systems have no owners or modes to keep.
      if (st.st_uid != ::geteuid() || st.st_gid != ::getegid())
        (void)::fchown(fd_, st.st_uid, st.st_gid);
      (void)::fchmod(fd_, st.st_mode & 07777);
    }
    return true;
  }

  bool Append(std::string_view bytes) {
    if (Inject(FileStep::Write, hookPath_))
      return false;
    return WriteAll(fd_, bytes.data(), bytes.size());
  }

  bool Commit() {
    if (Inject(FileStep::Flush, hookPath_) || ::fsync(fd_) != 0)
      return false;
    // Renamed while still open and locked: a clean-up must not take it for a killed write's.
    if (Inject(FileStep::Rename, hookPath_) || ::rename(temp_.c_str(), target_.c_str()) != 0)
      return false;
    temp_.clear();
    // The data is on disk already; closing cannot lose it any more.
    ::close(fd_);
    fd_ = -1;
    // Makes the rename itself durable; the data is already safe, so a failure here is no error.
    int dirFd = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
      (void)::fsync(dirFd);
      ::close(dirFd);
    }
    return true;
  }

private:
  void Discard() {
    ErrnoKeeper keep;
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = -1;
    if (!temp_.empty())
      ::unlink(temp_.c_str());
    temp_.clear();
  }

  std::string target_;
  std::string hookPath_;
  std::string dir_;
  std::string temp_;
  int fd_ = -1;
};

class InputFile {
public:
  ~InputFile() {
    if (fd_ >= 0) {
      ErrnoKeeper keep;
      ::close(fd_);
    }
  }
  bool Open(const std::string& hostPath, std::uint64_t maxSize) {
    if (Inject(FileStep::Open, hostPath))
      return false;
    // Without waiting: opening a FIFO would wait for a writer, a device for its line.
    fd_ = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0)
      return false;
    struct stat st;
    if (::fstat(fd_, &st) != 0)
      return false;
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (!S_ISREG(st.st_mode))
      return Refuse(EINVAL, kNotRegularFile);
    if (static_cast<std::uint64_t>(st.st_size) > maxSize)
      return Refuse(EFBIG, TooLargeText(maxSize));
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0)
      return false;
    return true;
  }
  // Bytes read into the buffer, 0 at the end, -1 on error.
  ssize_t Read(char* buffer, std::size_t size) {
    for (;;) {
      ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0 || errno != EINTR)
        return n;
    }
  }

private:
  int fd_ = -1;
};

} // namespace

std::vector<std::string> RemoveStaleTempFiles(const std::string& hostDir) {
  std::vector<std::string> cutWrites;
  DIR* dir = ::opendir(hostDir.c_str());
  if (!dir)
    return cutWrites;
  const int dirFd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTempName(entry->d_name))
      continue;
    int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
      continue;
    // A running write holds its file locked; a killed one holds nothing. The name must still be
    // the file that was locked: a write may have renamed it in between.
    struct stat opened, named;
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == opened.st_dev && named.st_ino == opened.st_ino &&
        ::unlinkat(dirFd, entry->d_name, 0) == 0)
      cutWrites.push_back(TempFileTarget(entry->d_name));
    ::close(fd);
  }
  ::closedir(dir);
  return cutWrites;
}

bool RemoveFile(const std::string& hostPath) {
  return Reported([&] { return ::unlink(hostPath.c_str()) == 0 || errno == ENOENT; });
}

DirectoryLock::~DirectoryLock() {
  if (fd_ >= 0)
    ::close(fd_);
}

bool DirectoryLock::Acquire(const std::string& hostDir, std::chrono::milliseconds timeout) {
  if (fd_ >= 0)
    return true;
  int fd = ::open(hostDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return true;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
      break;
    if (errno != EWOULDBLOCK && errno != EINTR)
      break; // no locks on this file system
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  fd_ = fd;
  return true;
}

} // namespace qv::platform

#endif // !_WIN32

#ifdef _WIN32

#include "platform/Win32Text.h"

namespace qv::platform {

namespace {

bool Inject(FileStep step, const std::string& path) {
  if (int error = InjectedFileFault(step, path)) {
    errno = error;
    return true;
  }
  return false;
}

bool Fail() {
  errno = ErrnoFromWin32(GetLastError());
  return false;
}

class Handle {
public:
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }
  HANDLE get() const { return handle_; }
  void reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    bool ok = true;
    if (valid()) {
      int saved = errno;
      ok = CloseHandle(handle_) != 0;
      errno = saved;
    }
    handle_ = INVALID_HANDLE_VALUE;
    return ok;
  }

private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// One replacement of a file: Begin, Append..., Commit. Anything short of a successful Commit
// removes the temporary file and leaves the target alone.
class AtomicWriter {
public:
  explicit AtomicWriter(const std::string& path) : path_(path), target_(Widen(path)) {}
  ~AtomicWriter() {
    int saved = errno;
    file_.Close();
    if (!temp_.empty())
      DeleteFileW(temp_.c_str());
    errno = saved;
  }
  AtomicWriter(const AtomicWriter&) = delete;
  AtomicWriter& operator=(const AtomicWriter&) = delete;

  bool Begin() {
    DWORD attributes = GetFileAttributesW(target_.c_str());
    std::wstring dir = target_.substr(0, target_.find_last_of(L"\\/") + 1);
    std::wstring name = target_.substr(dir.size());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      DWORD error = GetLastError();
      if (error != ERROR_FILE_NOT_FOUND)
        return Fail();
    } else {
      if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        errno = EISDIR;
        return false;
      }
      if (attributes & FILE_ATTRIBUTE_READONLY) {
        errno = EACCES;
        return false;
      }
      exists_ = true;
      attributes_ = attributes;
      // The file keeps its name as it is written: "uo.cfg" stays "uo.cfg" when "UO.CFG" is saved.
      WIN32_FIND_DATAW found;
      HANDLE find = FindFirstFileW(target_.c_str(), &found);
      if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        name = found.cFileName;
        target_ = dir + name;
      }
    }
    if (Inject(FileStep::Create, path_))
      return false;
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      // Named as on other hosts, so that either build cleans up after the other on a game
      // directory they share, and nobody else's "<name>.<digits>.tmp" is taken for ours.
      wchar_t suffix[16];
      swprintf(suffix, 16, L".%08x.tmp", static_cast<unsigned>(random()));
      std::wstring temp = dir + L"." + name + suffix;
      file_.reset(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file_.valid()) {
        temp_ = temp;
        return true;
      }
      if (GetLastError() != ERROR_FILE_EXISTS)
        return Fail();
    }
    return Fail();
  }

  bool Append(std::string_view bytes) {
    if (Inject(FileStep::Write, path_))
      return false;
    while (!bytes.empty()) {
      DWORD chunk = bytes.size() > 0x40000000 ? 0x40000000 : DWORD(bytes.size());
      DWORD written = 0;
      if (!WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr))
        return Fail();
      bytes.remove_prefix(written);
    }
    return true;
  }

  bool Commit() {
    if (Inject(FileStep::Flush, path_))
      return false;
    if (!FlushFileBuffers(file_.get()))
      return Fail();
    if (!file_.Close())
      return Fail();
    if (Inject(FileStep::Rename, path_))
      return false;
    // A hidden file stays hidden, also where ReplaceFile does not carry the attributes over (the
    // plain move below; Wine). The archive bit is the new file's own: it has changed.
    constexpr DWORD kKept =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (exists_ && (attributes_ & kKept)) {
      DWORD own = GetFileAttributesW(temp_.c_str());
      if (own != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(temp_.c_str(), (own & ~FILE_ATTRIBUTE_NORMAL) | (attributes_ & kKept));
    }
    // ReplaceFile keeps the replaced file's attributes and security; a plain move is the
    // fall-back where it cannot be used (some network shares).
    bool moved = exists_ && ReplaceFileW(target_.c_str(), temp_.c_str(), nullptr,
                                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    if (!moved && !MoveFileExW(temp_.c_str(), target_.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return Fail();
    temp_.clear();
    return true;
  }

private:
  std::string path_;
  std::wstring target_;
  std::wstring temp_;
  Handle file_;
  bool exists_ = false;
  DWORD attributes_ = 0;
};

class InputFile {
public:
  bool Open(const std::string& path, std::uint64_t maxSize) {
    if (Inject(FileStep::Open, path))
      return false;
    // Sharing deletion too: a reader must not stop another write's replacement of the file
    // (nor a copy of the file onto itself).
    file_.reset(CreateFileW(Widen(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_.valid())
      return Fail();
    // A pipe or a device would make the reads wait.
    if (GetFileType(file_.get()) != FILE_TYPE_DISK)
      return Refuse(EINVAL, kNotRegularFile);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file_.get(), &size))
      return Fail();
    if (static_cast<std::uint64_t>(size.QuadPart) > maxSize)
      return Refuse(EFBIG, TooLargeText(maxSize));
    return true;
  }
  // Bytes read into the buffer, 0 at the end, -1 on error.
  long Read(char* buffer, std::size_t size) {
    DWORD read = 0;
    if (!ReadFile(file_.get(), buffer, DWORD(size), &read, nullptr)) {
      Fail();
      return -1;
    }
    return long(read);
  }

private:
  Handle file_;
};

} // namespace

namespace {

// ".<name>.<8 hex digits>.tmp": the temporary files AtomicWriter makes.
bool IsTempName(std::wstring_view name) {
  if (name.size() < 2 + kTempSuffixSize || name[0] != L'.')
    return false;
  std::wstring_view suffix = name.substr(name.size() - kTempSuffixSize);
  if (suffix[0] != L'.' || suffix.substr(9) != L".tmp")
    return false;
  for (wchar_t c : suffix.substr(1, 8))
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f')))
      return false;
  return true;
}

std::wstring WithSeparator(const std::string& dir) {
  std::wstring wide = Widen(dir);
  if (!wide.empty() && wide.back() != L'\\' && wide.back() != L'/')
    wide += L'\\';
  return wide;
}

} // namespace

std::vector<std::string> RemoveStaleTempFiles(const std::string& hostDir) {
  std::vector<std::string> cutWrites;
  const std::wstring dir = WithSeparator(hostDir);
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((dir + L"*.tmp").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE)
    return cutWrites;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsTempName(found.cFileName))
      continue;
    // A running write has its file open without sharing: it cannot be deleted.
    if (DeleteFileW((dir + found.cFileName).c_str()))
      cutWrites.push_back(TempFileTarget(Narrow(found.cFileName)));
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return cutWrites;
}

bool RemoveFile(const std::string& hostPath) {
  return Reported([&] {
    if (DeleteFileW(Widen(hostPath).c_str()))
      return true;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      return true;
    errno = ErrnoFromWin32(error);
    return false;
  });
}

DirectoryLock::~DirectoryLock() {
  if (handle_)
    CloseHandle(static_cast<HANDLE>(handle_));
}

bool DirectoryLock::Acquire(const std::string& hostDir, std::chrono::milliseconds timeout) {
  if (handle_)
    return true;
  const std::wstring dir = WithSeparator(hostDir);
  DWORD attributes = GetFileAttributesW(dir.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return true;
  // A lock file opened without sharing, gone when its holder closes it or ends.
  const std::wstring lockPath = dir + L".lock";
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    HANDLE file =
        CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      handle_ = file;
      return true;
    }
    DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)
      return true;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    Sleep(10);
  }
}

} // namespace qv::platform

#endif // _WIN32

namespace qv::platform {

bool WriteFileAtomically(const std::string& hostPath, std::string_view bytes) {
  return Reported([&] {
    AtomicWriter writer(hostPath);
    return writer.Begin() && writer.Append(bytes) && writer.Commit();
  });
}

bool CopyFileAtomically(const std::string& fromHostPath, const std::string& toHostPath,
                        std::uint64_t maxSize) {
  return Reported([&] {
    InputFile in;
    if (!in.Open(fromHostPath, maxSize))
      return false;
    AtomicWriter writer(toHostPath);
    if (!writer.Begin())
      return false;
    char buffer[65536];
    std::uint64_t copied = 0;
    for (;;) {
      const auto n = in.Read(buffer, sizeof buffer);
      if (n < 0)
        return false;
      if (n == 0)
        break;
      // Grown since it was opened: what was too large is not copied either.
      copied += static_cast<std::uint64_t>(n);
      if (copied > maxSize)
        return Refuse(EFBIG, TooLargeText(maxSize));
      if (!writer.Append(std::string_view(buffer, static_cast<std::size_t>(n))))
        return false;
    }
    return writer.Commit();
  });
}

bool ReadFileBytes(const std::string& hostPath, std::string& bytes, std::uint64_t maxSize) {
  return Reported([&] {
    InputFile in;
    if (!in.Open(hostPath, maxSize))
      return false;
    std::string result;
    char buffer[65536];
    for (;;) {
      const auto n = in.Read(buffer, sizeof buffer);
      if (n < 0)
        return false;
      if (n == 0)
        break;
      if (result.size() + static_cast<std::uint64_t>(n) > maxSize)
        return Refuse(EFBIG, TooLargeText(maxSize));
      result.append(buffer, static_cast<std::size_t>(n));
    }
    bytes = std::move(result);
    return true;
  });
}

} // namespace qv::platform
