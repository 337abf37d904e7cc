#ifndef QUARNEL_APP_PROGRAM_H_
#define QUARNEL_APP_PROGRAM_H_

#include "platform/env.h"

namespace quarnel {

// Runs Quarnel once: loads Form1, which performs the run. The one place that
// catches a run-ending failure: it is reported through `env` and the result
// is non-zero. Every exception ends here, a lack of memory as error 7 and
// anything unforeseen as error 51 naming the step it happened in. Returns 0 after a complete run. The argument texts "--help"
// and "--version" only print usage or version.
int RunQuarnel(Env& env);

}  // namespace quarnel

#endif  // QUARNEL_APP_PROGRAM_H_
