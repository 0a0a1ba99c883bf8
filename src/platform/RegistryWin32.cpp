// The Win32 registry in its 32-bit view (KEY_WOW64_32KEY), where the game and its installer,
// being 32-bit programs, keep their entries.
#include "platform/Registry.h"

#include <string>

#include "platform/Win32Text.h"

namespace qv::platform {

namespace {

HKEY RootHandle(RootKey root) {
  switch (root) {
  case RootKey::ClassesRoot:
    return HKEY_CLASSES_ROOT;
  case RootKey::CurrentUser:
    return HKEY_CURRENT_USER;
  case RootKey::LocalMachine:
    return HKEY_LOCAL_MACHINE;
  case RootKey::Users:
    return HKEY_USERS;
  case RootKey::CurrentConfig:
    return HKEY_CURRENT_CONFIG;
  case RootKey::DynData:
    return HKEY_DYN_DATA;
  }
  return HKEY_CURRENT_USER;
}

// True on success; otherwise records the system's reason ("Access is denied.") for the user.
bool Succeeded(LSTATUS status) {
  if (status == ERROR_SUCCESS)
    return true;
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, DWORD(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = length ? Narrow(text, length) : "error " + std::to_string(status);
  if (text)
    LocalFree(text);
  while (!reason.empty() && static_cast<unsigned char>(reason.back()) <= ' ')
    reason.pop_back();
  SetLastRegistryError("The registry refused the change: " + reason);
  return false;
}

// The API takes sub-key paths without a leading backslash.
std::wstring SubKey(const std::string& path) {
  std::size_t start = 0;
  while (start < path.size() && path[start] == '\\')
    ++start;
  return Widen(path.substr(start));
}

class Win32Key : public RegistryKey {
public:
  explicit Win32Key(HKEY key) : key_(key) {}
  ~Win32Key() override { RegCloseKey(key_); }
  Win32Key(const Win32Key&) = delete;
  Win32Key& operator=(const Win32Key&) = delete;

  std::optional<RegValue> QueryValue(const std::string& name) override {
    std::wstring wname = Widen(name);
    RegValue value;
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key_, wname.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between the two calls; ask again until the buffer is large enough.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      value.data.resize(size);
      status = RegQueryValueExW(key_, wname.c_str(), nullptr, &type,
                                value.data.empty() ? nullptr : value.data.data(), &size);
      if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        value.type = type;
        return value;
      }
    }
    return std::nullopt;
  }

  bool SetValue(const std::string& name, const RegValue& value) override {
    SetLastRegistryError({});
    return Succeeded(RegSetValueExW(key_, Widen(name).c_str(), 0, value.type,
                                    value.data.empty() ? nullptr : value.data.data(),
                                    DWORD(value.data.size())));
  }

  std::vector<std::string> SubKeyNames() override {
    std::vector<std::string> names;
    DWORD maxLength = 0;
    if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, &maxLength, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      return names;
    std::wstring name(std::size_t(maxLength) + 1, L'\0');
    for (DWORD index = 0;; ++index) {
      DWORD length = DWORD(name.size());
      LSTATUS status =
          RegEnumKeyExW(key_, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_MORE_DATA) {
        name.resize(name.size() * 2);
        --index;
        continue;
      }
      if (status != ERROR_SUCCESS)
        break;
      names.push_back(Narrow(name.data(), length));
    }
    return names;
  }

private:
  HKEY key_;
};

class Win32Registry : public Registry {
public:
  std::unique_ptr<RegistryKey> OpenKey(RootKey root, const std::string& path,
                                       Access access) override {
    REGSAM sam = (access == Access::Read ? KEY_READ : KEY_ALL_ACCESS) | KEY_WOW64_32KEY;
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootHandle(root), SubKey(path).c_str(), 0, sam, &key) != ERROR_SUCCESS)
      return nullptr;
    return std::make_unique<Win32Key>(key);
  }

  std::unique_ptr<RegistryKey> CreateKey(RootKey root, const std::string& path) override {
    SetLastRegistryError({});
    HKEY key = nullptr;
    if (!Succeeded(RegCreateKeyExW(RootHandle(root), SubKey(path).c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                   nullptr, &key, nullptr)))
      return nullptr;
    return std::make_unique<Win32Key>(key);
  }

  bool DeleteKey(RootKey root, const std::string& path) override {
    SetLastRegistryError({});
    return Succeeded(RegDeleteKeyExW(RootHandle(root), SubKey(path).c_str(), KEY_WOW64_32KEY, 0));
  }

  // The Win32 registry has no transaction that every version offers: the edits are made in
  // order, so the callers order them to be safe at every step.
  bool Apply(RootKey root, const std::vector<RegistryEdit>& edits) override {
    for (const RegistryEdit& edit : edits) {
      if (edit.kind == RegistryEdit::Kind::DeleteKey) {
        SetLastRegistryError({});
        const LSTATUS status =
            RegDeleteKeyExW(RootHandle(root), SubKey(edit.path).c_str(), KEY_WOW64_32KEY, 0);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
          return Succeeded(status);
        continue;
      }
      auto key = CreateKey(root, edit.path);
      if (!key || !key->SetValue(edit.name, edit.value))
        return false;
    }
    return true;
  }
};

} // namespace

std::string RegistryChangeRefusal() {
  return {};
}

std::unique_ptr<Registry> OpenRegistry() {
  return std::make_unique<Win32Registry>();
}

} // namespace qv::platform
