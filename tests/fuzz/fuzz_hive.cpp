// The Wine registry hive (system.reg, user.reg): parse, change one value, write, parse again.
//
// Properties: a value written with the value it already has changes no byte; after one value is
// set, the text parses again to the same keys, and every key and value but that one reads as
// before, while the changed value reads back as written; a key removed is gone and leaves the
// rest as it was.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "platform/WineHive.h"
#include "text/Encoding.h"

namespace {

using qv::platform::RegValue;
using qv::platform::WineHive;

constexpr std::u16string_view kRoot = u"\\Registry\\Machine";
constexpr std::uint64_t kFileTime = 0x01d9a0b0c0d0e0f0ULL;
constexpr std::size_t kMaxKeysChecked = 200;

bool Same(const RegValue& a, const RegValue& b) {
  return a.type == b.type && a.data == b.data;
}
bool Same(const std::optional<RegValue>& a, const std::optional<RegValue>& b) {
  return a.has_value() == b.has_value() && (!a || Same(*a, *b));
}

using Values = std::vector<std::pair<std::u16string, RegValue>>;

bool Same(const Values& a, const Values& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.first == y.first && Same(x.second, y.second);
  });
}

struct Snapshot {
  std::vector<WineHive::Path> keys;
  std::vector<Values> values;
};

Snapshot Take(const WineHive& hive) {
  Snapshot s;
  s.keys = hive.ExplicitKeys();
  if (s.keys.size() > kMaxKeysChecked)
    s.keys.resize(kMaxKeysChecked);
  for (const auto& key : s.keys)
    s.values.push_back(hive.Values(key));
  return s;
}

std::u16string Element(qv::fuzz::Input& input) {
  std::u16string name = qv::Utf8ToUtf16(input.Slice(16));
  std::erase(name, u'\\');
  return name.empty() ? u"New" : name;
}

RegValue MakeValue(qv::fuzz::Input& input) {
  const std::string_view bytes = input.Slice(40);
  const std::string text(bytes);
  switch (input.Choose(7)) {
  case 0:
    return RegValue::Text(text);
  case 1:
    return RegValue::Text(text, qv::platform::kRegExpandSz);
  case 2:
    return RegValue::Dword(static_cast<std::uint32_t>(input.Choose(65536) * 65599u));
  case 3:
    return RegValue{qv::platform::kRegBinary,
                    std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
  case 4: {
    RegValue multi = RegValue::Text(text, qv::platform::kRegMultiSz);
    multi.data.push_back(0);
    multi.data.push_back(0);
    return multi;
  }
  case 5: // a string without its terminating zero
    return RegValue{qv::platform::kRegSz, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
  default:
    return RegValue{static_cast<std::uint32_t>(input.Choose(0x10000)),
                    std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
  }
}

// Every key of the snapshot reads as before, except `changed` (when given).
void CheckUnchanged(const WineHive& after, const Snapshot& before, const WineHive::Path* changed,
                    std::size_t* changedIndex) {
  for (std::size_t i = 0; i < before.keys.size(); ++i) {
    FUZZ_CHECK(after.Exists(before.keys[i]));
    const Values now = after.Values(before.keys[i]);
    if (Same(now, before.values[i]))
      continue;
    // Only one key may differ: the changed one.
    FUZZ_CHECK(changed != nullptr && changedIndex != nullptr &&
               *changedIndex == static_cast<std::size_t>(-1));
    *changedIndex = i;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::fuzz::Input input(data, size, 24);
  WineHive hive{std::string(input.Text()), kRoot};
  const bool valid = hive.IsValid();
  const Snapshot before = Take(hive);
  (void)hive.Is64Bit();
  (void)hive.RootName();
  if (!valid) {
    FUZZ_CHECK(before.keys.empty());
    return 0; // nobody writes such a file back
  }

  // Every listed key is found again, with its sub-keys and values; redirection never crashes.
  for (std::size_t i = 0; i < before.keys.size(); ++i) {
    const auto& key = before.keys[i];
    FUZZ_CHECK(hive.Exists(key));
    (void)hive.SubKeys(key);
    (void)hive.IsLink(key);
    (void)hive.Resolve(key, false);
    for (const auto& [name, value] : before.values[i])
      FUZZ_CHECK(hive.Value(key, name).has_value());
  }

  // Writing a value that is already there changes nothing.
  if (!before.keys.empty()) {
    const std::size_t k = input.Choose(before.keys.size());
    if (!before.values[k].empty()) {
      const auto& name = before.values[k][input.Choose(before.values[k].size())].first;
      const std::optional<RegValue> current = hive.Value(before.keys[k], name);
      FUZZ_CHECK(current.has_value());
      WineHive copy = hive;
      FUZZ_CHECK(!copy.SetValue(before.keys[k], name, *current, kFileTime));
      FUZZ_CHECK(copy.Text() == hive.Text());
    }
  }

  // One value set: on an existing key or on a new key below one.
  WineHive::Path path;
  if (!before.keys.empty())
    path = before.keys[input.Choose(before.keys.size())];
  if (before.keys.empty() || input.Flag())
    path.push_back(Element(input));
  std::u16string name;
  const Values current = hive.Values(path);
  if (!current.empty() && input.Flag())
    name = current[input.Choose(current.size())].first;
  else
    name = qv::Utf8ToUtf16(input.Slice(12));
  const RegValue value = MakeValue(input);

  WineHive edited = hive;
  edited.SetValue(path, name, value, kFileTime);
  const WineHive reread{edited.Text(), kRoot};
  FUZZ_CHECK(reread.IsValid());
  FUZZ_CHECK(reread.Exists(path));
  FUZZ_CHECK(Same(reread.Value(path, name), value));
  std::size_t changedIndex = static_cast<std::size_t>(-1);
  CheckUnchanged(reread, before, &path, &changedIndex);
  if (changedIndex != static_cast<std::size_t>(-1)) {
    // The changed key keeps its other values, in their order: one replaced, or one added.
    const Values& old = before.values[changedIndex];
    Values now = reread.Values(before.keys[changedIndex]);
    if (now.size() == old.size() + 1) {
      auto added = std::find_if(now.begin(), now.end(),
                                [&](const auto& entry) { return entry.first == name; });
      FUZZ_CHECK(added != now.end() && Same(added->second, value));
      now.erase(added);
      FUZZ_CHECK(Same(now, old));
    } else {
      FUZZ_CHECK(now.size() == old.size());
      std::size_t differing = 0;
      for (std::size_t i = 0; i < old.size(); ++i) {
        if (now[i].first == old[i].first && Same(now[i].second, old[i].second))
          continue;
        ++differing;
        FUZZ_CHECK(Same(now[i].second, value));
      }
      FUZZ_CHECK(differing == 1);
    }
  }
  // The same edit made again changes nothing more.
  WineHive twice = edited;
  FUZZ_CHECK(!twice.SetValue(path, name, value, kFileTime));
  FUZZ_CHECK(twice.Text() == edited.Text());

  // A key without sub-keys removed: gone, the rest as before.
  if (!before.keys.empty()) {
    const WineHive::Path& victim = before.keys[input.Choose(before.keys.size())];
    WineHive pruned = hive;
    // The root ("[]") is never removed.
    const bool leaf = !victim.empty() && hive.SubKeys(victim).empty();
    const bool removed = pruned.DeleteKey(victim, kFileTime);
    FUZZ_CHECK(removed == leaf);
    if (removed) {
      const WineHive reparsed{pruned.Text(), kRoot};
      FUZZ_CHECK(reparsed.IsValid());
      FUZZ_CHECK(!reparsed.Exists(victim));
      Snapshot rest;
      for (std::size_t i = 0; i < before.keys.size(); ++i) {
        if (before.keys[i] == victim)
          continue;
        rest.keys.push_back(before.keys[i]);
        rest.values.push_back(before.values[i]);
      }
      CheckUnchanged(reparsed, rest, nullptr, nullptr);
    }
  }
  return 0;
}
