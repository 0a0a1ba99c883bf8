// Placeholder until the hive implementation lands: an empty registry that refuses writes.
#include "platform/Registry.h"

namespace qv::platform {

RegValue RegValue::Text(const std::string& utf8, std::uint32_t type) {
  return RegValue{type, EncodeRegString(utf8)};
}
RegValue RegValue::Dword(std::uint32_t value) {
  return RegValue{kRegDword,
                  {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
                   std::uint8_t(value >> 24)}};
}
std::vector<std::uint8_t> EncodeRegString(const std::string& utf8) {
  std::vector<std::uint8_t> out;
  for (unsigned char c : utf8) {
    out.push_back(c);
    out.push_back(0);
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}
std::string DecodeRegString(const std::vector<std::uint8_t>& data) {
  std::string s;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    if (data[i] == 0 && data[i + 1] == 0)
      break;
    s.push_back(char(data[i]));
  }
  return s;
}

namespace {
class EmptyRegistry : public Registry {
public:
  std::unique_ptr<RegistryKey> OpenKey(RootKey, const std::string&, Access) override { return {}; }
  std::unique_ptr<RegistryKey> CreateKey(RootKey, const std::string&) override { return {}; }
  bool DeleteKey(RootKey, const std::string&) override { return false; }
};
} // namespace

std::unique_ptr<Registry> OpenRegistry() { return std::make_unique<EmptyRegistry>(); }
std::string RegistryHome() { return {}; }

} // namespace qv::platform
