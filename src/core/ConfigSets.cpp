// Saving and the configuration sets' files in QRVDAT.
#include <chrono>
#include <optional>

#include "core/MainProc.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace qv {

namespace {

struct GameFile {
  std::string_view kind; // the set copy's name in front of the extension
  std::string_view name; // the game's own file
};

// How long a save waits for another window's save of the same game to end.
constexpr std::chrono::milliseconds kSetLockWait{3000};

constexpr GameFile kGameFiles[] = {
    {"UO.", "UO.CFG"}, {"MACROS.", "MACROS.TXT"}, {"LOGIN.", "LOGIN.CFG"}};

} // namespace

bool InstallCurrentSet(MainState& state) {
  bool allCopied = true;
  for (const GameFile& file : kGameFiles) {
    // Each copy is tried whatever became of the one before.
    if (!platform::CopyFileReplacing(SetFilePath(state, file.kind, state.currentSetExt),
                                     GameFilePath(state, file.name)))
      allCopied = false;
  }
  return allCopied;
}

bool SaveCurrentSet(MainState& state) {
  // Two windows on one game save one after the other, never into each other's set.
  platform::DirectoryLock lock;
  if (!lock.Acquire(platform::ToHostPath(GameFilePath(state, "QRVDAT")), kSetLockWait))
    throw Error("Cannot create file " + SetFilePath(state, "UO.", state.currentSetExt));
  WriteOptions(state);
  WriteLoginServers(state);
  WriteMacros(state);
  return InstallCurrentSet(state);
}

void LoadCurrentSet(MainState& state, int sortCol) {
  state.optionLines = platform::ReadLines(SetFilePath(state, "UO.", state.currentSetExt));
  // A bad option value must not leave the servers and macros of another set beside these
  // options, where a save would write them into this set: read on, report at the end.
  std::optional<Error> badValue;
  try {
    ReadOptions(state, SetFilePath(state, "UO.", state.currentSetExt));
  } catch (const Error& error) {
    badValue = error;
  }
  ReadLoginServers(state);
  state.macroLines = platform::ReadLines(SetFilePath(state, "MACROS.", state.currentSetExt));
  FillMacroGrid(state, sortCol);
  if (badValue)
    throw *badValue;
}

void CopyCurrentSet(MainState& state, const std::string& newExt) {
  // An extension forms a file name; anything but digits could name a file outside QRVDAT.
  if (ValidSetExt(newExt) != newExt)
    return;
  platform::DirectoryLock lock;
  if (!lock.Acquire(platform::ToHostPath(GameFilePath(state, "QRVDAT")), kSetLockWait))
    return;
  for (const GameFile& file : kGameFiles)
    platform::CopyFileReplacing(SetFilePath(state, file.kind, state.currentSetExt),
                                SetFilePath(state, file.kind, newExt));
}

} // namespace qv
