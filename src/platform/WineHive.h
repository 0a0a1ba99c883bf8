#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Registry.h"
#include "text/Encoding.h"

// One registry hive file in Wine's text format (system.reg, user.reg, userdef.reg), held as its
// text. Only what an operation needs is parsed; an edit rewrites the lines it concerns and leaves
// every other byte of the file as it was, so that a hive written back loses nothing Wine or
// another tool put there (comments, options, value types, the order of the blocks).
namespace qv::platform {

// The Windows FILETIME (100 ns ticks since 1601) of the current time.
std::uint64_t FileTimeNow();

class WineHive {
public:
  // Key path elements relative to the file's root.
  using Path = std::vector<std::u16string>;

  // rootName is the hive's place in Wine's registry ("\Registry\Machine"), used for #link targets
  // when the header does not name it.
  WineHive(std::string text, std::u16string_view rootName);

  // The text of a hive without keys: Wine's header for a 64-bit prefix.
  static std::string EmptyHiveText(std::u16string_view rootName);

  const std::string& Text() const { return text_; }
  // False when the text does not begin with Wine's header: Wine loads nothing from such a file,
  // and nobody should write it back.
  bool IsValid() const {
    Fresh();
    return valid_;
  }
  // #arch=win64: 32-bit programs see the Wow6432Node view.
  bool Is64Bit() const {
    Fresh();
    return win64_;
  }
  // The hive's place in Wine's registry, as elements ("Registry", "Machine").
  const Path& RootName() const {
    Fresh();
    return rootName_;
  }

  // True when the key exists: it has a block of its own or is implied by a sub-key's path.
  bool Exists(const Path& path) const;
  // The key a 32-bit program reaches through the path: in a 64-bit hive every element that has a
  // Wow6432Node sub-key is replaced by it; #link keys are followed. Existing elements are spelled
  // as in the file. With create, the missing rest of the path is appended as given; otherwise a
  // missing key gives nullopt. A link that leads nowhere or out of the hive gives nullopt.
  std::optional<Path> Resolve(const Path& path, bool create) const;

  // Direct sub-keys, in Wine's order (case-insensitive), each with its first spelling.
  std::vector<std::u16string> SubKeys(const Path& path) const;
  // The value of that name, matched without regard to case.
  std::optional<RegValue> Value(const Path& path, std::u16string_view name) const;
  // All values of the key in the order of their first appearance, each with its first spelling.
  std::vector<std::pair<std::u16string, RegValue>> Values(const Path& path) const;
  // Where Wine could not read the value's line (and so gives it REG_NONE without data): the
  // number of that line, from 1, for the definition Value() returns; 0 when it reads.
  std::size_t MalformedValueLine(const Path& path, std::u16string_view name) const;
  // Every key that has a block of its own, in file order (each once).
  std::vector<Path> ExplicitKeys() const;
  bool IsLink(const Path& path) const;

  // Edits. Each returns true when the text changed. fileTime stamps the keys written.
  // Creates or replaces a value, creating the key when needed. Writing the value it already has
  // changes nothing.
  bool SetValue(const Path& path, std::u16string_view name, const RegValue& value,
                std::uint64_t fileTime);
  // Creates the key (and so every missing key above it); false when it exists.
  bool CreateKey(const Path& path, std::uint64_t fileTime);
  // Removes a key that has no sub-keys; false when it does not exist, has sub-keys or is the root.
  // A parent left without sub-keys stays as an empty key.
  bool DeleteKey(const Path& path, std::uint64_t fileTime);

private:
  struct Block {
    std::uint32_t begin = 0;      // start of the "[...]" line
    std::uint32_t keyEnd = 0;     // just after the closing ']'
    std::uint32_t lineEnd = 0;    // start of the line after the key line
    std::uint32_t contentEnd = 0; // after the last line that is not blank
    std::uint32_t end = 0;        // start of the next key line, or the end of the text
    bool valid = false;           // the key name parsed
    // The name: plain ASCII with only "\\" separators is read from the text (Wine writes
    // nearly every name so); any other is decoded, case-folded and joined by '\' in names_.
    bool decoded = false;
    std::uint32_t nameAt = 0;
    std::uint32_t nameLength = 0;
  };
  struct Item; // a value line (with its continuation lines)
  struct Edit {
    std::size_t offset;
    std::size_t length;
    std::string text;
  };
  struct Range {
    std::size_t first; // into order_
    std::size_t last;
  };

  // The index of the text, rebuilt on the first query after an edit: the header line, the
  // blocks and their extents, each block's key name, the blocks in path order.
  void Parse() const;
  bool ReadHeaderLine() const;
  void SplitBlocks() const;
  // "#arch=" and the root comment, before the first block.
  void ReadHeaderOption(std::size_t p, std::size_t end) const;
  void ReadBlockName(Block& block) const;
  void SortBlocks() const;
  void Fresh() const {
    if (stale_)
      Parse();
  }
  std::u16string BlockPath(const Block& block) const; // as spelled in the file
  class Name;
  static int CompareNames(Name a, Name b);
  Name NameOf(const Block& block) const;
  int Compare(const Block& a, const Block& b) const;
  int Compare(const Block& block, std::u16string_view folded) const;
  // The key or one of its sub-keys.
  bool Within(const Block& block, std::u16string_view folded) const;
  std::u16string FoldedPath(const Block& block) const;
  Range Exact(std::u16string_view folded) const;
  Range Subtree(std::u16string_view folded) const;
  std::vector<std::size_t> ExactBlocks(std::u16string_view folded) const;
  std::vector<Item> Items(const Block& block) const;
  // The start of the next line that is not part of the value starting at pos.
  std::size_t NextLogicalLine(std::size_t pos) const;
  bool BlockIsLink(const Block& block) const;
  std::optional<Path> LinkTarget(const Path& path) const;
  std::optional<Path> FollowLinks(Path path, int depth) const;
  Path Spell(const Path& path) const;
  std::size_t ContentEndBefore(std::size_t blockIndex) const;
  // What must come before text inserted at the position so that it starts a line of its own.
  std::string LeadIn(std::size_t at) const;
  std::string KeyLines(const Path& spelled, std::uint64_t fileTime) const;
  void Touch(const Block& block, std::uint64_t fileTime, std::vector<Edit>& edits) const;
  void InsertBlock(const Path& path, const std::string& valueLines, std::uint64_t fileTime,
                   std::vector<Edit>& edits) const;
  std::string FormatValue(std::u16string_view name, const RegValue& value) const;
  void Apply(std::vector<Edit> edits);

  std::string text_;
  Path defaultRoot_;
  mutable bool stale_ = true;
  mutable Path rootName_;
  mutable bool valid_ = false;
  mutable bool win64_ = false;
  mutable std::string eol_ = "\n";
  mutable std::size_t headerContentEnd_ = 0;
  mutable bool danglingEnd_ = false; // the last value wants a line after the end of the text
  mutable std::vector<Block> blocks_;
  mutable std::u16string names_;             // the folded key paths of all blocks
  mutable std::vector<std::uint32_t> order_; // valid blocks by folded path, then file position
};

} // namespace qv::platform
