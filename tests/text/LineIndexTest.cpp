#include "text/LineIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "text/Encoding.h"

namespace qv {
namespace {

using test::TempDir;
using test::WriteBytes;

// The splitting rules written out plainly, to compare the index against.
std::vector<std::string> ReferenceLines(const std::string& bytes) {
  const std::string text = bytes.substr(0, bytes.find('\0'));
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    lines.push_back(text.substr(pos, end - pos));
    pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

std::vector<std::string> IndexedLines(const LineIndex& index) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < index.LineCount(); ++i)
    lines.emplace_back(index.Line(i));
  return lines;
}

std::vector<std::string> LoadLines(const std::string& bytes) {
  TempDir dir;
  WriteBytes(dir.file("Journal.Log"), bytes);
  LineIndex index;
  EXPECT_TRUE(index.LoadFile(dir.file("Journal.Log")));
  return IndexedLines(index);
}

using Lines = std::vector<std::string>;

TEST(LineIndexSplitting, LineEndsAndTheEndOfTheText) {
  EXPECT_EQ(LoadLines(""), Lines{});
  EXPECT_EQ(LoadLines("one"), Lines{"one"});
  EXPECT_EQ(LoadLines("one\r\ntwo"), (Lines{"one", "two"}));
  EXPECT_EQ(LoadLines("one\r\ntwo\r\n"), (Lines{"one", "two"}));
  EXPECT_EQ(LoadLines("a\rb\nc\r\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(LoadLines("\r\n"), Lines{""});
  EXPECT_EQ(LoadLines("\n\r"), (Lines{"", ""}));
  EXPECT_EQ(LoadLines("a\r\r\nb\n\nc\r"), (Lines{"a", "", "b", "", "c"}));
  // A zero byte ends the text, wherever it stands.
  EXPECT_EQ(LoadLines(std::string("ab\r\ncd\0ef\r\ngh", 14)), (Lines{"ab", "cd"}));
  EXPECT_EQ(LoadLines(std::string("\0abc\r\n", 6)), Lines{});
  EXPECT_EQ(LoadLines(std::string("ab\r\0\ncd", 7)), Lines{"ab"});
}

TEST(LineIndexSplitting, AssignSplitsAsLoadingDoes) {
  LineIndex index;
  index.Assign(std::string("x\r\ny\rz\0w", 8));
  EXPECT_EQ(IndexedLines(index), (Lines{"x", "y", "z"}));
  EXPECT_EQ(index.Text(), "x\r\ny\rz");
  index.Assign("");
  EXPECT_TRUE(index.Empty());
}

// Line ends that straddle the vector blocks and the read chunks, in random text.
TEST(LineIndexSplitting, MatchesTheRulesOnRandomText) {
  std::mt19937 rng(1234);
  const std::string alphabet = "ab\r\n\r\n\xE9";
  for (int round = 0; round < 300; ++round) {
    const std::size_t size = rng() % 200;
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i)
      bytes.push_back(alphabet[rng() % alphabet.size()]);
    if (round % 50 == 7 && !bytes.empty())
      bytes[rng() % bytes.size()] = '\0';
    LineIndex index;
    index.Assign(bytes);
    ASSERT_EQ(IndexedLines(index), ReferenceLines(bytes)) << "round " << round;
  }
}

TEST(LineIndexSplitting, CrLfAcrossTheReadChunks) {
  const std::size_t chunk = std::size_t{1} << 20;
  for (const std::size_t crAt : {chunk - 1, chunk}) {
    std::string bytes(chunk + 100, 'q');
    for (std::size_t i = 70; i < bytes.size(); i += 71)
      bytes[i] = '\n';
    bytes[crAt] = '\r';
    bytes[crAt + 1] = '\n';
    EXPECT_EQ(LoadLines(bytes), ReferenceLines(bytes)) << crAt;
    // A lone CR at the end of a chunk ends a line by itself.
    bytes[crAt + 1] = 'q';
    EXPECT_EQ(LoadLines(bytes), ReferenceLines(bytes)) << crAt;
  }
}

// Far more lines than the index first makes room for.
TEST(LineIndexSplitting, ManyShortLines) {
  std::string bytes;
  for (int i = 0; i < 600000; ++i)
    bytes += i % 3 == 0 ? "\n" : i % 3 == 1 ? "x\r" : "yz\r\n";
  TempDir dir;
  WriteBytes(dir.file("Journal.Log"), bytes);
  LineIndex index;
  ASSERT_TRUE(index.LoadFile(dir.file("Journal.Log")));
  ASSERT_EQ(index.LineCount(), 600000u);
  EXPECT_EQ(index.Line(0), "");
  EXPECT_EQ(index.Line(1), "x");
  EXPECT_EQ(index.Line(599999), "yz");
  EXPECT_EQ(index.LineAtOffset(bytes.size() - 1), 599999u);
  EXPECT_EQ(index.LongestLineLength(), 2u);
  EXPECT_EQ(index.Find("YZ", 599998), 599999u);
}

TEST(LineIndexFile, MissingFileOrDirectoryFailsAndEmpties) {
  TempDir dir;
  WriteBytes(dir.file("Journal.Log"), "a\r\nb\r\n");
  LineIndex index;
  ASSERT_TRUE(index.LoadFile(dir.file("Journal.Log")));
  EXPECT_EQ(index.LineCount(), 2u);
  EXPECT_FALSE(index.LoadFile(dir.file("missing.log")));
  EXPECT_TRUE(index.Empty());
  EXPECT_FALSE(index.LoadFile(dir.dir()));
  EXPECT_TRUE(index.Empty());
  EXPECT_EQ(index.MemoryBytes(), 0u);
}

TEST(LineIndexFile, OffsetsAndTheLongestLine) {
  LineIndex index;
  index.Assign("ab\r\ncdef\rg\n");
  ASSERT_EQ(index.LineCount(), 3u);
  EXPECT_EQ(index.LineOffset(1), 4u);
  EXPECT_EQ(index.LineAtOffset(0), 0u);
  EXPECT_EQ(index.LineAtOffset(3), 0u); // the LF of line 0
  EXPECT_EQ(index.LineAtOffset(4), 1u);
  EXPECT_EQ(index.LineAtOffset(9), 2u);
  EXPECT_EQ(index.LineAtOffset(1000), 2u);
  EXPECT_EQ(index.LongestLine(), 1u);
  EXPECT_EQ(index.LongestLineLength(), 4u);
  index.Clear();
  EXPECT_EQ(index.LineCount(), 0u);
  EXPECT_EQ(index.LongestLine(), LineIndex::npos);
  EXPECT_EQ(index.LineAtOffset(0), LineIndex::npos);
}

TEST(LineIndexFind, OnlyMatchOnTheLastLine) {
  LineIndex index;
  index.Assign("alpha\r\nbeta\r\ngamma\r\nThe DRAGON sleeps");
  EXPECT_EQ(index.Find("dragon", 0), 3u);
  EXPECT_EQ(index.Find("dragon", 3), 3u);
  EXPECT_EQ(index.Find("DRAGON sleeps", 1), 3u);
  index.Assign("alpha\r\nbeta\r\ngamma\r\nThe DRAGON sleeps\r\n");
  EXPECT_EQ(index.Find("sleepS", 1), 3u);
  EXPECT_EQ(index.Find("sleeps\r", 1), LineIndex::npos);
}

TEST(LineIndexFind, StartsAtTheGivenLine) {
  LineIndex index;
  index.Assign("needle\nhay\nneedle\nhay");
  EXPECT_EQ(index.Find("needle", 0), 0u);
  EXPECT_EQ(index.Find("needle", 1), 2u);
  EXPECT_EQ(index.Find("needle", 3), LineIndex::npos);
  EXPECT_EQ(index.Find("needle", 4), LineIndex::npos);
  EXPECT_EQ(index.Find("", 1), 1u);
  // A match never spans two lines.
  EXPECT_EQ(index.Find("hayneedle", 0), LineIndex::npos);
  EXPECT_EQ(index.Find("hay\nneedle", 0), LineIndex::npos);
}

TEST(LineIndexFind, OnlyAToZIgnoreCase) {
  LineIndex index;
  index.Assign("x\nStra\xDF"
               "e \xC0la carte\n[x] @home\n");
  EXPECT_EQ(index.Find("STRA\xDF"
                       "E",
                       0),
            1u);
  EXPECT_EQ(index.Find("\xC0LA", 0), 1u);
  EXPECT_EQ(index.Find("\xE0la", 0), LineIndex::npos); // 0xC0 and 0xE0 are different letters here
  EXPECT_EQ(index.Find("{x}", 0), LineIndex::npos);    // '[' is not a capital '{'
  EXPECT_EQ(index.Find("`HOME", 0), LineIndex::npos);  // '@' is not a capital '`'
  EXPECT_EQ(index.Find("[X] @HOME", 0), 2u);
}

std::size_t NaiveFind(const std::string& hay, const std::string& needle) {
  auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  if (needle.size() > hay.size())
    return LineIndex::npos;
  for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
    bool all = true;
    for (std::size_t k = 0; k < needle.size() && all; ++k)
      all = fold(hay[i + k]) == fold(needle[k]);
    if (all)
      return i;
  }
  return LineIndex::npos;
}

TEST(LineIndexFind, AgreesWithAPlainSearch) {
  std::mt19937 rng(99);
  const std::string alphabet = "aAbB@`[{ \xC0\xE0";
  for (int round = 0; round < 2000; ++round) {
    std::string hay;
    const std::size_t size = rng() % 90;
    for (std::size_t i = 0; i < size; ++i)
      hay.push_back(alphabet[rng() % alphabet.size()]);
    std::string needle;
    const std::size_t length = 1 + rng() % 4;
    for (std::size_t i = 0; i < length; ++i)
      needle.push_back(alphabet[rng() % alphabet.size()]);
    ASSERT_EQ(FindFoldedAZ(hay, needle), NaiveFind(hay, needle)) << hay << " / " << needle;
  }
}

TEST(Cp1252, UpperControlRangeDecodesAsWindowsDoes) {
  EXPECT_EQ(Cp1252ToUnicode(0x80), u'\u20AC');
  EXPECT_EQ(Cp1252ToUnicode(0x85), u'\u2026');
  EXPECT_EQ(Cp1252ToUnicode(0x8A), u'\u0160');
  EXPECT_EQ(Cp1252ToUnicode(0x92), u'\u2019');
  EXPECT_EQ(Cp1252ToUnicode(0x99), u'\u2122');
  EXPECT_EQ(Cp1252ToUnicode(0x9F), u'\u0178');
  for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
    EXPECT_EQ(Cp1252ToUnicode(undefined), char16_t{undefined});
  EXPECT_EQ(Cp1252ToUnicode(0x41), u'A');
  EXPECT_EQ(Cp1252ToUnicode(0xA0), u'\u00A0');
  EXPECT_EQ(Cp1252ToUnicode(0xFF), u'\u00FF');
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(UnicodeToCp1252(Cp1252ToUnicode(static_cast<unsigned char>(b))), b);
  EXPECT_EQ(UnicodeToCp1252(u'\u0080'), -1);
  EXPECT_EQ(UnicodeToCp1252(u'\u0100'), -1);
}

} // namespace
} // namespace qv
