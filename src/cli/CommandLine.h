#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// quorvel with arguments: lists the configuration sets, makes one current and installs it,
// exports one to a file and imports one from a file, without a window. It finds the game and the
// registry as the window does, and keeps the window's guards: one program per game, no install
// while the game runs, no registry change while Wine runs.
namespace qv::cli {

// The exit codes, also listed by --help and in the README.
enum ExitCode : int {
  kDone = 0,
  kFailed = 1,       // a file or the registry could not be read or written; a damaged import file
  kBadArguments = 2, // an unknown option, a missing or surplus argument
  kNotFound = 3,     // no set of that name, no such file to import
  kRefused = 4,      // another Quorvel open for the game, the game running, Wine running
  kNameRefused = 5,  // a new set's name against the dialog's rules (taken, backslash, too long)
};

// Runs the command the arguments (without the program's name) ask for. Results go to out,
// errors to err with the texts the window shows. The exit code.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace qv::cli
