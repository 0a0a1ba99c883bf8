#pragma once

#include <string>
#include <string_view>

// Whole-file reads and atomic writes on host paths (no drive mapping, no case-insensitive lookup:
// callers that take program paths go through FileSystem.h). Shared by the file operations and the
// registry hives. Every step passes through the fault seam of FileFaults.h.
namespace qv::platform {

// Replaces the file with the bytes so that it is always either the old or the new file: a
// temporary file in the same directory is written, flushed to disk and renamed over the target.
// A replaced file keeps its permission bits (and, where allowed, its owner). A target that exists
// and has no write permission for its owner, or that is not a regular file, is not replaced. On
// failure the temporary file is removed, the target is untouched, errno tells why and the result
// is false.
bool WriteFileAtomically(const std::string& hostPath, std::string_view bytes);

// Copies a file's bytes over the target in the same way. False (errno set) when the source cannot
// be read or the target cannot be replaced.
bool CopyFileAtomically(const std::string& fromHostPath, const std::string& toHostPath);

// Reads a whole regular file. False (errno set) when it cannot be opened or read.
bool ReadFileBytes(const std::string& hostPath, std::string& bytes);

} // namespace qv::platform
