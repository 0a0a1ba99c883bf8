#include "MainWindowSupport.h"

#include <filesystem>

#include "text/JournalFile.h"

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
    Pages()->setCurrentWidget(Child("tabJournal"));
  }

  // The user picks a flag in the box.
  void PickFlag(const QString& code) {
    Focus(Child<TKVXComboBox>("cboxJrnl"));
    Press(code == "Y" ? Qt::Key_Up : Qt::Key_Down);
    ASSERT_EQ(Child<TKVXComboBox>("cboxJrnl")->Value(), code);
  }

  std::string JournalPath() const { return game.dir() + "Journal.Log"; }

  // Clear's question for a file: the file where it really is on a line of its own.
  static QString ClearQuestion(const std::filesystem::path& file) {
    return QStringLiteral("Are you sure you want to clear you journal?\n") +
           QString::fromStdString(std::filesystem::canonical(file).string());
  }
};

TEST_F(JournalPageTest, TheRecordedJournalIsShownWithItsButtons) {
  EXPECT_EQ(Child<TKVXComboBox>("cboxJrnl")->Value(), "Y");
  EXPECT_TRUE(Child<TKVXEdit>("edJrnl")->Enabled());
  EXPECT_EQ(Child<TKVXEdit>("edJrnl")->Text().toStdString(), JournalPath());
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->lineCount(), 200);
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->lineText(1),
            QString::fromUtf8("line 1 \u20AC caf\u00E9"));
  for (TKVXButton* button : {Child<TKVXButton>("btnFind"), Child<TKVXButton>("btnPrint"),
                             Child<TKVXButton>("btnClear")}) {
    EXPECT_TRUE(button->isVisible());
    EXPECT_TRUE(button->isEnabled());
  }
}

TEST_F(JournalPageTest, FlagNoLocksTheFieldAndHidesTheButtonsYesFillsTheDefaultName) {
  PickFlag("N");
  EXPECT_FALSE(Child<TKVXEdit>("edJrnl")->Enabled());
  EXPECT_FALSE(Child<TKVXButton>("btnClear")->isVisible());
  EXPECT_FALSE(Child<TKVXButton>("btnPrint")->isVisible());
  EXPECT_FALSE(Child<TKVXButton>("btnFind")->isVisible());

  // After a page change only Clear follows the flag.
  Pages()->setCurrentWidget(Child("tabServer"));
  Pages()->setCurrentWidget(Child("tabJournal"));
  EXPECT_FALSE(Child<TKVXButton>("btnClear")->isVisible());
  EXPECT_TRUE(Child<TKVXButton>("btnPrint")->isVisible());
  EXPECT_TRUE(Child<TKVXButton>("btnFind")->isVisible());

  Child<TKVXEdit>("edJrnl")->setText("   ");
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->lineCount(), 0);
  EXPECT_FALSE(Child<TKVXButton>("btnFind")->isEnabled());
  PickFlag("Y");
  EXPECT_TRUE(Child<TKVXEdit>("edJrnl")->Enabled());
  EXPECT_EQ(Child<TKVXEdit>("edJrnl")->Text().toStdString(), JournalPath());
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->lineCount(), 200);
  EXPECT_TRUE(Child<TKVXButton>("btnClear")->isVisible());
  EXPECT_TRUE(Child<TKVXButton>("btnFind")->isEnabled());
}

TEST_F(JournalPageTest, AMissingFileEmptiesTheViewAndDisablesItsButtons) {
  Child<TKVXEdit>("edJrnl")->setText(QString::fromStdString(game.dir() + "Nothing.log"));
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->lineCount(), 0);
  EXPECT_FALSE(Child<TKVXButton>("btnFind")->isEnabled());
  EXPECT_FALSE(Child<TKVXButton>("btnPrint")->isEnabled());
  EXPECT_FALSE(Child<TKVXButton>("btnClear")->isEnabled());
  // Print stays disabled on the Macros page too.
  Pages()->setCurrentWidget(Child("tabMacro"));
  EXPECT_TRUE(Child<TKVXButton>("btnPrint")->isVisible());
  EXPECT_FALSE(Child<TKVXButton>("btnPrint")->isEnabled());
  EXPECT_TRUE(messages.empty());
}

TEST_F(JournalPageTest, FindStartsBelowTheTopLineAndReportsTheEnd) {
  findTexts = {"needle", "needle", "needle"};
  Child<TKVXButton>("btnFind")->click();
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->firstVisibleLine(),
            50); // line 0 was at the top: not searched
  EXPECT_EQ(Child<TKVXButton>("btnFind")->text(), "&Find Again");
  Child<TKVXButton>("btnFind")->click();
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->firstVisibleLine(), 120);
  EXPECT_TRUE(messages.empty());
  Child<TKVXButton>("btnFind")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Warning);
  EXPECT_EQ(messages[0].caption, "Warning");
  EXPECT_EQ(messages[0].text, "Could not find \"needle\"");
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->firstVisibleLine(), 120);
}

TEST_F(JournalPageTest, AltKeysOfTheButtonsWinOverTheMenuTitles) {
  // "&Find" and the menu's "&File", "&Clear" and "&Configuration".
  findTexts = {"needle"};
  Focus(Child<TKVXEdit>("edJrnl"));
  Press(Qt::Key_F, Qt::AltModifier);
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->firstVisibleLine(), 50);
  EXPECT_TRUE(Child<TKVXEdit>("edJrnl")->Edit()->hasFocus());
  answers = {false};
  Press(Qt::Key_C, Qt::AltModifier);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, ClearQuestion(game.path() / "Journal.Log"));
}

TEST_F(JournalPageTest, ATextOnlyOnTheFirstLineIsNotFoundFromTheTop) {
  findTexts = {"JOURNAL line 0"};
  Put("Journal.Log", "journal line 0\r\nsecond\r\n");
  Child<JournalPage>("tabJournal")->RefreshJournal();
  Child<TKVXButton>("btnFind")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Could not find \"JOURNAL line 0\"");

  // Cancelling the dialog searches nothing.
  messages.clear();
  Child<TKVXButton>("btnFind")->click();
  EXPECT_TRUE(messages.empty());
}

TEST_F(JournalPageTest, FindAgainCaptionFollowsTheViewAndThePage) {
  EXPECT_EQ(Child<TKVXButton>("btnFind")->text(), "&Find");
  Child<TKVXJournalView>("memoJrnl")->setFirstVisibleLine(10);
  EXPECT_EQ(Child<TKVXButton>("btnFind")->text(), "&Find Again");
  Pages()->setCurrentWidget(Child("tabMacro"));
  EXPECT_EQ(Child<TKVXButton>("btnFind")->text(), "&Find");
  Pages()->setCurrentWidget(Child("tabJournal"));
  EXPECT_EQ(Child<TKVXButton>("btnFind")->text(), "&Find Again");
  Child<TKVXJournalView>("memoJrnl")->setFirstVisibleLine(0);
  EXPECT_EQ(Child<TKVXButton>("btnFind")->text(), "&Find");
}

TEST_F(JournalPageTest, ClearAsksAndNoKeepsViewAndFile) {
  const std::string journal = Get("Journal.Log");
  answers = {false};
  Child<TKVXButton>("btnClear")->click();
  ASSERT_EQ(messages.size(), 1u);
  // No is the default: Alt+C, Enter keeps the journal.
  EXPECT_EQ(messages[0].kind, ui::MessageKind::ConfirmationDefaultNo);
  EXPECT_EQ(messages[0].text, ClearQuestion(game.path() / "Journal.Log"));
  EXPECT_FALSE(Child("lblJrnlOutside")->isVisible());
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->lineCount(), 200);
  EXPECT_EQ(Get("Journal.Log"), journal);

  answers = {true};
  Child<TKVXButton>("btnClear")->click();
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->lineCount(), 0);
  EXPECT_EQ(Get("Journal.Log"), "");
}

// A set from someone else names a file of the user's as its journal: the page marks it, and
// Clear's question names the file, where it really is, before anything is emptied.
TEST_F(JournalPageTest, AJournalOutsideTheGameDirIsMarkedAndNamedBeforeClear) {
  test::TempDir documents;
  test::WriteBytes(documents.path() / "thesis.txt", "three years of work\r\n");
  std::filesystem::create_directory_symlink(documents.path(), game.path() / "Documents");
  auto* outside = Child<TKVXLabel>("lblJrnlOutside");
  auto* edJrnl = Child<TKVXEdit>("edJrnl");
  edJrnl->setText(QString::fromStdString(game.dir() + "Documents/thesis.txt"));
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->lineCount(), 1);
  EXPECT_TRUE(outside->isVisible());
  QApplication::processEvents();
  EXPECT_GE(outside->width(), outside->sizeHint().width()); // the whole text shows

  answers = {false};
  Child<TKVXButton>("btnClear")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::ConfirmationDefaultNo);
  EXPECT_EQ(messages[0].text, ClearQuestion(documents.path() / "thesis.txt") +
                                  "\nThis file lies outside the game directory.");
  EXPECT_EQ(test::ReadBytes(documents.path() / "thesis.txt"), "three years of work\r\n");

  edJrnl->setText(QString::fromStdString(game.dir() + "Documents/../Journal.Log"));
  EXPECT_TRUE(outside->isVisible()); // ".." leaves the link's target, not the link
  edJrnl->setText(QString::fromStdString(JournalPath()));
  EXPECT_FALSE(outside->isVisible());
}

TEST_F(JournalPageTest, ClearOnAReadOnlyFileReportsTheError) {
  std::filesystem::permissions(game.path() / "Journal.Log", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  answers = {true};
  Child<TKVXButton>("btnClear")->click();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].kind, ui::MessageKind::GeneralError);
  EXPECT_EQ(messages[1].text.toStdString(),
            "Cannot create file " + JournalPath() + "\nPermission denied");
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->lineCount(), 0);
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
  Child<JournalPage>("tabJournal")->RefreshJournal();
  auto* memoJrnl = Child<TKVXJournalView>("memoJrnl");
  memoJrnl->waitForIndex();
  JournalFile::SetIndexFaultHook({});

  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Error);
  EXPECT_TRUE(messages[0].text.startsWith("Not enough memory to read the whole journal: only its "
                                          "first "))
      << messages[0].text.toStdString();
  const int shown = memoJrnl->lineCount();
  EXPECT_GT(shown, 1000);
  EXPECT_LT(shown, 100000);
  EXPECT_EQ(memoJrnl->lineBytes(shown - 1), "journal line " + std::to_string(shown - 1));
  EXPECT_TRUE(Child<TKVXButton>("btnFind")->isEnabled());
}

TEST_F(JournalPageTest, TheOpenFileDialogPutsThePickedNameIntoTheField) {
  Put("Other.log", "other journal\r\n");
  ui::OpenFileRequest asked;
  ui::Hooks().openFile = [&](QWidget*, const ui::OpenFileRequest& request) {
    asked = request;
    return std::optional<QString>(QString::fromStdString(game.dir() + "Other.log"));
  };
  Focus(Child<TKVXEdit>("edJrnl"));
  Press(Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(asked.title, "Journal Log File");
  EXPECT_EQ(asked.fileName, "Journal.Log");
  EXPECT_EQ(asked.defaultSuffix, "log");
  EXPECT_EQ(asked.filters, (QStringList{"Log files (*.log)", "All files (*.*)"}));
  EXPECT_EQ(Child<TKVXEdit>("edJrnl")->Text().toStdString(), game.dir() + "Other.log");
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->lineCount(), 1);

  // Cancelling changes nothing.
  ui::Hooks().openFile = [](QWidget*, const ui::OpenFileRequest&) {
    return std::optional<QString>();
  };
  Press(Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(Child<TKVXEdit>("edJrnl")->Text().toStdString(), game.dir() + "Other.log");
}

TEST_F(JournalPageTest, ANameTheOptionsFileCannotHoldIsRefusedAndThePreviousKept) {
  const QString previous = Child<TKVXEdit>("edJrnl")->Text();
  const QString foreign =
      QString::fromStdString(game.dir()) + QString::fromUtf8("\xE6\x97\xA5.log");
  // Picked in the dialog.
  ui::Hooks().openFile = [&](QWidget*, const ui::OpenFileRequest&) {
    return std::optional<QString>(foreign);
  };
  Focus(Child<TKVXEdit>("edJrnl"));
  Press(Qt::Key_F, Qt::ControlModifier);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Error);
  EXPECT_TRUE(messages[0].text.contains(foreign));
  EXPECT_EQ(Child<TKVXEdit>("edJrnl")->Text(), previous);

  // Typed, then saved with Enter without leaving the field: nothing is written.
  messages.clear();
  const std::string options = Get("UO.CFG");
  Child<TKVXEdit>("edJrnl")->setText(foreign);
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Error);
  EXPECT_EQ(Child<TKVXEdit>("edJrnl")->Text(), previous);
  EXPECT_EQ(Pages()->currentWidget(), Child("tabJournal"));
  EXPECT_EQ(Get("UO.CFG"), options);
  EXPECT_EQ(Child<TKVXJournalView>("memoJrnl")->lineCount(), 200);
}

TEST_F(JournalPageTest, AnEmptyCacheSizeIsNamedAndShownBeforeAnythingIsSaved) {
  Child<TKVXEdit>("edCache")->setText("");
  const std::string options = Get("UO.CFG");
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Error);
  EXPECT_TRUE(messages[0].text.contains("Cache Size"));
  EXPECT_EQ(Pages()->currentWidget(), Child("tabSys"));
  EXPECT_EQ(QApplication::focusWidget(), Child<TKVXEdit>("edCache")->Edit());
  EXPECT_EQ(Get("UO.CFG"), options);
}

} // namespace
} // namespace qv
