#include "settings/KVXIniFile.h"

#include <cerrno>

#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "text/Ascii.h"

namespace qv {

namespace {

// The blanks the profile functions trim around names and values (0x1a is the old end-of-file
// mark that editors left behind).
bool IsIniSpace(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n' || c == 0x1a;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsIniSpace(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsIniSpace(s.back()))
    s.remove_suffix(1);
  return s;
}

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

enum class LineKind { Blank, Comment, Section, Entry, Other };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;  // section or entry name, trimmed
  std::string_view value; // entry value, trimmed, one pair of enclosing quotes removed
  std::string_view raw;   // entry value, trimmed only
};

ParsedLine Classify(std::string_view text) {
  ParsedLine p;
  std::string_view t = Trim(text);
  if (t.empty()) {
    p.kind = LineKind::Blank;
    return p;
  }
  if (t.front() == ';') {
    p.kind = LineKind::Comment;
    return p;
  }
  if (t.front() == '[') {
    // The name runs to the last ']' on the line; without one the line is not a header.
    auto close = t.rfind(']');
    if (close != std::string_view::npos) {
      p.kind = LineKind::Section;
      p.name = Trim(t.substr(1, close - 1));
      return p;
    }
  }
  auto eq = t.find('=');
  if (eq == std::string_view::npos)
    return p; // a line without '=' holds no entry
  p.kind = LineKind::Entry;
  p.name = Trim(t.substr(0, eq));
  p.raw = Trim(t.substr(eq + 1));
  p.value = p.raw;
  if (p.value.size() >= 2 && (p.value.front() == '"' || p.value.front() == '\'') &&
      p.value.back() == p.value.front())
    p.value = p.value.substr(1, p.value.size() - 2);
  return p;
}

bool IsContent(LineKind kind) {
  return kind != LineKind::Blank && kind != LineKind::Comment;
}

} // namespace

IniText::IniText(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bom_ = bytes.substr(0, 3);
    bytes.remove_prefix(3);
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n')
      continue;
    std::size_t endLen = (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
    lines_.push_back(
        {std::string(bytes.substr(start, i - start)), std::string(bytes.substr(i, endLen))});
    i += endLen - 1;
    start = i + 1;
  }
  if (start < bytes.size())
    lines_.push_back({std::string(bytes.substr(start)), std::string()});
}

std::size_t IniText::FindSection(std::string_view name) const {
  name = Trim(name);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    ParsedLine p = Classify(lines_[i].text);
    if (p.kind == LineKind::Section && EqualsFoldedAscii(p.name, name))
      return i;
  }
  return std::string::npos;
}

std::size_t IniText::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < lines_.size() && Classify(lines_[i].text).kind != LineKind::Section)
    ++i;
  return i;
}

std::optional<std::string> IniText::Value(std::string_view section, std::string_view ident) const {
  std::size_t header = FindSection(section);
  if (header == std::string::npos)
    return std::nullopt;
  ident = Trim(ident);
  std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    ParsedLine p = Classify(lines_[i].text);
    if (p.kind == LineKind::Entry && EqualsFoldedAscii(p.name, ident))
      return std::string(p.value);
  }
  return std::nullopt;
}

std::vector<std::string> IniText::Sections() const {
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    ParsedLine p = Classify(line.text);
    if (p.kind == LineKind::Section && !p.name.empty())
      names.emplace_back(p.name);
  }
  return names;
}

std::string IniText::NewLineEnd() const {
  for (const Line& line : lines_)
    if (!line.end.empty())
      return line.end;
  return "\r\n";
}

void IniText::InsertLine(std::size_t at, std::string text) {
  std::string end = NewLineEnd();
  if (at > 0 && lines_[at - 1].end.empty())
    lines_[at - 1].end = end;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), end});
}

bool IniText::SetValue(std::string_view section, std::string_view ident, std::string_view value) {
  section = Trim(section);
  ident = Trim(ident);
  // Refuse what would not read back as this one entry in this section.
  if (HasLineBreak(section) || HasLineBreak(ident) || HasLineBreak(value))
    return false;
  if (ident.find('=') != std::string_view::npos || (!ident.empty() && ident.front() == ';'))
    return false;
  // "[name=value]" would read as a section header: the header runs to the line's last ']'.
  if (!ident.empty() && ident.front() == '[' &&
      (ident.find(']') != std::string_view::npos || value.find(']') != std::string_view::npos))
    return false;

  std::size_t header = FindSection(section);
  if (header == std::string::npos) {
    if (!lines_.empty() && Classify(lines_.back().text).kind != LineKind::Blank)
      InsertLine(lines_.size(), std::string());
    // Built by appending: GCC 12 misreads "[" + std::string(...) at -O2 (-Wrestrict).
    std::string headerLine(1, '[');
    headerLine.append(section).append(1, ']');
    InsertLine(lines_.size(), std::move(headerLine));
    InsertLine(lines_.size(), std::string(ident) + "=" + std::string(value));
    return true;
  }

  std::size_t end = SectionEnd(header);
  std::size_t lastContent = header;
  for (std::size_t i = header + 1; i < end; ++i) {
    ParsedLine p = Classify(lines_[i].text);
    if (p.kind == LineKind::Entry && EqualsFoldedAscii(p.name, ident)) {
      if (p.raw != value) // an equal value keeps the line as it was written
        lines_[i].text = std::string(p.name) + "=" + std::string(value);
      return true;
    }
    if (IsContent(p.kind))
      lastContent = i;
  }
  // New entries go after the section's last entry, before blank lines and comments that lead
  // into the next section.
  InsertLine(lastContent + 1, std::string(ident) + "=" + std::string(value));
  return true;
}

void IniText::EraseSection(std::string_view section) {
  for (;;) {
    std::size_t header = FindSection(section);
    if (header == std::string::npos)
      return;
    std::size_t end = SectionEnd(header);
    std::size_t stop = header + 1;
    for (std::size_t i = header + 1; i < end; ++i)
      if (IsContent(Classify(lines_[i].text).kind))
        stop = i + 1;
    // Take the blank lines that separated it from what follows; comments there lead into the
    // next section and stay.
    while (stop < end && Classify(lines_[stop].text).kind == LineKind::Blank)
      ++stop;
    std::size_t start = header;
    if (stop == lines_.size())
      while (start > 0 && Classify(lines_[start - 1].text).kind == LineKind::Blank)
        --start;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(start),
                 lines_.begin() + static_cast<std::ptrdiff_t>(stop));
  }
}

std::string IniText::Bytes() const {
  std::string out = bom_;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.end;
  }
  return out;
}

std::optional<std::int32_t> ParseIniNumber(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    std::uint64_t value = 0;
    for (char c : text.substr(2)) {
      int digit;
      if (c >= '0' && c <= '9')
        digit = c - '0';
      else if (c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
      else
        return std::nullopt;
      value = value * 16 + std::uint64_t(digit);
      if (value > 0xFFFFFFFFu)
        return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  }
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty())
    return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL)
      return std::nullopt;
  }
  if (negative)
    value = -value;
  if (value > 2147483647LL)
    return std::nullopt;
  return static_cast<std::int32_t>(value);
}

IniText IniFile::Load() const {
  std::string bytes;
  if (!platform::ReadFileBytes(platform::ToHostPath(fileName_), bytes))
    return IniText();
  return IniText(bytes);
}

IniText IniFile::LoadForWrite() const {
  std::string bytes;
  if (platform::ReadFileBytes(platform::ToHostPath(fileName_), bytes))
    return IniText(bytes);
  if (errno == ENOENT)
    return IniText(); // the first write creates the file
  FailWrite();
}

void IniFile::Save(const IniText& before, const IniText& after) const {
  std::string bytes = after.Bytes();
  if (bytes == before.Bytes())
    return;
  if (!platform::WriteFileAtomically(platform::ToHostPath(fileName_), bytes))
    FailWrite();
}

void IniFile::FailWrite() const {
  throw Error("Unable to write to " + fileName_);
}

std::optional<std::string> IniFile::ReadString(const std::string& section,
                                               const std::string& ident) const {
  return Load().Value(section, ident);
}

std::vector<std::string> IniFile::ReadSections() const {
  return Load().Sections();
}

void IniFile::WriteString(const std::string& section, const std::string& ident,
                          const std::string& value) {
  IniText before = LoadForWrite();
  IniText after = before;
  if (!after.SetValue(section, ident, value))
    FailWrite();
  Save(before, after);
}

void IniFile::EraseSection(const std::string& section) {
  IniText before = LoadForWrite();
  IniText after = before;
  after.EraseSection(section);
  Save(before, after);
}

} // namespace qv
