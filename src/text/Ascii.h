#pragma once

// ASCII classification and case folding. The game's files, Wine's registry and the profile files
// compare names without regard to case for A-Z only: every other byte, and every non-ASCII
// character, is compared exactly.

#include <cstddef>
#include <string_view>

namespace qv {

constexpr bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

constexpr char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// a and b equal when A-Z are taken for a-z.
template <typename Char>
constexpr bool EqualsFoldedAscii(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i]))
      return false;
  return true;
}

constexpr bool EqualsFoldedAscii(std::string_view a, std::string_view b) {
  return EqualsFoldedAscii<char>(a, b);
}

constexpr bool EqualsFoldedAscii(std::u16string_view a, std::u16string_view b) {
  return EqualsFoldedAscii<char16_t>(a, b);
}

// A blank or a control character: every byte up to and including the space. This is what the
// game's files and the program's fields trim.
constexpr bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

// The C locale's white space (isspace), without its locale dependence.
constexpr bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// text without blanks and control characters at either end.
constexpr std::string_view TrimBlankOrControl(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back()))
    text.remove_suffix(1);
  return text;
}

} // namespace qv
