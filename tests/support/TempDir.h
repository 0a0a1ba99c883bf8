#pragma once

#include <filesystem>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

// A fresh directory below the system's temporary directory, removed with everything in it
// when the object goes away.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The directory as text with a trailing '/', the way the program keeps directories.
  std::string dir() const;
  std::string file(const std::string& relative) const;

private:
  std::filesystem::path path_;
};

// The names in a directory, for comparing what a step left there.
std::set<std::string> FileNames(const std::filesystem::path& dir);

// Whole-file helpers that bypass the code under test.
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);
std::string ReadBytes(const std::filesystem::path& file);

// Lines joined the way the program writes them: CR LF after each one.
std::string Crlf(std::initializer_list<std::string_view> lines);
std::string Crlf(const std::vector<std::string>& lines);

} // namespace qv::test
