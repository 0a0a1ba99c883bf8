// Whether the game's client is running: the processes of the host, looked at for its file.
#include "platform/GameProcess.h"

#include <string_view>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "text/Ascii.h"

#ifdef _WIN32
// <windows.h> first: <tlhelp32.h> needs its types.
#include "platform/Win32Text.h"

#include <tlhelp32.h>
#else
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qv::platform {

namespace {

GameRunningProbe g_probe;

std::string_view FileNamePart(std::string_view path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

} // namespace

bool IsGameRunning(const std::string& exePath) {
  return g_probe ? g_probe(exePath) : HostIsGameRunning(exePath);
}

void SetGameRunningProbe(GameRunningProbe probe) {
  g_probe = std::move(probe);
}

#ifndef _WIN32

namespace {

// The directory part of a host path; "." for a bare name.
std::string DirectoryOf(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos)
    return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const FileId&) const = default;
};

bool Identify(const std::string& path, FileId& id) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0)
    return false;
  id = {st.st_dev, st.st_ino};
  return true;
}

std::string ReadLink(const std::string& path) {
  std::string target(4096, '\0');
  const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= target.size())
    return {};
  target.resize(static_cast<std::size_t>(n));
  return target;
}

// The arguments of a process's command line; empty when the process is gone or not ours to read.
std::vector<std::string> CommandLine(const std::string& procDir) {
  std::vector<std::string> args;
  const int fd = ::open((procDir + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return args;
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\0', start);
    if (end == std::string::npos)
      end = bytes.size();
    args.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

bool IsProcessId(const char* name) {
  if (*name == '\0')
    return false;
  for (; *name; ++name)
    if (*name < '0' || *name > '9')
      return false;
  return true;
}

} // namespace

bool HostIsGameRunning(const std::string& exePath) {
  const std::string name(FileNamePart(exePath));
  FileId gameDir;
  // Without its directory there is no client to run.
  if (name.empty() || !Identify(DirectoryOf(ToHostPath(exePath)), gameDir))
    return false;
  DIR* proc = ::opendir("/proc");
  if (!proc)
    return false;
  const std::string self = std::to_string(::getpid());
  bool found = false;
  while (const dirent* entry = ::readdir(proc)) {
    if (!IsProcessId(entry->d_name) || self == entry->d_name)
      continue;
    const std::string procDir = std::string("/proc/") + entry->d_name;
    std::vector<std::string> candidates = CommandLine(procDir);
    candidates.push_back(ReadLink(procDir + "/exe"));
    for (const std::string& candidate : candidates) {
      // Cheap first: most arguments are not the client's name at all.
      if (!EqualsFoldedAscii(FileNamePart(candidate), name))
        continue;
      std::string path = candidate;
      if (!IsWindowsPath(path) && path[0] != '/' && path[0] != '\\') {
        const std::string cwd = ReadLink(procDir + "/cwd");
        if (cwd.empty())
          continue;
        path = cwd + "/" + path;
      }
      FileId dir;
      if (Identify(DirectoryOf(ToHostPath(path)), dir) && dir == gameDir) {
        found = true;
        break;
      }
    }
    if (found)
      break;
  }
  ::closedir(proc);
  return found;
}

#else

namespace {

// The full path in one spelling: separators, "." and ".." as Windows resolves them.
std::wstring FullPath(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (n == 0)
      return path;
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.resize(n);
  }
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
         CSTR_EQUAL;
}

} // namespace

bool HostIsGameRunning(const std::string& exePath) {
  const std::wstring target = FullPath(Widen(exePath));
  const std::wstring name = Widen(std::string(FileNamePart(exePath)));
  if (name.empty())
    return false;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
       more = Process32NextW(snapshot, &entry)) {
    // The snapshot has only the file name: opening the process is left to those that match.
    if (!SameText(entry.szExeFile, name))
      continue;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    if (!process)
      continue;
    std::wstring image(32768, L'\0');
    DWORD size = DWORD(image.size());
    if (QueryFullProcessImageNameW(process, 0, image.data(), &size)) {
      image.resize(size);
      found = SameText(FullPath(image), target);
    }
    CloseHandle(process);
  }
  CloseHandle(snapshot);
  return found;
}

#endif

} // namespace qv::platform
