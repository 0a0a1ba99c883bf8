#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A text file's bytes held in one buffer, with an index of where each line starts. Lines are
// split at CR LF, LF or CR, as in the game's files; unlike there, a zero byte ends the text.
// Nothing is decoded or copied per line, so a journal of hundreds of MB is read, indexed and
// searched in a fraction of a second and costs its own size plus 8 bytes per line.
namespace qv {

// The first position in haystack where needle occurs, letters A-Z and a-z compared without regard
// to case and every other byte exactly; npos when it does not occur. An empty needle is found at 0.
std::size_t FindFoldedAZ(std::string_view haystack, std::string_view needle);

// Raw memory for a big text, taken straight from the system where that helps: on Linux in huge
// pages, so that reading 500 MB costs a few hundred page faults instead of 128,000 and freeing it
// is immediate. Small blocks come from the heap.
class LargeBuffer {
public:
  LargeBuffer() = default;
  // Throws std::bad_alloc.
  explicit LargeBuffer(std::size_t bytes);
  ~LargeBuffer() { Reset(); }
  LargeBuffer(LargeBuffer&& other) noexcept;
  LargeBuffer& operator=(LargeBuffer&& other) noexcept;
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  char* Data() const { return m_data; }
  std::size_t Size() const { return m_size; }
  void Reset();

private:
  char* m_data = nullptr;
  std::size_t m_size = 0;
  void* m_mapping = nullptr; // set when the block is a mapping of its own
  std::size_t m_mappingSize = 0;
};

class LineIndex {
public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  LineIndex() = default;
  ~LineIndex();
  LineIndex(LineIndex&& other) noexcept;
  LineIndex& operator=(LineIndex&& other) noexcept;
  LineIndex(const LineIndex&) = delete;
  LineIndex& operator=(const LineIndex&) = delete;

  // Reads the whole file (a host path, UTF-8) and indexes it, replacing what was held. False when
  // it cannot be opened or read, or memory runs out; the index is then empty.
  bool LoadFile(const std::string& hostPath);
  // Holds a copy of the bytes, indexed the same way.
  void Assign(std::string_view bytes);
  // Empties the index and gives its memory back.
  void Clear();

  std::size_t LineCount() const { return m_lineCount; }
  bool Empty() const { return m_lineCount == 0; }
  // The bytes of line i (0-based, i < LineCount()), without its line end.
  std::string_view Line(std::size_t i) const;
  // Offset of line i's first byte in Text().
  std::uint64_t LineOffset(std::size_t i) const { return Starts()[i]; }
  // The line that holds the byte at offset (offsets of a line end belong to their line); offsets
  // past the text give the last line. npos when there are no lines.
  std::size_t LineAtOffset(std::uint64_t offset) const;
  // The text: the bytes up to the first zero byte or the end of the file, line ends included.
  std::string_view Text() const { return {m_text.Data(), m_textSize}; }
  // A longest line (in bytes) and its length; npos and 0 when there are no lines.
  std::size_t LongestLine() const { return m_longestLine; }
  std::size_t LongestLineLength() const { return m_longestLength; }

  // The first line at or after fromLine in which needle occurs (FindFoldedAZ's rules), or npos.
  // A needle holding CR, LF or a zero byte occurs in no line. An empty needle occurs in every
  // line.
  std::size_t Find(std::string_view needle, std::size_t fromLine) const;

  // Bytes reserved for the text and the index (the index keeps some room to grow).
  std::size_t MemoryBytes() const;

private:
  void BeginIndex(std::size_t textBytes);
  std::size_t IndexBytes(std::size_t begin, std::size_t end, std::size_t avail);
  void EndIndex();
  void NoteLength(std::size_t line, std::size_t length);
  const std::uint64_t* Starts() const {
    return reinterpret_cast<const std::uint64_t*>(m_starts.Data());
  }

  LargeBuffer m_text;
  std::size_t m_textSize = 0;
  LargeBuffer m_starts;
  std::size_t m_startsCapacity = 0;
  std::size_t m_lineCount = 0;
  std::size_t m_longestLine = npos;
  std::size_t m_longestLength = 0;
};

} // namespace qv
