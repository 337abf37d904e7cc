#ifndef QUARNEL_APP_PROGRAM_H_
#define QUARNEL_APP_PROGRAM_H_

#include "platform/env.h"

namespace quarnel {

// Runs Quarnel once: loads Form1, which performs the run. The one place that
// catches a run-ending failure: it is reported through `env` and the result
// is non-zero. Returns 0 after a complete run. The argument texts "--help"
// and "--version" only print usage or version.
int RunQuarnel(Env& env);

}  // namespace quarnel

#endif  // QUARNEL_APP_PROGRAM_H_
