#pragma once

#include <string>

// Where the journal file lies. UO.CFG names it, and a configuration set from someone else brings
// its own UO.CFG, so the name can point at any file of the user's; Clear empties whatever file it
// names. The program therefore tells the user when that file is not below the game directory.
namespace qv {

struct MainState;

// The place a program path (Windows or host form) leads to on this host: mapped the way the file
// operations map it (ToHostPath), made absolute, every symbolic link followed as far as the links
// exist, and "." and ".." taken on the way as the system takes them. Host form, UTF-8; empty for
// an empty path.
std::string RealLocation(const std::string& path);

// True when the path does not lead below the directory, both compared by their real locations.
// A blank path or an empty directory is not outside.
bool LiesOutsideDirectory(const std::string& path, const std::string& dir);

// True when the journal file the state names (JournalFilePath) lies outside state.gameDir.
bool JournalOutsideGameDir(const MainState& state);

// For the command line after a set came in or became current: "The journal file of this
// configuration lies outside the game directory: <name>", with " (<real location>)" after the name
// when the two differ. Empty when the journal is not outside.
std::string JournalOutsideWarning(const MainState& state);

} // namespace qv
