// The configuration sets dialog at the end of the numbers: "NextExt" at the largest number the
// registry's REG_DWORD holds as a signed value. The next Add must not wrap around.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "controls/KVXStCtl.h"
#include "core/MainState.h"
#include "settings/KVXFile.h"
#include "support/TempDir.h"
#include "support/WidgetChild.h"
#include "ui/Dialogs.h"
#include "ui/Ignore.h"
#include "ui/UOX.h"

namespace qv::ui {
namespace {

const std::string kSetsKey = "\\SOFTWARE\\Quorvel\\UOXConfigs";

TEST(NextExtLimit, AddAtTheLastNumberIsRefusedWithAWarningAndChangesNothing) {
  test::TempDir registry;
  test::TempDir game;
  setenv("QUORVEL_REGISTRY", registry.path().c_str(), 1);
  std::filesystem::create_directory(game.path() / "QRVDAT");
  test::WriteBytes(game.path() / "QRVDAT" / "UO.001", "original\r\n");
  MainState state;
  state.gameDir = game.dir();
  TKVXFile("HKEY_LOCAL_MACHINE", skRegistry)
      .WriteNumber(kSetsKey, "NextExt", std::numeric_limits<std::int32_t>::max());
  const std::filesystem::path hive = registry.path() / "system.reg";
  const std::string hiveBefore = test::ReadBytes(hive);

  std::vector<QString> warnings;
  Hooks().message = [&](MessageKind kind, const QString&, const QString& text) {
    if (kind == MessageKind::Warning)
      warnings.push_back(text);
    return true;
  };
  Hooks().execModal = [](QDialog& modal) {
    auto* input = qobject_cast<TfrmIgnore*>(&modal);
    if (!input)
      return static_cast<int>(QDialog::Rejected);
    input->show();
    test::Child<TKVXEdit>(input, "edIgnore")->setText("One Too Many");
    test::Child<TKVXButton>(input, "btnOK")->click();
    return input->result();
  };
  {
    TfrmUOX dialog(state);
    dialog.show();
    const QStringList before = dialog.SetNames();
    test::Child<TKVXButton>(&dialog, "btnAdd")->click();
    EXPECT_EQ(dialog.SetNames(), before);
  }
  ResetDialogHooks();

  EXPECT_EQ(test::ReadBytes(hive), hiveBefore);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings.front(),
            "No more configurations can be added: all configuration numbers are in use.");
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  EXPECT_EQ(store.ReadNumber(kSetsKey, "NextExt", 0), std::numeric_limits<std::int32_t>::max());
  std::vector<std::string> sets;
  store.ListSubKeys(kSetsKey, sets);
  EXPECT_EQ(sets, std::vector<std::string>{});
  EXPECT_FALSE(std::filesystem::exists(game.path() / "QRVDAT" / "UO.2147483647"));
  unsetenv("QUORVEL_REGISTRY");
}

} // namespace
} // namespace qv::ui
