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

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "support/TempDir.h"
#include "text/JournalFile.h"
#include "text/LineIndex.h"

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

// About `size` bytes of lines of random length and bytes (mostly letters), ended by CR, LF or
// CR LF, with now and then an empty line, a run of line ends or a line of 100 KB or more.
std::string RandomJournal(std::mt19937& rng, std::size_t size) {
  static constexpr std::string_view kLetters = "abcdefghij KLMNOPQRST uvwxyz";
  std::string bytes;
  bytes.reserve(size + 16);
  const auto pick = [&rng](unsigned n) { return static_cast<unsigned>(rng() % n); };
  while (bytes.size() < size) {
    const unsigned kind = pick(1000);
    std::size_t length = pick(120);
    if (kind == 0)
      length = 100000 + pick(200000);
    else if (kind < 20)
      length = 0;
    for (std::size_t k = 0; k < length; ++k)
      bytes += pick(20) == 0 ? static_cast<char>(1 + pick(255)) : kLetters[pick(kLetters.size())];
    const std::size_t ends = kind >= 20 && kind < 25 ? 300 + pick(300) : 1;
    for (std::size_t e = 0; e < ends; ++e) {
      const unsigned end = pick(3);
      bytes += end == 0 ? "\r\n" : end == 1 ? "\n" : "\r";
    }
  }
  bytes.resize(size);
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
    view.waitForIndex();
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

// The view reads lines from disk through a sparse index; the whole-file index (LineIndex) is the
// reference for what the lines are and where a search lands, on random text around the sizes at
// which the index, its groups and the reads change.
TEST_F(JournalViewTest, OnDemandLinesAndFindMatchTheWholeFileIndex) {
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  std::mt19937 rng(20261209);
  std::vector<std::string> texts = {"", "\r", "\r\n", "x", "\n\n\r\r\n\rend"};
  for (const std::size_t size : {std::size_t{1000}, kMiB - 1, kMiB, kMiB + 1, 2 * kMiB + 17})
    texts.push_back(RandomJournal(rng, size));
  // A CR as the last byte of a read with its LF as the first byte of the next, and without.
  std::string pair = RandomJournal(rng, kMiB + 100);
  pair[kMiB - 1] = '\r';
  pair[kMiB] = '\n';
  texts.push_back(pair);
  pair[kMiB] = 'a';
  texts.push_back(pair);
  // Short lines only: many groups of 1024 lines; and a zero byte ending the text.
  texts.push_back(std::string(70000, '\n') + "tail\r\n" + std::string(1000, '\r'));
  std::string zero = RandomJournal(rng, kMiB + 5000);
  zero[kMiB + 2000] = '\0';
  texts.push_back(zero);
  // A line longer than the view keeps of a line, and a line after it.
  texts.push_back("first\r\n" + std::string(JournalFile::kMaxLineBytes + 500000, 'w') +
                  "\r\nafter\r\n");

  for (std::size_t t = 0; t < texts.size(); ++t) {
    SCOPED_TRACE("text " + std::to_string(t) + " of " + std::to_string(texts[t].size()) + " bytes");
    const std::string& text = texts[t];
    LineIndex reference;
    reference.Assign(text);
    if (t % 2 == 0)
      Load(text);
    else
      view.setBytes(text);
    ASSERT_EQ(static_cast<std::size_t>(view.lineCount()), reference.LineCount());
    for (int i = 0; i < view.lineCount(); ++i) {
      const std::string_view expected =
          reference.Line(static_cast<std::size_t>(i)).substr(0, JournalFile::kMaxLineBytes);
      ASSERT_EQ(view.lineBytes(i), expected) << "line " << i;
      ASSERT_EQ(view.document().LineStart(static_cast<std::size_t>(i)),
                reference.LineOffset(static_cast<std::size_t>(i)));
    }
    // Needles cut from the text (some across line ends, some in other letter case) and searched
    // from random lines.
    for (int k = 0; k < 30 && !text.empty(); ++k) {
      std::string needle = text.substr(rng() % text.size(), 1 + rng() % 12);
      if (k % 3 == 0)
        for (char& c : needle)
          c = static_cast<char>(c ^ ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ? 0x20 : 0));
      const int from = static_cast<int>(rng() % (reference.LineCount() + 2));
      const std::size_t expected = reference.Find(needle, static_cast<std::size_t>(from));
      ASSERT_EQ(view.findBytes(needle, from),
                expected == LineIndex::npos ? -1 : static_cast<int>(expected))
          << "needle of " << needle.size() << " bytes from line " << from;
    }
  }
}

TEST_F(JournalViewTest, AFileChangedUnderTheViewIsReadAgain) {
  const std::string file = dir.file("Journal.Log");
  Load(NumberedLines(5000));
  view.setFirstVisibleLine(3000);
  QSignalSpy changed(&view, &TKVXJournalView::fileChanged);

  // Cut short (as Clear elsewhere does): lines that are gone read empty, nothing breaks.
  std::filesystem::resize_file(file, 100);
  EXPECT_EQ(view.lineBytes(4500), "");
  EXPECT_FALSE(view.grab().isNull());
  EXPECT_EQ(view.find("Line 4999", 0), -1);
  view.selectAll();
  EXPECT_FALSE(view.selectedText().contains("Line 4999"));
  ASSERT_TRUE(view.reloadIfChanged());
  EXPECT_EQ(changed.count(), 1);
  view.waitForIndex();
  EXPECT_EQ(view.lineCount(), 13); // 100 bytes: 12 whole lines and the start of one more
  EXPECT_EQ(view.firstVisibleLine(), std::max(0, 13 - view.visibleLineCount()));
  EXPECT_FALSE(view.reloadIfChanged());

  // Written anew and grown: the new lines are seen, the top line stays.
  Load(NumberedLines(5000));
  view.setFirstVisibleLine(3000);
  {
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << "Line 5000\r\nthe end\r\n";
  }
  ASSERT_TRUE(view.reloadIfChanged());
  EXPECT_EQ(view.firstVisibleLine(), 3000);
  view.waitForIndex();
  EXPECT_EQ(view.lineCount(), 5002);
  EXPECT_EQ(view.lineBytes(5001), "the end");
  EXPECT_EQ(view.find("THE END", 3001), 5001);
}

TEST_F(JournalViewTest, ClearAndDestructionCancelARunningIndex) {
  // Short lines make the index slow enough to be caught running.
  std::string big;
  for (int i = 0; i < 1 << 21; ++i)
    big += "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\nl\nm\nn\no\np\nq\nr\ns\nt\nu\nv\nw\nx\ny\nz\n"
           "0\n1\n2\n3\n4\n5\n";
  WriteBytes(dir.file("Big.Log"), big);
  const QString path = QString::fromStdString(dir.file("Big.Log"));

  QSignalSpy finished(&view, &TKVXJournalView::indexingFinished);
  ASSERT_TRUE(view.loadFile(path));
  EXPECT_EQ(view.lineBytes(0), "a"); // the first screen is there at once
  view.clear();
  EXPECT_FALSE(view.indexing());
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(view.lineCount(), 0);
  EXPECT_EQ(view.document().MemoryBytes(), 0u);
  EXPECT_EQ(view.findBytes("a", 0), -1);

  // Another file replaces a running index; the count is then the new file's.
  ASSERT_TRUE(view.loadFile(path));
  Load(NumberedLines(10));
  EXPECT_EQ(view.lineCount(), 10);

  // A search beyond what is indexed finds its line all the same; reading to the end gives every
  // line.
  ASSERT_TRUE(view.loadFile(path));
  EXPECT_EQ(view.find("5", 40000000), 40000031);
  view.waitForIndex();
  EXPECT_EQ(view.lineCount(), 32 << 21);
  EXPECT_EQ(view.find("5", 0), 31);

  auto other = std::make_unique<TKVXJournalView>();
  ASSERT_TRUE(other->loadFile(path));
  other.reset(); // joins its worker
}

} // namespace
} // namespace qv
