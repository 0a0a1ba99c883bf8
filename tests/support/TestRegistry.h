#pragma once

#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace qv::test {

// A registry of the test's own while the object lives, empty at the start, so that the settings
// store and the program never touch the user's.
//   Elsewhere than on Windows: an empty registry home in a temporary directory (QUORVEL_REGISTRY).
//   On Windows: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER of this process are redirected to two
//   empty keys below HKEY_CURRENT_USER\Software\Quorvel tests, removed at the end.
class TestRegistry {
public:
  TestRegistry();
  ~TestRegistry();
  TestRegistry(const TestRegistry&) = delete;
  TestRegistry& operator=(const TestRegistry&) = delete;

  // Everything HKEY_LOCAL_MACHINE / HKEY_CURRENT_USER hold, to compare before and after; empty
  // while nothing was written. The hive file's bytes where the registry is a hive; on Windows
  // every key's path and every value's type and data.
  std::string MachineSnapshot() const;
  std::string UserSnapshot() const;

#ifndef _WIN32
  const std::filesystem::path& Home() const {
    return home_.path();
  }
  std::filesystem::path MachineHive() const {
    return Home() / "system.reg";
  }
  std::filesystem::path UserHive() const {
    return Home() / "user.reg";
  }
#endif

private:
#ifdef _WIN32
  std::wstring base_;
  void* machine_ = nullptr;
  void* user_ = nullptr;
#else
  TempDir home_;
#endif
};

} // namespace qv::test
