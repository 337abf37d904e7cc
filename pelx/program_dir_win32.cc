#include "pelx/program_dir.h"

#include <windows.h>

#include <string>

namespace pelx {
namespace {

// The longest path the system's wide calls take, in characters.
constexpr DWORD kLongestPath = 32767;

// The program's full path, read into a buffer that grows until the system
// no longer cuts the path short.
std::wstring ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    if (path.size() > kLongestPath) return {};
    path.resize(path.size() * 2);
  }
}

// A path past MAX_PATH opens only in the \\?\ form, unless the system has
// long paths switched on; the program's path is already full and normalised.
std::wstring LongPathForm(const std::wstring& path) {
  if (path.size() < MAX_PATH || path.rfind(L"\\\\?\\", 0) == 0) return path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

}  // namespace

std::filesystem::path BesideProgram(const char* file_name) {
  std::wstring path = ProgramPath();
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  path.resize(separator + 1);
  for (const char* c = file_name; *c != '\0'; ++c) path += static_cast<wchar_t>(*c);
  return LongPathForm(path);
}

}  // namespace pelx
