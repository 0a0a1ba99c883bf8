#pragma once

#include <functional>
#include <string>

// A seam for tests: makes a chosen step of a file operation fail with a chosen error, so that
// full disks, read-only media and refused permissions can be tried without them (tests run as
// root, which the permission bits do not stop).
namespace qv::platform {

enum class FileStep {
  Open,   // opening an existing file for reading (also the source of a copy)
  Create, // creating the temporary file beside the target
  Write,  // writing the data into the temporary file
  Flush,  // flushing the temporary file to disk
  Rename, // renaming the temporary file over the target
};

// Called before each step with the target's host path; returns an errno value (ENOSPC, EACCES,
// EROFS, ...) to make the step fail with, or 0 to let it run.
using FileFaultHook = std::function<int(FileStep step, const std::string& hostPath)>;

// Installs the hook; an empty function removes it.
void SetFileFaultHook(FileFaultHook hook);

// The error the installed hook injects for this step, or 0. Used by the file operations.
int InjectedFileFault(FileStep step, const std::string& hostPath);

// Installs a hook for the lifetime of the object.
class ScopedFileFaultHook {
public:
  explicit ScopedFileFaultHook(FileFaultHook hook) { SetFileFaultHook(std::move(hook)); }
  ~ScopedFileFaultHook() { SetFileFaultHook({}); }
  ScopedFileFaultHook(const ScopedFileFaultHook&) = delete;
  ScopedFileFaultHook& operator=(const ScopedFileFaultHook&) = delete;
};

} // namespace qv::platform
