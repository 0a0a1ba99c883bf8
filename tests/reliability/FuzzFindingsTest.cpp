// Faults the fuzz targets found, kept as plain tests (their inputs are also seeds of
// tests/fuzz/corpus).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ReliabilitySupport.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/WineHive.h"
#include "settings/KVXFile.h"
#include "settings/KVXIniFile.h"

namespace qv::test {
namespace {

TEST(FuzzFindings, IniEntryThatWouldReadAsASectionHeaderIsRefused) {
  // "[b=x]" runs to the line's last ']': it would come back as the section "b=x".
  IniText ini("[S]\r\na=1\r\n");
  EXPECT_FALSE(ini.SetValue("S", "[b", "x]"));
  EXPECT_EQ(ini.Bytes(), "[S]\r\na=1\r\n");
  EXPECT_TRUE(ini.SetValue("S", "[b", "x"));
  EXPECT_EQ(IniText(ini.Bytes()).Value("S", "[b"), "x");

  Installation inst;
  const std::string name = (inst.Root() / "home" / "odd.ini").string();
  WriteBytes(name, "[S]\r\na=1\r\n");
  TKVXFile store(name, skIniFile);
  EXPECT_THROW(store.WriteText("S", "[b", "x]"), Error);
  EXPECT_EQ(ReadBytes(name), "[S]\r\na=1\r\n");
}

TEST(FuzzFindings, IndentedActionStartingWithHashesStaysInItsMacroWhenStoredAgain) {
  MainState state;
  FillParameterLists(state);
  state.macroLines = {"F2 1 0 0", "  ##odd action", "Say after it", "########",
                      "F3 0 0 0", "Bow ",           "########"};
  const MacroPanel panel = FillMacroPanel(state, "F2", false, true, false);
  ASSERT_EQ(panel.rows.size(), 2u);
  RemoveMacro(state, "F2", false, true, false);
  AppendMacro(state, panel);
  EXPECT_EQ(FillMacroPanel(state, "F2", false, true, false), panel);
  FillMacroGrid(state);
  EXPECT_EQ(state.macroGrid.size(), 2u);
}

TEST(FuzzFindings, OptionValueCutBeforeBlanksReadsBackTheSame) {
  Installation inst;
  MainState state;
  state.gameDir = inst.GameDir();
  const std::string path = std::string(98, 'p');
  state.optionLines = {"CdRomDataPath=" + path + " \x13\x13" + "tail"};
  ReadOptions(state);
  EXPECT_EQ(state.cdRomDataPath, path);
  WriteOptions(state);
  const std::string first = inst.Get("QRVDAT/UO.001");
  MainState again;
  again.gameDir = inst.GameDir();
  again.optionLines = platform::ReadLines(inst.GameDir() + "QRVDAT/UO.001");
  ReadOptions(again);
  EXPECT_EQ(again.cdRomDataPath, path);
  WriteOptions(again);
  EXPECT_EQ(inst.Get("QRVDAT/UO.001"), first);
}

TEST(FuzzFindings, HiveEndingInACarriageReturnStaysValidWhenAKeyIsAdded) {
  for (const char* text : {"WINE REGISTRY Version 2\r", "WINE REGISTRY Version 2\r\n\r\n[A] 1\r"}) {
    platform::WineHive hive(text, u"\\Registry\\Machine");
    ASSERT_TRUE(hive.IsValid());
    ASSERT_TRUE(hive.SetValue({u"New"}, u"Name", platform::RegValue::Text("v"), 1));
    platform::WineHive reread(hive.Text(), u"\\Registry\\Machine");
    EXPECT_TRUE(reread.IsValid()) << hive.Text();
    EXPECT_TRUE(reread.Value({u"New"}, u"Name").has_value());
    EXPECT_EQ(reread.ExplicitKeys().size(), hive.ExplicitKeys().size());
  }
}

} // namespace
} // namespace qv::test
