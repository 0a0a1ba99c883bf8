// The macro file MACROS.TXT: the grid, the panel, removing and appending blocks, writing.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "core/CoreText.h"
#include "core/MainProc.h"
#include "platform/FileSystem.h"
#include "settings/KVXStrings.h"

namespace qv {

namespace {

constexpr std::size_t kMaxParameterLength = 99;
constexpr std::size_t kSortCellWidth = 50;
constexpr int kSortCellWidthInt = static_cast<int>(kSortCellWidth);

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

// Without blanks and control characters at either end, as core::Trim, without a copy.
std::string_view TrimmedView(std::string_view text) {
  const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && isBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

// The flags are found by position from the end, so that a key name may hold blanks ("Num 7").
KeyLine ReadKeyLine(const std::string& line) {
  const std::string_view t = TrimmedView(line);
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
         TrimmedView(key.name) == TrimmedView(keyName);
}

std::pair<std::string, std::string> ReadActionLine(const std::string& line) {
  const std::string_view t = TrimmedView(line);
  const std::size_t blank = t.find(' ');
  if (blank == std::string_view::npos)
    return {std::string(t), std::string()};
  std::string_view action = t.substr(0, blank);
  std::string_view parameter = t.substr(blank + 1, kMaxParameterLength);
  // Cut inside the line, a parameter may end in blanks that the next read of the written line
  // drops: dropped now, the parameter shown is the one read back. Where nothing is left of it,
  // the same goes for control characters at the end of the action.
  auto dropTrailingBlanks = [](std::string_view& text) {
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
      text.remove_suffix(1);
  };
  dropTrailingBlanks(parameter);
  if (parameter.empty())
    dropTrailingBlanks(action);
  return {std::string(action), std::string(parameter)};
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
  rows.reserve(static_cast<std::size_t>(
      std::count_if(state.macroLines.begin(), state.macroLines.end(), IsEndLine)));
  MacroGridRow row;
  for (const std::string& line : state.macroLines) {
    switch (step) {
    case Key: {
      KeyLine key = ReadKeyLine(line);
      row = MacroGridRow{};
      row.cells[MacroGridRow::Key] = std::move(key.name);
      row.cells[MacroGridRow::Alt] = YesNo(key.alt);
      row.cells[MacroGridRow::Ctrl] = YesNo(key.ctrl);
      row.cells[MacroGridRow::Shift] = YesNo(key.shift);
      step = FirstAction;
      break;
    }
    case FirstAction:
      if (IsEndLine(line)) {
        rows.push_back(std::move(row));
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
        rows.push_back(std::move(row));
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

namespace {

// A row's sort text (MacroGridSortKey) without building it: four cells, each followed by the
// blanks that pad it to kSortCellWidth.
struct SortText {
  std::array<std::string_view, 4> cells;

  SortText(const MacroGridRow& row, int sortCol)
      : cells{row.cells[static_cast<std::size_t>(sortCol)], row.cells[MacroGridRow::Macro],
              row.cells[MacroGridRow::Parameters], row.cells[MacroGridRow::Key]} {}
};

// Walks a SortText piece by piece: a cell's bytes, then its padding.
class SortTextReader {
public:
  explicit SortTextReader(const SortText& text) : text_(text) { Settle(); }
  bool AtEnd() const { return cell_ == 4; }
  // The bytes left in the current piece; all blanks when InPadding.
  std::size_t Left() const { return length_ - offset_; }
  bool InPadding() const { return padding_; }
  const char* Bytes() const { return text_.cells[cell_].data() + offset_; }
  void Skip(std::size_t count) {
    offset_ += count;
    Settle();
  }

private:
  // Moves on past empty pieces.
  void Settle() {
    while (cell_ < 4 && offset_ == length_) {
      if (!padding_ && started_) {
        padding_ = true;
        const std::size_t used = text_.cells[cell_].size();
        length_ = used < kSortCellWidth ? kSortCellWidth - used : 0;
      } else {
        if (started_)
          ++cell_;
        started_ = true;
        padding_ = false;
        length_ = cell_ < 4 ? text_.cells[cell_].size() : 0;
      }
      offset_ = 0;
    }
  }

  const SortText& text_;
  std::size_t cell_ = 0;
  std::size_t offset_ = 0;
  std::size_t length_ = 0;
  bool padding_ = false;
  bool started_ = false;
};

// The first byte of `bytes` that is not a blank, compared with a blank: <0, 0 or >0.
int CompareWithBlanks(const char* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte != ' ')
      return byte < ' ' ? -1 : 1;
  }
  return 0;
}

// Two cells no longer than the padding, each padded with blanks: <0, 0 or >0.
int ComparePadded(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  if (const int order = std::memcmp(a.data(), b.data(), common); order != 0)
    return order;
  if (a.size() > common)
    return CompareWithBlanks(a.data() + common, a.size() - common);
  return -CompareWithBlanks(b.data() + common, b.size() - common);
}

// Byte by byte, as the sort texts themselves would compare; the shorter one first when one
// begins the other.
bool SortTextLess(const SortText& a, const SortText& b) {
  SortTextReader x(a);
  SortTextReader y(b);
  while (!x.AtEnd() && !y.AtEnd()) {
    const std::size_t count = std::min(x.Left(), y.Left());
    int order = 0;
    if (!x.InPadding() && !y.InPadding())
      order = std::memcmp(x.Bytes(), y.Bytes(), count);
    else if (!x.InPadding())
      order = CompareWithBlanks(x.Bytes(), count);
    else if (!y.InPadding())
      order = -CompareWithBlanks(y.Bytes(), count);
    if (order != 0)
      return order < 0;
    x.Skip(count);
    y.Skip(count);
  }
  return x.AtEnd() && !y.AtEnd();
}

} // namespace

std::string MacroGridSortKey(const MacroGridRow& row, int sortCol) {
  if (sortCol < 0 || sortCol > 5)
    sortCol = 0;
  return PadRight(row.cells[static_cast<std::size_t>(sortCol)], kSortCellWidthInt) +
         PadRight(row.cells[MacroGridRow::Macro], kSortCellWidthInt) +
         PadRight(row.cells[MacroGridRow::Parameters], kSortCellWidthInt) +
         PadRight(row.cells[MacroGridRow::Key], kSortCellWidthInt);
}

namespace {

// The distinct cells of one column, each with the rank of its padded text.
struct RankedColumn {
  std::vector<std::uint32_t> ids;  // per row: its cell's index among the distinct cells
  std::vector<std::uint32_t> rank; // per distinct cell: its padded text's rank
  std::vector<bool> longer;        // per distinct cell: longer than the padding
  bool anyLonger = false;
};

RankedColumn RankColumn(const std::vector<MacroGridRow>& rows, std::size_t column) {
  RankedColumn ranked;
  std::unordered_map<std::string_view, std::uint32_t> index;
  std::vector<std::string_view> distinct;
  ranked.ids.reserve(rows.size());
  for (const MacroGridRow& row : rows) {
    const std::string_view cell = row.cells[column];
    const auto [at, added] = index.try_emplace(cell, static_cast<std::uint32_t>(distinct.size()));
    if (added)
      distinct.push_back(cell);
    ranked.ids.push_back(at->second);
  }
  std::vector<std::uint32_t> order(distinct.size());
  for (std::uint32_t i = 0; i < order.size(); ++i)
    order[i] = i;
  std::sort(order.begin(), order.end(), [&distinct](std::uint32_t a, std::uint32_t b) {
    return ComparePadded(distinct[a], distinct[b]) < 0;
  });
  ranked.rank.assign(distinct.size(), 0);
  ranked.longer.assign(distinct.size(), false);
  std::uint32_t rank = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i > 0 && ComparePadded(distinct[order[i - 1]], distinct[order[i]]) != 0)
      ++rank;
    ranked.rank[order[i]] = rank;
    const bool longer = distinct[order[i]].size() > kSortCellWidth;
    ranked.longer[order[i]] = longer;
    ranked.anyLonger = ranked.anyLonger || longer;
  }
  return ranked;
}

} // namespace

void SortMacroGrid(std::vector<MacroGridRow>& rows, int sortCol) {
  // A stable sort by byte value gives the same order as exchanging neighbours only when the upper
  // one's key is greater. No key is built: each of the four cells stands for its rank among the
  // distinct cells of its column (a handful of key and action names), and rows are compared by
  // ranks. A rank stands for the padded cell only when the cell is no longer than the padding: a
  // longer one shifts what follows it, so rows that differ there are compared byte by byte.
  if (sortCol < 0 || sortCol > 5)
    sortCol = 0;
  const std::size_t count = rows.size();
  const std::array<std::size_t, 4> columns = {static_cast<std::size_t>(sortCol),
                                              MacroGridRow::Macro, MacroGridRow::Parameters,
                                              MacroGridRow::Key};
  std::array<RankedColumn, 6> ranked;
  std::array<const RankedColumn*, 4> fields{};
  bool anyLonger = false;
  for (std::size_t f = 0; f < 4; ++f) {
    RankedColumn& column = ranked[columns[f]];
    if (column.ids.empty() && count > 0)
      column = RankColumn(rows, columns[f]);
    fields[f] = &column;
    anyLonger = anyLonger || column.anyLonger;
  }

  std::vector<std::size_t> order(count);
  // Bits that hold every value below `limit`.
  const auto bitsFor = [](std::uint64_t limit) {
    int bits = 0;
    while (bits < 64 && (limit - 1) >> bits != 0)
      ++bits;
    return bits;
  };
  int packedBits = bitsFor(count);
  for (const RankedColumn* column : fields)
    packedBits += bitsFor(column->rank.size());
  if (!anyLonger && packedBits <= 64) {
    // The usual file: four ranks and the position in one whole number each, one plain sort.
    std::vector<std::uint64_t> keys(count);
    const int positionBits = bitsFor(count);
    for (std::size_t i = 0; i < count; ++i) {
      std::uint64_t key = 0;
      for (const RankedColumn* column : fields)
        key = key << bitsFor(column->rank.size()) | column->rank[column->ids[i]];
      keys[i] = positionBits == 0 ? key : key << positionBits | i;
    }
    std::sort(keys.begin(), keys.end());
    const std::uint64_t positionMask =
        positionBits == 0 ? 0 : ~std::uint64_t{0} >> (64 - positionBits);
    for (std::size_t i = 0; i < count; ++i)
      order[i] = static_cast<std::size_t>(keys[i] & positionMask);
  } else if (!anyLonger) {
    // Four ranks and the position, in two whole numbers and the position.
    struct Entry {
      std::uint64_t high;
      std::uint64_t low;
      std::size_t position;
    };
    std::vector<Entry> entries(count);
    for (std::size_t i = 0; i < count; ++i) {
      const auto rankOf = [&](std::size_t f) -> std::uint64_t {
        return fields[f]->rank[fields[f]->ids[i]];
      };
      entries[i] = {rankOf(0) << 32 | rankOf(1), rankOf(2) << 32 | rankOf(3), i};
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
      return std::tie(a.high, a.low, a.position) < std::tie(b.high, b.low, b.position);
    });
    for (std::size_t i = 0; i < count; ++i)
      order[i] = entries[i].position;
  } else {
    for (std::size_t i = 0; i < count; ++i)
      order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      for (const RankedColumn* column : fields) {
        const std::uint32_t x = column->ids[a];
        const std::uint32_t y = column->ids[b];
        if (x == y)
          continue;
        if (column->longer[x] || column->longer[y])
          return SortTextLess(SortText(rows[a], sortCol), SortText(rows[b], sortCol));
        if (column->rank[x] != column->rank[y])
          return column->rank[x] < column->rank[y];
      }
      return false;
    });
  }
  std::vector<MacroGridRow> sorted;
  sorted.reserve(count);
  for (const std::size_t i : order)
    sorted.push_back(std::move(rows[i]));
  rows = std::move(sorted);
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
  const std::string_view wanted = TrimmedView(keyLine);
  return std::any_of(state.macroLines.begin(), state.macroLines.end(),
                     [&](const std::string& line) { return TrimmedView(line) == wanted; });
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
