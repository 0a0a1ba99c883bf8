// The options file UO.CFG: read into the state, write the set copy, read again.
//
// Properties: the lines the program does not recognise stay in optionLines byte for byte and are
// written back in front of the option lines (a leading byte-order mark stays at the start); what
// was read is what was written; a second read-write cycle writes the same bytes.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "FuzzSupport.h"
#include "core/MainProc.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace {

using qv::MainState;
using qv::fuzz::TrimControls;

// A line is an option line when it holds no zero byte and, trimmed and in capitals, begins with
// one of these words.
constexpr std::string_view kOptionWords[] = {
    "CDROMDATAPATH", "CACHESIZE",  "JOURNALSAVEFILE", "SOUNDVOL",
    "MUSICVOL",      "SOUND",      "MUSIC",           "SHOWINTROANIM",
    "CHESTOPENING",  "FULLSCREEN", "NOTORIETYQUERY",  "USECIRCLETRANS",
    "PAGEFLIP",      "FOOTSTEPS",  "USE565",          "OBSCENITYFILTER"};

bool IsOptionLine(std::string_view line) {
  if (line.find('\0') != std::string_view::npos)
    return false;
  std::string upper(TrimControls(line));
  for (char& c : upper)
    if (c >= 'a' && c <= 'z')
      c = char(c - 'a' + 'A');
  for (std::string_view word : kOptionWords)
    if (upper.starts_with(word))
      return true;
  return false;
}

auto Fields(const MainState& s) {
  return std::make_tuple(s.cdRomDataPath, s.cacheSize, s.sound, s.music, s.showIntroAnim,
                         s.chestOpening, s.fullScreen, s.notorietyQuery, s.useCircleTrans,
                         s.pageFlip, s.footsteps, s.use565, s.obscenityFilter, s.soundVol,
                         s.musicVol, s.journalRecord, s.journalFile);
}

bool EndsWith(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// One line per bad value: "'<value>' is not a valid ... value (<option>)".
bool IsBadValuesMessage(const std::string& message) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(message.find('\n', start), message.size());
    const std::string line = message.substr(start, end - start);
    if (!line.starts_with("'") || !EndsWith(line, ")") ||
        (line.find("' is not a valid integer value (") == std::string::npos &&
         line.find("' is not a valid floating point value (") == std::string::npos))
      return false;
    if (end == message.size())
      return true;
    start = end + 1;
  }
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

MainState FreshState() {
  MainState state;
  state.gameDir = qv::fuzz::ScratchGameDir();
  state.currentSetExt = "001";
  return state;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  MainState state = FreshState();
  const std::string copy = qv::SetFilePath(state, "UO.", state.currentSetExt);
  qv::fuzz::RemoveFile(copy);

  state.optionLines = qv::platform::SplitLines(text);
  // A byte-order mark at the start of the file is no part of the first line and is written back
  // at the start.
  std::vector<std::string> lines = state.optionLines;
  const bool bom = !lines.empty() && lines.front().starts_with(kByteOrderMark);
  if (bom)
    lines.front().erase(0, kByteOrderMark.size());
  std::vector<std::string> unrecognised;
  for (const std::string& line : lines)
    if (!IsOptionLine(line))
      unrecognised.push_back(line);

  try {
    qv::ReadOptions(state);
  } catch (const qv::Error& error) {
    FUZZ_CHECK(IsBadValuesMessage(error.what()));
  }
  FUZZ_CHECK(state.optionLines == unrecognised);
  const auto read = Fields(state);

  try {
    qv::WriteOptions(state);
  } catch (const qv::Error& error) {
    // Only a cache size beyond the integer range is refused; then nothing is written.
    FUZZ_CHECK(EndsWith(error.what(), "is not a valid integer value"));
    FUZZ_CHECK(state.optionLines == unrecognised);
    FUZZ_CHECK(!qv::platform::FileExists(copy));
    return 0;
  }
  std::string written;
  FUZZ_CHECK(qv::fuzz::GetFile(copy, written));
  // A first line that begins with the mark's bytes gets a mark in front as well.
  const bool mark =
      bom || (!unrecognised.empty() && unrecognised.front().starts_with(kByteOrderMark));
  FUZZ_CHECK(written.starts_with((mark ? std::string(kByteOrderMark) : std::string()) +
                                 qv::platform::JoinLines(unrecognised)));
  FUZZ_CHECK(state.optionLines == unrecognised);
  FUZZ_CHECK(Fields(state) == read);

  // Second cycle, as at the next start: the same values, the same bytes.
  MainState again = FreshState();
  again.optionLines = qv::platform::ReadLines(copy);
  qv::ReadOptions(again);
  FUZZ_CHECK(again.optionLines == unrecognised);
  FUZZ_CHECK(Fields(again) == read);
  qv::WriteOptions(again);
  std::string rewritten;
  FUZZ_CHECK(qv::fuzz::GetFile(copy, rewritten));
  FUZZ_CHECK(rewritten == written);
  return 0;
}
