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
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Registry.h"
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

bool InDirectory(const std::string& hostPath, const FileId& dir) {
  FileId id;
  return Identify(DirectoryOf(hostPath), id) && id == dir;
}

std::string ReadLink(const std::string& path) {
  std::string target(4096, '\0');
  const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= target.size())
    return {};
  target.resize(static_cast<std::size_t>(n));
  return target;
}

// A file of /proc whole; false when the process is gone or not ours to read.
bool ReadProcFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  bool read = true;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      read = false;
    if (n <= 0)
      break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return read;
}

// The strings of a command line or an environment, each ended by a zero byte.
std::vector<std::string> SplitAtZeros(const std::string& bytes) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\0', start);
    if (end == std::string::npos)
      end = bytes.size();
    parts.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The program a command line runs. Wine puts the program's path, as it was started (Windows or
// host form, or relative to the current directory), in argv[0], and the program's own arguments
// after it: a path among those is data, such as `reg add ... /d C:\...\client.exe`. Until Wine
// has rewritten it, the command line is still its loader's, with the program second.
std::string ProgramOf(const std::vector<std::string>& args) {
  if (args.empty())
    return {};
  const std::string_view first = FileNamePart(args[0]);
  for (const std::string_view loader : {"wine", "wine64", "wine-preloader", "wine64-preloader"}) {
    if (first == loader)
      return args.size() > 1 ? args[1] : std::string();
  }
  return args[0];
}

// The prefix that Wine picks for a process of this environment: WINEPREFIX, which Wine requires
// to be a full path, else ~/.wine of its HOME, else of its user's home directory. Wine's children
// inherit that environment, so it holds for every process of the prefix. Empty when the
// environment cannot be read (another user's process) or Wine would not run with it.
std::string WinePrefixOf(const std::string& procDir) {
  std::string bytes;
  if (!ReadProcFile(procDir + "/environ", bytes))
    return {};
  std::optional<std::string> prefix;
  std::optional<std::string> home;
  // The first of several, as getenv finds it.
  for (const std::string& entry : SplitAtZeros(bytes)) {
    if (!prefix && entry.starts_with("WINEPREFIX="))
      prefix = entry.substr(11);
    else if (!home && entry.starts_with("HOME="))
      home = entry.substr(5);
  }
  if (prefix)
    return prefix->starts_with('/') ? *prefix : std::string();
  if (!home) {
    struct stat st;
    if (::stat(procDir.c_str(), &st) != 0)
      return {};
    const passwd* user = ::getpwuid(st.st_uid);
    if (!user || !user->pw_dir)
      return {};
    home = user->pw_dir;
  }
  return home->starts_with('/') ? *home + "/.wine" : std::string();
}

// The host path of a process's program. Its paths are looked at through its own root and current
// directory, which a sandbox may have elsewhere; a Windows path through the registry home's drives,
// which are the process's own once it runs in that prefix.
std::string ProgramHostPath(const std::string& procDir, const std::string& program) {
  if (IsWindowsPath(program))
    return ToHostPath(program);
  if (program.starts_with('/'))
    return ToHostPath(procDir + "/root" + program);
  return ToHostPath(procDir + "/cwd/" + program);
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
  // A Wine process's path means this client only in the registry home's prefix.
  FileId home;
  const bool haveHome = Identify(RegistryHome(), home);
  DIR* proc = ::opendir("/proc");
  if (!proc)
    return false;
  const std::string self = std::to_string(::getpid());
  bool found = false;
  std::string cmdline;
  while (!found) {
    const dirent* entry = ::readdir(proc);
    if (!entry)
      break;
    if (!IsProcessId(entry->d_name) || self == entry->d_name)
      continue;
    const std::string procDir = std::string("/proc/") + entry->d_name;
    // The client file itself, run natively: whoever runs it, the file says which client it is.
    const std::string exe = ReadLink(procDir + "/exe");
    if (!exe.empty() && EqualsFoldedAscii(FileNamePart(exe), name) && InDirectory(exe, gameDir)) {
      found = true;
      continue;
    }
    if (!haveHome)
      continue;
    ReadProcFile(procDir + "/cmdline", cmdline);
    const std::string program = ProgramOf(SplitAtZeros(cmdline));
    // Cheap first: most programs are not the client's name at all.
    if (program.empty() || !EqualsFoldedAscii(FileNamePart(program), name))
      continue;
    const std::string prefixPath = WinePrefixOf(procDir);
    FileId prefix;
    if (prefixPath.empty() || !Identify(procDir + "/root" + prefixPath, prefix) || prefix != home)
      continue;
    found = InDirectory(ProgramHostPath(procDir, program), gameDir);
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
