// Fuzz target: any bytes as the live bank code list of an installation that
// has only that list (update case C), updated by the program's own
// RefreshBankCodeList over the real platform Env, so that the line reader,
// the row pass, the built-in rows and the line writer all see the input.
//
// Beyond "no crash, no leak, no undefined behaviour" it checks what must hold
// for every input:
//  - a completed update leaves the backup equal to the input, no work file,
//    and a new list that starts with the fixed header, never holds an empty
//    line, and ends every line, the last one too, in CR LF with no other CR
//    or LF anywhere;
//  - a failed update leaves the live list byte for byte as it was, and fails
//    only for an empty list (error 62) or a row that lacks a column (error 9).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "banklist/list_format.h"
#include "banklist/refresh.h"
#include "fuzz/scratch_env.h"
#include "platform/run_error.h"

namespace quarnel::fuzz {
namespace {

void CheckLineEnds(std::string_view list) {
  const std::string header = std::string(kHeaderLine) + "\r\n";
  if (!list.starts_with(header)) Broken("the new list does not start with the header line");
  if (!list.ends_with("\r\n")) Broken("the new list's last line does not end in CR LF");
  for (size_t i = 0; i < list.size(); ++i) {
    const bool cr_lf = list[i] == '\r' && i + 1 < list.size() && list[i + 1] == '\n';
    if (cr_lf) {
      if (list.substr(i + 2, 2) == "\r\n") Broken("the new list holds an empty line");
      ++i;
    } else if (list[i] == '\r' || list[i] == '\n') {
      Broken("the new list holds a CR or LF outside a CR LF line end at byte " +
             std::to_string(i));
    }
  }
}

void CheckCompleted(ScratchEnv& env, std::string_view input) {
  if (ReadWhole(env.Path("sifrant_bank.old")) != input) {
    Broken("the backup is not a copy of the old list");
  }
  if (ReadWhole(env.Path("sifrant_bank.txt")) != "<missing>") Broken("a work file was left");
  CheckLineEnds(ReadWhole(env.Path("sifrant_bank.dat")));
}

void CheckFailed(ScratchEnv& env, std::string_view input, const RunError& error) {
  if (ReadWhole(env.Path("sifrant_bank.dat")) != input) {
    Broken("a failed update changed the live list (error " + std::to_string(error.number()) +
           ": " + error.description() + ")");
  }
  const bool expected = (error.number() == kErrInputPastEnd && input.empty()) ||
                        (error.number() == kErrSubscript && !input.empty());
  if (!expected) {
    Broken("unexpected error " + std::to_string(error.number()) + ": " + error.description());
  }
}

}  // namespace
}  // namespace quarnel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quarnel::fuzz;
  static ScratchEnv env;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  RemoveIfPresent(env.Path("sifrant_bank.old"));
  RemoveIfPresent(env.Path("sifrant_bank.txt"));
  WriteWhole(env.Path("sifrant_bank.dat"), input);
  try {
    quarnel::RefreshBankCodeList(env);
  } catch (const quarnel::RunError& error) {
    CheckFailed(env, input, error);
    return 0;
  }
  CheckCompleted(env, input);
  return 0;
}
