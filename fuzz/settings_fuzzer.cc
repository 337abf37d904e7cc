// Fuzz target: any bytes as the host product's settings file, read by the
// program's own ReadDbName over the real platform Env.
//
// Beyond "no crash, no leak, no undefined behaviour" it checks what must hold
// for every input: reading never fails; the name holds no CR or LF and no
// space at either end; it is empty when no "DBName=" occurs, and otherwise a
// piece of the file's text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/scratch_env.h"
#include "hostcfg/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quarnel::fuzz;
  static ScratchEnv env;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  WriteWhole(env.Path("PersonalTarvo.ini"), input);
  const std::string name = quarnel::ReadDbName(env);
  if (name.find_first_of("\r\n") != std::string::npos) Broken("the name holds a line end");
  if (!name.empty() && (name.front() == ' ' || name.back() == ' ')) {
    Broken("the name keeps a space at one end");
  }
  if (!name.empty() && input.find("DBName=") == std::string_view::npos) {
    Broken("a name without a DBName= line");
  }
  if (input.find(name) == std::string_view::npos) Broken("the name is not in the file");
  return 0;
}
