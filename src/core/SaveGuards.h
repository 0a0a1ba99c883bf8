#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/MainState.h"

namespace qv::platform {
class ProcessLock;
}

// What keeps a save from being undone behind the user's back: the game's client, which writes its
// settings back when it closes; a second window on the same game; another program changing the
// files between this window's read and its save.
namespace qv {

inline constexpr std::string_view kGameRunningText =
    "Ultima Online is running and will overwrite these settings when it closes. Save anyway?";

// "Quorvel is already open for this game (<gameDir without its final separator>)."
std::string AlreadyOpenText(const std::string& gameDir);
// The question before overwriting files another program changed: the paths one a line.
std::string ChangedFilesText(const std::vector<std::string>& paths);

// One program per game directory: takes the lock on the game directory, held as long as `lock`
// lives. False when another running program holds it; the lock of a program that ended is gone
// with it.
bool LockGameDirectory(platform::ProcessLock& lock, const std::string& gameDir);

// Records the current set's three copies in QRVDAT and the game's three files as they are now.
void RememberSetFiles(MainState& state);
// Those of the recorded files whose bytes differ from the record now (changed, created or
// removed), in the record's order. Nothing when nothing was recorded.
std::vector<std::string> ChangedSetFiles(const MainState& state);

} // namespace qv
