// Minimal first version; hardened (atomic writes, case-insensitive lookup, drive mapping) next.
#include "platform/FileSystem.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "platform/Error.h"

namespace fs = std::filesystem;

namespace qv::platform {

namespace {
fs::path Host(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\')
      c = '/';
  return fs::path(p);
}
} // namespace

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(Host(path), ec);
}

bool IsExistingDirectory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(Host(path), ec);
}

bool CreateDirectory(const std::string& path) {
  std::error_code ec;
  return fs::create_directory(Host(path), ec);
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
  std::error_code ec;
  return fs::copy_file(Host(from), Host(to), fs::copy_options::overwrite_existing, ec);
}

std::vector<std::string> SplitLines(std::string_view bytes) {
  std::vector<std::string> lines;
  auto nul = bytes.find('\0');
  if (nul != std::string_view::npos)
    bytes = bytes.substr(0, nul);
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      lines.emplace_back(bytes.substr(start, i - start));
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
        ++i;
      start = i + 1;
    }
  }
  if (start < bytes.size())
    lines.emplace_back(bytes.substr(start));
  return lines;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(Host(path), std::ios::binary);
  if (!in)
    throw Error("Cannot open file " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return SplitLines(s.str());
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(Host(path), std::ios::binary | std::ios::trunc);
  if (!out)
    throw Error("Cannot create file " + path);
  for (const auto& line : lines)
    out << line << "\r\n";
  if (!out)
    throw Error("Cannot create file " + path);
}

std::string ExecutableDir() {
  std::error_code ec;
  auto exe = fs::read_symlink("/proc/self/exe", ec);
  return exe.parent_path().string() + "/";
}

std::string ToHostPath(const std::string& path) { return Host(path).string(); }
std::string ToWindowsPath(const std::string& hostPath) { return hostPath; }
bool IsWindowsPath(const std::string& path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

} // namespace qv::platform
