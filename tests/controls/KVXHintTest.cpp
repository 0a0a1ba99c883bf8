#include "controls/KVXAdCtl.h"
#include "controls/KVXStCtl.h"
#include "controls/KvxWin95.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace qv;

TEST(KVXHintRule, AddsTheFindSuffixOnceAndRemovesItAgain) {
  const QString journal = QStringLiteral("File for saving your journal entries");
  const QString withSuffix = journal + QStringLiteral(" |CTRL-F or Double Click for find");
  EXPECT_EQ(ApplyHintRule(journal, true), withSuffix);
  EXPECT_EQ(ApplyHintRule(withSuffix, true), withSuffix);
  EXPECT_EQ(ApplyHintRule(withSuffix, false), journal);
  EXPECT_EQ(ApplyHintRule(QString(), true), "|CTRL-F or Double Click for find");
  EXPECT_EQ(ApplyHintRule(QStringLiteral("|CTRL-F or Double Click for find"), true),
            "|CTRL-F or Double Click for find");
  EXPECT_EQ(ApplyHintRule(QString(), false), "");
}

TEST(KVXHintRule, StripsTheOldSuffixesAndControlCharacters) {
  EXPECT_EQ(ApplyHintRule(QStringLiteral("Name Press CTRL-S for scroll"), false), "Name");
  EXPECT_EQ(ApplyHintRule(QStringLiteral("Name|CTRL-S or Double Click for search"), true),
            "Name |CTRL-F or Double Click for find");
  EXPECT_EQ(ApplyHintRule(QStringLiteral("\t Name \r\n"), false), "Name");
  // Only the first occurrence of each, and case matters.
  EXPECT_EQ(ApplyHintRule(QStringLiteral("a|ctrl-f or double click for find"), false),
            "a|ctrl-f or double click for find");
  EXPECT_EQ(ApplyHintRule(QStringLiteral("Press CTRL-S for scrollPress CTRL-S for scroll"), false),
            "Press CTRL-S for scroll");
}

TEST(KVXHintRule, ShortAndLongParts) {
  const QString hint =
      QStringLiteral("File for saving your journal entries |CTRL-F or Double Click for find");
  EXPECT_EQ(GetLongHint(hint), "CTRL-F or Double Click for find");
  EXPECT_EQ(GetShortHint(hint), "File for saving your journal entries ");
  EXPECT_EQ(GetShortHint(QStringLiteral("whole")), "whole");
  EXPECT_EQ(GetLongHint(QStringLiteral("whole")), "whole");
  EXPECT_EQ(GetShortHint(QStringLiteral("|long")), "");
}

TEST(KVXHintOfFocus, FormsReadTheFocusedControlsHint) {
  QWidget form;
  auto* field = new TKVXEdit(&form);
  field->setHint(QStringLiteral("Location of CD ROM data"));
  auto* check = new TKVXCheckBox(QStringLiteral("Footsteps"), &form);
  check->setHint(QStringLiteral("Listen to idle character footsteps"));
  auto* plain = new QLineEdit(&form);
  plain->setToolTip(QStringLiteral("not a hint"));

  EXPECT_EQ(ControlHint(field->Edit()), "Location of CD ROM data");
  EXPECT_EQ(ControlHint(field), "Location of CD ROM data");
  EXPECT_EQ(ControlHint(check), "Listen to idle character footsteps");
  EXPECT_EQ(ControlHint(plain), "");
  EXPECT_EQ(ControlHint(nullptr), "");
  EXPECT_TRUE(field->Edit()->toolTip().isEmpty());
  EXPECT_TRUE(field->Edit()->statusTip().isEmpty());

  // Every library control with a help line carries it the same way.
  TKVXButton button;
  TKVXMemo memo;
  TKVXListBox list;
  TKVXTrackBar track;
  TKVXGrid grid;
  TKVXPageControl pages;
  button.setHint(QStringLiteral("b"));
  memo.setHint(QStringLiteral("m"));
  list.setHint(QStringLiteral("l"));
  track.setHint(QStringLiteral("t"));
  grid.setHint(QStringLiteral("g"));
  pages.setHint(QStringLiteral("p"));
  EXPECT_EQ(ControlHint(&button) + ControlHint(&memo) + ControlHint(&list) + ControlHint(&track) +
                ControlHint(&grid) + ControlHint(&pages),
            "bmltgp");
  EXPECT_EQ(memo.property("Hint").toString(), "m");

  // An editable combo box's inner line edit reads as the box.
  auto* combo = new TKVXComboBox(&form);
  combo->setEditable(true);
  combo->setHint(QStringLiteral("c"));
  form.show();
  QApplication::setActiveWindow(&form);
  combo->setFocus();
  EXPECT_EQ(ControlHint(QApplication::focusWidget()), "c");
  EXPECT_EQ(ControlHint(combo->lineEdit()), "c");
}

TEST(KVXHintOfFocus, ChangesAreAnnouncedOnce) {
  TKVXEdit field;
  QSignalSpy spy(TKVXHintNotifier::instance(), &TKVXHintNotifier::hintChanged);
  field.setHint(QStringLiteral("Current UO Version"));
  ASSERT_GE(spy.count(), 1);
  bool sawInner = false;
  for (const auto& args : spy)
    sawInner |= args.at(0).value<QWidget*>() == field.Edit();
  EXPECT_TRUE(sawInner);
  spy.clear();
  field.setHint(QStringLiteral("Current UO Version"));
  EXPECT_EQ(spy.count(), 0);
}

TEST(KVXMemo, NotEnabledStaysUsableButReadOnly) {
  TKVXMemo memo;
  memo.setLines({QStringLiteral("one"), QStringLiteral("two")});
  EXPECT_EQ(memo.Lines(), QStringList({"one", "two"}));
  memo.setKVXEnabled(false);
  EXPECT_TRUE(memo.isEnabled());
  EXPECT_TRUE(memo.isReadOnly());
  EXPECT_EQ(memo.focusPolicy(), Qt::ClickFocus);
  EXPECT_EQ(memo.palette().color(QPalette::Base), QApplication::palette().color(QPalette::Button));
  memo.show();
  QTest::keyClicks(&memo, QStringLiteral("x"));
  EXPECT_EQ(memo.toPlainText(), "one\ntwo");
  memo.selectAll();
  EXPECT_EQ(memo.textCursor().selectedText(), QString("one") + QChar::ParagraphSeparator + "two");

  memo.setKVXEnabled(true);
  EXPECT_FALSE(memo.isReadOnly());
  EXPECT_EQ(memo.focusPolicy(), Qt::StrongFocus);
  memo.setCharCase(ecUpperCase);
  EXPECT_EQ(memo.toPlainText(), "ONE\nTWO");
  memo.moveCursor(QTextCursor::End);
  QTest::keyClicks(&memo, QStringLiteral("ab"));
  EXPECT_EQ(memo.toPlainText(), "ONE\nTWOAB");
  EXPECT_TRUE(TKVXMemo().Lines().isEmpty());
}

TEST(KVXCheckBox, ClickOnTheCaptionTogglesAndTheBoxSitsAtTheRight) {
  TKVXCheckBox check(QStringLiteral("Enable Sound"));
  check.resize(150, 17);
  check.show();
  QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(5, 8));
  EXPECT_TRUE(check.isChecked());
  QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(145, 8));
  EXPECT_FALSE(check.isChecked());
  // The caption is drawn from the left: the left edge of the picture has ink, the box is at the
  // right end.
  const QImage picture = check.grab().toImage();
  const QColor background = picture.pixelColor(75, 0);
  bool inkAtRight = false;
  for (int y = 0; y < picture.height(); ++y)
    inkAtRight |= picture.pixelColor(picture.width() - 4, y) != background;
  EXPECT_TRUE(inkAtRight);
}

TEST(KVXGrid, CellsByColumnAndRow) {
  TKVXGrid grid(2, 6);
  grid.setCells(4, 1, QStringLiteral("Say"));
  EXPECT_EQ(grid.Cells(4, 1), "Say");
  EXPECT_EQ(grid.item(1, 4)->text(), "Say");
  EXPECT_FALSE(grid.item(1, 4)->flags() & Qt::ItemIsEditable);
  grid.setCells(4, 1, QStringLiteral("Yell"));
  EXPECT_EQ(grid.Cells(4, 1), "Yell");
  grid.setCells(9, 9, QStringLiteral("x"));
  EXPECT_EQ(grid.Cells(9, 9), "");
  EXPECT_EQ(grid.Cells(0, 0), "");
}

TEST(KVXScrollButton, GlyphResourceIsBuiltIn) {
  TKVXScrollButton button;
  EXPECT_EQ(button.size(), QSize(21, 21));
  EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
  // Painting loads the resource; the picture then holds the glyph's black outline.
  const QImage picture = button.grab().toImage();
  bool dark = false;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      dark |= qGray(picture.pixel(x, y)) < 40;
  EXPECT_TRUE(dark);
}
