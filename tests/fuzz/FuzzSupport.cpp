#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include <unistd.h>

namespace qv::fuzz {

void Fail(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, condition);
  std::abort();
}

Input::Input(const std::uint8_t* data, std::size_t size, std::size_t choiceBytes) {
  std::string_view all(reinterpret_cast<const char*>(data), size);
  if (all.size() >= choiceBytes) {
    text_ = all.substr(0, all.size() - choiceBytes);
    choices_ = all.substr(all.size() - choiceBytes);
  } else {
    text_ = all;
  }
}

std::size_t Input::Choose(std::size_t bound) {
  std::size_t value = 0;
  if (next_ < choices_.size())
    value = static_cast<unsigned char>(choices_[next_++]);
  if (next_ < choices_.size())
    value = value << 8 | static_cast<unsigned char>(choices_[next_++]);
  return value % bound;
}

std::string_view Input::Slice(std::size_t maxLength) {
  if (text_.empty())
    return {};
  std::size_t start = Choose(text_.size());
  std::size_t length = Choose(maxLength + 1);
  return text_.substr(start, length);
}

namespace {

std::string MakeScratchDir() {
  std::error_code error;
  std::string base = std::filesystem::is_directory("/dev/shm", error)
                         ? std::string("/dev/shm")
                         : std::filesystem::temp_directory_path().string();
  std::string pattern = base + "/quorvel-fuzz-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::abort();
  }
  std::filesystem::create_directory(pattern + "/QRVDAT");
  static std::string removeAtExit = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(removeAtExit, ignored);
  });
  return pattern + "/";
}

} // namespace

const std::string& ScratchGameDir() {
  static const std::string dir = MakeScratchDir();
  return dir;
}

void PutFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good());
}

bool GetFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

void RemoveFile(const std::string& path) {
  ::unlink(path.c_str());
}

std::string_view TrimControls(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
    text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
    text.remove_suffix(1);
  return text;
}

} // namespace qv::fuzz
