#include "platform/system_error_win32.h"

#include <windows.h>

#include <type_traits>

#include "platform/wide_text_win32.h"

namespace quarnel {

static_assert(std::is_same_v<DWORD, unsigned long>, "the header spells DWORD out");

int ErrorNumberFor(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return kErrFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return kErrPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return kErrPermissionDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return kErrDiskFull;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE: return kErrBadFileName;
    default: return kErrPathFileAccess;
  }
}

std::string SystemReason(DWORD error, const std::string& subject) {
  wchar_t text[512];
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     error, 0, text, sizeof text / sizeof text[0], nullptr);
  std::wstring reason(text, length);
  while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' ||
                             reason.back() == L' ' || reason.back() == L'.')) {
    reason.pop_back();
  }
  if (reason.empty()) return "system error " + std::to_string(error);
  std::string utf8 = Utf8(reason);
  for (size_t at = utf8.find("%1"); at != std::string::npos; at = utf8.find("%1", at)) {
    utf8.replace(at, 2, subject);
    at += subject.size();
  }
  return utf8;
}

void ThrowSystemError(const std::string& what, const std::string& path, DWORD error) {
  throw RunError(ErrorNumberFor(error), what + ": " + path + ": " + SystemReason(error));
}

void ThrowLastError(const std::string& what, const std::string& path) {
  ThrowSystemError(what, path, GetLastError());
}

}  // namespace quarnel
