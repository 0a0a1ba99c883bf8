// The Macros page: checking a macro out into the panel and storing it again, the leave step's
// three refusals, sorting, Add and Delete, and a macro being edited when Save runs.

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "controls/KVXAdCtl.h"
#include "controls/KVXStCtl.h"
#include "controls/KvxWin95.h"
#include "settings/KVXFile.h"
#include "support/TempDir.h"
#include "ui/Dialogs.h"
#include "ui/Main.h"

// Readable QStrings in failure messages.
static void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace qv {
namespace {

using Lines = std::vector<std::string>;

const char* const kGameKey = "\\SOFTWARE\\Origin Worlds Online\\Ultima Online\\1.0";

std::string Crlf(const Lines& lines) {
  std::string text;
  for (const auto& line : lines)
    text += line + "\r\n";
  return text;
}

// A game installation of its own (registry home and game directory) with the given macro file,
// and the main window over it, shown on the Macros page.
class MacroPage : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("QUORVEL_REGISTRY", home.path().c_str(), 1);
    TKVXFile("HKEY_LOCAL_MACHINE", skRegistry)
        .WriteText(kGameKey, "ExePath", game.dir() + "client.exe");
    test::WriteBytes(game.path() / "UO.CFG", Crlf({"Sound=on", "Music=off"}));
    test::WriteBytes(game.path() / "LOGIN.CFG", Crlf({"LoginServer=login.example.net,7775"}));
    ui::Hooks().message = [this](ui::MessageKind, const QString&, const QString& text) {
      messages.push_back(text);
      return true;
    };
  }

  void TearDown() override {
    form.reset();
    ui::ResetDialogHooks();
    unsetenv("QUORVEL_REGISTRY");
  }

  void Open(const Lines& macroFile) {
    test::WriteBytes(game.path() / "MACROS.TXT", Crlf(macroFile));
    form = std::make_unique<TfrmMain>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ASSERT_TRUE(form->FirstShowLoaded());
    form->pageData->setCurrentWidget(form->tabMacro);
    ASSERT_TRUE(messages.empty()) << messages.front().toStdString();
  }

  const Lines& MacroLines() const { return form->state.macroLines; }

  int RowOf(const QString& key) const {
    for (int r = 0; r < form->grdMacro->rowCount(); ++r)
      if (form->grdMacro->Cells(0, r).trimmed() == key)
        return r;
    return -1;
  }
  QStringList Column(int column) const {
    QStringList cells;
    for (int r = 0; r < form->grdMacro->rowCount(); ++r)
      cells << form->grdMacro->Cells(column, r).trimmed();
    return cells;
  }

  // A click on a grid row, as the user selects a macro.
  void ClickRow(int row) {
    ASSERT_GE(row, 0);
    const QRect cell = form->grdMacro->visualRect(form->grdMacro->model()->index(row, 0));
    QTest::mouseClick(form->grdMacro->viewport(), Qt::LeftButton, {}, cell.center());
  }
  void Focus(QWidget* control) { control->setFocus(Qt::TabFocusReason); }
  // Leaving the panel for the grid.
  void Leave() { Focus(form->grdMacro); }
  // A pick in a drop-down list, as the user makes it.
  void Pick(TKVXComboBox* box, const QString& text) {
    const int index = box->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
  }
  void PickKey(const QString& key) { Pick(form->cboxKey, key); }
  void Modifiers(bool alt, bool ctrl, bool shift) {
    form->chkAlt->setChecked(alt);
    form->chkCtrl->setChecked(ctrl);
    form->chkShift->setChecked(shift);
  }
  void Add() {
    form->btnAdd->click();
    ASSERT_TRUE(form->macroCheckedOut);
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

  test::TempDir home;
  test::TempDir game;
  std::vector<QString> messages;
  std::unique_ptr<TfrmMain> form;
};

const Lines kThreeMacros = {"F1 0 0 0", "Say Hail", "########", "H 1 0 0", "UseSkill Hiding",
                            "########", "B 0 0 1",  "Bow",      "########"};

// --- The leave step's three checks ---

TEST_F(MacroPage, ASingleCharacterKeyNeedsAModifierANamedKeyDoesNot) {
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
    Pick(form->cboxMacro[0], "Bow");
    Leave();
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(form->macroCheckedOut);
    EXPECT_EQ(BlockOf(c.keyLine), (Lines{c.keyLine, "Bow ", "########"}));
  }

  Add();
  PickKey("Q");
  Leave();
  ASSERT_EQ(messages, std::vector<QString>{"Must select Alt, Ctrl, or Shift!"});
  EXPECT_TRUE(FocusIsOn(form->chkAlt));
  EXPECT_TRUE(form->macroCheckedOut);
  EXPECT_TRUE(BlockOf("Q 0 0 0").empty());
}

TEST_F(MacroPage, NoKeyIsRefusedWithoutAModifierAndStoredWithOne) {
  Open(kThreeMacros);
  const Lines before = MacroLines();
  Add();
  Leave();
  ASSERT_EQ(messages, std::vector<QString>{"Must select Alt, Ctrl, or Shift!"});
  EXPECT_TRUE(FocusIsOn(form->chkAlt));
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

TEST_F(MacroPage, AKeyAndModifiersThatAnotherMacroHasAreRefused) {
  Open(kThreeMacros);
  Add();
  PickKey("H");
  Modifiers(false, true, false);
  Pick(form->cboxMacro[0], "Bow");
  Leave();
  ASSERT_EQ(messages, std::vector<QString>{"Duplicate Macros!"});
  EXPECT_TRUE(FocusIsOn(form->cboxKey));
  EXPECT_TRUE(form->macroCheckedOut);
  EXPECT_EQ(MacroLines(), kThreeMacros);

  messages.clear();
  form->chkShift->setChecked(true);
  Leave();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(BlockOf("H 1 0 1"), (Lines{"H 1 0 1", "Bow ", "########"}));
}

TEST_F(MacroPage, AShownParameterMustHaveAValue) {
  Open(kThreeMacros);
  Add();
  PickKey("F2");
  Pick(form->cboxMacro[0], "Say");
  EXPECT_FALSE(form->cboxMacro[1]->isHidden());
  EXPECT_FALSE(form->edParm[0]->isHidden());
  EXPECT_TRUE(form->cboxParm[0]->isHidden());
  form->edParm[0]->setText("   ");
  Leave();
  ASSERT_EQ(messages, std::vector<QString>{"Must enter a value in the parameter"});
  EXPECT_TRUE(FocusIsOn(form->edParm[0]));

  // A list parameter without a selection: the edit's text names no direction.
  messages.clear();
  Pick(form->cboxMacro[0], "Walk");
  EXPECT_TRUE(form->edParm[0]->isHidden());
  EXPECT_EQ(form->cboxParm[0]->currentIndex(), -1);
  Leave();
  ASSERT_EQ(messages, std::vector<QString>{"Must enter a value in the parameter"});
  EXPECT_TRUE(FocusIsOn(form->cboxParm[0]));

  // The first row without a value is the one reported.
  messages.clear();
  Pick(form->cboxMacro[0], "Bow");
  Pick(form->cboxMacro[1], "Yell");
  Pick(form->cboxMacro[2], "CastSpell");
  Leave();
  ASSERT_EQ(messages, std::vector<QString>{"Must enter a value in the parameter"});
  EXPECT_TRUE(FocusIsOn(form->edParm[1]));

  messages.clear();
  form->edParm[1]->setText(" Guards! ");
  Pick(form->cboxParm[2], "Cure");
  Leave();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(BlockOf("F2 0 0 0"),
            (Lines{"F2 0 0 0", "Bow ", "Yell  Guards! ", "CastSpell Cure", "########"}));
}

TEST_F(MacroPage, AListActionSelectsTheEntryNamedByTheRowsTextInAnyCase) {
  Open(kThreeMacros);
  Add();
  PickKey("Num 7");
  Modifiers(false, true, true);
  Pick(form->cboxMacro[0], "Say");
  form->edParm[0]->setText("nw (TOP)");
  Pick(form->cboxMacro[0], "Walk");
  EXPECT_EQ(form->cboxParm[0]->currentText(), "NW (top)");
  Leave();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(BlockOf("Num 7 1 0 1"), (Lines{"Num 7 1 0 1", "Walk NW (top)", "########"}));
}

// --- Checking out and storing ---

TEST_F(MacroPage, ReEnteringAndLeavingUnchangedMovesTheBlockToTheEnd) {
  Open(kThreeMacros);
  ClickRow(RowOf("F1"));
  EXPECT_EQ(form->cboxKey->currentText(), "F1");
  EXPECT_EQ(form->cboxMacro[0]->currentText(), "Say");
  EXPECT_EQ(form->edParm[0]->Text(), "Hail");

  Focus(form->edParm[0]);
  EXPECT_TRUE(form->macroCheckedOut);
  EXPECT_TRUE(BlockOf("F1 0 0 0").empty());
  EXPECT_EQ(form->grdMacro->rowCount(), 3); // the grid still lists it

  Leave();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(MacroLines(), (Lines{"H 1 0 0", "UseSkill Hiding", "########", "B 0 0 1", "Bow",
                                 "########", "F1 0 0 0", "Say Hail", "########"}));
  EXPECT_EQ(form->grdMacro->rowCount(), 3);
  EXPECT_EQ(form->grdMacro->Cells(0, form->grdMacro->currentRow()).trimmed(), "F1");
}

TEST_F(MacroPage, AClickOnTheGridWhileTheLeaveStepRefusesKeepsThePanel) {
  Open(kThreeMacros);
  ClickRow(RowOf("H"));
  Focus(form->cboxMacro[0]);
  form->chkCtrl->setChecked(false); // "H" alone is refused
  const int selected = form->grdMacro->currentRow();

  ClickRow(RowOf("F1"));
  ASSERT_EQ(messages, std::vector<QString>{"Must select Alt, Ctrl, or Shift!"});
  EXPECT_TRUE(form->macroCheckedOut);
  EXPECT_EQ(form->grdMacro->currentRow(), selected);
  EXPECT_EQ(form->cboxKey->currentText(), "H");
  EXPECT_EQ(form->cboxParm[0]->currentText(), "Hiding");

  messages.clear();
  form->chkCtrl->setChecked(true);
  Leave();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(BlockOf("H 1 0 0"), (Lines{"H 1 0 0", "UseSkill Hiding", "########"}));
}

TEST_F(MacroPage, AWindowClickOutsideThePanelRunsTheLeaveStepFirst) {
  Open(kThreeMacros);
  const auto clickAt = [this](QWidget* control, QPoint at) {
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, control->mapTo(form.get(), at));
  };
  Add();
  PickKey("Q");
  const int rows = form->grdMacro->rowCount();
  clickAt(form->btnDelete, form->btnDelete->rect().center());
  ASSERT_EQ(messages, std::vector<QString>{"Must select Alt, Ctrl, or Shift!"});
  EXPECT_FALSE(form->btnDelete->isDown());
  EXPECT_EQ(form->grdMacro->rowCount(), rows);
  EXPECT_TRUE(FocusIsOn(form->chkAlt));

  messages.clear();
  form->chkShift->setChecked(true);
  const int row = RowOf("F1");
  const QRect cell = form->grdMacro->visualRect(form->grdMacro->model()->index(row, 0));
  clickAt(form->grdMacro->viewport(), cell.center());
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(form->macroCheckedOut);
  EXPECT_EQ(BlockOf("Q 0 0 1"), (Lines{"Q 0 0 1", "########"}));
  EXPECT_EQ(form->cboxKey->currentText(), "F1");
}

TEST_F(MacroPage, UnknownActionsKeyNamesAndActionsAfterTheTenthComeBackUnchanged) {
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
  EXPECT_EQ(form->cboxMacro[0]->currentText(), "Dance");
  EXPECT_FALSE(form->edParm[0]->isHidden());
  EXPECT_EQ(form->edParm[0]->Text(), "Slowly please");
  EXPECT_EQ(form->cboxMacro[1]->currentText(), "Say");
  Focus(form->cboxMacro[0]);
  Leave();
  ASSERT_TRUE(messages.empty()) << messages.front().toStdString();
  EXPECT_EQ(BlockOf("A 1 0 0"), (Lines{"A 1 0 0", "Dance Slowly please", "Say hi", "########"}));

  ClickRow(RowOf("Foo"));
  EXPECT_EQ(form->cboxKey->currentText(), "Foo");
  Focus(form->cboxMacro[0]);
  Leave();
  ASSERT_TRUE(messages.empty()) << messages.front().toStdString();
  EXPECT_EQ(BlockOf("Foo 0 1 0"),
            (Lines{"Foo 0 1 0", "Say from a key of another layout", "########"}));

  ClickRow(RowOf("B"));
  EXPECT_EQ(form->edParm[9]->Text(), "ten");
  Focus(form->edParm[9]);
  Leave();
  ASSERT_TRUE(messages.empty()) << messages.front().toStdString();
  Lines expected = {"B 1 0 0"};
  for (const auto& number : numbers)
    expected.push_back("Say " + number);
  expected.push_back("########");
  EXPECT_EQ(BlockOf("B 1 0 0"), expected);

  // A known action chosen instead of the unknown one drops it; the panel's lists are reset with
  // the next macro shown.
  ClickRow(RowOf("A"));
  Focus(form->cboxMacro[0]);
  Pick(form->cboxMacro[0], "Bow");
  Leave();
  EXPECT_EQ(BlockOf("A 1 0 0"), (Lines{"A 1 0 0", "Bow ", "Say hi", "########"}));
  ClickRow(RowOf("Foo"));
  EXPECT_EQ(form->cboxMacro[0]->count(), 22);
  EXPECT_EQ(form->cboxKey->count(), 87);
  ClickRow(RowOf("B"));
  EXPECT_EQ(form->cboxKey->count(), 86);
}

// A key or action name of any length costs no more to show than a short one: the grid and the
// panel's lists show it cut, while checking the macro out and storing it keeps it whole.
TEST_F(MacroPage, AHugeKeyOrActionNameIsShownCutAndStoredWhole) {
  const std::string key = "K" + std::string(std::size_t{1} << 20, '\xE9') + "Z";
  const std::string action = "Act" + std::string(std::size_t{1} << 20, 'x');
  const Lines file = {key + " 1 0 0", action + " now", "########",
                      "F1 0 0 0",     "Say Hail",      "########"};
  Open(file);
  const int row = RowOf("F1") == 0 ? 1 : 0;
  const QString shownKey = ui::FromGameText(key).left(255);
  EXPECT_EQ(form->grdMacro->Cells(0, row), shownKey);
  EXPECT_EQ(form->grdMacro->Cells(4, row), QString::fromStdString(action.substr(0, 255)));

  ClickRow(row);
  EXPECT_EQ(form->cboxKey->currentText(), shownKey);
  EXPECT_EQ(form->cboxMacro[0]->currentText(), QString::fromStdString(action.substr(0, 255)));
  Focus(form->edParm[0]);
  Leave();
  ASSERT_TRUE(messages.empty()) << messages.front().toStdString();
  EXPECT_EQ(BlockOf(key + " 1 0 0"), (Lines{key + " 1 0 0", action + " now", "########"}));
  EXPECT_EQ(form->grdMacro->Cells(0, form->grdMacro->currentRow()), shownKey);
}

// --- The header buttons ---

TEST_F(MacroPage, HeaderButtonsSortByTheirColumnAndCarryTheGlyph) {
  Open({"Z 0 0 1", "Bow", "########", "C 1 0 0", "Say b", "########", "A 1 0 0", "Say a",
        "########", "M 0 1 0", "Bow", "########", "F3 0 0 0", "Say a", "########"});
  EXPECT_EQ(Column(0), (QStringList{"A", "C", "F3", "M", "Z"}));
  EXPECT_FALSE(form->btnS0->icon().isNull());

  QTest::mouseClick(form->btnS1, Qt::LeftButton);
  EXPECT_EQ(form->sortCol, 1);
  EXPECT_EQ(form->sortBtn, form->btnS1);
  EXPECT_TRUE(form->btnS0->icon().isNull());
  EXPECT_FALSE(form->btnS1->icon().isNull());
  // "No" before "Yes", then by Macro, Parameters and Key.
  EXPECT_EQ(Column(0), (QStringList{"Z", "A", "F3", "C", "M"}));
  EXPECT_EQ(Column(1), (QStringList{"No", "No", "No", "No", "Yes"}));
  EXPECT_TRUE(FocusIsOn(form->grdMacro));

  QTest::mouseClick(form->btnS1, Qt::LeftButton);
  EXPECT_EQ(Column(0), (QStringList{"Z", "A", "F3", "C", "M"}));

  QTest::mouseClick(form->btnS0, Qt::LeftButton);
  EXPECT_EQ(Column(0), (QStringList{"A", "C", "F3", "M", "Z"}));
  EXPECT_TRUE(form->btnS1->icon().isNull());
  // The file's order is never touched by sorting.
  EXPECT_EQ(MacroLines()[0], "Z 0 0 1");
  EXPECT_TRUE(messages.empty());
}

// --- Add, Delete and actions that read macroLines ---

TEST_F(MacroPage, DeleteRemovesTheSelectedMacroWithoutAQuestion) {
  Open(kThreeMacros);
  ClickRow(RowOf("H"));
  form->btnDelete->click();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(MacroLines(),
            (Lines{"F1 0 0 0", "Say Hail", "########", "B 0 0 1", "Bow", "########"}));
  EXPECT_EQ(form->grdMacro->rowCount(), 2);
  EXPECT_EQ(RowOf("H"), -1);
  // The panel shows the macro now selected.
  const QString selected = form->grdMacro->Cells(0, form->grdMacro->currentRow()).trimmed();
  EXPECT_EQ(form->cboxKey->currentText(), selected);
}

TEST_F(MacroPage, AddBesideABlockWithABlankKeyLineKeepsEveryMacro) {
  const Lines file = {"F1 0 0 0",        "Say Hail",       "########", "",
                      "F2 0 0 0",        "Say Vendor buy", "########", "H 1 0 0",
                      "UseSkill Hiding", "########"};
  Open(file);
  Add();
  Modifiers(true, false, false);
  ClickRow(RowOf("H"));
  EXPECT_FALSE(form->macroCheckedOut);
  form->btnSave->click();
  ASSERT_EQ(messages,
            std::vector<QString>{"Ultima Online has been configured successfully off-line."});
  Lines expected = file;
  expected.insert(expected.end(), {" 0 1 0", "########"});
  EXPECT_EQ(test::ReadBytes(game.path() / "MACROS.TXT"), Crlf(expected));
}

TEST_F(MacroPage, EnterInThePanelSavesTheMacroBeingEdited) {
  Open(kThreeMacros);
  // Qt takes the default role from a push button outside a dialog when it loses the focus, as
  // Save does when the page switch passes the focus over it.
  form->btnSave->setKVXDefault(true);
  ClickRow(RowOf("F1"));
  Focus(form->edParm[0]);
  form->edParm[0]->setText("Hail and well met");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

  ASSERT_EQ(messages,
            std::vector<QString>{"Ultima Online has been configured successfully off-line."});
  EXPECT_FALSE(form->macroCheckedOut);
  const std::string saved = test::ReadBytes(game.path() / "MACROS.TXT");
  EXPECT_NE(saved.find("F1 0 0 0\r\nSay Hail and well met\r\n########\r\n"), std::string::npos);
  EXPECT_EQ(saved, test::ReadBytes(game.path() / "QRVDAT" / "MACROS.001"));

  // Editing on after the save checks the macro out anew and stores it without a duplicate.
  messages.clear();
  Focus(form->edParm[0]);
  form->edParm[0]->setText("Hail");
  Leave();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(BlockOf("F1 0 0 0"), (Lines{"F1 0 0 0", "Say Hail", "########"}));
}

TEST_F(MacroPage, SaveDoesNotRunWhileTheMacroBeingEditedIsRefused) {
  Open(kThreeMacros);
  const std::string before = test::ReadBytes(game.path() / "MACROS.TXT");
  Add();
  PickKey("Q");
  form->btnSave->click();
  ASSERT_EQ(messages, std::vector<QString>{"Must select Alt, Ctrl, or Shift!"});
  EXPECT_TRUE(form->macroCheckedOut);
  EXPECT_TRUE(FocusIsOn(form->chkAlt));
  EXPECT_EQ(test::ReadBytes(game.path() / "MACROS.TXT"), before);

  // Add and Delete wait for it as well.
  messages.clear();
  const int rows = form->grdMacro->rowCount();
  form->btnAdd->click();
  form->btnDelete->click();
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_EQ(form->grdMacro->rowCount(), rows);
  EXPECT_EQ(form->cboxKey->currentText(), "Q");
}

TEST_F(MacroPage, LeavingThePageWithARefusedMacroBringsThePageBack) {
  Open(kThreeMacros);
  Add();
  PickKey("Q");
  form->pageData->setCurrentWidget(form->tabServer);
  ASSERT_EQ(messages, std::vector<QString>{"Must select Alt, Ctrl, or Shift!"});
  EXPECT_TRUE(
      QTest::qWaitFor([this] { return form->pageData->currentWidget() == form->tabMacro; }));
  EXPECT_TRUE(FocusIsOn(form->chkAlt));
  EXPECT_TRUE(form->macroCheckedOut);
}

} // namespace
} // namespace qv
