#pragma once

#include <functional>
#include <string>

// Whether the game's client is running. The client writes its settings back when it closes, so
// a save made meanwhile would be lost.
namespace qv::platform {

// True when a process of this host runs the client file that exePath names (Windows or host
// form, as the registry's "ExePath" gives it): the file name compared without regard to case, the
// directory by identity after the program's path mapping. Asks the probe a test installed, if any.
bool IsGameRunning(const std::string& exePath);

// The host's own look at the processes, whatever probe is installed. On Windows: the image file
// of every process. Elsewhere: a process whose executable is the client file, whoever runs it; or
// a Wine process of the registry home's prefix whose program is the client. The program is
// argv[0] (Wine's loader shows the one it starts there, in the form it was started with), never a
// later argument, which is data of some other program. The prefix is the one Wine picks from the
// process's environment (WINEPREFIX, else ~/.wine of its HOME), compared by identity; a process
// whose environment cannot be read (another user's) counts only by its executable.
bool HostIsGameRunning(const std::string& exePath);

// Installs the probe IsGameRunning asks instead of the host; an empty function restores the
// host's.
using GameRunningProbe = std::function<bool(const std::string& exePath)>;
void SetGameRunningProbe(GameRunningProbe probe);

} // namespace qv::platform
