#include "core/SetCatalog.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "core/CoreText.h"
#include "core/MainProc.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/RegistryNames.h"
#include "platform/WineHive.h"
#include "settings/KVXFile.h"
#include "text/Encoding.h"

namespace qv {

namespace {

constexpr std::string_view kSetKinds[] = {"UO.", "MACROS.", "LOGIN."};

TKVXFile Store() {
  return TKVXFile("HKEY_LOCAL_MACHINE", skRegistry);
}

bool SameSetName(const std::string& a, const std::string& b) {
  return platform::SameRegistryName(Utf8ToUtf16(core::Trim(a)), Utf8ToUtf16(core::Trim(b)));
}

} // namespace

std::string SetKey(std::string_view name) {
  return std::string(kSetsKey) + "\\" + std::string(name);
}

std::string SetNameRefusal(const std::string& name, const std::vector<std::string>& existing) {
  if (core::Trim(name).empty())
    return "You must enter a value.";
  if (name.find('\\') != std::string::npos)
    return "A configuration name cannot contain a backslash (\\).";
  const std::u16string units = Utf8ToUtf16(name);
  if (Utf16ToUtf8(units) != name)
    return "A configuration name must be UTF-8 text.";
  if (std::any_of(name.begin(), name.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
    return "A configuration name cannot contain control characters.";
  if (units.size() > kMaxSetNameLength)
    return "A configuration name can be at most " + std::to_string(kMaxSetNameLength) +
           " characters long.";
  for (const std::string& other : existing)
    if (SameSetName(other, name))
      return std::string(kDuplicateSetNameText);
  return {};
}

std::optional<std::string> FindSet(const std::vector<std::string>& sets, const std::string& name) {
  for (const std::string& set : sets)
    if (SameSetName(set, name))
      return set;
  return std::nullopt;
}

std::vector<std::string> ListSets() {
  // Not through the settings store: its listing creates a missing key, and a listing must change
  // nothing (also while Wine runs).
  auto key = platform::OpenRegistry()->OpenKey(
      platform::RootKey::LocalMachine, std::string(kSetsKey), platform::Registry::Access::Read);
  return key ? key->SubKeyNames() : std::vector<std::string>{};
}

std::string CurrentSetName() {
  return Store().ReadText(std::string(kSetsKey), "Current", std::string(kOriginalSetName));
}

std::string SetExt(const std::string& name) {
  return ValidSetExt(Store().ReadText(SetKey(name), "Ext", "001"));
}

std::string SetExtOf(std::int32_t n) {
  std::string digits = std::to_string(n);
  if (digits.size() < 3)
    digits.insert(0, 3 - digits.size(), '0');
  return digits;
}

std::optional<std::string> TakeSetExt(const MainState* state) {
  std::vector<std::string> usedExts;
  if (state)
    for (const std::string& set : ListSets())
      usedExts.push_back(SetExt(set));
  auto used = [&](const std::string& ext) {
    if (!state)
      return false;
    if (std::find(usedExts.begin(), usedExts.end(), ext) != usedExts.end())
      return true;
    for (std::string_view kind : kSetKinds)
      if (platform::FileExists(SetFilePath(*state, kind, ext)))
        return true;
    return false;
  };
  TKVXFile store = Store();
  const std::string key(kSetsKey);
  std::int32_t n = std::max<std::int32_t>(store.ReadNumber(key, "NextExt", 2), 2);
  for (;;) {
    // The registry's number holds no higher one: the next set would have no number of its own.
    if (n == std::numeric_limits<std::int32_t>::max())
      return std::nullopt;
    // The number is taken first and never given again, whatever happens after.
    store.WriteNumber(key, "NextExt", n + 1);
    const std::string ext = SetExtOf(n);
    if (!used(ext))
      return ext;
    ++n;
  }
}

void CopySetFiles(const MainState& state, const std::string& fromExt, const std::string& toExt) {
  // An extension forms a file name; anything but digits could name a file outside QRVDAT.
  if (ValidSetExt(fromExt) != fromExt || ValidSetExt(toExt) != toExt)
    throw Error("Cannot create file " + SetFilePath(state, "UO.", toExt));
  platform::DirectoryLock lock;
  if (!lock.Acquire(platform::ToHostPath(GameFilePath(state, "QRVDAT")),
                    std::chrono::milliseconds(3000)))
    throw Error("Cannot create file " + SetFilePath(state, "UO.", toExt));
  for (std::string_view kind : kSetKinds) {
    const std::string target = SetFilePath(state, kind, toExt);
    if (!platform::CopyFileReplacing(SetFilePath(state, kind, fromExt), target)) {
      std::string text = "Cannot create file " + target;
      if (const std::string reason = platform::LastFileError(); !reason.empty())
        text += "\n" + reason;
      throw Error(text);
    }
  }
}

} // namespace qv
