#include "settings/KVXStrings.h"

namespace qv {

namespace {

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

bool IsBlank(const std::string& text) {
  for (char c : text)
    if (!IsBlankOrControl(c))
      return false;
  return true;
}

// A host path on this platform separates with '/'. Other names keep the separator they already
// use, and a Windows-form or bare name gets '\'.
char SeparatorOf(const std::string& text) {
#ifdef _WIN32
  (void)text;
  return '\\';
#else
  if (text.front() == '/')
    return '/';
  if (text.find('\\') == std::string::npos && text.find('/') != std::string::npos)
    return '/';
  return '\\';
#endif
}

// Both end a directory's name on Windows too: the Win32 API takes either.
bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

} // namespace

std::string AddBackslash(const std::string& text) {
  if (IsBlank(text))
    return text;
  if (IsSeparator(text.back()))
    return text;
  return text + SeparatorOf(text);
}

std::string RemoveBackslash(const std::string& text) {
  if (IsBlank(text))
    return text;
  if (IsSeparator(text.back()))
    return text.substr(0, text.size() - 1);
  return text;
}

std::string PadRight(const std::string& text, int width) {
  if (width > static_cast<int>(text.size()))
    return text + std::string(static_cast<std::size_t>(width) - text.size(), ' ');
  return text;
}

} // namespace qv
