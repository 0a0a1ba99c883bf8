#pragma once

#include <filesystem>

namespace qv::demo {

// True when the registry home holds the game's "ExePath".
bool RegistryHasGame();
// Writes <dir>/registry/system.reg with the game's entry and a game directory <dir>/game with
// sample UO.CFG, MACROS.TXT, LOGIN.CFG, version.txt, Patchlog and Journal.Log.
void CreateDemoInstallation(const std::filesystem::path& dir);

} // namespace qv::demo
