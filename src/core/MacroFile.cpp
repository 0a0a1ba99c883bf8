// The macro file MACROS.TXT: the grid, the panel, removing and appending blocks, writing.
#include <algorithm>
#include <tuple>

#include "core/CoreText.h"
#include "core/MainProc.h"
#include "platform/FileSystem.h"
#include "settings/KVXStrings.h"

namespace qv {

namespace {

constexpr std::size_t kMaxParameterLength = 99;
constexpr int kSortCellWidth = 50;

// Recognised on the untrimmed line.
bool IsEndLine(const std::string& line) {
  return line.size() >= 2 && line[0] == '#' && line[1] == '#';
}

struct KeyLine {
  std::string name; // the characters in front of the flags, the separating blank included
  bool ctrl = false;
  bool alt = false;
  bool shift = false;
};

// The flags are found by position from the end, so that a key name may hold blanks ("Num 7").
KeyLine ReadKeyLine(const std::string& line) {
  const std::string t = core::Trim(line);
  const long length = static_cast<long>(t.size());
  const auto held = [&](long position) { return position >= 1 && t[position - 1] == '1'; };
  KeyLine key;
  key.shift = held(length);
  key.alt = held(length - 2);
  key.ctrl = held(length - 4);
  if (length > 5)
    key.name = t.substr(0, static_cast<std::size_t>(length - 5));
  return key;
}

bool KeyLineMatches(const std::string& line, const std::string& keyName, bool alt, bool ctrl,
                    bool shift) {
  const KeyLine key = ReadKeyLine(line);
  return key.alt == alt && key.ctrl == ctrl && key.shift == shift &&
         core::Trim(key.name) == core::Trim(keyName);
}

std::pair<std::string, std::string> ReadActionLine(const std::string& line) {
  const std::string t = core::Trim(line);
  const std::size_t blank = t.find(' ');
  if (blank == std::string::npos)
    return {t, std::string()};
  std::string action = t.substr(0, blank);
  std::string parameter = t.substr(blank + 1, kMaxParameterLength);
  // Cut inside the line, a parameter may end in blanks that the next read of the written line
  // drops: dropped now, the parameter shown is the one read back. Where nothing is left of it,
  // the same goes for control characters at the end of the action.
  auto dropTrailingBlanks = [](std::string& text) {
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
      text.pop_back();
  };
  dropTrailingBlanks(parameter);
  if (parameter.empty())
    dropTrailingBlanks(action);
  return {action, parameter};
}

std::string YesNo(bool value) {
  return value ? "Yes" : "No";
}

// The index of the key line of the first block whose key line matches, or npos. Key lines are
// the lines that open a block: the first line and each line after an end line.
std::size_t FindMacro(const std::vector<std::string>& lines, const std::string& keyName, bool alt,
                      bool ctrl, bool shift) {
  // Neither key nor modifier is a new, empty row: the panel never stores such a macro. A key line
  // naming neither (a stray blank line after an end line) is no macro; its block is the next one.
  if (core::Trim(keyName).empty() && !alt && !ctrl && !shift)
    return std::string::npos;
  bool atKey = true;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsEndLine(lines[i])) {
      atKey = true;
      continue;
    }
    if (atKey && KeyLineMatches(lines[i], keyName, alt, ctrl, shift))
      return i;
    atKey = false;
  }
  return std::string::npos;
}

} // namespace

void FillMacroGrid(MainState& state, int sortCol) {
  enum { Key, FirstAction, Skip } step = Key;
  std::vector<MacroGridRow> rows;
  MacroGridRow row;
  for (const std::string& line : state.macroLines) {
    switch (step) {
    case Key: {
      const KeyLine key = ReadKeyLine(line);
      row = MacroGridRow{};
      row.cells[MacroGridRow::Key] = key.name;
      row.cells[MacroGridRow::Alt] = YesNo(key.alt);
      row.cells[MacroGridRow::Ctrl] = YesNo(key.ctrl);
      row.cells[MacroGridRow::Shift] = YesNo(key.shift);
      step = FirstAction;
      break;
    }
    case FirstAction:
      if (IsEndLine(line)) {
        rows.push_back(row);
        step = Key;
      } else {
        auto [action, parameter] = ReadActionLine(line);
        row.cells[MacroGridRow::Macro] = std::move(action);
        row.cells[MacroGridRow::Parameters] = std::move(parameter);
        step = Skip;
      }
      break;
    case Skip:
      if (IsEndLine(line)) {
        rows.push_back(row);
        step = Key;
      }
      break;
    }
  }
  // A final block without an end line is not listed; the grid keeps at least one row.
  if (rows.empty())
    rows.emplace_back();
  SortMacroGrid(rows, sortCol);
  state.macroGrid = std::move(rows);
}

std::string MacroGridSortKey(const MacroGridRow& row, int sortCol) {
  if (sortCol < 0 || sortCol > 5)
    sortCol = 0;
  return PadRight(row.cells[static_cast<std::size_t>(sortCol)], kSortCellWidth) +
         PadRight(row.cells[MacroGridRow::Macro], kSortCellWidth) +
         PadRight(row.cells[MacroGridRow::Parameters], kSortCellWidth) +
         PadRight(row.cells[MacroGridRow::Key], kSortCellWidth);
}

void SortMacroGrid(std::vector<MacroGridRow>& rows, int sortCol) {
  // A stable sort by byte value gives the same order as exchanging neighbours only when the upper
  // one's key is greater.
  std::vector<std::pair<std::string, MacroGridRow>> keyed;
  keyed.reserve(rows.size());
  for (auto& row : rows)
    keyed.emplace_back(MacroGridSortKey(row, sortCol), std::move(row));
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    return std::lexicographical_compare(
        a.first.begin(), a.first.end(), b.first.begin(), b.first.end(), [](char x, char y) {
          return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        });
  });
  for (std::size_t i = 0; i < rows.size(); ++i)
    rows[i] = std::move(keyed[i].second);
}

MacroPanel FillMacroPanel(const MainState& state, const std::string& keyName, bool alt, bool ctrl,
                          bool shift) {
  MacroPanel panel;
  panel.keyName = core::Trim(keyName);
  panel.keyIndex = IndexOfText(kKeyNames, panel.keyName);
  panel.alt = alt;
  panel.ctrl = ctrl;
  panel.shift = shift;

  const auto& lines = state.macroLines;
  const std::size_t start = FindMacro(lines, keyName, alt, ctrl, shift);
  if (start == std::string::npos)
    return panel;
  for (std::size_t i = start + 1; i < lines.size() && !IsEndLine(lines[i]); ++i) {
    // The panel has ten rows; later action lines are kept as they are and stored again after them.
    if (panel.rows.size() == 10) {
      panel.extraActionLines.push_back(lines[i]);
      continue;
    }
    MacroPanelRow row;
    std::tie(row.action, row.parameter) = ReadActionLine(lines[i]);
    row.actionIndex = IndexOfText(kActionNames, row.action);
    if (row.actionIndex >= 0) {
      const auto kind = ParameterKindOf(kActionNames[static_cast<std::size_t>(row.actionIndex)]);
      if (kind != MacroParameterKind::None && kind != MacroParameterKind::FreeText)
        row.parameterIndex = IndexOfText(ParameterList(state, kind), row.parameter);
    }
    panel.rows.push_back(std::move(row));
  }
  return panel;
}

void RemoveMacro(MainState& state, const std::string& keyName, bool alt, bool ctrl, bool shift) {
  auto& lines = state.macroLines;
  const std::size_t start = FindMacro(lines, keyName, alt, ctrl, shift);
  if (start == std::string::npos)
    return;
  std::size_t end = start + 1;
  while (end < lines.size() && !IsEndLine(lines[end]))
    ++end;
  if (end < lines.size())
    ++end; // the block's end line goes with it
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(start),
              lines.begin() + static_cast<std::ptrdiff_t>(end));
}

std::string MacroKeyLine(const std::string& keyName, bool alt, bool ctrl, bool shift) {
  return keyName + " " + (ctrl ? "1" : "0") + " " + (alt ? "1" : "0") + " " + (shift ? "1" : "0");
}

bool HasMacroKeyLine(const MainState& state, const std::string& keyLine) {
  const std::string wanted = core::Trim(keyLine);
  return std::any_of(state.macroLines.begin(), state.macroLines.end(),
                     [&](const std::string& line) { return core::Trim(line) == wanted; });
}

void AppendMacro(MainState& state, const MacroPanel& panel) {
  auto& lines = state.macroLines;
  // Completes a last block that had no end line.
  if (!lines.empty() && !IsEndLine(lines.back()))
    lines.emplace_back(kMacroEndLine);
  // A name read from an indented line may begin with "##"; written at the start of the line it
  // would end the block there. The blank in front keeps it what it was (lines are read trimmed).
  const auto notEndLine = [](std::string line) { return IsEndLine(line) ? " " + line : line; };
  lines.push_back(notEndLine(MacroKeyLine(panel.keyName, panel.alt, panel.ctrl, panel.shift)));
  for (const MacroPanelRow& row : panel.rows)
    lines.push_back(notEndLine(row.action + " " + row.parameter));
  lines.insert(lines.end(), panel.extraActionLines.begin(), panel.extraActionLines.end());
  lines.emplace_back(kMacroEndLine);
}

void WriteMacros(MainState& state) {
  platform::WriteLines(SetFilePath(state, "MACROS.", state.currentSetExt), state.macroLines);
}

const std::vector<std::string>& ParameterList(const MainState& state, MacroParameterKind kind) {
  static const std::vector<std::string> kNone;
  switch (kind) {
  case MacroParameterKind::WalkDirection:
    return state.walkDirections;
  case MacroParameterKind::WindowName:
    return state.windowNames;
  case MacroParameterKind::SpellName:
    return state.spellNames;
  case MacroParameterKind::SkillName:
    return state.skillNames;
  case MacroParameterKind::None:
  case MacroParameterKind::FreeText:
    break;
  }
  return kNone;
}

} // namespace qv
