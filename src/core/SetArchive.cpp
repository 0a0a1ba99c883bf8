#include "core/SetArchive.h"

#include "platform/Error.h"

namespace qv {

namespace {

constexpr std::string_view kFileNames[] = {"UO.CFG", "MACROS.TXT", "LOGIN.CFG"};
constexpr std::string_view kNamePrefix = "Name ";
constexpr std::string_view kEndLine = "End";

[[noreturn]] void Damaged(const std::string& what) {
  throw Error("The configuration set file is damaged: " + what + ".");
}

class Reader {
public:
  // crlf: the archive's own lines end with CR LF (see DecodeSetArchive).
  Reader(std::string_view bytes, bool crlf) : bytes_(bytes), crlf_(crlf) {}

  // The next line without its line end; false when no line end is left, or, with crlf, when the
  // next LF has no CR before it.
  bool Line(std::string_view& line) {
    const std::size_t end = bytes_.find('\n', pos_);
    if (end == std::string_view::npos)
      return false;
    std::size_t lineEnd = end;
    if (crlf_) {
      if (lineEnd == pos_ || bytes_[lineEnd - 1] != '\r')
        return false;
      --lineEnd;
    }
    line = bytes_.substr(pos_, lineEnd - pos_);
    pos_ = end + 1;
    return true;
  }
  bool Bytes(std::uint64_t count, std::string& out) {
    if (count > bytes_.size() - pos_)
      return false;
    out.assign(bytes_.substr(pos_, static_cast<std::size_t>(count)));
    pos_ += static_cast<std::size_t>(count);
    return true;
  }
  bool AtEnd() const { return pos_ == bytes_.size(); }

private:
  std::string_view bytes_;
  bool crlf_;
  std::size_t pos_ = 0;
};

// A size: decimal digits only, without zeros in front (one spelling per set), at most
// kMaxSettingsFileSize.
bool ParseSize(std::string_view text, std::uint64_t& size) {
  if (text.empty() || text.size() > 20 || (text.size() > 1 && text.front() == '0'))
    return false;
  size = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return false;
    size = size * 10 + std::uint64_t(c - '0');
    if (size > platform::kMaxSettingsFileSize)
      return false;
  }
  return true;
}

} // namespace

std::string EncodeSetArchive(const SetArchive& archive) {
  std::string out;
  out += kSetArchiveHeader;
  out += "\n";
  out += kNamePrefix;
  out += archive.name;
  out += "\n";
  for (std::size_t k = 0; k < archive.files.size(); ++k) {
    out += kFileNames[k];
    out += ' ';
    out += std::to_string(archive.files[k].size());
    out += '\n';
    out += archive.files[k];
    out += "\n";
  }
  out += kEndLine;
  out += "\n";
  return out;
}

namespace {

// Everything after the header line.
SetArchive DecodeBody(Reader& in) {
  std::string_view line;
  SetArchive archive;
  if (!in.Line(line) || line.substr(0, kNamePrefix.size()) != kNamePrefix)
    Damaged("the name is missing");
  archive.name = std::string(line.substr(kNamePrefix.size()));
  for (std::size_t k = 0; k < archive.files.size(); ++k) {
    const std::string fileName(kFileNames[k]);
    if (!in.Line(line))
      Damaged("it ends before " + fileName);
    std::uint64_t size = 0;
    if (line.substr(0, fileName.size() + 1) != fileName + " " ||
        !ParseSize(line.substr(fileName.size() + 1), size))
      Damaged("the line of " + fileName + " is wrong or gives a size above " +
              std::to_string(platform::kMaxSettingsFileSize) + " bytes");
    std::string_view end;
    if (!in.Bytes(size, archive.files[k]) || !in.Line(end))
      Damaged("it ends inside " + fileName);
    if (!end.empty())
      Damaged(fileName + " is longer than its size says");
  }
  if (!in.Line(line) || line != kEndLine)
    Damaged("the end line is missing");
  if (!in.AtEnd())
    Damaged("there is more after the end line");
  return archive;
}

} // namespace

SetArchive DecodeSetArchive(std::string_view bytes) {
  if (bytes.size() > kMaxSetArchiveSize)
    Damaged("it is larger than any configuration set");
  Reader in(bytes, false);
  std::string_view line;
  if (!in.Line(line) || line != kSetArchiveHeader) {
    // Mail and Windows editors turn every LF into CR LF. Where the copies inside were CR LF
    // already (the game's files are), only the archive's own lines changed and every size still
    // holds: such a file is read as it is. Otherwise its sizes no longer tell where a copy ends.
    if (line.size() == kSetArchiveHeader.size() + 1 && line.back() == '\r' &&
        line.substr(0, kSetArchiveHeader.size()) == kSetArchiveHeader) {
      try {
        Reader crlf(bytes, true);
        (void)crlf.Line(line); // the header, seen above
        return DecodeBody(crlf);
      } catch (const Error&) {
        throw Error("The configuration set file's line ends were changed (to CR LF, as mail or a "
                    "Windows editor does): its sizes no longer match its contents.");
      }
    }
    // The same format with a higher version: say so rather than "not a set file".
    const std::string_view stem = kSetArchiveHeader.substr(0, kSetArchiveHeader.size() - 1);
    if (bytes.substr(0, stem.size()) == stem)
      throw Error("The configuration set file was written by a later version of Quorvel.");
    throw Error("The file is not a configuration set file of Quorvel.");
  }
  return DecodeBody(in);
}

} // namespace qv
