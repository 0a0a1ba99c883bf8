// The options file UO.CFG: ReadOptions and WriteOptions.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "core/CoreText.h"
#include "core/MainProc.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "settings/KVXStrings.h"

namespace qv {

namespace {

enum Option {
  CdRomDataPath,
  CacheSize,
  JournalSaveFile,
  SoundVol,
  MusicVol,
  Sound,
  Music,
  ShowIntroAnim,
  ChestOpening,
  FullScreen,
  NotorietyQuery,
  UseCircleTrans,
  PageFlip,
  Footsteps,
  Use565,
  ObscenityFilter,
};

// In the order they are tested: "SOUNDVOL" and "MUSICVOL" before "SOUND" and "MUSIC", since only
// the start of a line is compared.
constexpr std::string_view kMatchWords[] = {
    "CDROMDATAPATH", "CACHESIZE",  "JOURNALSAVEFILE", "SOUNDVOL",
    "MUSICVOL",      "SOUND",      "MUSIC",           "SHOWINTROANIM",
    "CHESTOPENING",  "FULLSCREEN", "NOTORIETYQUERY",  "USECIRCLETRANS",
    "PAGEFLIP",      "FOOTSTEPS",  "USE565",          "OBSCENITYFILTER"};

// The names the program writes, by Option; error messages name the option by them.
constexpr std::string_view kOptionNames[] = {
    "CdRomDataPath", "CacheSize",  "JournalSaveFile", "SoundVol",
    "MusicVol",      "Sound",      "Music",           "ShowIntroAnim",
    "ChestOpening",  "FullScreen", "NotorietyQuery",  "UseCircleTrans",
    "PageFlip",      "Footsteps",  "Use565",          "ObscenityFilter"};

constexpr std::size_t kMaxValueLength = 99;

// The UTF-8 byte-order mark some editors put in front of a file's first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string OnOff(bool value) {
  return value ? "on" : "off";
}

// The cache size as the field shows it: rounded, at least three digits ("010", "1234").
std::string CacheSizeText(double value) {
  if (std::fabs(value) >= 1e15)
    throw std::range_error("cache size");
  const long long whole = std::llround(value);
  char digits[32];
  std::snprintf(digits, sizeof digits, "%03lld", whole < 0 ? -whole : whole);
  std::string text = whole < 0 ? "-" : "";
  text += digits;
  return text;
}

int Volume(const std::string& value) {
  return std::clamp(core::StrToInt(value), 1, 255);
}

void ApplyOption(MainState& state, Option option, const std::string& value) {
  const std::string upper = core::UpperCase(value);
  switch (option) {
  case CdRomDataPath:
    if (!value.empty())
      state.cdRomDataPath = value;
    break;
  case CacheSize:
    if (!value.empty()) {
      const double size = core::StrToFloat(value);
      try {
        state.cacheSize = CacheSizeText(size);
      } catch (const std::range_error&) {
        throw Error("'" + value + "' is not a valid floating point value");
      }
      state.cacheSizeReadValue = value;
      state.cacheSizeReadText = state.cacheSize;
    }
    break;
  case JournalSaveFile:
    if (!value.empty()) {
      state.journalRecord = 'Y';
      state.journalFile = value;
      state.journalFileRead = true;
    }
    break;
  case SoundVol:
    state.soundVol = Volume(value);
    break;
  case MusicVol:
    state.musicVol = Volume(value);
    break;
  case Sound:
    state.sound = upper == "ON";
    break;
  case Music:
    state.music = upper == "ON";
    break;
  case ShowIntroAnim:
    state.showIntroAnim = upper == "ON";
    break;
  case ChestOpening:
    state.chestOpening = upper == "ON";
    break;
  case FullScreen:
    state.fullScreen = upper == "ON";
    break;
  case NotorietyQuery:
    state.notorietyQuery = upper == "ON";
    break;
  case UseCircleTrans:
    state.useCircleTrans = upper == "YES";
    break;
  case PageFlip:
    if (upper == "OFF")
      state.pageFlip = 'N';
    else if (upper == "GDI")
      state.pageFlip = 'G';
    break;
  case Footsteps:
    state.footsteps = upper == "ON";
    break;
  case Use565:
    state.use565 = upper == "ON";
    break;
  case ObscenityFilter:
    state.obscenityFilter = upper == "ON";
    break;
  }
}

// The option a line holds, if any, and its value.
std::optional<std::pair<Option, std::string>> MatchOption(std::string_view line) {
  // Trimming would drop a zero byte, and writing the option anew the bytes around it: such a line
  // stays as it is.
  if (line.find('\0') != std::string_view::npos)
    return std::nullopt;
  const std::string trimmed = core::Trim(line);
  const std::string upper = core::UpperCase(trimmed);
  for (std::size_t i = 0; i < std::size(kMatchWords); ++i) {
    const std::string_view word = kMatchWords[i];
    if (upper.starts_with(word)) {
      // Exactly one character, normally '=', is skipped after the key.
      std::string value =
          trimmed.size() > word.size() + 1 ? trimmed.substr(word.size() + 1, kMaxValueLength) : "";
      // Cut inside the line, a value may end in blanks that the next read of the written line
      // drops: dropped now, the value shown is the one read back.
      while (!value.empty() && static_cast<unsigned char>(value.back()) <= ' ')
        value.pop_back();
      return std::make_pair(static_cast<Option>(i), std::move(value));
    }
  }
  return std::nullopt;
}

std::string ReadVersion(const MainState& state) {
  // A missing or empty version.txt only leaves the version empty; the options are still read.
  try {
    auto lines = platform::ReadLines(GameFilePath(state, "version.txt"));
    // The version ends at a zero byte (padding), as does the text; nothing after it is shown.
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::size_t zero = lines[i].find('\0');
      if (zero == std::string::npos)
        continue;
      lines[i].resize(zero);
      lines.resize(lines[i].empty() ? i : i + 1);
      break;
    }
    return lines.empty() ? std::string() : lines.back();
  } catch (const Error&) {
    return std::string();
  }
}

} // namespace

void ReadOptions(MainState& state, std::string_view sourcePath) {
  state.installDir = RemoveBackslash(state.gameDir);
  state.cdRomDataPath.clear();
  state.cacheSize = "000";
  state.cacheSizeReadValue.clear();
  state.cacheSizeReadText.clear();
  state.journalRecord = 'N';
  state.journalFileRead = false;
  state.pageFlip = 'Y';
  state.sound = true;
  state.notorietyQuery = false;
  state.music = true;
  state.showIntroAnim = true;
  state.chestOpening = true;
  state.fullScreen = true;
  state.useCircleTrans = false;
  state.obscenityFilter = true;
  state.footsteps = false;
  state.use565 = false;
  state.version = ReadVersion(state);

  // The mark belongs to the file, not to its first line: taken off, that line is read like any
  // other, and WriteOptions puts the mark back at the start of the file.
  state.optionsByteOrderMark =
      !state.optionLines.empty() && state.optionLines.front().starts_with(kByteOrderMark);
  if (state.optionsByteOrderMark)
    state.optionLines.front().erase(0, kByteOrderMark.size());

  // Bottom up, so that the occurrence nearest the top wins. Every recognised line goes, also one
  // whose value does not convert: a later save must not write it a second time.
  std::vector<std::string> badValues; // bottom first
  std::vector<bool> recognised(state.optionLines.size(), false);
  for (std::size_t i = state.optionLines.size(); i-- > 0;) {
    const auto match = MatchOption(state.optionLines[i]);
    if (!match)
      continue;
    recognised[i] = true;
    try {
      ApplyOption(state, match->first, match->second);
    } catch (const Error& error) {
      std::string text = std::string(error.what()) + " (" +
                         std::string(kOptionNames[static_cast<std::size_t>(match->first)]);
      if (!sourcePath.empty())
        text += " in " + std::string(sourcePath);
      badValues.push_back(text + ")");
    }
  }
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < state.optionLines.size(); ++i)
    if (!recognised[i])
      kept.push_back(std::move(state.optionLines[i]));
  state.optionLines = std::move(kept);

  if (!badValues.empty()) {
    std::string message;
    for (auto bad = badValues.rbegin(); bad != badValues.rend(); ++bad)
      message += (message.empty() ? "" : "\n") + *bad;
    throw Error(message);
  }
}

std::vector<std::string> OptionFileLines(const MainState& state) {
  std::vector<std::string> lines;
  // Unedited, the field shows the value rounded: the value is written as the file had it.
  if (!state.cacheSizeReadValue.empty() && state.cacheSize == state.cacheSizeReadText)
    lines.push_back("CacheSize=" + state.cacheSizeReadValue);
  else
    lines.push_back("CacheSize=" + std::to_string(core::StrToInt(core::Trim(state.cacheSize))));
  lines.push_back("CdRomDataPath=" + state.cdRomDataPath);
  if (state.journalRecord == "Y")
    lines.push_back("JournalSaveFile=" + state.journalFile);
  lines.push_back("Sound=" + OnOff(state.sound));
  lines.push_back("Music=" + OnOff(state.music));
  lines.push_back("ShowIntroAnim=" + OnOff(state.showIntroAnim));
  lines.push_back("ChestOpening=" + OnOff(state.chestOpening));
  lines.push_back("FullScreen=" + OnOff(state.fullScreen));
  lines.push_back("NotorietyQuery=" + OnOff(state.notorietyQuery));
  lines.push_back(std::string("UseCircleTrans=") + (state.useCircleTrans ? "yes" : "no"));
  lines.push_back(std::string("PageFlip=") + (state.pageFlip == "N"   ? "off"
                                              : state.pageFlip == "G" ? "gdi"
                                                                      : "on"));
  lines.push_back("Footsteps=" + OnOff(state.footsteps));
  lines.push_back("Use565=" + OnOff(state.use565));
  lines.push_back("ObscenityFilter=" + OnOff(state.obscenityFilter));
  lines.push_back("SoundVol=" + std::to_string(state.soundVol));
  lines.push_back("MusicVol=" + std::to_string(state.musicVol));
  return lines;
}

void WriteOptions(MainState& state) {
  // Built aside, so that a failed conversion or write leaves optionLines holding only the lines
  // the program does not recognise.
  std::vector<std::string> lines = state.optionLines;
  const std::vector<std::string> options = OptionFileLines(state);
  lines.insert(lines.end(), options.begin(), options.end());
  // A first line that itself begins with the mark's bytes (one from further down, moved up as
  // the option lines above it went) gets the mark in front: else the next read takes them for it.
  if (state.optionsByteOrderMark || lines.front().starts_with(kByteOrderMark))
    lines.front().insert(0, kByteOrderMark);
  platform::WriteLines(SetFilePath(state, "UO.", state.currentSetExt), lines);
  state.optionLines = std::move(lines);
  ReadOptions(state);
}

} // namespace qv
