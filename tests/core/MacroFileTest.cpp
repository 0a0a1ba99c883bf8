#include <gtest/gtest.h>

#include <random>

#include "CoreTestSupport.h"
#include "platform/Error.h"

namespace qv {
namespace {

using test::Crlf;

std::vector<std::string> ElevenSays() {
  std::vector<std::string> lines;
  for (int i = 1; i <= 11; ++i)
    lines.push_back("Say line " + std::to_string(i));
  return lines;
}

// The awkward cases in one file.
std::vector<std::string> SampleMacros() {
  std::vector<std::string> lines = {"F1 0 0 0", "Say Hello there", "########", "Num 7 1 0 1", "Bow",
                                    "########", "Q 0 1 0",         "########", // no actions
                                    "a 0 0 1",  "Say  two blanks", "###",      "F2 0 0 0"};
  const auto says = ElevenSays();
  lines.insert(lines.end(), says.begin(), says.end());
  lines.insert(lines.end(), {"########", "F3 0 0 0", "Dance wildly", "useskill hiding",
                             "Say caf\xE9 \x80\xFF", "########", "F4 1 0 0", "Say unfinished"});
  return lines;
}

class MacroFileTest : public test::GameDirTest {
protected:
  void SetUp() override {
    GameDirTest::SetUp();
    state.macroLines = SampleMacros();
  }
  const MacroGridRow* RowForKey(const std::string& cell) {
    for (const auto& row : state.macroGrid)
      if (row.cells[0] == cell)
        return &row;
    return nullptr;
  }
  // Checks a macro out and stores it again, as the macro page does when the panel is left
  // unchanged.
  void CheckOutAndStore(const std::string& key, bool alt, bool ctrl, bool shift) {
    const MacroPanel panel = FillMacroPanel(state, key, alt, ctrl, shift);
    RemoveMacro(state, key, alt, ctrl, shift);
    AppendMacro(state, panel);
  }
};

TEST_F(MacroFileTest, GridListsEveryCompleteBlock) {
  FillMacroGrid(state);
  ASSERT_EQ(state.macroGrid.size(), 6u); // F4 has no end line and is not listed
  const auto* num7 = RowForKey("Num 7 ");
  ASSERT_NE(num7, nullptr);
  EXPECT_EQ(num7->cells, (std::array<std::string, 6>{"Num 7 ", "No", "Yes", "Yes", "Bow", ""}));
  const auto* q = RowForKey("Q ");
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->cells, (std::array<std::string, 6>{"Q ", "Yes", "No", "No", "", ""}));
  EXPECT_EQ(RowForKey("a ")->cells[5], " two blanks");
  EXPECT_EQ(RowForKey("F2 ")->cells[5], "line 1");
  EXPECT_EQ(RowForKey("F4 "), nullptr);
}

TEST_F(MacroFileTest, GridWithoutCompleteBlockHasOneEmptyRow) {
  state.macroLines = {"F4 1 0 0", "Say unfinished"};
  FillMacroGrid(state);
  ASSERT_EQ(state.macroGrid.size(), 1u);
  EXPECT_EQ(state.macroGrid[0], MacroGridRow{});
  state.macroLines.clear();
  FillMacroGrid(state);
  EXPECT_EQ(state.macroGrid.size(), 1u);
}

TEST_F(MacroFileTest, GridIsSortedByByteValueThenMacroParametersKey) {
  FillMacroGrid(state, 0);
  std::vector<std::string> keys;
  for (const auto& row : state.macroGrid)
    keys.push_back(row.cells[0]);
  EXPECT_EQ(keys, (std::vector<std::string>{"F1 ", "F2 ", "F3 ", "Num 7 ", "Q ", "a "}));

  FillMacroGrid(state, MacroGridRow::Alt); // "No" before "Yes", then by Macro
  keys.clear();
  for (const auto& row : state.macroGrid)
    keys.push_back(row.cells[0]);
  EXPECT_EQ(keys, (std::vector<std::string>{"Num 7 ", "F3 ", "a ", "F1 ", "F2 ", "Q "}));
}

// The order must be the one an exchange sort of neighbours yields, equal keys included.
// Cells longer than the padding shift the cells after them; blanks at a cell's end tie with the
// padding.
TEST_F(MacroFileTest, SortMatchesTheExchangeSortOnRandomRows) {
  std::mt19937 random(7);
  const std::string fifty(50, 'a');
  const std::vector<std::vector<std::string>> vocabularies = {
      {"", "a", "A", "Say", "Bow", "Yes", "No", " x", "\xE9"},
      {"", "a", "a ", "a\x1F", "Say", " ", fifty, fifty + "a", fifty + " ", fifty + "\x1F",
       std::string(49, 'a'), std::string(51, ' '), std::string(99, 'a') + "\xE9"}};
  for (int round = 0; round < 400; ++round) {
    const std::vector<std::string>& words = vocabularies[static_cast<std::size_t>(round) % 2];
    std::vector<MacroGridRow> rows(1 + random() % 12);
    for (auto& row : rows)
      for (auto& cell : row.cells)
        cell = words[random() % words.size()];
    const int sortCol = static_cast<int>(random() % 6);
    auto expected = rows;
    for (std::size_t pass = 0; pass < expected.size(); ++pass)
      for (std::size_t i = 0; i + 1 < expected.size(); ++i)
        if (MacroGridSortKey(expected[i], sortCol) > MacroGridSortKey(expected[i + 1], sortCol))
          std::swap(expected[i], expected[i + 1]);
    SortMacroGrid(rows, sortCol);
    ASSERT_EQ(rows, expected) << "round " << round;
  }
}

TEST_F(MacroFileTest, PanelShowsTheMacroAndItsListParameters) {
  const MacroPanel num7 = FillMacroPanel(state, "Num 7 ", false, true, true);
  EXPECT_EQ(num7.keyName, "Num 7");
  EXPECT_EQ(num7.keyIndex, 72);
  ASSERT_EQ(num7.rows.size(), 1u);
  EXPECT_EQ(num7.rows[0].action, "Bow");
  EXPECT_EQ(num7.rows[0].actionIndex, 1);

  const MacroPanel f3 = FillMacroPanel(state, "F3", false, false, false);
  ASSERT_EQ(f3.rows.size(), 3u);
  EXPECT_EQ(f3.rows[0].action, "Dance");
  EXPECT_EQ(f3.rows[0].actionIndex, -1);
  EXPECT_EQ(f3.rows[0].parameter, "wildly");
  EXPECT_EQ(f3.rows[1].actionIndex, 17);    // "UseSkill", found without regard to case
  EXPECT_EQ(f3.rows[1].parameterIndex, 19); // "Hiding"
  EXPECT_EQ(f3.rows[2].parameter, "caf\xE9 \x80\xFF");

  // The key line's name is compared with regard to case; its flags must all be equal.
  EXPECT_TRUE(FillMacroPanel(state, "q", true, false, false).rows.empty());
  EXPECT_TRUE(FillMacroPanel(state, "Num 7", false, true, false).rows.empty());
  EXPECT_EQ(FillMacroPanel(state, "\\", false, false, false).keyIndex, 42);
}

TEST_F(MacroFileTest, ParametersAreCutAt99Characters) {
  state.macroLines = {"F1 0 0 0", "Say " + std::string(120, 'x'), "########"};
  FillMacroGrid(state);
  EXPECT_EQ(state.macroGrid[0].cells[5], std::string(99, 'x'));
  EXPECT_EQ(FillMacroPanel(state, "F1", false, false, false).rows[0].parameter,
            std::string(99, 'x'));
}

TEST_F(MacroFileTest, ElevenActionsSurviveACheckOut) {
  const MacroPanel f2 = FillMacroPanel(state, "F2 ", false, false, false);
  ASSERT_EQ(f2.rows.size(), 10u);
  EXPECT_EQ(f2.extraActionLines, std::vector<std::string>{"Say line 11"});
  CheckOutAndStore("F2 ", false, false, false);
  std::vector<std::string> block = {"F2 0 0 0"};
  const auto says = ElevenSays();
  block.insert(block.end(), says.begin(), says.end());
  block.push_back("########");
  ASSERT_GE(state.macroLines.size(), block.size());
  EXPECT_EQ(std::vector<std::string>(state.macroLines.end() - static_cast<long>(block.size()),
                                     state.macroLines.end()),
            block);
}

TEST_F(MacroFileTest, UnknownActionAndModifiersSurviveACheckOut) {
  CheckOutAndStore("F3 ", false, false, false);
  CheckOutAndStore("Num 7 ", false, true, true);
  const std::vector<std::string> tail = {
      "F3 0 0 0",    "Dance wildly", "useskill hiding", "Say caf\xE9 \x80\xFF", "########",
      "Num 7 1 0 1", "Bow ",         "########"};
  EXPECT_EQ(std::vector<std::string>(state.macroLines.end() - 8, state.macroLines.end()), tail);
  // The unfinished last block was completed before the first append.
  EXPECT_EQ(std::count(state.macroLines.begin(), state.macroLines.end(), "Say unfinished"), 1);
  const auto unfinished =
      std::find(state.macroLines.begin(), state.macroLines.end(), "Say unfinished");
  EXPECT_EQ(*(unfinished + 1), "########");
}

TEST_F(MacroFileTest, RemoveTakesTheWholeBlockAndNothingElse) {
  state.macroLines = {"F1 0 0 0", "Say a",   "########", "Q 0 1 0",
                      "########", "a 0 0 1", "Say b",    "###"};
  RemoveMacro(state, "Q ", true, false, false);
  EXPECT_EQ(state.macroLines,
            (std::vector<std::string>{"F1 0 0 0", "Say a", "########", "a 0 0 1", "Say b", "###"}));
  RemoveMacro(state, "", false, false, false); // a new, empty grid row
  RemoveMacro(state, "F9", false, false, false);
  EXPECT_EQ(state.macroLines.size(), 6u);

  state.macroLines = {"F1 0 0 0", "########", "F4 1 0 0", "Say unfinished"};
  RemoveMacro(state, "F4", false, true, false);
  EXPECT_EQ(state.macroLines, (std::vector<std::string>{"F1 0 0 0", "########"}));
}

// A block opened by a blank line (a stray empty line between two macros) names no key: the new,
// empty row of Add must not take it for its own macro, whose removal would take the next
// macro's lines with it.
TEST_F(MacroFileTest, ABlockWithABlankKeyLineIsNoRowsMacro) {
  state.macroLines = {"F1 0 0 0",       "Say Hail", "########", "",    "F2 0 0 0",
                      "Say Vendor buy", "########", " \t ",     "Bow", "########",
                      "Q 0 1 0",        "Dance",    "########"};
  const std::vector<std::string> before = state.macroLines;
  FillMacroGrid(state);
  ASSERT_EQ(state.macroGrid.size(), 4u);
  // The grid lists such a block as it stands: no key, its first line taken for the action.
  EXPECT_EQ(state.macroGrid[0].cells,
            (std::array<std::string, 6>{"", "No", "No", "No", "Bow", ""}));
  EXPECT_EQ(state.macroGrid[1].cells,
            (std::array<std::string, 6>{"", "No", "No", "No", "F2", "0 0 0"}));

  // Add: the new row is checked out (nothing to show, nothing to remove), Alt is ticked and the
  // panel left.
  EXPECT_EQ(FillMacroPanel(state, "", false, false, false).rows.size(), 0u);
  RemoveMacro(state, "", false, false, false);
  EXPECT_EQ(state.macroLines, before);
  MacroPanel added;
  added.alt = true;
  AppendMacro(state, added);
  std::vector<std::string> expected = before;
  expected.insert(expected.end(), {" 0 1 0", "########"});
  EXPECT_EQ(state.macroLines, expected);

  // A keyless macro with a modifier, as the panel stores it, is still checked out and back.
  const MacroPanel keyless = FillMacroPanel(state, "", true, false, false);
  RemoveMacro(state, "", true, false, false);
  EXPECT_EQ(state.macroLines, before);
  AppendMacro(state, keyless);
  EXPECT_EQ(state.macroLines, expected);
}

TEST_F(MacroFileTest, AppendBuildsTheBlockFromThePanel) {
  state.macroLines.clear();
  MacroPanel panel;
  panel.keyName = "";
  panel.ctrl = true;
  panel.rows = {{"Say", 16, "  hi  ", -1}, {"Walk", 18, "NW (top)", 0}, {"Bow", 1, "", -1}};
  AppendMacro(state, panel);
  EXPECT_EQ(state.macroLines, (std::vector<std::string>{" 1 0 0", "Say   hi  ", "Walk NW (top)",
                                                        "Bow ", "########"}));
  EXPECT_EQ(MacroKeyLine("Num 7", false, true, true), "Num 7 1 0 1");
  EXPECT_TRUE(HasMacroKeyLine(state, "1 0 0 "));
  EXPECT_FALSE(HasMacroKeyLine(state, "say   hi"));
}

TEST_F(MacroFileTest, WriteKeepsTheLinesByteForByte) {
  WriteMacros(state);
  std::string expected;
  for (const auto& line : SampleMacros())
    expected += line + "\r\n";
  EXPECT_EQ(Get("QRVDAT/MACROS.001"), expected);

  MakeReadOnly("QRVDAT/MACROS.001");
  EXPECT_THROW(WriteMacros(state), Error);
  EXPECT_EQ(Get("QRVDAT/MACROS.001"), expected);
}

TEST(MacroVocabularyTest, ListsAreExactlyTheEditorsLists) {
  MainState state;
  FillParameterLists(state);
  EXPECT_EQ(state.walkDirections.size(), 8u);
  EXPECT_EQ(state.windowNames.size(), 9u);
  EXPECT_EQ(state.skillNames.size(), 40u);
  EXPECT_EQ(state.spellNames.size(), 64u);
  EXPECT_EQ(state.spellNames[10], "Cure");
  EXPECT_EQ(state.spellNames[26], "Cure");
  EXPECT_EQ(state.skillNames[21], "Item Indentification");
  EXPECT_EQ(kKeyNames.size(), 86u);
  EXPECT_EQ(kKeyNames[42], "\\");
  EXPECT_EQ(kKeyNames[85], "\\");
  EXPECT_EQ(kActionNames[12], "QuitGame");
  EXPECT_EQ(kActionNames[14], "QuitGame");
  EXPECT_EQ(ParameterKindOf("CastSpell"), MacroParameterKind::SpellName);
  EXPECT_EQ(ParameterKindOf("Minimize"), MacroParameterKind::WindowName);
  EXPECT_EQ(ParameterKindOf("Yell"), MacroParameterKind::FreeText);
  EXPECT_EQ(ParameterKindOf("War/Peace"), MacroParameterKind::None);
  EXPECT_EQ(&ParameterList(state, MacroParameterKind::WalkDirection), &state.walkDirections);
  EXPECT_TRUE(ParameterList(state, MacroParameterKind::FreeText).empty());
  EXPECT_EQ(IndexOfText(state.walkDirections, "sw (LEFT)"), 6);
}

} // namespace
} // namespace qv
