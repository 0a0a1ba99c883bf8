#include "text/JournalFile.h"

#include "text/LineIndex.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <new>
#include <utility>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define QV_JOURNALFILE_SSE2 1
#endif

namespace qv {

namespace {

// Lines per index entry, and the most bytes between two entries (at the next line start), so that
// a group is read in one go and the index stays small for short and long lines alike: at most
// 32 MiB for the most lines the view counts (2^31 - 1, a 2 GiB file of bare LF bytes), 120 KiB
// for a journal of 500 MiB.
constexpr std::uint64_t kGroupLines = 1024;
constexpr std::uint64_t kGroupBytes = std::uint64_t{1} << 20;
// The worker's read size; the cancel flag is looked at after each.
constexpr std::size_t kIndexChunk = std::size_t{1} << 20;
// The search's read size.
constexpr std::size_t kSearchChunk = std::size_t{4} << 20;
// Groups kept in the cache: a screen, a print page and a search hit need one or two each.
constexpr std::size_t kCachedBlocks = 8;

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(
      std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

// Calls onByte(i) for each byte in d[0, n) that is a zero, CR or LF, in order; stops when it
// returns false.
template <typename OnByte>
void ForEachBreakByte(const unsigned char* d, std::size_t n, OnByte&& onByte) {
  std::size_t i = 0;
#ifdef QV_JOURNALFILE_SSE2
  const __m128i zero = _mm_setzero_si128();
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
        _mm_cmpeq_epi8(v, zero), _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)))));
    while (mask != 0) {
      if (!onByte(i + static_cast<unsigned>(std::countr_zero(mask))))
        return;
      mask &= mask - 1;
    }
  }
#endif
  for (; i < n; ++i) {
    const unsigned char c = d[i];
    if ((c == 0 || c == '\n' || c == '\r') && !onByte(i))
      return;
  }
}

} // namespace

// Where the bytes come from: a file, read through a stream of each reader's own, or a copy held
// in memory.
struct JournalFile::Source {
  std::filesystem::path path;
  std::string bytes;
  bool inMemory = false;
};

namespace {

class Reader {
public:
  Reader(const std::filesystem::path& path, const std::string* memory) : m_memory(memory) {
    if (m_memory == nullptr)
      m_in.open(path, std::ios::binary);
  }
  // Reads up to n bytes at offset; fewer (or none) where the data ends.
  std::size_t Read(std::uint64_t offset, char* out, std::size_t n) {
    if (m_memory != nullptr) {
      if (offset >= m_memory->size())
        return 0;
      const std::size_t got =
          std::min<std::size_t>(n, m_memory->size() - static_cast<std::size_t>(offset));
      std::memcpy(out, m_memory->data() + offset, got);
      return got;
    }
    if (!m_in.is_open())
      return 0;
    m_in.clear();
    m_in.seekg(static_cast<std::streamoff>(offset));
    if (!m_in)
      return 0;
    m_in.read(out, static_cast<std::streamsize>(n));
    return static_cast<std::size_t>(m_in.gcount());
  }

private:
  const std::string* m_memory;
  std::ifstream m_in;
};

Reader ReaderFor(const std::filesystem::path& path, const std::string& bytes, bool inMemory) {
  return Reader(path, inMemory ? &bytes : nullptr);
}

std::mutex g_faultMutex;
JournalFile::IndexFaultHook g_faultHook;

JournalFile::IndexFaultHook CurrentFaultHook() {
  const std::lock_guard lock(g_faultMutex);
  return g_faultHook;
}

} // namespace

struct JournalFile::Block {
  std::size_t group = 0;
  std::size_t firstLine = 0;
  std::vector<std::uint64_t> starts;
  std::vector<std::string> lines;
  std::size_t bytes = 0;
};

JournalFile::JournalFile() = default;

JournalFile::~JournalFile() {
  Close();
}

void JournalFile::Close() {
  m_cancel.store(true);
  if (m_worker.joinable())
    m_worker.join();
  m_cancel.store(false);
  {
    const std::lock_guard lock(m_mutex);
    m_checkpoints.clear();
    m_checkpoints.shrink_to_fit();
    m_indexedEnd = 0;
    m_textEnd = 0;
    m_done = true;
    m_failure = Failure::None;
    m_longestLine = npos;
    m_longestLength = 0;
    m_lineCount.store(0);
    m_bytesDone.store(0);
  }
  {
    const std::lock_guard lock(m_cacheMutex);
    m_cache.clear();
  }
  m_source.reset();
  m_bytesTotal = 0;
  m_openedTime = {};
}

bool JournalFile::Open(const std::string& hostPath, std::size_t maxLines) {
  Close();
  auto source = std::make_unique<Source>();
  source->path = PathOf(hostPath);
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(source->path, ec);
  if (ec)
    return false;
  const auto time = std::filesystem::last_write_time(source->path, ec);
  if (ec)
    return false;
  if (!std::ifstream(source->path, std::ios::binary))
    return false;
  m_source = std::move(source);
  m_bytesTotal = size;
  m_openedTime = time;
  StartWorker(maxLines);
  return true;
}

void JournalFile::Assign(std::string_view bytes, std::size_t maxLines) {
  Close();
  auto source = std::make_unique<Source>();
  source->bytes.assign(bytes);
  source->inMemory = true;
  m_source = std::move(source);
  m_bytesTotal = bytes.size();
  {
    const std::lock_guard lock(m_mutex);
    m_checkpoints.push_back({0, 0});
    m_done = false;
  }
  Index(maxLines);
}

void JournalFile::StartWorker(std::size_t maxLines) {
  {
    const std::lock_guard lock(m_mutex);
    m_checkpoints.push_back({0, 0});
    m_done = false;
  }
  m_worker = std::thread([this, maxLines] { Index(maxLines); });
}

void JournalFile::Index(std::size_t maxLines) {
  std::uint64_t pos = 0;       // file offset of the chunk
  std::uint64_t lineStart = 0; // where the line being scanned starts
  std::size_t count = 0;       // lines ended so far
  Checkpoint last{0, 0};
  std::vector<Checkpoint> pending;
  std::size_t longest = npos;
  std::size_t longestLength = 0;
  std::uint64_t textEnd = m_bytesTotal;
  Failure failure = Failure::None;
  bool pendingCr = false; // the chunk before ended with a CR whose LF may follow
  bool stop = false;

  const auto note = [&](std::size_t line, std::uint64_t length) {
    if (longest == npos || length > longestLength) {
      longest = line;
      longestLength = static_cast<std::size_t>(length);
    }
  };
  // A line ends: its text ends at contentEnd, the next line starts at next.
  const auto lineEnd = [&](std::uint64_t contentEnd, std::uint64_t next) {
    note(count, contentEnd - lineStart);
    ++count;
    lineStart = next;
    if (count >= maxLines) {
      failure = Failure::TooManyLines;
      textEnd = next;
      stop = true;
      return;
    }
    if (count - last.line >= kGroupLines || next - last.offset >= kGroupBytes) {
      last = Checkpoint{next, count};
      pending.push_back(last);
    }
  };
  const auto publish = [&](bool done) {
    const std::lock_guard lock(m_mutex);
    m_checkpoints.insert(m_checkpoints.end(), pending.begin(), pending.end());
    pending.clear();
    m_indexedEnd = lineStart;
    m_longestLine = longest;
    m_longestLength = longestLength;
    m_bytesDone.store(done ? m_bytesTotal : std::min(pos, m_bytesTotal));
    if (done) {
      m_textEnd = textEnd;
      m_failure = failure;
      m_done = true;
    }
    m_lineCount.store(count, std::memory_order_release);
    m_progress.notify_all();
  };

  try {
    const IndexFaultHook fault = CurrentFaultHook();
    Reader reader = ReaderFor(m_source->path, m_source->bytes, m_source->inMemory);
    std::vector<char> chunk(kIndexChunk);
    const auto* d = reinterpret_cast<const unsigned char*>(chunk.data());
    while (!stop && pos < m_bytesTotal) {
      if (m_cancel.load(std::memory_order_relaxed))
        return;
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(kIndexChunk, m_bytesTotal - pos));
      const std::size_t n = reader.Read(pos, chunk.data(), want);
      if (n == 0) { // the file shrank while being read: keep what is there
        textEnd = pos;
        break;
      }
      const bool crBefore = pendingCr; // the chunk before ended with a CR
      if (pendingCr) {
        pendingCr = false;
        if (d[0] != '\n')
          lineEnd(pos - 1, pos);
      }
      const bool atEnd = pos + n >= m_bytesTotal || n < want;
      ForEachBreakByte(d, stop ? 0 : n, [&](std::size_t i) {
        const unsigned char c = d[i];
        if (c == 0) {
          textEnd = pos + i;
          stop = true;
          return false;
        }
        if (c == '\n') {
          const bool pair = i > 0 ? d[i - 1] == '\r' : crBefore;
          lineEnd(pos + i - (pair ? 1 : 0), pos + i + 1);
        } else if (i + 1 < n) {
          if (d[i + 1] != '\n')
            lineEnd(pos + i, pos + i + 1);
        } else if (atEnd) {
          lineEnd(pos + i, pos + i + 1);
        } else {
          pendingCr = true;
        }
        return !stop;
      });
      pos += n;
      if (n < want) {
        textEnd = pos;
        break;
      }
      if (!stop && pos < m_bytesTotal) {
        publish(false);
        if (fault && fault(pos))
          throw std::bad_alloc();
      }
    }
    if (pendingCr && !stop) // the file shrank to end with this CR
      lineEnd(pos - 1, pos);
    if (failure == Failure::None && lineStart < textEnd) { // a last line without a line end
      note(count, textEnd - lineStart);
      ++count;
      lineStart = textEnd;
    }
    publish(true);
  } catch (const std::bad_alloc&) {
    // What was published stays usable: its lines and its index agree. (Lines counted since
    // have no index entries, so they are dropped.)
    const std::lock_guard lock(m_mutex);
    m_failure = Failure::OutOfMemory;
    m_textEnd = m_indexedEnd;
    m_done = true;
    m_progress.notify_all();
  }
}

bool JournalFile::Indexing() const {
  const std::lock_guard lock(m_mutex);
  return !m_done;
}

void JournalFile::WaitForIndex() const {
  std::unique_lock lock(m_mutex);
  m_progress.wait(lock, [this] { return m_done; });
}

void JournalFile::WaitForLines(std::size_t lines) const {
  std::unique_lock lock(m_mutex);
  m_progress.wait(lock, [this, lines] { return m_done || LineCount() > lines; });
}

JournalFile::Failure JournalFile::IndexFailure() const {
  const std::lock_guard lock(m_mutex);
  return m_failure;
}

std::size_t JournalFile::LongestLine() const {
  const std::lock_guard lock(m_mutex);
  return m_longestLine;
}

std::size_t JournalFile::LongestLineLength() const {
  const std::lock_guard lock(m_mutex);
  return m_longestLength;
}

std::shared_ptr<const JournalFile::Block> JournalFile::GroupBlock(std::size_t group) const {
  Checkpoint first{};
  std::size_t lines = 0;
  std::uint64_t end = 0;
  {
    const std::lock_guard lock(m_mutex);
    if (group >= m_checkpoints.size())
      return nullptr;
    first = m_checkpoints[group];
    if (group + 1 < m_checkpoints.size()) {
      lines = static_cast<std::size_t>(m_checkpoints[group + 1].line - first.line);
      end = m_checkpoints[group + 1].offset;
    } else {
      lines = LineCount() - static_cast<std::size_t>(first.line);
      end = m_done ? m_textEnd : m_indexedEnd;
    }
  }
  const std::lock_guard cacheLock(m_cacheMutex);
  for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
    if ((*it)->group == group && (*it)->lines.size() == lines) {
      m_cache.splice(m_cache.begin(), m_cache, it);
      return m_cache.front();
    }
  }

  // Every line of a group starts within kGroupBytes of its first (see Index), so this holds them
  // all, each up to its cut.
  const std::uint64_t readEnd =
      std::min<std::uint64_t>(end, first.offset + kGroupBytes + kMaxLineBytes + 2);
  const std::string bytes = ReadRange(first.offset, std::max(first.offset, readEnd));
  auto block = std::make_shared<Block>();
  block->group = group;
  block->firstLine = static_cast<std::size_t>(first.line);
  block->starts.reserve(lines);
  block->lines.reserve(lines);
  std::size_t p = 0;
  for (std::size_t k = 0; k < lines; ++k) {
    block->starts.push_back(first.offset + p);
    if (p >= bytes.size()) { // the file is shorter now
      block->lines.emplace_back();
      continue;
    }
    std::size_t q = p;
    while (q < bytes.size() && bytes[q] != '\n' && bytes[q] != '\r')
      ++q;
    block->lines.emplace_back(bytes, p, std::min(q - p, kMaxLineBytes));
    block->bytes += block->lines.back().size();
    p = q + 1;
    if (q + 1 < bytes.size() && bytes[q] == '\r' && bytes[q + 1] == '\n')
      ++p;
  }
  m_cache.push_front(std::move(block));
  if (m_cache.size() > kCachedBlocks)
    m_cache.pop_back();
  return m_cache.front();
}

std::shared_ptr<const JournalFile::Block> JournalFile::BlockFor(std::size_t line) const {
  std::size_t group = 0;
  {
    const std::lock_guard lock(m_mutex);
    const auto it = std::upper_bound(
        m_checkpoints.begin(), m_checkpoints.end(), static_cast<std::uint64_t>(line),
        [](std::uint64_t l, const Checkpoint& c) { return l < c.line; });
    if (it == m_checkpoints.begin())
      return nullptr;
    group = static_cast<std::size_t>(it - m_checkpoints.begin()) - 1;
  }
  return GroupBlock(group);
}

std::string JournalFile::Line(std::size_t i) const {
  if (i >= LineCount())
    return {};
  const auto block = BlockFor(i);
  if (!block || i - block->firstLine >= block->lines.size())
    return {};
  return block->lines[i - block->firstLine];
}

std::uint64_t JournalFile::LineStart(std::size_t i) const {
  if (i >= LineCount())
    return npos;
  const auto block = BlockFor(i);
  if (!block || i - block->firstLine >= block->starts.size())
    return npos;
  return block->starts[i - block->firstLine];
}

std::string JournalFile::ReadRange(std::uint64_t begin, std::uint64_t end) const {
  if (!m_source || end <= begin)
    return {};
  std::string bytes(static_cast<std::size_t>(end - begin), '\0');
  Reader reader = ReaderFor(m_source->path, m_source->bytes, m_source->inMemory);
  bytes.resize(reader.Read(begin, bytes.data(), bytes.size()));
  return bytes;
}

std::size_t JournalFile::LineAtOffset(std::uint64_t offset) const {
  std::size_t group = 0;
  {
    std::unique_lock lock(m_mutex);
    m_progress.wait(lock, [&] { return m_done || m_indexedEnd > offset; });
    const auto it =
        std::upper_bound(m_checkpoints.begin(), m_checkpoints.end(), offset,
                         [](std::uint64_t o, const Checkpoint& c) { return o < c.offset; });
    if (it == m_checkpoints.begin())
      return npos;
    group = static_cast<std::size_t>(it - m_checkpoints.begin()) - 1;
  }
  // A group of no lines (after the last line end) gives the line before it.
  for (;;) {
    const auto block = GroupBlock(group);
    if (!block)
      return npos;
    if (!block->starts.empty()) {
      const auto it = std::upper_bound(block->starts.begin(), block->starts.end(), offset);
      return block->firstLine + static_cast<std::size_t>(it - block->starts.begin()) - 1;
    }
    if (group == 0)
      return npos;
    --group;
  }
}

std::size_t JournalFile::Find(std::string_view needle, std::size_t fromLine) const {
  if (needle.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    return npos;
  WaitForLines(fromLine);
  if (fromLine >= LineCount())
    return npos;
  if (needle.empty())
    return fromLine;
  const std::uint64_t base = LineStart(fromLine);
  if (base == npos)
    return npos;

  Reader reader = ReaderFor(m_source->path, m_source->bytes, m_source->inMemory);
  std::string buffer(kSearchChunk + needle.size(), '\0');
  std::uint64_t pos = base; // file offset of the bytes after the kept ones
  std::size_t kept = 0;     // bytes kept from the chunk before, for a match across chunks
  for (;;) {
    std::uint64_t limit = m_bytesTotal;
    {
      const std::lock_guard lock(m_mutex);
      if (m_done)
        limit = m_textEnd;
    }
    if (pos >= limit)
      return npos;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kSearchChunk, limit - pos));
    const std::size_t n = reader.Read(pos, buffer.data() + kept, want);
    if (n == 0)
      return npos;
    std::string_view region(buffer.data(), kept + n);
    // Not indexed that far yet: the text may end at a zero byte here.
    bool last = n < want;
    if (const void* zero = std::memchr(region.data() + kept, 0, n)) {
      region = region.substr(
          0, static_cast<std::size_t>(static_cast<const char*>(zero) - region.data()));
      last = true;
    }
    const std::size_t at = FindFoldedAZ(region, needle);
    if (at != LineIndex::npos)
      return LineAtOffset(pos - kept + at);
    if (last)
      return npos;
    const std::size_t keep = std::min(needle.size() - 1, region.size());
    std::memmove(buffer.data(), region.data() + region.size() - keep, keep);
    pos += n;
    kept = keep;
  }
}

void JournalFile::SetIndexFaultHook(IndexFaultHook hook) {
  const std::lock_guard lock(g_faultMutex);
  g_faultHook = std::move(hook);
}

bool JournalFile::Changed() const {
  if (!m_source || m_source->inMemory)
    return false;
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(m_source->path, ec);
  if (ec)
    return true;
  const auto time = std::filesystem::last_write_time(m_source->path, ec);
  return ec || size != m_bytesTotal || time != m_openedTime;
}

std::size_t JournalFile::MemoryBytes() const {
  std::size_t bytes = 0;
  {
    const std::lock_guard lock(m_mutex);
    bytes += m_checkpoints.size() * sizeof(Checkpoint);
  }
  const std::lock_guard lock(m_cacheMutex);
  for (const auto& block : m_cache)
    bytes += block->bytes + block->lines.size() * (sizeof(std::string) + sizeof(std::uint64_t));
  return bytes;
}

} // namespace qv
