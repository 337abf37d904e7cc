#ifndef QUARNEL_TESTING_FAILS_CLEANLY_H_
#define QUARNEL_TESTING_FAILS_CLEANLY_H_

// The one shape of the program's failing runs: the run ends with its exit
// code and a numbered report, shows no success, and leaves the list alone.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/run_error.h"
#include "testing/process.h"

namespace quarnel::testing {

// One run of the program, as a row of a table, that must fail cleanly.
struct FailsCleanly {
  std::vector<std::string> arguments;
  std::string folder;    // where the list lies: the program's own folder
  int exit_code;
  int error_number;
  std::string fragment;  // a piece of the report
  std::string input = "";  // standard input: the answers of an interactive run
  bool after_backup = false;  // the run fails once the backup is made
};

// Runs `program` as `row` says, with `environment` added to the test's own,
// and checks that it fails cleanly: the row's exit code, "error N: " and the
// fragment in what it printed, no success message, the list and its work
// file in row.folder as they were before (and its backup too, unless the row
// fails after the backup), and no 4 characters of `password` in a row in
// anything printed. Returns what it printed.
ProcessResult ExpectFailsCleanly(const std::string& program, const FailsCleanly& row,
                                 const std::string& password = "",
                                 const std::vector<std::string>& environment = {});

// The RunError that `call` throws; a test failure (and error 0) when it
// throws none.
template <typename Call>
RunError RunErrorOf(Call&& call) {
  try {
    call();
  } catch (const RunError& error) {
    return error;
  }
  ADD_FAILURE() << "no RunError";
  return RunError(0, "");
}

}  // namespace quarnel::testing

#endif  // QUARNEL_TESTING_FAILS_CLEANLY_H_
