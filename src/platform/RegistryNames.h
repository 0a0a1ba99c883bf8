#pragma once

#include <string_view>

#include "text/Ascii.h"

// How the registry compares key and value names: without regard to letter case, folded its own
// way. Two names it takes for one key must never be two configuration sets.
namespace qv::platform {

// The lower case of a UTF-16 unit as Wine folds key names, for the whole BMP: Unicode's simple
// lower case wherever its upper case leads back (every cased script, not Latin, Greek and
// Cyrillic alone). Names Wine folds alike are one key in its hive, and when Wine saves the hive
// the second of two such sets is gone.
char16_t FoldRegistryWide(char16_t c);

// The same for any unit; ASCII, by far the most common, stays inline.
inline char16_t FoldRegistryUnit(char16_t c) {
  if (c < 0x80)
    return FoldAscii(c);
  return FoldRegistryWide(c);
}

// True when the registry in use takes the two names for one (Wine's folding on Linux, the
// system's on Windows).
bool SameRegistryName(std::u16string_view a, std::u16string_view b);

} // namespace qv::platform
