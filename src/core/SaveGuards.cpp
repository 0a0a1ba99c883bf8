// The guards of a save: the game's client, a second program on the game, files changed meanwhile.
#include "core/SaveGuards.h"

#include "core/MainProc.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLock.h"

namespace qv {

namespace {

// The bytes themselves, not a time stamp: a change within the same second, or one that keeps the
// size, is seen as well.
FileFingerprint Fingerprint(const std::string& path) {
  FileFingerprint print;
  print.path = path;
  std::string bytes;
  // A file over the settings limit is never read or written, so it cannot be overwritten either.
  if (!platform::ReadFileBytes(platform::ToHostPath(path), bytes, platform::kMaxSettingsFileSize))
    return print;
  print.exists = true;
  print.size = bytes.size();
  std::uint64_t hash = 14695981039346656037ull; // FNV-1a
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  print.hash = hash;
  return print;
}

} // namespace

std::string AlreadyOpenText(const std::string& gameDir) {
  std::string dir = gameDir;
  if (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/'))
    dir.pop_back();
  return "Quorvel is already open for this game (" + dir + ").";
}

std::string ChangedFilesText(const std::vector<std::string>& paths) {
  std::string text = "These files were changed by another program since Quorvel read them:\n";
  for (const std::string& path : paths)
    text += path + "\n";
  return text + "Overwrite them?";
}

bool LockGameDirectory(platform::ProcessLock& lock, const std::string& gameDir) {
  return lock.Acquire(platform::ToHostPath(gameDir));
}

void RememberSetFiles(MainState& state) {
  const std::string& ext = state.currentSetExt;
  state.setFileFingerprints.clear();
  for (const std::string& path :
       {SetFilePath(state, "UO.", ext), SetFilePath(state, "MACROS.", ext),
        SetFilePath(state, "LOGIN.", ext), GameFilePath(state, "UO.CFG"),
        GameFilePath(state, "MACROS.TXT"), GameFilePath(state, "LOGIN.CFG")})
    state.setFileFingerprints.push_back(Fingerprint(path));
}

std::vector<std::string> ChangedSetFiles(const MainState& state) {
  std::vector<std::string> changed;
  for (const FileFingerprint& known : state.setFileFingerprints) {
    if (Fingerprint(known.path) != known)
      changed.push_back(known.path);
  }
  return changed;
}

} // namespace qv
