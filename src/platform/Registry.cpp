// Registry values as the Win32 API gives them, shared by both registry implementations.
#include "platform/Registry.h"

#include <utility>

#include "platform/WineHive.h"
#include "text/Encoding.h"

namespace qv::platform {

namespace {
thread_local std::string lastRegistryError;
} // namespace

std::string LastRegistryError() {
  return lastRegistryError;
}

void SetLastRegistryError(std::string reason) {
  lastRegistryError = std::move(reason);
}

RegValue RegValue::Text(const std::string& utf8, std::uint32_t type) {
  return RegValue{type, EncodeRegString(utf8)};
}

RegValue RegValue::Dword(std::uint32_t value) {
  return RegValue{kRegDword,
                  {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
                   std::uint8_t(value >> 24)}};
}

std::vector<std::uint8_t> EncodeRegString(const std::string& utf8) {
  std::u16string units = Utf8ToUtf16(utf8);
  std::vector<std::uint8_t> data;
  data.reserve(units.size() * 2 + 2);
  for (char16_t u : units) {
    data.push_back(std::uint8_t(u & 0xFF));
    data.push_back(std::uint8_t(u >> 8));
  }
  data.push_back(0);
  data.push_back(0);
  return data;
}

std::string DecodeRegString(const std::vector<std::uint8_t>& data) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    char16_t u = char16_t(data[i] | (data[i + 1] << 8));
    if (u == 0)
      break;
    units += u;
  }
  return Utf16ToUtf8(units);
}

} // namespace qv::platform
