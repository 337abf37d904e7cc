#ifndef QUARNEL_APP_FAILURE_REPORT_H_
#define QUARNEL_APP_FAILURE_REPORT_H_

// How a run ends when it fails: the step it was in, the exit code of the
// failure's kind and the one report of it.

#include "platform/env.h"

namespace quarnel {

// The exit code of a run: one for each kind of failure, the same on every
// system, so that whoever started an unattended run can tell them apart.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitOther = 1,        // an internal error, or a failure before the run began
  kExitSettings = 2,     // the settings file PersonalTarvo.ini
  kExitCredentials = 3,  // the authentication file or the library PELX
  kExitDatabase = 4,     // the data source, the login, the statement
  kExitListFiles = 5,    // the bank code list files
  kExitListLocked = 6,   // the list held by another run or another program
  kExitOutOfMemory = 7,
};

// The steps of a run, in their order.
enum class RunStep {
  kStarting,
  kAsking,       // the question of an interactive run
  kSettings,     // reading the data source name from PersonalTarvo.ini
  kCredentials,  // the authentication file and the library PELX
  kDatabase,     // connecting, deleting the stored list, disconnecting
  kListFiles,    // updating the bank code list files
};

// What a report says the run was doing at `step`.
const char* StepText(RunStep step);

// The exit code of `error`: its kind by its number where that tells, else
// by the step of the run it happened in.
int ExitCodeFor(const RunError& error, RunStep step);

// The exception being handled, as the RunError that reports it: a lack of
// memory is error 7 and anything unforeseen error 51, naming `step`.
// REQUIRES: called inside a catch clause.
RunError CurrentFailure(RunStep step);

// Reports `error` through `env` and returns its exit code. Nothing escapes
// from here: an exception that reached the system would end an unattended
// start-up in a crash dialog, so a report that fails leaves the exit code
// alone to tell.
int ReportFailure(Env& env, const RunError& error, bool silent, RunStep step);

}  // namespace quarnel

#endif  // QUARNEL_APP_FAILURE_REPORT_H_
