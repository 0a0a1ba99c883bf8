#include "core/JournalPlace.h"

#include <deque>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/MainProc.h"
#include "core/MainState.h"
#include "platform/FileSystem.h"

#ifdef _WIN32
#include "text/Ascii.h"
#endif

namespace qv {

namespace {

namespace fs = std::filesystem;

// As many links as Linux follows in one path before it gives up (MAXSYMLINKS).
constexpr int kMaxLinks = 40;

// std::filesystem takes a narrow string in the system's code page on Windows; ours are UTF-8.
fs::path PathOfUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8OfPath(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// One component at a time, as the system walks a path: a link is replaced by its target before the
// components after it, so ".." after a link leaves the link's target, and a link that points at
// nothing yet is followed too (writing through it would create its target). Unlike
// fs::weakly_canonical, which stops following at the first missing component.
fs::path Resolve(const fs::path& start) {
  std::error_code error;
  fs::path absolute = fs::absolute(start, error);
  if (error)
    absolute = start;
  const fs::path rest = absolute.relative_path();
  std::deque<fs::path> pending(rest.begin(), rest.end());
  fs::path result = absolute.root_path();
  int links = 0;
  while (!pending.empty()) {
    const fs::path part = pending.front();
    pending.pop_front();
    if (part.empty() || part == ".")
      continue;
    if (part == "..") {
      result = result.parent_path(); // the root's parent is the root
      continue;
    }
    fs::path next = result / part;
    if (links < kMaxLinks && fs::is_symlink(fs::symlink_status(next, error))) {
      const fs::path target = fs::read_symlink(next, error);
      if (!error) {
        ++links;
        const fs::path targetRest = target.relative_path();
        pending.insert(pending.begin(), targetRest.begin(), targetRest.end());
        if (target.has_root_directory())
          result = target.has_root_name() ? target.root_path()
                                          : result.root_name() / target.root_directory();
        else if (target.has_root_name())
          result = target.root_name(); // "D:name": rare enough to take from the drive's top
        continue;
      }
    }
    result = std::move(next);
  }
  return result;
}

bool SameComponent(const fs::path& a, const fs::path& b) {
#ifdef _WIN32
  // Windows names files without regard to case.
  return EqualsFoldedAscii(Utf8OfPath(a), Utf8OfPath(b));
#else
  return a == b;
#endif
}

// True when the place lies strictly below the directory (both resolved).
bool IsBelow(const fs::path& place, const fs::path& dir) {
  auto p = place.begin();
  for (const auto& part : dir) {
    if (part.empty())
      continue;
    if (p == place.end() || !SameComponent(*p, part))
      return false;
    ++p;
  }
  for (; p != place.end(); ++p) {
    if (!p->empty())
      return true;
  }
  return false;
}

} // namespace

std::string RealLocation(const std::string& path) {
  if (path.empty())
    return {};
  return Utf8OfPath(Resolve(PathOfUtf8(platform::ToHostPath(path))));
}

bool LiesOutsideDirectory(const std::string& path, const std::string& dir) {
  // Blanks name no file: the journal page puts the default name there.
  if (path.find_first_not_of(" \t") == std::string::npos || dir.empty())
    return false;
  return !IsBelow(PathOfUtf8(RealLocation(path)), PathOfUtf8(RealLocation(dir)));
}

bool JournalOutsideGameDir(const MainState& state) {
  return LiesOutsideDirectory(JournalFilePath(state), state.gameDir);
}

std::string JournalOutsideWarning(const MainState& state) {
  if (!JournalOutsideGameDir(state))
    return {};
  const std::string name = JournalFilePath(state);
  std::string text = "The journal file of this configuration lies outside the game directory: ";
  text += name;
  const std::string location = RealLocation(name);
  if (location != name)
    text += " (" + location + ")";
  return text;
}

} // namespace qv
