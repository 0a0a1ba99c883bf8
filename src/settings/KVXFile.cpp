#include "settings/KVXFile.h"

#include "platform/Error.h"
#include "settings/KVXIniFile.h"

namespace qv {

using platform::RegistryKey;
using platform::RegValue;
using platform::RootKey;

namespace {

std::string UpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z')
      c = char(c - 'a' + 'A');
  return s;
}

bool IsBlank(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) > ' ')
      return false;
  return true;
}

RootKey RootKeyOf(const std::string& name) {
  static const struct {
    const char* name;
    RootKey key;
  } roots[] = {
      {"HKEY_CLASSES_ROOT", RootKey::ClassesRoot},     {"HKEY_CURRENT_USER", RootKey::CurrentUser},
      {"HKEY_LOCAL_MACHINE", RootKey::LocalMachine},   {"HKEY_USERS", RootKey::Users},
      {"HKEY_CURRENT_CONFIG", RootKey::CurrentConfig}, {"HKEY_DYN_DATA", RootKey::DynData},
  };
  for (const auto& root : roots)
    if (name == root.name)
      return root.key;
  return RootKey::CurrentUser;
}

std::string Quoted(const char* text, const std::string& valueName) {
  return std::string(text) + " '" + valueName + "'";
}

// The registry's reason, when it gave one (Wine running for the prefix, a damaged line of the
// hive file), goes on a second line: the first alone does not tell the user what to do.
[[noreturn]] void Fail(const char* text, const std::string& valueName) {
  std::string message = Quoted(text, valueName);
  if (std::string reason = platform::LastRegistryError(); !reason.empty())
    message += "\n" + reason;
  throw Error(message);
}
[[noreturn]] void InvalidType(const std::string& valueName) {
  Fail("Invalid data type for", valueName);
}
[[noreturn]] void FailedGet(const std::string& valueName) {
  Fail("Failed to get data for", valueName);
}
[[noreturn]] void FailedSet(const std::string& valueName) {
  Fail("Failed to set data for", valueName);
}

// A REG_DWORD's number. Data shorter than four bytes is taken as the bytes there are.
std::int32_t DwordOf(const RegValue& value) {
  std::uint32_t n = 0;
  for (std::size_t i = 0; i < value.data.size() && i < 4; ++i)
    n |= std::uint32_t(value.data[i]) << (8 * i);
  return static_cast<std::int32_t>(n);
}

} // namespace

TKVXFile::TKVXFile(const std::string& name, TKVXFileKind kind) : kind_(kind) {
  if (kind_ == skIniFile) {
    name_ = name;
    std::string upper = UpperAscii(name);
    if (upper.find(".INI") == std::string::npos && upper.find(".BIN") == std::string::npos &&
        upper.find(".PRO") == std::string::npos)
      name_ += ".ini";
    ini_ = std::make_unique<IniFile>(name_);
    return;
  }
  registry_ = platform::OpenRegistry();
  root_ = RootKeyOf(name);
  if (name.compare(0, 5, "HKEY_") == 0)
    name_.clear();
  else if (IsBlank(name))
    name_ = "\\SOFTWARE\\";
  else
    name_ = "\\SOFTWARE\\" + name + "\\";
}

TKVXFile::~TKVXFile() = default;

std::unique_ptr<RegistryKey> TKVXFile::OpenForRead(const std::string& key) {
  std::string path = name_ + key;
  auto opened = registry_->OpenKey(root_, path, platform::Registry::Access::Full);
  if (!opened)
    opened = registry_->OpenKey(root_, path, platform::Registry::Access::Read);
  return opened;
}

std::unique_ptr<RegistryKey> TKVXFile::OpenForWrite(const std::string& key) {
  return registry_->CreateKey(root_, name_ + key);
}

std::optional<RegValue> TKVXFile::QueryValue(const std::string& key, const std::string& valueName) {
  // Only a reason this read gives goes under its message.
  platform::SetLastRegistryError({});
  auto opened = OpenForRead(key);
  if (!opened)
    return std::nullopt;
  return opened->QueryValue(valueName);
}

std::optional<std::int32_t> TKVXFile::QueryDword(const std::string& key,
                                                 const std::string& valueName) {
  auto value = QueryValue(key, valueName);
  if (!value)
    return std::nullopt;
  // The data goes into a four-byte buffer before its type is looked at.
  if (value->data.size() > 4)
    FailedGet(valueName);
  if (value->type != platform::kRegDword)
    InvalidType(valueName);
  return DwordOf(*value);
}

void TKVXFile::SetValue(const std::string& key, const std::string& valueName,
                        const RegValue& value) {
  // A key that cannot be created is not reported as such: the value write fails instead.
  auto opened = OpenForWrite(key);
  if (!opened || !opened->SetValue(valueName, value))
    FailedSet(valueName);
}

std::optional<std::int32_t> TKVXFile::IniNumber(const std::string& key,
                                                const std::string& valueName) {
  auto text = ini_->ReadString(key, valueName);
  if (!text)
    return std::nullopt;
  return ParseIniNumber(*text);
}

std::string TKVXFile::ReadText(const std::string& key, const std::string& valueName,
                               const std::string& defaultValue) {
  if (key.empty())
    return defaultValue;
  if (kind_ == skIniFile)
    return ini_->ReadString(key, valueName).value_or(defaultValue);
  auto value = QueryValue(key, valueName);
  if (!value)
    return defaultValue;
  if (value->type != platform::kRegSz && value->type != platform::kRegExpandSz)
    InvalidType(valueName);
  return platform::DecodeRegString(value->data);
}

void TKVXFile::WriteText(const std::string& key, const std::string& valueName,
                         const std::string& value) {
  if (kind_ == skIniFile)
    ini_->WriteString(key, valueName, value);
  else
    SetValue(key, valueName, RegValue::Text(value));
}

std::int32_t TKVXFile::ReadNumber(const std::string& key, const std::string& valueName,
                                  std::int32_t defaultValue) {
  if (kind_ == skIniFile)
    return IniNumber(key, valueName).value_or(defaultValue);
  return QueryDword(key, valueName).value_or(defaultValue);
}

void TKVXFile::WriteNumber(const std::string& key, const std::string& valueName,
                           std::int32_t value) {
  if (kind_ == skIniFile)
    ini_->WriteString(key, valueName, std::to_string(value));
  else
    SetValue(key, valueName, RegValue::Dword(static_cast<std::uint32_t>(value)));
}

bool TKVXFile::ReadFlag(const std::string& key, const std::string& valueName, bool defaultValue) {
  if (kind_ == skIniFile)
    return IniNumber(key, valueName).value_or(defaultValue ? 1 : 0) != 0;
  return QueryDword(key, valueName).value_or(defaultValue ? 1 : 0) != 0;
}

void TKVXFile::WriteFlag(const std::string& key, const std::string& valueName, bool value) {
  if (kind_ == skIniFile)
    ini_->WriteString(key, valueName, value ? "1" : "0");
  else
    SetValue(key, valueName, RegValue::Dword(value ? 1 : 0));
}

void TKVXFile::ListSubKeys(const std::string& key, std::vector<std::string>& list) {
  if (kind_ == skIniFile) {
    list = ini_->ReadSections();
    return;
  }
  list.clear();
  if (auto opened = OpenForWrite(key))
    list = opened->SubKeyNames();
}

void TKVXFile::RemoveKey(const std::string& key) {
  if (kind_ == skIniFile)
    ini_->EraseSection(key);
  else
    RemoveTree(name_ + key);
}

void TKVXFile::RemoveTree(const std::string& path) {
  // A root key cannot be removed; walking it would empty the whole root.
  if (path.find_first_not_of('\\') == std::string::npos)
    return;
  std::vector<std::string> children;
  {
    // A key that is not there is no error. The key is closed again before anything below it
    // is removed.
    auto opened = registry_->OpenKey(root_, path, platform::Registry::Access::Read);
    if (!opened)
      return;
    children = opened->SubKeyNames();
  }
  std::string parent = path;
  if (!parent.empty() && parent.back() != '\\')
    parent += '\\';
  for (const std::string& child : children)
    RemoveTree(parent + child);
  if (registry_->DeleteKey(root_, path))
    return;
  // A key that stays after the removal is reported rather than shown as removed.
  if (registry_->OpenKey(root_, path, platform::Registry::Access::Read))
    FailedSet(path);
}

} // namespace qv
