#include "platform/ProcessLock.h"

#ifdef _WIN32
#include "platform/Win32Text.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace qv::platform {

#ifndef _WIN32

ProcessLock::~ProcessLock() {
  if (fd_ >= 0)
    ::close(fd_);
}

bool ProcessLock::Acquire(const std::string& hostDir) {
  if (fd_ >= 0)
    return true;
  // The directory itself is locked: no file is left in the game's directory. A save's lock is on
  // QRVDAT, another directory, so the two never meet.
  const int fd = ::open(hostDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return true;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR)
      continue;
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return !held; // else a file system without locks
  }
  fd_ = fd;
  return true;
}

#else

ProcessLock::~ProcessLock() {
  if (handle_)
    CloseHandle(static_cast<HANDLE>(handle_));
}

bool ProcessLock::Acquire(const std::string& hostDir) {
  if (handle_)
    return true;
  std::wstring path = Widen(hostDir);
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
    path += L'\\';
  path += L".quorvel.lock";
  // Shared opening, an exclusive byte lock: the file may stay, the lock goes with its process.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return true;
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    return error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING;
  }
  handle_ = file;
  return true;
}

#endif

} // namespace qv::platform
