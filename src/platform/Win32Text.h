#pragma once

// UTF-8 (the program's paths and registry texts) to and from the UTF-16 of the Win32 API.
#ifdef _WIN32

#include <cerrno>
#include <string>
#include <windows.h>

namespace qv::platform {

inline std::wstring Widen(const std::string& utf8) {
  if (utf8.empty())
    return {};
  int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(size_t(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), size);
  return wide;
}

inline std::string Narrow(const wchar_t* wide, size_t length) {
  if (length == 0)
    return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, wide, int(length), nullptr, 0, nullptr, nullptr);
  std::string utf8(size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, int(length), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

inline std::string Narrow(const std::wstring& wide) {
  return Narrow(wide.data(), wide.size());
}

// The errno value closest to a Win32 error, for callers that report why a file step failed.
inline int ErrnoFromWin32(DWORD error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
    return ENOENT;
  case ERROR_ACCESS_DENIED:
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
    return EACCES;
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return ENOSPC;
  case ERROR_WRITE_PROTECT:
    return EROFS;
  case ERROR_FILE_EXISTS:
  case ERROR_ALREADY_EXISTS:
    return EEXIST;
  default:
    return EIO;
  }
}

} // namespace qv::platform

#endif // _WIN32
