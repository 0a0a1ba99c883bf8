// The program options dialog: the printer font and UOX support, kept in the registry.

#include <QAction>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

#include "controls/KVXStCtl.h"
#include "platform/Registry.h"
#include "settings/KVXFile.h"
#include "support/TempDir.h"
#include "support/WidgetChild.h"
#include "ui/Config.h"
#include "ui/Dialogs.h"

namespace qv::ui {
namespace {

const char* const kProgramKey = "\\SOFTWARE\\Quorvel";
const char* const kFontKey = "\\SOFTWARE\\Quorvel\\PrinterFont";

class ProgramOptions : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("QUORVEL_REGISTRY", registry.path().c_str(), 1);
    Hooks().message = [this](MessageKind kind, const QString&, const QString& text) {
      messages.push_back({kind, text});
      return true;
    };
    Hooks().chooseFont = [this](QWidget*, const QFont& initial) {
      offered = initial;
      return chosen;
    };
    // As StartUp leaves them without a program key.
    QFont font(QStringLiteral("System"));
    font.setPointSize(10);
    printFont = font;
    mnuUOX.setEnabled(false);
  }
  void TearDown() override {
    ResetDialogHooks();
    unsetenv("QUORVEL_REGISTRY");
  }

  std::optional<platform::RegValue> Value(const std::string& key, const std::string& name) {
    auto opened = platform::OpenRegistry()->OpenKey(platform::RootKey::LocalMachine, key,
                                                    platform::Registry::Access::Read);
    if (!opened)
      return std::nullopt;
    return opened->QueryValue(name);
  }
  std::optional<std::uint32_t> Dword(const std::string& key, const std::string& name) {
    auto value = Value(key, name);
    if (!value || value->type != platform::kRegDword || value->data.size() != 4)
      return std::nullopt;
    return value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
           static_cast<std::uint32_t>(value->data[3]) << 24;
  }
  std::optional<std::string> Text(const std::string& key, const std::string& name) {
    auto value = Value(key, name);
    if (!value || value->type != platform::kRegSz)
      return std::nullopt;
    return platform::DecodeRegString(value->data);
  }

  struct Message {
    MessageKind kind;
    QString text;
  };

  test::TempDir registry;
  QFont printFont;
  QAction mnuUOX{QStringLiteral("&Multiple Configurations")};
  std::vector<Message> messages;
  std::optional<QFont> chosen;
  QFont offered;
};

TEST_F(ProgramOptions, ShowsThePrinterFontAndTheMenuItemsState) {
  TfrmConfig dialog(printFont, &mnuUOX);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Quorvel - Setup");
  EXPECT_EQ(test::Child<TKVXEdit>(&dialog, "edFont")->Text(), "System");
  EXPECT_EQ(test::Child<TKVXComboBox>(&dialog, "cboxUOX")->Value(), "N");
  EXPECT_EQ(test::Child<TKVXComboBox>(&dialog, "cboxUOX")->currentText(), "N - No");
  // Read-only, but still reachable for the find action.
  EXPECT_TRUE(test::Child<TKVXEdit>(&dialog, "edFont")->ReadOnly());
  EXPECT_TRUE(test::Child<TKVXEdit>(&dialog, "edFont")->Enabled());
  EXPECT_EQ(test::Child<TKVXEdit>(&dialog, "edFont")->Hint(), "|CTRL-F or Double Click for find");
  dialog.close();

  mnuUOX.setEnabled(true);
  TfrmConfig again(printFont, &mnuUOX);
  again.show();
  EXPECT_EQ(test::Child<TKVXComboBox>(&again, "cboxUOX")->Value(), "Y");
}

TEST_F(ProgramOptions, OkWithoutAnyChangeWritesAllSixValuesAndCreatesTheKeys) {
  ASSERT_FALSE(Value(kFontKey, "Name"));
  TfrmConfig dialog(printFont, &mnuUOX);
  dialog.show();
  test::Child<TKVXButton>(&dialog, "btnOK")->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Dword(kProgramKey, "UOXSupport"), 0u);
  EXPECT_EQ(Text(kFontKey, "Name"), "System");
  EXPECT_EQ(Dword(kFontKey, "Size"), 10u);
  EXPECT_EQ(Dword(kFontKey, "Bold"), 0u);
  EXPECT_EQ(Dword(kFontKey, "Italic"), 0u);
  EXPECT_EQ(Dword(kFontKey, "Underline"), 0u);
  EXPECT_FALSE(mnuUOX.isEnabled());
}

TEST_F(ProgramOptions, OkStoresTheStylesAndTheSizeOfThePrinterFont) {
  QFont font(QStringLiteral("Courier New"));
  font.setPointSize(8);
  font.setBold(true);
  font.setUnderline(true);
  printFont = font;
  TfrmConfig dialog(printFont, &mnuUOX);
  dialog.show();
  test::Child<TKVXButton>(&dialog, "btnOK")->click();
  EXPECT_EQ(Text(kFontKey, "Name"), "Courier New");
  EXPECT_EQ(Dword(kFontKey, "Size"), 8u);
  EXPECT_EQ(Dword(kFontKey, "Bold"), 1u);
  EXPECT_EQ(Dword(kFontKey, "Italic"), 0u);
  EXPECT_EQ(Dword(kFontKey, "Underline"), 1u);
}

TEST_F(ProgramOptions, TheMenuItemFollowsTheChoiceOnOk) {
  {
    TfrmConfig dialog(printFont, &mnuUOX);
    dialog.show();
    test::Child<TKVXComboBox>(&dialog, "cboxUOX")->setFocus();
    QTest::keyClick(test::Child<TKVXComboBox>(&dialog, "cboxUOX"),
                    Qt::Key_Up); // "N - No" -> "Y - Yes"
    ASSERT_EQ(test::Child<TKVXComboBox>(&dialog, "cboxUOX")->Value(), "Y");
    EXPECT_FALSE(mnuUOX.isEnabled()) << "only OK changes the menu item";
    test::Child<TKVXButton>(&dialog, "btnOK")->click();
    EXPECT_TRUE(mnuUOX.isEnabled());
    EXPECT_EQ(Dword(kProgramKey, "UOXSupport"), 1u);
  }
  TfrmConfig dialog(printFont, &mnuUOX);
  dialog.show();
  test::Child<TKVXComboBox>(&dialog, "cboxUOX")->setValue(QStringLiteral("N"));
  test::Child<TKVXButton>(&dialog, "btnOK")->click();
  EXPECT_FALSE(mnuUOX.isEnabled());
  EXPECT_EQ(Dword(kProgramKey, "UOXSupport"), 0u);
}

TEST_F(ProgramOptions, CancelAndEscWriteNothingAndLeaveTheMenuItem) {
  TfrmConfig dialog(printFont, &mnuUOX);
  dialog.show();
  test::Child<TKVXComboBox>(&dialog, "cboxUOX")->setValue(QStringLiteral("Y"));
  test::Child<TKVXButton>(&dialog, "btnCancel")->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);

  TfrmConfig other(printFont, &mnuUOX);
  other.show();
  test::Child<TKVXComboBox>(&other, "cboxUOX")->setValue(QStringLiteral("Y"));
  QTest::keyClick(test::Child<TKVXEdit>(&other, "edFont")->Edit(), Qt::Key_Escape);
  EXPECT_FALSE(other.isVisible());

  EXPECT_FALSE(mnuUOX.isEnabled());
  EXPECT_FALSE(Value(kProgramKey, "UOXSupport"));
  EXPECT_FALSE(Value(kFontKey, "Name"));
}

TEST_F(ProgramOptions, AChosenFontTakesEffectAtOnceAndStaysWhenCancelled) {
  QFont courier(QStringLiteral("Courier New"));
  courier.setPointSize(12);
  courier.setItalic(true);
  chosen = courier;
  TfrmConfig dialog(printFont, &mnuUOX);
  dialog.show();
  QTest::keyClick(test::Child<TKVXEdit>(&dialog, "edFont")->Edit(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(offered.family(), "System");
  EXPECT_EQ(offered.pointSize(), 10);
  EXPECT_EQ(printFont.family(), "Courier New");
  EXPECT_EQ(printFont.pointSize(), 12);
  EXPECT_TRUE(printFont.italic());
  EXPECT_EQ(test::Child<TKVXEdit>(&dialog, "edFont")->Text(), "Courier New");

  test::Child<TKVXButton>(&dialog, "btnCancel")->click();
  EXPECT_EQ(printFont.family(), "Courier New") << "kept for this run";
  EXPECT_FALSE(Value(kFontKey, "Name")) << "the next start uses the stored font";
}

TEST_F(ProgramOptions, ADoubleClickAlsoOpensTheFontDialog) {
  chosen = QFont(QStringLiteral("Courier New"), 9);
  TfrmConfig dialog(printFont, &mnuUOX);
  dialog.show();
  QTest::mouseDClick(test::Child<TKVXEdit>(&dialog, "edFont")->Edit(), Qt::LeftButton);
  EXPECT_EQ(test::Child<TKVXEdit>(&dialog, "edFont")->Text(), "Courier New");
  test::Child<TKVXButton>(&dialog, "btnOK")->click();
  EXPECT_EQ(Text(kFontKey, "Name"), "Courier New");
  EXPECT_EQ(Dword(kFontKey, "Size"), 9u);
}

TEST_F(ProgramOptions, ACancelledFontDialogChangesNothing) {
  chosen.reset();
  TfrmConfig dialog(printFont, &mnuUOX);
  dialog.show();
  QTest::keyClick(test::Child<TKVXEdit>(&dialog, "edFont")->Edit(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(printFont.family(), "System");
  EXPECT_EQ(test::Child<TKVXEdit>(&dialog, "edFont")->Text(), "System");
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ProgramOptions, TheFontDialogDoesNotChangeUnderlineOrStrikeOut) {
  QFont underlined = printFont;
  underlined.setUnderline(true);
  printFont = underlined;
  QFont plain(QStringLiteral("Courier New"), 10);
  plain.setStrikeOut(true);
  chosen = plain;
  TfrmConfig dialog(printFont, &mnuUOX);
  dialog.show();
  QTest::keyClick(test::Child<TKVXEdit>(&dialog, "edFont")->Edit(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(printFont.underline());
  EXPECT_FALSE(printFont.strikeOut());
}

TEST_F(ProgramOptions, AStoreErrorOnOkIsReportedAndKeepsTheDialogOpen) {
  // A registry home below a plain file cannot be written.
  test::WriteBytes(registry.file("file"), "not a directory");
  setenv("QUORVEL_REGISTRY", registry.file("file/home").c_str(), 1);
  TfrmConfig dialog(printFont, &mnuUOX);
  dialog.show();
  test::Child<TKVXComboBox>(&dialog, "cboxUOX")->setValue(QStringLiteral("Y"));
  test::Child<TKVXButton>(&dialog, "btnOK")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, MessageKind::GeneralError);
  EXPECT_FALSE(messages[0].text.isEmpty());
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(mnuUOX.isEnabled()) << "the menu item is set before the first write";
}

} // namespace
} // namespace qv::ui
