#include "support/TestRegistry.h"

#include <stdexcept>

#ifdef _WIN32
#include <atomic>
#include <cstdio>
#include <vector>

#include "platform/Win32Text.h"
#else
#include <cstdlib>
#endif

namespace qv::test {

#ifdef _WIN32

namespace {

constexpr const wchar_t* kTestsKey = L"Software\\Quorvel tests";

HKEY CreateEmptyKey(const std::wstring& path) {
  RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create a registry key for the test");
  return key;
}

// Every key below the key and every value, one line each, as UTF-8.
void Dump(HKEY key, const std::string& path, std::string& out) {
  wchar_t name[16384];
  std::vector<unsigned char> data;
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = DWORD(std::size(name));
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
      break;
    data.assign(size, 0);
    nameLength = DWORD(std::size(name));
    if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS)
      break;
    out += path + " \"" + platform::Narrow(name, nameLength) + "\" " + std::to_string(type) + ":" +
           std::string(data.begin(), data.begin() + size) + "\n";
  }
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = DWORD(std::size(name));
    if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    const std::string sub = path + "\\" + platform::Narrow(name, nameLength);
    out += sub + "\n";
    HKEY child = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
      Dump(child, sub, out);
      RegCloseKey(child);
    }
  }
}

std::string Snapshot(void* key) {
  std::string out;
  Dump(static_cast<HKEY>(key), "", out);
  return out;
}

} // namespace

TestRegistry::TestRegistry() {
  static std::atomic<unsigned> count{0};
  wchar_t name[64];
  std::swprintf(name, std::size(name), L"\\%lu-%u", GetCurrentProcessId(), count++);
  base_ = std::wstring(kTestsKey) + name;
  machine_ = CreateEmptyKey(base_ + L"\\HKEY_LOCAL_MACHINE");
  user_ = CreateEmptyKey(base_ + L"\\HKEY_CURRENT_USER");
  if (RegOverridePredefKey(HKEY_LOCAL_MACHINE, static_cast<HKEY>(machine_)) != ERROR_SUCCESS ||
      RegOverridePredefKey(HKEY_CURRENT_USER, static_cast<HKEY>(user_)) != ERROR_SUCCESS)
    throw std::runtime_error("cannot redirect the registry for the test");
}

TestRegistry::~TestRegistry() {
  // The real HKEY_CURRENT_USER again, which holds the test's keys.
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  RegCloseKey(static_cast<HKEY>(machine_));
  RegCloseKey(static_cast<HKEY>(user_));
  RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str());
  // The parent goes once the last test's key is gone; it stays while others still hold theirs.
  RegDeleteKeyW(HKEY_CURRENT_USER, kTestsKey);
}

std::string TestRegistry::MachineSnapshot() const {
  return Snapshot(machine_);
}

std::string TestRegistry::UserSnapshot() const {
  return Snapshot(user_);
}

#else

TestRegistry::TestRegistry() {
  ::setenv("QUORVEL_REGISTRY", home_.path().c_str(), 1);
}

TestRegistry::~TestRegistry() {
  ::unsetenv("QUORVEL_REGISTRY");
}

std::string TestRegistry::MachineSnapshot() const {
  return std::filesystem::exists(MachineHive()) ? ReadBytes(MachineHive()) : std::string();
}

std::string TestRegistry::UserSnapshot() const {
  return std::filesystem::exists(UserHive()) ? ReadBytes(UserHive()) : std::string();
}

#endif

} // namespace qv::test
