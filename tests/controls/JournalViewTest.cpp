#include "controls/JournalView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include "support/TempDir.h"

namespace qv {
namespace {

using test::TempDir;
using test::WriteBytes;

// "Line 0" .. "Line <count-1>", CR LF after each.
std::string NumberedLines(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i)
    bytes += "Line " + std::to_string(i) + "\r\n";
  return bytes;
}

class JournalViewTest : public ::testing::Test {
protected:
  void SetUp() override {
    view.resize(400, 10 * QFontMetrics(view.font()).lineSpacing() + 40);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }

  void Load(const std::string& bytes) {
    WriteBytes(dir.file("Journal.Log"), bytes);
    ASSERT_TRUE(view.loadFile(QString::fromStdString(dir.file("Journal.Log"))));
  }

  int RowHeight() const { return QFontMetrics(view.font()).lineSpacing(); }
  // A point in the view's text area on the given visible row, near the left edge.
  QPoint RowStart(int row) const { return QPoint(1, row * RowHeight() + RowHeight() / 2); }

  TempDir dir;
  TKVXJournalView view;
};

TEST_F(JournalViewTest, LoadsLinesAndDecodesWindows1252) {
  Load("Hail!\r\n\x80 5 \x85 \x8A\x9F\x81\rcaf\xE9\nlast");
  ASSERT_EQ(view.lineCount(), 4);
  EXPECT_EQ(view.lineBytes(0), "Hail!");
  EXPECT_EQ(view.lineText(1), QString::fromUtf8("\u20AC 5 \u2026 \u0160\u0178\u0081"));
  EXPECT_EQ(view.lineText(2), QString::fromUtf8("caf\u00E9"));
  EXPECT_EQ(view.lineText(3), "last");
  EXPECT_EQ(view.lineBytes(4), "");
  EXPECT_EQ(view.lineBytes(-1), "");
  EXPECT_FALSE(view.grab().isNull()); // paints the decoded lines
}

TEST_F(JournalViewTest, FailedLoadEmptiesTheView) {
  Load(NumberedLines(50));
  view.setFirstVisibleLine(20);
  QSignalSpy moved(&view, &TKVXJournalView::firstVisibleLineChanged);
  EXPECT_FALSE(view.loadFile(QString::fromStdString(dir.file("missing.log"))));
  EXPECT_EQ(view.lineCount(), 0);
  EXPECT_EQ(view.firstVisibleLine(), 0);
  EXPECT_EQ(moved.count(), 1);
}

TEST_F(JournalViewTest, ZeroByteEndsTheText) {
  Load(std::string("one\r\ntwo\0three\r\n", 17));
  EXPECT_EQ(view.lineCount(), 2);
  EXPECT_EQ(view.lineText(1), "two");
}

TEST_F(JournalViewTest, FirstVisibleLineClampsAtTheEnd) {
  Load(NumberedLines(100));
  const int rows = view.visibleLineCount();
  ASSERT_GE(rows, 5);
  QSignalSpy moved(&view, &TKVXJournalView::firstVisibleLineChanged);
  view.setFirstVisibleLine(40);
  EXPECT_EQ(view.firstVisibleLine(), 40);
  ASSERT_EQ(moved.count(), 1);
  EXPECT_EQ(moved.at(0).at(0).toInt(), 40);
  view.setFirstVisibleLine(99);
  EXPECT_EQ(view.firstVisibleLine(), 100 - rows);
  view.setFirstVisibleLine(-3);
  EXPECT_EQ(view.firstVisibleLine(), 0);

  // A text shorter than the view does not scroll at all.
  Load(NumberedLines(3));
  view.setFirstVisibleLine(2);
  EXPECT_EQ(view.firstVisibleLine(), 0);
}

TEST_F(JournalViewTest, ClearResetsViewAndIndex) {
  Load(NumberedLines(100));
  view.setFirstVisibleLine(30);
  view.selectAll();
  QSignalSpy moved(&view, &TKVXJournalView::firstVisibleLineChanged);
  view.clear();
  EXPECT_EQ(view.lineCount(), 0);
  EXPECT_EQ(view.firstVisibleLine(), 0);
  EXPECT_EQ(moved.count(), 1);
  EXPECT_FALSE(view.hasSelection());
  EXPECT_EQ(view.document().MemoryBytes(), 0u);
  EXPECT_EQ(view.findBytes("Line", 0), -1);
  EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
  EXPECT_FALSE(view.copy());
  EXPECT_FALSE(view.grab().isNull());
}

TEST_F(JournalViewTest, FindRulesAndTheLastLine) {
  Load("first \xC4rger\r\nsecond\r\nthird\r\nthe Wyrm of DESTARD");
  EXPECT_EQ(view.find("wYRM of destard", 1), 3);
  EXPECT_EQ(view.find("wyrm", 4), -1);
  EXPECT_EQ(view.find(QString::fromUtf8("\u00C4rger"), 0), 0);
  EXPECT_EQ(view.find(QString::fromUtf8("\u00E4rger"), 0), -1); // only a-z ignore case
  EXPECT_EQ(view.find(QString::fromUtf8("\u0100"), 0), -1);     // not in Windows-1252
  EXPECT_EQ(view.find("first", 1), -1);                         // the search starts at fromLine
  EXPECT_EQ(view.findBytes("SECOND", 0), 1);
}

TEST_F(JournalViewTest, EnabledRuleKeepsTheWindowUsable) {
  EXPECT_FALSE(view.Enabled());
  EXPECT_TRUE(view.isEnabled());
  EXPECT_EQ(view.focusPolicy(), Qt::ClickFocus);
  EXPECT_EQ(view.viewport()->backgroundRole(), QPalette::Button);
  view.setKVXEnabled(true);
  EXPECT_EQ(view.focusPolicy(), Qt::StrongFocus);
  EXPECT_EQ(view.viewport()->backgroundRole(), QPalette::Base);
  view.setKVXEnabled(false);
  EXPECT_TRUE(view.isEnabled());

  // Not enabled, it still selects and copies.
  Load("abc\r\ndef");
  view.setFocus();
  QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(view.selectedText(), "abc");
}

TEST_F(JournalViewTest, KeyboardScrolls) {
  Load(NumberedLines(200));
  view.setFocus();
  const int rows = view.visibleLineCount();
  QTest::keyClick(&view, Qt::Key_PageDown);
  EXPECT_EQ(view.firstVisibleLine(), rows);
  QTest::keyClick(&view, Qt::Key_PageUp);
  EXPECT_EQ(view.firstVisibleLine(), 0);
  for (int i = 0; i < rows; ++i)
    QTest::keyClick(&view, Qt::Key_Down);
  EXPECT_EQ(view.cursorPosition().line, rows);
  EXPECT_EQ(view.firstVisibleLine(), 1); // the caret went one line past the bottom
  QTest::keyClick(&view, Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(view.firstVisibleLine(), 2);
  EXPECT_EQ(view.cursorPosition().line, rows);
  QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(view.firstVisibleLine(), 200 - rows);
  EXPECT_EQ(view.cursorPosition().line, 199);
  QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(view.firstVisibleLine(), 0);
  EXPECT_FALSE(view.hasSelection());

  QWheelEvent wheel(QPointF(10, 10), view.viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                    QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view.viewport(), &wheel);
  EXPECT_GT(view.firstVisibleLine(), 0);
}

TEST_F(JournalViewTest, LongLineScrollsSideways) {
  Load("short\r\n" + std::string(5000, 'w') + "\r\n");
  view.setFocus();
  EXPECT_GT(view.horizontalScrollBar()->maximum(), 0);
  QTest::keyClick(&view, Qt::Key_Down);
  QTest::keyClick(&view, Qt::Key_End);
  EXPECT_GT(view.horizontalScrollBar()->value(), 0);
  EXPECT_FALSE(view.grab().isNull());
  QTest::keyClick(&view, Qt::Key_Home);
  EXPECT_EQ(view.horizontalScrollBar()->value(), 0);
}

TEST_F(JournalViewTest, ShiftKeysSelectAndCtrlCCopies) {
  Load("alpha beta\r\ngamma\rdelta\n\x80uro");
  view.setFocus();
  QTest::keyClick(&view, Qt::Key_Right, Qt::ControlModifier);
  QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(view.selectedText(), "beta");
  QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
  QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
  QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(view.selectedText(), "beta\ngamma\ndelta");
  QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("beta\ngamma\ndelta\n\u20AC"));

  QTest::keyClick(&view, Qt::Key_Left); // collapses to the selection's start
  EXPECT_FALSE(view.hasSelection());
  EXPECT_EQ(view.cursorPosition(), (TKVXJournalView::Position{0, 6}));

  QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(&view, Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(),
            QString::fromUtf8("alpha beta\ngamma\ndelta\n\u20ACuro"));
}

TEST_F(JournalViewTest, MouseSelectsLinesAndWords) {
  Load(NumberedLines(20));
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, RowStart(1));
  EXPECT_TRUE(view.hasFocus());
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, RowStart(3));
  EXPECT_EQ(view.selectedText(), "Line 1\nLine 2\n");

  QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, RowStart(4));
  EXPECT_EQ(view.selectedText(), "Line");

  // Dragging below the view scrolls it and extends the selection.
  view.setFirstVisibleLine(0);
  QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, RowStart(0));
  QTest::mouseMove(view.viewport(), QPoint(1, view.viewport()->height() + 30));
  QTest::qWait(300);
  QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(1, view.viewport()->height() + 30));
  EXPECT_GT(view.firstVisibleLine(), 0);
  EXPECT_GT(view.cursorPosition().line, view.visibleLineCount());
  EXPECT_TRUE(view.selectedText().startsWith("Line 0\nLine 1\n"));
}

TEST_F(JournalViewTest, TabsAndAProportionalFontStayInStep) {
  Load("a\tb\tc\r\nx\r\n");
  view.setFocus();
  QTest::keyClick(&view, Qt::Key_End);
  QTest::keyClick(&view, Qt::Key_Down); // lands on the x line at the nearest place
  EXPECT_EQ(view.cursorPosition().line, 1);
  QTest::keyClick(&view, Qt::Key_Up);
  EXPECT_EQ(view.cursorPosition(), (TKVXJournalView::Position{0, 5})); // the goal column came back

  view.setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  EXPECT_FALSE(view.grab().isNull());
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, RowStart(0));
  QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(view.selectedText(), "a\tb\tc");
}

} // namespace
} // namespace qv
