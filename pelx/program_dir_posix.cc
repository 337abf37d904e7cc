#include "pelx/program_dir.h"

#include <limits.h>
#include <unistd.h>

#include <string>

namespace pelx {

std::filesystem::path BesideProgram(const char* file_name) {
  char exe[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe);
  if (length <= 0 || length == static_cast<ssize_t>(sizeof exe)) return {};
  std::string path(exe, static_cast<std::size_t>(length));
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  path.resize(slash + 1);
  return path + file_name;
}

}  // namespace pelx
