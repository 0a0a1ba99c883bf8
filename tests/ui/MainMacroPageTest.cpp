// The Macros page: checking a macro out into the panel and storing it again, the leave step's
// three refusals, sorting, Add and Delete, and a macro being edited when Save runs.

#include "MainWindowSupport.h"

#include <initializer_list>
#include <ostream>

// Readable QStrings in failure messages.
static void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace qv {
namespace {

using Lines = std::vector<std::string>;

// The main window over a game directory whose macro file the test gives, shown on the Macros
// page; every message box is answered Yes.
class MacroPageTest : public test::MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ui::Hooks().message = [this](ui::MessageKind kind, const QString& caption,
                                 const QString& text) {
      messages.push_back({kind, caption, text});
      return true;
    };
  }

  // MACROS.TXT comes with Open().
  void PutGameFiles() override {
    Put("UO.CFG", test::Crlf({"Sound=on", "Music=off"}));
    Put("LOGIN.CFG", test::Crlf({"LoginServer=login.example.net,7775"}));
  }

  void Open(const Lines& macroFile) {
    Put("MACROS.TXT", test::Crlf(macroFile));
    MainWindowTest::Open();
    Pages()->setCurrentWidget(Child("tabMacro"));
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
  }

  // The texts of the messages shown.
  std::vector<QString> Texts() const {
    std::vector<QString> texts;
    for (const test::ShownMessage& message : messages)
      texts.push_back(message.text);
    return texts;
  }

  const Lines& MacroLines() const { return window->State().macroLines; }

  int RowOf(const QString& key) const {
    for (int r = 0; r < Child<TKVXGridView>("grdMacro")->rowCount(); ++r)
      if (Child<TKVXGridView>("grdMacro")->Cells(0, r).trimmed() == key)
        return r;
    return -1;
  }
  QStringList Column(int column) const {
    QStringList cells;
    for (int r = 0; r < Child<TKVXGridView>("grdMacro")->rowCount(); ++r)
      cells << Child<TKVXGridView>("grdMacro")->Cells(column, r).trimmed();
    return cells;
  }

  // A click on a grid row, as the user selects a macro.
  void ClickRow(int row) {
    ASSERT_GE(row, 0);
    const QRect cell = Child<TKVXGridView>("grdMacro")
                           ->visualRect(Child<TKVXGridView>("grdMacro")->model()->index(row, 0));
    QTest::mouseClick(Child<TKVXGridView>("grdMacro")->viewport(), Qt::LeftButton, {},
                      cell.center());
  }
  void TabTo(QWidget* control) { control->setFocus(Qt::TabFocusReason); }
  // Leaving the panel for the grid.
  void Leave() { TabTo(Child<TKVXGridView>("grdMacro")); }
  // A pick in a drop-down list, as the user makes it.
  void Pick(TKVXComboBox* box, const QString& text) {
    const int index = box->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
  }
  void PickKey(const QString& key) { Pick(Child<TKVXComboBox>("cboxKey"), key); }
  void Modifiers(bool alt, bool ctrl, bool shift) {
    Child<TKVXCheckBox>("chkAlt")->setChecked(alt);
    Child<TKVXCheckBox>("chkCtrl")->setChecked(ctrl);
    Child<TKVXCheckBox>("chkShift")->setChecked(shift);
  }
  void Add() {
    Child<TKVXButton>("btnAdd")->click();
    ASSERT_TRUE(Macros()->MacroCheckedOut());
  }
  bool FocusIsOn(const QWidget* control) const {
    const QWidget* focused = QApplication::focusWidget();
    return focused && (focused == control || control->isAncestorOf(focused));
  }
  // The block of a key line in macroLines, end line included.
  Lines BlockOf(const std::string& keyLine) const {
    const Lines& lines = MacroLines();
    Lines block;
    bool in = false;
    for (const auto& line : lines) {
      if (!in && line == keyLine)
        in = true;
      if (in) {
        block.push_back(line);
        if (line.rfind("##", 0) == 0)
          break;
      }
    }
    return block;
  }
};

const Lines kThreeMacros = {"F1 0 0 0", "Say Hail", "########", "H 1 0 0", "UseSkill Hiding",
                            "########", "B 0 0 1",  "Bow",      "########"};

// --- The leave step's three checks ---

TEST_F(MacroPageTest, ASingleCharacterKeyNeedsAModifierANamedKeyDoesNot) {
  Open(kThreeMacros);
  struct Case {
    const char* key;
    bool alt, ctrl, shift;
    const char* keyLine;
  };
  for (const Case& c :
       {Case{"Q", true, false, false, "Q 0 1 0"}, Case{"Q", false, true, false, "Q 1 0 0"},
        Case{"Q", false, false, true, "Q 0 0 1"}, Case{"F5", false, false, false, "F5 0 0 0"}}) {
    SCOPED_TRACE(c.keyLine);
    Add();
    PickKey(c.key);
    Modifiers(c.alt, c.ctrl, c.shift);
    Pick(ChildNo<TKVXComboBox>("cboxMacro", 1), "Bow");
    Leave();
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(Macros()->MacroCheckedOut());
    EXPECT_EQ(BlockOf(c.keyLine), (Lines{c.keyLine, "Bow ", "########"}));
  }

  Add();
  PickKey("Q");
  Leave();
  ASSERT_EQ(Texts(), std::vector<QString>{"Must select Alt, Ctrl, or Shift!"});
  EXPECT_TRUE(FocusIsOn(Child<TKVXCheckBox>("chkAlt")));
  EXPECT_TRUE(Macros()->MacroCheckedOut());
  EXPECT_TRUE(BlockOf("Q 0 0 0").empty());
}

TEST_F(MacroPageTest, NoKeyIsRefusedWithoutAModifierAndStoredWithOne) {
  Open(kThreeMacros);
  const Lines before = MacroLines();
  Add();
  Leave();
  ASSERT_EQ(Texts(), std::vector<QString>{"Must select Alt, Ctrl, or Shift!"});
  EXPECT_TRUE(FocusIsOn(Child<TKVXCheckBox>("chkAlt")));
  EXPECT_EQ(MacroLines(), before);

  messages.clear();
  Modifiers(false, true, false);
  Leave();
  EXPECT_TRUE(messages.empty());
  // No action chosen: the key line is followed by the end line.
  Lines expected = before;
  expected.insert(expected.end(), {" 1 0 0", "########"});
  EXPECT_EQ(MacroLines(), expected);
}

TEST_F(MacroPageTest, AKeyAndModifiersThatAnotherMacroHasAreRefused) {
  Open(kThreeMacros);
  Add();
  PickKey("H");
  Modifiers(false, true, false);
  Pick(ChildNo<TKVXComboBox>("cboxMacro", 1), "Bow");
  Leave();
  ASSERT_EQ(Texts(), std::vector<QString>{"Duplicate Macros!"});
  EXPECT_TRUE(FocusIsOn(Child<TKVXComboBox>("cboxKey")));
  EXPECT_TRUE(Macros()->MacroCheckedOut());
  EXPECT_EQ(MacroLines(), kThreeMacros);

  messages.clear();
  Child<TKVXCheckBox>("chkShift")->setChecked(true);
  Leave();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(BlockOf("H 1 0 1"), (Lines{"H 1 0 1", "Bow ", "########"}));
}

TEST_F(MacroPageTest, AShownParameterMustHaveAValue) {
  Open(kThreeMacros);
  Add();
  PickKey("F2");
  Pick(ChildNo<TKVXComboBox>("cboxMacro", 1), "Say");
  EXPECT_FALSE(ChildNo<TKVXComboBox>("cboxMacro", 2)->isHidden());
  EXPECT_FALSE(ChildNo<TKVXEdit>("edParm", 1)->isHidden());
  EXPECT_TRUE(ChildNo<TKVXComboBox>("cboxParm", 1)->isHidden());
  ChildNo<TKVXEdit>("edParm", 1)->setText("   ");
  Leave();
  ASSERT_EQ(Texts(), std::vector<QString>{"Must enter a value in the parameter"});
  EXPECT_TRUE(FocusIsOn(ChildNo<TKVXEdit>("edParm", 1)));

  // A list parameter without a selection: the edit's text names no direction.
  messages.clear();
  Pick(ChildNo<TKVXComboBox>("cboxMacro", 1), "Walk");
  EXPECT_TRUE(ChildNo<TKVXEdit>("edParm", 1)->isHidden());
  EXPECT_EQ(ChildNo<TKVXComboBox>("cboxParm", 1)->currentIndex(), -1);
  Leave();
  ASSERT_EQ(Texts(), std::vector<QString>{"Must enter a value in the parameter"});
  EXPECT_TRUE(FocusIsOn(ChildNo<TKVXComboBox>("cboxParm", 1)));

  // The first row without a value is the one reported.
  messages.clear();
  Pick(ChildNo<TKVXComboBox>("cboxMacro", 1), "Bow");
  Pick(ChildNo<TKVXComboBox>("cboxMacro", 2), "Yell");
  Pick(ChildNo<TKVXComboBox>("cboxMacro", 3), "CastSpell");
  Leave();
  ASSERT_EQ(Texts(), std::vector<QString>{"Must enter a value in the parameter"});
  EXPECT_TRUE(FocusIsOn(ChildNo<TKVXEdit>("edParm", 2)));

  messages.clear();
  ChildNo<TKVXEdit>("edParm", 2)->setText(" Guards! ");
  Pick(ChildNo<TKVXComboBox>("cboxParm", 3), "Cure");
  Leave();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(BlockOf("F2 0 0 0"),
            (Lines{"F2 0 0 0", "Bow ", "Yell  Guards! ", "CastSpell Cure", "########"}));
}

TEST_F(MacroPageTest, AListActionSelectsTheEntryNamedByTheRowsTextInAnyCase) {
  Open(kThreeMacros);
  Add();
  PickKey("Num 7");
  Modifiers(false, true, true);
  Pick(ChildNo<TKVXComboBox>("cboxMacro", 1), "Say");
  ChildNo<TKVXEdit>("edParm", 1)->setText("nw (TOP)");
  Pick(ChildNo<TKVXComboBox>("cboxMacro", 1), "Walk");
  EXPECT_EQ(ChildNo<TKVXComboBox>("cboxParm", 1)->currentText(), "NW (top)");
  Leave();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(BlockOf("Num 7 1 0 1"), (Lines{"Num 7 1 0 1", "Walk NW (top)", "########"}));
}

// --- Checking out and storing ---

TEST_F(MacroPageTest, ReEnteringAndLeavingUnchangedMovesTheBlockToTheEnd) {
  Open(kThreeMacros);
  ClickRow(RowOf("F1"));
  EXPECT_EQ(Child<TKVXComboBox>("cboxKey")->currentText(), "F1");
  EXPECT_EQ(ChildNo<TKVXComboBox>("cboxMacro", 1)->currentText(), "Say");
  EXPECT_EQ(ChildNo<TKVXEdit>("edParm", 1)->Text(), "Hail");

  TabTo(ChildNo<TKVXEdit>("edParm", 1));
  EXPECT_TRUE(Macros()->MacroCheckedOut());
  EXPECT_TRUE(BlockOf("F1 0 0 0").empty());
  EXPECT_EQ(Child<TKVXGridView>("grdMacro")->rowCount(), 3); // the grid still lists it

  Leave();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(MacroLines(), (Lines{"H 1 0 0", "UseSkill Hiding", "########", "B 0 0 1", "Bow",
                                 "########", "F1 0 0 0", "Say Hail", "########"}));
  EXPECT_EQ(Child<TKVXGridView>("grdMacro")->rowCount(), 3);
  EXPECT_EQ(Child<TKVXGridView>("grdMacro")
                ->Cells(0, Child<TKVXGridView>("grdMacro")->currentRow())
                .trimmed(),
            "F1");
}

TEST_F(MacroPageTest, AClickOnTheGridWhileTheLeaveStepRefusesKeepsThePanel) {
  Open(kThreeMacros);
  ClickRow(RowOf("H"));
  TabTo(ChildNo<TKVXComboBox>("cboxMacro", 1));
  Child<TKVXCheckBox>("chkCtrl")->setChecked(false); // "H" alone is refused
  const int selected = Child<TKVXGridView>("grdMacro")->currentRow();

  ClickRow(RowOf("F1"));
  ASSERT_EQ(Texts(), std::vector<QString>{"Must select Alt, Ctrl, or Shift!"});
  EXPECT_TRUE(Macros()->MacroCheckedOut());
  EXPECT_EQ(Child<TKVXGridView>("grdMacro")->currentRow(), selected);
  EXPECT_EQ(Child<TKVXComboBox>("cboxKey")->currentText(), "H");
  EXPECT_EQ(ChildNo<TKVXComboBox>("cboxParm", 1)->currentText(), "Hiding");

  messages.clear();
  Child<TKVXCheckBox>("chkCtrl")->setChecked(true);
  Leave();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(BlockOf("H 1 0 0"), (Lines{"H 1 0 0", "UseSkill Hiding", "########"}));
}

TEST_F(MacroPageTest, AWindowClickOutsideThePanelRunsTheLeaveStepFirst) {
  Open(kThreeMacros);
  const auto clickAt = [this](QWidget* control, QPoint at) {
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, control->mapTo(window.get(), at));
  };
  Add();
  PickKey("Q");
  const int rows = Child<TKVXGridView>("grdMacro")->rowCount();
  clickAt(Child<TKVXButton>("btnDelete"), Child<TKVXButton>("btnDelete")->rect().center());
  ASSERT_EQ(Texts(), std::vector<QString>{"Must select Alt, Ctrl, or Shift!"});
  EXPECT_FALSE(Child<TKVXButton>("btnDelete")->isDown());
  EXPECT_EQ(Child<TKVXGridView>("grdMacro")->rowCount(), rows);
  EXPECT_TRUE(FocusIsOn(Child<TKVXCheckBox>("chkAlt")));

  messages.clear();
  Child<TKVXCheckBox>("chkShift")->setChecked(true);
  const int row = RowOf("F1");
  const QRect cell = Child<TKVXGridView>("grdMacro")
                         ->visualRect(Child<TKVXGridView>("grdMacro")->model()->index(row, 0));
  clickAt(Child<TKVXGridView>("grdMacro")->viewport(), cell.center());
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(Macros()->MacroCheckedOut());
  EXPECT_EQ(BlockOf("Q 0 0 1"), (Lines{"Q 0 0 1", "########"}));
  EXPECT_EQ(Child<TKVXComboBox>("cboxKey")->currentText(), "F1");
}

TEST_F(MacroPageTest, UnknownActionsKeyNamesAndActionsAfterTheTenthComeBackUnchanged) {
  Lines file = {"A 1 0 0",   "Dance Slowly please",
                "Say hi",    "########",
                "Foo 0 1 0", "Say from a key of another layout",
                "########",  "B 1 0 0"};
  const std::vector<std::string> numbers = {"one",   "two",   "three", "four", "five",   "six",
                                            "seven", "eight", "nine",  "ten",  "eleven", "twelve"};
  for (const auto& number : numbers)
    file.push_back("Say " + number);
  file.push_back("########");
  Open(file);

  ClickRow(RowOf("A"));
  EXPECT_EQ(ChildNo<TKVXComboBox>("cboxMacro", 1)->currentText(), "Dance");
  EXPECT_FALSE(ChildNo<TKVXEdit>("edParm", 1)->isHidden());
  EXPECT_EQ(ChildNo<TKVXEdit>("edParm", 1)->Text(), "Slowly please");
  EXPECT_EQ(ChildNo<TKVXComboBox>("cboxMacro", 2)->currentText(), "Say");
  TabTo(ChildNo<TKVXComboBox>("cboxMacro", 1));
  Leave();
  ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
  EXPECT_EQ(BlockOf("A 1 0 0"), (Lines{"A 1 0 0", "Dance Slowly please", "Say hi", "########"}));

  ClickRow(RowOf("Foo"));
  EXPECT_EQ(Child<TKVXComboBox>("cboxKey")->currentText(), "Foo");
  TabTo(ChildNo<TKVXComboBox>("cboxMacro", 1));
  Leave();
  ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
  EXPECT_EQ(BlockOf("Foo 0 1 0"),
            (Lines{"Foo 0 1 0", "Say from a key of another layout", "########"}));

  ClickRow(RowOf("B"));
  EXPECT_EQ(ChildNo<TKVXEdit>("edParm", 10)->Text(), "ten");
  TabTo(ChildNo<TKVXEdit>("edParm", 10));
  Leave();
  ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
  Lines expected = {"B 1 0 0"};
  for (const auto& number : numbers)
    expected.push_back("Say " + number);
  expected.push_back("########");
  EXPECT_EQ(BlockOf("B 1 0 0"), expected);

  // A known action chosen instead of the unknown one drops it; the panel's lists are reset with
  // the next macro shown.
  ClickRow(RowOf("A"));
  TabTo(ChildNo<TKVXComboBox>("cboxMacro", 1));
  Pick(ChildNo<TKVXComboBox>("cboxMacro", 1), "Bow");
  Leave();
  EXPECT_EQ(BlockOf("A 1 0 0"), (Lines{"A 1 0 0", "Bow ", "Say hi", "########"}));
  ClickRow(RowOf("Foo"));
  EXPECT_EQ(ChildNo<TKVXComboBox>("cboxMacro", 1)->count(), 22);
  EXPECT_EQ(Child<TKVXComboBox>("cboxKey")->count(), 87);
  ClickRow(RowOf("B"));
  EXPECT_EQ(Child<TKVXComboBox>("cboxKey")->count(), 86);
}

// A key or action name of any length costs no more to show than a short one: the grid and the
// panel's lists show it cut, while checking the macro out and storing it keeps it whole.
TEST_F(MacroPageTest, AHugeKeyOrActionNameIsShownCutAndStoredWhole) {
  const std::string key = "K" + std::string(std::size_t{1} << 20, '\xE9') + "Z";
  const std::string action = "Act" + std::string(std::size_t{1} << 20, 'x');
  const Lines file = {key + " 1 0 0", action + " now", "########",
                      "F1 0 0 0",     "Say Hail",      "########"};
  Open(file);
  const int row = RowOf("F1") == 0 ? 1 : 0;
  const QString shownKey = ui::FromGameText(key).left(255);
  EXPECT_EQ(Child<TKVXGridView>("grdMacro")->Cells(0, row), shownKey);
  EXPECT_EQ(Child<TKVXGridView>("grdMacro")->Cells(4, row),
            QString::fromStdString(action.substr(0, 255)));

  ClickRow(row);
  EXPECT_EQ(Child<TKVXComboBox>("cboxKey")->currentText(), shownKey);
  EXPECT_EQ(ChildNo<TKVXComboBox>("cboxMacro", 1)->currentText(),
            QString::fromStdString(action.substr(0, 255)));
  TabTo(ChildNo<TKVXEdit>("edParm", 1));
  Leave();
  ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
  EXPECT_EQ(BlockOf(key + " 1 0 0"), (Lines{key + " 1 0 0", action + " now", "########"}));
  EXPECT_EQ(
      Child<TKVXGridView>("grdMacro")->Cells(0, Child<TKVXGridView>("grdMacro")->currentRow()),
      shownKey);
}

// --- The header buttons ---

TEST_F(MacroPageTest, HeaderButtonsSortByTheirColumnAndCarryTheGlyph) {
  Open({"Z 0 0 1", "Bow", "########", "C 1 0 0", "Say b", "########", "A 1 0 0", "Say a",
        "########", "M 0 1 0", "Bow", "########", "F3 0 0 0", "Say a", "########"});
  EXPECT_EQ(Column(0), (QStringList{"A", "C", "F3", "M", "Z"}));
  EXPECT_FALSE(Child<TKVXButton>("btnS0")->icon().isNull());

  QTest::mouseClick(Child<TKVXButton>("btnS1"), Qt::LeftButton);
  EXPECT_EQ(Macros()->SortColumn(), 1);
  for (int column = 0; column < 6; ++column) // the glyph moved, and no other button has it
    EXPECT_EQ(ChildNo<TKVXButton>("btnS", column)->icon().isNull(), column != 1) << column;
  EXPECT_TRUE(Child<TKVXButton>("btnS0")->icon().isNull());
  EXPECT_FALSE(Child<TKVXButton>("btnS1")->icon().isNull());
  // "No" before "Yes", then by Macro, Parameters and Key.
  EXPECT_EQ(Column(0), (QStringList{"Z", "A", "F3", "C", "M"}));
  EXPECT_EQ(Column(1), (QStringList{"No", "No", "No", "No", "Yes"}));
  EXPECT_TRUE(FocusIsOn(Child<TKVXGridView>("grdMacro")));

  QTest::mouseClick(Child<TKVXButton>("btnS1"), Qt::LeftButton);
  EXPECT_EQ(Column(0), (QStringList{"Z", "A", "F3", "C", "M"}));

  QTest::mouseClick(Child<TKVXButton>("btnS0"), Qt::LeftButton);
  EXPECT_EQ(Column(0), (QStringList{"A", "C", "F3", "M", "Z"}));
  EXPECT_TRUE(Child<TKVXButton>("btnS1")->icon().isNull());
  // The file's order is never touched by sorting.
  EXPECT_EQ(MacroLines()[0], "Z 0 0 1");
  EXPECT_TRUE(messages.empty());
}

// --- Add, Delete and actions that read macroLines ---

TEST_F(MacroPageTest, DeleteRemovesTheSelectedMacroWithoutAQuestion) {
  Open(kThreeMacros);
  ClickRow(RowOf("H"));
  Child<TKVXButton>("btnDelete")->click();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(MacroLines(),
            (Lines{"F1 0 0 0", "Say Hail", "########", "B 0 0 1", "Bow", "########"}));
  EXPECT_EQ(Child<TKVXGridView>("grdMacro")->rowCount(), 2);
  EXPECT_EQ(RowOf("H"), -1);
  // The panel shows the macro now selected.
  const QString selected = Child<TKVXGridView>("grdMacro")
                               ->Cells(0, Child<TKVXGridView>("grdMacro")->currentRow())
                               .trimmed();
  EXPECT_EQ(Child<TKVXComboBox>("cboxKey")->currentText(), selected);
}

TEST_F(MacroPageTest, AddBesideABlockWithABlankKeyLineKeepsEveryMacro) {
  const Lines file = {"F1 0 0 0",        "Say Hail",       "########", "",
                      "F2 0 0 0",        "Say Vendor buy", "########", "H 1 0 0",
                      "UseSkill Hiding", "########"};
  Open(file);
  Add();
  Modifiers(true, false, false);
  ClickRow(RowOf("H"));
  EXPECT_FALSE(Macros()->MacroCheckedOut());
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(Texts(),
            std::vector<QString>{"Ultima Online has been configured successfully off-line."});
  Lines expected = file;
  expected.insert(expected.end(), {" 0 1 0", "########"});
  EXPECT_EQ(test::ReadBytes(game.path() / "MACROS.TXT"), test::Crlf(expected));
}

TEST_F(MacroPageTest, EnterInThePanelSavesTheMacroBeingEdited) {
  Open(kThreeMacros);
  // Qt takes the default role from a push button outside a dialog when it loses the focus, as
  // Save does when the page switch passes the focus over it.
  Child<TKVXButton>("btnSave")->setKVXDefault(true);
  ClickRow(RowOf("F1"));
  TabTo(ChildNo<TKVXEdit>("edParm", 1));
  ChildNo<TKVXEdit>("edParm", 1)->setText("Hail and well met");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

  ASSERT_EQ(Texts(),
            std::vector<QString>{"Ultima Online has been configured successfully off-line."});
  EXPECT_FALSE(Macros()->MacroCheckedOut());
  const std::string saved = test::ReadBytes(game.path() / "MACROS.TXT");
  EXPECT_NE(saved.find("F1 0 0 0\r\nSay Hail and well met\r\n########\r\n"), std::string::npos);
  EXPECT_EQ(saved, test::ReadBytes(game.path() / "QRVDAT" / "MACROS.001"));

  // Editing on after the save checks the macro out anew and stores it without a duplicate.
  messages.clear();
  TabTo(ChildNo<TKVXEdit>("edParm", 1));
  ChildNo<TKVXEdit>("edParm", 1)->setText("Hail");
  Leave();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(BlockOf("F1 0 0 0"), (Lines{"F1 0 0 0", "Say Hail", "########"}));
}

TEST_F(MacroPageTest, SaveDoesNotRunWhileTheMacroBeingEditedIsRefused) {
  Open(kThreeMacros);
  const std::string before = test::ReadBytes(game.path() / "MACROS.TXT");
  Add();
  PickKey("Q");
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(Texts(), std::vector<QString>{"Must select Alt, Ctrl, or Shift!"});
  EXPECT_TRUE(Macros()->MacroCheckedOut());
  EXPECT_TRUE(FocusIsOn(Child<TKVXCheckBox>("chkAlt")));
  EXPECT_EQ(test::ReadBytes(game.path() / "MACROS.TXT"), before);

  // Add and Delete wait for it as well.
  messages.clear();
  const int rows = Child<TKVXGridView>("grdMacro")->rowCount();
  Child<TKVXButton>("btnAdd")->click();
  Child<TKVXButton>("btnDelete")->click();
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_EQ(Child<TKVXGridView>("grdMacro")->rowCount(), rows);
  EXPECT_EQ(Child<TKVXComboBox>("cboxKey")->currentText(), "Q");
}

TEST_F(MacroPageTest, LeavingThePageWithARefusedMacroBringsThePageBack) {
  Open(kThreeMacros);
  Add();
  PickKey("Q");
  Pages()->setCurrentWidget(Child("tabServer"));
  ASSERT_EQ(Texts(), std::vector<QString>{"Must select Alt, Ctrl, or Shift!"});
  EXPECT_TRUE(QTest::qWaitFor([this] { return Pages()->currentWidget() == Child("tabMacro"); }));
  EXPECT_TRUE(FocusIsOn(Child<TKVXCheckBox>("chkAlt")));
  EXPECT_TRUE(Macros()->MacroCheckedOut());
}

} // namespace
} // namespace qv
