#pragma once

#include <cstdlib>
#include <filesystem>

// What the wine suite's cases share: the prefix that wine.MakePrefix made once for the build
// directory.
namespace qv::test {

inline constexpr const char* kNoWinePrefix =
    "no Wine prefix (Debian's wine is not installed; ./test installs it)";

// The suite's prefix; empty when it was not made (no Wine on this machine).
inline std::filesystem::path SuiteWinePrefix() {
  const char* env = std::getenv("QUORVEL_TEST_WINEPREFIX");
  if (!env || !std::filesystem::exists(std::filesystem::path(env) / ".quorvel-ready"))
    return {};
  return env;
}

} // namespace qv::test
