#ifndef QUARNEL_APP_PROGRAM_H_
#define QUARNEL_APP_PROGRAM_H_

#include <chrono>

#include "db/step_deadline.h"
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

// The deadline of the database step that the program ships with, a constant
// and not a setting: its calls may wait 30 seconds on the server in all, a
// slow network included, and a call still waiting 5 seconds after that is
// given up and the run ended (db/step_deadline.h).
inline constexpr DatabaseDeadline kDatabaseDeadline{std::chrono::seconds(30),
                                                    std::chrono::seconds(5)};

// Runs Quarnel once: loads Form1, which performs the run with
// `database_deadline` on its database step. The one place that
// catches a run-ending failure: it is reported through `env` and the result
// is its ExitCode (0 after a complete run). Every exception ends here, a
// lack of memory as error 7 and anything unforeseen as error 51 naming the
// step it happened in. The argument texts "--help", "-h", "/?" and
// "--version" only show usage or version, and "--preview [FILE]" only the
// preview of app/preview.h, except under the start-up runner's name.
int RunQuarnel(Env& env, DatabaseDeadline database_deadline);

// The program's entry, for main on POSIX and WinMain on Windows alike:
// creates the platform's Env (NewPlatformEnv(argc, argv)), puts HeldFileWait
// around it and runs Quarnel with it. Returns the exit code. A failure to set
// the platform up goes to standard error with its exit code; nothing escapes.
int QuarnelMain(int argc, char** argv);

}  // namespace quarnel

#endif  // QUARNEL_APP_PROGRAM_H_
