#include "cli/CommandLine.h"

#include <cerrno>
#include <chrono>
#include <ostream>

#include "core/JournalPlace.h"
#include "core/MainProc.h"
#include "core/SaveGuards.h"
#include "core/SetArchive.h"
#include "core/SetCatalog.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/GameProcess.h"
#include "platform/ProcessLock.h"
#include "platform/Registry.h"
#include "settings/KVXFile.h"

namespace qv::cli {

namespace {

constexpr const char* kUsage =
    "Usage: quorvel [COMMAND]\n"
    "Without a command, opens the window.\n"
    "\n"
    "Commands:\n"
    "  --list                 list the configuration sets: '*' marks the current one, then its\n"
    "                         extension and its name ('---' and 'damaged' for a set without\n"
    "                         a number, which can only be deleted)\n"
    "  --use NAME             make the set current and install its files over UO.CFG,\n"
    "                         MACROS.TXT and LOGIN.CFG (as Set to Current and Save do)\n"
    "  --export NAME FILE     write the set (its name and its three files) into FILE\n"
    "  --import FILE [NAME]   add the set in FILE as a new set, under NAME if given\n"
    "  --help                 show this help\n"
    "  --version              show the version\n"
    "\n"
    "Names are matched as the sets dialog matches them: blanks at the ends and letter case do\n"
    "not count. The game and the registry are found as the window finds them (WINEPREFIX,\n"
    "QUORVEL_REGISTRY).\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  failed: a file or the registry could not be read or written, the file to import is\n"
    "     damaged, or not all three files could be installed\n"
    "  2  bad arguments\n"
    "  3  not found: no set of that name, or no such file to import\n"
    "  4  refused: Quorvel is open for this game, the game is running, or Wine is running for\n"
    "     the prefix; nothing was changed\n"
    "  5  the new set's name is refused: already taken, a backslash, or over 50 characters\n";

// The window's question before a save while the game runs, without the question: a command
// cannot be asked.
constexpr const char* kGameRunningRefusal =
    "Ultima Online is running and will overwrite these settings when it closes.";

// Ends a command with its exit code and the message for standard error.
struct Stop {
  int code;
  std::string text;
};

[[noreturn]] void Fail(int code, std::string text) {
  throw Stop{code, std::move(text)};
}

std::string WithReason(std::string text) {
  if (const std::string reason = platform::LastFileError(); !reason.empty())
    text += "\n" + reason;
  return text;
}

constexpr std::string_view kKinds[] = {"UO.", "MACROS.", "LOGIN."};

// While a command changes files or the registry, no window may work on the same game: its next
// save would undo the change, and its sets dialog would not know the new set.
class GameGuard {
public:
  GameGuard() {
    const std::string gameDir = ReadGameDir();
    if (!LockGameDirectory(lock_, gameDir))
      Fail(kRefused, AlreadyOpenText(gameDir));
  }

private:
  platform::ProcessLock lock_;
};

void RefuseWhileWineRuns() {
  if (const std::string reason = platform::RegistryChangeRefusal(); !reason.empty())
    Fail(kRefused, reason);
}

// A registry write that failed: refused when Wine came up meanwhile, else failed.
[[noreturn]] void RegistryFailed(const Error& error) {
  Fail(platform::RegistryChangeRefusal().empty() ? kFailed : kRefused, error.what());
}

std::string FoundSet(const std::string& name) {
  const std::optional<std::string> found = FindSet(ListSets(), name);
  if (!found)
    Fail(kNotFound, "There is no configuration named '" + name + "'.");
  return *found;
}

// The set's extension; a damaged set is refused: it has no files of its own.
std::string UsableSetExt(const std::string& set) {
  const std::optional<std::string> ext = SetExt(set);
  if (!ext)
    Fail(kFailed, DamagedSetText(set));
  return *ext;
}

// What the window tells at its start: a current set that is missing or damaged, a Save that was
// cut short.
void WarnOfStart(const MainState& state, std::ostream& err) {
  for (const std::string& text : {state.currentSetProblem, UnfinishedSaveText(state)})
    if (!text.empty())
      err << "quorvel: warning: " << text << "\n";
}

// A set from elsewhere may name any file as its journal, which the Journal page's Clear empties.
void WarnOfJournal(const MainState& state, std::ostream& err) {
  if (const std::string warning = JournalOutsideWarning(state); !warning.empty())
    err << "quorvel: warning: " << warning << "\n";
}

// What the window's start does on a game it has not seen: the backups, the original set.
void FirstRun(MainState& state) {
  MakeFirstRunCopies(state);
}

int List(std::ostream& out) {
  const std::vector<SetEntry> sets = ListSetEntries();
  if (sets.empty())
    out << "No configuration sets yet: the original set is made when Quorvel first opens this "
           "game, or by --use or --import.\n";
  std::vector<std::string> names;
  for (const SetEntry& set : sets)
    names.push_back(set.name);
  const std::optional<std::string> current = FindSet(names, CurrentSetName());
  for (const SetEntry& set : sets) {
    out << (current && *current == set.name ? "* " : "  ");
    if (set.ext)
      out << *set.ext << " " << set.name << "\n";
    else
      out << "--- " << set.name << "  (damaged: no configuration number; it can only be deleted)\n";
  }
  return kDone;
}

int Use(const std::string& name, std::ostream& out, std::ostream& err) {
  GameGuard guard;
  MainState state;
  StartUp(state);
  WarnOfStart(state, err);
  if (platform::IsGameRunning(state.exePath))
    Fail(kRefused, kGameRunningRefusal);
  RefuseWhileWineRuns();
  FirstRun(state);
  const std::string set = FoundSet(name);

  // Read before anything changes: a set that cannot be read is not made current.
  state.currentSetExt = UsableSetExt(set);
  LoadCurrentSet(state);
  // Then as the Save button: the set's copies written and installed over the game's files, and
  // only then made current: the registry must not name a set whose install failed.
  SaveReport report;
  if (!SaveCurrentSet(state, &report)) {
    std::string text(kSaveFailedText);
    for (const std::string& path : report.notInstalled)
      text += "\n" + path;
    if (!report.installError.empty())
      text += "\n" + report.installError;
    text += "\nThe current configuration is still '" + CurrentSetName() + "'.";
    Fail(kFailed, text);
  }
  try {
    MakeSetCurrent(set);
  } catch (const Error& error) {
    RegistryFailed(error);
  }
  out << kSaveSucceededText << "\n";
  WarnOfJournal(state, err);
  return kDone;
}

int Export(const std::string& name, const std::string& file, std::ostream& out) {
  MainState state;
  state.gameDir = ReadGameDir();
  SetArchive archive;
  archive.name = FoundSet(name);
  const std::string ext = UsableSetExt(archive.name);
  {
    // Not in the middle of a window's save.
    platform::DirectoryLock lock;
    lock.Acquire(platform::ToHostPath(GameFilePath(state, "QRVDAT")),
                 std::chrono::milliseconds(3000));
    for (std::size_t k = 0; k < archive.files.size(); ++k) {
      const std::string path = SetFilePath(state, kKinds[k], ext);
      if (!platform::ReadFileBytes(platform::ToHostPath(path), archive.files[k],
                                   platform::kMaxSettingsFileSize))
        Fail(kFailed, WithReason("Cannot open file " + path));
    }
  }
  if (!platform::WriteFileAtomically(file, EncodeSetArchive(archive)))
    Fail(kFailed, WithReason("Cannot create file " + file));
  out << "Exported '" << archive.name << "' to " << file << "\n";
  return kDone;
}

int Import(const std::string& file, const std::string* givenName, std::ostream& out,
           std::ostream& err) {
  GameGuard guard;
  MainState state;
  StartUp(state);
  WarnOfStart(state, err);
  RefuseWhileWineRuns();
  FirstRun(state);

  // Everything is checked before anything is written.
  std::string bytes;
  if (!platform::ReadFileBytes(file, bytes, kMaxSetArchiveSize)) {
    const bool missing = errno == ENOENT;
    Fail(missing ? kNotFound : kFailed, WithReason("Cannot open file " + file));
  }
  SetArchive archive;
  try {
    archive = DecodeSetArchive(bytes);
  } catch (const Error& error) {
    Fail(kFailed, "Cannot import " + file + ":\n" + error.what());
  }
  const std::string name = givenName ? *givenName : archive.name;
  if (const std::string refusal = SetNameRefusal(name, ListSets()); !refusal.empty())
    Fail(kNameRefused, refusal);

  std::optional<std::string> ext;
  try {
    ext = ImportSet(state, name, archive.files);
  } catch (const Error& error) {
    // A file that could not be written is a failure; a registry refused while Wine came up is
    // a refusal.
    if (std::string_view(error.what()).starts_with("Cannot create file"))
      Fail(kFailed, error.what());
    RegistryFailed(error);
  }
  if (!ext)
    Fail(kFailed, std::string(kNoMoreSetsText));
  out << "Imported '" << name << "' as configuration " << *ext << "\n";
  // The set is in; only what it carries is read now, for the warning.
  state.currentSetExt = *ext;
  try {
    LoadCurrentSet(state);
  } catch (const Error&) {
  }
  WarnOfJournal(state, err);
  return kDone;
}

int Usage(std::ostream& err, const std::string& problem) {
  err << "quorvel: " << problem << "\nTry 'quorvel --help'.\n";
  return kBadArguments;
}

} // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty())
    return Usage(err, "no command given");
  const std::string& command = args.front();
  const std::size_t operands = args.size() - 1;
  auto needs = [&](std::size_t least, std::size_t most) {
    return operands >= least && operands <= most;
  };
  try {
    if (command == "--help" || command == "-h") {
      if (!needs(0, 0))
        return Usage(err, "--help takes no arguments");
      out << kUsage;
      return kDone;
    }
    if (command == "--version") {
      if (!needs(0, 0))
        return Usage(err, "--version takes no arguments");
      out << "Quorvel " << QUORVEL_VERSION_TEXT << "\n";
      return kDone;
    }
    if (command == "--list")
      return needs(0, 0) ? List(out) : Usage(err, "--list takes no arguments");
    if (command == "--use")
      return needs(1, 1) ? Use(args[1], out, err) : Usage(err, "--use needs the set's NAME");
    if (command == "--export")
      return needs(2, 2) ? Export(args[1], args[2], out)
                         : Usage(err, "--export needs the set's NAME and a FILE");
    if (command == "--import")
      return needs(1, 2) ? Import(args[1], operands == 2 ? &args[2] : nullptr, out, err)
                         : Usage(err, "--import needs a FILE, and a NAME if you like");
    return Usage(err, "unknown command '" + command + "'");
  } catch (const Stop& stop) {
    err << "quorvel: " << stop.text << "\n";
    return stop.code;
  } catch (const std::exception& error) {
    err << "quorvel: " << error.what() << "\n";
    return kFailed;
  }
}

} // namespace qv::cli
