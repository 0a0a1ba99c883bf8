#pragma once

#include <stdexcept>
#include <string>

namespace qv {

// The one error type of the program's Qt-free layers. Its text is exactly what the user sees in
// the general error box; nothing else is added to it.
class Error : public std::runtime_error {
public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

} // namespace qv
