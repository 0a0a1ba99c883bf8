#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A profile file read and written by the Windows profile rules (GetPrivateProfileString and
// WritePrivateProfileString): section and entry names match without regard to case (ASCII) and
// blanks around them, values are trimmed and lose one pair of enclosing quotes, ';' starts a
// comment line, the first section of a name and its first entry of a name win. Every line the
// program does not change is written back byte for byte, with its own line end.
namespace qv {

// The file's text as lines; the editing rules without any file access.
class IniText {
public:
  IniText() = default;
  explicit IniText(std::string_view bytes);

  // The entry's value; nullopt when the section or the entry is missing.
  std::optional<std::string> Value(std::string_view section, std::string_view ident) const;
  // Every named section, in file order (a repeated section is listed again).
  std::vector<std::string> Sections() const;

  // Sets the entry, adding the section or the entry where missing. False when the name or value
  // cannot be written as one entry line (line breaks, an '=' or a leading ';' in the name...).
  bool SetValue(std::string_view section, std::string_view ident, std::string_view value);
  // Removes every section of that name with its entries.
  void EraseSection(std::string_view section);

  std::string Bytes() const;

private:
  struct Line {
    std::string text;
    std::string end; // "\r\n", "\n", "\r", or "" for a last line without a line end
  };
  // Index of the first header of that section, or npos.
  std::size_t FindSection(std::string_view name) const;
  // One past the last line that belongs to the section whose header is at `header`.
  std::size_t SectionEnd(std::size_t header) const;
  // The line end for new lines: the file's own, CR LF for a new file.
  std::string NewLineEnd() const;
  void InsertLine(std::size_t at, std::string text);

  std::string bom_;
  std::vector<Line> lines_;
};

// The file behind a store of kind skIniFile. Every call reads the file afresh; a write replaces it
// atomically. The file name may be in Windows or host form.
class IniFile {
public:
  explicit IniFile(std::string fileName) : fileName_(std::move(fileName)) {}

  const std::string& FileName() const { return fileName_; }

  // nullopt when the entry is missing or the file cannot be read.
  std::optional<std::string> ReadString(const std::string& section, const std::string& ident) const;
  std::vector<std::string> ReadSections() const;
  // Throw qv::Error "Unable to write to <file name>" when the file does not take the change.
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  void EraseSection(const std::string& section);

private:
  // The file's contents; an unreadable or missing file reads as empty.
  IniText Load() const;
  // For a change: a missing file is empty, an unreadable one refuses the change.
  IniText LoadForWrite() const;
  void Save(const IniText& before, const IniText& after) const;
  [[noreturn]] void FailWrite() const;

  std::string fileName_;
};

// A profile file's number: decimal with an optional sign, or "0x"/"0X" and up to eight hex digits
// (taken as the 32-bit pattern). nullopt when the text is not such a number.
std::optional<std::int32_t> ParseIniNumber(std::string_view text);

} // namespace qv
