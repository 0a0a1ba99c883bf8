#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace qv {

enum TKVXFileKind { skIniFile, skRegistry };

class IniFile;

// The settings store: typed reads with defaults and plain writes over the registry or an INI
// file. Callers create one for an action and free it at the end; nothing is cached between
// operations. Every failure throws qv::Error with the text the user sees.
class TKVXFile {
public:
  TKVXFile(const std::string& name, TKVXFileKind kind);
  ~TKVXFile();
  TKVXFile(const TKVXFile&) = delete;
  TKVXFile& operator=(const TKVXFile&) = delete;

  std::string ReadText(const std::string& key, const std::string& valueName,
                       const std::string& defaultValue);
  void WriteText(const std::string& key, const std::string& valueName, const std::string& value);
  std::int32_t ReadNumber(const std::string& key, const std::string& valueName,
                          std::int32_t defaultValue);
  void WriteNumber(const std::string& key, const std::string& valueName, std::int32_t value);
  bool ReadFlag(const std::string& key, const std::string& valueName, bool defaultValue);
  void WriteFlag(const std::string& key, const std::string& valueName, bool value);
  // Replaces the list's contents by the names of the key's sub-keys (a missing key is created).
  void ListSubKeys(const std::string& key, std::vector<std::string>& list);
  // Removes the key and everything below it; a missing key is no error.
  void RemoveKey(const std::string& key);

  TKVXFileKind Kind() const { return kind_; }
  // The INI file's name, or the registry base path.
  const std::string& Name() const { return name_; }

private:
  std::unique_ptr<platform::RegistryKey> OpenForRead(const std::string& key);
  std::unique_ptr<platform::RegistryKey> OpenForWrite(const std::string& key);
  std::optional<platform::RegValue> QueryValue(const std::string& key,
                                               const std::string& valueName);
  std::optional<std::int32_t> QueryDword(const std::string& key, const std::string& valueName);
  void SetValue(const std::string& key, const std::string& valueName,
                const platform::RegValue& value);
  std::optional<std::int32_t> IniNumber(const std::string& key, const std::string& valueName);
  void RemoveTree(const std::string& path);

  TKVXFileKind kind_;
  std::unique_ptr<IniFile> ini_;
  std::unique_ptr<platform::Registry> registry_;
  platform::RootKey root_ = platform::RootKey::CurrentUser;
  std::string name_;
};

} // namespace qv
