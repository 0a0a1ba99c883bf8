#pragma once

#include <filesystem>

namespace qv::demo {

// True when the registry home holds the game's "ExePath".
bool RegistryHasGame();
// Makes <dir> a small Wine prefix: system.reg with the game's entry, and the game directory
// drive_c/Program Files (x86)/Ultima Online with sample UO.CFG, MACROS.TXT, LOGIN.CFG,
// version.txt, Patchlog and Journal.Log.
void CreateDemoInstallation(const std::filesystem::path& dir);

} // namespace qv::demo
