#pragma once

#include <string>

// A lock one process holds on a directory for as long as it runs: one program per game. The
// system releases it when the process ends in any way, so a killed program leaves nothing behind.
namespace qv::platform {

class ProcessLock {
public:
  ProcessLock() = default;
  ~ProcessLock();
  ProcessLock(const ProcessLock&) = delete;
  ProcessLock& operator=(const ProcessLock&) = delete;

  // Does not wait. False only when another process holds the lock. Where there is nothing to
  // lock with (no such directory; on Windows no right to create the lock file there) true: such
  // a directory cannot be saved into either.
  bool Acquire(const std::string& hostDir);

private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

} // namespace qv::platform
