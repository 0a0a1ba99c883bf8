#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The registry as the settings store sees it. On Windows this is the Win32 registry in its 32-bit
// view; elsewhere it is a set of hive files in Wine's text format in the registry home.
namespace qv::platform {

enum class RootKey { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig, DynData };

// Registry value types, numbered as on Windows.
enum RegType : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
};

// A value as the Win32 API returns it: its type and its data bytes (strings as UTF-16LE with a
// terminating zero unit, REG_DWORD as four little-endian bytes).
struct RegValue {
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;

  static RegValue Text(const std::string& utf8, std::uint32_t type = kRegSz);
  static RegValue Dword(std::uint32_t value);
};

// UTF-8 <-> the UTF-16LE data of a string value (the terminating zero is added / dropped; the
// text ends at the first zero unit).
std::vector<std::uint8_t> EncodeRegString(const std::string& utf8);
std::string DecodeRegString(const std::vector<std::uint8_t>& data);

// One open key. Closed when destroyed.
class RegistryKey {
public:
  virtual ~RegistryKey() = default;
  // The value of that name (matched without regard to case); nullopt when there is none.
  virtual std::optional<RegValue> QueryValue(const std::string& name) = 0;
  // Creates or replaces the value; false when it cannot be written.
  virtual bool SetValue(const std::string& name, const RegValue& value) = 0;
  // The names of the key's sub-keys, in the registry's enumeration order.
  virtual std::vector<std::string> SubKeyNames() = 0;
};

// One step of a change of several keys and values (Registry::Apply).
struct RegistryEdit {
  enum class Kind { SetValue, DeleteKey };
  Kind kind = Kind::SetValue;
  std::string path; // the key, as for OpenKey
  std::string name; // the value's name (SetValue)
  RegValue value;   // SetValue

  static RegistryEdit Set(std::string path, std::string name, RegValue value) {
    return {Kind::SetValue, std::move(path), std::move(name), std::move(value)};
  }
  // Removes a key without sub-keys; a key that is not there is no error.
  static RegistryEdit Delete(std::string path) {
    return {Kind::DeleteKey, std::move(path), {}, {}};
  }
};

class Registry {
public:
  enum class Access { Read, Full };
  virtual ~Registry() = default;
  // Opens an existing key (path elements separated by '\'; leading '\' allowed). nullptr when the
  // key does not exist or the access is refused.
  virtual std::unique_ptr<RegistryKey> OpenKey(RootKey root, const std::string& path,
                                               Access access) = 0;
  // Opens the key for full access, creating every missing key along the path; nullptr on failure.
  virtual std::unique_ptr<RegistryKey> CreateKey(RootKey root, const std::string& path) = 0;
  // Removes one key that has no sub-keys. True when it was removed.
  virtual bool DeleteKey(RootKey root, const std::string& path) = 0;
  // Makes the edits in order as one change: where the registry is a hive file, all of them or
  // none is ever seen (one replacement of the file); on Windows they are made one after the
  // other. SetValue creates missing keys. All edits must lie in the same hive. False when the
  // change cannot be made (LastRegistryError says why).
  virtual bool Apply(RootKey root, const std::vector<RegistryEdit>& edits) = 0;
};

// Why the last change of the registry made on this thread (creating a key, setting a value,
// deleting a key) failed, in words for the user: for example that Wine is running for the prefix
// and would overwrite the change. Empty when no reason is known. Each change clears it first.
// A value read from a line of a hive file that Wine cannot read sets it too (naming the file and
// the line); readers that report such a value clear it before the read.
std::string LastRegistryError();
// For the implementations: records the reason of a failed change.
void SetLastRegistryError(std::string reason);

// Why a change of the registry would be refused now, before anything is changed: Wine running
// for the registry home's prefix, or no way to tell. Empty when a change may be tried (on
// Windows always).
std::string RegistryChangeRefusal();

// The host's registry. Elsewhere than on Windows, every call reads the hives afresh.
std::unique_ptr<Registry> OpenRegistry();

#ifndef _WIN32
// The registry home: QUORVEL_REGISTRY if set; else $WINEPREFIX, or ~/.wine, when that directory
// holds system.reg; else ${XDG_CONFIG_HOME:-~/.config}/quorvel. No trailing '/'.
std::string RegistryHome();
#endif

} // namespace qv::platform
