#pragma once

// The journal as a document that stays on disk: lines are read when they are shown, searched or
// printed, so that a journal of any size costs a few MiB. A worker thread indexes the file; the
// lines it has reached are usable at once and their count grows until it is done.
//
// Lines follow LineIndex's rules: split at CR LF, LF or CR; a zero byte ends the text. The index
// is sparse: it keeps where every 1024th line starts (and one start at least every MiB), and a
// few recently read groups of lines are cached.
//
// Reads are positional reads on a stream opened per read, never a mapping: the game appends to
// the journal and Clear truncates it, and a mapping would fault on bytes that are gone. A file
// that changed under the document gives short or empty lines until it is opened again; Changed()
// tells.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace qv {

class JournalFile {
public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  // Longer lines are cut here when read: a journal line never comes near it, and the document's
  // memory must stay small whatever the file holds.
  static constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

  enum class Failure {
    None,
    OutOfMemory, // the index stopped: the lines counted so far are usable
    TooManyLines // more than maxLines lines: the first maxLines are usable
  };

  JournalFile();
  // Cancels a running index.
  ~JournalFile();
  JournalFile(const JournalFile&) = delete;
  JournalFile& operator=(const JournalFile&) = delete;

  // Opens the file (a host path, UTF-8) and starts indexing it on a worker thread, replacing
  // what was held. False when it cannot be opened; the document is then empty. At most maxLines
  // lines are counted.
  bool Open(const std::string& hostPath, std::size_t maxLines = npos);
  // Holds a copy of the bytes, indexed at once.
  void Assign(std::string_view bytes, std::size_t maxLines = npos);
  // Cancels a running index (quickly: the worker looks at the flag every MiB) and empties.
  void Close();

  bool IsOpen() const { return m_source != nullptr; }
  bool Indexing() const;
  // Blocks until the index is done.
  void WaitForIndex() const;
  // Blocks until more than `lines` lines are counted or the index is done.
  void WaitForLines(std::size_t lines) const;
  Failure IndexFailure() const;
  // Bytes indexed so far, and the file's size when it was opened.
  std::uint64_t BytesDone() const { return m_bytesDone.load(std::memory_order_relaxed); }
  std::uint64_t BytesTotal() const { return m_bytesTotal; }

  // Lines counted so far; the final count once the index is done.
  std::size_t LineCount() const { return m_lineCount.load(std::memory_order_acquire); }
  // A longest line counted so far and its length (not cut); npos and 0 when there are no lines.
  std::size_t LongestLine() const;
  std::size_t LongestLineLength() const;

  // The bytes of line i without its line end, cut at kMaxLineBytes; empty for a line not
  // counted (yet) or no longer in the file.
  std::string Line(std::size_t i) const;
  // Offset in the file of line i's first byte; npos for a line not counted.
  std::uint64_t LineStart(std::size_t i) const;
  // The file's bytes in [begin, end), fewer where the file ends.
  std::string ReadRange(std::uint64_t begin, std::uint64_t end) const;

  // The first line at or after fromLine in which needle occurs, or npos, by LineIndex::Find's
  // rules (A-Z without case; a needle holding CR, LF or a zero byte occurs nowhere). Streams the
  // file from fromLine; waits for the index where the match lies beyond it.
  std::size_t Find(std::string_view needle, std::size_t fromLine) const;

  // True when the file's size or time of change differs from when it was opened.
  bool Changed() const;
  // Bytes held for the index and the cache, roughly.
  std::size_t MemoryBytes() const;

  // A seam for tests: the indexer calls the hook after each read it has published, with the
  // bytes done; true makes memory run out there. An empty function removes it.
  using IndexFaultHook = std::function<bool(std::uint64_t bytesDone)>;
  static void SetIndexFaultHook(IndexFaultHook hook);

private:
  struct Source;
  struct Checkpoint {
    std::uint64_t offset; // where line `line` starts
    std::uint64_t line;
  };
  struct Block; // a group of lines read from the file

  void StartWorker(std::size_t maxLines);
  void Index(std::size_t maxLines);
  std::shared_ptr<const Block> BlockFor(std::size_t line) const;
  std::shared_ptr<const Block> GroupBlock(std::size_t group) const;
  std::size_t LineAtOffset(std::uint64_t offset) const;

  std::unique_ptr<Source> m_source;
  std::uint64_t m_bytesTotal = 0;
  std::filesystem::file_time_type m_openedTime{};

  // Written by the worker under m_mutex; m_lineCount and m_bytesDone are also read without it.
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_progress;
  std::deque<Checkpoint> m_checkpoints;
  std::uint64_t m_indexedEnd = 0; // where the first line not counted yet starts
  std::uint64_t m_textEnd = 0;    // once done: the end of the text (a zero byte or the file's end)
  bool m_done = true;
  Failure m_failure = Failure::None;
  std::size_t m_longestLine = npos;
  std::size_t m_longestLength = 0;
  std::atomic<std::size_t> m_lineCount{0};
  std::atomic<std::uint64_t> m_bytesDone{0};

  std::atomic<bool> m_cancel{false};
  std::thread m_worker;

  // Recently read groups, the latest first.
  mutable std::mutex m_cacheMutex;
  mutable std::list<std::shared_ptr<const Block>> m_cache;
};

} // namespace qv
