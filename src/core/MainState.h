#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The main window's edited state, held apart from the widgets. Core reads the game's files into
// it and writes them from it; the window pushes its values into the controls after a read and
// pulls them back before a write.
//
// Text encodings: every text that comes from one of the game's files (option values, the client
// version, server and port texts, macro lines and grid cells) holds the file's bytes, Windows-1252,
// never re-encoded. Paths and registry texts (gameDir, programDir, currentSetExt, the printer
// font's name) are UTF-8.
namespace qv {

// One row of the macro grid grdMacro, one per macro block.
struct MacroGridRow {
  enum Column { Key = 0, Alt = 1, Ctrl = 2, Shift = 3, Macro = 4, Parameters = 5 };
  // Key: the key name as read, followed by one blank ("F1 ", "Num 7 ").
  // Alt, Ctrl, Shift: "Yes" or "No".
  // Macro, Parameters: the first action's name and parameter; empty for a macro without actions.
  std::array<std::string, 6> cells;

  bool operator==(const MacroGridRow&) const = default;
};

// One action row of the macro detail panel (cboxMacro n, edParm n / cboxParm n).
struct MacroPanelRow {
  // The action name as the file has it (or, for appending, as the row's action box shows it).
  // An action that is not in kActionNames is kept here unchanged so that it survives when the
  // macro is checked out and stored again; the row then has actionIndex -1.
  std::string action;
  // Index of the action in kActionNames (first equal without regard to case), -1 when unknown.
  int actionIndex = -1;
  // The parameter: free text as typed, or the list entry's text. At most 99 characters when read.
  std::string parameter;
  // Index of the parameter in the action's parameter list (first equal without regard to case);
  // -1 for an action without a list parameter, or when no entry is equal.
  int parameterIndex = -1;

  bool operator==(const MacroPanelRow&) const = default;
};

// One macro as the detail panel holds it: filled by FillMacroPanel, stored by AppendMacro.
struct MacroPanel {
  // The key name, trimmed ("F1", "Num 7"); empty when no key is chosen.
  std::string keyName;
  // Index of the key in kKeyNames (first equal without regard to case), -1 when not in the list.
  int keyIndex = -1;
  bool alt = false;
  bool ctrl = false;
  bool shift = false;
  // The panel's action rows, row 1 first; at most ten when read.
  std::vector<MacroPanelRow> rows;
  // Action lines after the tenth, exactly as the file has them. The panel cannot show them; they
  // stay with the checked-out macro and are appended after the rows when it is stored again.
  std::vector<std::string> extraActionLines;

  bool operator==(const MacroPanel&) const = default;
};

// What a window last knew of one of the files a save replaces.
struct FileFingerprint {
  std::string path; // as GameFilePath forms it
  bool exists = false;
  std::uint64_t size = 0;
  std::uint64_t hash = 0; // of the bytes

  bool operator==(const FileFingerprint&) const = default;
};

// The printer font (Configuration > Options), used for printing.
struct PrinterFont {
  std::string name = "System";
  int size = 10; // points
  bool bold = false;
  bool italic = false;
  bool underline = false;

  bool operator==(const PrinterFont&) const = default;
};

struct MainState {
  // --- Directories and the current set (set by StartUp) ---

  // The game's installation directory in the form the registry gave it (Windows or host form),
  // ending in its separator: "C:\ONLINE\UO\" or "/home/me/uo/".
  std::string gameDir;
  // The game's client file as the registry's "ExePath" names it (or the default), either form.
  std::string exePath;
  // The directory of the program's own executable, ending in its separator.
  std::string programDir;
  // The extension of the current configuration set: decimal digits only, e.g. "001".
  std::string currentSetExt = "001";
  // Set by StartUp when the registry names a current set that is missing or damaged: what the
  // player is told.
  std::string currentSetProblem;

  // --- The program's own options (read by StartUp) ---

  // "UOXSupport": enables the menu item mnuUOX ("&Multiple Configurations").
  bool uoxSupport = false;
  PrinterFont printerFont;

  // --- The four parameter lists of the macro editor (FillParameterLists) ---

  std::vector<std::string> walkDirections;
  std::vector<std::string> windowNames;
  std::vector<std::string> skillNames;
  std::vector<std::string> spellNames;

  // --- The options file UO.CFG (ReadOptions / WriteOptions) ---

  // The lines of the options file that the program does not recognise, in their order, byte for
  // byte. Between operations it never holds a recognised option line.
  std::vector<std::string> optionLines;
  // The file began with a UTF-8 byte-order mark: ReadOptions takes it off the first line, and
  // WriteOptions writes it again at the very start of the file.
  bool optionsByteOrderMark = false;

  // System page. The defaults are the values ReadOptions starts from.
  std::string installDir;        // edUOIns: gameDir without its trailing separator
  std::string version;           // edVer: last line of version.txt; empty when there is none
  std::string cdRomDataPath;     // edDPath
  std::string cacheSize = "000"; // edCache text: a whole number with at least three digits
  bool sound = true;             // chkSound; slideSound is enabled exactly when this is set
  bool music = true;             // chkMusic; slideMusic is enabled exactly when this is set
  bool showIntroAnim = true;     // chkIntro
  bool chestOpening = true;      // chkOpen
  bool fullScreen = true;        // chkFull
  bool notorietyQuery = false;   // chkNot
  bool useCircleTrans = false;   // chkTrans
  std::string pageFlip = "Y";    // cboxPage value: "Y", "N" or "G" (see kPageFlipItems)
  bool footsteps = false;        // chkFoot
  bool use565 = false;           // chk565
  bool obscenityFilter = true;   // chkFilter
  int soundVol = 255;            // slideSound position, 1 to 255; not reset by a read
  int musicVol = 255;            // slideMusic position, 1 to 255; not reset by a read
  // The CacheSize value as the file has it ("999.7") and the cacheSize text ReadOptions made of
  // it ("1000"); both empty when the file gives none. While cacheSize still equals
  // cacheSizeReadText, the value is written back as read: a save without an edit never rounds it.
  std::string cacheSizeReadValue;
  std::string cacheSizeReadText;

  // Journal page.
  std::string journalRecord = "N"; // cboxJrnl value: "Y" or "N" (see kYesNoItems)
  std::string journalFile;         // edJrnl: keeps its text when the file has no journal line
  // Set by ReadOptions when it filled journalFile from the file: the window then refreshes the
  // journal view (RefreshJournal). Cleared at the start of every ReadOptions.
  bool journalFileRead = false;

  // --- The login server file LOGIN.CFG (ReadLoginServers / WriteLoginServers) ---

  // edServ1..4 and edPort1..4, index 0 for server #1. A read leaves entries it has no line for
  // as they were.
  std::array<std::string, 4> servers;
  std::array<std::string, 4> ports;
  // Entry lines after the fourth, exactly as read; written back after the four entries.
  std::vector<std::string> extraLoginLines;

  // --- The macro file MACROS.TXT ---

  // Every line of the macro file: the master copy of all macros, byte for byte.
  std::vector<std::string> macroLines;
  // The grid grdMacro, rebuilt by FillMacroGrid; always at least one row (an empty one when the
  // file has no complete block).
  std::vector<MacroGridRow> macroGrid;

  // --- What the last load of the current set could read (LoadCurrentSet) ---

  // One entry per part of a set, in SetPart order (that of UO.CFG, MACROS.TXT, LOGIN.CFG). A part
  // whose copy could not be read shows empty; the entry then holds its content as the load left it
  // (PartContent), so that a save can tell whether the user has filled it in since. An empty
  // optional: the part was read.
  std::array<std::optional<std::string>, 3> unreadParts;

  // --- The files a save replaces, as this window last read or wrote them (RememberSetFiles) ---

  std::vector<FileFingerprint> setFileFingerprints;

  // --- A save cut short (FindUnfinishedSave, run by StartUp; cleared by SaveCurrentSet) ---

  // The last save did not reach its end: its mark was still in QRVDAT, or one of its writes had
  // left a temporary file.
  bool lastSaveUnfinished = false;
  // Then the game's files (as GameFilePath forms them) whose bytes differ from the current set's
  // copies (a file missing on one side only differs too), in the order UO.CFG, MACROS.TXT,
  // LOGIN.CFG. Empty when the install is whole.
  std::vector<std::string> unfinishedSaveFiles;
};

// The three parts of a configuration set, each with its own copy in QRVDAT and its game file.
enum class SetPart { Options = 0, Macros = 1, Servers = 2 };

} // namespace qv
