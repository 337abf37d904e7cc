#include "pelx/program_dir.h"

#include <windows.h>

namespace pelx {

std::string BesideProgram(const char* file_name) {
  char exe[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, exe, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return {};
  std::string path(exe, length);
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return {};
  path.resize(separator + 1);
  return path + file_name;
}

}  // namespace pelx
