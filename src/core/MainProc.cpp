// Start-up, first-run copies and the paths of the game's files.
#include "core/MainProc.h"

#include "core/CoreText.h"
#include "core/SetCatalog.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "settings/KVXFile.h"
#include "settings/KVXStrings.h"
#include "text/Encoding.h"

namespace qv {

namespace {

const char* const kGameKey = "\\SOFTWARE\\Origin Worlds Online\\Ultima Online\\1.0";
const char* const kProgramKey = "\\SOFTWARE\\Quorvel\\";
const char* const kPrinterFontKey = "\\SOFTWARE\\Quorvel\\PrinterFont";
const char* const kDefaultExePath = "C:\\ONLINE\\UO\\CLIENT.EXE";
const char* const kDefaultSetExt = "001";

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

template <std::size_t N>
std::vector<std::string> ToList(const std::array<std::string_view, N>& items) {
  return std::vector<std::string>(items.begin(), items.end());
}

} // namespace

std::string GameDirFromExePath(const std::string& exePath) {
  const std::string path = core::Trim(exePath).empty() ? kDefaultExePath : exePath;
  std::size_t cut = 13; // the length of the default path's directory part, separator included
  for (std::size_t i = path.size(); i-- > 0;) {
    if (IsSeparator(path[i])) {
      cut = i + 1;
      break;
    }
  }
  return AddBackslash(path.substr(0, cut));
}

std::string ReadGameDir() {
  std::string exePath = kDefaultExePath;
  try {
    exePath = TKVXFile("HKEY_LOCAL_MACHINE", skRegistry).ReadText(kGameKey, "ExePath", exePath);
  } catch (...) {
    // StartUp reports it; the game directory is then the default one there as well.
  }
  return GameDirFromExePath(exePath);
}

std::string ValidSetExt(const std::string& ext) {
  if (ext.empty())
    return kDefaultSetExt;
  for (char c : ext)
    if (c < '0' || c > '9')
      return kDefaultSetExt;
  return ext;
}

std::string GameFilePath(const MainState& state, std::string_view relativeName) {
  const char separator = !state.gameDir.empty() && state.gameDir.back() == '/' ? '/' : '\\';
  std::string path = state.gameDir;
  for (char c : relativeName)
    path += c == '\\' ? separator : c;
  return path;
}

std::string SetFilePath(const MainState& state, std::string_view kind, std::string_view ext) {
  return GameFilePath(state, "QRVDAT\\" + std::string(kind) + std::string(ext));
}

bool IsExistingDirectory(const std::string& path) {
  return platform::IsExistingDirectory(path);
}

void FillParameterLists(MainState& state) {
  state.walkDirections = ToList(kWalkDirections);
  state.windowNames = ToList(kWindowNames);
  state.skillNames = ToList(kSkillNames);
  state.spellNames = ToList(kSpellNames);
}

void StartUp(MainState& state) {
  state.optionLines.clear();
  state.walkDirections.clear();
  state.macroLines.clear();
  state.windowNames.clear();
  state.skillNames.clear();
  state.spellNames.clear();
  state.programDir = AddBackslash(platform::ExecutableDir());

  std::string exePath = kDefaultExePath;
  {
    TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
    try {
      exePath = store.ReadText(kGameKey, "ExePath", exePath);
      CurrentSetChoice current = ChooseCurrentSet();
      state.currentSetExt = current.ext;
      state.currentSetProblem = std::move(current.problem);
      state.uoxSupport = store.ReadFlag(kProgramKey, "UOXSupport", false);
      // Each value is applied as it is read: a bad one must not undo those before it.
      state.printerFont = PrinterFont();
      state.printerFont.name = store.ReadText(kPrinterFontKey, "Name", "System");
      state.printerFont.size = store.ReadNumber(kPrinterFontKey, "Size", 10);
      state.printerFont.bold = store.ReadFlag(kPrinterFontKey, "Bold", false);
      state.printerFont.italic = store.ReadFlag(kPrinterFontKey, "Italic", false);
      state.printerFont.underline = store.ReadFlag(kPrinterFontKey, "Underline", false);
    } catch (...) {
      state.exePath = exePath;
      state.gameDir = GameDirFromExePath(exePath);
      throw;
    }
    state.exePath = exePath;
    state.gameDir = GameDirFromExePath(exePath);
  }

  const std::string workDir = GameFilePath(state, "QRVDAT");
  // A failure shows later, when the set's files cannot be read.
  if (!IsExistingDirectory(workDir))
    platform::CreateDirectory(workDir);
  // Saves cut short (the program killed, the power gone) may have left their temporary files and
  // their mark: the player is told which game files may not be what the set holds.
  FindUnfinishedSave(state);
#ifndef _WIN32
  platform::RemoveStaleTempFiles(platform::RegistryHome());
#endif
  FillParameterLists(state);
}

void MakeFirstRunCopies(MainState& state) {
  struct FirstCopy {
    const char* file;
    const char* backup;
    const char* setCopy;
  };
  static const FirstCopy kCopies[] = {
      {"UO.CFG", "UO.OLD", "QRVDAT\\UO.001"},
      {"MACROS.TXT", "MACROS.OLD", "QRVDAT\\MACROS.001"},
      {"LOGIN.CFG", "LOGIN.OLD", "QRVDAT\\LOGIN.001"},
  };
  // A missing game file is no error (the game makes it later); one that is there but cannot be
  // copied (a FIFO, an absurd size, a full disk) is, or the user would never learn why its
  // backup and its set copy are missing.
  std::string failures;
  for (const FirstCopy& copy : kCopies) {
    const std::string source = GameFilePath(state, copy.file);
    for (const char* target : {copy.backup, copy.setCopy}) {
      const std::string path = GameFilePath(state, target);
      if (!platform::FileExists(path) && !platform::CopyFileReplacing(source, path) &&
          platform::PathExists(source)) {
        failures += (failures.empty() ? "" : "\n") + std::string("Cannot copy file ") + source +
                    " to " + path + "\n" + platform::LastFileError();
        break; // the same reason would stop the second copy
      }
    }
  }
  // Registered only once its copies exist: a set without its files would show defaults, and its
  // first Save would write a set the game's own files never were.
  if (!failures.empty())
    throw Error(failures);
  RegisterOriginalSet(state);
}

std::string JournalFilePath(const MainState& state) {
  return Cp1252ToUtf8(state.journalFile);
}

std::string DefaultJournalFile(const MainState& state) {
  return Utf8ToCp1252(state.gameDir) + "Journal.Log";
}

} // namespace qv
