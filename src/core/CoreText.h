#pragma once

#include <string>
#include <string_view>

// Text helpers shared by the file formats. Everything works on bytes (Windows-1252); only the
// ASCII letters change case.
namespace qv::core {

// Removes blanks and control characters (every byte up to ' ') at both ends.
std::string Trim(std::string_view text);
std::string UpperCase(std::string_view text);

// Whole number in decimal, blanks allowed in front; throws "'<text>' is not a valid integer value".
int StrToInt(const std::string& text);
// Decimal number with optional fraction and exponent, blanks allowed at both ends; throws
// "'<text>' is not a valid floating point value".
double StrToFloat(const std::string& text);

} // namespace qv::core
