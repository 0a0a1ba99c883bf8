#pragma once

#include <string>
#include <string_view>
#include <vector>

// <windows.h> maps CreateDirectory to its own function; here it is ours.
#if defined(_WIN32) && defined(CreateDirectory)
#undef CreateDirectory
#endif

// The file operations the program needs, and nothing more.
//
// Paths come in the form the registry and the game's files give them: Windows form
// ("C:\Program Files (x86)\Ultima Online\UO.CFG") or host form ("/home/me/uo/UO.CFG"); '\' and '/'
// both separate components. A Windows-form path is mapped to the host through the drives of the
// registry home (see Registry.h). Every component that does not exist as written is looked up in
// its directory without regard to case, so "UO.CFG" finds "uo.cfg".
namespace qv::platform {

bool FileExists(const std::string& path);
// True when the path names an existing directory.
bool IsExistingDirectory(const std::string& path);
// Creates one directory level; false when it could not be created.
bool CreateDirectory(const std::string& path);
// Copies a file over the target atomically. A target that exists and is read-only is not
// replaced. False on any failure; the target is then exactly as it was.
bool CopyFileReplacing(const std::string& from, const std::string& to);

// Reads a text file as lines split at CR LF, LF or CR; every other byte, a zero byte too, is kept
// as it is. Throws qv::Error "Cannot open file <path>".
std::vector<std::string> ReadLines(const std::string& path);
// Writes the lines with CR LF after each one, atomically (temporary file, flush, rename). A
// read-only target is refused. Throws qv::Error "Cannot create file <path>"; the old file is then
// exactly as it was and no temporary file is left.
void WriteLines(const std::string& path, const std::vector<std::string>& lines);

// Splits a text the way ReadLines splits a file.
std::vector<std::string> SplitLines(std::string_view bytes);
// The bytes WriteLines writes: every line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

// The directory of the running executable, host form, ending in the host separator.
std::string ExecutableDir();

// The host path for a program path (Windows or host form), after the case-insensitive lookup of
// every existing component. Components that do not exist are kept as written. A relative path is
// relative to the current directory.
std::string ToHostPath(const std::string& path);
// The Windows form of a host path, the way Wine shows it: through the registry home's drives, and
// "Z:\" for a path outside every other drive. Used for names the game itself will read later.
std::string ToWindowsPath(const std::string& hostPath);
// True for "C:\..." and "C:/..." style paths.
bool IsWindowsPath(const std::string& path);

} // namespace qv::platform
