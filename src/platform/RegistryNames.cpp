#include "platform/RegistryNames.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qv::platform {

char16_t FoldRegistryWide(char16_t c) {
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
    return char16_t(c + 32);
  if (c < 0x100)
    return c;
  if (c == 0x130)
    return u'i';
  if ((c <= 0x137 || (c >= 0x14A && c <= 0x177)) && !(c & 1))
    return char16_t(c + 1);
  if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && (c & 1))
    return char16_t(c + 1);
  if (c == 0x178)
    return 0xFF;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
    return char16_t(c + 32);
  if (c >= 0x410 && c <= 0x42F)
    return char16_t(c + 32);
  if (c >= 0x400 && c <= 0x40F)
    return char16_t(c + 80);
  if (c >= 0xFF21 && c <= 0xFF3A)
    return char16_t(c + 32);
  return c;
}

bool SameRegistryName(std::u16string_view a, std::u16string_view b) {
#ifdef _WIN32
  return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()), int(a.size()),
                              reinterpret_cast<const wchar_t*>(b.data()), int(b.size()),
                              TRUE) == CSTR_EQUAL;
#else
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldRegistryUnit(a[i]) != FoldRegistryUnit(b[i]))
      return false;
  return true;
#endif
}

} // namespace qv::platform
