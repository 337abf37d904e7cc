#ifndef QUARNEL_TESTING_PROCESS_H_
#define QUARNEL_TESTING_PROCESS_H_

// Runs a program as a separate process, the way the host product's start-up
// runner or a user would, and collects what it printed.

#include <string>
#include <vector>

namespace quarnel::testing {

struct ProcessResult {
  int exit_code = -1;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// Runs `program` with `arguments`, feeding `input` on standard input (then end
// of input). `environment` entries ("NAME=value") are added to the test's own.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input = "",
                         const std::vector<std::string>& environment = {});

// Copies the built program into `folder` under `name`, with the credentials
// library beside it when it has been built, as an installation would have it.
// Returns the copy's path.
std::string InstallProgram(const std::string& folder, const std::string& name = "quarnel");

// The file name of the credentials library that InstallProgram puts beside
// the program ("libPELX.so", "PELX.dll").
extern const char kLibraryFile[];

}  // namespace quarnel::testing

#endif  // QUARNEL_TESTING_PROCESS_H_
