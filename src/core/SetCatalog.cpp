#include "core/SetCatalog.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <memory>

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

constexpr std::string_view kSetsKey = "\\SOFTWARE\\Quorvel\\UOXConfigs";
constexpr std::string_view kSetKinds[] = {"UO.", "MACROS.", "LOGIN."};

TKVXFile Store() {
  return TKVXFile("HKEY_LOCAL_MACHINE", skRegistry);
}

std::string SetKey(std::string_view name) {
  return std::string(kSetsKey) + "\\" + std::string(name);
}

bool IsSetExt(std::string_view ext) {
  return !ext.empty() &&
         std::all_of(ext.begin(), ext.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "Ext" of the open set key: digits only, as a text value; anything else is no extension.
std::optional<std::string> ExtOf(platform::RegistryKey& key) {
  const std::optional<platform::RegValue> value = key.QueryValue("Ext");
  if (!value || (value->type != platform::kRegSz && value->type != platform::kRegExpandSz))
    return std::nullopt;
  std::string ext = platform::DecodeRegString(value->data);
  if (!IsSetExt(ext))
    return std::nullopt;
  return ext;
}

std::unique_ptr<platform::RegistryKey> OpenForRead(const std::string& path) {
  return platform::OpenRegistry()->OpenKey(platform::RootKey::LocalMachine, path,
                                           platform::Registry::Access::Read);
}

platform::RegistryEdit SetExtEdit(const std::string& name, const std::string& ext) {
  return platform::RegistryEdit::Set(SetKey(name), "Ext", platform::RegValue::Text(ext));
}

platform::RegistryEdit SetCurrentEdit(const std::string& name) {
  return platform::RegistryEdit::Set(std::string(kSetsKey), "Current",
                                     platform::RegValue::Text(name));
}

// Makes the edits as one change; throws the settings store's kind of message when it fails.
void Apply(const std::vector<platform::RegistryEdit>& edits, const std::string& what) {
  if (platform::OpenRegistry()->Apply(platform::RootKey::LocalMachine, edits))
    return;
  std::string text = "Failed to set data for '" + what + "'";
  if (const std::string reason = platform::LastRegistryError(); !reason.empty())
    text += "\n" + reason;
  throw Error(text);
}

} // namespace

std::string DamagedSetText(const std::string& name) {
  // Short lines: a message box shows them whole at any font size.
  return "The configuration '" + name +
         "' is damaged:\nthe registry gives it no configuration number,\nso it has no files of "
         "its own. It can only be deleted.";
}

bool SameSetName(const std::string& a, const std::string& b) {
  return platform::SameRegistryName(Utf8ToUtf16(core::Trim(a)), Utf8ToUtf16(core::Trim(b)));
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

std::vector<SetEntry> ListSetEntries() {
  // Not through the settings store: its listing creates a missing key, and a listing must change
  // nothing (also while Wine runs).
  std::vector<SetEntry> entries;
  auto key = OpenForRead(std::string(kSetsKey));
  if (!key)
    return entries;
  for (std::string& name : key->SubKeyNames()) {
    auto setKey = OpenForRead(SetKey(name));
    std::optional<std::string> ext = setKey ? ExtOf(*setKey) : std::nullopt;
    entries.push_back({std::move(name), std::move(ext)});
  }
  return entries;
}

std::vector<std::string> ListSets() {
  std::vector<std::string> names;
  for (SetEntry& entry : ListSetEntries())
    names.push_back(std::move(entry.name));
  return names;
}

void CreateSetsKey() {
  std::vector<std::string> names;
  Store().ListSubKeys(std::string(kSetsKey), names);
}

std::string CurrentSetName() {
  return Store().ReadText(std::string(kSetsKey), "Current", std::string(kOriginalSetName));
}

std::optional<std::string> SetExt(const std::string& name) {
  if (name.find('\\') != std::string::npos)
    return std::nullopt;
  auto key = OpenForRead(SetKey(name));
  return key ? ExtOf(*key) : std::nullopt;
}

CurrentSetChoice ChooseCurrentSet() {
  CurrentSetChoice choice;
  choice.name = CurrentSetName();
  if (std::optional<std::string> ext = SetExt(choice.name)) {
    choice.ext = *ext;
    return choice;
  }
  choice.ext = std::string(kOriginalSetExt);
  // The first run registers the original set; only another set's absence is news.
  if (SameSetName(choice.name, std::string(kOriginalSetName)))
    return choice;
  const std::vector<SetEntry> sets = ListSetEntries();
  const bool listed = std::any_of(sets.begin(), sets.end(), [&](const SetEntry& entry) {
    return SameSetName(entry.name, choice.name);
  });
  choice.problem =
      (listed ? DamagedSetText(choice.name)
              : "The current configuration '" + choice.name + "' does not exist any more.") +
      "\nThe files of the Original Configuration are used instead.";
  return choice;
}

void RegisterSet(const std::string& name, const std::string& ext) {
  if (!IsSetExt(ext))
    throw Error("Cannot create file QRVDAT\\UO." + ext);
  Apply({SetExtEdit(name, ext)}, "Ext");
}

void RenameSet(const std::string& oldName, const std::string& newName) {
  const std::optional<std::string> ext = SetExt(oldName);
  if (!ext)
    throw Error(DamagedSetText(oldName));
  // One change on a hive. Where the edits are made one by one (Windows), the new name comes
  // first, so that a stop leaves the set under both names, never under none; only a change of
  // letter case, which is the same key, removes the old spelling first.
  std::vector<platform::RegistryEdit> edits;
  const bool sameKey = platform::SameRegistryName(Utf8ToUtf16(oldName), Utf8ToUtf16(newName));
  if (sameKey)
    edits.push_back(platform::RegistryEdit::Delete(SetKey(oldName)));
  edits.push_back(SetExtEdit(newName, *ext));
  if (SameSetName(CurrentSetName(), oldName))
    edits.push_back(SetCurrentEdit(newName));
  if (!sameKey)
    edits.push_back(platform::RegistryEdit::Delete(SetKey(oldName)));
  Apply(edits, "Ext");
}

void DeleteSet(const std::string& name) {
  Store().RemoveKey(SetKey(name));
}

void MakeSetCurrent(const std::string& name) {
  if (!SetExt(name)) {
    const std::optional<std::string> listed = FindSet(ListSets(), name);
    throw Error(listed ? DamagedSetText(*listed)
                       : "There is no configuration named '" + name + "'.");
  }
  Apply({SetCurrentEdit(name)}, "Current");
}

bool RegisterOriginalSet(const MainState& state) {
  // Every start comes here; the usual answer costs one look at the registry.
  if (SetExt(std::string(kOriginalSetName)) == kOriginalSetExt)
    return false;
  for (std::string_view kind : kSetKinds)
    if (!platform::FileExists(SetFilePath(state, kind, kOriginalSetExt)))
      return false;
  for (const SetEntry& entry : ListSetEntries())
    if (entry.ext == kOriginalSetExt)
      return false;
  RegisterSet(std::string(kOriginalSetName), std::string(kOriginalSetExt));
  return true;
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
    for (const SetEntry& entry : ListSetEntries())
      if (entry.ext)
        usedExts.push_back(*entry.ext);
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

namespace {

// The copies from one extension to another under QRVDAT's lock; a copy whose source is missing
// is skipped when `skipMissing` (the current set may lack a file the game has not made yet).
void CopySet(const MainState& state, const std::string& fromExt, const std::string& toExt,
             bool skipMissing) {
  // An extension forms a file name; anything but digits could name a file outside QRVDAT.
  if (!IsSetExt(fromExt) || !IsSetExt(toExt))
    throw Error("Cannot create file " + SetFilePath(state, "UO.", toExt));
  platform::DirectoryLock lock;
  if (!lock.Acquire(platform::ToHostPath(GameFilePath(state, "QRVDAT")),
                    std::chrono::milliseconds(3000)))
    throw Error("Cannot create file " + SetFilePath(state, "UO.", toExt));
  for (std::string_view kind : kSetKinds) {
    const std::string source = SetFilePath(state, kind, fromExt);
    const std::string target = SetFilePath(state, kind, toExt);
    if (skipMissing && !platform::PathExists(source))
      continue;
    if (!platform::CopyFileReplacing(source, target)) {
      std::string text = "Cannot create file " + target;
      if (const std::string reason = platform::LastFileError(); !reason.empty())
        text += "\n" + reason;
      throw Error(text);
    }
  }
}

} // namespace

void CopySetFiles(const MainState& state, const std::string& fromExt, const std::string& toExt) {
  CopySet(state, fromExt, toExt, false);
}

std::optional<std::string> AddSet(const MainState& state, const std::string& name) {
  // The number is taken first and never given again, whatever happens below.
  const std::optional<std::string> ext = TakeSetExt(&state);
  if (!ext)
    return std::nullopt;
  // The files before the registry entry: a set that is listed always has its files, also when
  // the program is stopped in between.
  CopySet(state, state.currentSetExt, *ext, true);
  RegisterSet(name, *ext);
  return ext;
}

std::optional<std::string> DuplicateSet(const MainState& state, const std::string& from,
                                        const std::string& name) {
  const std::optional<std::string> fromExt = SetExt(from);
  if (!fromExt)
    throw Error(DamagedSetText(from));
  // Numbers whose files are still in QRVDAT (a deleted set's) are passed over: a duplicate
  // never writes into another set's files.
  const std::optional<std::string> ext = TakeSetExt(&state);
  if (!ext)
    return std::nullopt;
  CopySet(state, *fromExt, *ext, false);
  RegisterSet(name, *ext);
  return ext;
}

std::optional<std::string> ImportSet(const MainState& state, const std::string& name,
                                     const std::array<std::string, 3>& files) {
  const std::optional<std::string> ext = TakeSetExt(&state);
  if (!ext)
    return std::nullopt;
  {
    platform::DirectoryLock lock;
    lock.Acquire(platform::ToHostPath(GameFilePath(state, "QRVDAT")),
                 std::chrono::milliseconds(3000));
    for (std::size_t k = 0; k < files.size(); ++k) {
      const std::string path = SetFilePath(state, kSetKinds[k], *ext);
      if (!platform::WriteFileAtomically(platform::ToHostPath(path), files[k])) {
        std::string text = "Cannot create file " + path;
        if (const std::string reason = platform::LastFileError(); !reason.empty())
          text += "\n" + reason;
        throw Error(text);
      }
    }
  }
  RegisterSet(name, *ext);
  return ext;
}

} // namespace qv
