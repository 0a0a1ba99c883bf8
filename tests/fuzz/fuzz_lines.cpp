// The line splitter of the game's files (SplitLines, JoinLines), the journal's byte index
// (LineIndex) and the journal read on demand (JournalFile): all must split any bytes into the
// same lines, and lose nothing but the line ends (the journal's text ends at a zero byte; the
// game's files keep every byte).
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "platform/FileSystem.h"
#include "text/JournalFile.h"
#include "text/LineIndex.h"

using qv::fuzz::Input;

namespace {

char Fold(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The plain search the index's fast one must agree with.
std::size_t NaiveFind(std::string_view haystack, std::string_view needle) {
  if (needle.size() > haystack.size())
    return std::string_view::npos;
  for (std::size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() && Fold(haystack[i + k]) == Fold(needle[k]))
      ++k;
    if (k == needle.size())
      return i;
  }
  return std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> fileLines = qv::platform::SplitLines(bytes);

  // Each line is its bytes between two line ends (CR LF, LF or CR), in order, zero bytes
  // included, and nothing else is dropped.
  std::size_t pos = 0;
  for (std::size_t i = 0; i < fileLines.size(); ++i) {
    const std::string& line = fileLines[i];
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(bytes.substr(pos, line.size()) == line);
    pos += line.size();
    if (pos == bytes.size()) {
      FUZZ_CHECK(i + 1 == fileLines.size());
      break;
    }
    if (bytes.compare(pos, 2, "\r\n") == 0) {
      pos += 2;
    } else {
      FUZZ_CHECK(bytes[pos] == '\r' || bytes[pos] == '\n');
      ++pos;
    }
  }
  FUZZ_CHECK(pos == bytes.size());

  // What the program writes reads back as the same lines.
  FUZZ_CHECK(qv::platform::SplitLines(qv::platform::JoinLines(fileLines)) == fileLines);

  // The journal's text is everything before the first zero byte, split the same way.
  const std::string_view text = bytes.substr(0, bytes.find('\0'));
  const std::vector<std::string> lines = qv::platform::SplitLines(text);

  // The journal's index sees the same lines.
  qv::LineIndex index;
  index.Assign(bytes);
  FUZZ_CHECK(index.Text() == text);
  FUZZ_CHECK(index.LineCount() == lines.size());
  std::size_t longest = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    FUZZ_CHECK(index.Line(i) == lines[i]);
    FUZZ_CHECK(index.LineAtOffset(index.LineOffset(i)) == i);
    longest = std::max(longest, lines[i].size());
  }
  FUZZ_CHECK(index.LongestLineLength() == longest);
  if (!lines.empty())
    FUZZ_CHECK(index.Line(index.LongestLine()).size() == longest);
  else
    FUZZ_CHECK(index.LineAtOffset(0) == qv::LineIndex::npos);

  // Searching: the first line at or after the start that holds the needle, A-Z without case.
  Input input(data, size, 6);
  const std::string needle(input.Slice(12));
  const std::size_t from = input.Choose(lines.size() + 2);
  std::size_t expected = qv::LineIndex::npos;
  const bool splits = needle.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
  for (std::size_t i = from; !splits && i < lines.size(); ++i) {
    if (NaiveFind(lines[i], needle) != std::string_view::npos) {
      expected = i;
      break;
    }
  }
  FUZZ_CHECK(index.Find(needle, from) == expected);
  FUZZ_CHECK(qv::FindFoldedAZ(text, needle) == NaiveFind(text, needle));

  // The journal read on demand: the same lines (cut where they are too long to hold), where they
  // start, and the same search.
  qv::JournalFile document;
  document.Assign(bytes);
  FUZZ_CHECK(document.LineCount() == lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    FUZZ_CHECK(document.Line(i) == lines[i].substr(0, qv::JournalFile::kMaxLineBytes));
    FUZZ_CHECK(document.LineStart(i) == index.LineOffset(i));
  }
  FUZZ_CHECK(document.LongestLineLength() == longest);
  FUZZ_CHECK(document.Find(needle, from) == expected);

  qv::LineIndex moved = std::move(index);
  FUZZ_CHECK(moved.LineCount() == lines.size());
  moved.Clear();
  FUZZ_CHECK(moved.Empty());
  return 0;
}
