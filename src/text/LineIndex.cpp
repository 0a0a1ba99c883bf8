#include "text/LineIndex.h"

#include "text/Ascii.h"

#include <algorithm>
#include <array>
#include <bit>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define QV_LINEINDEX_SSE2 1
#endif

namespace qv {

namespace {

// How common a byte is in a journal's text; the search anchors on the two rarest bytes of the
// needle, so that few places need a full comparison.
int Commonness(unsigned char c) {
  if (c == ' ')
    return 250;
  static constexpr std::string_view kFrequent = "etaoinsrhldcumfpgwybvkxjqz";
  if (c >= 'a' && c <= 'z')
    return 200 - 4 * static_cast<int>(kFrequent.find(static_cast<char>(c)));
  if (c >= '0' && c <= '9')
    return 90;
  if (c < 0x80)
    return 60;
  return 10;
}

// Read size per call; small enough that each chunk is indexed while it is in the cache.
constexpr std::size_t kReadChunk = std::size_t{1} << 20;

// Calls sink(base, mask) for the line ends in [begin, end): bit k of mask stands for the byte at
// base + k, which ends a line (an LF, or a CR not directly followed by an LF; the LF of a CR LF
// pair ends the line). The byte at `end` is looked at, to pair a CR, only when end < avail.
// Returns the position of the first zero byte in [begin, end), or npos; line ends after it are not
// reported.
template <typename Sink>
std::size_t ScanLineEnds(const unsigned char* d, std::size_t begin, std::size_t end,
                         std::size_t avail, Sink&& sink) {
  std::size_t i = begin;
#ifdef QV_LINEINDEX_SSE2
  const __m128i zero = _mm_setzero_si128();
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  for (; i + 16 <= end; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const unsigned special = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
        _mm_cmpeq_epi8(v, zero), _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)))));
    if (special == 0)
      continue;
    const unsigned zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)));
    const unsigned lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
    const unsigned crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
    const unsigned nextIsLf = (i + 16 < avail && d[i + 16] == '\n') ? 1u : 0u;
    unsigned ends = lfs | (crs & ~((lfs >> 1) | (nextIsLf << 15)));
    if (zeros != 0) {
      const unsigned at = static_cast<unsigned>(std::countr_zero(zeros));
      ends &= (1u << at) - 1u;
      if (ends != 0)
        sink(i, ends);
      return i + at;
    }
    if (ends != 0)
      sink(i, ends);
  }
#endif
  for (; i < end; ++i) {
    const unsigned char c = d[i];
    if (c == 0)
      return i;
    if (c == '\n' || (c == '\r' && !(i + 1 < avail && d[i + 1] == '\n')))
      sink(i, 1u);
  }
  return LineIndex::npos;
}

// A needle byte that candidate places are checked on first.
struct Anchor {
  std::size_t offset;
  unsigned char folded;
  unsigned char orMask; // 0x20 for a letter: folds 'A'-'Z' onto 'a'-'z' and nothing else onto it
};

bool MatchesAt(const unsigned char* h, const std::string& foldedNeedle) {
  for (std::size_t k = 0; k < foldedNeedle.size(); ++k) {
    if (static_cast<unsigned char>(FoldAscii(static_cast<char>(h[k]))) !=
        static_cast<unsigned char>(foldedNeedle[k]))
      return false;
  }
  return true;
}

} // namespace

std::size_t FindFoldedAZ(std::string_view haystack, std::string_view needle) {
  const std::size_t n = needle.size();
  if (n == 0)
    return 0;
  if (n > haystack.size())
    return LineIndex::npos;
  std::string folded(n, '\0');
  for (std::size_t k = 0; k < n; ++k)
    folded[k] = FoldAscii(needle[k]);

  // The two rarest bytes of the needle (the same one twice for a one-byte needle).
  std::size_t first = 0;
  for (std::size_t k = 1; k < n; ++k) {
    if (Commonness(static_cast<unsigned char>(folded[k])) <
        Commonness(static_cast<unsigned char>(folded[first])))
      first = k;
  }
  std::size_t second = first;
  for (std::size_t k = 0; k < n; ++k) {
    if (k != first &&
        (second == first || Commonness(static_cast<unsigned char>(folded[k])) <
                                Commonness(static_cast<unsigned char>(folded[second]))))
      second = k;
  }
  auto anchor = [&](std::size_t k) {
    const auto c = static_cast<unsigned char>(folded[k]);
    return Anchor{k, c, static_cast<unsigned char>(IsAsciiLetter(static_cast<char>(c)) ? 0x20 : 0)};
  };
  const Anchor a1 = anchor(first);
  const Anchor a2 = anchor(second);

  const auto* h = reinterpret_cast<const unsigned char*>(haystack.data());
  const std::size_t last = haystack.size() - n; // the last possible start
  std::size_t i = 0;
#ifdef QV_LINEINDEX_SSE2
  const __m128i t1 = _mm_set1_epi8(static_cast<char>(a1.folded));
  const __m128i m1 = _mm_set1_epi8(static_cast<char>(a1.orMask));
  const __m128i t2 = _mm_set1_epi8(static_cast<char>(a2.folded));
  const __m128i m2 = _mm_set1_epi8(static_cast<char>(a2.orMask));
  for (; i + 15 <= last; i += 16) {
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + a1.offset));
    const __m128i b2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + a2.offset));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
        _mm_cmpeq_epi8(_mm_or_si128(b1, m1), t1), _mm_cmpeq_epi8(_mm_or_si128(b2, m2), t2))));
    while (mask != 0) {
      const std::size_t at = i + static_cast<unsigned>(std::countr_zero(mask));
      if (MatchesAt(h + at, folded))
        return at;
      mask &= mask - 1;
    }
  }
#endif
  for (; i <= last; ++i) {
    if ((h[i + a1.offset] | a1.orMask) == a1.folded &&
        (h[i + a2.offset] | a2.orMask) == a2.folded && MatchesAt(h + i, folded))
      return i;
  }
  return LineIndex::npos;
}

#if defined(__linux__)
namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}
#endif

LargeBuffer::LargeBuffer(std::size_t bytes) : m_size(bytes) {
#if defined(__linux__)
  if (bytes >= kHugePage) {
    // One spare huge page, so that the block can start on a huge-page boundary.
    const std::size_t length = (bytes + 2 * kHugePage - 1) / kHugePage * kHugePage;
    void* mapping =
        mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
      throw std::bad_alloc();
    const auto address = reinterpret_cast<std::uintptr_t>(mapping);
    const std::uintptr_t aligned = (address + kHugePage - 1) / kHugePage * kHugePage;
    madvise(reinterpret_cast<void*>(aligned), length - (aligned - address), MADV_HUGEPAGE);
    m_mapping = mapping;
    m_mappingSize = length;
    m_data = reinterpret_cast<char*>(aligned);
    return;
  }
#endif
  m_data = new char[bytes == 0 ? 1 : bytes];
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept {
  *this = std::move(other);
}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
  if (this != &other) {
    Reset();
    m_data = std::exchange(other.m_data, nullptr);
    m_size = std::exchange(other.m_size, 0);
    m_mapping = std::exchange(other.m_mapping, nullptr);
    m_mappingSize = std::exchange(other.m_mappingSize, 0);
  }
  return *this;
}

void LargeBuffer::Reset() {
#if defined(__linux__)
  if (m_mapping != nullptr)
    munmap(m_mapping, m_mappingSize);
  else
#endif
    delete[] m_data;
  m_data = nullptr;
  m_size = 0;
  m_mapping = nullptr;
  m_mappingSize = 0;
}

LineIndex::~LineIndex() = default;

LineIndex::LineIndex(LineIndex&& other) noexcept {
  *this = std::move(other);
}

LineIndex& LineIndex::operator=(LineIndex&& other) noexcept {
  if (this != &other) {
    m_text = std::move(other.m_text);
    m_textSize = std::exchange(other.m_textSize, 0);
    m_starts = std::move(other.m_starts);
    m_startsCapacity = std::exchange(other.m_startsCapacity, 0);
    m_lineCount = std::exchange(other.m_lineCount, 0);
    m_longestLine = std::exchange(other.m_longestLine, npos);
    m_longestLength = std::exchange(other.m_longestLength, 0);
  }
  return *this;
}

void LineIndex::Clear() {
  m_starts.Reset();
  m_startsCapacity = 0;
  m_text.Reset();
  m_textSize = 0;
  m_lineCount = 0;
  m_longestLine = npos;
  m_longestLength = 0;
}

bool LineIndex::LoadFile(const std::string& hostPath) {
  Clear();
  try {
    const std::filesystem::path path(
        std::u8string_view(reinterpret_cast<const char8_t*>(hostPath.data()), hostPath.size()));
    std::error_code ec;
    const std::uintmax_t fileSize = std::filesystem::file_size(path, ec);
    if (ec || fileSize > std::numeric_limits<std::size_t>::max() / 2)
      return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
      return false;
    const auto size = static_cast<std::size_t>(fileSize);
    m_text = LargeBuffer(size);
    BeginIndex(size);

    // Index each chunk while it is in the cache; the last byte of a chunk waits for the next one,
    // which may hold the LF of its CR.
    std::size_t got = 0;
    std::size_t scanned = 0;
    std::size_t textEnd = npos;
    while (got < size) {
      const std::size_t want = std::min(kReadChunk, size - got);
      in.read(m_text.Data() + got, static_cast<std::streamsize>(want));
      const auto n = static_cast<std::size_t>(in.gcount());
      got += n;
      if (got > scanned + 1) {
        textEnd = IndexBytes(scanned, got - 1, got);
        scanned = got - 1;
        if (textEnd != npos)
          break;
      }
      if (n < want) // the file shrank while being read: keep what is there
        break;
    }
    if (textEnd == npos)
      textEnd = IndexBytes(scanned, got, got);
    m_textSize = textEnd == npos ? got : textEnd;
    EndIndex();
    return true;
  } catch (const std::bad_alloc&) {
    Clear();
    return false;
  } catch (const std::filesystem::filesystem_error&) {
    Clear();
    return false;
  }
}

void LineIndex::Assign(std::string_view bytes) {
  Clear();
  m_text = LargeBuffer(bytes.size());
  std::copy(bytes.begin(), bytes.end(), m_text.Data());
  BeginIndex(bytes.size());
  const std::size_t textEnd = IndexBytes(0, bytes.size(), bytes.size());
  m_textSize = textEnd == npos ? bytes.size() : textEnd;
  EndIndex();
}

void LineIndex::BeginIndex(std::size_t textBytes) {
  // Room for lines of 40 bytes on average (a journal's are longer); more is added when needed.
  m_startsCapacity = textBytes / 40 + 256;
  m_starts = LargeBuffer(m_startsCapacity * sizeof(std::uint64_t));
  reinterpret_cast<std::uint64_t*>(m_starts.Data())[0] = 0;
  m_lineCount = 1;
  m_longestLine = npos;
  m_longestLength = 0;
}

void LineIndex::NoteLength(std::size_t line, std::size_t length) {
  if (m_longestLine == npos || length > m_longestLength) {
    m_longestLine = line;
    m_longestLength = length;
  }
}

// Records the line starts after the line ends in [begin, end) of the text (see ScanLineEnds).
std::size_t LineIndex::IndexBytes(std::size_t begin, std::size_t end, std::size_t avail) {
  const auto* d = reinterpret_cast<const unsigned char*>(m_text.Data());
  auto* starts = reinterpret_cast<std::uint64_t*>(m_starts.Data());
  std::size_t count = m_lineCount;
  std::size_t lineStart = starts[count - 1];
  const std::size_t textEnd =
      ScanLineEnds(d, begin, end, avail, [&](std::size_t base, unsigned mask) {
        while (mask != 0) {
          const std::size_t pos = base + static_cast<unsigned>(std::countr_zero(mask));
          mask &= mask - 1;
          const bool pair = d[pos] == '\n' && pos > lineStart && d[pos - 1] == '\r';
          const std::size_t length = pos - lineStart - (pair ? 1 : 0);
          if (length > m_longestLength || m_longestLine == npos)
            NoteLength(count - 1, length);
          if (count == m_startsCapacity) {
            LargeBuffer larger(2 * m_startsCapacity * sizeof(std::uint64_t));
            std::copy(starts, starts + count, reinterpret_cast<std::uint64_t*>(larger.Data()));
            m_starts = std::move(larger);
            m_startsCapacity *= 2;
            starts = reinterpret_cast<std::uint64_t*>(m_starts.Data());
          }
          lineStart = pos + 1;
          starts[count++] = lineStart;
        }
      });
  m_lineCount = count;
  return textEnd;
}

void LineIndex::EndIndex() {
  const std::uint64_t lastStart = Starts()[m_lineCount - 1];
  if (lastStart == m_textSize)
    --m_lineCount; // the text ends with a line end (or is empty): no line after it
  else
    NoteLength(m_lineCount - 1, m_textSize - lastStart);
  if (m_lineCount == 0) {
    m_starts.Reset();
    m_startsCapacity = 0;
  }
}

std::string_view LineIndex::Line(std::size_t i) const {
  const std::uint64_t* starts = Starts();
  const char* text = m_text.Data();
  const std::size_t begin = starts[i];
  std::size_t end = i + 1 < m_lineCount ? starts[i + 1] : m_textSize;
  if (end > begin && text[end - 1] == '\n')
    --end;
  if (end > begin && text[end - 1] == '\r')
    --end;
  return {text + begin, end - begin};
}

std::size_t LineIndex::LineAtOffset(std::uint64_t offset) const {
  if (m_lineCount == 0)
    return npos;
  const std::uint64_t* begin = Starts();
  const std::uint64_t* it = std::upper_bound(begin, begin + m_lineCount, offset);
  return static_cast<std::size_t>(it - begin) - 1;
}

std::size_t LineIndex::Find(std::string_view needle, std::size_t fromLine) const {
  if (fromLine >= m_lineCount)
    return npos;
  if (needle.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    return npos;
  if (needle.empty())
    return fromLine;
  const std::size_t base = Starts()[fromLine];
  const std::size_t at = FindFoldedAZ(Text().substr(base), needle);
  return at == npos ? npos : LineAtOffset(base + at);
}

std::size_t LineIndex::MemoryBytes() const {
  return m_text.Size() + m_starts.Size();
}

} // namespace qv
