#pragma once

#include <functional>
#include <string>

// Whether the game's client is running. The client writes its settings back when it closes, so
// a save made meanwhile would be lost.
namespace qv::platform {

// True when a process of this host runs the client file that exePath names (Windows or host
// form, as the registry's "ExePath" gives it). The file name is compared without regard to case,
// the directory by identity after the program's path mapping, so that a Wine process of the
// registry home's prefix counts and a client of the same name elsewhere does not. Asks the probe
// a test installed, if any.
bool IsGameRunning(const std::string& exePath);

// The host's own look at the processes, whatever probe is installed. Elsewhere than on Windows:
// every argument of a process's command line (Wine shows the Windows path there) and its
// executable. On Windows: the image file of every process.
bool HostIsGameRunning(const std::string& exePath);

// Installs the probe IsGameRunning asks instead of the host; an empty function restores the
// host's.
using GameRunningProbe = std::function<bool(const std::string& exePath)>;
void SetGameRunningProbe(GameRunningProbe probe);

} // namespace qv::platform
