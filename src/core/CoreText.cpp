#include "core/CoreText.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/Error.h"
#include "text/Ascii.h"

namespace qv::core {

std::string Trim(std::string_view text) {
  return std::string(TrimBlankOrControl(text));
}

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return result;
}

int StrToInt(const std::string& text) {
  const auto fail = [&]() { return Error("'" + text + "' is not a valid integer value"); };
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size())
    throw fail();
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (!IsAsciiDigit(text[i]))
      throw fail();
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
      throw fail();
  }
  if (negative)
    value = -value;
  if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
    throw fail();
  return static_cast<int>(value);
}

double StrToFloat(const std::string& text) {
  const auto fail = [&]() { return Error("'" + text + "' is not a valid floating point value"); };
  const std::string t = Trim(text);
  // The grammar is checked here; from_chars does the conversion without regard to the locale.
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
  }
  const std::size_t numberStart = i;
  std::size_t digits = 0;
  while (i < t.size() && IsAsciiDigit(t[i]))
    ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsAsciiDigit(t[i]))
      ++i, ++digits;
  }
  if (digits == 0)
    throw fail();
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
      ++i;
    std::size_t exponentDigits = 0;
    while (i < t.size() && IsAsciiDigit(t[i]))
      ++i, ++exponentDigits;
    if (exponentDigits == 0)
      throw fail();
  }
  if (i != t.size())
    throw fail();
  double value = 0;
  const char* first = t.data() + numberStart;
  const auto [end, ec] = std::from_chars(first, t.data() + t.size(), value);
  if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(value))
    throw fail();
  return negative ? -value : value;
}

} // namespace qv::core
