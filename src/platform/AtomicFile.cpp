#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/FileFaults.h"

#ifndef _WIN32

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
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
      if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
      }
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
        temp_ = temp;
        break;
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
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
      return false;
    if (Inject(FileStep::Rename, hookPath_) || ::rename(temp_.c_str(), target_.c_str()) != 0)
      return false;
    temp_.clear();
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
  bool Open(const std::string& hostPath) {
    if (Inject(FileStep::Open, hostPath))
      return false;
    fd_ = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
      return false;
    struct stat st;
    if (::fstat(fd_, &st) != 0)
      return false;
    if (!S_ISREG(st.st_mode)) {
      errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
      return false;
    }
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

bool WriteFileAtomically(const std::string& hostPath, std::string_view bytes) {
  AtomicWriter writer(hostPath);
  return writer.Begin() && writer.Append(bytes) && writer.Commit();
}

bool CopyFileAtomically(const std::string& fromHostPath, const std::string& toHostPath) {
  InputFile in;
  if (!in.Open(fromHostPath))
    return false;
  AtomicWriter writer(toHostPath);
  if (!writer.Begin())
    return false;
  char buffer[65536];
  for (;;) {
    ssize_t n = in.Read(buffer, sizeof buffer);
    if (n < 0)
      return false;
    if (n == 0)
      break;
    if (!writer.Append(std::string_view(buffer, static_cast<std::size_t>(n))))
      return false;
  }
  return writer.Commit();
}

bool ReadFileBytes(const std::string& hostPath, std::string& bytes) {
  InputFile in;
  if (!in.Open(hostPath))
    return false;
  std::string result;
  char buffer[65536];
  for (;;) {
    ssize_t n = in.Read(buffer, sizeof buffer);
    if (n < 0)
      return false;
    if (n == 0)
      break;
    result.append(buffer, static_cast<std::size_t>(n));
  }
  bytes = std::move(result);
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
    }
    if (Inject(FileStep::Create, path_))
      return false;
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      wchar_t suffix[16];
      swprintf(suffix, 16, L".%08x.tmp", static_cast<unsigned>(random()));
      std::wstring temp = target_ + suffix;
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
};

class InputFile {
public:
  bool Open(const std::string& path) {
    if (Inject(FileStep::Open, path))
      return false;
    file_.reset(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file_.valid() || Fail();
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

bool WriteFileAtomically(const std::string& hostPath, std::string_view bytes) {
  AtomicWriter writer(hostPath);
  return writer.Begin() && writer.Append(bytes) && writer.Commit();
}

bool CopyFileAtomically(const std::string& fromHostPath, const std::string& toHostPath) {
  InputFile in;
  if (!in.Open(fromHostPath))
    return false;
  AtomicWriter writer(toHostPath);
  if (!writer.Begin())
    return false;
  char buffer[65536];
  for (;;) {
    long n = in.Read(buffer, sizeof buffer);
    if (n < 0)
      return false;
    if (n == 0)
      break;
    if (!writer.Append(std::string_view(buffer, static_cast<std::size_t>(n))))
      return false;
  }
  return writer.Commit();
}

bool ReadFileBytes(const std::string& hostPath, std::string& bytes) {
  InputFile in;
  if (!in.Open(hostPath))
    return false;
  std::string result;
  char buffer[65536];
  for (;;) {
    long n = in.Read(buffer, sizeof buffer);
    if (n < 0)
      return false;
    if (n == 0)
      break;
    result.append(buffer, static_cast<std::size_t>(n));
  }
  bytes = std::move(result);
  return true;
}

} // namespace qv::platform

#endif // _WIN32
