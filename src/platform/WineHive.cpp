#include "platform/WineHive.h"

#include "platform/RegistryNames.h"
#include "text/Ascii.h"
#include "text/Encoding.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <unordered_set>

namespace qv::platform {

namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::uint64_t kTicks1601To1970 = 116444736000000000ULL;
constexpr char16_t kSeparator = u'\\';
constexpr std::string_view kHeader = "WINE REGISTRY Version 2";
constexpr std::string_view kRootComment = ";; All keys relative to ";

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
unsigned HexValue(char c) {
  if (c >= '0' && c <= '9')
    return unsigned(c - '0');
  if (c >= 'a' && c <= 'f')
    return unsigned(c - 'a' + 10);
  return unsigned(c - 'A' + 10);
}

inline char16_t Fold(char16_t c) {
  return FoldRegistryUnit(c);
}

std::u16string FoldString(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out)
    c = Fold(c);
  return out;
}

bool EqualFolded(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i]))
      return false;
  return true;
}

// A string in Wine's escaped form, from pos up to the unescaped end character (or to the end of
// the view when endChar is 0). nullopt when the end character is missing. Bytes of 0x80 and
// above are UTF-8; invalid UTF-8 is dropped, as Wine does.
bool ParseStringInto(std::string_view line, std::size_t& pos, char endChar, std::u16string& out) {
  while (pos < line.size() && line[pos] != endChar && line[pos] != '\0') {
    // Plain ASCII, the bulk of every name, in one go.
    std::size_t run = pos;
    while (run < line.size() && static_cast<unsigned char>(line[run]) < 0x80 && line[run] != '\\' &&
           line[run] != endChar && line[run] != '\0')
      ++run;
    if (run > pos) {
      out.append(line.begin() + std::ptrdiff_t(pos), line.begin() + std::ptrdiff_t(run));
      pos = run;
      continue;
    }
    if (line[pos] == '\\') {
      ++pos;
      if (pos >= line.size())
        return false;
      char e = line[pos];
      char16_t simple = 0;
      switch (e) {
      case 'a':
        simple = 7;
        break;
      case 'b':
        simple = 8;
        break;
      case 'e':
        simple = 27;
        break;
      case 'f':
        simple = 12;
        break;
      case 'n':
        simple = 10;
        break;
      case 'r':
        simple = 13;
        break;
      case 't':
        simple = 9;
        break;
      case 'v':
        simple = 11;
        break;
      default:
        break;
      }
      if (simple) {
        out += simple;
        ++pos;
        continue;
      }
      if (e == 'x') {
        ++pos;
        if (pos >= line.size() || !IsHexDigit(line[pos])) {
          out += u'x';
          continue;
        }
        unsigned v = 0;
        for (int k = 0; k < 4 && pos < line.size() && IsHexDigit(line[pos]); ++k)
          v = v * 16 + HexValue(line[pos++]);
        out += char16_t(v);
        continue;
      }
      if (e >= '0' && e <= '7') {
        unsigned v = 0;
        for (int k = 0; k < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++k)
          v = v * 8 + unsigned(line[pos++] - '0');
        out += char16_t(v);
        continue;
      }
      // Any other escaped character stands for itself.
    }
    long cp = DecodeUtf8(line, pos);
    if (cp >= 0)
      AppendUtf16(out, cp);
  }
  if (endChar == '\0')
    return pos >= line.size();
  if (pos >= line.size() || line[pos] != endChar)
    return false;
  ++pos;
  return true;
}

std::optional<std::u16string> ParseString(std::string_view line, std::size_t& pos, char endChar) {
  std::u16string out;
  if (!ParseStringInto(line, pos, endChar, out))
    return std::nullopt;
  return out;
}

// Wine's escaped form of a name or string (the output is pure ASCII).
void AppendEscaped(std::string& out, std::u16string_view s, char special1, char special2) {
  char buffer[16];
  for (std::size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    bool more = i + 1 < s.size();
    if (c > 127) {
      bool hexNext = more && s[i + 1] < 128 && IsHexDigit(char(s[i + 1]));
      std::snprintf(buffer, sizeof buffer, hexNext ? "\\x%04x" : "\\x%x", unsigned(c));
      out += buffer;
      continue;
    }
    if (c < 32) {
      char named = 0;
      switch (c) {
      case 7:
        named = 'a';
        break;
      case 8:
        named = 'b';
        break;
      case 9:
        named = 't';
        break;
      case 10:
        named = 'n';
        break;
      case 11:
        named = 'v';
        break;
      case 12:
        named = 'f';
        break;
      case 13:
        named = 'r';
        break;
      case 27:
        named = 'e';
        break;
      default:
        break;
      }
      if (named) {
        out += '\\';
        out += named;
      } else {
        bool octalNext = more && s[i + 1] >= u'0' && s[i + 1] <= u'7';
        std::snprintf(buffer, sizeof buffer, octalNext ? "\\%03o" : "\\%o", unsigned(c));
        out += buffer;
      }
      continue;
    }
    if (c == u'\\' || c == char16_t(special1) || c == char16_t(special2))
      out += '\\';
    out += char(c);
  }
}

WineHive::Path SplitPath(std::u16string_view joined) {
  WineHive::Path path;
  std::size_t start = 0;
  while (start <= joined.size()) {
    std::size_t end = joined.find(kSeparator, start);
    if (end == std::u16string_view::npos)
      end = joined.size();
    if (end > start)
      path.emplace_back(joined.substr(start, end - start));
    start = end + 1;
  }
  return path;
}

std::u16string JoinPath(const WineHive::Path& path) {
  std::u16string out;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (i)
      out += kSeparator;
    out += path[i];
  }
  return out;
}

// Drops empty elements: Wine skips leading, trailing and repeated separators.
void NormalizePath(std::u16string& path, std::size_t from = 0) {
  std::size_t out = from;
  for (std::size_t i = from; i < path.size(); ++i) {
    char16_t c = path[i];
    if (c == kSeparator && (out == from || path[out - 1] == kSeparator))
      continue;
    path[out++] = c;
  }
  if (out > from && path[out - 1] == kSeparator)
    --out;
  path.resize(out);
}

std::u16string FoldedKey(const WineHive::Path& path) {
  return FoldString(JoinPath(path));
}

// The element at the given depth of a joined path.
std::u16string_view ElementAt(std::u16string_view joined, std::size_t depth) {
  std::size_t start = 0;
  for (std::size_t d = 0; d < depth; ++d) {
    std::size_t sep = joined.find(kSeparator, start);
    if (sep == std::u16string_view::npos)
      return {};
    start = sep + 1;
  }
  std::size_t end = joined.find(kSeparator, start);
  return joined.substr(start, end == std::u16string_view::npos ? joined.npos : end - start);
}

std::size_t LineEnd(const std::string& text, std::size_t pos) {
  std::size_t end = text.find('\n', pos);
  return end == std::string::npos ? text.size() : end;
}

// The end of a line's content: before its '\n' and a '\r' ahead of it.
std::size_t ContentLineEnd(const std::string& text, std::size_t pos) {
  std::size_t end = LineEnd(text, pos);
  if (end > pos && text[end - 1] == '\r')
    --end;
  return end;
}

std::size_t SkipSpaces(const std::string& text, std::size_t pos, std::size_t end) {
  while (pos < end && IsCSpace(text[pos]))
    ++pos;
  return pos;
}

bool StartsWith(const std::string& text, std::size_t pos, std::string_view prefix) {
  return text.compare(pos, prefix.size(), prefix) == 0;
}

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view units, bool terminate) {
  std::vector<std::uint8_t> data;
  data.reserve((units.size() + 1) * 2);
  for (char16_t u : units) {
    data.push_back(std::uint8_t(u & 0xFF));
    data.push_back(std::uint8_t(u >> 8));
  }
  if (terminate) {
    data.push_back(0);
    data.push_back(0);
  }
  return data;
}

std::u16string BytesToUtf16(const std::vector<std::uint8_t>& data) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2)
    units += char16_t(data[i] | (data[i + 1] << 8));
  return units;
}

} // namespace

std::uint64_t FileTimeNow() {
  auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  return kTicks1601To1970 + std::uint64_t(since1970 / 100);
}

namespace {

enum class HexEnd { Done, More, Bad };

// Hex bytes from q to the line's end: Done there, More at a '\' (the list goes on in the next
// line, whatever that line is), Bad at anything else.
HexEnd ParseHexBytes(const std::string& t, std::size_t& q, std::size_t end,
                     std::vector<std::uint8_t>* out) {
  while (q < end && IsHexDigit(t[q])) {
    unsigned v = 0;
    while (q < end && IsHexDigit(t[q])) {
      v = v * 16 + HexValue(t[q++]);
      if (v > 0xFF)
        return HexEnd::Bad;
    }
    if (out)
      out->push_back(std::uint8_t(v));
    q = SkipSpaces(t, q, end);
    if (q < end && t[q] == ',')
      q = SkipSpaces(t, q + 1, end);
  }
  q = SkipSpaces(t, q, end);
  if (q >= end)
    return HexEnd::Done;
  return t[q] == '\\' ? HexEnd::More : HexEnd::Bad;
}

// A value line with the continuation lines Wine reads with it.
struct ParsedValue {
  bool isValue = false; // the name parsed
  std::u16string name;
  std::optional<RegValue> value; // nullopt: malformed (Wine makes it REG_NONE without data)
  std::size_t end = 0;           // end of the last line's content
  std::size_t next = 0;          // start of the line after it
  bool wantsMore = false;        // the text ended where Wine reads another line
};

// Parses the value whose line starts at pos ('@' or '"' its first character after blanks).
// Without wantData only the extent is found.
ParsedValue ParseValueAt(const std::string& t, std::size_t pos, bool wantData) {
  ParsedValue result;
  std::size_t end = LineEnd(t, pos);
  result.end = ContentLineEnd(t, pos);
  result.next = end == t.size() ? end : end + 1;
  std::size_t p = SkipSpaces(t, pos, end);
  std::string_view line(t.data(), end);
  std::size_t q = p + 1;
  if (t[p] == '"') {
    if (!ParseStringInto(line, q, '"', result.name))
      return result;
  }
  result.isValue = true;

  q = SkipSpaces(t, q, end);
  if (q >= end || t[q] != '=')
    return result;
  q = SkipSpaces(t, q + 1, end);
  std::uint32_t type;
  enum { Text, Binary, Dword } parse;
  if (StartsWith(t, q, "\"")) {
    type = kRegSz, parse = Text, q += 1;
  } else if (StartsWith(t, q, "str:\"")) {
    type = kRegSz, parse = Text, q += 5;
  } else if (StartsWith(t, q, "str(2):\"")) {
    type = kRegExpandSz, parse = Text, q += 8;
  } else if (StartsWith(t, q, "str(7):\"")) {
    type = kRegMultiSz, parse = Text, q += 8;
  } else if (StartsWith(t, q, "hex:")) {
    type = kRegBinary, parse = Binary, q += 4;
  } else if (StartsWith(t, q, "dword:")) {
    type = kRegDword, parse = Dword, q += 6;
  } else if (StartsWith(t, q, "hex(")) {
    q += 4;
    std::uint32_t n = 0;
    while (q < end && IsHexDigit(t[q]))
      n = n * 16 + HexValue(t[q++]);
    if (!StartsWith(t, q, "):"))
      return result;
    q += 2;
    type = n, parse = Binary;
  } else {
    return result;
  }
  RegValue value;
  value.type = type;
  if (parse == Text) {
    if (!wantData)
      return result;
    std::u16string text;
    if (!ParseStringInto(line, q, '"', text))
      return result;
    value.data = Utf16Bytes(text, true);
    result.value = std::move(value);
    return result;
  }
  if (parse == Dword) {
    q = SkipSpaces(t, q, end);
    if (q + 1 < end && t[q] == '0' && (t[q + 1] == 'x' || t[q + 1] == 'X'))
      q += 2;
    if (q >= end || !IsHexDigit(t[q]))
      return result;
    std::uint32_t dw = 0;
    while (q < end && IsHexDigit(t[q]))
      dw = dw * 16 + HexValue(t[q++]);
    value.data = RegValue::Dword(dw).data;
    result.value = std::move(value);
    return result;
  }
  // Bytes; after a '\' Wine reads the next line as more of them, whatever it holds.
  for (;;) {
    HexEnd state = ParseHexBytes(t, q, end, wantData ? &value.data : nullptr);
    if (state == HexEnd::Done) {
      result.value = std::move(value);
      return result;
    }
    if (state == HexEnd::Bad)
      return result;
    if (end + 1 >= t.size()) { // no line follows
      result.wantsMore = true;
      return result;
    }
    std::size_t nextLine = end + 1;
    end = LineEnd(t, nextLine);
    result.end = ContentLineEnd(t, nextLine);
    result.next = end == t.size() ? end : end + 1;
    q = SkipSpaces(t, nextLine, end);
  }
}

// True for a line that may go on in the next one: a hex value with a backslash after its bytes
// (Wine reads the next line then, whatever follows the backslash).
bool MayContinue(const std::string& t, std::size_t pos, std::size_t end) {
  std::string_view line(t.data() + pos, end - pos);
  std::size_t tag = line.find("hex");
  return tag != std::string_view::npos && line.find('\\', tag) != std::string_view::npos;
}

} // namespace

// A value line and its continuation lines.
struct WineHive::Item {
  std::size_t begin = 0; // start of the line
  std::size_t end = 0;   // end of the last line's content
  std::size_t next = 0;  // start of the line after it
  std::u16string name;
  std::u16string folded;
  RegValue value;
  bool malformed = false; // Wine cannot read it: REG_NONE without data
};

WineHive::WineHive(std::string text, std::u16string_view rootName)
    : text_(std::move(text)), defaultRoot_(SplitPath(rootName)) {}

std::string WineHive::EmptyHiveText(std::u16string_view rootName) {
  // Wine's header names the root from "REGISTRY" on, without a leading separator.
  std::string root;
  Path elements = SplitPath(rootName);
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (i)
      root += "\\\\";
    std::u16string element = elements[i];
    if (i == 0 && EqualFolded(element, u"Registry"))
      element = u"REGISTRY";
    AppendEscaped(root, element, '[', ']');
  }
  return std::string(kHeader) + "\n" + std::string(kRootComment) + root + "\n\n#arch=win64\n";
}

void WineHive::Parse() const {
  stale_ = false;
  danglingEnd_ = false;
  blocks_.clear();
  order_.clear();
  names_.clear();
  win64_ = false;
  rootName_ = defaultRoot_;
  headerContentEnd_ = text_.size();
  // Offsets are kept in 32 bits; no hive comes near 4 GB.
  valid_ = ReadHeaderLine() && text_.size() < 0xFFFFFFFFu;
  if (!valid_)
    return;
  SplitBlocks();
  for (auto& block : blocks_)
    ReadBlockName(block);
  SortBlocks();
}

bool WineHive::ReadHeaderLine() const {
  std::string_view first(text_.data(), LineEnd(text_, 0));
  eol_ = "\n";
  if (!first.empty() && first.back() == '\r') {
    first.remove_suffix(1);
    eol_ = "\r\n";
  }
  return first == kHeader;
}

void WineHive::SplitBlocks() const {
  const std::string& t = text_;
  // Exact sizes: fresh memory costs more than the counting.
  blocks_.reserve(std::size_t(std::count(t.begin(), t.end(), '[')));
  // Where the content of the header or of the block being read ends so far.
  std::size_t lastContent = 0;
  const auto closeLast = [&](std::size_t at) {
    if (blocks_.empty()) {
      headerContentEnd_ = lastContent;
    } else {
      blocks_.back().contentEnd = std::uint32_t(lastContent);
      blocks_.back().end = std::uint32_t(at);
    }
  };
  std::size_t pos = 0;
  while (pos < t.size()) {
    const std::size_t end = LineEnd(t, pos);
    std::size_t next = end == t.size() ? end : end + 1;
    const std::size_t p = SkipSpaces(t, pos, end);
    if (p == end) {
      pos = next; // a blank line: not content
      continue;
    }
    if (!blocks_.empty() && (t[p] == '"' || t[p] == '@') && MayContinue(t, p, end)) {
      // A value that Wine continues in the next lines, whatever they hold: all of it is content.
      const ParsedValue value = ParseValueAt(t, pos, false);
      next = value.next;
      danglingEnd_ = value.wantsMore;
    } else if (t[p] == '[') {
      closeLast(pos);
      Block block;
      block.begin = std::uint32_t(pos);
      block.keyEnd = std::uint32_t(p + 1); // the name's start until it is read
      block.lineEnd = std::uint32_t(next);
      blocks_.push_back(block);
    } else if (blocks_.empty()) {
      ReadHeaderOption(p, end);
    }
    lastContent = next;
    pos = next;
  }
  closeLast(t.size());
}

void WineHive::ReadHeaderOption(std::size_t p, std::size_t end) const {
  const std::string& t = text_;
  // The end of the option's value, trailing blanks left out.
  const auto valueEnd = [&](std::size_t valueStart) {
    std::size_t e = end;
    while (e > valueStart && IsCSpace(t[e - 1]))
      --e;
    return e;
  };
  if (StartsWith(t, p, "#arch=")) {
    const std::size_t v = p + 6;
    win64_ = t.compare(v, valueEnd(v) - v, "win64") == 0;
  } else if (StartsWith(t, p, kRootComment)) {
    std::size_t q = p + kRootComment.size();
    if (auto root = ParseString(std::string_view(t.data(), valueEnd(q)), q, '\0')) {
      Path elements = SplitPath(*root);
      // Older versions of Wine name the root without "\Registry".
      if (!elements.empty() && !EqualFolded(elements.front(), u"Registry"))
        elements.insert(elements.begin(), u"Registry");
      if (!elements.empty())
        rootName_ = std::move(elements);
    }
  }
}

namespace {

// The closing ']' of a key name that is plain: ASCII, elements separated by "\\" (no empty
// ones), no other escape. npos for any other name.
std::size_t PlainNameEnd(std::string_view line, std::size_t start) {
  std::size_t q = start;
  bool separated = true;
  while (q < line.size() && line[q] != ']') {
    const char c = line[q];
    if (c == '\\' && !separated && q + 1 < line.size() && line[q + 1] == '\\') {
      separated = true;
      q += 2;
      continue;
    }
    if (c == '\\' || c == '\0' || static_cast<unsigned char>(c) >= 0x80)
      return std::string_view::npos;
    separated = false;
    ++q;
  }
  if (q == line.size() || (q != start && separated))
    return std::string_view::npos;
  return q;
}

} // namespace

void WineHive::ReadBlockName(Block& block) const {
  const std::string_view line(text_.data(), LineEnd(text_, block.begin));
  const std::size_t start = block.keyEnd;
  if (const std::size_t close = PlainNameEnd(line, start); close != std::string_view::npos) {
    // Wine writes nearly every name so: it is read from the text when needed.
    block.valid = true;
    block.keyEnd = std::uint32_t(close + 1);
    block.nameAt = std::uint32_t(start);
    block.nameLength = std::uint32_t(close - start);
    return;
  }
  std::size_t q = start;
  const std::size_t from = names_.size();
  if (!ParseStringInto(line, q, ']', names_)) {
    names_.resize(from);
    block.keyEnd = std::uint32_t(line.size());
    return;
  }
  block.valid = true;
  block.decoded = true;
  block.keyEnd = std::uint32_t(q);
  NormalizePath(names_, from);
  for (std::size_t k = from; k < names_.size(); ++k)
    names_[k] = Fold(names_[k]);
  block.nameAt = std::uint32_t(from);
  block.nameLength = std::uint32_t(names_.size() - from);
}

void WineHive::SortBlocks() const {
  order_.reserve(blocks_.size());
  for (std::size_t i = 0; i < blocks_.size(); ++i)
    if (blocks_[i].valid)
      order_.push_back(std::uint32_t(i));
  auto before = [this](std::uint32_t a, std::uint32_t b) {
    int c = Compare(blocks_[a], blocks_[b]);
    return c != 0 ? c < 0 : a < b;
  };
  // A file Wine wrote is in this order already.
  if (!std::is_sorted(order_.begin(), order_.end(), before))
    std::sort(order_.begin(), order_.end(), before);
}

// The case-folded units of a key's path, read from the text or from names_.
class WineHive::Name {
public:
  Name(const char* raw, std::size_t length) : raw_(raw), rawEnd_(raw + length) {}
  explicit Name(std::u16string_view units)
      : units_(units.data()), unitsEnd_(units.data() + units.size()) {}

  bool Next(char16_t& unit) {
    if (raw_) {
      if (raw_ == rawEnd_)
        return false;
      char c = *raw_++;
      if (c == '\\') {
        ++raw_; // the second backslash of the separator
        unit = kSeparator;
      } else {
        unit = Fold(char16_t(c));
      }
      return true;
    }
    if (units_ == unitsEnd_)
      return false;
    unit = *units_++;
    return true;
  }

private:
  const char* raw_ = nullptr;
  const char* rawEnd_ = nullptr;
  const char16_t* units_ = nullptr;
  const char16_t* unitsEnd_ = nullptr;
};

// Wine's order of keys: case-folded units, a key before its sub-keys and before any longer name
// it is a prefix of. The separator ranks below every unit (no name contains it).
int WineHive::CompareNames(Name a, Name b) {
  for (;;) {
    char16_t ua, ub;
    bool moreA = a.Next(ua), moreB = b.Next(ub);
    if (!moreA || !moreB)
      return moreA ? 1 : moreB ? -1 : 0;
    if (ua != ub) {
      auto rank = [](char16_t c) { return c == kSeparator ? 0u : unsigned(c) + 1; };
      return rank(ua) < rank(ub) ? -1 : 1;
    }
  }
}

WineHive::Name WineHive::NameOf(const Block& block) const {
  if (block.decoded)
    return Name(std::u16string_view(names_).substr(block.nameAt, block.nameLength));
  return Name(text_.data() + block.nameAt, block.nameLength);
}

int WineHive::Compare(const Block& a, const Block& b) const {
  return CompareNames(NameOf(a), NameOf(b));
}

int WineHive::Compare(const Block& block, std::u16string_view folded) const {
  return CompareNames(NameOf(block), Name(folded));
}

bool WineHive::Within(const Block& block, std::u16string_view folded) const {
  Name name = NameOf(block);
  char16_t unit;
  for (char16_t k : folded)
    if (!name.Next(unit) || unit != k)
      return false;
  return !name.Next(unit) || folded.empty() || unit == kSeparator;
}

std::u16string WineHive::FoldedPath(const Block& block) const {
  std::u16string path;
  Name name = NameOf(block);
  char16_t unit;
  while (name.Next(unit))
    path += unit;
  return path;
}

std::u16string WineHive::BlockPath(const Block& block) const {
  std::size_t end = LineEnd(text_, block.begin);
  std::size_t q = SkipSpaces(text_, block.begin, end) + 1;
  auto path = ParseString(std::string_view(text_.data(), end), q, ']');
  if (!path)
    return {};
  NormalizePath(*path);
  return std::move(*path);
}

WineHive::Range WineHive::Exact(std::u16string_view folded) const {
  auto first = std::lower_bound(
      order_.begin(), order_.end(), folded,
      [this](std::uint32_t i, std::u16string_view key) { return Compare(blocks_[i], key) < 0; });
  auto last = std::partition_point(
      first, order_.end(), [&](std::uint32_t i) { return Compare(blocks_[i], folded) == 0; });
  return {std::size_t(first - order_.begin()), std::size_t(last - order_.begin())};
}

WineHive::Range WineHive::Subtree(std::u16string_view folded) const {
  auto first = std::lower_bound(
      order_.begin(), order_.end(), folded,
      [this](std::uint32_t i, std::u16string_view key) { return Compare(blocks_[i], key) < 0; });
  auto last = std::partition_point(first, order_.end(),
                                   [&](std::uint32_t i) { return Within(blocks_[i], folded); });
  return {std::size_t(first - order_.begin()), std::size_t(last - order_.begin())};
}

std::vector<std::size_t> WineHive::ExactBlocks(std::u16string_view folded) const {
  Range r = Exact(folded);
  std::vector<std::size_t> result;
  for (std::size_t i = r.first; i < r.last; ++i)
    result.push_back(order_[i]);
  return result; // in file order: ties are sorted by position
}

bool WineHive::Exists(const Path& path) const {
  Fresh();
  if (path.empty())
    return true;
  Range r = Subtree(FoldedKey(path));
  return r.first != r.last;
}

std::size_t WineHive::NextLogicalLine(std::size_t pos) const {
  std::size_t end = LineEnd(text_, pos);
  std::size_t p = SkipSpaces(text_, pos, end);
  if (p < end && (text_[p] == '"' || text_[p] == '@') && MayContinue(text_, p, end))
    return ParseValueAt(text_, pos, false).next;
  return end == text_.size() ? end : end + 1;
}

std::vector<WineHive::Item> WineHive::Items(const Block& block) const {
  std::vector<Item> items;
  const std::string& t = text_;
  std::size_t pos = block.lineEnd;
  while (pos < block.end) {
    std::size_t end = LineEnd(t, pos);
    std::size_t p = SkipSpaces(t, pos, end);
    if (p >= end || (t[p] != '@' && t[p] != '"')) {
      pos = end == t.size() ? end : end + 1;
      continue;
    }
    ParsedValue parsed = ParseValueAt(t, pos, true);
    if (parsed.isValue) {
      Item item;
      item.begin = pos;
      item.end = parsed.end;
      item.next = parsed.next;
      item.folded = FoldString(parsed.name);
      item.name = std::move(parsed.name);
      item.malformed = !parsed.value;
      item.value = parsed.value ? std::move(*parsed.value) : RegValue{};
      items.push_back(std::move(item));
    }
    pos = parsed.next;
  }
  return items;
}

bool WineHive::BlockIsLink(const Block& block) const {
  for (std::size_t pos = block.lineEnd; pos < block.end; pos = NextLogicalLine(pos)) {
    std::size_t p = SkipSpaces(text_, pos, LineEnd(text_, pos));
    if (StartsWith(text_, p, "#link"))
      return true;
  }
  return false;
}

bool WineHive::IsLink(const Path& path) const {
  Fresh();
  for (std::size_t b : ExactBlocks(FoldedKey(path)))
    if (BlockIsLink(blocks_[b]))
      return true;
  return false;
}

std::optional<WineHive::Path> WineHive::LinkTarget(const Path& path) const {
  auto value = Value(path, u"SymbolicLinkValue");
  if (!value)
    return std::nullopt;
  Path target = SplitPath(BytesToUtf16(value->data));
  if (target.size() < rootName_.size())
    return std::nullopt;
  for (std::size_t i = 0; i < rootName_.size(); ++i)
    if (!EqualFolded(target[i], rootName_[i]))
      return std::nullopt; // another hive: not reachable from here
  return Path(target.begin() + std::ptrdiff_t(rootName_.size()), target.end());
}

std::optional<WineHive::Path> WineHive::FollowLinks(Path path, int depth) const {
  if (depth > 16)
    return std::nullopt;
  if (!IsLink(path))
    return path;
  auto target = LinkTarget(path);
  if (!target)
    return std::nullopt;
  Path current;
  for (auto& element : *target) {
    current.push_back(std::move(element));
    if (!Exists(current))
      return std::nullopt;
    auto followed = FollowLinks(current, depth + 1);
    if (!followed)
      return std::nullopt;
    current = std::move(*followed);
  }
  return current;
}

std::optional<WineHive::Path> WineHive::Resolve(const Path& path, bool create) const {
  Fresh();
  bool redirected = false;
  // Follows links, then moves into the Wow6432Node sub-key where there is one.
  auto settle = [&](Path& p) {
    for (int hop = 0; hop < 16; ++hop) {
      auto followed = FollowLinks(p, 0);
      if (!followed)
        return false;
      p = std::move(*followed);
      if (!win64_ || (!p.empty() && EqualFolded(p.back(), u"Wow6432Node")))
        return true;
      Path wow = p;
      wow.push_back(u"Wow6432Node");
      if (!Exists(wow))
        return true;
      p = std::move(wow);
      redirected = true;
    }
    return false;
  };

  Path current;
  if (!settle(current))
    return std::nullopt;
  bool missing = false;
  for (const auto& element : path) {
    if (missing) {
      current.push_back(element);
      continue;
    }
    // A path that names the 32-bit key itself is already there.
    if (redirected && EqualFolded(element, u"Wow6432Node")) {
      redirected = false;
      continue;
    }
    redirected = false;
    current.push_back(element);
    if (!Exists(current)) {
      if (!create)
        return std::nullopt;
      missing = true;
      continue;
    }
    if (!settle(current))
      return std::nullopt;
  }
  return Spell(current);
}

std::vector<std::u16string> WineHive::SubKeys(const Path& path) const {
  Fresh();
  std::vector<std::u16string> names;
  std::u16string key = FoldedKey(path);
  Range sub = Subtree(key);
  Range self = Exact(key);
  std::size_t depth = path.size();
  std::size_t i = std::max(sub.first, self.last);
  while (i < sub.last) {
    std::u16string path = FoldedPath(blocks_[order_[i]]);
    // The entries below one child follow each other.
    std::u16string child(ElementAt(path, depth));
    std::u16string prefix = key.empty() ? child : key + kSeparator + child;
    std::uint32_t firstBlock = order_[i];
    std::size_t j = i + 1;
    while (j < sub.last && Within(blocks_[order_[j]], prefix)) {
      firstBlock = std::min(firstBlock, order_[j]);
      ++j;
    }
    names.emplace_back(ElementAt(BlockPath(blocks_[firstBlock]), depth));
    i = j;
  }
  return names;
}

std::vector<std::pair<std::u16string, RegValue>> WineHive::Values(const Path& path) const {
  Fresh();
  std::vector<std::pair<std::u16string, RegValue>> values;
  std::vector<std::u16string> folded;
  for (std::size_t b : ExactBlocks(FoldedKey(path))) {
    for (auto& item : Items(blocks_[b])) {
      auto at = std::find(folded.begin(), folded.end(), item.folded);
      if (at != folded.end()) {
        values[std::size_t(at - folded.begin())].second = std::move(item.value);
      } else {
        folded.push_back(item.folded);
        values.emplace_back(std::move(item.name), std::move(item.value));
      }
    }
  }
  return values;
}

std::optional<RegValue> WineHive::Value(const Path& path, std::u16string_view name) const {
  Fresh();
  std::u16string folded = FoldString(name);
  std::optional<RegValue> result;
  for (std::size_t b : ExactBlocks(FoldedKey(path)))
    for (auto& item : Items(blocks_[b]))
      if (item.folded == folded)
        result = std::move(item.value); // a repeated value replaces the data
  return result;
}

std::size_t WineHive::MalformedValueLine(const Path& path, std::u16string_view name) const {
  Fresh();
  std::u16string folded = FoldString(name);
  std::optional<Item> last;
  for (std::size_t b : ExactBlocks(FoldedKey(path)))
    for (auto& item : Items(blocks_[b]))
      if (item.folded == folded)
        last = std::move(item); // a repeated value replaces the data, as in Value()
  if (!last || !last->malformed)
    return 0;
  return std::size_t(std::count(text_.begin(), text_.begin() + std::ptrdiff_t(last->begin), '\n')) +
         1;
}

std::vector<WineHive::Path> WineHive::ExplicitKeys() const {
  Fresh();
  std::vector<Path> keys;
  std::unordered_set<std::u16string> seen;
  for (const auto& block : blocks_)
    if (block.valid && seen.insert(FoldedPath(block)).second)
      keys.push_back(SplitPath(BlockPath(block)));
  return keys;
}

WineHive::Path WineHive::Spell(const Path& path) const {
  Path spelled;
  std::u16string key;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (i)
      key += kSeparator;
    key += FoldString(path[i]);
    Range r = Subtree(key);
    if (r.first == r.last) {
      spelled.insert(spelled.end(), path.begin() + std::ptrdiff_t(i), path.end());
      break;
    }
    std::uint32_t firstBlock = order_[r.first];
    for (std::size_t k = r.first; k < r.last; ++k)
      firstBlock = std::min(firstBlock, order_[k]);
    spelled.emplace_back(ElementAt(BlockPath(blocks_[firstBlock]), i));
  }
  return spelled;
}

std::string WineHive::LeadIn(std::size_t at) const {
  std::string text;
  if (at != text_.size())
    return text;
  // A last line cut after its CR only lacks the LF: another CR would join it to the next line.
  if (!text_.empty() && text_.back() != '\n')
    text += text_.back() == '\r' ? "\n" : eol_;
  // A hex value at the end that asks for another line would take the first one added: give it
  // a line that ends it as before (Wine finds it malformed either way).
  if (danglingEnd_)
    text += ";" + eol_;
  return text;
}

std::size_t WineHive::ContentEndBefore(std::size_t blockIndex) const {
  return blockIndex == 0 ? headerContentEnd_ : blocks_[blockIndex - 1].contentEnd;
}

std::string WineHive::KeyLines(const Path& spelled, std::uint64_t fileTime) const {
  std::string out = "[";
  for (std::size_t i = 0; i < spelled.size(); ++i) {
    if (i)
      out += "\\\\";
    AppendEscaped(out, spelled[i], '[', ']');
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "] %u",
                unsigned((fileTime - kTicks1601To1970) / kTicksPerSecond));
  out += buffer;
  out += eol_;
  std::snprintf(buffer, sizeof buffer, "#time=%x%08x", unsigned(fileTime >> 32),
                unsigned(fileTime & 0xFFFFFFFFu));
  out += buffer;
  out += eol_;
  return out;
}

void WineHive::Touch(const Block& block, std::uint64_t fileTime, std::vector<Edit>& edits) const {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, " %u",
                unsigned((fileTime - kTicks1601To1970) / kTicksPerSecond));
  std::size_t keyLineEnd = ContentLineEnd(text_, block.begin);
  edits.push_back({block.keyEnd, keyLineEnd - block.keyEnd, buffer});

  std::snprintf(buffer, sizeof buffer, "#time=%x%08x", unsigned(fileTime >> 32),
                unsigned(fileTime & 0xFFFFFFFFu));
  for (std::size_t pos = block.lineEnd; pos < block.end; pos = NextLogicalLine(pos)) {
    std::size_t p = SkipSpaces(text_, pos, LineEnd(text_, pos));
    if (StartsWith(text_, p, "#time=")) {
      edits.push_back({p, ContentLineEnd(text_, pos) - p, buffer});
      return;
    }
  }
  // #time wins over the number after the key name; a block without one gets one.
  if (block.lineEnd == text_.size() && (text_.empty() || text_.back() != '\n'))
    edits.push_back({block.lineEnd, 0, (text_.ends_with('\r') ? "\n" : eol_) + buffer});
  else
    edits.push_back({block.lineEnd, 0, buffer + eol_});
}

void WineHive::InsertBlock(const Path& path, const std::string& valueLines, std::uint64_t fileTime,
                           std::vector<Edit>& edits) const {
  std::u16string folded = FoldedKey(path);
  // Before the first key that sorts after it: Wine's own position in a file Wine wrote.
  std::size_t before = blocks_.size();
  for (std::size_t i = 0; i < blocks_.size(); ++i) {
    if (blocks_[i].valid && Compare(blocks_[i], folded) > 0) {
      before = i;
      break;
    }
  }
  std::size_t at = ContentEndBefore(before);
  std::string text = LeadIn(at);
  text += eol_;
  text += KeyLines(Spell(path), fileTime);
  text += valueLines;
  edits.push_back({at, 0, std::move(text)});
}

std::string WineHive::FormatValue(std::u16string_view name, const RegValue& value) const {
  std::string out;
  std::size_t count;
  if (name.empty()) {
    out = "@=";
    count = 2;
  } else {
    out = "\"";
    AppendEscaped(out, name, '"', '"');
    out += "\"=";
    count = out.size();
  }
  const auto& data = value.data;
  char buffer[32];
  switch (value.type) {
  case kRegSz:
  case kRegExpandSz:
  case kRegMultiSz:
    // Only a properly terminated string is written as a string.
    if (data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 2] == 0 &&
        data[data.size() - 1] == 0) {
      if (value.type != kRegSz) {
        std::snprintf(buffer, sizeof buffer, "str(%x):", unsigned(value.type));
        out += buffer;
      }
      out += '"';
      std::u16string units = BytesToUtf16(data);
      units.pop_back();
      AppendEscaped(out, units, '"', '"');
      out += '"';
      return out;
    }
    break;
  case kRegDword:
    if (data.size() == 4) {
      std::snprintf(
          buffer, sizeof buffer, "dword:%08x",
          unsigned(data[0] | (data[1] << 8) | (data[2] << 16) | (unsigned(data[3]) << 24)));
      out += buffer;
      return out;
    }
    break;
  default:
    break;
  }
  if (value.type == kRegBinary)
    std::snprintf(buffer, sizeof buffer, "hex:");
  else
    std::snprintf(buffer, sizeof buffer, "hex(%x):", unsigned(value.type));
  out += buffer;
  count += std::string_view(buffer).size();
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", unsigned(data[i]));
    out += buffer;
    count += 2;
    if (i + 1 < data.size()) {
      out += ',';
      if (++count > 76) {
        out += "\\" + eol_ + "  ";
        count = 2;
      }
    }
  }
  return out;
}

void WineHive::Apply(std::vector<Edit> edits) {
  // By position; at one position, insertions (in the order made) before a replacement.
  std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
    return a.offset != b.offset ? a.offset < b.offset : a.length == 0 && b.length != 0;
  });
  std::size_t extra = 0;
  for (const auto& e : edits)
    extra += e.text.size();
  std::string out;
  out.reserve(text_.size() + extra);
  std::size_t pos = 0;
  for (const auto& e : edits) {
    out.append(text_, pos, e.offset - pos);
    out += e.text;
    pos = e.offset + e.length;
  }
  out.append(text_, pos, std::string::npos);
  text_ = std::move(out);
  stale_ = true;
}

bool WineHive::SetValue(const Path& path, std::u16string_view name, const RegValue& value,
                        std::uint64_t fileTime) {
  Fresh();
  std::vector<Edit> edits;
  std::vector<std::size_t> blocks = ExactBlocks(FoldedKey(path));
  if (blocks.empty()) {
    InsertBlock(path, FormatValue(name, value) + eol_, fileTime, edits);
    Apply(std::move(edits));
    return true;
  }
  std::u16string folded = FoldString(name);
  std::optional<Item> last;
  std::size_t lastBlock = 0;
  std::u16string spelling;
  for (std::size_t b : blocks) {
    for (auto& item : Items(blocks_[b])) {
      if (item.folded != folded)
        continue;
      if (!last)
        spelling = item.name;
      last = std::move(item);
      lastBlock = b;
    }
  }
  if (last) {
    if (last->value.type == value.type && last->value.data == value.data)
      return false;
    Touch(blocks_[lastBlock], fileTime, edits);
    edits.push_back({last->begin, last->end - last->begin, FormatValue(spelling, value)});
  } else {
    // A new value goes to its sorted place among the block's values.
    const Block& block = blocks_[blocks.front()];
    auto items = Items(block);
    std::size_t at = items.empty() ? block.contentEnd : items.back().next;
    for (const auto& item : items) {
      if (item.folded > folded) {
        at = item.begin;
        break;
      }
    }
    Touch(block, fileTime, edits);
    std::string text = LeadIn(at);
    text += FormatValue(name, value) + eol_;
    edits.push_back({at, 0, std::move(text)});
  }
  Apply(std::move(edits));
  return true;
}

bool WineHive::CreateKey(const Path& path, std::uint64_t fileTime) {
  Fresh();
  if (Exists(path))
    return false;
  std::vector<Edit> edits;
  InsertBlock(path, {}, fileTime, edits);
  Apply(std::move(edits));
  return true;
}

bool WineHive::DeleteKey(const Path& path, std::uint64_t fileTime) {
  Fresh();
  if (path.empty())
    return false;
  std::u16string key = FoldedKey(path);
  Range self = Exact(key);
  Range sub = Subtree(key);
  if (self.first == self.last || sub.last - sub.first != self.last - self.first)
    return false; // missing, or it has sub-keys
  Path parent(path.begin(), path.end() - 1);
  Range parentTree = Subtree(FoldedKey(parent));
  bool keepParent = !parent.empty() && parentTree.last - parentTree.first == self.last - self.first;
  std::vector<Edit> edits;
  bool first = true;
  for (std::size_t b : ExactBlocks(key)) {
    // The block goes with the blank lines before it; the ones after it separate the next block.
    std::size_t from = ContentEndBefore(b);
    Edit edit{from, blocks_[b].contentEnd - from, {}};
    if (first && keepParent)
      edit.text = eol_ + KeyLines(Spell(parent), fileTime);
    first = false;
    edits.push_back(std::move(edit));
  }
  Apply(std::move(edits));
  return true;
}

} // namespace qv::platform
