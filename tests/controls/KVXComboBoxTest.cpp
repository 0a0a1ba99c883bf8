#include "controls/KVXStCtl.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace qv;

TEST(KVXComboBoxValue, SelectsByCodeAndFallsBackOnce) {
  TKVXComboBox box;
  box.setBoxType(btYesNo);
  box.setValue(QStringLiteral("Y"));
  EXPECT_EQ(box.currentText(), "Y - Yes");
  EXPECT_EQ(box.Value(), "Y");
  box.setValue(QStringLiteral(" N "));
  EXPECT_EQ(box.currentText(), "N - No");

  box.setValueDefault(QStringLiteral("N"));
  for (const char* v : {"y", "Yes", "X"}) {
    box.setValue(QStringLiteral("Y"));
    box.setValue(QString::fromLatin1(v));
    EXPECT_EQ(box.currentText(), "N - No") << v;
  }

  // A default that matches nothing either: no selection, no loop.
  box.setValueDefault(QStringLiteral("Q"));
  box.setValue(QStringLiteral("Yes"));
  EXPECT_EQ(box.currentIndex(), -1);
  EXPECT_EQ(box.Value(), "");
  box.setValueDefault(QString());
  box.setValue(QStringLiteral("10"));
  EXPECT_EQ(box.currentIndex(), -1);
}

TEST(KVXComboBoxValue, FormItemsEmptyItemsAndBlankCodes) {
  TKVXComboBox page;
  page.addItems({"Y - Yes", "N - No", "G - GDI"});
  page.setValue(QStringLiteral("G"));
  EXPECT_EQ(page.currentIndex(), 2);
  EXPECT_EQ(page.BoxType(), btNormal);

  // The empty text selects an empty item if there is one...
  TKVXComboBox withEmpty;
  withEmpty.addItems({"A - One", "", "B - Two"});
  withEmpty.setValueDefault(QStringLiteral("B"));
  withEmpty.setValue(QString());
  EXPECT_EQ(withEmpty.currentIndex(), 1);
  EXPECT_EQ(withEmpty.Value(), "");
  // ...else falls back to ValueDefault.
  page.setValueDefault(QStringLiteral("N"));
  page.setValue(QString());
  EXPECT_EQ(page.Value(), "N");

  // "  - N/A" cannot be reached through Value: trimming turns its blank code into "".
  TKVXComboBox accident;
  accident.setBoxType(btAccident);
  for (const char* v : {" ", "", "  - N/A"}) {
    accident.setValue(QString::fromLatin1(v));
    EXPECT_EQ(accident.currentIndex(), -1) << v;
  }
  accident.setCurrentIndex(2);
  EXPECT_EQ(accident.Value(), " ");
}

TEST(KVXComboBoxValue, SettingValueFiresNoChangeAndKeepsSavedValue) {
  TKVXComboBox box;
  box.setBoxType(btYesNo);
  QSignalSpy changed(&box, &TKVXComboBox::changed);
  box.setValue(QStringLiteral("N"));
  EXPECT_EQ(changed.count(), 0);
  EXPECT_EQ(box.SavedValue(), "");
}

TEST(KVXComboBoxValue, OtherTypeIsInert) {
  TKVXComboBox box;
  box.addItems({"Y - Yes", "N - No"});
  box.setCurrentIndex(1);
  box.setBoxType(btOther);
  EXPECT_EQ(box.count(), 2);
  EXPECT_EQ(box.Value(), "");
  box.setValue(QStringLiteral("Y"));
  EXPECT_EQ(box.currentIndex(), 1);
}

TEST(KVXComboBoxType, TypedListsReplaceItemsAndMakeThePickOnlyStyle) {
  TKVXComboBox box;
  box.setEditable(true);
  box.addItems({"one", "two", "three"});
  box.setCurrentIndex(1);
  box.setValueDefault(QStringLiteral("N"));
  box.setBoxType(btYesNo);
  EXPECT_EQ(box.count(), 2);
  EXPECT_EQ(box.itemText(0), "Y - Yes");
  EXPECT_EQ(box.itemText(1), "N - No");
  EXPECT_EQ(box.currentIndex(), -1);
  EXPECT_FALSE(box.isEditable());
  EXPECT_EQ(box.ValueDefault(), "N");

  box.setBoxType(btNormal);
  EXPECT_EQ(box.count(), 2);
  EXPECT_EQ(box.BoxType(), btNormal);

  const struct {
    TBoxTypes type;
    int count;
    const char* last;
  } lists[] = {{btAccident, 3, "  - N/A"},    {btAccountType, 6, "9 - Collection"},
               {btCondition, 3, "P - EPSDT"}, {btMS, 4, "W - Widowed"},
               {btReason, 5, "U - Urgent"},   {btRel, 4, "O - Other"},
               {btSex, 2, "M - Male"},        {btSexBoth, 3, "M - Male"},
               {btYesNo, 2, "N - No"}};
  for (const auto& list : lists) {
    box.setBoxType(list.type);
    EXPECT_EQ(box.count(), list.count) << int(list.type);
    EXPECT_EQ(box.itemText(box.count() - 1), list.last) << int(list.type);
  }
  EXPECT_EQ(TKVXComboBox::ItemsOf(btRel),
            QStringList({"C - Child", "S - Self", "M - Married", "O - Other"}));
}

TEST(KVXComboBoxEnabled, UserPickUpdatesSavedValueAndFiresChanged) {
  TKVXComboBox box;
  box.setBoxType(btYesNo);
  box.show();
  QSignalSpy changed(&box, &TKVXComboBox::changed);
  box.setValue(QStringLiteral("Y"));
  QTest::keyClick(&box, Qt::Key_Down);
  EXPECT_EQ(box.Value(), "N");
  EXPECT_EQ(box.SavedValue(), "N");
  EXPECT_EQ(changed.count(), 1);
}

TEST(KVXComboBoxEnabled, PickOnANotEnabledBoxIsUndone) {
  TKVXComboBox box;
  box.setBoxType(btYesNo);
  box.setValueDefault(QStringLiteral("N"));
  box.show();
  QSignalSpy changed(&box, &TKVXComboBox::changed);
  QSignalSpy dblClicked(&box, &TKVXComboBox::doubleClicked);

  box.setKVXEnabled(false);
  EXPECT_TRUE(box.isEnabled()); // the window stays usable
  EXPECT_EQ(box.focusPolicy(), Qt::ClickFocus);
  EXPECT_EQ(box.palette().color(QPalette::Base), QApplication::palette().color(QPalette::Button));

  // Set by the program to "Y", never changed by the user: a pick snaps back to SavedValue
  // (empty), that is to ValueDefault.
  box.setValue(QStringLiteral("Y"));
  QTest::keyClick(&box, Qt::Key_Down);
  EXPECT_EQ(box.Value(), "N");
  EXPECT_EQ(changed.count(), 0);

  // With a saved pick the box returns to it.
  box.setKVXEnabled(true);
  box.setValue(QStringLiteral("N"));
  QTest::keyClick(&box, Qt::Key_Up);
  EXPECT_EQ(box.SavedValue(), "Y");
  EXPECT_EQ(changed.count(), 1);
  box.setKVXEnabled(false);
  QTest::keyClick(&box, Qt::Key_Down);
  EXPECT_EQ(box.Value(), "Y");
  EXPECT_EQ(changed.count(), 1);

  box.setScrollable(true);
  QTest::mouseDClick(&box, Qt::LeftButton);
  QTest::keyClick(&box, Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(dblClicked.count(), 0);
}

TEST(KVXComboBoxFind, CtrlFActsAsADoubleClickOnlyWhenScrollable) {
  TKVXComboBox box;
  box.setBoxType(btYesNo);
  box.show();
  QSignalSpy dblClicked(&box, &TKVXComboBox::doubleClicked);
  QTest::keyClick(&box, Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(dblClicked.count(), 0);
  box.setScrollable(true);
  QTest::keyClick(&box, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
  QTest::keyClick(&box, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(dblClicked.count(), 0);
  QTest::keyClick(&box, Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(dblClicked.count(), 1);
  EXPECT_EQ(box.cursor().shape(), Qt::PointingHandCursor);
}

TEST(KVXComboBoxHint, SuffixFollowsScrollable) {
  TKVXComboBox box;
  box.setHint(QStringLiteral("Records the contents of your UO sessions"));
  EXPECT_EQ(box.Hint(), "Records the contents of your UO sessions");
  box.setScrollable(true);
  EXPECT_EQ(box.Hint(),
            "Records the contents of your UO sessions |CTRL-F or Double Click for find");
  box.setHint(box.Hint());
  EXPECT_EQ(box.Hint(),
            "Records the contents of your UO sessions |CTRL-F or Double Click for find");
  box.setScrollable(false);
  EXPECT_EQ(box.Hint(), "Records the contents of your UO sessions");
  EXPECT_EQ(box.cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(box.toolTip().isEmpty());
  EXPECT_TRUE(box.statusTip().isEmpty());
}

TEST(KVXComboBoxList, ALongListDropsDownWithMaxVisibleItemsRowsAndScrolls) {
  TKVXComboBox box;
  for (int i = 0; i < 86; ++i)
    box.addItem(QStringLiteral("Key %1").arg(i));
  box.setMaxVisibleItems(16);
  box.show();
  box.setCurrentIndex(40);
  box.showPopup();
  QAbstractItemView* list = box.view();
  ASSERT_TRUE(list->isVisible());
  const int row = list->sizeHintForRow(0);
  EXPECT_LE(list->height(), 17 * row);
  EXPECT_GE(list->height(), 12 * row);
  // Below the box, not over it.
  EXPECT_GE(list->mapToGlobal(QPoint(0, 0)).y(), box.mapToGlobal(QPoint(0, box.height())).y() - 2);
  box.hidePopup();
}
