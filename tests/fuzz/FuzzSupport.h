#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What the fuzz targets share: property checks that stop the run with a message, the choices a
// target takes from its input, and a scratch game directory on a memory file system.
namespace qv::fuzz {

[[noreturn]] void Fail(const char* file, int line, const char* condition);

// A property that must hold for every input. Unlike assert() it stays in release builds.
#define FUZZ_CHECK(condition)                                                                      \
  ((condition) ? (void)0 : ::qv::fuzz::Fail(__FILE__, __LINE__, #condition))

// The input split in two: the text under test and, from its last bytes, the target's choices
// (which key to change, which value to write). Short inputs give zeros as choices.
class Input {
public:
  Input(const std::uint8_t* data, std::size_t size, std::size_t choiceBytes);

  std::string_view Text() const { return text_; }
  // The next choice, below bound (bound > 0).
  std::size_t Choose(std::size_t bound);
  bool Flag() { return Choose(2) == 1; }
  // A piece of the text (for names and values that occur in it), at most maxLength bytes.
  std::string_view Slice(std::size_t maxLength);

private:
  std::string_view text_;
  std::string_view choices_;
  std::size_t next_ = 0;
};

// A game directory with its QRVDAT, made once per process on /dev/shm (or the temporary
// directory) and removed at exit. Host form, ending in '/'.
const std::string& ScratchGameDir();

// Whole-file helpers that bypass the code under test.
void PutFile(const std::string& path, std::string_view bytes);
bool GetFile(const std::string& path, std::string& bytes);
void RemoveFile(const std::string& path);

// Blanks and control characters removed at both ends, as the game's files are read.
std::string_view TrimControls(std::string_view text);

} // namespace qv::fuzz
