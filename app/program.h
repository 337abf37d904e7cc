#ifndef QUARNEL_APP_PROGRAM_H_
#define QUARNEL_APP_PROGRAM_H_

#include "app/failure_report.h"
#include "db/step_deadline.h"
#include "platform/env.h"

namespace quarnel {

// Runs Quarnel once: loads Form1, which performs the run with
// `database_deadline` on its database step. The one place that
// catches a run-ending failure: it is reported through `env` and the result
// is its ExitCode (0 after a complete run). Every exception ends here, a
// lack of memory as error 7 and anything unforeseen as error 51 naming the
// step it happened in. The argument texts "--help", "-h", "/?" and
// "--version" only show usage or version, "--check" only the support check
// of app/check.h and "--preview [FILE]" only the preview of app/preview.h,
// except under the start-up runner's name.
int RunQuarnel(Env& env, DatabaseDeadline database_deadline);

// The program's entry, for main on POSIX and WinMain on Windows alike:
// creates the platform's Env (NewPlatformEnv(argc, argv)), puts HeldFileWait
// around it and runs Quarnel with it. Returns the exit code. A failure to set
// the platform up goes to standard error with its exit code; nothing escapes.
int QuarnelMain(int argc, char** argv);

}  // namespace quarnel

#endif  // QUARNEL_APP_PROGRAM_H_
