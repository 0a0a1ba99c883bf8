#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "controls/JournalView.h"
#include "platform/Error.h"
#include "print/Print.h"
#include "support/TempDir.h"

namespace qv {
namespace {

// A printer on paper: every text with its page and position. Fixed-pitch text of known size.
class TRecordingTarget : public TPrintTarget {
public:
  struct Text {
    int page;
    int x;
    int y;
    QString text;
  };

  // 100 dpi: 4 pixels per print unit. 1100 pixels high: a page of 275 units. Printable to the
  // paper's right edge: text keeps 10 units (40 pixels) from it.
  Geometry geometry{100, 100, 0, 0, 850, 1100, 850};
  int textHeight = 16; // 4 units: a line height of 6 units (24 pixels)
  double charWidth = 7;
  double dashWidth = 5; // 114 dashes fit from the title column

  Geometry Measure() override { return geometry; }
  void SetFont(const QFont& f) override { font = f; }
  int TextHeight(const QString&) override { return textHeight; }
  double TextWidth(const QString& text) override {
    const auto dashes = text.count(QLatin1Char('-'));
    return charWidth * static_cast<double>(text.size() - dashes) +
           dashWidth * static_cast<double>(dashes);
  }
  void BeginJob(const QString& t) override {
    title = t;
    page = 1;
    ++jobs;
  }
  void TextOut(int x, int y, const QString& text) override { texts.push_back({page, x, y, text}); }
  void NewPage() override { ++page; }
  int PageNumber() const override { return page; }
  void EndJob() override { ended = true; }
  void Abort() override { aborted = true; }

  std::vector<Text> OnPage(int p) const {
    std::vector<Text> out;
    for (const Text& t : texts)
      if (t.page == p)
        out.push_back(t);
    return out;
  }
  // The texts at one height of one page, left to right as printed.
  std::vector<QString> Row(int p, int y) const {
    std::vector<QString> out;
    for (const Text& t : texts)
      if (t.page == p && t.y == y)
        out.push_back(t.text);
    return out;
  }
  const Text* Find(const QString& text) const {
    for (const Text& t : texts)
      if (t.text == text)
        return &t;
    return nullptr;
  }

  QFont font;
  QString title;
  int page = 0;
  int jobs = 0;
  bool ended = false;
  bool aborted = false;
  std::vector<Text> texts;
};

// Pixel heights of the layout on the recording target (row r in units is at 4 * r pixels).
constexpr int kTitleY = 40;           // row 10
constexpr int kMacroHeadingsY = 88;   // row 22
constexpr int kMacroRuleY = 112;      // row 28
constexpr int kMacroFirstRowY = 136;  // row 34
constexpr int kJournalRuleY = 64;     // row 16
constexpr int kJournalFirstRowY = 88; // row 22
constexpr int kPageNumberY = 1076;    // row 275 - 6
constexpr int kRowStep = 24;
// Columns: 20, 30, 70 and 110 units from the paper's edge.
constexpr int kXTitle = 80;
constexpr int kXKey = 120;
constexpr int kXAction = 280;
constexpr int kXParameter = 440;

const QString kRule(114, QLatin1Char('-'));

MacroGridRow GridRow(const std::string& key, bool alt, bool ctrl, bool shift) {
  MacroGridRow row;
  row.cells = {key, alt ? "Yes" : "No", ctrl ? "Yes" : "No", shift ? "Yes" : "No", "", ""};
  return row;
}

std::vector<std::string> ManyMacros(int count) {
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    const std::string number = std::to_string(i);
    lines.push_back("K" + number + " 0 0 0");
    lines.push_back("Say " + number);
    lines.push_back("########");
  }
  return lines;
}

std::vector<MacroGridRow> GridOf(int count) {
  std::vector<MacroGridRow> grid;
  for (int i = 0; i < count; ++i) {
    const std::string number = std::to_string(i);
    grid.push_back(GridRow("K" + number + " ", false, false, false));
  }
  return grid;
}

bool PrintLines(TPrintTarget& target, const std::vector<std::string>& lines,
                const PrintProgress& progress = {}) {
  return PrintJournal(
      target, QFont(), static_cast<int>(lines.size()),
      [&](int i) { return lines[static_cast<std::size_t>(i)]; }, progress);
}

// --- Page layout ---

TEST(PrintLayout, MacroListPageHasTitleHeadingsRuleRowsAndPageNumberAtTheirPlaces) {
  TRecordingTarget target;
  const std::vector<std::string> lines = {"F1 0 1 0", "Say Hello there", "########"};
  ASSERT_TRUE(PrintMacroList(target, QFont(), {GridRow("F1 ", true, false, false)}, lines));

  EXPECT_EQ(target.title, "Ultima Online Macro List");
  EXPECT_TRUE(target.ended);
  EXPECT_FALSE(target.aborted);
  EXPECT_EQ(target.page, 1);
  const std::vector<TRecordingTarget::Text> expected = {
      {1, kXTitle, kTitleY, "Ultima Online Macro List"},
      {1, kXKey, kMacroHeadingsY, "Macro"},
      {1, kXAction, kMacroHeadingsY, "Action"},
      {1, kXParameter, kMacroHeadingsY, "Parameter"},
      {1, kXTitle, kMacroRuleY, kRule},
      {1, kXKey, kMacroFirstRowY, "Alt   + F1 "},
      {1, kXAction, kMacroFirstRowY, "Say"},
      {1, kXParameter, kMacroFirstRowY, "Hello there"},
      {1, kXParameter, kPageNumberY, "Page Number: 1"},
  };
  ASSERT_EQ(target.texts.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(target.texts[i].x, expected[i].x) << i;
    EXPECT_EQ(target.texts[i].y, expected[i].y) << i;
    EXPECT_EQ(target.texts[i].text, expected[i].text) << i;
  }
}

TEST(PrintLayout, JournalHasTitleAndRuleWithoutColumnHeadings) {
  TRecordingTarget target;
  ASSERT_TRUE(PrintLines(target, {"first line", "second line"}));
  EXPECT_EQ(target.title, "Ultima Online Journal");
  EXPECT_EQ(target.Row(1, kTitleY), std::vector<QString>{"Ultima Online Journal"});
  EXPECT_EQ(target.Row(1, kJournalRuleY), std::vector<QString>{kRule});
  EXPECT_EQ(target.Row(1, kJournalFirstRowY), std::vector<QString>{"first line"});
  EXPECT_EQ(target.Row(1, kJournalFirstRowY + kRowStep), std::vector<QString>{"second line"});
  EXPECT_EQ(target.Find("Macro"), nullptr);
  ASSERT_NE(target.Find("Page Number: 1"), nullptr);
  EXPECT_EQ(target.Find("first line")->x, kXTitle);
}

TEST(PrintLayout, RuleInAWideFontEndsInsideTheRightMargin) {
  TRecordingTarget target;
  target.dashWidth = 10; // (850 - 40 - 80) / 10: 73 dashes fit
  ASSERT_TRUE(PrintLines(target, {}));
  EXPECT_EQ(target.Row(1, kJournalRuleY), std::vector<QString>{QString(73, QLatin1Char('-'))});
}

TEST(PrintLayout, EmptyGridOrJournalPrintsOnePageWithHeadingAndPageNumberOne) {
  TRecordingTarget macros;
  // The grid's one empty row when the file has no complete macro.
  ASSERT_TRUE(PrintMacroList(macros, QFont(), {MacroGridRow{}}, {}));
  EXPECT_EQ(macros.page, 1);
  EXPECT_EQ(macros.texts.size(), 6u); // title, three headings, rule, page number
  EXPECT_EQ(macros.Row(1, kPageNumberY), std::vector<QString>{"Page Number: 1"});

  TRecordingTarget noRows;
  ASSERT_TRUE(PrintMacroList(noRows, QFont(), {}, ManyMacros(3)));
  EXPECT_EQ(noRows.texts.size(), 6u);

  TRecordingTarget journal;
  ASSERT_TRUE(PrintLines(journal, {}));
  EXPECT_EQ(journal.page, 1);
  ASSERT_EQ(journal.texts.size(), 3u); // title, rule, page number
  EXPECT_EQ(journal.texts[2].text, "Page Number: 1");
  EXPECT_EQ(journal.texts[2].y, kPageNumberY);
}

TEST(PrintLayout, OffsetsShiftEverythingAndTextLeftOfOrAbovePrintableAreaIsLeftOut) {
  TRecordingTarget target;
  target.geometry.offsetX = 100; // title column at 80 - 100: left out
  target.geometry.offsetY = 50;  // title row at 40 - 50: left out
  ASSERT_TRUE(PrintMacroList(target, QFont(), {GridRow("F1 ", false, false, false)},
                             {"F1 0 0 0", "Bow", "########"}));
  EXPECT_EQ(target.Find("Ultima Online Macro List"), nullptr);
  EXPECT_EQ(target.Find(kRule), nullptr);
  ASSERT_NE(target.Find("Macro"), nullptr);
  EXPECT_EQ(target.Find("Macro")->x, kXKey - 100);
  EXPECT_EQ(target.Find("Macro")->y, kMacroHeadingsY - 50);
  ASSERT_NE(target.Find("Bow"), nullptr);
  EXPECT_EQ(target.Find("Bow")->y, kMacroFirstRowY - 50);
  EXPECT_EQ(target.Find("Page Number: 1")->y, kPageNumberY - 50);
}

TEST(PrintLayout, PageAndLineHeightsRoundHalfToEven) {
  const auto pageNumberY = [](int printableHeight, int textHeight) {
    TRecordingTarget target;
    target.geometry.printableHeight = printableHeight;
    target.textHeight = textHeight;
    EXPECT_TRUE(PrintLines(target, {}));
    return target.Find("Page Number: 1")->y;
  };
  // 1098 / 4 = 274.5 -> 274; 1102 / 4 = 275.5 -> 276. Line height 6.
  EXPECT_EQ(pageNumberY(1098, 16), (274 - 6) * 4);
  EXPECT_EQ(pageNumberY(1102, 16), (276 - 6) * 4);
  // Text 18 / 4 = 4.5 -> 4: line height 6; text 22 / 4 = 5.5 -> 6: line height 8.
  EXPECT_EQ(pageNumberY(1100, 18), (275 - 6) * 4);
  EXPECT_EQ(pageNumberY(1100, 22), (275 - 8) * 4);
}

TEST(PrintLayout, ResolutionTurnsUnitsIntoPrinterPixels) {
  TRecordingTarget target;
  target.geometry = {300, 600, 0, 0, 2550, 6600, 2550}; // 12 pixels per unit across, 24 down
  target.textHeight = 96;                               // 4 units: line height 6
  ASSERT_TRUE(PrintLines(target, {"x"}));
  EXPECT_EQ(target.Find("Ultima Online Journal")->x, 12 * 20);
  EXPECT_EQ(target.Find("Ultima Online Journal")->y, 24 * 10);
  EXPECT_EQ(target.Find("x")->y, 24 * 22);
  EXPECT_EQ(target.Find("Page Number: 1")->x, 12 * 110);
  EXPECT_EQ(target.Find("Page Number: 1")->y, 24 * (275 - 6));
}

// --- Page breaks ---

TEST(PrintPages, RowsArePrintedWhileTheRowIsAtMostPageHeightLessTwoLines) {
  // Macro rows from row 34 in steps of 6 while at most 275 - 12 = 263: 39 rows on a page.
  TRecordingTarget target;
  ASSERT_TRUE(PrintMacroList(target, QFont(), GridOf(40), ManyMacros(40)));
  EXPECT_EQ(target.page, 2);
  EXPECT_EQ(target.Row(1, kMacroFirstRowY + 38 * kRowStep),
            (std::vector<QString>{"K38 ", "Say", "38"}));
  EXPECT_EQ(target.Row(1, kPageNumberY), std::vector<QString>{"Page Number: 1"});
  // The second page starts with its own heading.
  EXPECT_EQ(target.Row(2, kTitleY), std::vector<QString>{"Ultima Online Macro List"});
  EXPECT_EQ(target.Row(2, kMacroHeadingsY), (std::vector<QString>{"Macro", "Action", "Parameter"}));
  EXPECT_EQ(target.Row(2, kMacroFirstRowY), (std::vector<QString>{"K39 ", "Say", "39"}));
  EXPECT_EQ(target.Row(2, kPageNumberY), std::vector<QString>{"Page Number: 2"});
}

TEST(PrintPages, TheTestAfterTheLastRowOfAFullPageStartsAnotherPage) {
  // Journal lines from row 22: 41 lines fill a page; the test after the 41st opens page 2.
  std::vector<std::string> lines;
  for (int i = 0; i < 41; ++i)
    lines.push_back("line " + std::to_string(i));
  TRecordingTarget full;
  ASSERT_TRUE(PrintLines(full, lines));
  EXPECT_EQ(full.page, 2);
  EXPECT_EQ(full.Row(1, kJournalFirstRowY + 40 * kRowStep), std::vector<QString>{"line 40"});
  EXPECT_EQ(full.OnPage(2).size(), 3u); // heading, rule, page number

  lines.pop_back();
  TRecordingTarget fewer;
  ASSERT_TRUE(PrintLines(fewer, lines));
  EXPECT_EQ(fewer.page, 1);
}

TEST(PrintPages, AThousandJournalLinesTakeTwentyFivePages) {
  std::vector<std::string> lines(1000, "text");
  TRecordingTarget target;
  ASSERT_TRUE(PrintLines(target, lines));
  EXPECT_EQ(target.page, 25); // 24 full pages of 41, then 16 lines
  EXPECT_EQ(target.Row(25, kPageNumberY), std::vector<QString>{"Page Number: 25"});
  EXPECT_EQ(target.OnPage(25).size(), 3u + 16u);
}

TEST(PrintPages, CancellingAtAPageBreakDropsTheJob) {
  std::vector<std::string> lines(200, "text");
  TRecordingTarget target;
  std::vector<int> told;
  const bool printed = PrintLines(target, lines, [&](int done, int total) {
    told.push_back(done);
    EXPECT_EQ(total, 200);
    return told.size() < 2;
  });
  EXPECT_FALSE(printed);
  EXPECT_TRUE(target.aborted);
  EXPECT_FALSE(target.ended);
  EXPECT_EQ(told, (std::vector<int>{41, 82}));
  EXPECT_EQ(target.page, 2);
}

// --- The macros ---

class PrintMacros : public ::testing::Test {
protected:
  // The printed rows of page 1 below the rule: each row's texts.
  std::vector<std::vector<QString>> Rows(const std::vector<MacroGridRow>& grid) {
    EXPECT_TRUE(PrintMacroList(target, QFont(), grid, lines));
    std::vector<std::vector<QString>> rows;
    for (int y = kMacroFirstRowY; y < kPageNumberY; y += kRowStep)
      rows.push_back(target.Row(1, y));
    while (!rows.empty() && rows.back().empty())
      rows.pop_back();
    return rows;
  }

  TRecordingTarget target;
  std::vector<std::string> lines;
};

TEST_F(PrintMacros, ModifiersMustMatchExactly) {
  lines = {"F1 0 0 0", "Say plain", "########", "F1 1 0 1", "Say ctrl shift",
           "########", "F1 0 1 0",  "Say alt",  "########"};
  const auto rows = Rows({GridRow("F1 ", false, true, true), GridRow("F1 ", true, false, false),
                          GridRow("F1 ", false, false, false)});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<QString>{"Ctrl  + Shift + F1 ", "Say", "ctrl shift"}));
  EXPECT_EQ(rows[1], (std::vector<QString>{"Alt   + F1 ", "Say", "alt"}));
  EXPECT_EQ(rows[2], (std::vector<QString>{"F1 ", "Say", "plain"}));
}

TEST_F(PrintMacros, AllThreeModifiersArePaddedToOneWidth) {
  target.charWidth = 1; // the whole label fits its column
  lines = {"Home 1 1 1", "Bow", "########"};
  const auto rows = Rows({GridRow("Home ", true, true, true)});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "Alt   + Ctrl  + Shift + Home ");
}

TEST_F(PrintMacros, ARowMatchingNoMacroPrintsNothingButAdvances) {
  lines = {"F1 0 0 0", "Say one", "########", "F3 0 0 0", "Say three", "########"};
  // F2 is in no header; F1 with Alt has no header with those modifiers; "f3" differs in case.
  const auto rows = Rows({GridRow("F2 ", false, false, false), GridRow("F1 ", true, false, false),
                          GridRow("f3 ", false, false, false), GridRow("F1 ", false, false, false),
                          GridRow(" F3", false, false, false)});
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_TRUE(rows[0].empty());
  EXPECT_TRUE(rows[1].empty());
  EXPECT_TRUE(rows[2].empty());
  EXPECT_EQ(rows[3], (std::vector<QString>{"F1 ", "Say", "one"}));
  // Keys are compared trimmed; the label keeps the cell as it is.
  EXPECT_EQ(rows[4], (std::vector<QString>{" F3", "Say", "three"}));
}

TEST_F(PrintMacros, EachActionLineHasARowOfItsOwn) {
  lines = {"F5 0 0 0", "Say first", "  Emote   second  ", "LastSkill", "########", "F6 0 0 0",
           "Bow",      "########"};
  const auto rows =
      Rows({GridRow("F5 ", false, false, false), GridRow("F6 ", false, false, false)});
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<QString>{"F5 ", "Say", "first"}));
  // Trimmed, split at the first blank: the parameter keeps its inner blanks.
  EXPECT_EQ(rows[1], (std::vector<QString>{"F5 ", "Emote", "  second"}));
  EXPECT_EQ(rows[2], (std::vector<QString>{"F5 ", "LastSkill"}));
  EXPECT_EQ(rows[3], (std::vector<QString>{"F6 ", "Bow"}));
}

TEST_F(PrintMacros, ActionLinesOfOneMacroMayCrossAPageBreak) {
  lines = ManyMacros(38);
  lines.insert(lines.end(), {"F9 0 0 0", "Say a", "Say b", "Say c", "########"});
  std::vector<MacroGridRow> grid = GridOf(38);
  grid.push_back(GridRow("F9 ", false, false, false));
  ASSERT_TRUE(PrintMacroList(target, QFont(), grid, lines));
  // Row 39 is the last one of page 1; the next two action lines go on page 2.
  EXPECT_EQ(target.Row(1, kMacroFirstRowY + 38 * kRowStep),
            (std::vector<QString>{"F9 ", "Say", "a"}));
  EXPECT_EQ(target.Row(2, kMacroFirstRowY), (std::vector<QString>{"F9 ", "Say", "b"}));
  EXPECT_EQ(target.Row(2, kMacroFirstRowY + kRowStep), (std::vector<QString>{"F9 ", "Say", "c"}));
  EXPECT_EQ(target.page, 2);
}

TEST_F(PrintMacros, ParameterIsCutToItsFirst99Characters) {
  target.charWidth = 1; // everything fits its column
  const std::string longText = std::string(99, 'p') + "TAIL";
  lines = {"F1 0 0 0", "Say " + longText, "########"};
  const auto rows = Rows({GridRow("F1 ", false, false, false)});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][2], QString(99, QLatin1Char('p')));
}

TEST_F(PrintMacros, ALineOfAnotherMacroIsNotTakenForAHeader) {
  // "F1 0 0 0" as an action of F2 must not start the F1 macro.
  lines = {"F2 0 0 0", "F1 0 0 0", "########", "F1 0 0 0", "Say real", "########"};
  const auto rows = Rows({GridRow("F1 ", false, false, false)});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<QString>{"F1 ", "Say", "real"}));
}

TEST_F(PrintMacros, MacroWithoutEndLineAndShortHeaders) {
  // Headers shorter than their three flags do not crash; a last macro without an end line
  // still prints its actions.
  lines = {"1", "Say x", "########", "", "Say y", "##", "F2 0 0 0", "Say last"};
  const auto rows = Rows({GridRow("F2 ", false, false, false)});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<QString>{"F2 ", "Say", "last"}));
}

// --- Text that does not fit ---

TEST(PrintBreaks, BreakTextAfterBlanksOrWithinAWord) {
  const auto width = [](const QString& t) { return static_cast<double>(t.size()); };
  EXPECT_EQ(BreakText("short", 10, width), std::vector<QString>{"short"});
  EXPECT_EQ(BreakText("", 10, width), std::vector<QString>{""});
  EXPECT_EQ(BreakText("one two three four", 10, width),
            (std::vector<QString>{"one two", "three four"}));
  EXPECT_EQ(BreakText("abcdefghijklmnopqrstuvwxy", 10, width),
            (std::vector<QString>{"abcdefghij", "klmnopqrst", "uvwxy"}));
  // The blanks at a break are dropped; nothing else is.
  EXPECT_EQ(BreakText("aaaaaaaaaa     bbb", 10, width),
            (std::vector<QString>{"aaaaaaaaaa", "bbb"}));
  EXPECT_EQ(BreakText("aaaaaaaaaa     ", 10, width), std::vector<QString>{"aaaaaaaaaa"});
  // Not even one character fits: still one per piece.
  EXPECT_EQ(BreakText("abc", 0.5, width), (std::vector<QString>{"a", "b", "c"}));
}

TEST(PrintBreaks, LongJournalLineGoesOnToFurtherRowsInsideThePrintableArea) {
  TRecordingTarget target;
  // 850 - 40 - 80 pixels from the journal column to the right margin: 104 characters of 7.
  std::string words;
  for (int i = 0; i < 30; ++i)
    words += "word" + std::to_string(i % 10) + " ";
  const std::string noBlanks(250, 'x');
  ASSERT_TRUE(PrintLines(target, {words, noBlanks, "after"}));
  std::vector<QString> printed;
  for (int y = kJournalFirstRowY; y < kPageNumberY; y += kRowStep)
    for (const QString& t : target.Row(1, y))
      printed.push_back(t);
  ASSERT_EQ(printed.size(), 6u);
  for (const QString& t : printed)
    EXPECT_LE(kXTitle + 7 * t.size(), 810) << t.toStdString();
  EXPECT_TRUE(printed[0].endsWith("word6")) << printed[0].toStdString();
  EXPECT_TRUE(printed[1].startsWith("word7"));
  EXPECT_EQ((printed[0] + " " + printed[1]).trimmed(), QString::fromStdString(words).trimmed());
  EXPECT_EQ(printed[2] + printed[3] + printed[4], QString::fromStdString(noBlanks));
  EXPECT_EQ(printed[5], "after");

  // A printable area narrower than that is the limit: 700 - 80 pixels, 88 characters.
  TRecordingTarget narrow;
  narrow.geometry.printableWidth = 700;
  ASSERT_TRUE(PrintLines(narrow, {noBlanks}));
  ASSERT_NE(narrow.Find(QString(88, QLatin1Char('x'))), nullptr);
}

TEST(PrintBreaks, MacroCellsStayInsideTheirColumns) {
  TRecordingTarget target;
  target.charWidth = 8; // key column: 280 - 120 - 8 gap = 152 pixels, 19 characters
  const std::string parameter =
      "a rather long sentence that the parameter column cannot hold in one";
  ASSERT_TRUE(PrintMacroList(target, QFont(), {GridRow("Scroll Lock ", true, true, true)},
                             {"Scroll Lock 1 1 1", "Say " + parameter, "########"}));
  const auto first = target.Row(1, kMacroFirstRowY);
  const auto second = target.Row(1, kMacroFirstRowY + kRowStep);
  ASSERT_EQ(first.size(), 3u);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(first[0], "Alt   + Ctrl  +");
  EXPECT_EQ(first[1], "Say");
  EXPECT_EQ(second[0], "Shift + Scroll Lock");
  EXPECT_TRUE(target.Row(1, kMacroFirstRowY + 2 * kRowStep).empty());
  // Parameter column: 850 - 40 - 440 pixels, 46 characters.
  EXPECT_EQ(first[2] + " " + second[1], QString::fromStdString(parameter));
  EXPECT_LE(first[2].size(), 46);
  // The page number stays where it was.
  EXPECT_EQ(target.Row(1, kPageNumberY), std::vector<QString>{"Page Number: 1"});
}

// --- Characters ---

TEST(PrintText, Windows1252BytesPrintAsTheirCharacters) {
  EXPECT_EQ(PrintableText("\x80 \x85 \x8A \x99 \x9F"), QString::fromUtf8("€ … Š ™ Ÿ"));
  EXPECT_EQ(PrintableText("Caf\xE9 \xC4\xD6\xDC \xDF \xFF \xA3\xA9\xB0"),
            QString::fromUtf8("Café ÄÖÜ ß ÿ £©°"));
  // Control characters have no glyph; the undefined codes come out as controls too.
  EXPECT_EQ(PrintableText(std::string_view("a\x01"
                                           "b\x7F"
                                           "c\x81"
                                           "d\x9D",
                                           8)),
            "a b c d ");
  EXPECT_EQ(PrintableText("ab\tc\t\td"), "ab      c               d");
}

TEST(PrintText, JournalAndMacroBytesAreDecodedWhenPrinted) {
  TRecordingTarget journal;
  ASSERT_TRUE(PrintLines(journal, {"Gr\xFC\xDF"
                                   "e \x93quoted\x94 \x80"
                                   "5"}));
  EXPECT_NE(journal.Find(QString::fromUtf8("Grüße “quoted” €5")), nullptr);

  TRecordingTarget macros;
  ASSERT_TRUE(PrintMacroList(macros, QFont(), {GridRow("F1 ", false, false, false)},
                             {"F1 0 0 0", "Say \xBFQu\xE9?", "########"}));
  EXPECT_NE(macros.Find(QString::fromUtf8("¿Qué?")), nullptr);
}

// --- On a printer: PDF files ---

class PrintPdf : public ::testing::Test {
protected:
  void SetUp() override {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.file("out.pdf")));
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageMargins(QMarginsF(6, 6, 6, 6), QPageLayout::Millimeter);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(12);
    printFont = font;
  }

  QByteArray Pdf() const {
    QFile file(printer.outputFileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  int PageCount() const {
    return static_cast<int>(
        QString::fromLatin1(Pdf()).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
  }
  // The text of the PDF, through pdftotext where it is installed.
  QString PdfText() const {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
      return {};
    QProcess process;
    process.start(tool, {QStringLiteral("-layout"), printer.outputFileName(), QStringLiteral("-")});
    process.waitForFinished(60000);
    // Compatibility forms: the "fi" ligature as two letters.
    return QString::fromUtf8(process.readAllStandardOutput())
        .normalized(QString::NormalizationForm_KC);
  }

  test::TempDir dir;
  QPrinter printer{QPrinter::HighResolution};
  // The journal as the Journal page hands it over: its line count and lines.
  bool PrintView(const TKVXJournalView& view) {
    return PrintJournal(printer, printFont, view.lineCount(),
                        [&view](int line) { return view.lineBytes(line); });
  }

  QFont printFont;
};

TEST_F(PrintPdf, MacroListOfSeveralPagesInTenPoints) {
  MainState state;
  state.macroLines = ManyMacros(100);
  state.macroLines.insert(state.macroLines.end(),
                          {"F12 1 1 0", "Say Caf\xE9 \x80", "Bow", "########"});
  state.macroGrid = GridOf(100);
  state.macroGrid.push_back(GridRow("F12 ", true, true, false));
  ASSERT_TRUE(PrintMacroList(printer, printFont, state.macroGrid, state.macroLines));

  EXPECT_EQ(printFont.pointSize(), 10);
  EXPECT_EQ(printFont.family(), "DejaVu Sans");
  const int pages = PageCount();
  EXPECT_GE(pages, 2);
  EXPECT_LE(pages, 4);
  const QString text = PdfText();
  if (text.isEmpty())
    GTEST_SKIP() << "pdftotext is not installed";
  EXPECT_TRUE(text.contains("Ultima Online Macro List"));
  EXPECT_TRUE(text.contains("Page Number: " + QString::number(pages)));
  EXPECT_FALSE(text.contains("Page Number: " + QString::number(pages + 1)));
  EXPECT_TRUE(text.contains(QString::fromUtf8("Café €")));
  EXPECT_TRUE(text.contains("K99"));
}

TEST_F(PrintPdf, JournalFromTheViewInEightPoints) {
  TKVXJournalView view;
  std::string bytes;
  for (int i = 1; i <= 150; ++i)
    bytes += "Journal line " + std::to_string(i) + " na\xEFve\r\n";
  view.setBytes(bytes);
  ASSERT_TRUE(PrintView(view));

  EXPECT_EQ(printFont.pointSize(), 8);
  const int pages = PageCount();
  EXPECT_GE(pages, 2);
  const QString text = PdfText();
  if (text.isEmpty())
    GTEST_SKIP() << "pdftotext is not installed";
  EXPECT_TRUE(text.contains("Ultima Online Journal"));
  EXPECT_TRUE(text.contains(QString::fromUtf8("Journal line 150 naïve")));
  EXPECT_TRUE(text.contains("Page Number: " + QString::number(pages)));
}

TEST_F(PrintPdf, EmptyJournalIsOnePage) {
  TKVXJournalView view;
  ASSERT_TRUE(PrintView(view));
  EXPECT_EQ(PageCount(), 1);
  const QString text = PdfText();
  if (text.isEmpty())
    GTEST_SKIP() << "pdftotext is not installed";
  EXPECT_TRUE(text.contains("Page Number: 1"));
}

TEST_F(PrintPdf, ChosenPageRangeIsAllThatIsPrinted) {
  std::vector<std::string> lines(300, "some journal text");
  printer.setPrintRange(QPrinter::PageRange);
  printer.setFromTo(2, 3);
  TPrinterTarget target(printer);
  ASSERT_TRUE(PrintLines(target, lines));
  EXPECT_EQ(PageCount(), 2);
  const QString text = PdfText();
  if (text.isEmpty())
    GTEST_SKIP() << "pdftotext is not installed";
  EXPECT_FALSE(text.contains("Page Number: 1"));
  EXPECT_TRUE(text.contains("Page Number: 2"));
  EXPECT_TRUE(text.contains("Page Number: 3"));
  EXPECT_FALSE(text.contains("Page Number: 4"));
}

TEST_F(PrintPdf, CancelledJobLeavesNoFile) {
  std::vector<std::string> lines(300, "text");
  TPrinterTarget target(printer);
  EXPECT_FALSE(PrintLines(target, lines, [](int, int) { return false; }));
  EXPECT_FALSE(QFile::exists(printer.outputFileName()));
}

TEST_F(PrintPdf, FileThatCannotBeCreatedIsReported) {
  const std::string file = dir.file("missing/out.pdf");
  printer.setOutputFileName(QString::fromStdString(file));
  TKVXJournalView view;
  try {
    PrintView(view);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + file);
  }
}

} // namespace
} // namespace qv
