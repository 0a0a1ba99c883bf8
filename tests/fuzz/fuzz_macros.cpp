// The macro file MACROS.TXT: list the grid, fill the panel for every key line, check one macro
// out and store it again (remove, append), write the set copy, read it again.
//
// Properties: the grid lists one row per complete block; removing a macro takes exactly its
// block and leaves every other line byte for byte, and a key line naming neither key nor modifier
// takes nothing; a macro checked out and stored again shows the same panel; the file is written
// byte for byte as macroLines; a second read-write cycle gives the same grid and the same bytes.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "core/MainProc.h"
#include "platform/FileSystem.h"

namespace {

using qv::MacroGridRow;
using qv::MainState;
using qv::fuzz::TrimControls;

bool IsEndLine(std::string_view line) {
  return line.starts_with("##");
}

struct Key {
  std::string name;
  bool alt, ctrl, shift;
};

Key KeyOfRow(const MacroGridRow& row) {
  return {row.cells[MacroGridRow::Key], row.cells[MacroGridRow::Alt] == "Yes",
          row.cells[MacroGridRow::Ctrl] == "Yes", row.cells[MacroGridRow::Shift] == "Yes"};
}

// The key lines FillMacroPanel and RemoveMacro look at: the first line and every line after an
// end line that is not an end line itself.
std::vector<std::size_t> KeyLineIndexes(const std::vector<std::string>& lines) {
  std::vector<std::size_t> keys;
  bool atKey = true;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsEndLine(lines[i])) {
      atKey = true;
      continue;
    }
    if (atKey)
      keys.push_back(i);
    atKey = false;
  }
  return keys;
}

// The grid's row count: blocks closed by an end line, counted as FillMacroGrid reads them.
std::size_t CompleteBlocks(const std::vector<std::string>& lines) {
  std::size_t blocks = 0;
  bool atKey = true;
  for (const std::string& line : lines) {
    if (atKey) {
      atKey = false;
      continue;
    }
    if (IsEndLine(line)) {
      ++blocks;
      atKey = true;
    }
  }
  return blocks;
}

MainState FreshState() {
  MainState state;
  state.gameDir = qv::fuzz::ScratchGameDir();
  state.currentSetExt = "001";
  qv::FillParameterLists(state);
  return state;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::fuzz::Input input(data, size, 6);
  MainState state = FreshState();
  const std::string copy = qv::SetFilePath(state, "MACROS.", state.currentSetExt);
  state.macroLines = qv::platform::SplitLines(input.Text());
  const int sortCol = static_cast<int>(input.Choose(6));

  qv::FillMacroGrid(state, sortCol);
  FUZZ_CHECK(state.macroGrid.size() == std::max<std::size_t>(1, CompleteBlocks(state.macroLines)));
  for (const MacroGridRow& row : state.macroGrid) {
    const Key key = KeyOfRow(row);
    const qv::MacroPanel panel = qv::FillMacroPanel(state, key.name, key.alt, key.ctrl, key.shift);
    FUZZ_CHECK(panel.rows.size() <= 10);
    FUZZ_CHECK(panel.extraActionLines.empty() || panel.rows.size() == 10);
    for (const qv::MacroPanelRow& action : panel.rows)
      FUZZ_CHECK(action.parameter.size() <= 99);
  }

  // One macro checked out and stored again, as the macro page does on entering and leaving.
  const std::vector<std::string> before = state.macroLines;
  const std::vector<std::size_t> keyLines = KeyLineIndexes(before);
  if (!keyLines.empty()) {
    const std::size_t start = keyLines[input.Choose(keyLines.size())];
    const MacroGridRow parsed = [&] {
      MainState one;
      one.macroLines = {before[start], "########"};
      qv::FillMacroGrid(one);
      return one.macroGrid.front();
    }();
    const Key key = KeyOfRow(parsed);
    const qv::MacroPanel panel = qv::FillMacroPanel(state, key.name, key.alt, key.ctrl, key.shift);
    qv::RemoveMacro(state, key.name, key.alt, key.ctrl, key.shift);

    // The first matching block is at or before this one; exactly its lines are gone.
    std::size_t first = 0;
    for (std::size_t k : keyLines) {
      MainState one;
      one.macroLines = {before[k], "########"};
      qv::FillMacroGrid(one);
      const Key other = KeyOfRow(one.macroGrid.front());
      if (TrimControls(other.name) == TrimControls(key.name) && other.alt == key.alt &&
          other.ctrl == key.ctrl && other.shift == key.shift) {
        first = k;
        break;
      }
    }
    std::size_t end = first + 1;
    while (end < before.size() && !IsEndLine(before[end]))
      ++end;
    end = std::min(end + 1, before.size());
    std::vector<std::string> expected(before.begin(), before.begin() + std::ptrdiff_t(first));
    expected.insert(expected.end(), before.begin() + std::ptrdiff_t(end), before.end());
    // A key line naming neither key nor modifier (a blank line after an end line) is no macro:
    // its block holds the next one, and nothing goes.
    if (TrimControls(key.name).empty() && !key.alt && !key.ctrl && !key.shift) {
      FUZZ_CHECK(panel.rows.empty() && panel.extraActionLines.empty());
      expected = before;
    }
    FUZZ_CHECK(state.macroLines == expected);

    const std::size_t sameKey = std::count_if(keyLines.begin(), keyLines.end(), [&](std::size_t k) {
      MainState one;
      one.macroLines = {before[k], "########"};
      qv::FillMacroGrid(one);
      const Key other = KeyOfRow(one.macroGrid.front());
      return TrimControls(other.name) == TrimControls(key.name) && other.alt == key.alt &&
             other.ctrl == key.ctrl && other.shift == key.shift;
    });
    qv::AppendMacro(state, panel);
    // Every other line is still there, in its order, byte for byte.
    FUZZ_CHECK(std::equal(expected.begin(), expected.end(), state.macroLines.begin()));
    if (sameKey == 1) {
      const qv::MacroPanel stored =
          qv::FillMacroPanel(state, key.name, key.alt, key.ctrl, key.shift);
      FUZZ_CHECK(stored == panel);
    }
  }

  qv::FillMacroGrid(state, sortCol);
  qv::WriteMacros(state);
  std::string written;
  FUZZ_CHECK(qv::fuzz::GetFile(copy, written));
  FUZZ_CHECK(written == qv::platform::JoinLines(state.macroLines));

  MainState again = FreshState();
  again.macroLines = qv::platform::ReadLines(copy);
  FUZZ_CHECK(again.macroLines == state.macroLines);
  qv::FillMacroGrid(again, sortCol);
  FUZZ_CHECK(again.macroGrid == state.macroGrid);
  qv::WriteMacros(again);
  std::string rewritten;
  FUZZ_CHECK(qv::fuzz::GetFile(copy, rewritten));
  FUZZ_CHECK(rewritten == written);
  return 0;
}
