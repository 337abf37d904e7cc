// Fuzz target: any bytes as the host product's settings file, read by the
// program's own ReadDbName over the real platform Env.
//
// Beyond "no crash, no leak, no undefined behaviour" it checks the result
// against a plain reading of the same bytes: the lines split at CR LF, lone
// CR and lone LF, the last line that begins with "DBName=" giving the name
// without the spaces around it. Inputs run to three read blocks, so this also
// holds the platform's line reader to its contract where lines cross blocks.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/scratch_env.h"
#include "hostcfg/settings.h"

namespace {

std::string_view TrimSpaces(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string ExpectedDbName(std::string_view file) {
  std::string_view name;
  size_t start = 0;
  while (start < file.size()) {
    const size_t end = std::min(file.find_first_of("\r\n", start), file.size());
    const std::string_view line = file.substr(start, end - start);
    if (line.starts_with("DBName=")) name = TrimSpaces(line.substr(7));
    start = end + 1;
    if (end + 1 < file.size() && file[end] == '\r' && file[end + 1] == '\n') ++start;
  }
  return std::string(name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quarnel::fuzz;
  static ScratchEnv env;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  WriteWhole(env.Path("PersonalTarvo.ini"), input);
  const std::string name = quarnel::ReadDbName(env);
  const std::string expected = ExpectedDbName(input);
  if (name != expected) {
    Broken("ReadDbName gave " + std::to_string(name.size()) + " bytes \"" + name.substr(0, 40) +
           "\" where the file says " + std::to_string(expected.size()) + " bytes \"" +
           expected.substr(0, 40) + "\"");
  }
  return 0;
}
