#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Whole-file reads and atomic writes on host paths (no drive mapping, no case-insensitive lookup:
// callers that take program paths go through FileSystem.h). Shared by the file operations and the
// registry hives. Every step passes through the fault seam of FileFaults.h. A failed operation
// also sets LastFileError() (FileSystem.h) to its reason in words.
namespace qv::platform {

// Replaces the file with the bytes so that it is always either the old or the new file: a
// temporary file in the same directory is written, flushed to disk and renamed over the target.
// A replaced file keeps its permission bits (and, where allowed, its owner). A target that exists
// and has no write permission for its owner, or that is not a regular file, is not replaced. On
// failure the temporary file is removed, the target is untouched, errno tells why and the result
// is false.
bool WriteFileAtomically(const std::string& hostPath, std::string_view bytes);

// Copies a file's bytes over the target in the same way. False (errno set) when the source cannot
// be read, is not a regular file or is larger than maxSize bytes (then nothing is created), or
// when the target cannot be replaced.
bool CopyFileAtomically(const std::string& fromHostPath, const std::string& toHostPath,
                        std::uint64_t maxSize = UINT64_MAX);

// Reads a whole regular file of at most maxSize bytes. False (errno set) when it cannot be opened
// or read, or is too large. Anything but a regular file (a FIFO, a device) is refused without
// waiting for it.
bool ReadFileBytes(const std::string& hostPath, std::string& bytes,
                   std::uint64_t maxSize = UINT64_MAX);

// Removes from the directory the temporary files of writes whose process was killed before the
// rename: only files named the way these writes name them, and only those that no running write
// still holds. For each file removed, the name of the file its write was to replace
// (".UO.CFG.0badcafe.tmp" gives "UO.CFG"), so that the caller can tell which writes were cut.
std::vector<std::string> RemoveStaleTempFiles(const std::string& hostDir);

// Removes a file. True when it is gone, also when it was not there; else false, errno set.
bool RemoveFile(const std::string& hostPath);

// An exclusive lock on a directory between processes, held while the object lives: one program
// window's save of several files runs while no other window's does.
class DirectoryLock {
public:
  DirectoryLock() = default;
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  // Waits up to the timeout. False only when another process held the lock all that time; a
  // directory that cannot be opened has nothing to protect (every write into it fails) and gives
  // true.
  bool Acquire(const std::string& hostDir, std::chrono::milliseconds timeout);

private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

} // namespace qv::platform
