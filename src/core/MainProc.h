#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/MacroVocabulary.h"
#include "core/MainState.h"

// The unit MainProc: start-up, the three game files (UO.CFG, MACROS.TXT, LOGIN.CFG), saving and
// the configuration sets' files. Every operation works on one MainState.
//
// Errors: operations throw qv::Error whose text is the message the user sees ("Cannot open file
// <path>", "Cannot create file <path>", "'<value>' is not a valid integer value", "'<value>' is
// not a valid floating point value", the bad option values ReadOptions names, or the settings
// store's own texts). Paths in messages are the full paths as the program forms them from
// gameDir.
namespace qv {

// --- Texts of the coded combo boxes (code, " - ", text) ---

// cboxPage: codes "Y", "N", "G".
inline constexpr std::array<std::string_view, 3> kPageFlipItems = {"Y - Yes", "N - No", "G - GDI"};
// cboxJrnl: codes "Y", "N".
inline constexpr std::array<std::string_view, 2> kYesNoItems = {"Y - Yes", "N - No"};

// --- Messages of the save sequence ---

inline constexpr std::string_view kSaveSucceededText =
    "Ultima Online has been configured successfully off-line.";
inline constexpr std::string_view kSaveFailedText =
    "Configuring Ultima Online FAILED!  Please make sure you are not currently running Ultima "
    "Online.";

// The end line the program writes after every macro block.
inline constexpr std::string_view kMacroEndLine = "########";

// --- Start-up (run once, while the main window is created) ---

// Reads the game directory, the current set's extension (ChooseCurrentSet: a missing or damaged
// current set falls back to "001" and sets currentSetProblem), the UOX switch and the printer font
// from the registry, fills the parameter lists and creates gameDir + "QRVDAT" when it is missing.
// Removes the temporary files that killed saves left in gameDir, QRVDAT and the registry home.
// A registry value of the wrong type throws the settings store's error; the values read before it
// are kept, gameDir is derived all the same, and the rest is skipped.
void StartUp(MainState& state);
// Copies each game file to its ".OLD" backup and to its "QRVDAT" ".001" copy where that target
// does not exist yet, then registers the original set (RegisterOriginalSet) once its three copies
// exist. A missing game file is skipped; one that exists but cannot be copied is named, with the
// reason, in the error thrown at the end ("Cannot copy file <file> to <copy>"), and the original
// set is then not registered.
void MakeFirstRunCopies(MainState& state);
// True when the path (Windows or host form) names an existing directory.
bool IsExistingDirectory(const std::string& path);
// Empties and refills walkDirections, windowNames, skillNames and spellNames.
void FillParameterLists(MainState& state);

// The game directory derived from an "ExePath" value: cut after its last '\' or '/', or after 13
// characters when it has neither, and ended with a separator. An empty value counts as missing.
std::string GameDirFromExePath(const std::string& exePath);
// The game directory StartUp will find in the registry, without the rest of StartUp: for the
// program's start, before the window exists.
std::string ReadGameDir();
// The extension itself when it is made only of decimal digits, else the default "001".
std::string ValidSetExt(const std::string& ext);

// gameDir followed by a relative name written with '\' ("QRVDAT\UO.001"); the relative name's
// separators follow gameDir's form, so a host-form gameDir gives a host path.
std::string GameFilePath(const MainState& state, std::string_view relativeName);
// The current set's copy of one kind ("UO.", "MACROS.", "LOGIN.") with the given extension.
std::string SetFilePath(const MainState& state, std::string_view kind, std::string_view ext);

// --- Options file (UO.CFG) ---

// Applies optionLines (the file's lines as read) to the option fields (defaults first, then every
// recognised line, the topmost occurrence of a key winning), removes every recognised line from
// optionLines, reads the version from version.txt (empty when it is missing or empty; it ends at
// a zero byte) and sets installDir. A UTF-8 byte-order mark at the start of the first line is
// taken off it into optionsByteOrderMark. A line holding a zero byte is never recognised. A value
// that does not convert is skipped; every other line is still applied and removed, and then one
// error names every bad value, one line each in the file's order, joined by "\n":
// "'<value>' is not a valid ... value (<option> in <sourcePath>)", or "(<option>)" without a
// sourcePath. <option> is the name the program writes ("CacheSize", "SoundVol").
void ReadOptions(MainState& state, std::string_view sourcePath = {});
// Writes optionLines followed by the 15 or 16 option lines to the current set's "QRVDAT\UO."
// copy (with the byte-order mark in front of the first line when the file read had one, or when
// that line itself begins with the mark's bytes), then re-reads them. On any failure optionLines
// and the file are left as they were.
void WriteOptions(MainState& state);
// The option lines WriteOptions appends, in their written order. The cache size is written as
// cacheSizeReadValue while cacheSize still equals cacheSizeReadText, else as the whole number
// cacheSize holds; throws for a cache size text that is not a whole number.
std::vector<std::string> OptionFileLines(const MainState& state);

// --- Macro file (MACROS.TXT) ---

// Rebuilds macroGrid from macroLines (one row per complete block, at least one row) and sorts it
// by the given column as SortMacroGrid does.
void FillMacroGrid(MainState& state, int sortCol = 0);
// The grid's ordering: ascending by the sort column's cell, then Macro, Parameters and Key, each
// padded with blanks to 50 characters, compared byte by byte; equal rows keep their order.
void SortMacroGrid(std::vector<MacroGridRow>& rows, int sortCol);
// The text a row is sorted by.
std::string MacroGridSortKey(const MacroGridRow& row, int sortCol);

// The actions of the first macro whose key line matches (key name compared trimmed, letter case
// counting; the three flags equal). A macro that is not found gives a panel without rows. A key
// line without key name and modifiers (a blank line opening a block) never matches: without
// either, nothing is found.
MacroPanel FillMacroPanel(const MainState& state, const std::string& keyName, bool alt, bool ctrl,
                          bool shift);
// Removes the first matching macro's block (key line, action lines and end line, or up to the
// end of the file when it has no end line) from macroLines. Nothing happens when none matches,
// nor ever for a new, empty row (no key name, no modifier).
void RemoveMacro(MainState& state, const std::string& keyName, bool alt, bool ctrl, bool shift);
// Appends the panel's macro to macroLines: an end line first when the last line is not one, the
// key line, one line per row (action + " " + parameter), the extra action lines, the end line.
void AppendMacro(MainState& state, const MacroPanel& panel);
// The key line of a macro: key name + " " + Ctrl + " " + Alt + " " + Shift, flags "1"/"0".
std::string MacroKeyLine(const std::string& keyName, bool alt, bool ctrl, bool shift);
// True when a line of macroLines equals the key line, both trimmed, letter case counting (the
// "Duplicate Macros!" test of the macro page).
bool HasMacroKeyLine(const MainState& state, const std::string& keyLine);
// Saves macroLines unchanged as the current set's "QRVDAT\MACROS." copy.
void WriteMacros(MainState& state);
// The list an action's parameter is chosen from (one of the state's four lists); an empty list
// for free text and for actions without a parameter.
const std::vector<std::string>& ParameterList(const MainState& state, MacroParameterKind kind);

// --- Login server file (LOGIN.CFG) ---

// Reads the current set's "QRVDAT\LOGIN." copy into servers and ports. Entries beyond the file's
// entry lines keep their texts; entry lines after the fourth go to extraLoginLines.
void ReadLoginServers(MainState& state);
// The same for lines already read.
void ReadLoginServerLines(MainState& state, const std::vector<std::string>& lines);
// Writes the two comment lines, the four entries and extraLoginLines to the same copy.
void WriteLoginServers(MainState& state);

// --- Saving and configuration sets ---

// Copies the current set's three copies over UO.CFG, MACROS.TXT and LOGIN.CFG. All three are
// attempted; true only when all three succeeded.
bool InstallCurrentSet(MainState& state);

// The file in QRVDAT that marks a save under way; it holds the extension of the set being saved.
// No set file has this name: theirs are "<kind>.<digits>".
inline constexpr std::string_view kSaveMarkName = "SAVING";

// What a save left undone, for the message after it.
struct SaveReport {
  // The set copies of the parts that were neither written nor installed: their copy could not be
  // read when the set was loaded, and the user has not filled the part in since.
  std::vector<std::string> notSaved;
  // The game files that could not be replaced by their set copy.
  std::vector<std::string> notInstalled;
  // Why the first of them could not be replaced ("Permission denied", ...).
  std::string installError;
};

// WriteOptions, WriteLoginServers, WriteMacros, then the copies over the game's files: the Save
// button. A part whose copy could not be read by the last load is skipped, copy and game file,
// unless its content has changed since (the user filled it in). True only when every part was
// written and installed (show kSaveSucceededText); the report says what was not. A failure in
// the writes throws and leaves the game's files untouched. Holds a lock on QRVDAT while it
// runs: when another window's save holds it for more than three seconds, throws "Cannot create
// file <the set's UO. copy>" before anything is written. From before its first write until it
// returns or throws, its mark stands in QRVDAT (kSaveMarkName, flushed to disk first; when it
// cannot be written, throws "Cannot create file <its path>" with the reason and writes nothing);
// the save then clears lastSaveUnfinished and unfinishedSaveFiles.
bool SaveCurrentSet(MainState& state, SaveReport* report = nullptr);
// Run by StartUp once the game directory and the current set are known: removes the temporary
// files that cut writes left beside the game's files and in QRVDAT, and tells whether the last
// save was cut short: its mark still in QRVDAT, or a temporary file of one of the files it writes.
// Then sets lastSaveUnfinished and names in unfinishedSaveFiles the game files whose bytes differ
// from the current set's copies. The mark stays while any does, so that every start says so until
// a save installs them; when none does, the install is whole and the mark is taken away. Waits,
// like a save, for another window's save to end: the mark of a save still running is no cut.
void FindUnfinishedSave(MainState& state);
// What the player is told after a save cut short (on start-up, once the window shows; the command
// line on standard error): the game files unfinishedSaveFiles names, one a line. Empty when there
// is nothing to tell.
std::string UnfinishedSaveText(const MainState& state);
// Reads the current set's copies: options, login servers, macros (and rebuilds the grid sorted by
// sortCol). Each copy is read on its own: one that cannot be read leaves only its own part empty
// (defaults for the options) and is marked unread in unreadParts; the others are read all the
// same. Then one error names every copy that could not be read ("Cannot open file <path>") and
// every bad option value with its option and the set's "QRVDAT\UO." copy, one to a line.
void LoadCurrentSet(MainState& state, int sortCol = 0);
// A part's content as a save would write it, to tell whether it changed.
std::string PartContent(const MainState& state, SetPart part);
// Copies the current set's three copies as last saved to the extension newExt. Failures are not
// reported; an extension that is not made only of digits copies nothing. Waits for a save of
// another window like SaveCurrentSet.
void CopyCurrentSet(MainState& state, const std::string& newExt);

// --- The journal file ---

// The journal file named by journalFile as a UTF-8 path (the value holds Windows-1252 bytes).
std::string JournalFilePath(const MainState& state);
// gameDir + "Journal.Log" as option-file text (Windows-1252): the journal's default name.
std::string DefaultJournalFile(const MainState& state);

} // namespace qv
