#include "MainWindowSupport.h"

#include <filesystem>

#include "core/JournalFile.h"

namespace qv {
namespace {

class JournalPageTest : public test::MainWindowTest {
protected:
  void PutGameFiles() override {
    MainWindowTest::PutGameFiles();
    // Long enough to scroll: "needle" stands on the first line and on lines 50 and 120.
    std::string journal;
    for (int i = 0; i < 200; ++i) {
      std::string line = "line " + std::to_string(i) + " \x80 caf\xE9";
      if (i == 0 || i == 50 || i == 120)
        line += " the NeEdLe is here";
      journal += line + "\r\n";
    }
    Put("Journal.Log", journal);
  }

  void SetUp() override {
    MainWindowTest::SetUp();
    Open();
    window->pageData->setCurrentWidget(window->tabJournal);
  }

  // The user picks a flag in the box.
  void PickFlag(const QString& code) {
    Focus(window->cboxJrnl);
    Press(code == "Y" ? Qt::Key_Up : Qt::Key_Down);
    ASSERT_EQ(window->cboxJrnl->Value(), code);
  }

  std::string JournalPath() const { return game.dir() + "Journal.Log"; }
};

TEST_F(JournalPageTest, TheRecordedJournalIsShownWithItsButtons) {
  EXPECT_EQ(window->cboxJrnl->Value(), "Y");
  EXPECT_TRUE(window->edJrnl->Enabled());
  EXPECT_EQ(window->edJrnl->Text().toStdString(), JournalPath());
  EXPECT_EQ(window->memoJrnl->lineCount(), 200);
  EXPECT_EQ(window->memoJrnl->lineText(1), QString::fromUtf8("line 1 \u20AC caf\u00E9"));
  for (TKVXButton* button : {window->btnFind, window->btnPrint, window->btnClear}) {
    EXPECT_TRUE(button->isVisible());
    EXPECT_TRUE(button->isEnabled());
  }
}

TEST_F(JournalPageTest, FlagNoLocksTheFieldAndHidesTheButtonsYesFillsTheDefaultName) {
  PickFlag("N");
  EXPECT_FALSE(window->edJrnl->Enabled());
  EXPECT_FALSE(window->btnClear->isVisible());
  EXPECT_FALSE(window->btnPrint->isVisible());
  EXPECT_FALSE(window->btnFind->isVisible());

  // After a page change only Clear follows the flag.
  window->pageData->setCurrentWidget(window->tabServer);
  window->pageData->setCurrentWidget(window->tabJournal);
  EXPECT_FALSE(window->btnClear->isVisible());
  EXPECT_TRUE(window->btnPrint->isVisible());
  EXPECT_TRUE(window->btnFind->isVisible());

  window->edJrnl->setText("   ");
  EXPECT_EQ(window->memoJrnl->lineCount(), 0);
  EXPECT_FALSE(window->btnFind->isEnabled());
  PickFlag("Y");
  EXPECT_TRUE(window->edJrnl->Enabled());
  EXPECT_EQ(window->edJrnl->Text().toStdString(), JournalPath());
  EXPECT_EQ(window->memoJrnl->lineCount(), 200);
  EXPECT_TRUE(window->btnClear->isVisible());
  EXPECT_TRUE(window->btnFind->isEnabled());
}

TEST_F(JournalPageTest, AMissingFileEmptiesTheViewAndDisablesItsButtons) {
  window->edJrnl->setText(QString::fromStdString(game.dir() + "Nothing.log"));
  EXPECT_EQ(window->memoJrnl->lineCount(), 0);
  EXPECT_FALSE(window->btnFind->isEnabled());
  EXPECT_FALSE(window->btnPrint->isEnabled());
  EXPECT_FALSE(window->btnClear->isEnabled());
  // Print stays disabled on the Macros page too.
  window->pageData->setCurrentWidget(window->tabMacro);
  EXPECT_TRUE(window->btnPrint->isVisible());
  EXPECT_FALSE(window->btnPrint->isEnabled());
  EXPECT_TRUE(messages.empty());
}

TEST_F(JournalPageTest, FindStartsBelowTheTopLineAndReportsTheEnd) {
  findTexts = {"needle", "needle", "needle"};
  window->btnFind->click();
  EXPECT_EQ(window->memoJrnl->firstVisibleLine(), 50); // line 0 was at the top: not searched
  EXPECT_EQ(window->btnFind->text(), "&Find Again");
  window->btnFind->click();
  EXPECT_EQ(window->memoJrnl->firstVisibleLine(), 120);
  EXPECT_TRUE(messages.empty());
  window->btnFind->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Warning);
  EXPECT_EQ(messages[0].caption, "Warning");
  EXPECT_EQ(messages[0].text, "Could not find \"needle\"");
  EXPECT_EQ(window->memoJrnl->firstVisibleLine(), 120);
}

TEST_F(JournalPageTest, AltKeysOfTheButtonsWinOverTheMenuTitles) {
  // "&Find" and the menu's "&File", "&Clear" and "&Configuration".
  findTexts = {"needle"};
  Focus(window->edJrnl);
  Press(Qt::Key_F, Qt::AltModifier);
  EXPECT_EQ(window->memoJrnl->firstVisibleLine(), 50);
  EXPECT_TRUE(window->edJrnl->Edit()->hasFocus());
  answers = {false};
  Press(Qt::Key_C, Qt::AltModifier);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Are you sure you want to clear you journal?");
}

TEST_F(JournalPageTest, ATextOnlyOnTheFirstLineIsNotFoundFromTheTop) {
  findTexts = {"JOURNAL line 0"};
  Put("Journal.Log", "journal line 0\r\nsecond\r\n");
  window->RefreshJournal();
  window->btnFind->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Could not find \"JOURNAL line 0\"");

  // Cancelling the dialog searches nothing.
  messages.clear();
  window->btnFind->click();
  EXPECT_TRUE(messages.empty());
}

TEST_F(JournalPageTest, FindAgainCaptionFollowsTheViewAndThePage) {
  EXPECT_EQ(window->btnFind->text(), "&Find");
  window->memoJrnl->setFirstVisibleLine(10);
  EXPECT_EQ(window->btnFind->text(), "&Find Again");
  window->pageData->setCurrentWidget(window->tabMacro);
  EXPECT_EQ(window->btnFind->text(), "&Find");
  window->pageData->setCurrentWidget(window->tabJournal);
  EXPECT_EQ(window->btnFind->text(), "&Find Again");
  window->memoJrnl->setFirstVisibleLine(0);
  EXPECT_EQ(window->btnFind->text(), "&Find");
}

TEST_F(JournalPageTest, ClearAsksAndNoKeepsViewAndFile) {
  const std::string journal = Get("Journal.Log");
  answers = {false};
  window->btnClear->click();
  ASSERT_EQ(messages.size(), 1u);
  // No is the default: Alt+C, Enter keeps the journal.
  EXPECT_EQ(messages[0].kind, ui::MessageKind::ConfirmationDefaultNo);
  EXPECT_EQ(messages[0].text, "Are you sure you want to clear you journal?");
  EXPECT_EQ(window->memoJrnl->lineCount(), 200);
  EXPECT_EQ(Get("Journal.Log"), journal);

  answers = {true};
  window->btnClear->click();
  EXPECT_EQ(window->memoJrnl->lineCount(), 0);
  EXPECT_EQ(Get("Journal.Log"), "");
}

TEST_F(JournalPageTest, ClearOnAReadOnlyFileReportsTheError) {
  std::filesystem::permissions(game.path() / "Journal.Log", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  answers = {true};
  window->btnClear->click();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].kind, ui::MessageKind::GeneralError);
  EXPECT_EQ(messages[1].text.toStdString(),
            "Cannot create file " + JournalPath() + "\nPermission denied");
  EXPECT_EQ(window->memoJrnl->lineCount(), 0);
  EXPECT_NE(Get("Journal.Log"), "");
}

// Memory running out while a journal is indexed: the lines counted so far stay on screen, and the
// user is told that they are not the whole journal.
TEST_F(JournalPageTest, MemoryRunningOutWhileIndexingIsReported) {
  std::string journal;
  for (int i = 0; i < 100000; ++i)
    journal += "journal line " + std::to_string(i) + "\r\n";
  Put("Journal.Log", journal);
  JournalFile::SetIndexFaultHook([](std::uint64_t done) { return done >= (1u << 20); });
  window->RefreshJournal();
  window->memoJrnl->waitForIndex();
  JournalFile::SetIndexFaultHook({});

  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Error);
  EXPECT_TRUE(messages[0].text.startsWith("Not enough memory to read the whole journal: only its "
                                          "first "))
      << messages[0].text.toStdString();
  const int shown = window->memoJrnl->lineCount();
  EXPECT_GT(shown, 1000);
  EXPECT_LT(shown, 100000);
  EXPECT_EQ(window->memoJrnl->lineBytes(shown - 1), "journal line " + std::to_string(shown - 1));
  EXPECT_TRUE(window->btnFind->isEnabled());
}

TEST_F(JournalPageTest, TheOpenFileDialogPutsThePickedNameIntoTheField) {
  Put("Other.log", "other journal\r\n");
  ui::OpenFileRequest asked;
  ui::Hooks().openFile = [&](QWidget*, const ui::OpenFileRequest& request) {
    asked = request;
    return std::optional<QString>(QString::fromStdString(game.dir() + "Other.log"));
  };
  Focus(window->edJrnl);
  Press(Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(asked.title, "Journal Log File");
  EXPECT_EQ(asked.fileName, "Journal.Log");
  EXPECT_EQ(asked.defaultSuffix, "log");
  EXPECT_EQ(asked.filters, (QStringList{"Log files (*.log)", "All files (*.*)"}));
  EXPECT_EQ(window->edJrnl->Text().toStdString(), game.dir() + "Other.log");
  EXPECT_EQ(window->memoJrnl->lineCount(), 1);

  // Cancelling changes nothing.
  ui::Hooks().openFile = [](QWidget*, const ui::OpenFileRequest&) {
    return std::optional<QString>();
  };
  Press(Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(window->edJrnl->Text().toStdString(), game.dir() + "Other.log");
}

TEST_F(JournalPageTest, ANameTheOptionsFileCannotHoldIsRefusedAndThePreviousKept) {
  const QString previous = window->edJrnl->Text();
  const QString foreign =
      QString::fromStdString(game.dir()) + QString::fromUtf8("\xE6\x97\xA5.log");
  // Picked in the dialog.
  ui::Hooks().openFile = [&](QWidget*, const ui::OpenFileRequest&) {
    return std::optional<QString>(foreign);
  };
  Focus(window->edJrnl);
  Press(Qt::Key_F, Qt::ControlModifier);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Error);
  EXPECT_TRUE(messages[0].text.contains(foreign));
  EXPECT_EQ(window->edJrnl->Text(), previous);

  // Typed, then saved with Enter without leaving the field: nothing is written.
  messages.clear();
  const std::string options = Get("UO.CFG");
  window->edJrnl->setText(foreign);
  window->btnSave->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Error);
  EXPECT_EQ(window->edJrnl->Text(), previous);
  EXPECT_EQ(window->pageData->currentWidget(), window->tabJournal);
  EXPECT_EQ(Get("UO.CFG"), options);
  EXPECT_EQ(window->memoJrnl->lineCount(), 200);
}

TEST_F(JournalPageTest, AnEmptyCacheSizeIsNamedAndShownBeforeAnythingIsSaved) {
  window->edCache->setText("");
  const std::string options = Get("UO.CFG");
  window->btnSave->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Error);
  EXPECT_TRUE(messages[0].text.contains("Cache Size"));
  EXPECT_EQ(window->pageData->currentWidget(), window->tabSys);
  EXPECT_EQ(QApplication::focusWidget(), window->edCache->Edit());
  EXPECT_EQ(Get("UO.CFG"), options);
}

} // namespace
} // namespace qv
