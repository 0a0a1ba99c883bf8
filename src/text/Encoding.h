#pragma once

// The program's three encodings: UTF-8 (its own strings and host paths), UTF-16 (Windows names,
// Wine's registry) and Windows-1252 (the game's files).

#include <string>
#include <string_view>

namespace qv {

// One UTF-8 character at utf8[i], i moved past it. Overlong forms, surrogates, code points above
// U+10FFFF and cut sequences are invalid: -1, with one byte consumed.
long DecodeUtf8(std::string_view utf8, std::size_t& i);
// Appends a code point (at most U+10FFFF) in UTF-8 / UTF-16.
void AppendUtf8(std::string& out, unsigned long codePoint);
void AppendUtf16(std::u16string& out, unsigned long codePoint);

// UTF-8 <-> UTF-16. Invalid UTF-8 and unpaired surrogates become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Windows-1252 byte to UTF-16. The five codes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 controls of the same value, as Windows' own conversion does.
char16_t Cp1252ToUnicode(unsigned char byte);
// The Windows-1252 byte for a UTF-16 code unit, or -1 when Windows-1252 cannot hold it.
int UnicodeToCp1252(char16_t ch);

// Windows-1252 bytes <-> UTF-8. Characters Windows-1252 cannot hold, and invalid UTF-8, become '?'.
std::string Cp1252ToUtf8(std::string_view bytes);
std::string Utf8ToCp1252(std::string_view utf8);

} // namespace qv
