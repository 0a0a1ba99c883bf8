#pragma once

#include <cstdint>
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

// The largest settings file (UO.CFG, MACROS.TXT, LOGIN.CFG and their copies) that is read or
// copied. The game's own are kilobytes; a larger file is no settings file, and reading it would
// cost the memory and the time of its size.
inline constexpr std::uint64_t kMaxSettingsFileSize = std::uint64_t(64) << 20;
// For texts that are not settings files (the patch log): read whatever their size.
inline constexpr std::uint64_t kAnyFileSize = UINT64_MAX;

// Why the last file operation on this thread that failed (reading, writing, copying a file,
// creating a directory) failed, in words for the user: the system's reason ("No space left on
// device", "Permission denied") or ours ("Not a regular file"). Each of these operations clears it
// first. The messages of ReadLines and WriteLines carry it on their second line.
std::string LastFileError();
// For the implementations: records the reason of a failed operation.
void SetLastFileError(std::string reason);

bool FileExists(const std::string& path);
// True when something of any kind (file, directory, FIFO, ...) has the name.
bool PathExists(const std::string& path);
// True when the path names an existing directory.
bool IsExistingDirectory(const std::string& path);
// Creates one directory level; false (LastFileError() set) when it could not be created.
bool CreateDirectory(const std::string& path);
// Copies a settings file over the target atomically. A target that exists and is read-only is
// not replaced; a source that is not a regular file or is larger than kMaxSettingsFileSize is not
// copied. False on any failure (LastFileError() says why); the target is then exactly as it was,
// or still missing.
bool CopyFileReplacing(const std::string& from, const std::string& to);

// Reads a text file as lines split at CR LF, LF or CR; every other byte, a zero
// byte too, is kept as it is. Only a regular file of at most maxSize bytes is read. Throws
// qv::Error "Cannot open file <path>" with LastFileError() on a second line.
std::vector<std::string> ReadLines(const std::string& path,
                                   std::uint64_t maxSize = kMaxSettingsFileSize);
// Writes the lines with CR LF after each one, atomically (temporary file, flush, rename). A
// read-only target is refused. Throws qv::Error "Cannot create file <path>" with LastFileError()
// on a second line; the old file is then exactly as it was and no temporary file is left.
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
