#include "controls/KVXStCtl.h"

#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace qv;

namespace {

// A shown panel with 75 x 25 buttons; buttons get tab orders in creation order.
struct ButtonRow {
  std::unique_ptr<TKVXPanel> panel = std::make_unique<TKVXPanel>();
  std::vector<TKVXButton*> buttons;

  ButtonRow(int width, int count, int top = 0) {
    panel->resize(width, 32);
    for (int i = 0; i < count; ++i) {
      auto* button = new TKVXButton(QStringLiteral("B%1").arg(i), panel.get());
      button->setGeometry(0, top, 75, 25);
      buttons.push_back(button);
    }
  }
  void Show(bool arrange = true) {
    panel->setButtonPanel(arrange);
    panel->show();
  }
  int Left(int i) const { return buttons[i]->x(); }
};

} // namespace

TEST(KVXPanel, RightAlignedRowPacksTheVisibleButtonsInTabOrder) {
  ButtonRow row(521, 7);
  for (int i = 0; i < 5; ++i)
    row.buttons[i]->hide();
  row.Show();
  EXPECT_EQ(row.buttons[5]->TabOrder(), 5);
  EXPECT_EQ(row.Left(5), 367);
  EXPECT_EQ(row.Left(6), 442);

  // Showing buttons re-packs the row at once.
  row.buttons[0]->show();
  row.buttons[1]->show();
  EXPECT_EQ(row.Left(0), 217);
  EXPECT_EQ(row.Left(1), 292);
  EXPECT_EQ(row.Left(5), 367);
  EXPECT_EQ(row.Left(6), 442);

  // And hiding or deleting one closes the gap.
  row.buttons[1]->hide();
  EXPECT_EQ(row.Left(0), 292);
  EXPECT_EQ(row.Left(5), 367);
  delete row.buttons[6];
  EXPECT_EQ(row.Left(0), 367);
  EXPECT_EQ(row.Left(5), 442);
}

TEST(KVXPanel, RowTakesTheTopOfTheLowestTabOrder) {
  ButtonRow row(280, 2, 4);
  row.buttons[1]->move(0, 9);
  row.Show();
  EXPECT_EQ(row.Left(0), 126);
  EXPECT_EQ(row.Left(1), 201);
  EXPECT_EQ(row.buttons[0]->y(), 4);
  EXPECT_EQ(row.buttons[1]->y(), 4);
}

TEST(KVXPanel, LeftAlignedWithBorderAndSpace) {
  ButtonRow row(400, 3);
  row.panel->setBorderWidth(5);
  row.panel->setButtonAlign(taLeftJustify);
  row.panel->setButtonSpace(6);
  row.Show();
  EXPECT_EQ(row.Left(0), 9);
  EXPECT_EQ(row.Left(1), 90);
  EXPECT_EQ(row.Left(2), 171);
}

TEST(KVXPanel, CentredRowWiderThanThePanelDropsTheFractionTowardZero) {
  ButtonRow row(101, 2);
  row.panel->setButtonAlign(taCenter);
  row.Show();
  // (101 - 150) / 2 = -24.5 -> -24.
  EXPECT_EQ(row.Left(0), -24);
  EXPECT_EQ(row.Left(1), 51);

  row.panel->resize(300, 32);
  EXPECT_EQ(row.Left(0), 75);
}

TEST(KVXPanel, ButtonPanelFalseLeavesButtonsWhereTheFormPutThem) {
  ButtonRow row(521, 3);
  row.buttons[0]->move(10, 3);
  row.buttons[1]->move(100, 5);
  row.buttons[2]->move(200, 7);
  row.Show(false);
  row.panel->resize(600, 32);
  row.buttons[1]->hide();
  EXPECT_EQ(row.buttons[0]->pos(), QPoint(10, 3));
  EXPECT_EQ(row.buttons[2]->pos(), QPoint(200, 7));

  // Switching it on arranges at once.
  row.panel->setButtonPanel(true);
  EXPECT_EQ(row.Left(0), 600 - 4 - 150);
  EXPECT_EQ(row.Left(2), 600 - 4 - 75);
}

TEST(KVXPanel, TabOrderDecidesOverListOrderAndPositions) {
  ButtonRow row(521, 3);
  row.buttons[0]->move(400, 0);
  row.buttons[2]->move(10, 0);
  row.buttons[0]->setKVXTabOrder(2);
  row.buttons[1]->setKVXTabOrder(0);
  row.buttons[2]->setKVXTabOrder(1);
  row.Show();
  EXPECT_EQ(row.Left(1), 292);
  EXPECT_EQ(row.Left(2), 367);
  EXPECT_EQ(row.Left(0), 442);

  // The focus chain follows the numbers too.
  EXPECT_EQ(row.buttons[1]->nextInFocusChain(), row.buttons[2]);
  EXPECT_EQ(row.buttons[2]->nextInFocusChain(), row.buttons[0]);

  // Other children are not moved.
  auto* label = new TKVXLabel(QStringLiteral("x"), row.panel.get());
  label->move(3, 3);
  label->show();
  row.panel->resize(500, 32);
  EXPECT_EQ(label->pos(), QPoint(3, 3));
  EXPECT_EQ(row.Left(0), 500 - 4 - 75);
}

TEST(KVXPanel, BorderWidthAndBevelsBecomeContentsMargins) {
  TKVXPanel panel;
  EXPECT_EQ(panel.contentsMargins().left(), 1); // raised outer bevel
  panel.setBorderWidth(5);
  panel.setBevelInner(bvRaised);
  EXPECT_EQ(panel.contentsMargins().left(), 7);
  EXPECT_TRUE(panel.Caption().isEmpty());
}

// Default (Enter) and cancel (Esc) buttons in a main window.
class KVXButtonKeys : public ::testing::Test {
protected:
  void SetUp() override {
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    edit = new TKVXEdit;
    memo = new TKVXMemo;
    combo = new TKVXComboBox;
    combo->setBoxType(btYesNo);
    panel = new TKVXPanel;
    panel->setMinimumHeight(32);
    layout->addWidget(edit);
    layout->addWidget(memo);
    layout->addWidget(combo);
    layout->addWidget(panel);
    save = new TKVXButton(QStringLiteral("&Save"), panel);
    save->setKVXDefault(true);
    exit = new TKVXButton(QStringLiteral("E&xit"), panel);
    exit->setCancel(true);
    panel->setButtonPanel(true);
    window.setCentralWidget(central);
    window.show();
    savedClicks = std::make_unique<QSignalSpy>(save, &QPushButton::clicked);
    exitClicks = std::make_unique<QSignalSpy>(exit, &QPushButton::clicked);
  }

  QMainWindow window;
  TKVXEdit* edit = nullptr;
  TKVXMemo* memo = nullptr;
  TKVXComboBox* combo = nullptr;
  TKVXPanel* panel = nullptr;
  TKVXButton* save = nullptr;
  TKVXButton* exit = nullptr;
  std::unique_ptr<QSignalSpy> savedClicks;
  std::unique_ptr<QSignalSpy> exitClicks;
};

TEST_F(KVXButtonKeys, EnterAndEscReachTheirButtonsFromAnEditOrCombo) {
  QTest::keyClick(edit->Edit(), Qt::Key_Return);
  EXPECT_EQ(savedClicks->count(), 1);
  QTest::keyClick(edit->Edit(), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(savedClicks->count(), 2);
  QTest::keyClick(edit->Edit(), Qt::Key_Escape);
  EXPECT_EQ(exitClicks->count(), 1);
  QTest::keyClick(combo, Qt::Key_Return);
  EXPECT_EQ(savedClicks->count(), 3);
  QTest::keyClick(combo, Qt::Key_Escape);
  EXPECT_EQ(exitClicks->count(), 2);
}

TEST_F(KVXButtonKeys, ControlsThatUseTheKeyKeepIt) {
  // An editable memo takes Enter as a new line; Esc still cancels.
  QTest::keyClick(memo, Qt::Key_Return);
  EXPECT_EQ(savedClicks->count(), 0);
  EXPECT_EQ(memo->blockCount(), 2);
  QTest::keyClick(memo, Qt::Key_Escape);
  EXPECT_EQ(exitClicks->count(), 1);

  // A focused button takes Enter for itself.
  QTest::keyClick(exit, Qt::Key_Return);
  EXPECT_EQ(exitClicks->count(), 2);
  EXPECT_EQ(savedClicks->count(), 0);

  // With modifiers Enter is not the default button's.
  QTest::keyClick(edit->Edit(), Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(savedClicks->count(), 0);
}

TEST_F(KVXButtonKeys, DefaultRoleSurvivesTheFocusPassingOverButtons) {
  // Outside a dialog Qt drops the default role on focus-out; a page change that moves the focus
  // across the buttons must not leave Enter dead, nor hand Enter to another button.
  save->setFocus();
  exit->setFocus();
  edit->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(save->Default());
  // Qt's own mark agrees, so code that sees the button as a QPushButton gets the same answer.
  EXPECT_TRUE(static_cast<QPushButton*>(save)->isDefault());
  QTest::keyClick(edit->Edit(), Qt::Key_Return);
  EXPECT_EQ(savedClicks->count(), 1);
  EXPECT_EQ(exitClicks->count(), 0);
}

TEST_F(KVXButtonKeys, HiddenOrDisabledButtonsDoNotReact) {
  save->setEnabled(false);
  exit->hide();
  QTest::keyClick(edit->Edit(), Qt::Key_Return);
  QTest::keyClick(edit->Edit(), Qt::Key_Escape);
  EXPECT_EQ(savedClicks->count(), 0);
  EXPECT_EQ(exitClicks->count(), 0);
}

TEST(KVXButton, TakesTheNextTabOrderAndKeepsWatchingAfterReparenting) {
  TKVXPanel panel;
  auto* a = new TKVXButton(&panel);
  auto* b = new TKVXButton(&panel);
  EXPECT_EQ(a->TabOrder(), 0);
  EXPECT_EQ(b->TabOrder(), 1);
  auto* c = new TKVXButton;
  c->setParent(&panel);
  EXPECT_EQ(c->TabOrder(), 2);

  // A button moved into a shown window reacts to its keys there.
  QMainWindow window;
  auto* field = new TKVXEdit;
  window.setCentralWidget(field);
  window.show();
  c->setParent(&window);
  c->setCancel(true);
  c->show();
  QSignalSpy clicks(c, &QPushButton::clicked);
  QTest::keyClick(field->Edit(), Qt::Key_Escape);
  EXPECT_EQ(clicks.count(), 1);
}
