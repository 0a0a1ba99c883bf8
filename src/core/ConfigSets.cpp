// Saving and the configuration sets' files in QRVDAT.
#include <algorithm>
#include <array>
#include <chrono>
#include <optional>

#include "core/CoreText.h"
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

std::string SaveMarkPath(const MainState& state) {
  return GameFilePath(state, "QRVDAT\\" + std::string(kSaveMarkName));
}

// A save's mark, from before its first write until it returns or throws. The user hears of
// either, so only a save that never reached its end leaves the mark behind.
class SaveMark {
public:
  // Written atomically and flushed: on disk before anything the save writes.
  explicit SaveMark(const MainState& state) : path_(SaveMarkPath(state)) {
    platform::WriteLines(path_, {state.currentSetExt});
  }
  // Not flushed: a mark that a power cut brings back only makes the next start compare the files.
  ~SaveMark() { platform::RemoveFile(platform::ToHostPath(path_)); }
  SaveMark(const SaveMark&) = delete;
  SaveMark& operator=(const SaveMark&) = delete;

private:
  std::string path_;
};

// A settings file's bytes; nothing when it cannot be read (missing, too large).
std::optional<std::string> SettingsFileBytes(const std::string& path) {
  std::string bytes;
  if (!platform::ReadFileBytes(platform::ToHostPath(path), bytes, platform::kMaxSettingsFileSize))
    return std::nullopt;
  return bytes;
}

// Whether a write that was cut (the name of the file it was for) is one of those a save makes.
// The game directory may spell its files in any case ("uo.cfg").
bool IsCutWriteOf(const std::vector<std::string>& cutWrites, const std::string& name) {
  const std::string wanted = core::UpperCase(name);
  return std::any_of(cutWrites.begin(), cutWrites.end(),
                     [&](const std::string& cut) { return core::UpperCase(cut) == wanted; });
}

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

std::string PartContent(const MainState& state, SetPart part) {
  switch (part) {
  case SetPart::Options: {
    std::vector<std::string> lines = state.optionLines;
    try {
      const std::vector<std::string> options = OptionFileLines(state);
      lines.insert(lines.end(), options.begin(), options.end());
    } catch (const Error&) {
      // A cache size that is no number differs from any the load left.
      lines.push_back("CacheSize=" + state.cacheSize);
    }
    return platform::JoinLines(lines);
  }
  case SetPart::Servers: {
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < state.servers.size(); ++k)
      lines.push_back(state.servers[k] + "," + state.ports[k]);
    lines.insert(lines.end(), state.extraLoginLines.begin(), state.extraLoginLines.end());
    return platform::JoinLines(lines);
  }
  case SetPart::Macros:
    return platform::JoinLines(state.macroLines);
  }
  return {};
}

bool SaveCurrentSet(MainState& state, SaveReport* report) {
  // Two windows on one game save one after the other, never into each other's set.
  platform::DirectoryLock lock;
  if (!lock.Acquire(platform::ToHostPath(GameFilePath(state, "QRVDAT")), kSetLockWait))
    throw Error("Cannot create file " + SetFilePath(state, "UO.", state.currentSetExt));
  // Declared after the lock, so that it goes while the lock is still held.
  const SaveMark mark(state);
  state.lastSaveUnfinished = false;
  state.unfinishedSaveFiles.clear();

  // A part whose copy could not be read holds nothing of the user's: writing it would put empty
  // or default data over the set's copy and the game's file.
  std::array<bool, 3> save{};
  for (std::size_t k = 0; k < save.size(); ++k) {
    const auto& unread = state.unreadParts[k];
    save[k] = !unread || *unread != PartContent(state, static_cast<SetPart>(k));
  }
  if (save[static_cast<std::size_t>(SetPart::Options)])
    WriteOptions(state);
  if (save[static_cast<std::size_t>(SetPart::Servers)])
    WriteLoginServers(state);
  if (save[static_cast<std::size_t>(SetPart::Macros)])
    WriteMacros(state);

  SaveReport done;
  for (std::size_t k = 0; k < save.size(); ++k) {
    const GameFile& file = kGameFiles[k];
    const std::string copy = SetFilePath(state, file.kind, state.currentSetExt);
    if (!save[k]) {
      done.notSaved.push_back(copy);
      continue;
    }
    // Written now, the copy holds this part whatever the install below does.
    state.unreadParts[k].reset();
    // Each copy is tried whatever became of the one before.
    if (!platform::CopyFileReplacing(copy, GameFilePath(state, file.name))) {
      done.notInstalled.push_back(GameFilePath(state, file.name));
      if (done.installError.empty())
        done.installError = platform::LastFileError();
    }
  }
  const bool complete = done.notSaved.empty() && done.notInstalled.empty();
  if (report)
    *report = std::move(done);
  return complete;
}

void FindUnfinishedSave(MainState& state) {
  state.lastSaveUnfinished = false;
  state.unfinishedSaveFiles.clear();
  const std::string workDir = GameFilePath(state, "QRVDAT");
  platform::DirectoryLock lock;
  const bool otherSaveRunning = !lock.Acquire(platform::ToHostPath(workDir), kSetLockWait);
  // Those that a running write holds are left: every file removed is a cut write's.
  const std::vector<std::string> cutInGameDir =
      platform::RemoveStaleTempFiles(platform::ToHostPath(state.gameDir));
  const std::vector<std::string> cutInWorkDir =
      platform::RemoveStaleTempFiles(platform::ToHostPath(workDir));
  if (otherSaveRunning)
    return; // its mark stands for a save that is still writing

  const std::string markPath = SaveMarkPath(state);
  const bool marked = platform::FileExists(markPath);
  bool cut = marked;
  // Without the mark (a save of an older version of the program), a cut write of one of the
  // files a save writes tells it. Those of other writes (a new set's copies) do not: the game
  // writes its own UO.CFG, so a difference alone means nothing.
  for (const GameFile& file : kGameFiles)
    cut = cut || IsCutWriteOf(cutInGameDir, std::string(file.name)) ||
          IsCutWriteOf(cutInWorkDir, std::string(file.kind) + state.currentSetExt);
  if (!cut)
    return;

  state.lastSaveUnfinished = true;
  for (const GameFile& file : kGameFiles) {
    const std::string gameFile = GameFilePath(state, file.name);
    if (SettingsFileBytes(gameFile) !=
        SettingsFileBytes(SetFilePath(state, file.kind, state.currentSetExt)))
      state.unfinishedSaveFiles.push_back(gameFile);
  }
  try {
    if (state.unfinishedSaveFiles.empty())
      platform::RemoveFile(platform::ToHostPath(markPath));
    else if (!marked)
      platform::WriteLines(markPath, {state.currentSetExt});
  } catch (const Error&) {
    // This start tells the player all the same; only the next one may not.
  }
}

std::string UnfinishedSaveText(const MainState& state) {
  if (!state.lastSaveUnfinished || state.unfinishedSaveFiles.empty())
    return {};
  std::string text =
      "The last Save did not finish. These files may differ from the configuration's copies:\n";
  for (const std::string& path : state.unfinishedSaveFiles)
    text += path + "\n";
  return text + "Save installs them again.";
}

void LoadCurrentSet(MainState& state, int sortCol) {
  // Each copy on its own: one that cannot be read must neither stop the others nor leave the
  // previous set's data in its part, where a save would write it into this set.
  std::vector<std::string> errors;
  auto readCopy = [&](SetPart part, std::string_view kind, std::vector<std::string>& lines) {
    try {
      lines = platform::ReadLines(SetFilePath(state, kind, state.currentSetExt));
      return true;
    } catch (const Error& error) {
      errors.push_back(error.what());
      lines.clear();
      state.unreadParts[static_cast<std::size_t>(part)] = std::string();
      return false;
    }
  };
  state.unreadParts = {};

  const bool optionsRead = readCopy(SetPart::Options, "UO.", state.optionLines);
  if (!optionsRead) {
    state.soundVol = 255;
    state.musicVol = 255;
  }
  try {
    ReadOptions(state, SetFilePath(state, "UO.", state.currentSetExt));
  } catch (const Error& error) {
    errors.push_back(error.what());
  }

  std::vector<std::string> loginLines;
  if (readCopy(SetPart::Servers, "LOGIN.", loginLines)) {
    ReadLoginServerLines(state, loginLines);
  } else {
    state.servers = {};
    state.ports = {};
    state.extraLoginLines.clear();
  }

  readCopy(SetPart::Macros, "MACROS.", state.macroLines);
  FillMacroGrid(state, sortCol);

  for (std::size_t k = 0; k < state.unreadParts.size(); ++k)
    if (state.unreadParts[k])
      state.unreadParts[k] = PartContent(state, static_cast<SetPart>(k));
  if (!errors.empty()) {
    std::string text = errors.front();
    for (std::size_t k = 1; k < errors.size(); ++k)
      text += "\n" + errors[k];
    throw Error(text);
  }
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
