// Program paths (Windows or host form) to host paths and back, and the case-insensitive lookup.
#include "platform/FileSystem.h"

#include "platform/Registry.h"
#include "text/Ascii.h"

#include <algorithm>

#ifdef _WIN32
#include "platform/Win32Text.h"
#else
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qv::platform {

bool IsWindowsPath(const std::string& path) {
  return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':';
}

#ifdef _WIN32

std::string ToHostPath(const std::string& path) {
  return path;
}

std::string ToWindowsPath(const std::string& hostPath) {
  // A full path, as on other hosts: the game reads the name later, from another current
  // directory. Separators become backslashes, "." and ".." are resolved.
  const std::wstring wide = Widen(hostPath.empty() ? std::string(".\\") : hostPath);
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetFullPathNameW(wide.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (n == 0) {
      std::string result = hostPath;
      std::replace(result.begin(), result.end(), '/', '\\');
      return result;
    }
    if (n < full.size()) {
      full.resize(n);
      return Narrow(full);
    }
    full.resize(n);
  }
}

#else

namespace {

std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '/' || c == '\\') {
      if (!part.empty())
        parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty())
    parts.push_back(part);
  return parts;
}

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size(); ++i) {
    if (b[i] == '\0' || FoldAscii(a[i]) != FoldAscii(b[i]))
      return false;
  }
  return b[i] == '\0';
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty())
    return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsDir(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The entry of the directory whose name equals the name without regard to ASCII case. Of
// several, the first in byte order, so that the choice does not depend on the file system.
std::string FindIgnoringCase(const std::string& dir, const std::string& name) {
  std::string found;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d)
    return found;
  while (const dirent* entry = ::readdir(d)) {
    if (EqualsIgnoringCase(name, entry->d_name) && (found.empty() || found > entry->d_name))
      found = entry->d_name;
  }
  ::closedir(d);
  return found;
}

// Every component that does not exist as written is looked up in its directory without regard to
// case; from the first one found in neither way on, the rest is kept as written.
std::string ResolveCase(const std::string& path) {
  std::string result = !path.empty() && path[0] == '/' ? "/" : "";
  bool missing = false;
  for (const auto& part : SplitComponents(path)) {
    std::string candidate = Join(result, part);
    if (!missing && part != "." && part != ".." && !Exists(candidate)) {
      std::string found = FindIgnoringCase(result, part);
      if (found.empty())
        missing = true;
      else
        candidate = Join(result, found);
    }
    result = candidate;
  }
  if (EndsWithSeparator(path) && !result.empty() && result.back() != '/')
    result += '/';
  return result;
}

// The host directory of a drive letter (lower case), the way Wine finds it: the registry home's
// dosdevices link, or drive_c where there is no dosdevices; Z: is the root unless a link says
// otherwise.
std::string DriveRoot(const std::string& home, char letter) {
  const std::string dosdevices = home + "/dosdevices";
  const std::string link = dosdevices + "/" + letter + ":";
  if (IsDir(dosdevices)) {
    if (Exists(link) || !FindIgnoringCase(dosdevices, std::string(1, letter) + ":").empty())
      return link;
  }
  if (letter == 'c' && (IsDir(home + "/drive_c") || !IsDir(dosdevices)))
    return home + "/drive_c";
  if (letter == 'z')
    return "/";
  return link;
}

std::string CurrentDir() {
  std::string dir(4096, '\0');
  while (::getcwd(dir.data(), dir.size()) == nullptr) {
    if (errno != ERANGE)
      return "/";
    dir.resize(dir.size() * 2);
  }
  dir.resize(dir.find('\0'));
  return dir;
}

} // namespace

std::string ToHostPath(const std::string& path) {
  if (IsWindowsPath(path)) {
    std::string rest = path.substr(2);
    std::string root = DriveRoot(RegistryHome(), FoldAscii(path[0]));
    if (rest.empty() || (rest[0] != '/' && rest[0] != '\\'))
      rest.insert(rest.begin(), '/');
    return ResolveCase(root + rest);
  }
  return ResolveCase(path);
}

std::string ToWindowsPath(const std::string& hostPath) {
  if (IsWindowsPath(hostPath)) {
    std::string result = hostPath;
    std::replace(result.begin(), result.end(), '/', '\\');
    return result;
  }
  std::string absolute = hostPath;
  if (absolute.empty() || (absolute[0] != '/' && absolute[0] != '\\'))
    absolute = CurrentDir() + "/" + absolute;
  // Lexical clean-up of "." and "..", as Windows does with a full path name.
  std::vector<std::string> parts;
  for (auto& part : SplitComponents(absolute)) {
    if (part == ".")
      continue;
    if (part == "..") {
      if (!parts.empty())
        parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  const bool trailing = EndsWithSeparator(hostPath) || hostPath.empty();

  // A drive is recognised by the identity of its root directory, so links such as
  // dosdevices/c: -> ../drive_c and z: -> / are followed whatever they look like.
  struct Drive {
    char letter;
    dev_t dev;
    ino_t ino;
  };
  std::vector<Drive> drives;
  const std::string home = RegistryHome();
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    struct stat st;
    if (::stat(DriveRoot(home, letter).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      drives.push_back({letter, st.st_dev, st.st_ino});
  }

  auto windowsForm = [&](char letter, std::size_t first) {
    std::string result(1, char(letter - 'a' + 'A'));
    result += ":\\";
    for (std::size_t i = first; i < parts.size(); ++i) {
      result += parts[i];
      if (i + 1 < parts.size() || trailing)
        result += '\\';
    }
    return result;
  };

  // The longest leading part of the path that is the root of a drive decides the drive.
  for (std::size_t count = parts.size() + 1; count-- > 0;) {
    std::string prefix = "/";
    for (std::size_t i = 0; i < count; ++i)
      prefix = Join(prefix, parts[i]);
    struct stat st;
    if (::stat(prefix.c_str(), &st) != 0)
      continue;
    for (const auto& drive : drives) {
      if (drive.dev == st.st_dev && drive.ino == st.st_ino)
        return windowsForm(drive.letter, count);
    }
  }
  return windowsForm('z', 0);
}

#endif // !_WIN32

} // namespace qv::platform
