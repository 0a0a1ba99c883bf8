#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "core/MainProc.h"
#include "support/TempDir.h"

namespace qv::test {

// A game directory in a temporary folder with its QRVDAT, and a state pointing at it.
class GameDirTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::filesystem::create_directory(tmp.path() / "QRVDAT");
    state.gameDir = tmp.dir();
    FillParameterLists(state);
  }

  void Put(const std::string& relative, const std::string& bytes) {
    WriteBytes(tmp.path() / relative, bytes);
  }
  std::string Get(const std::string& relative) { return ReadBytes(tmp.path() / relative); }
  bool Exists(const std::string& relative) {
    return std::filesystem::exists(tmp.path() / relative);
  }
  void MakeReadOnly(const std::string& relative) {
    std::filesystem::permissions(tmp.path() / relative, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
  }

  TempDir tmp;
  MainState state;
};

} // namespace qv::test
