#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/Error.h"

#ifdef _WIN32
#include "platform/Win32Text.h"
// Our own CreateDirectory, not the API's macro.
#undef CreateDirectory
#else
#include <climits>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qv::platform {

std::vector<std::string> SplitLines(std::string_view bytes) {
  const char* const data = bytes.data();
  const std::size_t size = bytes.size();
  const auto find = [&](std::size_t from, std::size_t to, char c) {
    const void* at = std::memchr(data + from, c, to - from);
    return at ? static_cast<std::size_t>(static_cast<const char*>(at) - data) : to;
  };
  std::vector<std::string> lines;
  if (size == 0)
    return lines;
  // Reserved first (at most one line per CR or LF): a growing vector would move every line read
  // so far each time it grows.
  std::size_t ends = 0;
  for (std::size_t i = 0; i < size; ++i)
    ends += static_cast<std::size_t>(data[i] == '\n') + static_cast<std::size_t>(data[i] == '\r');
  lines.reserve(ends + 1);
  // A line ends at CR LF, LF or CR. The next LF is looked for again only once it is passed, so
  // that a file of bare CRs is read in one pass.
  std::size_t start = 0;
  std::size_t lf = find(0, size, '\n');
  while (start < size) {
    if (lf < start)
      lf = find(start, size, '\n');
    const std::size_t end = find(start, lf, '\r');
    lines.emplace_back(bytes.substr(start, end - start));
    start = end < lf && end + 1 == lf ? lf + 1 : end + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::size_t size = 0;
  for (const auto& line : lines)
    size += line.size() + 2;
  std::string bytes;
  bytes.reserve(size);
  for (const auto& line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  return bytes;
}

namespace {

// The message, and under it the reason the failed operation gave.
std::string WithReason(std::string message) {
  if (std::string reason = LastFileError(); !reason.empty())
    message += "\n" + reason;
  return message;
}

} // namespace

std::vector<std::string> ReadLines(const std::string& path, std::uint64_t maxSize) {
  std::string bytes;
  if (!ReadFileBytes(ToHostPath(path), bytes, maxSize))
    throw Error(WithReason("Cannot open file " + path));
  return SplitLines(bytes);
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  if (!WriteFileAtomically(ToHostPath(path), JoinLines(lines)))
    throw Error(WithReason("Cannot create file " + path));
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
  return CopyFileAtomically(ToHostPath(from), ToHostPath(to), kMaxSettingsFileSize);
}

#ifndef _WIN32

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(ToHostPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::lstat(ToHostPath(path).c_str(), &st) == 0;
}

bool IsExistingDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(ToHostPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectory(const std::string& path) {
  std::string host = ToHostPath(path);
  while (host.size() > 1 && host.back() == '/')
    host.pop_back();
  SetLastFileError({});
  if (!host.empty() && ::mkdir(host.c_str(), 0777) == 0)
    return true;
  SetLastFileError(std::strerror(host.empty() ? ENOENT : errno));
  return false;
}

std::string ExecutableDir() {
  std::string exe(PATH_MAX, '\0');
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size());
    if (n < 0)
      return "./";
    if (static_cast<std::size_t>(n) < exe.size()) {
      exe.resize(static_cast<std::size_t>(n));
      break;
    }
    exe.resize(exe.size() * 2);
  }
  return exe.substr(0, exe.rfind('/') + 1);
}

#else

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& path) {
  return !path.empty() && GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsExistingDirectory(const std::string& path) {
  if (path.empty())
    return false;
  DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectory(const std::string& path) {
  SetLastFileError({});
  if (!path.empty() && CreateDirectoryW(Widen(path).c_str(), nullptr) != 0)
    return true;
  SetLastFileError(std::strerror(path.empty() ? ENOENT : ErrnoFromWin32(GetLastError())));
  return false;
}

std::string ExecutableDir() {
  std::wstring exe(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, exe.data(), DWORD(exe.size()));
    if (n == 0)
      return ".\\";
    if (n < exe.size()) {
      exe.resize(n);
      break;
    }
    exe.resize(exe.size() * 2);
  }
  std::string path = Narrow(exe);
  return path.substr(0, path.find_last_of("\\/") + 1);
}

#endif // _WIN32

} // namespace qv::platform
