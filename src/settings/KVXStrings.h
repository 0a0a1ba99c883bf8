#pragma once

#include <string>

namespace qv {

// Directory names keep the separator they already use: a Windows-form path ends in '\', a host
// path in '/'. The empty (or all-blank) text is returned unchanged.
std::string AddBackslash(const std::string& text);
std::string RemoveBackslash(const std::string& text);
// Pads with blanks on the right up to the width; a longer text is never cut.
std::string PadRight(const std::string& text, int width);

} // namespace qv
