// Quarnel's entry point on Windows: the one place that picks the real
// platform. A GUI-subsystem program, so no console window opens; the Env
// takes the program's name and argument text from the system itself.

#include <windows.h>

#include <new>

#include "app/held_file_wait.h"
#include "app/program.h"
#include "platform/env.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Nobody may be at the machine: the system must never stop the run with a
  // dialog of its own, a crash or a missing drive included.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  try {
    std::unique_ptr<quarnel::Env> env = quarnel::NewPlatformEnv(0, nullptr);
    quarnel::HeldFileWait patient(env.get());
    return quarnel::RunQuarnel(patient);
  } catch (const std::bad_alloc&) {
    // The platform itself could not be set up: the exit code is all there
    // is to tell.
    return quarnel::kExitOutOfMemory;
  } catch (...) {
    return quarnel::kExitOther;
  }
}
