// The INI file behind a settings store of kind skIniFile (IniText): parse, set one entry, remove
// one section, write, parse again.
//
// Properties: a text read and written without a change is the same bytes; an entry that was set
// reads back as written (trimmed, one pair of quotes removed, as the profile functions read it);
// every other entry reads as before; a removed section is gone and the others keep their entries.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "settings/KVXIniFile.h"

namespace {

using qv::IniText;

bool IsIniSpace(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n' || c == 0x1a;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && IsIniSpace(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsIniSpace(s.back()))
    s.remove_suffix(1);
  return s;
}

// How a written value reads back: trimmed, one pair of enclosing quotes removed.
std::string AsRead(std::string_view value) {
  std::string_view v = Trimmed(value);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return std::string(v);
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  a = Trimmed(a);
  b = Trimmed(b);
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i]))
      return false;
  return true;
}

// The entry names of the text, found by scanning for '=' lines (a superset is fine: a name that
// is not an entry reads as missing on both sides).
std::vector<std::string> CandidateIdents(std::string_view text) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < text.size() && names.size() < 64) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos)
      end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (auto eq = line.find('='); eq != std::string_view::npos)
      names.emplace_back(Trimmed(line.substr(0, eq)));
    start = end + 1;
  }
  return names;
}

using Entries = std::vector<std::pair<std::string, std::optional<std::string>>>;

Entries Read(const IniText& ini, const std::vector<std::string>& sections,
             const std::vector<std::string>& idents) {
  Entries out;
  for (const auto& section : sections)
    for (const auto& ident : idents)
      out.emplace_back(section + "\n" + ident, ini.Value(section, ident));
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::fuzz::Input input(data, size, 12);
  const std::string_view text = input.Text();
  const IniText ini(text);
  FUZZ_CHECK(ini.Bytes() == text);

  std::vector<std::string> sections = ini.Sections();
  if (sections.size() > 16)
    sections.resize(16);
  std::vector<std::string> idents = CandidateIdents(text);
  const Entries before = Read(ini, sections, idents);

  // One entry set, in a section of the file or a new one.
  std::string section = !sections.empty() && input.Flag() ? sections[input.Choose(sections.size())]
                                                          : std::string(input.Slice(10));
  std::string ident = !idents.empty() && input.Flag() ? idents[input.Choose(idents.size())]
                                                      : std::string(input.Slice(10));
  const std::string value(input.Slice(30));
  IniText edited = ini;
  if (edited.SetValue(section, ident, value)) {
    const IniText reread(edited.Bytes());
    FUZZ_CHECK(reread.Bytes() == edited.Bytes());
    FUZZ_CHECK(reread.Value(section, ident) == AsRead(value));
    // Every other entry reads as before.
    const Entries after = Read(reread, sections, idents);
    for (std::size_t i = 0; i < before.size(); ++i) {
      const auto& [key, old] = before[i];
      const std::string s = key.substr(0, key.find('\n'));
      const std::string id = key.substr(key.find('\n') + 1);
      if (SameName(s, section) && SameName(id, ident))
        continue;
      FUZZ_CHECK(after[i].second == old);
    }
    // Setting it again changes nothing.
    IniText twice = edited;
    FUZZ_CHECK(twice.SetValue(section, ident, value));
    FUZZ_CHECK(twice.Bytes() == edited.Bytes());
  } else {
    FUZZ_CHECK(edited.Bytes() == ini.Bytes());
  }

  // One section removed.
  if (!sections.empty()) {
    const std::string victim = sections[input.Choose(sections.size())];
    IniText pruned = ini;
    pruned.EraseSection(victim);
    const IniText reread(pruned.Bytes());
    for (const auto& s : reread.Sections())
      FUZZ_CHECK(!SameName(s, victim));
    const Entries after = Read(reread, sections, idents);
    for (std::size_t i = 0; i < before.size(); ++i) {
      const std::string s = before[i].first.substr(0, before[i].first.find('\n'));
      if (SameName(s, victim))
        FUZZ_CHECK(!after[i].second.has_value());
      else
        FUZZ_CHECK(after[i].second == before[i].second);
    }
  }
  return 0;
}
